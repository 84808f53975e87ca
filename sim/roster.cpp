#include "sim/roster.h"

#include <algorithm>
#include <string>
#include <utility>

#include "sim/combatants.h"

namespace halvex {

namespace {

// A record for a newcomer: nothing of the previous holder's score, shots or
// glide survives. It starts where every network combatant starts.
void ResetForNewcomer(MatchState& state, Combatant& c, const RosterChange& change) {
  c.name.fill('\0');
  for (std::size_t i = 0; i < change.name.size() && change.name[i]; ++i) c.name[i] = change.name[i];
  c.frags = 0;
  SetText(c.fragsText, "0");
  c.playTime = 0;
  c.netFlag = 0;
  c.power = 100;
  SetNumberText(c.powerText, 100);
  c.weaponIndex = 0;
  c.hittable = 1;
  c.bloodCount = 0;
  for (Projectile& shot : c.shots) shot = Projectile{};
  c.shotsFired = 0;
  c.shotSlot = 0;
  c.position = Vec3(0.0f, state.area.spawnMinY, 0.0f);
  c.previousPosition = c.netTarget = c.position;
  c.tileIndex = CombatantTileIndex(c.position);
  c.glideStep = c.glideSteps = 0.0f;
  c.lastUpdateTime = 0;
}

void Join(MatchState& state, const RosterChange& change) {
  if (state.combatantCount >= kMaxCombatants) return;
  const int slot = state.combatantCount;
  ResetForNewcomer(state, state.combatants[slot], change);
  state.playerIds[slot] = change.id;
  ++state.combatantCount;
  if (state.combatantCount > state.combatantHighWater) state.combatantHighWater = state.combatantCount;
}

void Leave(MatchState& state, const RosterChange& change) {
  const int last = state.combatantCount - 1;
  for (int i = 0; i <= last; ++i) {
    if (state.playerIds[i] != change.id) continue;
    if (i != last) {
      std::swap(state.combatants[i], state.combatants[last]);
      std::swap(state.playerIds[i], state.playerIds[last]);
      std::swap(state.corpses[i], state.corpses[last]);
    }
    state.playerIds[last] = 0;
    --state.combatantCount;
    return;
  }
}

}  // namespace

bool QueueRosterChange(MatchState& state, bool join, std::uint32_t id, std::string_view name) {
  if (state.pendingRosterCount >= kRosterQueueSize) return false;
  RosterChange& change = state.pendingRoster[state.pendingRosterCount++];
  change = RosterChange{};
  change.join = join ? 1 : 0;
  change.id = id;
  const std::size_t n = std::min(name.size(), change.name.size() - 1);
  for (std::size_t i = 0; i < n; ++i) change.name[i] = name[i];
  return true;
}

void ApplyRosterChanges(MatchState& state) {
  for (int i = 0; i < state.pendingRosterCount; ++i) {
    const RosterChange& change = state.pendingRoster[i];
    if (change.join) {
      Join(state, change);
    } else {
      Leave(state, change);
    }
  }
  state.pendingRosterCount = 0;
}

}  // namespace halvex
