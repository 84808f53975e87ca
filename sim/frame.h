// One frame of the match, its steps in their fixed order (drawing left to
// the event sink), and the polled key commands.
#pragma once

#include "sim/input.h"
#include "sim/match.h"
#include "sim/match_state.h"

namespace halvex {

enum class FrameResult { kContinue, kEscape };

// Runs every step of one simulated frame with the frame time already in
// ctx (frameDelta, timeScale, frameRate from MatchClock::Step).
FrameResult RunFrame(MatchState& state, const InputSnapshot& input, FrameContext& ctx);

// The guarded key commands: Pause and Enter always, the toggles only when
// gameState is neither 0 nor 2; each acts only while keyCommandArmed is
// set, then clears it and resets the application timer.
void KeyCommands(MatchState& state, const InputSnapshot& input, FrameContext& ctx);

// Chat entry ended (the line was sent, or dropped with Escape): the player is
// back in the mode chat found them in.
void CloseChat(MatchState& state);

// The window lost the focus during the match: pause, remembering the state
// to come back to; regaining it returns to exactly that state (a dead player
// stays dead, a paused match stays paused).
void PauseForFocus(MatchState& state);
void ResumeFromFocus(MatchState& state);

// The ambient event of a frame: a rare sound or a lightning flash.
void AmbientEvent(MatchState& state, FrameContext& ctx);

// The HUD's countdowns (message, pickup, centre and banner timers, the hurt
// flash), which the frame drawing runs; headless runs call it instead.
void TickHudTimers(MatchState& state, float timeScale);

}  // namespace halvex
