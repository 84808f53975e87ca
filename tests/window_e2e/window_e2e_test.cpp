// The real game in a real window, played the way a person plays it: keys
// pressed on an X keyboard (XTest), the focus taken away and given back, the
// close button, signals. Each test runs the game on an X server of its own.
// The game's --trace lines say what the match did.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "net/wizard/wizard_window.h"
#include "tests/window_e2e/game_process.h"
#include "tests/window_e2e/x_session.h"

namespace halvex::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kTitle = "Varnholt - Halvex : Standard";
// Loading the area on a software renderer in a sanitizer build is slow.
constexpr int kLoadMs = 240000;
constexpr int kStepMs = 10000;

fs::path BinaryDir() {
  const char* dir = std::getenv("HALVEX_BINARY_DIR");
  return dir ? fs::path(dir) : fs::current_path();
}

struct Position {
  float x = 0, y = 0, z = 0;
};

class WindowE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    work_ = fs::temp_directory_path() / ("halvex-window-e2e-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(work_);
    fs::create_directories(work_ / "cfg");
    content_ = BinaryDir() / "bin" / "content";
    ASSERT_TRUE(fs::exists(content_ / "system" / "worlds.txt")) << "content pack not built";
    ASSERT_TRUE(x_.Start()) << x_.error();
  }
  void TearDown() override {
    if (HasFailure()) {
      std::cerr << "--- game stdout (tail) ---\n" << Tail(game_.Output()) << "--- game stderr ---\n"
                << Tail(game_.Errors());
    }
    fs::remove_all(work_);
  }
  static std::string Tail(const std::string& text) {
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
  }

  // Starts the game past the launcher in a small window and gives it the focus.
  // One comfort value, stored as the launcher stores it, before the game starts.
  void StoreComfort(const std::string& line) {
    fs::create_directories(work_ / "cfg" / "varnholt");
    std::ofstream(work_ / "cfg" / "varnholt" / "halvex.conf")
        << "[Software\\\\Varnholt\\\\Halvex\\\\Comfort]\n" << line << "\n";
  }

  void StartGame() {
    const std::vector<std::string> args = {
        "--skip-launcher", "--windowed", "--resolution", "640x480", "--fixed-step", "100", "--seed", "7",
        "--bots",          "2",          "--trace",      "--config-dir", (work_ / "cfg").string(),
        "--content",       content_.string()};
    ASSERT_TRUE(game_.Start(BinaryDir() / "bin" / "halvex", args, x_.display(), work_));
    window_ = x_.FindWindow(game_.pid(), kTitle, kLoadMs);
    ASSERT_NE(window_, 0u) << "no game window";
    x_.Focus(window_);
  }

  // Holds a key down until what the game prints shows `text` (the match
  // polls keys once a frame, so a short tap can fall between two frames on
  // a slow machine); returns the offset past that line.
  std::size_t HoldUntil(const char* key, const std::string& text, std::size_t from, int timeoutMs) {
    x_.Key(key, true);
    const auto at = game_.WaitForLine(text, timeoutMs, from);
    x_.Key(key, false);
    EXPECT_TRUE(at) << "never saw \"" << text << "\" while " << key << " was held";
    return at.value_or(std::string::npos);
  }

  // Past the intro's prompt into the match.
  std::size_t EnterTheMatch() { return HoldUntil("Return", "trace: match running", 0, kLoadMs); }

  // Waits until the game's latest traced frame state holds `fragment`
  // ("armed 1 banner 0": key commands act now); returns the offset past it.
  std::optional<std::size_t> WaitForState(const std::string& fragment, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until && game_.Running()) {
      const std::string out = game_.Output();
      const std::size_t line = out.rfind(" chat ");
      const std::size_t end = line == std::string::npos ? line : out.find('\n', line);
      if (end != std::string::npos && out.substr(line, end - line).find(fragment) != std::string::npos)
        return end + 1;
      std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
  }

  // One press of a key command, as short as a person's tap. The game reads
  // a press made between two frames once, so the tap acts exactly once; a
  // key held while the test watches for its effect could act twice.
  std::size_t PressKeyCommand(const char* key, const std::string& effect, std::size_t from) {
    EXPECT_TRUE(WaitForState(" armed 1 banner 0", 60000)) << "key commands never became ready";
    x_.Tap(key, 0);
    const auto at = game_.WaitForLine(effect, kStepMs, from);
    EXPECT_TRUE(at) << "never saw \"" << effect << "\" after " << key;
    return at.value_or(std::string::npos);
  }

  // Enter opens chat once the welcome banner has gone.
  std::size_t OpenChat(std::size_t from) { return PressKeyCommand("Return", " chat 1 ", from); }

  // The last position the game printed after offset from.
  std::optional<Position> LastPosition(std::size_t from) {
    const std::string out = game_.Output();
    const std::size_t at = out.rfind(" pos ");
    if (at == std::string::npos || at < from) return std::nullopt;
    Position p;
    std::istringstream(out.substr(at + 5)) >> p.x >> p.y >> p.z;
    return p;
  }

  std::string OutputFrom(std::size_t from) {
    const std::string out = game_.Output();
    return from < out.size() ? out.substr(from) : std::string();
  }

  // Ends the closing screen the way a player does, and the game with it.
  void LeaveTheClosingScreen() {
    ASSERT_TRUE(game_.WaitForLine("trace: closing screen", kStepMs));
    x_.Key("Return", true);
    game_.WaitExit(kStepMs);
    x_.Key("Return", false);
  }

  void ExpectCleanExit(int timeoutMs) {
    const auto code = game_.WaitExit(timeoutMs);
    ASSERT_TRUE(code.has_value()) << "the game did not end";
    EXPECT_EQ(*code, 0);
    EXPECT_EQ(game_.Errors().find("X Error"), std::string::npos) << game_.Errors();
    EXPECT_EQ(game_.Errors().find("ERROR: AddressSanitizer"), std::string::npos);
    EXPECT_NE(game_.Output().find("trace: devices released"), std::string::npos)
        << "the game thread released the devices itself";
  }

  XSession x_;
  GameProcess game_;
  unsigned long window_ = 0;
  fs::path work_, content_;
};

