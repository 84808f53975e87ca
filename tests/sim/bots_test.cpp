#include "sim/bots.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim_fixture.h"

namespace halvex {
namespace {

class Bots : public SimTest {
 protected:
  void MoveOnce(int sign, int run, float ts = 1.0f) {
    FrameContext ctx = Ctx(ts);
    MoveBot(state(), 0, sign, run, ctx);
  }
};

TEST_F(Bots, AimTurnTowardTargetSide) {
  AddBots({Vec3(0, 15, 0)});
  bot(0).heading = Vec3(0, 0, 2);  // facing +z
  EXPECT_NEAR(AimTurn(bot(0), Vec3(100, 40, 0)), 0.2f, 1e-5f);  // right
  EXPECT_NEAR(bot(0).aimVector.x, 1.0f, 1e-6f);
  EXPECT_NEAR(bot(0).targetDistance, 100.0f, 1e-4f);  // measured at height 15
  EXPECT_NEAR(AimTurn(bot(0), Vec3(-100, 15, 0)), -0.2f, 1e-5f);  // left
  EXPECT_EQ(AimTurn(bot(0), Vec3(0, 15, 100)), 0.0f);   // ahead
  EXPECT_EQ(AimTurn(bot(0), Vec3(0, 15, -100)), 0.0f);  // behind
  float half = AimTurn(bot(0), Vec3(100, 15, 100));    // 45 degrees right
  EXPECT_NEAR(half, (1 + std::sqrt(0.5f)) * 0.1f, 1e-5f);
}

TEST_F(Bots, FarWithoutApproachRunsSidewaysAtDoubleSpeed) {
  AddBots({Vec3(0, 15, 0)});
  bot(0).heading = Vec3(0, 0, 2);
  bot(0).aimVector = Vec3(1, 0, 0);
  bot(0).strafe = 1;
  // (Each open-ground query keeps back 0.014 of the move.)
  MoveOnce(-1, 1, 0.5f);
  EXPECT_NEAR(bot(0).position.x, 2 * 0.5f, 0.015f);
  EXPECT_NEAR(bot(0).position.z, 0.0f, 1e-6f);  // no forward part
  MoveOnce(1, 0, 1.0f);                           // walk: strafe plus heading
  EXPECT_NEAR(bot(0).position.x, 2.0f, 0.025f);
  EXPECT_NEAR(bot(0).position.z, 2.0f, 0.015f);
}

TEST_F(Bots, MovementTableChoosesByApproachAndDistance) {
  Settings settings;
  settings.botCount = 1;
  HeadlessMatch match(settings, 11);
  MatchState& s = match.State();
  Combatant& b = s.combatants[0];
  // Keep the bot thinking, targeting the player 70 units away, closing in.
  s.settings.botFireChance = 100;
  s.settings.enemyAttack = 0;
  b.target = 0;
  b.approach = 1;
  b.approachTimer = b.strafeTimer = b.climbTimer = 1e6f;
  b.strafe = 1;
  b.climb = 0;
  b.position = Vec3(70, 15, 0);
  b.heading = Vec3(-2, 0, 0);  // facing the player at the origin
  s.player.view.pivot = Vec3(0, 15, 0);
  InputSnapshot none;
  for (int f = 0; f < 60; ++f) match.Step(16, none);
  // Circling: sideways at double speed, the distance roughly kept.
  float d = std::hypot(b.position.x, b.position.z);
  EXPECT_GT(d, 50.0f);
  EXPECT_LT(d, 110.0f);
  EXPECT_GT(std::fabs(b.position.z), 20.0f);
}

TEST_F(Bots, LimitsReverseStrafeAndCeilingFlipsClimb) {
  AddBots({Vec3(479, 15, 0)});
  bot(0).heading = Vec3(0, 0, 2);
  bot(0).aimVector = Vec3(1, 0, 0);
  bot(0).strafe = 1;
  bot(0).approach = 0;
  MoveOnce(-1, 1);
  EXPECT_EQ(bot(0).position.x, 479.0f);  // the move would leave the rectangle
  EXPECT_EQ(bot(0).strafe, -1);
  EXPECT_EQ(bot(0).approach, 1);
  bot(0).position = Vec3(0, state().area.botCeiling + 20, 0);
  bot(0).climb = 1;
  MoveOnce(1, 0);
  EXPECT_EQ(bot(0).position.y, state().area.botCeiling);
  EXPECT_EQ(bot(0).climb, 0);
  // Sinking back to the ground level when not climbing.
  bot(0).position = Vec3(0, 20.5f, 0);
  MoveOnce(1, 0);
  EXPECT_EQ(bot(0).position.y, 15.0f);
}

TEST_F(Bots, EnemyAiAndAttackSwitches) {
  Settings settings;
  settings.botCount = 4;
  settings.enemyAI = 0;
  HeadlessMatch idle(settings, 21);
  Vec3 start = idle.State().combatants[2].position;
  InputSnapshot none;
  for (int f = 0; f < 600; ++f) idle.Step(16, none);
  EXPECT_EQ(idle.State().combatants[2].position, start);
  EXPECT_EQ(idle.State().combatants[2].shotsFired, 0);
  EXPECT_EQ(idle.Events().linesPushed, 0);

  settings.enemyAI = 1;
  settings.enemyAttack = 0;
  HeadlessMatch peaceful(settings, 21);
  for (int f = 0; f < 600; ++f) peaceful.Step(16, none);
  int shots = 0;
  for (int i = 0; i < 4; ++i) shots += peaceful.State().combatants[i].shotsFired;
  EXPECT_EQ(shots, 0);
  EXPECT_NE(peaceful.State().combatants[2].position, start);
}

// Bot shots are heard at the bots' level, so they must never be reported as
// the player's own.
TEST_F(Bots, BotShotsSoundAsBotShots) {
  Settings settings;
  settings.botCount = 8;
  HeadlessMatch match(settings, 5);
  InputSnapshot none;  // the player spectates and never fires
  for (int f = 0; f < 3000; ++f) match.Step(16, none);
  const CountingEvents& e = match.Events();
  EXPECT_GT(e.Sound(SoundEffect::kBotFire) + e.Sound(SoundEffect::kBotFireRocket), 0);
  EXPECT_EQ(e.Sound(SoundEffect::kFire), 0);
  EXPECT_EQ(e.Sound(SoundEffect::kFireRocket), 0);
}

TEST_F(Bots, SpectatedPlayerIsNotShotAndTargetsMoveOn) {
  AddBots({Vec3(0, 15, 100), Vec3(100, 15, 100), Vec3(-100, 15, 100)});
  state().flags.spectatorMode = 1;
  state().settings.botFireChance = 100;
  for (int i = 0; i < 3; ++i) bot(i).fireCharge = 100;
  int switched = 0;
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 3; ++i) bot(i).target = i;  // all aim at the player
    FrameContext ctx = Ctx();
    BotStep(state(), ctx);
    for (int i = 0; i < 3; ++i) switched += bot(i).target != i;
  }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bot(i).shotsFired, 0);
  EXPECT_GT(switched, 50);  // a random pick, which may be the bot itself
}

}  // namespace
}  // namespace halvex
