// The control messages and query datagrams: what is written reads back, and
// anything short, long, overlong or out of range is refused.
#include <gtest/gtest.h>

#include <random>

#include "platform/peer/outbox.h"
#include "platform/peer/wire.h"

namespace halvex::peer::wire {
namespace {

AppId App() {
  AppId id{};
  for (std::size_t i = 0; i < id.size(); ++i) id[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return id;
}

Message Welcome(int members) {
  Message m;
  m.kind = Kind::kWelcome;
  m.appId = App();
  m.id = 40;
  m.hostId = 3;
  m.name = "host";
  m.session.sessionName = "Arena";
  m.session.maxPlayers = 16;
  m.session.migrateHost = false;
  m.session.instance = 0x0123456789ABCDEFull;
  for (int i = 0; i < members; ++i)
    m.members.push_back({static_cast<PlayerId>(5 + i), 0x0100007Fu, static_cast<std::uint16_t>(4000 + i),
                         "member" + std::to_string(i)});
  return m;
}

// One message of every kind, filled in.
std::vector<Message> EveryKind() {
  std::vector<Message> all;
  Message join;
  join.kind = Kind::kJoin;
  join.appId = App();
  join.listenPort = 28961;
  join.name = "joiner";
  all.push_back(join);
  all.push_back(Welcome(3));
  Message refuse;
  refuse.kind = Kind::kRefuse;
  refuse.reason = RefuseReason::kFull;
  all.push_back(refuse);
  Message intro;
  intro.kind = Kind::kIntro;
  intro.appId = App();
  intro.session.instance = 77;
  intro.id = 9;
  intro.listenPort = 5;
  intro.name = "newer";
  all.push_back(intro);
  Message ack;
  ack.kind = Kind::kIntroAck;
  ack.id = 4;
  ack.name = "older";
  all.push_back(ack);
  Message admitted;
  admitted.kind = Kind::kAdmitted;
  admitted.id = 12;
  all.push_back(admitted);
  Message ping;
  ping.kind = Kind::kPing;
  ping.stamp = 0xDEADBEEF;
  all.push_back(ping);
  Message pong = ping;
  pong.kind = Kind::kPong;
  all.push_back(pong);
  return all;
}

void ExpectSame(const Message& a, const Message& b) {
  EXPECT_EQ(a.kind, b.kind);
  EXPECT_EQ(a.appId, b.appId);
  EXPECT_EQ(a.id, b.id);
  EXPECT_EQ(a.hostId, b.hostId);
  EXPECT_EQ(a.listenPort, b.listenPort);
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.session.sessionName, b.session.sessionName);
  EXPECT_EQ(a.session.instance, b.session.instance);
  EXPECT_EQ(a.session.maxPlayers, b.session.maxPlayers);
  EXPECT_EQ(a.session.migrateHost, b.session.migrateHost);
  EXPECT_EQ(a.reason, b.reason);
  EXPECT_EQ(a.stamp, b.stamp);
  ASSERT_EQ(a.members.size(), b.members.size());
  for (std::size_t i = 0; i < a.members.size(); ++i) {
    EXPECT_EQ(a.members[i].id, b.members[i].id);
    EXPECT_EQ(a.members[i].ip, b.members[i].ip);
    EXPECT_EQ(a.members[i].port, b.members[i].port);
    EXPECT_EQ(a.members[i].name, b.members[i].name);
  }
}

TEST(PeerWire, EveryKindReadsBackAndEveryCutOrExtraByteIsRefused) {
  for (const Message& m : EveryKind()) {
    SCOPED_TRACE(static_cast<int>(m.kind));
    std::vector<std::uint8_t> bytes = Write(m);
    Message back;
    ASSERT_TRUE(Read(bytes.data(), bytes.size(), &back));
    ExpectSame(m, back);
    for (std::size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(Read(bytes.data(), n, &back)) << "cut to " << n;
    bytes.push_back(0);
    EXPECT_FALSE(Read(bytes.data(), bytes.size(), &back)) << "trailing byte";
  }
}

TEST(PeerWire, GameDataIsBoundedAndPointsIntoTheBuffer) {
  std::vector<std::uint8_t> bytes(1 + kMaxMessageBytes, 0xAB);
  bytes[0] = static_cast<std::uint8_t>(Kind::kData);
  Message m;
  ASSERT_TRUE(Read(bytes.data(), bytes.size(), &m));
  EXPECT_EQ(m.kind, Kind::kData);
  EXPECT_EQ(m.payload, bytes.data() + 1);
  EXPECT_EQ(m.payloadSize, kMaxMessageBytes);
  bytes.push_back(0xAB);
  EXPECT_FALSE(Read(bytes.data(), bytes.size(), &m)) << "one byte too large";
  std::uint8_t empty = static_cast<std::uint8_t>(Kind::kData);
  ASSERT_TRUE(Read(&empty, 1, &m));
  EXPECT_EQ(m.payloadSize, 0u);
  EXPECT_FALSE(Read(nullptr, 0, &m));
}

TEST(PeerWire, OutOfRangeFieldsAreRefused) {
  Message m;
  auto refused = [&](std::vector<std::uint8_t> bytes) { return !Read(bytes.data(), bytes.size(), &m); };
  for (int kind : {0, 10, 200, 255}) EXPECT_TRUE(refused({static_cast<std::uint8_t>(kind), 0, 0, 0, 0})) << kind;

  // A name one byte over the limit, whatever its length byte claims.
  std::vector<std::uint8_t> ack = Write(EveryKind()[4]);
  ack.resize(5);
  ack.push_back(static_cast<std::uint8_t>(kMaxNameBytes + 1));
  ack.insert(ack.end(), kMaxNameBytes + 1, 'x');
  EXPECT_TRUE(refused(ack));
  ack[5] = 255;
  EXPECT_TRUE(refused(ack));

  // The member count is one byte after the session name: claim one too many.
  std::vector<std::uint8_t> welcome = Write(Welcome(0));
  welcome.back() = static_cast<std::uint8_t>(kMaxMembers + 1);
  EXPECT_TRUE(refused(welcome));
  welcome.back() = 1;  // one member promised, none there
  EXPECT_TRUE(refused(welcome));

  Message bad = Welcome(2);
  bad.members[1].id = bad.members[0].id;  // the same player twice
  EXPECT_TRUE(refused(Write(bad)));
  bad = Welcome(1);
  bad.members[0].id = bad.id;  // the joiner listed as a member
  EXPECT_TRUE(refused(Write(bad)));
  bad = Welcome(0);
  bad.hostId = bad.id;
  EXPECT_TRUE(refused(Write(bad)));
  bad = Welcome(0);
  bad.id = 0;
  EXPECT_TRUE(refused(Write(bad)));
  Message refuse;
  refuse.kind = Kind::kRefuse;
  refuse.reason = static_cast<RefuseReason>(9);
  EXPECT_TRUE(refused(Write(refuse)));
  Message admitted;
  admitted.kind = Kind::kAdmitted;
  admitted.id = 0;
  EXPECT_TRUE(refused(Write(admitted)));

  // The writer cuts what the reader would refuse.
  Message longOne = Welcome(kMaxPlayers);
  longOne.name = std::string(100, 'n');
  longOne.session.sessionName = std::string(100, 's');
  std::vector<std::uint8_t> bytes = Write(longOne);
  ASSERT_TRUE(Read(bytes.data(), bytes.size(), &m));
  EXPECT_EQ(m.name.size(), kMaxNameBytes);
  EXPECT_EQ(m.session.sessionName.size(), kMaxSessionNameBytes);
  EXPECT_EQ(m.members.size(), kMaxMembers);
}

TEST(PeerWire, NamesAreCutOnCharacterBoundaries) {
  EXPECT_EQ(CutName("short", 31), "short");
  EXPECT_EQ(CutName(std::string(40, 'a'), 31), std::string(31, 'a'));
  std::string twoByte;
  for (int i = 0; i < 20; ++i) twoByte += "\xC3\xA9";
  EXPECT_EQ(CutName(twoByte, 31), twoByte.substr(0, 30));
  std::string fourByte = "ab\xF0\x9F\x8E\xAF";  // a 4-byte character after two letters
  EXPECT_EQ(CutName(fourByte, 5), "ab");
  EXPECT_EQ(CutName(fourByte, 6), fourByte);
}

TEST(PeerWire, QueryDatagramsReadBackAndOthersAreNotOurs) {
  Query q;
  q.appId = App();
  q.stamp = 123456;
  std::vector<std::uint8_t> bytes = WriteQuery(q);
  Query qb;
  QueryReply rb;
  ASSERT_EQ(ReadDatagram(bytes.data(), bytes.size(), &qb, &rb), DatagramKind::kQuery);
  EXPECT_EQ(qb.appId, q.appId);
  EXPECT_EQ(qb.stamp, q.stamp);
  for (std::size_t n = 4; n < bytes.size(); ++n)
    EXPECT_EQ(ReadDatagram(bytes.data(), n, &qb, &rb), DatagramKind::kMalformed) << n;

  QueryReply r;
  r.appId = App();
  r.stamp = 99;
  r.instance = 1ull << 60;
  r.players = 7;
  r.maxPlayers = 32;
  r.migrateHost = false;
  r.sessionName = "Varnholt";
  bytes = WriteReply(r);
  ASSERT_EQ(ReadDatagram(bytes.data(), bytes.size(), &qb, &rb), DatagramKind::kReply);
  EXPECT_EQ(rb.stamp, 99u);
  EXPECT_EQ(rb.instance, r.instance);
  EXPECT_EQ(rb.players, 7);
  EXPECT_EQ(rb.maxPlayers, 32);
  EXPECT_FALSE(rb.migrateHost);
  EXPECT_EQ(rb.sessionName, "Varnholt");
  for (std::size_t n = 4; n < bytes.size(); ++n)
    EXPECT_EQ(ReadDatagram(bytes.data(), n, &qb, &rb), DatagramKind::kMalformed) << n;
  bytes.push_back(1);
  EXPECT_EQ(ReadDatagram(bytes.data(), bytes.size(), &qb, &rb), DatagramKind::kMalformed);
  bytes.pop_back();
  bytes[4 + 1 + 16 + 4 + 8] = 33;  // players over the limit
  EXPECT_EQ(ReadDatagram(bytes.data(), bytes.size(), &qb, &rb), DatagramKind::kMalformed);

  // The transport's own packets (and short scraps) are left to it.
  const std::uint8_t connect[] = {0x0F, 0xFF, 0x00, 0x00, 0x82, 0xFF};
  EXPECT_EQ(ReadDatagram(connect, sizeof connect, &qb, &rb), DatagramKind::kNotOurs);
  EXPECT_EQ(ReadDatagram(kDatagramMagic, 3, &qb, &rb), DatagramKind::kNotOurs);
  std::uint8_t unknownKind[] = {0xFF, 'H', 'V', 'Q', 7};
  EXPECT_EQ(ReadDatagram(unknownKind, sizeof unknownKind, &qb, &rb), DatagramKind::kMalformed);
}

TEST(PeerWire, RandomBytesNeverReadPastTheirEnd) {
  // Exact-size heap copies, so a read past the end is caught by the
  // sanitizer build.
  std::mt19937 rng(7);
  Message m;
  Query q;
  QueryReply r;
  int accepted = 0;
  for (int i = 0; i < 20000; ++i) {
    std::size_t size = rng() % 64;
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    if (size > 0 && i % 2 == 0) bytes[0] = static_cast<std::uint8_t>(1 + rng() % 9);
    auto copy = std::make_unique<std::uint8_t[]>(size);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    if (Read(copy.get(), size, &m)) {
      ++accepted;
      // Whatever is accepted writes back to the same bytes.
      if (m.kind != Kind::kData) {
        EXPECT_EQ(Write(m), bytes);
      }
    }
    ReadDatagram(copy.get(), size, &q, &r);
  }
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace halvex::peer::wire
