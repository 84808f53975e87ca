// Runs the real halvex executable the way a player or a script would, and
// checks its exit codes, its messages and what it leaves behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/shell_run.h"

namespace fs = std::filesystem;

namespace {

using halvex::test::ProcessRun;

fs::path BinaryDir() {
  const char* dir = std::getenv("HALVEX_BINARY_DIR");
  return dir ? fs::path(dir) : fs::current_path();
}

// timeout turns a hang into a failed exit code (124) instead of a stuck test.
ProcessRun Halvex(const std::string& args, const std::string& env = "", int seconds = 60) {
  const fs::path exe = BinaryDir() / "bin" / "halvex";
  std::string command =
      env + " timeout " + std::to_string(seconds) + " " + exe.string() + " " + args;
  return halvex::test::RunShell(command);
}

class HalvexE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = fs::temp_directory_path() / ("halvex-e2e-" + std::to_string(::getpid()));
    fs::remove_all(config_);
    content_ = BinaryDir() / "bin" / "content";
    ASSERT_TRUE(fs::exists(content_ / "system" / "worlds.txt")) << "content pack not built";
  }
  void TearDown() override { fs::remove_all(config_); }
  std::string Common() const {
    return "--config-dir " + config_.string() + " --content " + content_.string();
  }
  fs::path config_;
  fs::path content_;
};

TEST_F(HalvexE2E, HelpAndBadOptions) {
  ProcessRun help = Halvex("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.output.find("--skip-launcher"), std::string::npos);

  ProcessRun bad = Halvex("--bogus");
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.output.find("unknown option --bogus"), std::string::npos);

  EXPECT_EQ(Halvex("--bots 33 --headless").code, 2);
  EXPECT_EQ(Halvex("--blood 11 --headless").code, 2);
  EXPECT_EQ(Halvex("--blood -2 --headless").code, 2);
  EXPECT_EQ(Halvex("--resolution 800by600 --headless").code, 2);
  EXPECT_EQ(Halvex("--frames").code, 2);
}

TEST_F(HalvexE2E, HeadlessRunEndsCleanlyAndStoresNothing) {
  ProcessRun run = Halvex("--headless --frames 5 --bots 3 " + Common(), "SDL_AUDIODRIVER=dummy");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_FALSE(fs::exists(config_ / "varnholt" / "halvex.conf"))
      << "a run that skips the launcher must not store settings";
}

TEST_F(HalvexE2E, HeadlessRunsEndWithASummaryWhoseHashFollowsTheSeedAndTheChecksHold) {
  auto hashOf = [&](int seed) {
    ProcessRun run = Halvex("--headless --frames 200 --fixed-step 16 --bots 8 --check --seed " +
                            std::to_string(seed) + " " + Common());
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_NE(run.output.find("200 frames, 3.2 s of match time, seed " + std::to_string(seed)),
              std::string::npos) << run.output;
    const auto at = run.output.find("state hash ");
    return at == std::string::npos ? std::string() : run.output.substr(at + 11, 16);
  };
  const std::string first = hashOf(5);
  ASSERT_EQ(first.size(), 16u);
  EXPECT_EQ(hashOf(5), first) << "the same seed and step play the same match";
  EXPECT_NE(hashOf(6), first);
}

TEST_F(HalvexE2E, ARecordedMatchReplaysToTheSameStateAndATamperedOneIsCaught) {
  fs::create_directories(config_);
  const fs::path script = config_ / "play.txt";
  // Into the fight, walk, turn, fire, jump and say something: every kind of input a demo keeps.
  std::ofstream(script) << "20 down F12\n25 up F12\n40 down W\n60 mouse 300 -40\n90 button 0 1\n"
                           "150 down SPACE\n160 up SPACE\n200 button 0 0\n220 say good game\n250 up W\n";
  for (int seed : {3, 17, 29}) {
    const fs::path demo = config_ / ("match" + std::to_string(seed) + ".dem");
    ProcessRun recorded = Halvex("--headless --bots 32 --fixed-step 16 --frames 400 --seed " +
                                 std::to_string(seed) + " --script " + script.string() +
                                 " --record " + demo.string() + " " + Common());
    ASSERT_EQ(recorded.code, 0) << recorded.output;
    const auto at = recorded.output.find("state hash ");
    ASSERT_NE(at, std::string::npos) << recorded.output;
    const std::string hash = recorded.output.substr(at, 27);
    // The replay takes nothing from the command line or the stored settings but the demo.
    ProcessRun replay = Halvex("--headless --bots 2 --play " + demo.string() + " " + Common());
    EXPECT_EQ(replay.code, 0) << replay.output;
    EXPECT_NE(replay.output.find("replay: the state hash matches the recording"), std::string::npos) << replay.output;
    EXPECT_NE(replay.output.find(hash), std::string::npos) << replay.output;
  }
  // Nine mouse counts at frame 238 play a different match.
  std::ifstream in(config_ / "match3.dem");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  const auto frame = text.find("\nf 4808 0 0 0 ");
  ASSERT_NE(frame, std::string::npos);
  text.replace(frame, 14, "\nf 4808 9 0 0 ");
  std::ofstream(config_ / "tampered.dem") << text;
  ProcessRun tampered = Halvex("--headless --play " + (config_ / "tampered.dem").string() + " " + Common());
  EXPECT_EQ(tampered.code, 3) << tampered.output;
  EXPECT_NE(tampered.output.find("differs from the recording's"), std::string::npos) << tampered.output;
  ProcessRun broken = Halvex("--headless --play " + script.string() + " " + Common());
  EXPECT_EQ(broken.code, 2);
  EXPECT_NE(broken.output.find("line 1: not a halvex demo"), std::string::npos) << broken.output;
}

