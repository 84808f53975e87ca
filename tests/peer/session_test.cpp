// Whole sessions in one process on 127.0.0.1: hosting, queries, joining,
// the mesh, leaving, host migration, admission limits and the send queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "tests/peer/peer_test_support.h"

namespace halvex::peer {
namespace {

using testing::Node;
using testing::Received;
using testing::TestApp;
using Clock = std::chrono::steady_clock;

constexpr SendOptions kGuaranteed{true, false, 0};

// Host plus `joiners` players joined one after another.
std::vector<std::unique_ptr<Node>> MakeSession(int joiners, std::uint16_t* port, SessionInfo info = {}) {
  std::vector<std::unique_ptr<Node>> nodes;
  nodes.push_back(std::make_unique<Node>());
  info.sessionName = info.sessionName.empty() ? "Arena" : info.sessionName;
  *port = nodes[0]->HostSession("host", info);
  for (int i = 0; i < joiners; ++i) {
    nodes.push_back(std::make_unique<Node>());
    EXPECT_EQ(nodes.back()->Join("p" + std::to_string(i + 2), *port), JoinState::kJoined) << "joiner " << i;
  }
  return nodes;
}

// Every node has seen every other node created exactly once, holds one
// connection to each, and none more.
void ExpectFullMesh(const std::vector<Node*>& nodes) {
  std::set<PlayerId> ids;
  for (Node* n : nodes) ids.insert(n->session->LocalId());
  ASSERT_EQ(ids.size(), nodes.size()) << "ids are not distinct";
  ASSERT_EQ(ids.count(0), 0u);
  const int others = static_cast<int>(nodes.size()) - 1;
  for (Node* n : nodes) {
    PlayerId self = n->session->LocalId();
    // Players who left before (destroyed) are not part of it.
    auto present = [&] {
      int count = 0;
      for (auto& [id, times] : n->createdLocked())
        if (n->destroyedLocked().count(id) == 0) ++count;
      return count;
    };
    ASSERT_TRUE(n->WaitUntil([&] { return present() == others; }))
        << "player " << self << " sees " << n->With(present) << " of " << others;
    for (PlayerId id : ids) EXPECT_EQ(n->CreatedCount(id), id == self ? 0 : 1) << "at " << self << " of " << id;
    EXPECT_EQ(n->localCreated(), 1);
    EXPECT_EQ(n->session->PlayerCount(), static_cast<int>(nodes.size()));
    // Both ends of a pair open a connection only if something is wrong;
    // settled, each player holds exactly one per other player.
    ASSERT_TRUE(n->WaitUntil([&] { return n->session->stats().connections == others; }))
        << "player " << self << " holds " << n->session->stats().connections << " connections";
  }
}

std::vector<Node*> Raw(const std::vector<std::unique_ptr<Node>>& nodes) {
  std::vector<Node*> raw;
  for (auto& n : nodes) raw.push_back(n.get());
  return raw;
}

// Each node sends `count` guaranteed messages (and as many unguaranteed
// ones); every guaranteed one arrives once, in order, at every other node
// and never at its sender, and no unguaranteed one arrives twice.
void ExpectEveryMessageOnceInOrder(const std::vector<Node*>& nodes, int count, const std::string& tag) {
  for (Node* n : nodes) {
    PlayerId self = n->session->LocalId();
    for (int k = 0; k < count; ++k) {
      n->Send(tag + "u " + std::to_string(self) + " " + std::to_string(k), SendOptions{false, false, 0});
      n->Send(tag + "g " + std::to_string(self) + " " + std::to_string(k), kGuaranteed);
    }
  }
  const std::size_t expected = static_cast<std::size_t>(count) * (nodes.size() - 1);
  for (Node* n : nodes) {
    auto guaranteedSeen = [&] {
      std::size_t seen = 0;
      for (const Received& r : n->receivedLocked())
        if (r.text.rfind(tag + "g ", 0) == 0) ++seen;
      return seen;
    };
    ASSERT_TRUE(n->WaitUntil([&] { return guaranteedSeen() >= expected; }))
        << "player " << n->session->LocalId() << " got " << n->With(guaranteedSeen) << " of " << expected;
  }
  for (Node* n : nodes) {
    PlayerId self = n->session->LocalId();
    std::map<PlayerId, int> next;
    std::set<std::string> unguaranteed;
    for (const Received& r : n->received()) {
      if (r.text.rfind(tag, 0) != 0) continue;
      ASSERT_NE(r.from, self) << "looped back";
      unsigned from = 0;
      int k = -1;
      char kind = 0;
      ASSERT_EQ(std::sscanf(r.text.c_str() + tag.size(), "%c %u %d", &kind, &from, &k), 3) << r.text;
      EXPECT_EQ(from, r.from) << "sender misreported";
      if (kind == 'g') {
        EXPECT_EQ(k, next[r.from]) << "out of order or repeated from " << r.from << " at " << self;
        next[r.from] = k + 1;
      } else {
        EXPECT_TRUE(unguaranteed.insert(r.text).second) << "delivered twice: " << r.text;
      }
    }
    for (Node* other : nodes) {
      if (other == n) continue;
      EXPECT_EQ(next[other->session->LocalId()], count) << "at " << self;
    }
  }
}

TEST(PeerSessionIdle, OutsideASessionNothingIsSentAndBadAddressesAreRefused) {
  auto providers = ServiceProviders();
  ASSERT_EQ(providers.size(), 1u);
  EXPECT_EQ(providers[0].transport, Transport::kUdpIPv4);
  EXPECT_EQ(providers[0].name, "UDP/IP (IPv4)");

  Node n;
  EXPECT_FALSE(n.session->InSession());
  EXPECT_EQ(n.session->LocalId(), 0u);
  EXPECT_EQ(n.session->PlayerCount(), 0);
  EXPECT_NE(n.session->LocalPort(), 0);
  EXPECT_FALSE(n.session->SendToAll("x", 1, kGuaranteed));
  std::string error;
  EXPECT_FALSE(n.session->StartJoin("me", "not-an-address", 1234, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(n.session->StartJoin("me", "", 1234, &error)) << "joining needs an address";
  EXPECT_EQ(n.session->joinState(), JoinState::kIdle);
  n.session->Close();
  n.session->Close();  // idempotent
  EXPECT_FALSE(n.session->Host("me", {}, testing::FreeUdpPort(), &error));
}

TEST(PeerSessionQuery, HostAnswersWithItsSessionAndRoundTrip) {
  Node host;
  SessionInfo info;
  info.sessionName = "Varnholt Keep";
  info.maxPlayers = 8;
  std::uint16_t port = host.HostSession("host", info);
  ASSERT_NE(port, 0);
  EXPECT_EQ(host.session->LocalPort(), port);
  EXPECT_TRUE(host.session->IsHost());
  EXPECT_EQ(host.localCreated(), 1);
  {
    Node rival;
    std::string error;
    EXPECT_FALSE(rival.session->Host("rival", info, port, &error)) << "the port is taken";
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(rival.session->InSession());
    EXPECT_EQ(rival.localCreated(), 0);
  }

  Node asker;
  std::string error;
  auto asked = Clock::now();
  ASSERT_TRUE(asker.session->StartQuery("127.0.0.1", port, &error)) << error;
  ASSERT_TRUE(asker.WaitUntil([&] { return !asker.repliesLocked().empty(); }));
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
  HostReply reply = asker.replies()[0];
  EXPECT_EQ(reply.session.sessionName, "Varnholt Keep");
  EXPECT_EQ(reply.session.players, 1);
  EXPECT_EQ(reply.session.maxPlayers, 8);
  EXPECT_EQ(reply.session.instance, host.session->Session().instance);
  EXPECT_NE(reply.session.instance, 0u);
  EXPECT_EQ(reply.address, "127.0.0.1");
  EXPECT_EQ(reply.port, port);
  // The round trip cannot be longer than the wait for the answer.
  EXPECT_GE(reply.roundTripMs, 0);
  EXPECT_LE(reply.roundTripMs, waited + 1);  // +1: rounded to the nearest ms
  std::printf("query round trip on loopback: %d ms\n", reply.roundTripMs);

  // Later answers count the joiner.
  Node joiner;
  ASSERT_EQ(joiner.Join("joiner", port), JoinState::kJoined);
  EXPECT_TRUE(asker.WaitUntil([&] {
    for (const HostReply& r : asker.repliesLocked())
      if (r.session.players == 2) return true;
    return false;
  }));
  asker.session->StopQuery();
}

TEST(PeerSessionQuery, OtherApplicationsGetNoAnswerAndNoAdmission) {
  Node host;
  std::uint16_t port = host.HostSession("host");
  Node stranger(TestApp(99));
  std::string error;
  ASSERT_TRUE(stranger.session->StartQuery("127.0.0.1", port, &error));
  // The host has read (and refused) at least one of the queries.
  ASSERT_TRUE(host.WaitUntil([&] { return host.session->stats().dropped >= 1; }));
  stranger.session->StopQuery();
  EXPECT_TRUE(stranger.replies().empty());

  std::uint64_t droppedBefore = host.session->stats().dropped;
  EXPECT_EQ(stranger.Join("stranger", port), JoinState::kFailed);
  EXPECT_FALSE(stranger.session->InSession());
  EXPECT_GT(host.session->stats().dropped, droppedBefore);
  EXPECT_TRUE(host.created().empty());
  EXPECT_EQ(host.session->PlayerCount(), 1);
}

TEST(PeerSessionMesh, TwoPlayersMeetAndMeasureTheirRoundTrip) {
  std::uint16_t port = 0;
  auto nodes = MakeSession(1, &port);
  Node& host = *nodes[0];
  Node& joiner = *nodes[1];
  EXPECT_EQ(host.session->LocalId(), 1u);
  EXPECT_EQ(joiner.session->LocalId(), 2u);
  EXPECT_TRUE(host.session->IsHost());
  EXPECT_FALSE(joiner.session->IsHost());
  EXPECT_TRUE(joiner.session->InSession());
  ExpectFullMesh(Raw(nodes));
  EXPECT_EQ(host.NameOf(2), "p2");
  EXPECT_EQ(joiner.NameOf(1), "host");
  EXPECT_EQ(joiner.session->Session().sessionName, "Arena");
  EXPECT_EQ(joiner.session->Session().instance, host.session->Session().instance);

  ExpectEveryMessageOnceInOrder(Raw(nodes), 200, "a");

  ASSERT_TRUE(host.WaitUntil([&] { return host.session->RoundTripMs(2) >= 0; }));
  ASSERT_TRUE(joiner.WaitUntil([&] { return joiner.session->RoundTripMs(1) >= 0; }));
  EXPECT_EQ(host.session->RoundTripMs(77), -1);
  std::printf("session round trip on loopback: %d ms / %d ms\n", host.session->RoundTripMs(2),
              joiner.session->RoundTripMs(1));

  std::vector<std::uint8_t> big(kMaxMessageBytes + 1, 7);
  EXPECT_FALSE(host.session->SendToAll(big.data(), big.size(), kGuaranteed));
  EXPECT_TRUE(host.session->SendToAll(big.data(), kMaxMessageBytes, kGuaranteed));
  ASSERT_TRUE(joiner.WaitUntil([&] {
    for (const Received& r : joiner.receivedLocked())
      if (r.text.size() == kMaxMessageBytes) return true;
    return false;
  }));
  EXPECT_EQ(joiner.session->stats().dropped, 0u);
  EXPECT_EQ(host.session->stats().dropped, 0u);
}

TEST(PeerSessionMesh, EightPlayersFormAFullMesh) {
  std::uint16_t port = 0;
  auto nodes = MakeSession(7, &port);
  ExpectFullMesh(Raw(nodes));
  ExpectEveryMessageOnceInOrder(Raw(nodes), 50, "m");
  for (auto& n : nodes) EXPECT_EQ(n->session->stats().sent, 100u);
}

TEST(PeerSessionMesh, PlayersJoiningTogetherStillMeetEachOther) {
  Node host;
  std::uint16_t port = host.HostSession("host");
  std::vector<std::unique_ptr<Node>> nodes;
  std::string error;
  for (int i = 0; i < 6; ++i) {
    nodes.push_back(std::make_unique<Node>());
    ASSERT_TRUE(nodes.back()->session->StartJoin("j" + std::to_string(i), "127.0.0.1", port, &error)) << error;
  }
  for (auto& n : nodes) {
    ASSERT_TRUE(n->WaitUntil([&] { return n->session->joinState() != JoinState::kPending; }));
    EXPECT_EQ(n->session->joinState(), JoinState::kJoined);
  }
  std::vector<Node*> all = Raw(nodes);
  all.push_back(&host);
  ExpectFullMesh(all);
  ExpectEveryMessageOnceInOrder(all, 20, "c");
}

TEST(PeerSessionLeave, LeaversAreDestroyedAndTheLastOneLeftIsTold) {
  std::uint16_t port = 0;
  auto nodes = MakeSession(2, &port);
  ExpectFullMesh(Raw(nodes));

  nodes[2]->session->Close();
  for (int i = 0; i < 2; ++i) {
    Node& n = *nodes[i];
    ASSERT_TRUE(n.WaitUntil([&] { return n.destroyedLocked().count(3) != 0; }));
    EXPECT_EQ(n.DestroyedCount(3), 1);
    EXPECT_EQ(n.session->PlayerCount(), 2);
    EXPECT_EQ(n.terminated(), 0);
  }
  EXPECT_EQ(nodes[1]->becameHost(), 0);
  EXPECT_FALSE(nodes[1]->session->IsHost());

  // The host goes too: the one left takes over, alone.
  nodes[0]->session->Close();
  Node& last = *nodes[1];
  ASSERT_TRUE(last.WaitUntil([&] { return last.destroyedLocked().count(1) != 0; }));
  ASSERT_TRUE(last.WaitUntil([&] { return last.terminated() == 1; }));
  EXPECT_EQ(last.becameHost(), 1);
  EXPECT_TRUE(last.session->IsHost());
  EXPECT_TRUE(last.session->InSession());
  EXPECT_EQ(last.session->PlayerCount(), 1);
  EXPECT_FALSE(nodes[0]->session->InSession());
}

TEST(PeerSessionLeave, TheOldestRemainingPlayerTakesOverAsHost) {
  std::uint16_t port = 0;
  SessionInfo info;
  info.sessionName = "Migrating";
  auto nodes = MakeSession(3, &port, info);
  ExpectFullMesh(Raw(nodes));
  const std::uint64_t instance = nodes[0]->session->Session().instance;

  nodes[0]->session->Close();
  for (int i = 1; i < 4; ++i) {
    Node& n = *nodes[i];
    ASSERT_TRUE(n.WaitUntil([&] { return n.destroyedLocked().count(1) != 0; }));
  }
  Node& heir = *nodes[1];
  ASSERT_TRUE(heir.WaitUntil([&] { return heir.becameHost() == 1; }));
  EXPECT_TRUE(heir.session->IsHost());
  for (int i = 2; i < 4; ++i) {
    EXPECT_EQ(nodes[i]->becameHost(), 0);
    EXPECT_FALSE(nodes[i]->session->IsHost());
  }
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(nodes[i]->session->Session().instance, instance);
    EXPECT_EQ(nodes[i]->session->Session().sessionName, "Migrating");
    EXPECT_EQ(nodes[i]->terminated(), 0);
  }

  // The heir answers queries now...
  std::uint16_t heirPort = heir.session->LocalPort();
  Node asker;
  std::string error;
  ASSERT_TRUE(asker.session->StartQuery("127.0.0.1", heirPort, &error));
  ASSERT_TRUE(asker.WaitUntil([&] { return !asker.repliesLocked().empty(); }));
  EXPECT_EQ(asker.replies()[0].session.players, 3);
  EXPECT_EQ(asker.replies()[0].session.instance, instance);
  EXPECT_EQ(asker.replies()[0].session.sessionName, "Migrating");

  // ...and admits a newcomer, who meets everyone under a fresh id.
  auto newcomer = std::make_unique<Node>();
  ASSERT_EQ(newcomer->Join("late", heirPort), JoinState::kJoined);
  EXPECT_GT(newcomer->session->LocalId(), 4u);
  std::vector<std::unique_ptr<Node>> rest;
  for (int i = 1; i < 4; ++i) rest.push_back(std::move(nodes[i]));
  rest.push_back(std::move(newcomer));
  ExpectFullMesh(Raw(rest));
  ExpectEveryMessageOnceInOrder(Raw(rest), 20, "h");
}

TEST(PeerSessionLeave, WithoutMigrationTheHostTakesTheSessionWithIt) {
  std::uint16_t port = 0;
  SessionInfo info;
  info.migrateHost = false;
  auto nodes = MakeSession(2, &port, info);
  ExpectFullMesh(Raw(nodes));
  EXPECT_FALSE(nodes[2]->session->Session().migrateHost);

  nodes[0]->session->Close();
  for (int i = 1; i < 3; ++i) {
    Node& n = *nodes[i];
    ASSERT_TRUE(n.WaitUntil([&] { return n.terminated() == 1; }));
    EXPECT_EQ(n.DestroyedCount(1), 1);
    EXPECT_EQ(n.DestroyedCount(i == 1 ? 3 : 2), 1) << "the other guest goes too";
    EXPECT_EQ(n.becameHost(), 0);
    EXPECT_FALSE(n.session->IsHost());
    EXPECT_EQ(n.session->PlayerCount(), 1);
  }
}

TEST(PeerSessionAdmission, TheThirtyThirdPlayerIsRefused) {
  Node host;
  std::uint16_t port = host.HostSession("host");
  std::vector<std::unique_ptr<Node>> nodes;
  std::string error;
  // In waves, so a loaded machine is not asked for 31 meshes at once.
  for (int wave = 0; wave < 4; ++wave) {
    std::size_t first = nodes.size();
    for (int i = 0; i < 8 && nodes.size() < static_cast<std::size_t>(kMaxPlayers - 1); ++i) {
      nodes.push_back(std::make_unique<Node>());
      ASSERT_TRUE(nodes.back()->session->StartJoin("p", "127.0.0.1", port, &error)) << error;
    }
    for (std::size_t i = first; i < nodes.size(); ++i) {
      Node& n = *nodes[i];
      ASSERT_TRUE(n.WaitUntil([&] { return n.session->joinState() != JoinState::kPending; }));
      ASSERT_EQ(n.session->joinState(), JoinState::kJoined) << "joiner " << i;
    }
  }
  ASSERT_EQ(host.session->PlayerCount(), kMaxPlayers);
  std::vector<Node*> all = Raw(nodes);
  all.push_back(&host);
  ExpectFullMesh(all);

  Node extra;
  EXPECT_EQ(extra.Join("one too many", port), JoinState::kFailed);
  EXPECT_EQ(extra.localCreated(), 0);
  EXPECT_EQ(host.session->PlayerCount(), kMaxPlayers);
  for (Node* n : all) EXPECT_EQ(n->created().size(), static_cast<std::size_t>(kMaxPlayers - 1));
}

TEST(PeerSessionAdmission, SessionLimitAndLongNames) {
  SessionInfo info;
  info.sessionName = std::string(100, 's');
  info.maxPlayers = 2;
  Node host;
  std::uint16_t port = host.HostSession(std::string(40, 'h'), info);
  EXPECT_EQ(host.localName(), std::string(kMaxNameBytes, 'h'));
  EXPECT_EQ(host.session->Session().sessionName.size(), kMaxSessionNameBytes);

  // 28 two-byte letters: the cut may not split the 16th.
  std::string longName;
  for (int i = 0; i < 28; ++i) longName += "\xC3\xA9";
  Node joiner;
  ASSERT_EQ(joiner.Join(longName, port), JoinState::kJoined);
  std::string cut = longName.substr(0, 30);
  EXPECT_EQ(joiner.localName(), cut);
  ASSERT_TRUE(host.WaitUntil([&] { return host.createdLocked().count(2) != 0; }));
  EXPECT_EQ(host.NameOf(2), cut);
  EXPECT_EQ(joiner.NameOf(1), std::string(kMaxNameBytes, 'h'));
  EXPECT_EQ(joiner.session->Session().sessionName.size(), kMaxSessionNameBytes);
  EXPECT_EQ(joiner.session->Session().maxPlayers, 2);

  Node third;
  EXPECT_EQ(third.Join("third", port), JoinState::kFailed);
  EXPECT_EQ(host.session->PlayerCount(), 2);
  EXPECT_EQ(joiner.created().size(), 1u);

  // Someone leaving makes room again.
  joiner.session->Close();
  ASSERT_TRUE(host.WaitUntil([&] { return host.destroyedLocked().count(2) != 0; }));
  Node fourth;
  EXPECT_EQ(fourth.Join("fourth", port), JoinState::kJoined);
  EXPECT_EQ(fourth.session->LocalId(), 3u);
}

TEST(PeerSessionAdmission, JoiningWhereNobodyAnswersFails) {
  // A bound socket that never answers: nobody else can take the port.
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);
  Node n;
  EXPECT_EQ(n.Join("lost", ntohs(a.sin_port)), JoinState::kFailed);
  EXPECT_FALSE(n.session->InSession());
  EXPECT_EQ(n.localCreated(), 0);
  close(fd);
}

// Holds a session's network thread inside a callback (as a stalled frame
// would) until released, so sends pile up in its queue meanwhile.
class ThreadHold {
 public:
  // The receiver sends "hold"; true once the sender's thread is caught in it.
  bool Catch(Node& from, Node& held) {
    held.onReceived = [this](PlayerId, const std::string& text) {
      if (text != "hold") return;
      std::unique_lock lock(m_);
      held_ = true;
      cv_.notify_all();
      cv_.wait(lock, [this] { return release_; });
    };
    from.Send("hold");
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, testing::kDeadline, [this] { return held_; });
  }
  void Release() {
    {
      std::lock_guard lock(m_);
      release_ = true;
    }
    cv_.notify_all();
  }
  ~ThreadHold() { Release(); }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool held_ = false, release_ = false;
};

// The sender's network thread is held inside a callback while the game
// keeps sending, as a stalled frame would.
TEST(PeerSessionSendQueue, StaleSendsAreDroppedAndHighPriorityLeavesFirst) {
  std::uint16_t port = 0;
  auto nodes = MakeSession(1, &port);
  Node& receiver = *nodes[0];
  Node& sender = *nodes[1];
  ExpectFullMesh(Raw(nodes));

  ThreadHold hold;
  ASSERT_TRUE(hold.Catch(receiver, sender));

  auto queued = Clock::now();
  for (int i = 0; i < 100; ++i) sender.Send("stale", SendOptions{false, false, 1});
  for (int i = 0; i < 5; ++i) sender.Send("normal " + std::to_string(i), kGuaranteed);
  for (int i = 0; i < 5; ++i) sender.Send("high " + std::to_string(i), SendOptions{true, true, 0});
  // A time-out does not apply to guaranteed sends.
  sender.Send("normal 5", SendOptions{true, false, 1});
  // Let the 1 ms time-outs run out before the thread gets to them.
  while (Clock::now() - queued < std::chrono::milliseconds(5)) std::this_thread::yield();
  hold.Release();

  ASSERT_TRUE(sender.WaitUntil([&] { return sender.session->stats().expired == 100; }));
  ASSERT_TRUE(receiver.WaitUntil([&] { return receiver.receivedLocked().size() >= 11; }));
  std::vector<std::string> order;
  for (const Received& r : receiver.received()) {
    EXPECT_NE(r.text, "stale");
    order.push_back(r.text);
  }
  std::vector<std::string> expected = {"high 0",   "high 1",   "high 2",   "high 3",   "high 4",  "normal 0",
                                       "normal 1", "normal 2", "normal 3", "normal 4", "normal 5"};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(sender.session->stats().sent, 11u);
}

TEST(PeerSessionSendQueue, AFullQueueDropsItsOldestUnguaranteedSends) {
  std::uint16_t port = 0;
  auto nodes = MakeSession(1, &port);
  Node& receiver = *nodes[0];
  Node& sender = *nodes[1];
  ExpectFullMesh(Raw(nodes));

  ThreadHold hold;
  ASSERT_TRUE(hold.Catch(receiver, sender));
  sender.Send("first", kGuaranteed);
  for (int i = 0; i < 5000; ++i) sender.Send("u" + std::to_string(i), SendOptions{false, false, 0});
  sender.Send("last", kGuaranteed);
  // The queue holds 4096: "first" and the newest 4095 unguaranteed ones.
  EXPECT_EQ(sender.session->stats().overflowed, 5000u - 4095);
  hold.Release();
  ASSERT_TRUE(receiver.WaitUntil([&] {
    for (const Received& r : receiver.receivedLocked())
      if (r.text == "last") return true;
    return false;
  }));
  EXPECT_TRUE(receiver.HasReceived(2, "first"));
  // The oldest unguaranteed ones made room; none of them can arrive.
  for (const Received& r : receiver.received()) EXPECT_NE(r.text, "u0");
}

}  // namespace
}  // namespace halvex::peer
