// Frags, bodies left behind, bleeding, respawn of the player, and pickups.
#pragma once

#include "sim/match.h"
#include "sim/match_state.h"

namespace halvex {

// The three frag cases.
void PlayerFragsCombatant(MatchState& state, int j, FrameContext& ctx);
void CombatantFragsCombatant(MatchState& state, int i, int j, FrameContext& ctx);
void CombatantFragsPlayer(MatchState& state, int i, FrameContext& ctx);

// Fills j's corpse slot (realism mode).
void LeaveBody(MatchState& state, int j, FrameContext& ctx);

// Resets the player's view and values (Space while fragged).
void RespawnPlayer(MatchState& state);

// Pickups the player touches and every pickup's respawn countdown.
void PlayerPickups(MatchState& state, FrameContext& ctx);
// Pickups combatant i touches (no sound, armor gives nothing).
void CombatantPickups(MatchState& state, int i);

// Blood emissions of corpses, combatants and the player for this frame.
void Bleeding(MatchState& state, FrameContext& ctx);

// Adds a line from message table `table` (0-based index into the four
// tables) formatted with two names to the message list.
void SayTableLine(MatchState& state, int table, const char* name1, const char* name2,
                  FrameContext& ctx);

}  // namespace halvex