TEST_F(WindowE2E, ChatOpensTakesALineClosesAndThePlayerMovesAgain) {
  StartGame();
  std::size_t at = EnterTheMatch();
  // Into the battle first (the match starts spectating), so that moving shows.
  at = OpenChat(PressKeyCommand("F12", " spectator 0 ", at));
  x_.Type("hello there");
  std::this_thread::sleep_for(700ms);  // Return sends only 500 ms after chat opened
  x_.Tap("Return");
  const auto sent = game_.WaitForLine("trace: message ", kStepMs, at);
  ASSERT_TRUE(sent);
  EXPECT_NE(game_.Output().find("hello there", at), std::string::npos);
  const auto closed = game_.WaitForLine(" chat 0 spectator 0 ", kStepMs, at);
  ASSERT_TRUE(closed) << "Chat Mode stays on after the line was sent";
  ASSERT_TRUE(game_.WaitForLine(" pos ", kStepMs, *closed));
  const auto before = LastPosition(*closed);
  ASSERT_TRUE(before);
  const std::size_t walking = game_.Output().size();
  x_.Key("w", true);
  std::this_thread::sleep_for(2s);
  x_.Key("w", false);
  ASSERT_TRUE(game_.WaitForLine(" pos ", kStepMs, walking));
  const auto after = LastPosition(walking);
  ASSERT_TRUE(after);
  EXPECT_GT(std::hypot(after->x - before->x, after->z - before->z), 5.0f) << "W moves the player after chat";
  EXPECT_EQ(OutputFrom(*closed).find(" chat 1 "), std::string::npos) << "the sending Return reopened chat";

  HoldUntil("Escape", "trace: match ended by escape", *closed, kStepMs);
  LeaveTheClosingScreen();
  ExpectCleanExit(60000);
}

TEST_F(WindowE2E, AReboundKeyMovesThePlayerAndTheOldOneNoLonger) {
  StoreComfort("Key Forward=200");  // Forward on the Up arrow
  StartGame();
  const std::size_t at = PressKeyCommand("F12", " spectator 0 ", EnterTheMatch());
  float moved = 0.0f;
  auto walk = [&](const char* key) {
    ASSERT_TRUE(game_.WaitForLine(" pos ", kStepMs, game_.Output().size()));
    const std::size_t from = game_.Output().size();
    const auto before = LastPosition(0);
    x_.Key(key, true);
    std::this_thread::sleep_for(2s);
    x_.Key(key, false);
    ASSERT_TRUE(game_.WaitForLine(" pos ", kStepMs, game_.Output().size()));
    const auto after = LastPosition(from);
    ASSERT_TRUE(before && after);
    moved = std::hypot(after->x - before->x, after->z - before->z);
  };
  walk("w");
  EXPECT_LT(moved, 0.5f) << "W no longer moves forward";
  walk("Up");
  EXPECT_GT(moved, 5.0f) << "the Up arrow does";
  HoldUntil("Escape", "trace: match ended by escape", at, kStepMs);
  LeaveTheClosingScreen();
  ExpectCleanExit(60000);
}

