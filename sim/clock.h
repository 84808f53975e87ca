// Time for the match: a millisecond clock that can be injected, the
// seven-command FrameTimer, the frame clock and the time step.
#pragma once

#include <cstdint>

namespace halvex {

class MillisecondClock {
 public:
  virtual ~MillisecondClock() = default;
  virtual std::uint64_t NowMs() = 0;
};

// The process's monotonic clock.
class SystemClock final : public MillisecondClock {
 public:
  std::uint64_t NowMs() override;
};

// A clock that only moves when told to: tests and fixed-step runs.
class ManualClock final : public MillisecondClock {
 public:
  explicit ManualClock(std::uint64_t start = 0) : now_(start) {}
  std::uint64_t NowMs() override { return now_; }
  void Advance(std::uint64_t ms) { now_ += ms; }
  void Set(std::uint64_t ms) { now_ = ms; }

 private:
  std::uint64_t now_;
};

// A clock read once per time step: between Latch() calls every reader sees
// the same value, so a demo can keep the one value a frame ran at. Until the
// first Latch() it passes its source through.
class LatchedClock final : public MillisecondClock {
 public:
  explicit LatchedClock(MillisecondClock& source) : source_(&source) {}
  std::uint64_t NowMs() override { return latched_ ? now_ : source_->NowMs(); }
  // Takes the source's time; false when it has not moved since the last.
  bool Latch() {
    const std::uint64_t now = source_->NowMs();
    const bool moved = !latched_ || now != now_;
    now_ = now;
    latched_ = true;
    return moved;
  }

 private:
  MillisecondClock* source_;
  bool latched_ = false;
  std::uint64_t now_ = 0;
};

// The application timer, driven by a command number; seconds as floats.
class FrameTimer {
 public:
  enum Command { kReset = 0, kStart = 1, kStop = 2, kAdvance = 3, kAbsolute = 4,
                 kApplicationTime = 5, kElapsed = 6 };

  explicit FrameTimer(MillisecondClock& clock) : clock_(&clock) {}
  // Any other command number returns -1.
  float operator()(int command);

 private:
  MillisecondClock* clock_;
  double base_ = 0.0;
  double stop_ = 0.0;  // 0 while running
  double last_ = 0.0;
};

// The frame clock and the time step of the match loop.
class MatchClock {
 public:
  static constexpr float kSpeedFactor = 40.0f;
  static constexpr float kMaxTimeScale = 5.0f;

  explicit MatchClock(MillisecondClock& clock) : clock_(&clock) {}
  // matchStartTime := now; the frame clock restarts from 0.
  void Start();
  // (now - matchStartTime) / 1000, from the 64-bit difference.
  float FrameTime() const;
  // Milliseconds since the start, 32 bits.
  std::uint32_t MatchMs() const;

  // One pass of the time step with the clock as it is now. Returns true
  // with frameDelta and timeScale set when a frame is to be simulated; false
  // when the clock has not moved, or when the step was too long (timeScale
  // above 5): that interval is absorbed and the next, short step is used.
  bool Step();
  float frameDelta() const { return frameDelta_; }
  float timeScale() const { return timeScale_; }
  float frameRate() const { return frameRate_; }
  float frameTime() const { return previous_; }

 private:
  MillisecondClock* clock_;
  std::uint64_t startMs_ = 0;
  float previous_ = 0.0f;
  float frameDelta_ = 0.0f;
  float timeScale_ = 0.0f;
  float frameRate_ = 0.0f;
};

}  // namespace halvex
