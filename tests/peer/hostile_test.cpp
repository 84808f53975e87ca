// Sessions facing peers that do not play by the rules: garbage datagrams,
// malformed and out-of-place control messages, floods and forged hosts.
// Everything stays on 127.0.0.1 and every loop is bounded by a count.
#include <enet/enet.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <cstdio>
#include <random>

#include "platform/peer/transport.h"
#include "platform/peer/wire.h"
#include "tests/peer/peer_test_support.h"

namespace halvex::peer {
namespace {

using testing::Node;
using testing::Received;
using testing::TestApp;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

ENetAddress Loopback(std::uint16_t port) {
  ENetAddress a{};
  enet_address_set_host_ip(&a, "127.0.0.1");
  a.port = port;
  return a;
}

// A transport endpoint driven by the test itself, saying whatever it likes.
class Rogue {
 public:
  Rogue() {
    enet_initialize();
    ENetAddress bind = Loopback(0);
    host_ = enet_host_create(&bind, 4, transport::kChannels, 0, 0);
    EXPECT_NE(host_, nullptr);
  }
  ~Rogue() {
    if (host_) enet_host_destroy(host_);
  }
  std::uint16_t port() const { return transport::BoundPort(host_); }

  bool Connect(std::uint16_t port) {
    ENetAddress to = Loopback(port);
    peer_ = enet_host_connect(host_, &to, transport::kChannels, 0);
    return peer_ != nullptr && PumpUntil([&] { return connected_; });
  }
  // Someone connects to us.
  bool Accept() { return PumpUntil([&] { return connected_; }); }

