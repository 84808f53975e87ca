// Shared helpers of the content generator: a seeded random source, number
// formatting that gives the same text on every run, and the output pack that
// creates folders as files are written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace halvex::contentgen {

// xorshift64*: small, fast and the same sequence everywhere for a seed.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  uint32_t next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
  }
  float uniform() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
  float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }

 private:
  uint64_t state_;
};

// Fixed-precision text for floats, with "-0.000000" folded to "0.000000".
std::string Num(float v, int decimals = 6);

// The output folder. Paths given to Write use forward slashes and the exact
// spelling the game asks for.
class Pack {
 public:
  explicit Pack(std::filesystem::path root) : root_(std::move(root)) {}
  void Write(std::string_view relPath, std::string_view data);
  void Write(std::string_view relPath, const std::vector<uint8_t>& data);
  const std::vector<std::string>& written() const { return written_; }
  uint64_t bytes() const { return bytes_; }

 private:
  std::filesystem::path root_;
  std::vector<std::string> written_;
  uint64_t bytes_ = 0;
};

}  // namespace halvex::contentgen
