#include "game/run_report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace halvex::game {

namespace {

// "VmRSS:     61234 kB" -> bytes.
std::uint64_t StatusKilobytes(const char* line, const char* label) {
  const std::size_t n = std::strlen(label);
  if (std::strncmp(line, label, n) != 0) return 0;
  unsigned long long kb = 0;
  if (std::sscanf(line + n, "%llu", &kb) != 1) return 0;
  return static_cast<std::uint64_t>(kb) * 1024u;
}

double Mebibytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

ResidentMemory ReadResidentMemory() {
  ResidentMemory memory;
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return memory;
  char line[256];
  while (std::fgets(line, sizeof line, status)) {
    if (std::uint64_t b = StatusKilobytes(line, "VmRSS:")) memory.now = b;
    if (std::uint64_t b = StatusKilobytes(line, "VmHWM:")) memory.peak = b;
  }
  std::fclose(status);
  return memory;
}

void RunReport::Frame(long frame, double matchSeconds, Clock::time_point now) {
  if (everySeconds_ <= 0.0) return;
  if (!started_) {
    started_ = true;
    start_ = intervalStart_ = lastFrame_ = now;
    return;
  }
  const double frameMs = std::chrono::duration<double, std::milli>(now - lastFrame_).count();
  lastFrame_ = now;
  ++intervalFrames_;
  intervalMaxMs_ = std::max(intervalMaxMs_, frameMs);
  const double intervalSeconds = std::chrono::duration<double>(now - intervalStart_).count();
  if (intervalSeconds < everySeconds_) return;

  const ResidentMemory memory = ReadResidentMemory();
  std::printf(
      "report: %.0f s, frame %ld, match %.1f s, frame ms avg %.2f max %.2f, resident %.1f MiB "
      "(peak %.1f)\n",
      std::chrono::duration<double>(now - start_).count(), frame, matchSeconds,
      intervalSeconds * 1000.0 / static_cast<double>(intervalFrames_), intervalMaxMs_,
      Mebibytes(memory.now), Mebibytes(memory.peak));
  std::fflush(stdout);
  intervalStart_ = now;
  intervalFrames_ = 0;
  intervalMaxMs_ = 0.0;
}

}  // namespace halvex::game
