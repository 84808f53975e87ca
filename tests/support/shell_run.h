// Runs a shell command for an end-to-end test and keeps what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace halvex::test {

struct ProcessRun {
  int code = -1;       // exit status, -1 when the command did not exit normally
  std::string output;  // stdout and stderr together
};

inline ProcessRun RunShell(const std::string& command) {
  ProcessRun run;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.output.append(buf, n);
  const int status = ::pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace halvex::test