TEST_F(WindowE2E, AResizedWindowShowsTheWholePictureBetweenBlackBars) {
  StoreComfort("Resizable Window=1");
  StartGame();
  const std::size_t at = EnterTheMatch();
  ASSERT_TRUE(game_.WaitForLine(" pos ", kStepMs, at));
  // Half as wide again as the 640 x 480 picture: 160-pixel bars at each side.
  x_.Resize(window_, 960, 480);
  std::this_thread::sleep_for(1500ms);
  int w = 0, h = 0;
  const std::vector<std::uint32_t> shown = x_.Capture(window_, &w, &h);
  ASSERT_EQ(w, 960);
  ASSERT_EQ(h, 480);
  auto litIn = [&](int x0, int x1) {
    int lit = 0;
    for (int y = 0; y < h; y += 4)
      for (int x = x0; x < x1; x += 4) lit += shown[static_cast<std::size_t>(y) * w + x] != 0;
    return lit;
  };
  EXPECT_EQ(litIn(0, 158), 0) << "the left bar is black";
  EXPECT_EQ(litIn(802, 960), 0) << "the right bar is black";
  EXPECT_GT(litIn(160, 800), 160 * 120 / 2) << "the picture fills the middle";
  HoldUntil("Escape", "trace: match ended by escape", at, kStepMs);
  LeaveTheClosingScreen();
  ExpectCleanExit(60000);
}

TEST_F(WindowE2E, EscapeInChatDropsTheLineAndTheMatchGoesOn) {
  StartGame();
  std::size_t at = OpenChat(EnterTheMatch());
  x_.Type("never sent");
  x_.Tap("Escape", 400);  // held for several frames, as a person holds it
  const auto closed = game_.WaitForLine(" chat 0 ", kStepMs, at);
  ASSERT_TRUE(closed) << "Escape did not leave chat";
  std::this_thread::sleep_for(1500ms);
  ASSERT_TRUE(game_.WaitForLine(" pos ", kStepMs, game_.Output().size())) << "the match no longer runs";
  EXPECT_EQ(OutputFrom(at).find("match ended"), std::string::npos) << "the Escape that left chat ended the match";
  EXPECT_EQ(OutputFrom(at).find("never sent"), std::string::npos);

  HoldUntil("Escape", "trace: match ended by escape", *closed, kStepMs);  // a new press ends it as always
  LeaveTheClosingScreen();
  ExpectCleanExit(60000);
}

TEST_F(WindowE2E, LosingTheFocusParksTheGameAndItComesBackWhereItWas) {
  StartGame();
  const std::size_t at = EnterTheMatch();
  ASSERT_TRUE(game_.WaitForLine(" pos ", kStepMs, at));
  x_.FocusElsewhere();
  const auto parked = game_.WaitForLine("trace: inactive", kStepMs, at);
  ASSERT_TRUE(parked) << "the game did not notice the focus going";
  std::this_thread::sleep_for(500ms);
  const double before = game_.CpuSeconds();
  std::this_thread::sleep_for(3s);
  const double used = game_.CpuSeconds() - before;
  EXPECT_LT(used, 0.45) << "seconds of CPU in 3 s without the focus";
  EXPECT_EQ(OutputFrom(*parked).find(" pos "), std::string::npos) << "frames ran while unfocused";

  x_.Focus(window_);
  const auto back = game_.WaitForLine("trace: active", kStepMs, *parked);
  ASSERT_TRUE(back) << "the game did not come back";
  ASSERT_TRUE(game_.WaitForLine(" pos ", kStepMs, *back)) << "no frames after the focus came back";
  EXPECT_EQ(OutputFrom(at).find(" state 2"), std::string::npos) << "the match came back in another state";
  game_.Signal(SIGTERM);
  ExpectCleanExit(60000);
}

