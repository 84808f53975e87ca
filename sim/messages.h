// The HUD message list and chat lines: push line, "/me", "/setvar".
#pragma once

#include <string>
#include <string_view>

#include "sim/events.h"
#include "sim/match_state.h"

namespace halvex {

// Shifts the list down (the oldest line falls off), puts text in line 0
// (cut to 127 characters), plays the message sound and shows the list for
// 250 units.
void PushLine(MessageList& list, std::string_view text, MatchEvents& events);

// Turns a typed chat line into its message line, applying "/setvar" to
// the state. Does not push it.
std::string FormatChatLine(MatchState& state, std::string_view typed);

}  // namespace halvex
