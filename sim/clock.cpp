#include "sim/clock.h"

#include <chrono>

namespace halvex {

std::uint64_t SystemClock::NowMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

float FrameTimer::operator()(int command) {
  double now = static_cast<double>(clock_->NowMs()) * 0.001;
  // While stopped, time stands at the stop time for all but start and
  // absolute.
  double frozen = stop_ != 0.0 ? stop_ : now;
  switch (command) {
    case kReset:
      base_ = frozen;
      last_ = frozen;
      return 0.0f;
    case kStart:
      if (stop_ != 0.0) base_ += now - stop_;
      stop_ = 0.0;
      last_ = now;
      return 0.0f;
    case kStop:
      stop_ = frozen;
      return 0.0f;
    case kAdvance:
      stop_ += 0.1;
      return 0.0f;
    case kAbsolute:
      return static_cast<float>(now);
    case kApplicationTime:
      return static_cast<float>(frozen - base_);
    case kElapsed: {
      double elapsed = frozen - last_;
      last_ = frozen;
      return static_cast<float>(elapsed);
    }
    default:
      return -1.0f;
  }
}

void MatchClock::Start() {
  startMs_ = clock_->NowMs();
  previous_ = 0.0f;
}

float MatchClock::FrameTime() const {
  return static_cast<float>(static_cast<double>(clock_->NowMs() - startMs_) / 1000.0);
}

std::uint32_t MatchClock::MatchMs() const {
  return static_cast<std::uint32_t>(clock_->NowMs() - startMs_);
}

bool MatchClock::Step() {
  float now = FrameTime();
  if (now == previous_) return false;
  frameDelta_ = now - previous_;
  previous_ = now;
  frameRate_ = 1.0f / frameDelta_;
  timeScale_ = kSpeedFactor * frameDelta_;
  return timeScale_ <= kMaxTimeScale;
}

}  // namespace halvex
