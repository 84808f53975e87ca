// The playable game through the real executable: a scripted headless match,
// a windowed match with screenshots that show a picture, and the timedemo.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/shell_run.h"

namespace fs = std::filesystem;

namespace {

using halvex::test::ProcessRun;

fs::path BinaryDir() {
  const char* dir = std::getenv("HALVEX_BINARY_DIR");
  return dir ? fs::path(dir) : fs::current_path();
}

class GameE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = fs::temp_directory_path() / ("halvex-game-e2e-" + std::to_string(::getpid()));
    fs::remove_all(work_);
    fs::create_directories(work_);
    content_ = BinaryDir() / "bin" / "content";
    ASSERT_TRUE(fs::exists(content_ / "system" / "worlds.txt")) << "content pack not built";
  }
  void TearDown() override { fs::remove_all(work_); }

  // Runs halvex in the work folder (screenshots land in its Screens).
  // env: variables for this run only.
  ProcessRun Halvex(const std::string& args, const std::string& env = "") {
    const fs::path exe = BinaryDir() / "bin" / "halvex";
    const std::string command = "cd " + work_.string() + " && " + env + " timeout 120 " + exe.string() +
                                " --skip-launcher --config-dir " + (work_ / "cfg").string() + " --content " +
                                content_.string() + " " + args;
    return halvex::test::RunShell(command);
  }

  void WriteScript(const std::string& text) { std::ofstream(work_ / "script.txt") << text; }

  fs::path work_;
  fs::path content_;
};

// Distinct colours in a 24-bit BMP's pixel data: a blank or one-colour
// picture has very few.
int DistinctColours(const fs::path& bmp) {
  std::ifstream in(bmp, std::ios::binary);
  std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() < 54) return 0;
  const std::size_t offset = data[10] | data[11] << 8 | data[12] << 16;
  std::vector<bool> seen(1 << 15);
  int count = 0;
  for (std::size_t i = offset; i + 2 < data.size(); i += 3) {
    const unsigned key = (data[i] >> 3) | (data[i + 1] >> 3) << 5 | (data[i + 2] >> 3) << 10;
    if (!seen[key]) {
      seen[key] = true;
      ++count;
    }
  }
  return count;
}

TEST_F(GameE2E, ScriptedHeadlessMatchEndsOnEscapeWithExitCodeZero) {
  WriteScript("15 down F12\n18 up F12\n30 button 0 1\n50 button 0 0\n70 down ESCAPE\n");
  const ProcessRun run = Halvex("--headless --bots 6 --seed 3 --fixed-step 25 --frames 5000 --script script.txt");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(run.output.find("runtime error"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("ERROR: AddressSanitizer"), std::string::npos) << run.output;
}

TEST_F(GameE2E, BadScriptIsReportedAndEndsTheRun) {
  WriteScript("10 jump W\n");
  const ProcessRun run = Halvex("--headless --frames 50 --script script.txt");
  EXPECT_NE(run.output.find("line 1"), std::string::npos) << run.output;
  EXPECT_EQ(run.code, 2) << "a malformed script is a usage error";
  EXPECT_EQ(Halvex("--headless --frames 50 --script missing.txt").code, 2);
}

TEST_F(GameE2E, TimedemoPrintsItsFigures) {
  const ProcessRun run = Halvex("--headless --timedemo --frames 60 --bots 8 --seed 1");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_NE(run.output.find("timedemo: 60 frames"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("fps average"), std::string::npos) << run.output;
}

TEST_F(GameE2E, WindowedMatchTakesScreenshotsThatShowTheScene) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  WriteScript("15 down F12\n18 up F12\n25 down 0x0F\n");  // in battle, then the scoreboard
  const ProcessRun run = Halvex("--windowed --resolution 640x480 --bots 4 --seed 2 --fixed-step 25 --frames 40 "
                                "--script script.txt --shots 20,39");
  ASSERT_EQ(run.code, 0) << run.output;
  for (const char* name : {"Picture00.bmp", "Picture01.bmp"}) {
    const fs::path shot = work_ / "Screens" / name;
    ASSERT_TRUE(fs::exists(shot)) << name << "\n" << run.output;
    EXPECT_EQ(fs::file_size(shot), 54u + 640u * 480u * 3u);
    EXPECT_GT(DistinctColours(shot), 200) << name << " looks blank";
  }
  EXPECT_FALSE(fs::exists(work_ / "Screens" / "Picture02.bmp")) << "one picture per listed frame";
}

}  // namespace
