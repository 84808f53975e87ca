// Figures of a long run, printed every few seconds of real time, so that a
// soak can be judged from its log: how far the match got, how long its
// frames took lately, and how much memory the process holds.
#pragma once

#include <chrono>
#include <cstdint>

namespace halvex::game {

// The process's resident memory now and at its peak, in bytes (0 where the
// system does not say).
struct ResidentMemory {
  std::uint64_t now = 0;
  std::uint64_t peak = 0;
};
ResidentMemory ReadResidentMemory();

class RunReport {
 public:
  using Clock = std::chrono::steady_clock;

  // everySeconds <= 0: never prints.
  explicit RunReport(double everySeconds) : everySeconds_(everySeconds) {}

  // A frame ended at `now`, the `frame`th of the match at `matchSeconds` of
  // match time. Prints a line on stdout once an interval is over:
  // "report: 60 s, frame 3612, match 60.2 s, frame ms avg 16.6 max 21.0, resident 61.2 MiB (peak 63.0)"
  void Frame(long frame, double matchSeconds, Clock::time_point now);

 private:
  double everySeconds_;
  bool started_ = false;
  Clock::time_point start_{}, intervalStart_{}, lastFrame_{};
  long intervalFrames_ = 0;
  double intervalMaxMs_ = 0.0;
};

}  // namespace halvex::game
