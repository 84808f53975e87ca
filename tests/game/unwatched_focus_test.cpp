// A run nobody watches keeps going when another window takes the focus.
#include <gtest/gtest.h>

#include "platform/window/window.h"
#include "shell/halvex_app.h"
#include "tests/shell/recording_hooks.h"

namespace halvex {
namespace {

struct UnwatchedHooks : test::RecordingHooks {
  bool unwatched = true;
  bool NobodyWatching() const override { return unwatched; }
};

TEST(UnwatchedRun, LosingTheFocusNeitherPausesNorSuspends) {
  platform::Window window;
  ASSERT_TRUE(window.Create({.title = "test", .headless = true}));
  Settings settings;
  ShellFlags flags;
  UnwatchedHooks hooks;
  platform::GameThread thread;
  HalvexApp app(settings, flags, hooks, thread);
  flags.matchReady = 1;
  flags.gameRunning = 1;
  flags.gameState = kGameStatePlaying;
  app.WindowProc(window, platform::Message{platform::WM_ACTIVATEAPP, 0, 0});
  EXPECT_EQ(app.suspendCount(), 0);
  EXPECT_EQ(flags.gameRunning, 1);
  EXPECT_EQ(flags.gameState, kGameStatePlaying);
  flags.matchReady = 0;  // still loading
  app.WindowProc(window, platform::Message{platform::WM_ACTIVATEAPP, 0, 0});
  EXPECT_EQ(flags.appInactive, 0) << "loading does not wait for the focus either";
  // Someone watching: the same message pauses the match as always.
  hooks.unwatched = false;
  app.WindowProc(window, platform::Message{platform::WM_ACTIVATEAPP, 0, 0});
  EXPECT_EQ(flags.appInactive, 1);
}

}  // namespace
}  // namespace halvex
