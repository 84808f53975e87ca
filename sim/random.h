// The game's chance: a generator with the range 0..32767 that the game's
// probabilities are written against (the C library's rand() on Linux has a
// far larger range), and random(low, high) on top of it.
#pragma once

#include <cstdint>

namespace halvex {

class GameRandom {
 public:
  static constexpr int kMax = 32767;

  explicit GameRandom(std::uint32_t seed = 1) : state_(seed) {}
  void Seed(std::uint32_t seed) { state_ = seed; }

  // 0..32767, the classic linear congruential sequence.
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7fffu);
  }

  // rand() x (high - low) / 32767 + low, as a float. Reaches high itself
  // only on the largest draw; integer uses truncate toward zero.
  float random(float low, float high) {
    return static_cast<float>(Next()) * (high - low) / static_cast<float>(kMax) + low;
  }

  std::uint32_t State() const { return state_; }

 private:
  std::uint32_t state_;
};

}  // namespace halvex
