// Building a fresh single-player match state, and a hash of the whole state
// for determinism checks.
#pragma once

#include <cstdint>

#include "content/data_files.h"
#include "launcher/settings.h"
#include "sim/match_state.h"
#include "sim/random.h"

namespace halvex {

// Welcome banner time at match start, in timeScale units.
inline constexpr float kWelcomeBannerTime = 400.0f;  // 10 s: chat opens once it is gone

// Constructs the combatant table, applies the match-start values and puts
// the player at the start: spectating, realism on, the spectating notice
// showing. settings.botCount (0..32) bots.
void SetupMatch(MatchState& state, const Settings& settings, const AreaOptions& area,
                const PickupLists& pickups, const MessageTables& tables, GameRandom& random,
                std::uint32_t clockMs);

// Fills the tree slots from the area's list; the rest stay inactive.
void PlaceTrees(MatchState& state, const TreePositions& trees);

// FNV-1a over every simulated value of the state (not the Settings'
// strings), for comparing runs bit for bit.
std::uint64_t HashMatchState(const MatchState& state);

}  // namespace halvex
