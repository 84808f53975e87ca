#include "game/run_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>

#include <unistd.h>

namespace halvex::game {

namespace {

double BootClockSeconds() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Field 22 of /proc/self/stat: the start in clock ticks since boot, on the
// clock CLOCK_BOOTTIME reads. Negative when it cannot be read.
double ProcessStartBootSeconds() {
  std::ifstream file("/proc/self/stat");
  std::string line;
  if (!std::getline(file, line)) return -1.0;
  // The command name in parentheses may hold blanks; fields count from after it.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return -1.0;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22; ++i)
    if (!(fields >> field)) return -1.0;
  const long ticks = sysconf(_SC_CLK_TCK);
  char* end = nullptr;
  const unsigned long long start = std::strtoull(field.c_str(), &end, 10);
  if (ticks <= 0 || !end || *end != '\0') return -1.0;
  return static_cast<double>(start) / static_cast<double>(ticks);
}

// Taken during static set-up, before main: the fallback start.
const double staticSetUpSeconds = BootClockSeconds();

}  // namespace

double SecondsSinceProcessStart() {
  static const double start = [] {
    const double kernel = ProcessStartBootSeconds();
    return kernel >= 0.0 && kernel <= staticSetUpSeconds ? kernel : staticSetUpSeconds;
  }();
  return BootClockSeconds() - start;
}

std::string StartupFigures::Line() const {
  char line[96];
  std::snprintf(line, sizeof line, "start-up: %.2f s to the first match frame (+ %.2f s of intro)",
                toFirstFrame - intro, intro);
  return line;
}

void MarkStartup(const char* what) {
  static const bool on = [] {
    const char* v = std::getenv("HALVEX_STARTUP_TIMES");
    return v && *v && std::string(v) != "0";
  }();
  if (on) std::fprintf(stderr, "start-up at %.3f s: %s\n", SecondsSinceProcessStart(), what);
}

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

double TimedemoStats::OutsideViewPerFrame() const {
  return times_.empty() ? 0.0 : static_cast<double>(outsideView_) / static_cast<double>(times_.size());
}

std::string TimedemoStats::Report() const {
  char line[320];
  std::snprintf(line, sizeof line,
                "timedemo: %zu frames in %.3f s, %.1f fps average, frame ms p50 %.3f p95 %.3f p99 %.3f "
                "max %.3f, %.0f draw calls per frame, %.0f of them outside the view",
                times_.size(), TotalMs() / 1000.0, AverageFps(), PercentileMs(50), PercentileMs(95),
                PercentileMs(99), MaxMs(), DrawCallsPerFrame(), OutsideViewPerFrame());
  return line;
}

}  // namespace halvex::game
