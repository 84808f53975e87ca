// The session's own messages: the control messages that travel inside
// connections (join, welcome, introductions, pings, game data) and the
// connectionless query datagrams. Everything a peer sends us is read here,
// bounds-checked, before any of it is believed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/peer/peer_session.h"

namespace halvex::peer::wire {

enum class Kind : std::uint8_t {
  kJoin = 1,      // joiner -> host: let me in
  kWelcome = 2,   // host -> joiner: your id, the session, who else is in it
  kRefuse = 3,    // either way: no (and the connection is closed)
  kIntro = 4,     // joiner -> older member: I am player N of this session
  kIntroAck = 5,  // member -> joiner: and I am player M
  kAdmitted = 6,  // host -> members: id N was given out (ids stay unique after a migration)
  kPing = 7,
  kPong = 8,
  kData = 9,  // a game message
};

enum class RefuseReason : std::uint8_t {
  kWrongApp = 1,
  kFull = 2,
  kNotHost = 3,
  kDuplicate = 4,
  kWrongSession = 5,
};

struct Member {
  PlayerId id = 0;
  std::uint32_t ip = 0;  // IPv4, network byte order (as the transport keeps it)
  std::uint16_t port = 0;
  std::string name;
};

// One message; which fields mean something depends on `kind`.
struct Message {
  Kind kind = Kind::kData;
  AppId appId{};              // Join, Welcome, Intro
  PlayerId id = 0;            // Welcome: the joiner's; Intro, IntroAck: the sender's; Admitted: the one given out
  PlayerId hostId = 0;        // Welcome
  // Join, Intro: the sender's own port. Welcomes list members at the
  // address the host sees instead, which is what works through address
  // translation; this one is for diagnostics.
  std::uint16_t listenPort = 0;
  std::string name;           // Join, Intro, IntroAck: the sender's; Welcome: the host's
  SessionInfo session;        // Welcome (all but players); Intro: instance only
  std::vector<Member> members;  // Welcome: everyone but the host and the joiner
  RefuseReason reason = RefuseReason::kWrongApp;
  std::uint32_t stamp = 0;    // Ping, Pong
  const std::uint8_t* payload = nullptr;  // Data: points into the buffer read
  std::size_t payloadSize = 0;
};

inline constexpr std::size_t kMaxMembers = kMaxPlayers - 2;  // a welcome lists neither the host nor the joiner

// False for anything malformed: unknown kind, short, trailing bytes, strings
// or counts over their limits, zero ids.
bool Read(const std::uint8_t* data, std::size_t size, Message* out);
// The bytes of `m`; strings over their limits are cut, members beyond
// kMaxMembers left out, so whatever this writes Read accepts.
std::vector<std::uint8_t> Write(const Message& m);

// Cuts `s` to at most `max` bytes without splitting a UTF-8 sequence.
std::string CutName(const std::string& s, std::size_t max);

// Connectionless datagrams share the socket with the transport. Their first
// two bytes read as a peer number the transport never hands out, so they
// cannot be mistaken for its packets (or the other way round).
inline constexpr std::uint8_t kDatagramMagic[4] = {0xFF, 'H', 'V', 'Q'};

struct Query {
  AppId appId{};
  std::uint32_t stamp = 0;  // the asker's clock; the reply echoes it
};
struct QueryReply {
  AppId appId{};
  std::uint32_t stamp = 0;
  std::uint64_t instance = 0;
  std::uint8_t players = 0;
  std::uint8_t maxPlayers = 0;
  bool migrateHost = true;
  std::string sessionName;
};

enum class DatagramKind { kNotOurs, kQuery, kReply, kMalformed };
DatagramKind ReadDatagram(const std::uint8_t* data, std::size_t size, Query* query, QueryReply* reply);
std::vector<std::uint8_t> WriteQuery(const Query& q);
std::vector<std::uint8_t> WriteReply(const QueryReply& r);

}  // namespace halvex::peer::wire
