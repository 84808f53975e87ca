#include "platform/peer/outbox.h"

namespace halvex::peer {

std::size_t Outbox::size() const {
  std::size_t n = 0;
  for (const auto& byPriority : queues_)
    for (const auto& q : byPriority) n += q.size();
  return n;
}

void Outbox::Clear() {
  for (auto& byPriority : queues_)
    for (auto& q : byPriority) q.clear();
}

bool Outbox::DropOldestUnguaranteed() {
  // Normal priority goes first: a high-priority message is the one the game
  // most wants delivered.
  for (int priority = 0; priority < 2; ++priority) {
    auto& q = queues_[priority][0];
    if (!q.empty()) {
      q.pop_front();
      return true;
    }
  }
  return false;
}

bool Outbox::Push(Entry entry, std::uint64_t* overflowed) {
  std::size_t waiting = size();
  if (waiting >= softCap_) {
    if (!entry.guaranteed) {
      // Keep the newest state: the oldest unguaranteed one makes room, or,
      // with none queued, this one is refused.
      ++*overflowed;
      if (!DropOldestUnguaranteed()) return false;
    } else if (waiting >= hardCap_) {
      if (!DropOldestUnguaranteed()) return false;
      ++*overflowed;
    }
  }
  entry.order = nextOrder_++;
  queues_[entry.highPriority ? 1 : 0][entry.guaranteed ? 1 : 0].push_back(std::move(entry));
  return true;
}

std::vector<Outbox::Entry> Outbox::Take(Clock::time_point now, std::uint64_t* expired) {
  std::vector<Entry> out;
  out.reserve(size());
  for (int priority = 1; priority >= 0; --priority) {
    auto& unguaranteed = queues_[priority][0];
    auto& guaranteed = queues_[priority][1];
    // Merge the two queues back into sending order.
    while (!unguaranteed.empty() || !guaranteed.empty()) {
      bool fromGuaranteed =
          unguaranteed.empty() || (!guaranteed.empty() && guaranteed.front().order < unguaranteed.front().order);
      auto& q = fromGuaranteed ? guaranteed : unguaranteed;
      Entry e = std::move(q.front());
      q.pop_front();
      if (!e.guaranteed && e.timeoutMs > 0 && now - e.queued > std::chrono::milliseconds(e.timeoutMs)) {
        ++*expired;
        continue;
      }
      out.push_back(std::move(e));
    }
  }
  return out;
}

}  // namespace halvex::peer
