// The local player's control: mouse look, movement keys, jump and flight,
// movement with collision and the area limits, the floor clamp; and the
// remote players' glide toward their network positions.
#pragma once

#include "sim/input.h"
#include "sim/match.h"
#include "sim/match_state.h"

namespace halvex {

// One mouse count turns the view by 2.5 x 2 pi / 4096 radians.
inline constexpr float kMouseStep = 2.5f * (2.0f * kPi / 4096.0f);
inline constexpr float kPlayerRadius = 14.0f;

void MouseLook(PlayerView& view, const InputSnapshot& input);
void MovementKeys(PlayerView& view, const InputSnapshot& input, float timeScale);
void JumpAndFlight(PlayerView& view, const InputSnapshot& input, float frameDelta,
                   bool allowFlight);
void MovePlayer(MatchState& state, FrameContext& ctx);
void FloorClamp(MatchState& state);
void RemoteGlide(MatchState& state, FrameContext& ctx);

}  // namespace halvex
