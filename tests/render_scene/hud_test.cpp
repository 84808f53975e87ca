// HUD rules: level colours, the frame-rate colour and counter, the match
// clock, the chat cursor, the scoreboard order, the banner's fade.
#include <gtest/gtest.h>

#include "render/hud/hud.h"

namespace halvex::render {
namespace {

TEST(Hud, AmmunitionAndPowerColoursChangeAtTheirThresholds) {
  EXPECT_EQ(LevelColour(51), kGreen);
  EXPECT_EQ(LevelColour(50), kYellow);
  EXPECT_EQ(LevelColour(26), kYellow);
  EXPECT_EQ(LevelColour(25), kRed);
  EXPECT_EQ(LevelColour(0), kRed);
  EXPECT_EQ(LevelColour(200), kGreen);
}

TEST(Hud, FrameRateColourIsGreenYellowOrRed) {
  EXPECT_EQ(FrameRateColour(60.0f), 0xff00ff00u);
  EXPECT_EQ(FrameRateColour(30.0f), 0xffffff00u);
  EXPECT_EQ(FrameRateColour(15.5f), 0xffffff00u);
  EXPECT_EQ(FrameRateColour(15.0f), 0xffff0000u) << "15 and below is red";
}

TEST(Hud, FrameRateCounterSamplesOncePerWholeSecond) {
  FrameRateCounter c;
  c.lastSample = 100.0;
  for (int i = 0; i < 49; ++i) c.Count(100500);
  EXPECT_EQ(c.rate, 0.0f) << "no sample before a second has passed";
  c.Count(101200);  // t = 101: not more than 1.0 after 100
  EXPECT_EQ(c.rate, 0.0f);
  c.Count(102100);  // t = 102
  EXPECT_FLOAT_EQ(c.rate, 51.0f / 2.0f);
  EXPECT_EQ(c.frames, 0);
}

TEST(Hud, MatchClockPadsSecondsOnly) {
  EXPECT_EQ(MatchClockText(0), "0:00");
  EXPECT_EQ(MatchClockText(187000), "3:07");
  EXPECT_EQ(MatchClockText(765999), "12:45");
  EXPECT_EQ(MatchClockText(60000), "1:00");
}

TEST(Hud, ChatCursorBlinksEveryHalfSecondAndShowsWhileTyping) {
  char chat[64];
  EXPECT_EQ(ChatText("hi", 0, false, chat), "Chat: hi");
  EXPECT_EQ(ChatText("hi", 500, false, chat), "Chat: hi|");
  EXPECT_EQ(ChatText("hi", 1000, false, chat), "Chat: hi");
  EXPECT_EQ(ChatText("hi", 1000, true, chat), "Chat: hi|");
  EXPECT_EQ(ChatText("", 60000, false, chat), "Chat: ") << "the blink restarts every minute";
  char small[8];
  EXPECT_EQ(ChatText("hello", 500, false, small), "Chat: he") << "cut at the buffer's size";
}

TEST(Hud, ScoreboardListsCombatantsBestFirst) {
  auto s = std::make_unique<MatchState>();
  s->combatantCount = 4;
  const int frags[4] = {2, 5, 0, 5};
  for (int i = 0; i < 4; ++i) s->combatants[i].frags = frags[i];
  s->combatants[4].frags = 99;  // not in the match
  const ScoreboardRows rows = ScoreboardOrder(*s);
  EXPECT_EQ(std::vector<int>(rows.begin(), rows.end()), (std::vector<int>{1, 3, 0, 2}));
  s->combatantCount = 0;
  EXPECT_EQ(ScoreboardOrder(*s).count, 0);
}

TEST(Hud, WelcomeBannerIsOpaqueAbove255AndFadesOut) {
  EXPECT_EQ(BannerAlpha(1000.0f), 255);
  EXPECT_EQ(BannerAlpha(255.0f), 255);
  EXPECT_EQ(BannerAlpha(128.7f), 128);
  EXPECT_EQ(BannerAlpha(0.5f), 0);
}

}  // namespace
}  // namespace halvex::render
