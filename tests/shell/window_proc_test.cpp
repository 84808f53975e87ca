#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/window/window.h"
#include "shell/halvex_app.h"
#include "tests/shell/recording_hooks.h"

namespace halvex {
namespace {

using namespace std::chrono_literals;
using platform::Message;

// A live game thread that counts frames and parks at its safe point.
class WindowProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Create({.title = "test", .headless = true}));
    thread_.Start([this] {
      while (!stop_) {
        thread_.gate().SafePoint();
        ++frames_;
        std::this_thread::sleep_for(1ms);
      }
      return 1;
    });
  }
  void TearDown() override {
    stop_ = true;
    thread_.Join();
  }
  platform::LResult Send(std::uint32_t msg, platform::WParam w = 0, platform::LParam l = 0) {
    return app_.WindowProc(window_, Message{msg, w, l});
  }
  void Type(const std::string& text) {
    for (unsigned char c : text) Send(platform::WM_CHAR, c);
  }
  // True when the game thread makes no progress for a while.
  bool GameThreadStalls() {
    for (int i = 0; i < 200 && !thread_.gate().parked(); ++i) std::this_thread::sleep_for(1ms);
    int before = frames_;
    std::this_thread::sleep_for(30ms);
    return frames_ == before;
  }
  bool GameThreadRuns() {
    int before = frames_;
    for (int i = 0; i < 500 && frames_ == before; ++i) std::this_thread::sleep_for(1ms);
    return frames_ != before;
  }
  void StartMatch() {
    flags_.matchReady = 1;
    flags_.gameRunning = 1;
    flags_.gameState = kGameStatePlaying;
  }

  Settings settings_;
  ShellFlags flags_;
  test::RecordingHooks hooks_;
  platform::GameThread thread_;
  platform::Window window_;
  HalvexApp app_{settings_, flags_, hooks_, thread_};
  std::atomic<bool> stop_{false};
  std::atomic<int> frames_{0};
};

TEST_F(WindowProcTest, AltTabDuringTheMatchSuspendsOnceAndResumesOnce) {
  StartMatch();
  settings_.useSoundtrack = true;
  Send(platform::WM_ACTIVATEAPP, 0);
  EXPECT_EQ(app_.suspendCount(), 1);
  EXPECT_EQ(flags_.focusPaused, 1) << "the match is asked to pause";
  EXPECT_EQ(flags_.gameState, kGameStatePlaying) << "the match's own state is the match's to write";
  EXPECT_EQ(flags_.gameRunning, 0);
  EXPECT_FALSE(hooks_.soundEnabled);
  EXPECT_TRUE(GameThreadStalls());
  EXPECT_EQ(hooks_.Count("ReleaseInputDevices"), 1);
  EXPECT_EQ(hooks_.Count("FrameTimer2"), 1);

  Send(platform::WM_ACTIVATEAPP, 0);  // a second deactivation must not suspend twice
  EXPECT_EQ(app_.suspendCount(), 1);
  EXPECT_EQ(thread_.gate().suspended(), 1);

  Send(platform::WM_ACTIVATEAPP, 1);
  EXPECT_EQ(app_.suspendCount(), 0);
  EXPECT_EQ(thread_.gate().suspended(), 0);
  EXPECT_TRUE(GameThreadRuns());
  EXPECT_EQ(flags_.focusPaused, 0);
  EXPECT_EQ(flags_.gameRunning, 1);
  EXPECT_TRUE(hooks_.soundEnabled);
  EXPECT_EQ(hooks_.Count("StartAmbientLoops"), 1);
  EXPECT_EQ(hooks_.Count("RestartSoundtrack"), 1);
  EXPECT_EQ(hooks_.Count("FrameTimer1"), 1);
  EXPECT_EQ(hooks_.Count("FrameTimer0"), 1);
}

TEST_F(WindowProcTest, AltTabDuringLoadingNeverSuspends) {
  Send(platform::WM_ACTIVATEAPP, 0);
  EXPECT_EQ(flags_.appInactive, 1);
  EXPECT_EQ(app_.suspendCount(), 0);
  EXPECT_TRUE(GameThreadRuns());
  Send(platform::WM_ACTIVATEAPP, 1);
  EXPECT_EQ(flags_.appInactive, 0);
  EXPECT_EQ(hooks_.Count("StartAmbientLoops"), 0);
}

TEST_F(WindowProcTest, WizardKeepsTheFocusOnActivation) {
  flags_.wizardActive = 1;
  EXPECT_EQ(Send(platform::WM_ACTIVATEAPP, 1), 1);
  EXPECT_EQ(Send(platform::WM_ACTIVATE, platform::WA_ACTIVE), 1);
}

