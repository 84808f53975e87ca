// A finished match as text, for runs nobody watches: the scoreboard and a
// hash of the whole state, so two runs can be compared by eye or by script.
#pragma once

#include <string>

#include "sim/match_state.h"

namespace halvex {

// "Name  Score  Power  Shots" rows: the player first, then the bots by frags.
std::string ScoreboardText(const MatchState& state);
// "state hash 0123456789abcdef"
std::string StateHashLine(const MatchState& state);

}  // namespace halvex
