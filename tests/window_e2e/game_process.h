// The real game executable started as a player starts it, on a given X
// display, with what it prints kept for the test to read.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace halvex::test {

class GameProcess {
 public:
  GameProcess() = default;
  ~GameProcess();  // kills a game still running (a failed test)
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;

  // Starts bin/halvex with args in folder work (stdout and stderr go to
  // files there); DISPLAY is set to display.
  bool Start(const std::filesystem::path& executable, const std::vector<std::string>& args,
             const std::string& display, const std::filesystem::path& work);
  pid_t pid() const { return pid_; }

  // Waits until stdout holds a line containing text after position from
  // (a byte offset into stdout); returns the offset just past that line, or
  // nothing after timeoutMs.
  std::optional<std::size_t> WaitForLine(const std::string& text, int timeoutMs, std::size_t from = 0);
  std::string Output() const;  // stdout so far
  std::string Errors() const;  // stderr so far

  // Exit code once the process has ended within timeoutMs: its exit status,
  // or 128 + signal for a process killed by a signal. Nothing on a timeout.
  std::optional<int> WaitExit(int timeoutMs);
  bool Running();
  void Signal(int sig);

  // CPU time (user + system, all threads) the process has used so far.
  double CpuSeconds() const;

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
  std::filesystem::path out_, err_;
};

}  // namespace halvex::test
