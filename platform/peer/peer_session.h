// A peer-to-peer game session: every player holds exactly one connection to
// every other player (a full mesh), so each message goes to all peers
// directly. The first player hosts: it answers queries and admits joiners.
// When the host leaves, the oldest remaining player takes over both duties.
// The transport library stays behind this header; game code sees players,
// names and byte messages only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace halvex::peer {

using PlayerId = std::uint32_t;  // 0 is never a player: it stands for everyone
using AppId = std::array<std::uint8_t, 16>;

// The connection types ("service providers") this build offers.
enum class Transport { kUdpIPv4 };
struct Provider {
  Transport transport;
  std::string name;  // what the connect dialog lists
};
std::vector<Provider> ServiceProviders();

inline constexpr std::uint16_t kDefaultPort = 28960;  // hosts listen here unless told otherwise
inline constexpr int kMaxPlayers = 32;
inline constexpr std::size_t kMaxNameBytes = 31;         // longer player names are cut
inline constexpr std::size_t kMaxSessionNameBytes = 63;  // longer session names are cut
inline constexpr std::size_t kMaxMessageBytes = 1024;    // larger sends are refused, larger receipts dropped
// How often a running search repeats its query. A host not heard from for
// three of these is stale.
inline constexpr int kQueryRetryMs = 1000;

struct SessionInfo {
  std::string sessionName;
  int players = 0;     // in the session now, the host included
  int maxPlayers = 0;  // 0: no limit
  bool migrateHost = true;
  std::uint64_t instance = 0;  // random per session; kept across host migration
};

// A host's answer to a query.
struct HostReply {
  SessionInfo session;
  std::string address;  // numeric address of the answering host, as StartJoin takes it
  std::uint16_t port = 0;
  int roundTripMs = 0;  // measured by the asking side
};

struct SendOptions {
  bool guaranteed = false;    // delivered reliably and in order
  bool highPriority = false;  // leaves before any normal-priority send waiting
  int timeoutMs = 0;          // an unguaranteed send still waiting after this is dropped; 0: never
};

// Called on the session's network thread, one at a time. They may call the
// session's const queries (RoundTripMs, PlayerCount, ...), never Close.
struct Callbacks {
  // A player joined (or, for `local`, this player entered the session).
  std::function<void(PlayerId id, const std::string& name, bool local)> playerCreated;
  std::function<void(PlayerId id, const std::string& name)> playerDestroyed;
  // A game message from a player; `data` is valid during the call only.
  std::function<void(PlayerId from, const std::uint8_t* data, std::size_t size)> received;
  std::function<void(const HostReply& reply)> hostReply;
  // Every other player has gone (or could not be reached); the local player
  // is alone in the session.
  std::function<void()> sessionTerminated;
  std::function<void()> becameHost;  // the host left and this player took over
};

enum class JoinState { kIdle, kPending, kJoined, kFailed };

struct Stats {
  std::uint64_t sent = 0;      // messages handed to the network
  std::uint64_t received = 0;  // messages delivered to `received`
  std::uint64_t dropped = 0;   // received data refused: malformed, wrong application, flooding, too large
  std::uint64_t expired = 0;   // unguaranteed sends dropped after their time-out
  std::uint64_t overflowed = 0;  // unguaranteed sends dropped because too many were waiting
  int connections = 0;           // live transport connections to other players (introduced or not)
};

class PeerSession {
 public:
  // Opens the socket for the transport and starts the network thread.
  // `appId` is checked on every join and query, both ways.
  static std::unique_ptr<PeerSession> Create(Transport transport, const AppId& appId, Callbacks callbacks,
                                             std::string* error);
  virtual ~PeerSession() = default;  // closes the session

  // Creates a session with this player as its host, listening on `port`
  // (0: kDefaultPort). Synchronous.
  virtual bool Host(const std::string& playerName, const SessionInfo& session, std::uint16_t port,
                    std::string* error) = 0;
  // Joins the session whose host is at address:port (port 0: kDefaultPort).
  // Completes on the network thread; JoinState tells how it went. Joined
  // means connected to the host and to every other player.
  virtual bool StartJoin(const std::string& playerName, const std::string& address, std::uint16_t port,
                         std::string* error) = 0;
  virtual JoinState joinState() const = 0;

  // Queries address:port every kQueryRetryMs until stopped; each answer
  // comes through `hostReply`. An empty address asks the local network by
  // broadcast (never used by tests).
  virtual bool StartQuery(const std::string& address, std::uint16_t port, std::string* error) = 0;
  virtual void StopQuery() = 0;

  // To every other player; never looped back. Without a session it does nothing and returns false.
  virtual bool SendToAll(const void* data, std::size_t size, const SendOptions& options) = 0;

  virtual int RoundTripMs(PlayerId player) const = 0;  // -1 while unknown
  virtual bool IsHost() const = 0;
  virtual bool InSession() const = 0;
  virtual PlayerId LocalId() const = 0;  // 0 outside a session
  virtual SessionInfo Session() const = 0;
  virtual int PlayerCount() const = 0;  // the local player included; 0 outside a session
  virtual std::uint16_t LocalPort() const = 0;
  virtual Stats stats() const = 0;

  // Leaves the session (the others see this player destroyed), stops the
  // network thread and closes the socket. Idempotent.
  virtual void Close() = 0;
};

}  // namespace halvex::peer
