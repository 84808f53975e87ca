// Frame pacing for a capped frame rate: each frame may start one period
// after the previous one's slot. A frame that came late does not earn the
// next ones a burst, so the rate never exceeds the cap, and a change of cap
// (the window losing its focus) takes effect at the next frame.
#pragma once

#include <chrono>

namespace halvex::game {

class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;

  // The moment the frame that is ready at `now` may start, under a cap of
  // `fps` frames a second (0: at once).
  Clock::time_point StartAt(int fps, Clock::time_point now) {
    if (fps <= 0) return now;
    const auto start = nextFrameAt_ > now ? nextFrameAt_ : now;
    nextFrameAt_ = start + std::chrono::nanoseconds(1000000000LL / fps);
    return start;
  }

 private:
  Clock::time_point nextFrameAt_{};
};

// The cap in force: the run's own (--max-fps), else the player's; while the
// window has no focus at most `background` when that is asked for.
inline int FrameCap(int runCap, int playerCap, bool unfocused, int background) {
  int cap = runCap > 0 ? runCap : playerCap;
  if (unfocused && background > 0) cap = cap > 0 && cap < background ? cap : background;
  return cap;
}

}  // namespace halvex::game
