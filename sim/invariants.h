// Checks that a match state is sane: everything finite, power in range,
// frags equal to deaths, bots inside their limits and below their ceiling,
// shot rings consistent. Used by long seeded runs and the headless runner.
#pragma once

#include <string>

#include "sim/match_state.h"

namespace halvex {

// Empty when every invariant holds, else a description of the first broken
// one. maxPlayerPower is 100, or 999 once "/setvar Power" may have run.
std::string CheckInvariants(const MatchState& state, int maxPlayerPower = 100);

}  // namespace halvex
