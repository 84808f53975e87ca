// The send queue and the per-peer rate limit, on a clock the test moves.
#include <gtest/gtest.h>

#include <string>

#include "platform/peer/outbox.h"

namespace halvex::peer {
namespace {

using Clock = Outbox::Clock;
using std::chrono::milliseconds;

Outbox::Entry Make(const std::string& text, bool guaranteed, bool high, int timeoutMs, Clock::time_point at) {
  Outbox::Entry e;
  e.bytes.assign(text.begin(), text.end());
  e.guaranteed = guaranteed;
  e.highPriority = high;
  e.timeoutMs = timeoutMs;
  e.queued = at;
  return e;
}

std::vector<std::string> Texts(const std::vector<Outbox::Entry>& entries) {
  std::vector<std::string> out;
  for (const auto& e : entries) out.emplace_back(e.bytes.begin(), e.bytes.end());
  return out;
}

TEST(PeerOutbox, HighPriorityFirstThenSendingOrderAndStaleOnesDropped) {
  Outbox box;
  std::uint64_t overflowed = 0, expired = 0;
  Clock::time_point t0{};
  ASSERT_TRUE(box.Push(Make("n1", false, false, 0, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("g1", true, false, 5, t0), &overflowed));  // guaranteed: never stale
  ASSERT_TRUE(box.Push(Make("stale", false, false, 10, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("h1", false, true, 0, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("n2", false, false, 100, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("hg", true, true, 0, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("h-stale", false, true, 10, t0), &overflowed));

  // Exactly at the time-out a message is still fresh.
  auto fresh = box.Take(t0 + milliseconds(10), &expired);
  EXPECT_EQ(Texts(fresh), (std::vector<std::string>{"h1", "hg", "h-stale", "n1", "g1", "stale", "n2"}));
  EXPECT_EQ(expired, 0u);
  EXPECT_EQ(box.size(), 0u);

  for (const char* t : {"n1", "g1", "stale", "h1", "n2", "hg", "h-stale"}) {
    bool guaranteed = t[0] == 'g' || std::string(t) == "hg";
    int timeout = std::string(t).find("stale") != std::string::npos ? 10 : (std::string(t) == "n2" ? 100 : 0);
    ASSERT_TRUE(box.Push(Make(t, guaranteed, t[0] == 'h', timeout, t0), &overflowed));
  }
  auto later = box.Take(t0 + milliseconds(11), &expired);
  EXPECT_EQ(Texts(later), (std::vector<std::string>{"h1", "hg", "n1", "g1", "n2"}));
  EXPECT_EQ(expired, 2u);
  EXPECT_EQ(overflowed, 0u);
}

TEST(PeerOutbox, BeyondItsCapTheOldestUnguaranteedSendGoes) {
  Outbox box(4, 6);
  std::uint64_t overflowed = 0, expired = 0;
  Clock::time_point t0{};
  ASSERT_TRUE(box.Push(Make("g1", true, false, 0, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("hu1", false, true, 0, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("u1", false, false, 0, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("u2", false, false, 0, t0), &overflowed));
  ASSERT_TRUE(box.Push(Make("u3", false, false, 0, t0), &overflowed));  // u1 goes
  EXPECT_EQ(overflowed, 1u);
  ASSERT_TRUE(box.Push(Make("g2", true, false, 0, t0), &overflowed));  // guaranteed: room up to the hard cap
  ASSERT_TRUE(box.Push(Make("g3", true, false, 0, t0), &overflowed));
  EXPECT_EQ(box.size(), 6u);
  ASSERT_TRUE(box.Push(Make("g4", true, false, 0, t0), &overflowed));  // at the hard cap: u2 goes
  ASSERT_TRUE(box.Push(Make("g5", true, false, 0, t0), &overflowed));  // then u3
  ASSERT_TRUE(box.Push(Make("g6", true, false, 0, t0), &overflowed));  // then high-priority hu1
  EXPECT_EQ(overflowed, 4u);
  EXPECT_FALSE(box.Push(Make("g7", true, false, 0, t0), &overflowed)) << "nothing left to drop";
  EXPECT_FALSE(box.Push(Make("u4", false, false, 0, t0), &overflowed));
  EXPECT_EQ(overflowed, 5u);
  EXPECT_EQ(Texts(box.Take(t0, &expired)), (std::vector<std::string>{"g1", "g2", "g3", "g4", "g5", "g6"}));
}

TEST(PeerTokenBucket, ABurstThenTheSteadyRate) {
  Clock::time_point t0{};
  TokenBucket bucket(1000, 50, t0);
  int taken = 0;
  while (bucket.Take(t0)) ++taken;
  EXPECT_EQ(taken, 50);
  EXPECT_FALSE(bucket.Take(t0));
  taken = 0;
  for (int i = 0; i < 100; ++i) taken += bucket.Take(t0 + std::chrono::microseconds(10'500)) ? 1 : 0;
  EXPECT_EQ(taken, 10);  // 10.5 ms at 1000 a second
  taken = 0;
  for (int i = 0; i < 1000; ++i) taken += bucket.Take(t0 + milliseconds(10'000)) ? 1 : 0;
  EXPECT_EQ(taken, 50) << "an idle spell never saves more than the burst";
  // A clock that goes backwards gives nothing.
  EXPECT_FALSE(bucket.Take(t0));
}

}  // namespace
}  // namespace halvex::peer
