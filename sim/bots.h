// Bot behaviour: firing with a lead, the random timers, the thinking gate,
// the aim turn and the movement table, and taunts.
#pragma once

#include "sim/match.h"
#include "sim/match_state.h"

namespace halvex {

inline constexpr float kBotRadius = 14.0f;

// The whole bot step of a single-player frame ("Enemy AI" on).
void BotStep(MatchState& state, FrameContext& ctx);

// Turn angle toward target (radians, positive toward +x, per frame); sets
// the bot's aimVector and targetDistance.
float AimTurn(Combatant& bot, const Vec3& targetPoint);

// One movement step of bot i with collision and the area limits.
void MoveBot(MatchState& state, int i, int sign, int run, FrameContext& ctx);

}  // namespace halvex
