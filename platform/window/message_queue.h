// The window thread's queue: any thread posts, or sends and waits until the
// window thread has handled the message; only the window thread takes
// messages out.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/window/messages.h"

namespace halvex::platform {

class MessageQueue {
 public:
  using Handler = std::function<LResult(const Message&)>;

  // Called after each post so an event loop blocked elsewhere wakes up.
  void SetWaker(std::function<void()> waker);
  // Marks the calling thread as the one that handles messages.
  void BindToCurrentThread();

  // False when the queue has shut down and the message was dropped.
  bool Post(std::uint32_t message, WParam wParam = 0, LParam lParam = 0);
  // Handles the message on the window thread and returns its result. From
  // the window thread itself it calls the handler directly, like Windows.
  LResult Send(std::uint32_t message, WParam wParam, LParam lParam);

  // Window thread: handles every message waiting now (posted and sent) with
  // the handler. Returns false once WM_QUIT was taken; its wParam is then in
  // quitCode().
  bool Dispatch(const Handler& handler);
  // Window thread: waits up to timeoutMs for a message to arrive.
  void Wait(int timeoutMs);
  int quitCode() const { return quitCode_; }
  // Drops everything still queued and wakes any waiting sender (with 0), so
  // no thread is left hanging when the window thread has stopped. Once it
  // returns the waker is gone and will not be called again.
  void Shutdown();

 private:
  struct Entry {
    Message msg;
    LResult* result = nullptr;  // non-null for a send
    bool* done = nullptr;
  };

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::condition_variable handled_;
  std::deque<Entry> queue_;
  void Wake();

  std::mutex wakerMutex_;  // guards waker_ and is held while it runs
  std::function<void()> waker_;
  std::thread::id owner_;
  bool shutDown_ = false;
  int quitCode_ = 0;
  Handler* current_ = nullptr;
};

}  // namespace halvex::platform