  void Send(const Bytes& bytes, bool reliable = true) {
    ENetPacket* p = enet_packet_create(bytes.data(), bytes.size(),
                                       reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
    if (enet_peer_send(peer_, reliable ? transport::kReliableChannel : transport::kUnreliableChannel, p) < 0)
      enet_packet_destroy(p);
  }
  void Flush() { enet_host_flush(host_); }
  void Disconnect() {
    enet_peer_disconnect(peer_, 0);
    PumpUntil([&] { return !connected_; });
  }

  // Services the transport until `pred` or the deadline.
  template <class Pred>
  bool PumpUntil(Pred pred, std::chrono::seconds limit = testing::kDeadline) {
    auto deadline = Clock::now() + limit;
    while (!pred()) {
      if (Clock::now() >= deadline) return false;
      ENetEvent e{};
      if (enet_host_service(host_, &e, 2) > 0) {
        do {
          if (e.type == ENET_EVENT_TYPE_CONNECT) {
            connected_ = true;
            peer_ = e.peer;
          } else if (e.type == ENET_EVENT_TYPE_DISCONNECT) {
            connected_ = false;
          } else if (e.type == ENET_EVENT_TYPE_RECEIVE) {
            received.emplace_back(e.packet->data, e.packet->data + e.packet->dataLength);
            enet_packet_destroy(e.packet);
          }
        } while (enet_host_check_events(host_, &e) > 0);
      }
    }
    return true;
  }
  // The first message of `kind` received, read.
  bool Find(wire::Kind kind, wire::Message* out) {
    for (const Bytes& b : received)
      if (wire::Read(b.data(), b.size(), out) && out->kind == kind) return true;
    return false;
  }

  bool connected() const { return connected_; }
  std::vector<Bytes> received;

 private:
  ENetHost* host_ = nullptr;
  ENetPeer* peer_ = nullptr;
  bool connected_ = false;
};

Bytes Bytes_(std::initializer_list<int> values) {
  Bytes b;
  for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
  return b;
}

Bytes Cut(Bytes b, std::size_t n) {
  b.resize(n);
  return b;
}

wire::Message JoinAs(const std::string& name, const AppId& app) {
  wire::Message m;
  m.kind = wire::Kind::kJoin;
  m.appId = app;
  m.listenPort = 1;
  m.name = name;
  return m;
}

struct Pair {
  Node host;
  Node guest;
  std::uint16_t port = 0;
  Pair() {
    port = host.HostSession("host");
    EXPECT_EQ(guest.Join("guest", port), JoinState::kJoined);
    EXPECT_TRUE(host.WaitUntil([&] { return host.createdLocked().count(2) != 0; }));
  }
  // Honest players still hear each other.
  void ExpectTalking(const std::string& tag) {
    host.Send("from host " + tag);
    guest.Send("from guest " + tag);
    EXPECT_TRUE(guest.WaitUntil([&] {
      for (const Received& r : guest.receivedLocked())
        if (r.from == 1 && r.text == "from host " + tag) return true;
      return false;
    })) << tag;
    EXPECT_TRUE(host.WaitUntil([&] {
      for (const Received& r : host.receivedLocked())
        if (r.from == 2 && r.text == "from guest " + tag) return true;
      return false;
    })) << tag;
    EXPECT_EQ(host.session->PlayerCount(), 2);
    EXPECT_EQ(guest.session->PlayerCount(), 2);
  }
};

TEST(PeerHostile, MalformedAndOutOfPlaceMessagesAreDroppedAndCounted) {
  Pair pair;
  Node& host = pair.host;
  auto connectedAt = Clock::now();
  Rogue rogue;
  ASSERT_TRUE(rogue.Connect(pair.port));

  wire::Message welcome;
  welcome.kind = wire::Kind::kWelcome;
  welcome.appId = TestApp();
  welcome.id = 5;
  welcome.hostId = 4;
  wire::Message ack;
  ack.kind = wire::Kind::kIntroAck;
  ack.id = 9;
  wire::Message admitted;
  admitted.kind = wire::Kind::kAdmitted;
  admitted.id = 50;
  wire::Message refuse;
  refuse.kind = wire::Kind::kRefuse;
  refuse.reason = wire::RefuseReason::kFull;
  Bytes oversized(1 + kMaxMessageBytes + 1, 'x');
  oversized[0] = static_cast<std::uint8_t>(wire::Kind::kData);
  Bytes longName = wire::Write(JoinAs("x", TestApp()));
  longName[1 + 16 + 2] = 200;  // a name length far over the limit
  longName.resize(longName.size() + 199, 'n');

  const std::vector<Bytes> hostile = {
      Bytes_({0}),
      Bytes_({200, 1, 2}),
      Cut(wire::Write(JoinAs("short", TestApp())), 6),
      Bytes_({static_cast<int>(wire::Kind::kData), 'h', 'i'}),  // game data before any introduction
      Bytes_({static_cast<int>(wire::Kind::kPing), 1, 2, 3, 4}),
      Bytes_({static_cast<int>(wire::Kind::kPong), 1, 2, 3, 4}),
      wire::Write(ack),
      wire::Write(welcome),
      wire::Write(admitted),
      wire::Write(refuse),
      oversized,
      longName,
  };
  const std::uint64_t before = host.session->stats().dropped;
  for (const Bytes& b : hostile) rogue.Send(b);
  rogue.Flush();
  ASSERT_TRUE(rogue.PumpUntil([&] { return host.session->stats().dropped >= before + hostile.size(); }))
      << host.session->stats().dropped - before << " of " << hostile.size();
  EXPECT_EQ(host.created().size(), 1u) << "the stranger was never introduced";
  EXPECT_EQ(host.ReceivedCount(), 0u);

  // Now it joins properly and floods.
  rogue.Send(wire::Write(JoinAs("flood", TestApp())));
  rogue.Flush();
  ASSERT_TRUE(rogue.PumpUntil([&] { return host.CreatedCount(3) == 1; }));
  wire::Message gotWelcome;
  ASSERT_TRUE(rogue.PumpUntil([&] { return rogue.Find(wire::Kind::kWelcome, &gotWelcome); }));
  EXPECT_EQ(gotWelcome.id, 3u);
  ASSERT_EQ(gotWelcome.members.size(), 1u);
  EXPECT_EQ(gotWelcome.members[0].id, 2u);

  constexpr int kFlood = 20000;
  Bytes data = Bytes_({static_cast<int>(wire::Kind::kData), 'f'});
  for (int i = 0; i < kFlood; ++i) rogue.Send(data, false);
  rogue.Flush();
  pair.guest.Send("during the flood");
  ASSERT_TRUE(rogue.PumpUntil([&] { return host.HasReceived(2, "during the flood"); }));
  // Also a second join from a player already in.
  const std::uint64_t beforeRejoin = host.session->stats().dropped;
  rogue.Send(wire::Write(JoinAs("again", TestApp())));
  rogue.Flush();
  ASSERT_TRUE(rogue.PumpUntil([&] { return host.session->stats().dropped > beforeRejoin; }));

  std::size_t fromRogue = 0;
  for (const Received& r : host.received()) fromRogue += r.from == 3 ? 1 : 0;
  double seconds = std::chrono::duration<double>(Clock::now() - connectedAt).count();
  // Whatever the machine's speed, one peer never gets more through than
  // the burst plus the rate over the time it has been connected.
  double allowed = transport::kFloodBurst + transport::kFloodPerSecond * seconds;
  std::printf("flood: %zu of %d delivered in %.2f s (at most %.0f), %llu dropped\n", fromRogue, kFlood, seconds,
              allowed, static_cast<unsigned long long>(host.session->stats().dropped));
  EXPECT_LE(static_cast<double>(fromRogue), allowed);

  rogue.Disconnect();
  ASSERT_TRUE(host.WaitUntil([&] { return host.destroyedLocked().count(3) != 0; }));
  EXPECT_EQ(pair.guest.created().size(), 1u) << "the guest never met the stranger";
  pair.ExpectTalking("after");
}

TEST(PeerHostile, GarbageDatagramsLeaveTheSessionStanding) {
  Pair pair;
  Node& host = pair.host;
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(pair.port);
  auto sendRaw = [&](const Bytes& b) {
    sendto(fd, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  };

  // Datagrams that claim to be queries or answers but are not: each counted.
  wire::Query query;
  query.appId = TestApp();
  Bytes goodQuery = wire::WriteQuery(query);
  wire::QueryReply reply;
  reply.appId = TestApp();
  reply.sessionName = "forged";
  Bytes forgedReply = wire::WriteReply(reply);
  std::vector<Bytes> malformed;
  for (std::size_t n = 4; n < goodQuery.size(); ++n) malformed.push_back(Cut(goodQuery, n));
  for (std::size_t n = 5; n < forgedReply.size(); n += 3) malformed.push_back(Cut(forgedReply, n));
  Bytes longer = goodQuery;
  longer.push_back(0);
  malformed.push_back(longer);
  Bytes unknownKind = goodQuery;
  unknownKind[4] = 77;
  malformed.push_back(unknownKind);
  wire::Query stranger;
  stranger.appId = TestApp(42);
  malformed.push_back(wire::WriteQuery(stranger));
  for (const Bytes& b : malformed) {
    std::uint64_t before = host.session->stats().dropped;
    sendRaw(b);
    ASSERT_TRUE(host.WaitUntil([&] { return host.session->stats().dropped == before + 1; }))
        << "a malformed datagram of " << b.size() << " bytes was not counted";
  }

  // Random bytes, some dressed as the transport's own headers.
  std::mt19937 rng(1234);
  for (int i = 0; i < 3000; ++i) {
    Bytes b(rng() % 1500);
    for (auto& v : b) v = static_cast<std::uint8_t>(rng());
    if (b.size() >= 4 && i % 3 == 0) {
      std::uint16_t peerId = (i % 2) ? 0x0FFF : static_cast<std::uint16_t>(rng() % 4);
      b[0] = static_cast<std::uint8_t>(peerId >> 8);
      b[1] = static_cast<std::uint8_t>(peerId);
    }
    if (b.size() >= 4 && i % 5 == 0) std::copy(std::begin(wire::kDatagramMagic), std::end(wire::kDatagramMagic), b.begin());
    sendRaw(b);
  }
  // A forged answer to a query nobody asked is not believed either.
  sendRaw(forgedReply);

  // The host still answers an honest query...
  query.stamp = 5;
  sendRaw(wire::WriteQuery(query));
  bool answered = false;
  auto deadline = Clock::now() + testing::kDeadline;
  while (!answered && Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      sendRaw(wire::WriteQuery(query));  // lost in the crowd: ask again
      continue;
    }
    std::uint8_t buf[2048];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    wire::Query q;
    wire::QueryReply r;
    if (n > 0 && wire::ReadDatagram(buf, static_cast<std::size_t>(n), &q, &r) == wire::DatagramKind::kReply) {
      EXPECT_EQ(r.stamp, 5u);
      EXPECT_EQ(r.players, 2);
      answered = true;
    }
  }
  EXPECT_TRUE(answered);
  close(fd);

  // ...and its players still talk, nobody having come or gone.
  pair.ExpectTalking("after garbage");
  EXPECT_EQ(host.created().size(), 1u);
  EXPECT_TRUE(host.With([&] { return host.destroyedLocked().empty(); }));
}

TEST(PeerHostile, APeerThatVanishesWithoutAWordTimesOut) {
  Pair pair;
  Node& host = pair.host;
  auto rogue = std::make_unique<Rogue>();
  ASSERT_TRUE(rogue->Connect(pair.port));
  rogue->Send(wire::Write(JoinAs("ghost", TestApp())));
  rogue->Flush();
  ASSERT_TRUE(rogue->PumpUntil([&] { return host.CreatedCount(3) == 1; }));
  // Its transport goes away without a goodbye, as a crashed game's would.
  auto vanished = Clock::now();
  rogue.reset();
  ASSERT_TRUE(host.WaitUntil([&] { return host.destroyedLocked().count(3) != 0; }));
  std::printf("a vanished peer was dropped after %.1f s\n",
              std::chrono::duration<double>(Clock::now() - vanished).count());
  EXPECT_EQ(host.session->PlayerCount(), 2);
  EXPECT_EQ(host.terminated(), 0);
  pair.ExpectTalking("after the ghost");
}

TEST(PeerHostile, AForgedHostCannotMisleadAJoiner) {
  Rogue fake;
  auto joinFake = [&](Node& joiner) {
    std::string error;
    EXPECT_TRUE(joiner.session->StartJoin("victim", "127.0.0.1", fake.port(), &error)) << error;
    EXPECT_TRUE(fake.Accept());
    wire::Message join;
    EXPECT_TRUE(fake.PumpUntil([&] { return fake.Find(wire::Kind::kJoin, &join); }));
    EXPECT_EQ(join.name, "victim");
    EXPECT_EQ(join.appId, TestApp());
    fake.received.clear();
  };
  wire::Message welcome;
  welcome.kind = wire::Kind::kWelcome;
  welcome.appId = TestApp();
  welcome.id = 3;
  welcome.hostId = 1;
  welcome.name = "fake";

  {
    // A truncated welcome is dropped; one naming a member newer than the
    // joiner (who would then connect the wrong way) fails the join.
    Node joiner;
    joinFake(joiner);
    fake.Send(Cut(wire::Write(welcome), 10));
    fake.Flush();
    ASSERT_TRUE(fake.PumpUntil([&] { return joiner.session->stats().dropped == 1; }));
    EXPECT_EQ(joiner.session->joinState(), JoinState::kPending);
    wire::Message wrongWay = welcome;
    wrongWay.members.push_back({7, 0, 1, "newer"});
    fake.Send(wire::Write(wrongWay));
    fake.Flush();
    ASSERT_TRUE(fake.PumpUntil([&] { return joiner.session->joinState() == JoinState::kFailed; }));
    EXPECT_EQ(joiner.localCreated(), 0);
    fake.PumpUntil([&] { return !fake.connected(); });
  }
  {
    Node joiner;
    joinFake(joiner);
    wire::Message otherApp = welcome;
    otherApp.appId = TestApp(3);
    fake.Send(wire::Write(otherApp));
    fake.Flush();
    ASSERT_TRUE(fake.PumpUntil([&] { return joiner.session->joinState() == JoinState::kFailed; }));
    EXPECT_FALSE(joiner.session->InSession());
    fake.PumpUntil([&] { return !fake.connected(); });
  }
  {
    // A plain welcome is taken; when that host vanishes the joiner is left
    // alone as the host of its own session.
    Node joiner;
    joinFake(joiner);
    fake.Send(wire::Write(welcome));
    fake.Flush();
    ASSERT_TRUE(fake.PumpUntil([&] { return joiner.session->joinState() == JoinState::kJoined; }));
    EXPECT_EQ(joiner.session->LocalId(), 3u);
    EXPECT_EQ(joiner.CreatedCount(1), 1);
    fake.Disconnect();
    ASSERT_TRUE(joiner.WaitUntil([&] { return joiner.terminated() == 1; }));
    EXPECT_EQ(joiner.DestroyedCount(1), 1);
    EXPECT_EQ(joiner.becameHost(), 1);
    EXPECT_TRUE(joiner.session->IsHost());
  }
}

}  // namespace
}  // namespace halvex::peer