// Only the game thread touches the device: the window thread's second close
// ends its message loop and asks for a quick exit, and the game thread
// releases everything itself once it sees exitRequested.
TEST_F(WindowProcTest, CloseIsIgnoredWhileLoadingAndTheSecondCloseLeavesQuickly) {
  EXPECT_EQ(Send(platform::WM_CLOSE), 1);
  EXPECT_EQ(flags_.exitRequested, 0);

  StartMatch();
  Send(platform::WM_ACTIVATEAPP, 0);  // suspended when the close comes
  Send(platform::WM_CLOSE);
  EXPECT_EQ(flags_.exitRequested, 1);
  EXPECT_EQ(app_.suspendCount(), 0) << "the close resumes the game thread first";
  EXPECT_TRUE(GameThreadRuns());
  EXPECT_EQ(flags_.quickExit, 0);

  Send(platform::WM_CLOSE);
  EXPECT_EQ(flags_.quickExit, 1);
  EXPECT_TRUE(GameThreadRuns()) << "the game thread is left to finish on its own";
  // ApplicationExit follows on the queue, then the quit.
  int code = window_.RunMessageLoop(
      [this](platform::Window& w, const Message& m) { return app_.WindowProc(w, m); });
  EXPECT_EQ(code, 0);
}

TEST_F(WindowProcTest, DeleteQuitsAtOnceEvenWhileLoading) {
  Send(platform::WM_KEYDOWN, platform::VK_DELETE);
  EXPECT_EQ(flags_.matchReady, 1);
  EXPECT_EQ(flags_.exitRequested, 1);
  // Now a close is no longer ignored: it leaves as quickly as is safe.
  Send(platform::WM_CLOSE);
  EXPECT_EQ(flags_.quickExit, 1);
  int code = window_.RunMessageLoop(
      [this](platform::Window& w, const Message& m) { return app_.WindowProc(w, m); });
  EXPECT_EQ(code, 0);
}

TEST_F(WindowProcTest, TerminationEndsTheGameEvenWhileLoadingAndASecondOneLeavesQuickly) {
  Send(platform::WM_ACTIVATEAPP, 0);  // idle priorities while loading
  Send(platform::WM_ENDSESSION, 1);
  EXPECT_EQ(flags_.exitRequested, 1) << "a signal is not ignored the way an early close is";
  EXPECT_EQ(flags_.matchReady, 1);
  EXPECT_EQ(flags_.appInactive, 0);
  EXPECT_EQ(flags_.quickExit, 0);
  EXPECT_EQ(hooks_.Count("StopAllSound"), 1);
  Send(platform::WM_ENDSESSION, 1);
  EXPECT_EQ(flags_.quickExit, 1);
  int code = window_.RunMessageLoop(
      [this](platform::Window& w, const Message& m) { return app_.WindowProc(w, m); });
  EXPECT_EQ(code, 0);
}

// The window thread ends chat entry in the chat state alone; the shared
// flags are the match's to write (it restores the spectator mode itself).
TEST_F(WindowProcTest, ChatEntryTypesAndSendsWithoutWritingTheMatchFlags) {
  StartMatch();
  flags_.spectatorMode = 0;
  app_.OpenChatEntry(window_);
  EXPECT_TRUE(app_.ChatEntryOpen());
  EXPECT_EQ(hooks_.Count("ReleaseKeyboard"), 1);
  Type("hello");
  Send(platform::WM_CHAR, '\r');  // before the arming timer: ignored
  EXPECT_TRUE(app_.ChatEntryOpen());
  Send(platform::WM_TIMER, kTimerChatEnterArm);
  Send(platform::WM_CHAR, '\r');
  EXPECT_FALSE(app_.ChatEntryOpen());
  EXPECT_EQ(flags_.spectatorMode, 0);
  EXPECT_EQ(flags_.chatActive, 0);
  ASSERT_EQ(hooks_.submitted.size(), 1u);
  EXPECT_EQ(hooks_.submitted[0], "hello");
  EXPECT_EQ(hooks_.Count("AcquireKeyboard"), 1);
  EXPECT_EQ(app_.chat().chatHistory[1], "hello");

  // Characters outside chat entry do nothing.
  Type("x");
  EXPECT_TRUE(app_.chat().chatLine.empty());

  app_.OpenChatEntry(window_);
  Send(platform::WM_TIMER, kTimerChatEnterArm);
  Send(platform::WM_CHAR, '\r');  // empty line: closes, sends nothing
  EXPECT_FALSE(app_.ChatEntryOpen());
  EXPECT_EQ(hooks_.submitted.size(), 1u);
}

TEST_F(WindowProcTest, EscapeCancelsAndFullLinePlaysTheSound) {
  StartMatch();
  flags_.spectatorMode = 1;
  app_.OpenChatEntry(window_);
  Type(std::string(55, 'a'));
  EXPECT_EQ(app_.chat().chatLine.size(), 50u);
  EXPECT_EQ(hooks_.Count("PlayLineFullSound"), 5);
  Send(platform::WM_CHAR, 8);
  EXPECT_EQ(app_.chat().chatLine.size(), 49u);
  Send(platform::WM_CHAR, 27);
  EXPECT_FALSE(app_.ChatEntryOpen());
  EXPECT_TRUE(app_.chat().chatLine.empty());
  EXPECT_TRUE(hooks_.submitted.empty());
}

