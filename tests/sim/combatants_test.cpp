#include "sim/combatants.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "sim_fixture.h"

namespace halvex {
namespace {

TEST(TileIndex, CornersCentreAndUnclampedFormula) {
  EXPECT_EQ(CombatantTileIndex(Vec3(-500, 0, 500)), 0);
  EXPECT_EQ(CombatantTileIndex(Vec3(499, 0, -499)), 15);
  EXPECT_EQ(CombatantTileIndex(Vec3(0, 0, 0)), 10);
  EXPECT_EQ(CombatantTileIndex(Vec3(-375, 0, 375)), 0);
  EXPECT_EQ(CombatantTileIndex(Vec3(-125, 0, 375)), 1);
  EXPECT_EQ(CombatantTileIndex(Vec3(-375, 0, 125)), 4);
  // Not clamped per axis: column 4, row 0 gives tile 4.
  EXPECT_EQ(CombatantTileIndex(Vec3(600, 0, 400)), 4);
  EXPECT_EQ(CombatantTileIndex(Vec3(0, 0, -900)), 0);  // beyond 15 becomes 0
  EXPECT_EQ(PlayerTileIndex(Vec3(600, 0, 400)), -1);
  EXPECT_EQ(PlayerTileIndex(Vec3(0, 0, -501)), -1);
  EXPECT_EQ(PlayerTileIndex(Vec3(499, 0, -499)), 15);
  EXPECT_EQ(CombatantTileIndex(Vec3(NAN, 0, 0)), 0);
}

TEST(CombatantTable, ConstructionValuesAndRosterUse) {
  auto table = std::make_unique<std::array<Combatant, kMaxCombatants>>();
  GameRandom random(99);
  ConstructCombatants(*table, random, 4242);
  std::map<std::string, int> uses;
  for (const Combatant& c : *table) {
    EXPECT_STREQ(c.fragsText.data(), "0");
    EXPECT_STREQ(c.powerText.data(), "100");
    EXPECT_EQ(c.power, 100);
    EXPECT_STREQ(c.name.data(), kRoster[c.rosterIndex].name);
    EXPECT_EQ(c.skin, kRoster[c.rosterIndex].skin);
    EXPECT_GE(c.position.x, -50);
    EXPECT_LE(c.position.x, 50);
    EXPECT_EQ(c.position.y, 15);
    EXPECT_GE(c.fireCharge, -100);
    EXPECT_LE(c.fireCharge, -50);
    EXPECT_TRUE((c.tauntTimer >= 50 && c.tauntTimer <= 200) ||
                (c.tauntTimer >= 1000 && c.tauntTimer <= 2000));
    EXPECT_EQ(c.lastUpdateTime, 4242u);
    EXPECT_EQ(c.tileIndex, CombatantTileIndex(c.position));
    for (const Projectile& p : c.shots) EXPECT_FALSE(p.active);
    ++uses[c.name.data()];
  }
  // 32 records over 16 names: every name exactly twice.
  EXPECT_EQ(uses.size(), 16u);
  for (const auto& [name, n] : uses) EXPECT_EQ(n, 2) << name;
}

class StartMatch : public SimTest {};

TEST_F(StartMatch, TauntTimersAndTargetsStayInRange) {
  for (std::uint32_t seed = 1; seed < 40; ++seed) {
    GameRandom random(seed);
    ConstructCombatants(state().combatants, random, 0);
    state().combatantCount = 2;
    StartMatchCombatants(state(), random);
    for (int i = 0; i < 2; ++i) {
      float t = bot(i).tauntTimer;
      EXPECT_TRUE((t >= 50 && t <= 200) || (t >= 1000 && t <= 5000)) << t;
      EXPECT_EQ(bot(i).weaponIndex, 0);
      EXPECT_GE(bot(i).position.y, state().area.spawnMinY);
      EXPECT_LE(bot(i).position.y, state().area.spawnMaxY);
    }
  }
}

TEST_F(StartMatch, LargestDrawDoesNotTargetPastTheTable) {
  // Find a generator state whose third draw (the first combatant's target
  // pick follows the taunt roll and taunt value) is the largest value.
  std::uint32_t seed = 0;
  for (;; ++seed) {
    GameRandom probe(seed);
    probe.Next();
    probe.Next();
    if (probe.Next() == GameRandom::kMax) break;
  }
  state().combatantCount = 3;
  GameRandom random(seed);
  StartMatchCombatants(state(), random);
  EXPECT_EQ(bot(0).target, 2);
}

TEST_F(StartMatch, RespawnUsesSpawnBoxAndResetsPower) {
  AddBots({Vec3(100, 15, 100)});
  bot(0).power = -20;
  bot(0).fireCharge = 30;
  bot(0).hittable = 0;
  bot(0).frags = 4;
  RespawnCombatant(state(), 0, rng_);
  const AreaOptions& a = state().area;
  EXPECT_GE(bot(0).position.x, a.spawnMinX);
  EXPECT_LE(bot(0).position.x, a.spawnMaxX);
  EXPECT_GE(bot(0).position.z, a.spawnMinZ);
  EXPECT_LE(bot(0).position.z, a.spawnMaxZ);
  EXPECT_EQ(bot(0).power, 100);
  EXPECT_STREQ(bot(0).powerText.data(), "100");
  EXPECT_EQ(bot(0).fireCharge, 0);
  EXPECT_EQ(bot(0).hittable, 1);
  EXPECT_EQ(bot(0).frags, 4);
}

}  // namespace
}  // namespace halvex
