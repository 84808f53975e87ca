#include "game/run_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace halvex::game {

double RunOptions::SteppedMs() const {
  if (fixedStepMs && *fixedStepMs > 0.0) return *fixedStepMs;
  return timedemo ? 25.0 : 0.0;
}

bool RunOptions::Finished(long frame, double matchSeconds) const {
  if (frames && frame >= *frames) return true;
  return seconds && matchSeconds >= *seconds;
}

bool RunOptions::ShotDue(long frame) const {
  return std::find(shots.begin(), shots.end(), frame) != shots.end();
}

double TimedemoStats::TotalMs() const { return std::accumulate(times_.begin(), times_.end(), 0.0); }

double TimedemoStats::AverageFps() const {
  double total = TotalMs();
  return total > 0.0 ? 1000.0 * static_cast<double>(times_.size()) / total : 0.0;
}

double TimedemoStats::PercentileMs(double p) const {
  if (times_.empty()) return 0.0;
  std::vector<double> sorted = times_;
  std::sort(sorted.begin(), sorted.end());
  double rank = std::ceil(std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(sorted.size()));
  std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
  return sorted[std::min(index, sorted.size() - 1)];
}

double TimedemoStats::MaxMs() const {
  return times_.empty() ? 0.0 : *std::max_element(times_.begin(), times_.end());
}

double TimedemoStats::DrawCallsPerFrame() const {
  return times_.empty() ? 0.0 : static_cast<double>(drawCalls_) / static_cast<double>(times_.size());
}

std::string TimedemoStats::Report() const {
  char line[320];
  std::snprintf(line, sizeof line,
                "timedemo: %zu frames in %.3f s, %.1f fps average, frame ms p50 %.3f p95 %.3f p99 %.3f "
                "max %.3f, %.0f draw calls per frame",
                times_.size(), TotalMs() / 1000.0, AverageFps(), PercentileMs(50), PercentileMs(95),
                PercentileMs(99), MaxMs(), DrawCallsPerFrame());
  return line;
}

}  // namespace halvex::game
