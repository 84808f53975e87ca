// Small helpers of match_state.h.
#pragma once

#include <cstdio>
#include <cstring>

namespace halvex {

template <std::size_t N>
void SetNumberText(TextBuffer<N>& text, int value) {
  std::snprintf(text.data(), N, "%d", value);
}

template <std::size_t N>
void SetText(TextBuffer<N>& text, const char* value) {
  std::snprintf(text.data(), N, "%s", value);
}

}  // namespace halvex
