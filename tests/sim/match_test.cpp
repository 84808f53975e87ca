// Whole matches: long seeded runs keep the invariants, equal inputs give
// equal states, and the ambient clocks and morphs behave.
#include <gtest/gtest.h>

#include <vector>

#include "sim/ambient.h"
#include "sim/headless.h"
#include "sim/invariants.h"
#include "sim/match_setup.h"
#include "tools/matchrunner/script.h"

namespace halvex {
namespace {

// The player enters the fight, walks, turns, jumps, fires rockets and the
// shotgun, and presses Space now and then (reload, or respawn when fragged).
const char kPlayerScript[] = R"(
30 down F12
32 up F12
40 down W
40 button 0 1
60 mouse 80 -10
90 button 1 1
100 button 1 0
150 mouse 0 0 1
200 down D
400 up W
600 down SPACE
601 up SPACE
900 mouse -300 20 1
1500 down SPACE
1501 up SPACE
3000 down SPACE
3001 up SPACE
)";

struct RunResult {
  std::uint64_t hash;
  std::string broken;
  int deaths;
  int playerShots;
};

RunResult Play(std::uint32_t seed, int bots, int frames, const std::vector<std::uint32_t>& times,
               bool check) {
  Settings settings;
  settings.botCount = bots;
  settings.bloodAmount = 2;
  HeadlessMatch match(settings, seed);
  InputScript script;
  std::string error;
  EXPECT_TRUE(script.Parse(kPlayerScript, &error)) << error;
  RunResult r{0, {}, 0, 0};
  for (int f = 0; f < frames; ++f) {
    InputSnapshot in = script.Next(match.SimulatedFrames());
    match.Step(times[f % times.size()], in);
    if (check && (f % 25 == 0 || f == frames - 1)) {
      r.broken = CheckInvariants(match.State());
      if (!r.broken.empty()) {
        r.broken = "frame " + std::to_string(f) + ": " + r.broken;
        break;
      }
    }
  }
  r.hash = HashMatchState(match.State());
  r.deaths = match.State().deaths;
  r.playerShots = match.State().player.shotsFired;
  return r;
}

TEST(LongRun, ThirtyTwoBotsKeepInvariants) {
  // 20000 frames at a varied frame time, with an occasional stall that the
  // time step must absorb.
  RunResult r = Play(2024, 32, 20000, {16, 17, 15, 33, 16, 250, 8}, true);
  EXPECT_EQ(r.broken, "");
  EXPECT_GT(r.deaths, 100);       // the bots really fight
  EXPECT_GT(r.playerShots, 50);   // and so does the player
}

TEST(LongRun, SameSeedSameStateDifferentSeedDiffers) {
  std::vector<std::uint32_t> times = {16, 17, 15, 20};
  RunResult a = Play(77, 12, 3000, times, false);
  RunResult b = Play(77, 12, 3000, times, false);
  RunResult c = Play(78, 12, 3000, times, false);
  RunResult d = Play(77, 12, 3000, {16, 17, 15, 21}, false);
  EXPECT_EQ(a.hash, b.hash);
  EXPECT_NE(a.hash, c.hash);
  EXPECT_NE(a.hash, d.hash);
}

TEST(Ambient, ClocksBounceCycleAndStayBounded) {
  AnimationClocks c;
  float lowW = 0, highW = 0;
  int keyChanges = 0, lastKey = 0;
  for (int f = 0; f < 20000; ++f) {
    AdvanceAnimationClocks(c, 0.7f);
    lowW = std::min(lowW, c.wave);
    highW = std::max(highW, c.wave);
    keyChanges += c.oceanKey != lastKey;
    lastKey = c.oceanKey;
  }
  EXPECT_EQ(lowW, -1.0f);  // snapped to the end it passed
  EXPECT_EQ(highW, 1.0f);
  EXPECT_NEAR(keyChanges, 28, 1);  // one key per 1 / 0.002 units
  EXPECT_GE(c.raven, -1.0f);
  EXPECT_LE(c.raven, 1.0f);
  EXPECT_LT(c.skyAngle1, 2 * kPi);
  // The sun turns: its height changes sign over a long run.
  AnimationClocks d;
  bool below = false;
  for (int f = 0; f < 20000 && !below; ++f) {
    AdvanceAnimationClocks(d, 1.0f);
    below = d.sun.y < 0;
  }
  EXPECT_TRUE(below);
}

TEST(Ambient, MorphBlendsPositionsAndNormalsNotUv) {
  float a[16] = {0, 0, 0, 1, 0, 0, 0.25f, 0.5f, 2, 2, 2, 0, 1, 0, 1, 1};
  float b[16] = {10, 20, 30, 0, 0, 1, 9, 9, 4, 4, 4, 0, 0, 1, 9, 9};
  float w[16] = {};
  w[6] = 0.25f;
  w[7] = 0.5f;
  MorphVertices(w, a, b, 0.75f, 0.25f, 2);
  EXPECT_FLOAT_EQ(w[0], 2.5f);
  EXPECT_FLOAT_EQ(w[2], 7.5f);
  EXPECT_FLOAT_EQ(w[3], 0.75f);
  EXPECT_FLOAT_EQ(w[5], 0.25f);
  EXPECT_EQ(w[6], 0.25f);  // texture coordinates untouched
  EXPECT_FLOAT_EQ(w[8], 2.5f);
  EXPECT_EQ(w[14], 0.0f);
}

TEST(Ambient, WanderersRoamOnlyInView) {
  Settings settings;
  settings.botCount = 0;
  HeadlessMatch match(settings, 9);
  MatchState& s = match.State();
  for (const Wanderer& w : s.sharks) {
    EXPECT_GE(w.position.y, -600);
    EXPECT_LE(w.position.y, -400);
    EXPECT_LT(w.velocity.z, 0);
  }
  InputSnapshot none;
  int movedInView = 0;
  for (int f = 0; f < 200; ++f) {
    // Keep looking straight at shark 0.
    s.player.view.target = s.sharks[0].position;
    std::vector<Vec3> before;
    for (const Wanderer& w : s.sharks) before.push_back(w.position);
    match.Step(16, none);
    for (int k = 0; k < kWanderersPerKind; ++k) {
      bool moved = s.sharks[k].position != before[k];
      if (s.sharks[k].viewOffset > 0.6f) {
        EXPECT_FALSE(moved) << k;
      }
      movedInView += moved;
    }
  }
  EXPECT_GT(movedInView, 150);  // shark 0 moves in nearly every frame
}

TEST(Script, ParsesEventsAndRejectsBadLines) {
  InputScript s;
  std::string error;
  ASSERT_TRUE(s.Parse("5 down w\n7 mouse 3 -4\n7 button 0 1 # fire\n9 up W\n", &error)) << error;
  InputSnapshot f0 = s.Next(0);
  EXPECT_FALSE(f0.KeyDown(scancode::kW));
  InputSnapshot f7 = s.Next(7);
  EXPECT_TRUE(f7.KeyDown(scancode::kW));
  EXPECT_EQ(f7.lX, 3);
  EXPECT_TRUE(f7.LeftButton());
  InputSnapshot f8 = s.Next(8);
  EXPECT_EQ(f8.lX, 0);  // motion lasts one frame
  EXPECT_FALSE(s.Next(9).KeyDown(scancode::kW));
  InputScript bad;
  EXPECT_FALSE(bad.Parse("3 down NOKEY\n", &error));
  EXPECT_EQ(error, "line 1: unknown key NOKEY");
  EXPECT_FALSE(bad.Parse("\nx down W\n", &error));
  EXPECT_EQ(error, "line 2: frame number expected");
  EXPECT_FALSE(bad.Parse("1 button 7 1\n", &error));
  EXPECT_FALSE(bad.Parse("1 mouse 1\n", &error));
  EXPECT_FALSE(bad.Parse("1 say   \n", &error)) << "an empty line is nothing to say";
  EXPECT_FALSE(bad.Parse("1 say " + std::string(kMaxScriptSayChars + 1, 'x') + "\n", &error));

  InputScript chat;
  ASSERT_TRUE(chat.Parse("4 say  /me waves to   all \n2 say hi\n", &error)) << error;
  std::vector<std::string> said;
  chat.Next(1, &said);
  EXPECT_TRUE(said.empty());
  chat.Next(4, &said);
  const std::vector<std::string> expected = {"hi", "/me waves to   all"};
  EXPECT_EQ(said, expected) << "lines come in frame order, inner blanks kept";
}

}  // namespace
}  // namespace halvex