TEST_F(HalvexE2E, AreasAreFoundThroughARelativeContentFolder) {
  const fs::path relative = fs::relative(content_, fs::current_path());
  ProcessRun run = Halvex("--headless --frames 3 --area \"proving grounds\" --config-dir " +
                          config_.string() + " --content " + relative.string(),
                          "SDL_AUDIODRIVER=dummy");
  EXPECT_EQ(run.code, 0) << run.output;
}

TEST_F(HalvexE2E, UnknownAreaAndMissingContentAreReported) {
  ProcessRun area = Halvex("--headless --area Nowhere " + Common());
  EXPECT_EQ(area.code, 2);
  EXPECT_NE(area.output.find("Nowhere"), std::string::npos);

  ProcessRun missing = Halvex("--headless --content " + (config_ / "none").string() + " --config-dir " +
                       config_.string());
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.output.find("system/worlds.txt"), std::string::npos) << missing.output;
}

TEST_F(HalvexE2E, StoredSettingsAreReadWhenTheLauncherIsSkipped) {
  fs::create_directories(config_ / "varnholt");
  // A line that cannot be read is named and skipped; the store is left as it was.
  std::ofstream(config_ / "varnholt" / "halvex.conf") << "garbage without a key\n";
  ProcessRun run = Halvex("--headless --frames 3 " + Common(), "SDL_AUDIODRIVER=dummy");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_NE(run.output.find("halvex.conf line 1 "), std::string::npos) << run.output;
  std::ifstream in(config_ / "varnholt" / "halvex.conf");
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "garbage without a key");
}

TEST_F(HalvexE2E, WindowedRunUnderTheDisplay) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  ProcessRun run = Halvex("--skip-launcher --windowed --resolution 640x480 --frames 5 " + Common(),
                   "SDL_AUDIODRIVER=dummy");
  EXPECT_EQ(run.code, 0) << run.output;
}

// Sound troubles never stop a match: no audio device, the device going away
// while the match runs (the disk driver writing to a full disk is SDL's own
// device-removed path), and a soundtrack that is missing or not audio. Each
// is one line of stderr, and the run ends as usual. The window is drawn
// off-screen, so no display is needed.
TEST_F(HalvexE2E, SoundTroublesLeaveTheMatchRunningSilently) {
  struct Case {
    const char* env;
    const char* soundtrack;  // file name under the config folder, or none
    std::string said;
  };
  const fs::path notAudio = config_ / "notes.ogg";
  const Case cases[] = {
      {"SDL_AUDIODRIVER=no-such-driver", nullptr, "halvex: sound is off: no audio device"},
      {"SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/full", nullptr,
       "halvex: the audio device is gone; the game goes on without sound"},
      {"SDL_AUDIODRIVER=dummy", "absent.ogg",
       "halvex: soundtrack \"" + (config_ / "absent.ogg").string() + "\" not found"},
      {"SDL_AUDIODRIVER=dummy", "notes.ogg",
       "halvex: soundtrack \"" + notAudio.string() + "\" cannot be played ("},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.env + std::string(" ") + (c.soundtrack ? c.soundtrack : ""));
    fs::remove_all(config_);
    fs::create_directories(config_ / "varnholt");
    std::ofstream(notAudio) << "remember the milk\n";
    if (c.soundtrack) {
      std::ofstream(config_ / "varnholt" / "halvex.conf")
          << "[Software\\\\Varnholt\\\\Halvex]\nName=Tester\nSoundtrack=1\nSound File="
          << (config_ / c.soundtrack).string() << "\n";
    }
    ProcessRun run = Halvex("--skip-launcher --windowed --resolution 640x480 --frames 60 " + Common(),
                            std::string("SDL_VIDEODRIVER=offscreen ") + c.env);
    EXPECT_EQ(run.code, 0) << run.output;
    const size_t at = run.output.find(c.said);
    EXPECT_NE(at, std::string::npos) << run.output;
    EXPECT_EQ(run.output.find(c.said, at + 1), std::string::npos) << "said more than once\n" << run.output;
  }
}

// With nothing to show a window on, SDL would quietly pick a driver that
// draws into memory: a launcher nobody sees, spinning until killed, or a
// match played blind. Only --headless may run without a display.
TEST_F(HalvexE2E, NoDisplayIsReportedUnlessHeadless) {
  const std::string noDisplay =
      "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy";
  const char* const kMessage = "no display to show the game on";

  ProcessRun launcher = Halvex(Common(), noDisplay, 30);
  EXPECT_EQ(launcher.code, 1) << launcher.output;
  EXPECT_NE(launcher.output.find(kMessage), std::string::npos) << launcher.output;
  EXPECT_FALSE(fs::exists(config_ / "varnholt" / "halvex.conf"));

  ProcessRun skipped = Halvex("--skip-launcher " + Common(), noDisplay, 30);
  EXPECT_EQ(skipped.code, 1) << skipped.output;
  EXPECT_NE(skipped.output.find(kMessage), std::string::npos) << skipped.output;

  ProcessRun headless = Halvex("--headless --frames 10 " + Common(), noDisplay, 30);
  EXPECT_EQ(headless.code, 0) << headless.output;
  EXPECT_EQ(headless.output.find(kMessage), std::string::npos) << headless.output;
}

}  // namespace
