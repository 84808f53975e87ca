#include "platform/thread/game_thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace halvex::platform {

void SuspendGate::Suspend() {
  std::lock_guard lock(mutex_);
  ++count_;
}

void SuspendGate::Resume() {
  {
    std::lock_guard lock(mutex_);
    if (count_ > 0) --count_;
  }
  resumed_.notify_all();
}

int SuspendGate::suspended() const {
  std::lock_guard lock(mutex_);
  return count_;
}

void SuspendGate::SafePoint() {
  std::unique_lock lock(mutex_);
  if (count_ == 0) return;
  parked_ = true;
  resumed_.wait(lock, [&] { return count_ == 0; });
  parked_ = false;
}

GameThread::~GameThread() { Join(); }

void GameThread::Start(std::function<int()> body) {
  running_ = true;
  thread_ = std::thread([this, body = std::move(body)] {
    tid_ = static_cast<int>(::syscall(SYS_gettid));
    body();
    running_ = false;
  });
}

void GameThread::Join() {
  if (thread_.joinable()) {
    // Never leave the thread parked forever at a safe point.
    while (gate_.suspended() > 0) gate_.Resume();
    thread_.join();
  }
}

bool GameThread::WaitForEnd(int timeoutMs) {
  using namespace std::chrono;
  const auto until = steady_clock::now() + milliseconds(timeoutMs);
  while (running_.load()) {
    while (gate_.suspended() > 0) gate_.Resume();
    if (steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return true;
}

namespace {

int NiceFor(int threadPriority) {
  if (threadPriority <= -15) return 19;
  if (threadPriority >= 15) return -10;
  return -threadPriority * 2;
}

// Sets the nice value of one thread (0: the caller) when the change can be
// undone later: raising needs the right to, and so does lowering, since a
// thread that cannot raise itself back would stay slow after Alt-Tab.
void SetNice(int tid, int nice) {
  struct rlimit limit {};
  bool canRaiseToZero = ::geteuid() == 0 ||
                        (::getrlimit(RLIMIT_NICE, &limit) == 0 &&
                         (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= 20));
  errno = 0;
  int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (errno != 0 || current == nice) return;
  if (!canRaiseToZero && nice < 0) return;
  if (!canRaiseToZero && nice > current && current <= 0) return;
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

}  // namespace

void GameThread::SetPriority(int threadPriority) {
  if (tid_ != 0) SetNice(tid_, NiceFor(threadPriority));
}

void SetProcessPriority(int priorityClass) {
  int nice = priorityClass == 0x40 ? 19 : (priorityClass == 0x80 ? -5 : 0);
  SetNice(static_cast<int>(::syscall(SYS_gettid)), nice);
}

}  // namespace halvex::platform
