#include "platform/window/message_queue.h"

#include <chrono>

namespace halvex::platform {

int KeyScanOfChar(unsigned char ch) {
  if (ch == 27) return 0x2DB;
  if (ch == '\r' || ch == '\n') return 0x0D;
  if (ch == 8) return 0x08;
  if (ch == '\t') return 0x09;
  if (ch >= 'a' && ch <= 'z') return ch - 'a' + 'A';
  if (ch >= 'A' && ch <= 'Z') return 0x100 | ch;
  if (ch >= '0' && ch <= '9') return ch;
  if (ch == ' ') return 0x20;
  if (ch >= 1 && ch <= 26) return 0x200 | (ch - 1 + 'A');  // Ctrl+letter
  // Punctuation: any printable value that is not one of the keys above.
  return 0x100 | ch;
}

void MessageQueue::SetWaker(std::function<void()> waker) {
  std::lock_guard lock(wakerMutex_);
  waker_ = std::move(waker);
}

void MessageQueue::Wake() {
  // Held while the waker runs, so Shutdown cannot return (and the window
  // behind the waker cannot go) while another thread is still waking it.
  std::lock_guard lock(wakerMutex_);
  if (waker_) waker_();
}

void MessageQueue::BindToCurrentThread() {
  std::lock_guard lock(mutex_);
  owner_ = std::this_thread::get_id();
}

bool MessageQueue::Post(std::uint32_t message, WParam wParam, LParam lParam) {
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return false;
    queue_.push_back({{message, wParam, lParam}});
  }
  arrived_.notify_all();
  Wake();
  return true;
}

LResult MessageQueue::Send(std::uint32_t message, WParam wParam, LParam lParam) {
  LResult result = 0;
  bool done = false;
  {
    std::unique_lock lock(mutex_);
    if (shutDown_) return 0;
    if (std::this_thread::get_id() == owner_ && current_) {
      Handler& handler = *current_;
      lock.unlock();
      return handler({message, wParam, lParam});
    }
    queue_.push_back({{message, wParam, lParam}, &result, &done});
  }
  arrived_.notify_all();
  Wake();
  std::unique_lock lock(mutex_);
  handled_.wait(lock, [&] { return done || shutDown_; });
  return result;
}

bool MessageQueue::Dispatch(const Handler& handler) {
  std::unique_lock lock(mutex_);
  Handler* previous = current_;
  current_ = const_cast<Handler*>(&handler);
  bool running = true;
  while (!queue_.empty() && running) {
    Entry entry = queue_.front();
    queue_.pop_front();
    if (entry.msg.message == WM_QUIT) {
      quitCode_ = static_cast<int>(entry.msg.wParam);
      running = false;
      break;
    }
    lock.unlock();
    LResult result = handler(entry.msg);
    lock.lock();
    if (entry.result) {
      *entry.result = result;
      *entry.done = true;
      handled_.notify_all();
    }
  }
  current_ = previous;
  return running;
}

void MessageQueue::Wait(int timeoutMs) {
  std::unique_lock lock(mutex_);
  arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                    [&] { return !queue_.empty() || shutDown_; });
}

void MessageQueue::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    for (Entry& entry : queue_) {
      if (entry.done) *entry.done = true;
    }
    queue_.clear();
    handled_.notify_all();
    arrived_.notify_all();
  }
  // Waits for a wake-up in progress on another thread, and lets no other
  // start: nothing touches the window's event system after this.
  std::lock_guard lock(wakerMutex_);
  waker_ = nullptr;
}

}  // namespace halvex::platform
