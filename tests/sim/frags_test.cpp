#include "sim/frags.h"

#include <gtest/gtest.h>

#include "sim/weapons.h"
#include "sim_fixture.h"

namespace halvex {
namespace {

class Frags : public SimTest {
 protected:
  void Pickups(float ts = 1.0f) {
    FrameContext ctx = Ctx(ts);
    PlayerPickups(state(), ctx);
  }
  ItemPickup& Orb(int k) { return state().pickups.powerPickups.items[k]; }
};

TEST_F(Frags, PowerOrbBonusCapsAndRespawnsAfterThousandUnits) {
  state().pickups.powerPickups.count = 1;
  Orb(0) = ItemPickup{0, 15, 10, 2, 1, 0};
  player().power = 10;
  Pickups();
  EXPECT_EQ(player().power, 90);  // 20 + 30 x 2
  EXPECT_STREQ(player().powerText.data(), "90");
  EXPECT_EQ(player().pickupMessage.kind, 1);
  EXPECT_EQ(Orb(0).active, 0);
  // Standing on the spot changes nothing while it is gone; after 1000
  // units it is back (and taken again at once, capped at 100).
  Pickups(998.0f);
  EXPECT_EQ(Orb(0).active, 0);
  view().pivot = Vec3(200, 15, 200);
  Pickups(2.0f);
  EXPECT_EQ(Orb(0).active, 1);
  view().pivot = Vec3(0, 15, 0);
  Pickups();
  EXPECT_EQ(player().power, 100);
  EXPECT_EQ(events_.Count(SoundEffect::kPowerPickup), 2);
  // Out of reach (15 units) nothing happens.
  Orb(0).active = 1;
  Orb(0).respawnCountdown = 0;
  Orb(0).z = 15.0f;
  player().power = 10;
  Pickups();
  EXPECT_EQ(player().power, 10);
}

TEST_F(Frags, ArmorDividesBotDamageAndRespawnClearsIt) {
  state().pickups.armorPickups.count = 1;
  state().pickups.armorPickups.items[0] = ItemPickup{0, 15, 0, 0, 1, 0};
  Pickups();
  EXPECT_EQ(player().armor, 1);
  // 2000 units, the first already counted down in the same step.
  EXPECT_EQ(state().pickups.armorPickups.items[0].respawnCountdown, 1999.0f);
  AddBots({Vec3(300, 15, 300)});
  view().playerTile = 10;
  // A close shotgun hit deals 25: divided by 1, 2 and 6 for armor 0, 1, 3.
  const int expected[] = {100 - 25, 100 - 12, 100 - 4};
  const int armors[] = {0, 1, 3};
  for (int k = 0; k < 3; ++k) {
    player().power = 100;
    player().armor = armors[k];
    Projectile& p = bot(0).shots[k];
    p.position = view().pivot - Vec3(0, 0, 3);
    p.velocity = Vec3(0, 0, 7);
    p.weaponIndex = 2;
    p.active = 1;
    FrameContext ctx = Ctx();
    CombatStep(state(), ctx);
    EXPECT_EQ(player().power, expected[k]) << "armor " << armors[k];
  }
  RespawnPlayer(state());
  EXPECT_EQ(player().armor, 0);
  EXPECT_EQ(player().ammo, 100);
  EXPECT_EQ(view().lookDir, Vec3(0, 0, 4));
}

TEST_F(Frags, BotPickupsGivePowerAndTakeArmorAway) {
  AddBots({Vec3(0, 15, 0)});
  bot(0).power = 30;
  state().pickups.powerPickups.count = 1;
  Orb(0) = ItemPickup{5, 15, 5, 0, 1, 0};
  state().pickups.armorPickups.count = 1;
  state().pickups.armorPickups.items[0] = ItemPickup{-5, 15, 0, 0, 1, 0};
  CombatantPickups(state(), 0);
  EXPECT_EQ(bot(0).power, 50);
  EXPECT_EQ(Orb(0).respawnCountdown, 1000.0f);
  EXPECT_EQ(state().pickups.armorPickups.items[0].active, 0);
  EXPECT_TRUE(events_.sounds.empty());
}

TEST_F(Frags, BoastHalfAndComplaintQuarterOfBotFrags) {
  state().settings.botMessageChance = 50;
  AddBots({Vec3(0, 15, 0), Vec3(100, 15, 0)});
  const int trials = 4000;
  int boasts = 0, complaints = 0;
  for (int t = 0; t < trials; ++t) {
    events_.lines.clear();
    FrameContext ctx = Ctx();
    CombatantFragsCombatant(state(), 0, 1, ctx);
    if (events_.lines.empty()) continue;
    const std::string& line = events_.lines[0];
    // Fragger lines start with the fragger's name, victim lines with the victim's.
    if (line.rfind(bot(0).name.data(), 0) == 0) ++boasts;
    else ++complaints;
  }
  EXPECT_NEAR(boasts / double(trials), 0.5, 0.04);
  EXPECT_NEAR(complaints / double(trials), 0.25, 0.04);
  EXPECT_EQ(bot(0).frags, trials);
  EXPECT_EQ(state().deaths, trials);
}

TEST_F(Frags, PlayerFraggedOnceByFirstShooter) {
  AddBots({Vec3(300, 15, 300), Vec3(-300, 15, -300)});
  player().power = 3;
  view().playerTile = 10;
  for (int i = 0; i < 2; ++i) {
    Projectile& p = bot(i).shots[0];
    p.position = view().pivot - Vec3(0, 0, 3);
    p.velocity = Vec3(0, 0, 7);
    p.weaponIndex = 0;
    p.active = 1;
  }
  FrameContext ctx = Ctx();
  CombatStep(state(), ctx);
  EXPECT_EQ(state().flags.gameState, 10);
  EXPECT_EQ(player().killer, 0);
  EXPECT_EQ(bot(0).frags, 1);
  EXPECT_EQ(bot(1).frags, 0);
  EXPECT_EQ(state().deaths, 1);
  EXPECT_EQ(player().power, 0);
  EXPECT_TRUE(bot(1).shots[0].active);  // a fragged player is out of play
}

TEST_F(Frags, BodyLeftInRealismModeAndBleeding) {
  state().flags.realismMode = 1;
  AddBots({Vec3(50, 20, 60)});
  bot(0).heading = Vec3(0, 0, 2);
  FrameContext ctx = Ctx();
  PlayerFragsCombatant(state(), 0, ctx);
  const CorpseSlot& body = state().corpses[0];
  ASSERT_EQ(body.active, 1);
  float drop = body.fallDirection == 1 ? 15.0f : 13.5f;
  EXPECT_EQ(body.framesLeft, body.fallDirection == 1 ? 15 : 16);
  EXPECT_EQ(body.bodyPosition, Vec3(50, 20 - drop, 60));
  EXPECT_EQ(body.bloodPoint, Vec3(50, 7, 60 - 22));
  EXPECT_EQ(player().frags, 1);
  // Bleeding: the corpse, then the hit combatant with its extra amount, then
  // the player, who is not hurt: every emitter runs every frame, so that
  // drops already in the air keep falling when a wound stops.
  state().settings.bloodAmount = 3;
  bot(0).bloodCount = 4;
  events_.blood.clear();
  Bleeding(state(), ctx);
  ASSERT_EQ(events_.blood.size(), 3u);
  EXPECT_EQ(events_.blood[0].count, 3);
  EXPECT_EQ(events_.blood[1].count, 7);
  EXPECT_EQ(events_.blood[2].count, 0);
  EXPECT_EQ(events_.blood[2].source, BloodEmission::Source::kPlayer);
  EXPECT_EQ(bot(0).bloodCount, 3);
  bot(0).bloodCount = 0;
  events_.blood.clear();
  Bleeding(state(), ctx);
  ASSERT_EQ(events_.blood.size(), 3u) << "a stopped wound still runs its emitter";
  EXPECT_EQ(events_.blood[1].count, 0);
  state().settings.bloodAmount = -1;  // no blood at all
  events_.blood.clear();
  Bleeding(state(), ctx);
  EXPECT_TRUE(events_.blood.empty());
}

// The amount comes from a settings file a player can edit: values far
// outside -1..10 bleed as the nearest end of the scale, and adding them to a
// wound's count must not overflow.
TEST_F(Frags, BleedingWithAnAmountOutsideTheScale) {
  AddBots({Vec3(50, 20, 60)});
  struct Case {
    int amount;
    int expected;  // particles from a wound of 4, none when no blood at all
  };
  for (Case c : {Case{2147483647, 14}, Case{11, 14}, Case{-2147483647 - 1, 0}, Case{-5, 0}}) {
    SCOPED_TRACE(c.amount);
    state().settings.bloodAmount = c.amount;
    bot(0).bloodCount = 4;
    player().playerBleed = 4;
    events_.blood.clear();
    FrameContext ctx = Ctx();
    Bleeding(state(), ctx);
    if (c.expected == 0) {
      EXPECT_TRUE(events_.blood.empty());
      continue;
    }
    ASSERT_EQ(events_.blood.size(), 2u);
    EXPECT_EQ(events_.blood[0].count, c.expected);
    EXPECT_EQ(events_.blood[1].count, c.expected);
  }
}

}  // namespace
}  // namespace halvex
