// The closing screen: the logo under a sweeping spotlight, the thanks and
// the credits, one role heading with its name line at a time, growing in.
#pragma once

#include <array>

#include "screens/intro/intro.h"

namespace halvex::screens {

inline constexpr int kCredits = 12;
inline constexpr int kCreditGrowFrames = 30;
inline constexpr int kCreditHoldFrames = 150;

struct Credit {
  const char* heading;
  const char* names;
};
extern const std::array<Credit, kCredits> kCreditList;

struct ClosingState {
  int credit = 0;
  int grow = 0;  // t, 0..30
  int hold = 0;  // 0..151
  int frame = 0;  // within the current credit
  float spotX = -50.0f;
  // One frame; false once the last credit has run out.
  bool Advance();
};

// Runs the closing screen until Enter or the end of the credits (a run with
// nobody watching skips it); returns the frames shown.
int RunClosing(const IntroInputs& in, GameRandom& random, const std::atomic<int>* gameRunning);

}  // namespace halvex::screens
