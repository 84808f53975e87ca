// What the window thread hands to the match: chat entry ending, the focus
// pause, and keys still held when the keyboard comes back.
#include <gtest/gtest.h>

#include "sim/frame.h"
#include "sim/input.h"

namespace halvex {
namespace {

using namespace scancode;

TEST(CloseChat, RestoresTheModeChatFoundAndOnlyOnce) {
  MatchState s;
  s.flags.spectatorMode = 0;
  s.flags.savedSpectatorMode = 0;
  s.flags.chatOpen = s.flags.chatActive = 1;
  s.flags.spectatorMode = 1;  // chat forces it on
  CloseChat(s);
  EXPECT_EQ(s.flags.chatOpen, 0);
  EXPECT_EQ(s.flags.chatActive, 0);
  EXPECT_EQ(s.flags.spectatorMode, 0);
  s.flags.spectatorMode = 1;  // F12 afterwards
  CloseChat(s);               // a late second request changes nothing
  EXPECT_EQ(s.flags.spectatorMode, 1);
}

TEST(FocusPause, ReturnsToExactlyTheStateItLeft) {
  for (int before : {1, 2, 10}) {  // playing, paused, dead
    MatchState s;
    s.flags.gameState = before;
    PauseForFocus(s);
    EXPECT_EQ(s.flags.gameState, 2);
    PauseForFocus(s);  // a second loss of the focus keeps the first state
    ResumeFromFocus(s);
    EXPECT_EQ(s.flags.gameState, before) << "a dead player stays dead, a paused match paused";
    s.flags.gameState = 1;
    ResumeFromFocus(s);  // no pause to end
    EXPECT_EQ(s.flags.gameState, 1);
  }
}

TEST(KeyLatch, HeldKeysActOnlyAfterBeingLetGo) {
  KeyLatch latch;
  InputSnapshot in;
  in.Press(kW);
  latch.Apply(in, true);
  EXPECT_TRUE(in.KeyDown(kW)) << "nothing latched before Arm";

  latch.Arm();
  InputSnapshot stale;
  stale.Press(kEscape);
  latch.Apply(stale, false);
  EXPECT_FALSE(stale.KeyDown(kEscape)) << "a frame without a real reading shows nothing";

  InputSnapshot held;
  held.Press(kEscape);
  held.Press(kEnter);
  latch.Apply(held, true);
  EXPECT_FALSE(held.KeyDown(kEscape));
  EXPECT_FALSE(held.KeyDown(kEnter));

  InputSnapshot still;
  still.Press(kEscape);
  still.Press(kW);  // pressed after the keyboard came back: acts at once
  latch.Apply(still, true);
  EXPECT_FALSE(still.KeyDown(kEscape));
  EXPECT_TRUE(still.KeyDown(kW));

  InputSnapshot released;  // Escape and Enter let go
  latch.Apply(released, true);
  InputSnapshot again;
  again.Press(kEscape);
  latch.Apply(again, true);
  EXPECT_TRUE(again.KeyDown(kEscape)) << "pressed anew, it acts";
}

}  // namespace
}  // namespace halvex
