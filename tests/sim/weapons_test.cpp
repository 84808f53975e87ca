#include "sim/weapons.h"

#include <gtest/gtest.h>

#include "sim/combatants.h"
#include "sim_fixture.h"
#include "world/collision/mesh_builder.h"

namespace halvex {
namespace {

Projectile Shot(const Vec3& pos, const Vec3& vel, int weapon) {
  Projectile p;
  p.position = pos;
  p.velocity = vel;
  p.weaponIndex = weapon;
  p.active = 1;
  return p;
}

TEST(HitTest, DamageByDistanceAndLine) {
  Vec3 centre(0, 0, 0);
  // Line 3 units from the centre; 4 units away: five times the damage.
  EXPECT_EQ(HitTest(Shot(Vec3(-std::sqrt(7.0f), 3, 0), Vec3(8, 0, 0), 0), centre), 5.0f);
  // 10 units away: plain damage.
  EXPECT_EQ(HitTest(Shot(Vec3(-std::sqrt(91.0f), 3, 0), Vec3(8, 0, 0), 0), centre), 1.0f);
  // 20 away and still 20 after its next step (moving across): nothing.
  EXPECT_EQ(HitTest(Shot(Vec3(-16, 3, 0), Vec3(0, 0, 32), 0), centre), 0.0f);
  // Out of range now but within 5 after the next step.
  EXPECT_EQ(HitTest(Shot(Vec3(-20, 3, 0), Vec3(18, 0, 0), 2), centre), 25.0f);
  // The line itself misses by 9: no hit even right beside the body.
  EXPECT_EQ(HitTest(Shot(Vec3(0, 9, 0), Vec3(8, 0, 0), 1), centre), 0.0f);
  // A rocket at close range: 100.
  EXPECT_EQ(HitTest(Shot(Vec3(-2, 0, 0), Vec3(5, 0, 0), 1), centre), 100.0f);
}

class Weapons : public SimTest {
 protected:
  void Fire(int frames = 1) {
    InputSnapshot in;
    in.buttons[0] = 1;
    for (int i = 0; i < frames; ++i) {
      FrameContext ctx = Ctx();
      PlayerWeaponStep(state(), in, ctx);
    }
  }
  void Combat(float ts = 1.0f) {
    FrameContext ctx = Ctx(ts);
    state().hitSoundsThisFrame = 0;
    CombatStep(state(), ctx);
  }
};

TEST_F(Weapons, LowAmmoWarningOnceAndEmptyStillCoolsDown) {
  player().ammo = 26;
  Fire();
  EXPECT_EQ(player().ammo, 25);
  EXPECT_EQ(events_.Count(SoundEffect::kLowAmmo), 1);
  EXPECT_EQ(player().centreMessage.kind, 0);
  EXPECT_EQ(player().centreMessage.timer, 200.0f);
  ASSERT_EQ(events_.shots.size(), 1u);
  // The shot starts left of the hand and two look vectors ahead.
  Vec3 expect = view().eye + Vec3(-view().lookDir.z / 3, 4, view().lookDir.x / 3) + 2.0f * view().lookDir;
  EXPECT_EQ(player().shots[0].position, expect);
  EXPECT_EQ(player().shots[0].velocity, view().lookDir * 8.0f);

  player().ammo = 0;
  player().fireCooldown = 0;
  int before = player().shotsFired;
  FrameContext ctx = Ctx(0.0f);  // no time passes: the cooldown stays
  ctx.frameDelta = 0;
  InputSnapshot in;
  in.buttons[0] = 1;
  PlayerWeaponStep(state(), in, ctx);
  EXPECT_EQ(player().shotsFired, before);
  EXPECT_EQ(player().fireCooldown, kWeapons[0].cooldown);
}

TEST_F(Weapons, CooldownPacesShotsAndSpectatorCannotFire) {
  player().weaponIndex = 1;  // cooldown 25 units
  Fire(60);                  // 60 frames of one unit each
  EXPECT_EQ(player().shotsFired, 3);
  state().flags.spectatorMode = 1;
  Fire(60);
  EXPECT_EQ(player().shotsFired, 3);
}

TEST_F(Weapons, WheelCyclesAndNumberKeysSelect) {
  InputSnapshot wheelUp, wheelDown, three;
  wheelUp.lZ = 120;
  wheelDown.lZ = -120;
  three.Press(scancode::k3);
  FrameContext ctx = Ctx();
  PlayerWeaponStep(state(), wheelDown, ctx);
  EXPECT_EQ(player().weaponIndex, 2);
  PlayerWeaponStep(state(), wheelUp, ctx);
  EXPECT_EQ(player().weaponIndex, 0);
  EXPECT_EQ(events_.Count(SoundEffect::kWeaponChange), 2);
  player().weaponIndex = 0;
  PlayerWeaponStep(state(), three, ctx);
  EXPECT_EQ(player().weaponIndex, 2);
  EXPECT_EQ(events_.Count(SoundEffect::kWeaponChange), 2);  // keys change silently
}

TEST_F(Weapons, RingOfEightAndEmptyMarker) {
  AddBots({Vec3(0, 15, 0)});
  FrameContext ctx = Ctx();
  for (int k = 0; k < 9; ++k)
    CreateShot(state(), Vec3(float(k), 0, 0), Vec3(1, 0, 0), OwnerCode(0), 0, ctx);
  EXPECT_EQ(bot(0).shotsFired, 9);
  EXPECT_EQ(bot(0).shotSlot, 0);
  EXPECT_EQ(bot(0).shots[0].position.x, 8.0f);  // the ninth overwrote the first
  CreateShot(state(), Vec3(0), Vec3(kEmptyShotMarker), OwnerCode(0), 0, ctx);
  EXPECT_EQ(bot(0).shots[1].active, 0);
  EXPECT_EQ(bot(0).shotsFired, 9);
}

TEST_F(Weapons, DirectRocketFragsBotAndCountsForPlayer) {
  AddBots({Vec3(0, 15, 100), Vec3(0, 15, 110)});
  player().shots[0] = Shot(Vec3(0, 15, 97), Vec3(0, 0, 20), 1);
  Combat();
  // Both bodies are in reach of the same shot in the same frame.
  EXPECT_EQ(player().frags, 1);
  EXPECT_EQ(state().deaths, 1);
  EXPECT_EQ(bot(0).power, 100);  // respawned at once
  EXPECT_EQ(bot(1).power, 80);
  EXPECT_EQ(player().centreMessage.kind, 1);
  EXPECT_EQ(player().centreMessage.fragged, 0);
  EXPECT_EQ(events_.Count(SoundEffect::kHit), 1);  // two hits, one sound
  EXPECT_FALSE(player().shots[0].active);
}

TEST_F(Weapons, RocketSplashOnWallAndArmorDivision) {
  CollisionMeshData wall;
  wall.AddBox(Vec3(-100, 0, 140), Vec3(100, 100, 160));
  for (int t = 0; t < 16; ++t) world_.tiles[t] = wall.View();
  AddBots({Vec3(30, 15, 120), Vec3(-30, 15, 60)});
  bot(1).weaponIndex = 1;
  // The player's rocket strikes the wall within two steps: the bot near
  // the blast loses 10.
  player().shots[0] = Shot(Vec3(0, 30, 131), Vec3(0, 0, 5), 1);
  Combat();
  EXPECT_EQ(bot(0).power, 90);
  EXPECT_EQ(events_.Count(SoundEffect::kExplosion), 0);  // the hit used the budget
  // A bot's close-range rocket on a player with two armor: 100 div 4.
  player().armor = 2;
  view().pivot = Vec3(-30, 15, 0);
  view().playerTile = PlayerTileIndex(view().pivot);
  world_ = MatchWorld{};
  bot(1).shots[0] = Shot(view().pivot + Vec3(0, 0, -3), Vec3(0, 0, 20), 1);
  Combat();
  EXPECT_EQ(player().power, 75);
  EXPECT_EQ(player().hurtFlash, 8.0f);
  EXPECT_EQ(player().playerBleed, 5);
}

TEST_F(Weapons, BotRocketSplashesPlayerOnlyInPlay) {
  CollisionMeshData wall;
  wall.AddBox(Vec3(-100, 0, 40), Vec3(100, 100, 60));
  for (int t = 0; t < 16; ++t) world_.tiles[t] = wall.View();
  AddBots({Vec3(200, 15, -200)});
  view().pivot = Vec3(0, 15, 0);
  view().playerTile = 5;  // not the shot's tile: no direct hit test
  bot(0).shots[0] = Shot(Vec3(0, 20, 30), Vec3(0, 0, 5), 1);
  Combat();
  EXPECT_EQ(player().power, 90);
  EXPECT_EQ(events_.Count(SoundEffect::kHit), 1);
  state().flags.spectatorMode = 1;
  bot(0).shots[1] = Shot(Vec3(0, 20, 30), Vec3(0, 0, 5), 1);
  Combat();
  EXPECT_EQ(player().power, 90);
}

TEST_F(Weapons, UnderWaterShotsSlowAndDeepShotsDrop) {
  player().shots[0] = Shot(Vec3(0, -300, 0), Vec3(0, 0, 40), 0);
  player().shots[1] = Shot(Vec3(0, -999, 0), Vec3(0, -40, 0), 0);
  bot(0).shots[0] = Shot(Vec3(0, -300, 0), Vec3(0, 0, 40), 0);
  state().combatantCount = 1;
  bot(0).position = Vec3(400, 15, 400);
  Combat();
  EXPECT_FLOAT_EQ(player().shots[0].position.z, 4.0f);  // a tenth of the step
  EXPECT_EQ(player().shots[0].age, 1);
  EXPECT_FALSE(player().shots[1].active);               // below -1000
  EXPECT_FALSE(bot(0).shots[0].active);                 // bots' shots drop below -100
}

TEST_F(Weapons, PausedShotsHangInTheAir) {
  Settings settings;
  settings.botCount = 0;
  HeadlessMatch match(settings, 5);
  match.State().flags.spectatorMode = 0;
  InputSnapshot pause, none;
  pause.Press(scancode::kPause);
  for (int f = 0; f < 20; ++f) match.Step(16, none);
  match.Step(16, pause);
  ASSERT_EQ(match.State().flags.gameState, 2);
  Projectile& shot = match.State().player.shots[0];
  shot = Shot(Vec3(0, 500, 0), Vec3(0, 0, 8), 0);
  for (int f = 0; f < 10; ++f) match.Step(16, none);
  EXPECT_EQ(shot.position.z, 0.0f);
  EXPECT_TRUE(shot.active);
  for (int f = 0; f < 20; ++f) match.Step(16, pause);  // unpause once armed
  EXPECT_EQ(match.State().flags.gameState, 1);
  EXPECT_GT(shot.position.z, 0.0f);
}

}  // namespace
}  // namespace halvex
