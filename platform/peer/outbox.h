// Game messages waiting for the network thread. High priority leaves before
// normal; an unguaranteed message waiting past its time-out is stale game
// state and is dropped rather than sent late. Bounded, so a sender that
// outruns the network cannot grow it without limit.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace halvex::peer {

class Outbox {
 public:
  using Clock = std::chrono::steady_clock;

  struct Entry {
    std::vector<std::uint8_t> bytes;
    bool guaranteed = false;
    bool highPriority = false;
    int timeoutMs = 0;  // unguaranteed only; 0: never stale
    Clock::time_point queued;
    std::uint64_t order = 0;
  };

  // Beyond `softCap` waiting messages the oldest unguaranteed one goes to
  // make room; guaranteed ones are only refused beyond `hardCap`.
  explicit Outbox(std::size_t softCap = 4096, std::size_t hardCap = 16384) : softCap_(softCap), hardCap_(hardCap) {}

  // False when the message was not queued (nothing unguaranteed left to
  // drop, or the hard cap). `overflowed` counts unguaranteed messages
  // dropped to make room (the refused one included).
  bool Push(Entry entry, std::uint64_t* overflowed);

  // Everything waiting, high priority first and in sending order within a
  // priority; stale unguaranteed messages are left out and counted.
  std::vector<Entry> Take(Clock::time_point now, std::uint64_t* expired);

  std::size_t size() const;
  void Clear();

 private:
  bool DropOldestUnguaranteed();

  // [priority][guaranteed]: each queue is in sending order, so dropping the
  // oldest unguaranteed message is a pop_front.
  std::deque<Entry> queues_[2][2];
  std::size_t softCap_;
  std::size_t hardCap_;
  std::uint64_t nextOrder_ = 0;
};

// Messages per second from one peer, with a burst allowance.
class TokenBucket {
 public:
  using Clock = std::chrono::steady_clock;
  TokenBucket(double perSecond, double burst, Clock::time_point now)
      : rate_(perSecond), burst_(burst), tokens_(burst), last_(now) {}

  bool Take(Clock::time_point now) {
    if (now > last_) {
      double seconds = std::chrono::duration<double>(now - last_).count();
      tokens_ = tokens_ + seconds * rate_;
      if (tokens_ > burst_) tokens_ = burst_;
      last_ = now;
    }
    if (tokens_ < 1.0) return false;
    tokens_ -= 1.0;
    return true;
  }

 private:
  double rate_;
  double burst_;
  double tokens_;
  Clock::time_point last_;
};

}  // namespace halvex::peer
