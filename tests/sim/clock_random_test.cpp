#include <gtest/gtest.h>

#include "sim/clock.h"
#include "sim/headless.h"
#include "sim/random.h"
#include "sim_fixture.h"
#include "sim/combatants.h"

namespace halvex {

void SimTest::AddBots(std::initializer_list<Vec3> positions) {
  int i = 0;
  for (const Vec3& p : positions) {
    Combatant& c = state().combatants[i];
    c = Combatant{};
    c.position = c.previousPosition = p;
    c.tileIndex = CombatantTileIndex(p);
    c.target = i;
    std::string name = "Bot" + std::to_string(i);
    SetText(c.name, name.c_str());
    ++i;
  }
  state().combatantCount = i;
}

namespace {

TEST(GameRandom, ClassicSequenceAndRange) {
  // The 15-bit sequence the game's odds are written for.
  GameRandom r(1);
  EXPECT_EQ(r.Next(), 41);
  EXPECT_EQ(r.Next(), 18467);
  EXPECT_EQ(r.Next(), 6334);
  GameRandom s(7);
  float lo = 1e9f, hi = -1e9f;
  for (int i = 0; i < 200000; ++i) {
    float v = s.random(-1, 1);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  EXPECT_EQ(lo, -1.0f);  // 0 and 32767 both come up in a long run
  EXPECT_EQ(hi, 1.0f);
  GameRandom t(1);
  EXPECT_FLOAT_EQ(t.random(10, 20), 41.0f * 10.0f / 32767.0f + 10.0f);
}

TEST(FrameTimer, SevenCommandsAndStoppedTime) {
  ManualClock clock(10000);
  FrameTimer timer(clock);
  EXPECT_EQ(timer(FrameTimer::kReset), 0.0f);
  clock.Advance(500);
  EXPECT_FLOAT_EQ(timer(FrameTimer::kApplicationTime), 0.5f);
  EXPECT_FLOAT_EQ(timer(FrameTimer::kElapsed), 0.5f);
  clock.Advance(250);
  EXPECT_FLOAT_EQ(timer(FrameTimer::kElapsed), 0.25f);
  EXPECT_FLOAT_EQ(timer(FrameTimer::kAbsolute), 10.75f);
  timer(FrameTimer::kStop);
  clock.Advance(2000);  // stands still while stopped
  EXPECT_FLOAT_EQ(timer(FrameTimer::kApplicationTime), 0.75f);
  EXPECT_FLOAT_EQ(timer(FrameTimer::kAbsolute), 12.75f);
  timer(FrameTimer::kAdvance);
  EXPECT_NEAR(timer(FrameTimer::kApplicationTime), 0.85f, 1e-5f);
  timer(FrameTimer::kStart);  // the stopped interval does not count,
  clock.Advance(100);         // but the advance does
  EXPECT_NEAR(timer(FrameTimer::kApplicationTime), 0.95f, 1e-5f);
  EXPECT_EQ(timer(7), -1.0f);
  EXPECT_EQ(timer(-1), -1.0f);
}

TEST(MatchClock, LongFramesAreAbsorbedNotSimulated) {
  ManualClock clock(5000);
  MatchClock mc(clock);
  mc.Start();
  EXPECT_FALSE(mc.Step());  // the clock has not moved
  clock.Advance(16);
  ASSERT_TRUE(mc.Step());
  EXPECT_NEAR(mc.timeScale(), 0.64f, 1e-5f);
  clock.Advance(200);  // timeScale 8: skipped
  EXPECT_FALSE(mc.Step());
  clock.Advance(5);
  ASSERT_TRUE(mc.Step());
  EXPECT_NEAR(mc.frameDelta(), 0.005f, 1e-5f);
  clock.Advance(125);  // exactly 5.0 is still simulated
  EXPECT_TRUE(mc.Step());
}

TEST(KeyCommandGuard, HeldToggleRepeatsEveryQuarterSecond) {
  Settings settings;
  settings.botCount = 0;
  HeadlessMatch match(settings, 3);
  InputSnapshot in;
  in.Press(scancode::kF2);
  bool start = match.State().settings.showFramerate;
  int flips = 0;
  for (int f = 0; f < 100; ++f) {  // 1.6 s at 16 ms
    bool before = match.State().settings.showFramerate;
    match.Step(16, in);
    flips += match.State().settings.showFramerate != before;
  }
  EXPECT_GE(flips, 5);
  EXPECT_LE(flips, 6);
  EXPECT_EQ(match.State().settings.showFramerate, flips % 2 ? !start : start);
}

TEST(KeyCommandGuard, EnteringTheBattleTakesDownTheSpectatingHint) {
  Settings settings;
  settings.botCount = 0;
  HeadlessMatch match(settings, 3);
  InputSnapshot none, f12;
  f12.Press(scancode::kF12);
  for (int f = 0; f < 20; ++f) match.Step(16, none);
  ASSERT_EQ(match.State().player.centreMessage.kind, 3);
  ASSERT_GT(match.State().player.centreMessage.timer, 0.0f);
  match.Step(16, f12);
  ASSERT_EQ(match.State().flags.spectatorMode, 0);
  EXPECT_EQ(match.State().player.centreMessage.timer, 0.0f);
}

TEST(KeyCommandGuard, EscapeEndsEvenWhilePaused) {
  Settings settings;
  settings.botCount = 2;
  HeadlessMatch match(settings, 3);
  InputSnapshot none, pause, esc;
  pause.Press(scancode::kPause);
  esc.Press(scancode::kEscape);
  for (int f = 0; f < 20; ++f) match.Step(16, none);
  match.Step(16, pause);
  ASSERT_EQ(match.State().flags.gameState, 2);
  bool escaped = false;
  match.Step(16, esc, &escaped);
  EXPECT_TRUE(escaped);
}

}  // namespace
}  // namespace halvex
