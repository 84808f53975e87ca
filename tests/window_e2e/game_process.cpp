#include "tests/window_e2e/game_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace halvex::test {

namespace {

using namespace std::chrono;

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

GameProcess::~GameProcess() {
  if (Running()) {
    ::kill(pid_, SIGKILL);
    WaitExit(10000);
  }
}

bool GameProcess::Start(const std::filesystem::path& executable, const std::vector<std::string>& args,
                        const std::string& display, const std::filesystem::path& work) {
  out_ = work / "stdout.txt";
  err_ = work / "stderr.txt";
  pid_ = ::fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    if (::chdir(work.c_str()) != 0) ::_exit(126);
    const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) ::_exit(126);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::setenv("DISPLAY", display.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(executable.c_str(), argv.data());
    ::_exit(127);
  }
  return true;
}

std::optional<std::size_t> GameProcess::WaitForLine(const std::string& text, int timeoutMs, std::size_t from) {
  const auto until = steady_clock::now() + milliseconds(timeoutMs);
  for (;;) {
    const std::string out = Output();
    const std::size_t at = from < out.size() ? out.find(text, from) : std::string::npos;
    if (at != std::string::npos) {
      const std::size_t end = out.find('\n', at);
      if (end != std::string::npos) return end + 1;
    }
    if (steady_clock::now() >= until || !Running()) return std::nullopt;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

std::string GameProcess::Output() const { return ReadAll(out_); }
std::string GameProcess::Errors() const { return ReadAll(err_); }

std::optional<int> GameProcess::WaitExit(int timeoutMs) {
  const auto until = steady_clock::now() + milliseconds(timeoutMs);
  while (!exitCode_) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (r < 0 || steady_clock::now() >= until) break;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return exitCode_;
}

bool GameProcess::Running() { return pid_ > 0 && !WaitExit(0); }

void GameProcess::Signal(int sig) {
  if (Running()) ::kill(pid_, sig);
}

double GameProcess::CpuSeconds() const {
  // Fields 14 and 15 of /proc/PID/stat: user and system time in clock ticks.
  std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1.0;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

}  // namespace halvex::test