TEST_F(WindowE2E, ClosingOnceEndsTheMatchWithoutTheClosingScreen) {
  StartGame();
  EnterTheMatch();
  x_.Close(window_);
  ExpectCleanExit(60000);
  EXPECT_NE(game_.Output().find("trace: match ended by an exit request"), std::string::npos);
  EXPECT_EQ(game_.Output().find("trace: closing screen"), std::string::npos);
}

TEST_F(WindowE2E, ClosingTwiceLeavesQuickly) {
  StartGame();
  EnterTheMatch();
  x_.Close(window_);
  x_.Close(window_);
  ExpectCleanExit(60000);
}

TEST_F(WindowE2E, DeleteDuringLoadingThenCloseEndsCleanly) {
  StartGame();  // the window shows while the area loads
  x_.Tap("Delete");
  std::this_thread::sleep_for(200ms);
  x_.Close(window_);
  ExpectCleanExit(120000);
  EXPECT_EQ(game_.Output().find("trace: match running"), std::string::npos) << "the match started anyway";
}

// SIGTERM and SIGINT end the game as a close does; the stored settings stay as they were.
TEST_F(WindowE2E, TerminationSignalsEndTheGameCleanly) {
  fs::create_directories(work_ / "cfg" / "varnholt");
  std::ofstream(work_ / "cfg" / "varnholt" / "halvex.conf") << "[Software\\\\Varnholt\\\\Halvex]\nName=Keeper\n";
  const auto settings = [&] {
    std::ifstream in(work_ / "cfg" / "varnholt" / "halvex.conf");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const std::string stored = settings();
  StartGame();
  EnterTheMatch();
  game_.Signal(SIGTERM);
  ExpectCleanExit(60000);
  EXPECT_EQ(game_.Output().find("trace: closing screen"), std::string::npos);
  EXPECT_EQ(game_.Errors().find("settings file"), std::string::npos) << "the stored settings were read";
  EXPECT_EQ(settings(), stored);
}

TEST_F(WindowE2E, InterruptWhileLoadingEndsTheGame) {
  StartGame();
  game_.Signal(SIGINT);
  ExpectCleanExit(120000);
}

TEST_F(WindowE2E, TheConnectWizardCreatesAGameThatAnotherPlayerJoins) {
  namespace layout = net::wizard_layout;
  const std::string port = std::to_string(20000 + (::getpid() * 11) % 12000);
  const std::vector<std::string> args = {
      "--skip-launcher", "--windowed", "--resolution", "640x480", "--multiplayer", "--port", port,
      "--name", "Wizard", "--trace", "--config-dir", (work_ / "cfg").string(), "--content", content_.string()};
  ASSERT_TRUE(game_.Start(BinaryDir() / "bin" / "halvex", args, x_.display(), work_));
  // The connection types first; OK takes the standard one.
  const unsigned long wizard = x_.FindWindow(game_.pid(), "Varnholt - Halvex - Multiplayer Connect - ", kLoadMs, true);
  ASSERT_NE(wizard, 0u) << "no connect wizard";
  x_.Focus(wizard);
  // Each dialog is clicked once the game says it is up.
  ASSERT_TRUE(game_.WaitForLine("trace: wizard dialog 10001", kLoadMs));
  x_.Click(wizard, layout::kOkLeft + layout::kButtonWidth / 2, layout::kButtonTop + layout::kButtonHeight / 2);
  ASSERT_TRUE(game_.WaitForLine("trace: wizard dialog 10002", kStepMs));
  EXPECT_NE(x_.FindWindow(game_.pid(), "Varnholt - Halvex - Multiplayer Games - ", kStepMs, true), 0u)
      << "the games dialog has its own title: " << x_.Title(wizard);
  // Create, and OK in its box with the description it offers.
  x_.Click(wizard, layout::kCreateLeft + layout::kButtonWidth / 2, layout::kButtonTop + layout::kButtonHeight / 2);
  ASSERT_TRUE(game_.WaitForLine("trace: wizard dialog 10003", kStepMs));
  x_.Click(wizard, layout::kBoxOkLeft + layout::kButtonWidth / 2, layout::kBoxButtonTop + layout::kButtonHeight / 2);
  ASSERT_TRUE(game_.WaitForLine("multiplayer: hosting \"Wizard's Game\" as Wizard", kStepMs));
  window_ = x_.FindWindow(game_.pid(), "Varnholt - Halvex (Host)", kLoadMs);
  ASSERT_NE(window_, 0u) << "the host's window is titled as the host's";
  x_.Focus(window_);
  ASSERT_TRUE(game_.WaitForLine("trace: match running", kLoadMs)) << "no intro in a network game";

  // Another player joins from the command line and is seen in the match.
  fs::create_directories(work_ / "visitor" / "cfg");
  GameProcess visitor;
  ASSERT_TRUE(visitor.Start(BinaryDir() / "bin" / "halvex",
                            {"--headless", "--join", "127.0.0.1:" + port, "--name", "Visitor", "--seconds", "10",
                             "--max-fps", "30", "--trace", "--config-dir", (work_ / "visitor" / "cfg").string(),
                             "--content", content_.string()},
                            "", work_ / "visitor"));
  EXPECT_TRUE(game_.WaitForLine("trace: joined Visitor", kLoadMs)) << visitor.Output() << visitor.Errors();
  EXPECT_TRUE(visitor.WaitForLine("trace: joined Wizard", kLoadMs)) << visitor.Output() << visitor.Errors();
  EXPECT_TRUE(game_.WaitForLine("trace: left Visitor", 120000));
  EXPECT_EQ(visitor.WaitExit(60000), 0);

  x_.Close(window_);
  ExpectCleanExit(60000);
}

TEST_F(WindowE2E, WaitingForALobbyTakesTheSettingsTheLobbyHandsOver) {
  namespace layout = net::wizard_layout;
  // The lobby socket lives in the runtime folder: this test's own, with a
  // short path (a socket's path has room for about a hundred bytes).
  const fs::path runtime = fs::temp_directory_path() / ("hvx-" + std::to_string(::getpid()));
  fs::create_directories(runtime);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  const std::string port = std::to_string(20000 + (::getpid() * 13) % 12000);
  const std::vector<std::string> args = {
      "--skip-launcher", "--windowed", "--resolution", "640x480", "--multiplayer", "--name", "Waiting",
      "--trace", "--config-dir", (work_ / "cfg").string(), "--content", content_.string()};
  ASSERT_TRUE(game_.Start(BinaryDir() / "bin" / "halvex", args, x_.display(), work_));
  const unsigned long wizard = x_.FindWindow(game_.pid(), "Varnholt - Halvex - Multiplayer Connect - ", kLoadMs, true);
  ASSERT_NE(wizard, 0u) << "no connect wizard";
  ASSERT_TRUE(game_.WaitForLine("trace: wizard dialog 10001", kLoadMs));
  // "Wait for Lobby Connection" is the list's second entry.
  x_.Click(wizard, layout::kListLeft + 80, layout::kListTop + 10 + layout::kRowHeight);
  x_.Click(wizard, layout::kOkLeft + layout::kButtonWidth / 2, layout::kButtonTop + layout::kButtonHeight / 2);

  // The game listens for its lobby once the player chose to wait for one.
  ASSERT_TRUE(game_.WaitForLine("trace: wizard dialog 10004", kStepMs))
      << "the game is not waiting for a lobby: " << x_.Title(wizard);
  const fs::path socket = runtime / ("halvex-lobby-" + std::to_string(::getuid()) + ".sock");
  ASSERT_TRUE(fs::exists(socket));
  // The lobby hands over a session to host.
  fs::create_directories(work_ / "lobby");
  GameProcess lobby;
  ASSERT_TRUE(lobby.Start(BinaryDir() / "bin" / "halvex_lobby",
                          {"--host", "Lobby Night", "--name", "Chosen", "--port", port, "--deliver", "--timeout",
                           "60000"},
                          "", work_ / "lobby"));
  const auto delivered = lobby.WaitExit(90000);
  ASSERT_TRUE(delivered);
  EXPECT_EQ(*delivered, 0) << lobby.Output() << lobby.Errors();
  ASSERT_TRUE(game_.WaitForLine("multiplayer: hosting \"Lobby Night\" as Chosen on port " + port, kStepMs))
      << "the game did not take the lobby's settings";
  window_ = x_.FindWindow(game_.pid(), "Varnholt - Halvex (Host)", kLoadMs);
  ASSERT_NE(window_, 0u);
  x_.Focus(window_);  // the wizard's window had it; the game waits for the player to come back
  ASSERT_TRUE(game_.WaitForLine("trace: match running", kLoadMs));
  x_.Close(window_);
  ExpectCleanExit(60000);
  fs::remove_all(runtime);
}

}  // namespace
}  // namespace halvex::test
