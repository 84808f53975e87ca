// The combatant table: construction with the roster, match-start values,
// tile indexes, view-relative values and respawn.
#pragma once

#include <array>
#include <cstdint>

#include "sim/match.h"
#include "sim/match_state.h"

namespace halvex {

struct RosterEntry {
  const char* name;
  int skin;
};
extern const std::array<RosterEntry, kRosterSize> kRoster;
extern const std::array<const char*, 5> kSkinTextures;

// The tile formula as the game computes it: not clamped per axis, so the
// result can fall outside 0..15.
int RawTileIndex(float x, float z);
// For a combatant (or a shot): results outside 0..15 become 0.
int CombatantTileIndex(const Vec3& p);
// For the local player: -1 outside the 1000 x 1000 square or 0..15.
int PlayerTileIndex(const Vec3& p);

// Builds all 32 records as the program does once at start-up. Each roster
// name is given out at most twice.
void ConstructCombatants(std::array<Combatant, kMaxCombatants>& table, GameRandom& random,
                         std::uint32_t clockMs);

// Per-combatant values set when a match starts: weapon, taunt timer, the
// first target and the start height.
void StartMatchCombatants(MatchState& state, GameRandom& random);

// Respawn combatant j at a random place in the area's spawn box.
void RespawnCombatant(MatchState& state, int j, GameRandom& random);

// viewDistance and viewOffset of every combatant, of the wanderers and,
// while trees are drawn, of the trees, from the player's pivot and view axis.
void UpdateViewValues(MatchState& state);

// |unit(p - pivot) - unit(view direction)|: 0 straight ahead, 2 behind.
float ViewOffset(const PlayerView& view, const Vec3& p);

}  // namespace halvex
