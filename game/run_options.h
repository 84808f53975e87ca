// How a run is driven and when it ends: the options a script, a test or a
// benchmark gives (frames, match seconds, a fixed frame time, scripted
// input, screenshots at frames, the timedemo), and the timedemo's figures.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvex::game {

struct Demo;

struct RunOptions {
  std::optional<long> frames;
  std::optional<double> seconds;
  std::optional<double> fixedStepMs;
  std::optional<unsigned> seed;
  std::string scriptText;  // the script file's text; empty for none
  std::vector<long> shots;
  bool timedemo = false;
  // At most this many frames a second (0: as many as the clock allows), so a
  // headless peer or a player who asks for it does not burn a whole core.
  int maxFps = 0;
  bool trace = false;  // print mode changes and the player's position on stdout
  // Check the match invariants after every frame; the first broken one is
  // printed and ends the run with a failure.
  bool check = false;
  double reportSeconds = 0.0;  // a line of run figures this often (0: never)
  bool headless = false;
  bool nonInteractive = false;
  // Keep the recording device's call log (tests read it); the game's own
  // headless runs switch it off so that memory stays flat over long matches.
  bool recordDrawCalls = true;
  std::string recordPath;             // --record: write the match to this demo file
  std::shared_ptr<const Demo> demo;   // --play: the recording to replay

  // The frame time of a run that does not follow the clock: --fixed-step,
  // or 25 ms for a timedemo without one. 0: follow the clock.
  double SteppedMs() const;
  // Whether the match ends after `frame` frames and `matchSeconds`.
  bool Finished(long frame, double matchSeconds) const;
  // Whether a screenshot is due after frame `frame` (1-based).
  bool ShotDue(long frame) const;
};

// Seconds from this process's start to now. The start is the kernel's record
// of it, so loading the executable and its libraries and static set-up count
// too (it is kept in clock ticks, so the figure may be up to a tick, 10 ms,
// long); where /proc cannot be read, from this library's static set-up.
double SecondsSinceProcessStart();

// Where the time before the first match frame went. The intro plays its
// whole flight frame by frame (a run nobody watches leaves it only once the
// prompt shows), so its share is given apart from the start-up proper.
struct StartupFigures {
  double toFirstFrame = 0.0;  // from the process's start to the first match frame drawn
  double intro = 0.0;         // of that, the intro's
  // "start-up: 0.84 s to the first match frame (+ 3.90 s of intro)"
  std::string Line() const;
};

// With HALVEX_STARTUP_TIMES set (and not 0), one line on stderr,
// "start-up at 0.412 s: <what>", for finding where the time before the first
// frame goes; nothing otherwise.
void MarkStartup(const char* what);

// Frame times of a timedemo, in milliseconds of real time per frame.
class TimedemoStats {
 public:
  // One frame: its real time, the draw calls it made and how many of them
  // the device skipped as lying outside the view.
  void Add(double frameMs, std::uint64_t drawCalls = 0, std::uint64_t outsideView = 0) {
    times_.push_back(frameMs);
    drawCalls_ += drawCalls;
    outsideView_ += outsideView;
  }
  std::size_t frames() const { return times_.size(); }
  double TotalMs() const;
  double AverageFps() const;
  // The p-th percentile (0..100) of the frame times, nearest rank.
  double PercentileMs(double p) const;
  double MaxMs() const;
  double DrawCallsPerFrame() const;
  double OutsideViewPerFrame() const;
  StartupFigures startup;
  // "timedemo: N frames in S s, F fps average, frame ms p50 A p95 B p99 C max D,
  // E draw calls per frame, G of them outside the view"
  std::string Report() const;

 private:
  std::vector<double> times_;
  std::uint64_t drawCalls_ = 0, outsideView_ = 0;
};

}  // namespace halvex::game
