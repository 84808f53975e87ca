// Players joining and leaving a network match. Each remote player owns one
// combatant record; the records in use are always the first combatantCount.
#pragma once

#include <cstdint>
#include <string_view>

#include "sim/match_state.h"

namespace halvex {

// Queues a join or a leave for the next frame. False when the queue is full:
// the caller keeps the change and offers it again after that frame.
bool QueueRosterChange(MatchState& state, bool join, std::uint32_t id, std::string_view name);

// The first step of a network frame: every queued change, in order. A join
// takes the next free record, fresh; a leave removes the leaver's own record
// and moves the last record into its place, so the others keep theirs.
void ApplyRosterChanges(MatchState& state);

}  // namespace halvex
