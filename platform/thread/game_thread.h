// The game thread and what the window thread may do to it: a counted suspend
// that the game thread honours at its safe points (every frame and every
// loading step), and best-effort priorities.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace halvex::platform {

class SuspendGate {
 public:
  // Window thread. Each Suspend is matched by one Resume; the thread runs
  // again once every suspend has been resumed.
  void Suspend();
  void Resume();
  int suspended() const;

  // Game thread: blocks here while suspended.
  void SafePoint();
  // True while the game thread is parked inside SafePoint (tests).
  bool parked() const { return parked_.load(); }

 private:
  mutable std::mutex mutex_;
  std::condition_variable resumed_;
  int count_ = 0;
  std::atomic<bool> parked_{false};
};

class GameThread {
 public:
  GameThread() = default;
  ~GameThread();
  GameThread(const GameThread&) = delete;
  GameThread& operator=(const GameThread&) = delete;

  void Start(std::function<int()> body);
  bool running() const { return running_.load(); }
  void Join();
  // Waits up to timeoutMs for the thread's body to return (resuming it if
  // it is parked); true when it did. The thread is joined only by Join.
  bool WaitForEnd(int timeoutMs);
  SuspendGate& gate() { return gate_; }

  // Windows thread priorities (-15 idle .. 2 highest) mapped to nice values
  // where the system allows; a change the process could not undo (lowering
  // without the right to raise again) is skipped.
  void SetPriority(int threadPriority);

 private:
  std::thread thread_;
  SuspendGate gate_;
  std::atomic<bool> running_{false};
  std::atomic<int> tid_{0};
};

// The process's priority class (0x20 normal, 0x40 idle, 0x80 high), best
// effort in the same way, applied to the calling (window) thread.
void SetProcessPriority(int priorityClass);

}  // namespace halvex::platform