TEST_F(WindowProcTest, PlayersJoiningAndLeavingFromTheNetworkThreadReachTheMatch) {
  settings_.playerName = "Me";
  settings_.multiplayer = true;
  std::thread network([&] {
    // Each notice carries its own copy of the record, which the window thread frees.
    window_.Post(kMsgPlayerJoined, 0, reinterpret_cast<platform::LParam>(new JoinedPlayer{7, "Me Myself", true}));
    window_.Post(kMsgPlayerJoined, 0, reinterpret_cast<platform::LParam>(new JoinedPlayer{8, "Me"}));
    window_.Post(kMsgPlayerJoined, 0, reinterpret_cast<platform::LParam>(new JoinedPlayer{42, "Rook"}));
    window_.Post(kMsgPlayerJoined, 0, reinterpret_cast<platform::LParam>(new JoinedPlayer{43, "Kestrel"}));
    window_.Post(kMsgPlayerLeft, 0, reinterpret_cast<platform::LParam>(new JoinedPlayer{42, "Rook"}));
    window_.Post(platform::WM_QUIT, 0);
  });
  window_.RunMessageLoop(
      [this](platform::Window& w, const Message& m) { return app_.WindowProc(w, m); });
  network.join();
  EXPECT_EQ(app_.remotePlayerCount, 3) << "every player counts, the local one included";
  const std::vector<std::string> expected = {"join 42 Rook", "join 43 Kestrel", "leave 42 Rook"};
  EXPECT_EQ(hooks_.roster, expected) << "the local player and a namesake of ours get no record";
}

TEST_F(WindowProcTest, TimersAndReceivedChat) {
  settings_.multiplayer = true;
  Send(platform::WM_TIMER, kTimerStatus);
  EXPECT_EQ(hooks_.Count("SendStatusMessage"), 1);
  app_.chat().chatTyping = true;
  Send(platform::WM_TIMER, kTimerChatTyping);
  EXPECT_FALSE(app_.chat().chatTyping);
  Send(kMsgReceivedChat, 0, reinterpret_cast<platform::LParam>(new std::string("Rook: hi")));
  ASSERT_EQ(hooks_.pushedLines.size(), 1u);
  EXPECT_EQ(hooks_.pushedLines[0], "Rook: hi");
}

// SDL's notice that the audio output went away reaches the sound code
// through the window thread's message procedure; a recording device going
// away is none of the game's business.
TEST_F(WindowProcTest, AudioOutputRemovedReachesTheSoundOnce) {
  for (bool capture : {false, true}) {
    SDL_Event event{};
    event.type = SDL_AUDIODEVICEREMOVED;
    event.adevice.which = 2;
    event.adevice.iscapture = capture;
    Message messages[8];
    const int n = platform::TranslateEvent(event, messages, 8);
    ASSERT_EQ(n, capture ? 0 : 1);
    for (int i = 0; i < n; ++i) app_.WindowProc(window_, messages[i]);
  }
  EXPECT_EQ(hooks_.Count("AudioDeviceLost"), 1);
}

TEST(WindowPlacement, CentresWindowsAndFillsTheScreen) {
  auto w = platform::PlaceWindow(false, 640, 480, 1024, 768);
  EXPECT_EQ(w.x, 192);
  EXPECT_EQ(w.y, 144);
  auto f = platform::PlaceWindow(true, 640, 480, 1024, 768);
  EXPECT_EQ(f.x, 0);
  EXPECT_EQ(f.width, 1024);
}

}  // namespace
}  // namespace halvex

namespace halvex {
namespace {

// The connect wizard reads SDL's events on its own thread; while it does,
// the window thread must be out of SDL's event calls, not merely asked to be.
TEST(WindowPump, PausingReturnsOnceTheWindowThreadHasLeftSdlsEvents) {
  platform::Window window;
  std::atomic<int> state{0}, pumps{0};  // state: 1 up, -1 no window
  window.SetPumpHook([&] { ++pumps; });
  std::thread loop([&] {
    if (!window.Create({.title = "pump", .width = 64, .height = 64})) {
      state = -1;
      return;
    }
    state = 1;
    window.RunMessageLoop([](platform::Window&, const platform::Message&) -> platform::LResult { return 0; });
  });
  while (state == 0) std::this_thread::sleep_for(1ms);
  if (state < 0) {
    loop.join();
    GTEST_SKIP() << "no display";
  }
  auto poke = [] {
    SDL_Event e{};
    e.type = SDL_USEREVENT;
    SDL_PushEvent(&e);
  };
  for (int i = 0; i < 500 && pumps == 0; ++i) std::this_thread::sleep_for(1ms);
  window.PauseEventPump(true);
  const int paused = pumps;
  for (int i = 0; i < 10; ++i) {
    poke();
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(pumps, paused) << "the window thread went on reading SDL's events";
  window.PauseEventPump(false);
  for (int i = 0; i < 500 && pumps == paused; ++i) {
    poke();
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_GT(pumps, paused) << "the window thread never came back to its events";
  window.Post(platform::WM_QUIT, 0);
  loop.join();
}

}  // namespace
}  // namespace halvex
