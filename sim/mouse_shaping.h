// The player's mouse preferences applied to the counts the device reports,
// before the match turns them into looking about. The match works in whole
// counts, so a scaled motion keeps its remainder for the next frame: slow,
// steady motion at a low sensitivity still turns, and no motion is lost.
#pragma once

#include <cstdint>

#include "sim/input.h"

namespace halvex {

class MouseShaping {
 public:
  // percent: 100 is the original turn per count; invertY: forward looks down.
  MouseShaping(int percent, bool invertY) : percent_(percent), invertY_(invertY) {}

  void Apply(InputSnapshot& in) {
    in.lX = Scale(in.lX, carryX_);
    in.lY = Scale(invertY_ ? -in.lY : in.lY, carryY_);
  }

 private:
  // counts * percent / 100, the remainder (in hundredths of a count) kept.
  std::int32_t Scale(std::int32_t counts, std::int64_t& carry) const {
    if (percent_ == 100) return counts;
    const std::int64_t total = static_cast<std::int64_t>(counts) * percent_ + carry;
    const std::int64_t whole = total / 100;  // toward zero, so both directions are alike
    carry = total - whole * 100;
    return static_cast<std::int32_t>(whole);
  }

  int percent_;
  bool invertY_;
  std::int64_t carryX_ = 0, carryY_ = 0;
};

}  // namespace halvex
