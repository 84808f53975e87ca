#include "sim/combatants.h"

#include <cmath>

namespace halvex {

const std::array<RosterEntry, kRosterSize> kRoster = {{
    {"Leavor", 4}, {"Fields", 4}, {"Blood", 2}, {"Thorn", 4},
    {"Speculo", 3}, {"Divebomb", 1}, {"Trebok", 2}, {"Fiern", 2},
    {"Scarz", 2}, {"Morvek", 1}, {"Axent", 4}, {"Darkness", 0},
    {"Zetaro", 3}, {"Eterno", 1}, {"Abyssal", 0}, {"Keltic", 2},
}};

const std::array<const char*, 5> kSkinTextures = {
    "textures\\botblack.dds", "textures\\botwhite.dds", "textures\\botred.dds",
    "textures\\botblue.dds", "textures\\botyellow.dds"};

int RawTileIndex(float x, float z) {
  int row = static_cast<int>(std::fabs(z - 500.0f) / 250.0f) + 1;
  int column = static_cast<int>((x + 500.0f) / 250.0f) + 1;
  return (row - 1) * 4 + column - 1;
}

int CombatantTileIndex(const Vec3& p) {
  // Positions far outside (or NaN) would overflow the int conversion.
  if (!(std::fabs(p.x) < 1e6f && std::fabs(p.z) < 1e6f)) return 0;
  int t = RawTileIndex(p.x, p.z);
  return t < 0 || t > 15 ? 0 : t;
}

int PlayerTileIndex(const Vec3& p) {
  if (!(std::fabs(p.x) <= 500.0f && std::fabs(p.z) <= 500.0f)) return -1;
  int t = RawTileIndex(p.x, p.z);
  return t < 0 || t > 15 ? -1 : t;
}

namespace {

void ConstructOne(Combatant& c, std::array<bool, kMaxCombatants>& nameUsed, GameRandom& random,
                  std::uint32_t clockMs) {
  c = Combatant{};
  for (Projectile& shot : c.shots) shot = Projectile{};
  // The name slot: truncate(random(0, 32)) kept within 0..31, so every slot
  // is reachable (drawing over 0..31 reaches 31 only on the largest value).
  int k;
  do {
    k = static_cast<int>(random.random(0.0f, 32.0f));
    if (k > 31) k = 31;
  } while (nameUsed[k]);
  nameUsed[k] = true;
  c.rosterIndex = k > 15 ? k % 16 : k;
  SetText(c.name, kRoster[c.rosterIndex].name);
  c.frags = 0;
  SetText(c.fragsText, "0");
  c.hittable = 1;
  c.position = Vec3(random.random(-50, 50), 15.0f, random.random(-300, 300));
  c.previousPosition = c.netTarget = c.position;
  c.heading = Vec3(0, 0, 2);
  c.pitch = -kPi / 2;
  c.yaw = kPi;
  c.roll = 0;
  c.weaponIndex = 1;
  c.shotSlot = 0;
  c.shotsFired = 0;
  c.fireCharge = random.random(-100, -50);
  c.power = 100;
  SetNumberText(c.powerText, 100);
  c.skin = kRoster[c.rosterIndex].skin;
  c.tileIndex = CombatantTileIndex(c.position);
  c.lastUpdateTime = clockMs;
  c.aimVector = Vec3(1, 0, 0);
  c.strafe = 1;
  c.retargetCountdown = 10;
  c.tauntTimer = random.random(0, 100) >= 70 ? random.random(50, 200) : random.random(1000, 2000);
}

}  // namespace

void ConstructCombatants(std::array<Combatant, kMaxCombatants>& table, GameRandom& random,
                         std::uint32_t clockMs) {
  std::array<bool, kMaxCombatants> nameUsed{};
  for (Combatant& c : table) ConstructOne(c, nameUsed, random, clockMs);
}

void StartMatchCombatants(MatchState& state, GameRandom& random) {
  int count = state.flags.multiplayer ? kMaxCombatants : state.combatantCount;
  int botCount = state.combatantCount;
  state.player.weaponIndex = 0;
  for (int i = 0; i < count; ++i) {
    Combatant& c = state.combatants[i];
    c.weaponIndex = 0;
    float r = random.random(0, 100);
    c.tauntTimer = r >= 80 ? random.random(50, 200)
                           : random.random(1000, static_cast<float>((botCount / 2) * 5000));
    // truncate(random(0, count)) reaches count itself on the largest draw,
    // which names no combatant: keep it inside the table.
    int targetRange = state.flags.multiplayer ? kMaxCombatants : botCount;
    int target = static_cast<int>(random.random(0, static_cast<float>(targetRange)));
    c.target = target >= targetRange ? targetRange - 1 : target;
    if (c.target < 0) c.target = 0;
    if (state.flags.multiplayer) {
      c.position = Vec3(0, state.area.spawnMinY, 0);
    } else {
      c.position.y = random.random(state.area.spawnMinY, state.area.spawnMaxY);
    }
  }
}

void RespawnCombatant(MatchState& state, int j, GameRandom& random) {
  Combatant& c = state.combatants[j];
  const AreaOptions& a = state.area;
  c.position = Vec3(random.random(a.spawnMinX, a.spawnMaxX), random.random(a.spawnMinY, a.spawnMaxY),
                    random.random(a.spawnMinZ, a.spawnMaxZ));
  c.power = 100;
  SetNumberText(c.powerText, 100);
  c.fireCharge = 0;
  c.hittable = 1;
}

float ViewOffset(const PlayerView& view, const Vec3& p) {
  Vec3 viewDir = Vec3Normalize(view.target - view.pivot);
  return glm::length(Vec3Normalize(p - view.pivot) - viewDir);
}

void UpdateViewValues(MatchState& state) {
  const PlayerView& view = state.player.view;
  for (int i = 0; i < state.combatantCount; ++i) {
    Combatant& c = state.combatants[i];
    c.viewDistance = glm::length(c.position - view.pivot);
    c.viewOffset = ViewOffset(view, c.position);
  }
  for (auto* kind : {&state.sharks, &state.ravens}) {
    for (Wanderer& w : *kind) {
      w.viewDistance = glm::length(w.position - view.pivot);
      w.viewOffset = ViewOffset(view, w.position);
    }
  }
  if (!state.settings.renderTrees) return;
  for (TreeSlot& t : state.trees) {
    if (!t.active) continue;
    t.viewDistance = glm::length(t.position - view.pivot);
    t.viewOffset = ViewOffset(view, t.position);
  }
}

}  // namespace halvex
