// The mesh: one network thread per session owns the transport host (the
// library is not thread-safe). Public calls post commands to it or read a
// snapshot it publishes; callbacks run on it with no lock held.
#include "platform/peer/peer_session.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <unordered_map>

#include "platform/peer/outbox.h"
#include "platform/peer/transport.h"
#include "platform/peer/wire.h"

namespace halvex::peer {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kJoinTimeout = 5s;   // to hear from the host, and again to reach every member
constexpr auto kIntroTimeout = 5s;  // an incoming connection that never says who it is
constexpr auto kPingInterval = 250ms;
constexpr auto kCloseGrace = 500ms;  // for goodbyes (and last sends) to leave before the socket closes
// A peer that stops acknowledging is dropped within about this long.
constexpr enet_uint32 kTimeoutMinMs = 2000;
constexpr enet_uint32 kTimeoutMaxMs = 4000;
// Query answers: bounded so the session cannot be used to amplify a flood.
constexpr double kRepliesPerSecond = 200;
constexpr double kRepliesBurst = 50;
constexpr std::size_t kHeldMessagesCap = 1024;  // game messages received while our join completes
constexpr std::size_t kHeldBytesCap = 1 << 20;
constexpr std::size_t kMaxUnintroduced = 16;
constexpr int kEventsPerTurn = 512;  // then the outbox and commands get a turn
constexpr std::uint32_t kMaxPlausibleRoundTripUs = 10'000'000;

std::uint32_t MicrosNow() {
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(us);
}

int MicrosToMs(double us) { return static_cast<int>((us + 500.0) / 1000.0); }

std::uint64_t RandomInstance() {
  std::random_device rd;
  std::uint64_t v = 0;
  while (v == 0) v = (static_cast<std::uint64_t>(rd()) << 32) | rd();
  return v;
}

struct Conn {
  enum class Role { kIncoming, kToHost, kToMember };

  Conn(ENetPeer* p, Role r, Clock::time_point now)
      : peer(p), role(r), opened(now), nextPing(now), bucket(transport::kFloodPerSecond, transport::kFloodBurst, now) {}

  ENetPeer* peer;
  Role role;
  bool connected = false;
  bool introduced = false;
  PlayerId id = 0;  // for a connection to a member, the id we expect before it is introduced
  std::string name;
  Clock::time_point opened;
  Clock::time_point nextPing;
  TokenBucket bucket;
  double rttUs = -1;
  std::optional<wire::Message> earlyIntro;  // arrived while our own welcome was still on its way
};

class SessionImpl;
thread_local SessionImpl* tlSession = nullptr;

class SessionImpl final : public PeerSession {
 public:
  SessionImpl(const AppId& appId, Callbacks callbacks)
      : appId_(appId), cb_(std::move(callbacks)), replyBucket_(kRepliesPerSecond, kRepliesBurst, Clock::now()) {}
  ~SessionImpl() override { Close(); }

  bool Start(std::string* error) {
    std::promise<std::string> started;
    auto result = started.get_future();
    thread_ = std::thread([this, &started] { Run(&started); });
    netThread_ = thread_.get_id();
    std::string err = result.get();
    if (!err.empty()) {
      thread_.join();
      std::lock_guard lock(mutex_);
      closed_ = true;
      if (error) *error = err;
      return false;
    }
    return true;
  }

  bool Host(const std::string& playerName, const SessionInfo& session, std::uint16_t port,
            std::string* error) override {
    if (OnNetThread()) return Fail(error, "cannot host from a session callback");
    {
      std::lock_guard lock(mutex_);
      if (closed_) return Fail(error, "the session is closed");
      if (pub_.inSession || pub_.joinState == JoinState::kPending) return Fail(error, "already in a session");
    }
    std::promise<std::string> done;
    auto result = done.get_future();
    if (!Post([&] {
          std::string err;
          DoHost(playerName, session, port == 0 ? kDefaultPort : port, &err);
          done.set_value(err);
        }))
      return Fail(error, "the session is closed");
    std::string err = result.get();
    if (!err.empty()) return Fail(error, err);
    return true;
  }

  bool StartJoin(const std::string& playerName, const std::string& address, std::uint16_t port,
                 std::string* error) override {
    ENetAddress target{};
    if (address.empty() || !transport::ParseAddress(address, port == 0 ? kDefaultPort : port, &target))
      return Fail(error, "no IPv4 address for '" + address + "'");
    std::lock_guard lock(mutex_);
    if (closed_ || threadDone_) return Fail(error, "the session is closed");
    if (pub_.inSession || pub_.joinState == JoinState::kPending) return Fail(error, "already in a session");
    pub_.joinState = JoinState::kPending;
    commands_.push_back([this, playerName, target] { DoJoin(playerName, target); });
    return true;
  }

  JoinState joinState() const override {
    std::lock_guard lock(mutex_);
    return pub_.joinState;
  }

  bool StartQuery(const std::string& address, std::uint16_t port, std::string* error) override {
    ENetAddress target{};
    if (!transport::ParseAddress(address, port == 0 ? kDefaultPort : port, &target))
      return Fail(error, "no IPv4 address for '" + address + "'");
    if (!Post([this, target] {
          queryActive_ = true;
          queryTarget_ = target;
          nextQuery_ = Clock::now();
        }))
      return Fail(error, "the session is closed");
    return true;
  }

  void StopQuery() override {
    Post([this] { queryActive_ = false; });
  }

  bool SendToAll(const void* data, std::size_t size, const SendOptions& options) override {
    if (size > kMaxMessageBytes || (data == nullptr && size != 0)) return false;
    Outbox::Entry e;
    e.bytes.reserve(size + 1);
    e.bytes.push_back(static_cast<std::uint8_t>(wire::Kind::kData));
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size != 0) e.bytes.insert(e.bytes.end(), bytes, bytes + size);
    e.guaranteed = options.guaranteed;
    e.highPriority = options.highPriority;
    e.timeoutMs = options.guaranteed ? 0 : std::max(0, options.timeoutMs);
    e.queued = Clock::now();
    std::lock_guard lock(mutex_);
    if (closed_ || !pub_.inSession) return false;
    return outbox_.Push(std::move(e), &pub_.stats.overflowed);
  }

  int RoundTripMs(PlayerId player) const override {
    std::lock_guard lock(mutex_);
    auto it = pub_.roundTripMs.find(player);
    return it == pub_.roundTripMs.end() ? -1 : it->second;
  }
  bool IsHost() const override {
    std::lock_guard lock(mutex_);
    return pub_.isHost;
  }
  bool InSession() const override {
    std::lock_guard lock(mutex_);
    return pub_.inSession;
  }
  PlayerId LocalId() const override {
    std::lock_guard lock(mutex_);
    return pub_.localId;
  }
  SessionInfo Session() const override {
    std::lock_guard lock(mutex_);
    return pub_.session;
  }
  int PlayerCount() const override {
    std::lock_guard lock(mutex_);
    return pub_.playerCount;
  }
  std::uint16_t LocalPort() const override {
    std::lock_guard lock(mutex_);
    return pub_.localPort;
  }
  Stats stats() const override {
    std::lock_guard lock(mutex_);
    return pub_.stats;
  }

  void Close() override {
    if (OnNetThread()) {
      // Not allowed from a callback; the best left is to stop the thread and
      // let the owner's Close (or destructor) finish.
      std::lock_guard lock(mutex_);
      stop_ = true;
      return;
    }
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
      closed_ = true;
      stop_ = true;
    }
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    pub_.inSession = false;
    pub_.isHost = false;
    pub_.localId = 0;
    pub_.playerCount = 0;
    pub_.stats.connections = 0;
    outbox_.Clear();
  }

  // Called by the transport for every datagram before it parses it.
  int OnDatagram(const std::uint8_t* data, std::size_t size, const ENetAddress& from);
  ENetHost* host() const { return host_; }

 private:
  struct Published {
    JoinState joinState = JoinState::kIdle;
    bool inSession = false;
    bool isHost = false;
    PlayerId localId = 0;
    SessionInfo session;
    int playerCount = 0;
    std::uint16_t localPort = 0;
    Stats stats;
    std::map<PlayerId, int> roundTripMs;
  };

  static bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
  }
  bool OnNetThread() const { return std::this_thread::get_id() == netThread_; }

  bool Post(std::function<void()> command) {
    std::lock_guard lock(mutex_);
    if (threadDone_ || stop_) return false;
    commands_.push_back(std::move(command));
    return true;
  }

  void CountDropped() {
    std::lock_guard lock(mutex_);
    ++pub_.stats.dropped;
  }

  void Run(std::promise<std::string>* started);
  void RunCommands();
  void Service();
  void Housekeeping(Clock::time_point now);
  void SendOutbox(Clock::time_point now);
  void Leave();

  void DoHost(const std::string& name, const SessionInfo& session, std::uint16_t port, std::string* error);
  void DoJoin(const std::string& name, ENetAddress target);
  void FailJoin();
  void CheckJoinComplete();

  Conn* NewConn(ENetPeer* peer, Conn::Role role);
  void DropConnNow(ENetPeer* peer);
  void OnConnect(ENetPeer* peer);
  void OnDisconnect(ENetPeer* peer);
  void OnReceive(ENetPeer* peer, const ENetPacket* packet);
  void PlayerGone(const Conn& c);
  void EndSessionWithoutHost();

  bool OnJoin(Conn& c, const wire::Message& m);
  bool OnWelcome(Conn& c, const wire::Message& m);
  bool OnRefuse(Conn& c, const wire::Message& m);
  bool OnIntro(Conn& c, const wire::Message& m);
  bool OnIntroAck(Conn& c, const wire::Message& m);
  bool OnPong(Conn& c, const wire::Message& m);
  bool OnData(Conn& c, const wire::Message& m);

  void Send(const Conn& c, const wire::Message& m, bool reliable = true);
  void Refuse(Conn& c, wire::RefuseReason reason);
  void Publish();
  PlayerId OldestPlayer() const;

  // Fixed at creation.
  const AppId appId_;
  const Callbacks cb_;
  std::thread thread_;
  std::thread::id netThread_;

  // Shared with the callers.
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> commands_;
  Outbox outbox_;
  Published pub_;
  bool stop_ = false;
  bool closed_ = false;
  bool threadDone_ = false;

  // The network thread's own.
  ENetHost* host_ = nullptr;
  std::unordered_map<ENetPeer*, std::unique_ptr<Conn>> conns_;
  std::map<PlayerId, Conn*> players_;  // introduced remote players, oldest first
  PlayerId localId_ = 0;
  PlayerId hostId_ = 0;
  PlayerId maxIdSeen_ = 0;
  std::string localName_;
  SessionInfo session_;
  bool inSession_ = false;  // hosting, or joined and announced
  bool hosting_ = false;
  bool joining_ = false;
  bool welcomed_ = false;
  bool hadRemote_ = false;
  Clock::time_point joinDeadline_;
  struct Held {
    PlayerId from;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Held> held_;
  std::size_t heldBytes_ = 0;
  bool queryActive_ = false;
  ENetAddress queryTarget_{};
  Clock::time_point nextQuery_;
  TokenBucket replyBucket_;
};

int ENET_CALLBACK Intercept(ENetHost* host, ENetEvent*) {
  SessionImpl* s = tlSession;
  if (s == nullptr || s->host() != host) return 0;
  return s->OnDatagram(host->receivedData, host->receivedDataLength, host->receivedAddress);
}

// --- The thread -------------------------------------------------------------

void SessionImpl::Run(std::promise<std::string>* started) {
  tlSession = this;
  std::string err;
  host_ = transport::OpenHost(0, &err);
  if (host_ == nullptr) {
    {
      std::lock_guard lock(mutex_);
      threadDone_ = true;
    }
    started->set_value(err.empty() ? "cannot open a UDP socket" : err);
    return;
  }
  host_->intercept = &Intercept;
  {
    std::lock_guard lock(mutex_);
    pub_.localPort = transport::BoundPort(host_);
  }
  started->set_value("");

  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) break;
    }
    RunCommands();
    auto now = Clock::now();
    Housekeeping(now);
    SendOutbox(now);
    enet_host_flush(host_);
    Service();
  }

  Leave();
  enet_host_destroy(host_);
  host_ = nullptr;
  std::deque<std::function<void()>> rest;
  {
    std::lock_guard lock(mutex_);
    threadDone_ = true;
    rest.swap(commands_);
  }
  // Commands posted just before the stop still answer their callers (they
  // see no transport and fail).
  for (auto& command : rest) command();
  tlSession = nullptr;
}

void SessionImpl::RunCommands() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(commands_);
  }
  for (auto& command : batch) command();
}

void SessionImpl::Service() {
  ENetEvent event{};
  int result = enet_host_service(host_, &event, 1);
  int handled = 0;
  while (result > 0) {
    switch (event.type) {
      case ENET_EVENT_TYPE_CONNECT:
        OnConnect(event.peer);
        break;
      case ENET_EVENT_TYPE_DISCONNECT:
        OnDisconnect(event.peer);
        break;
      case ENET_EVENT_TYPE_RECEIVE:
        OnReceive(event.peer, event.packet);
        enet_packet_destroy(event.packet);
        break;
      case ENET_EVENT_TYPE_NONE:
        break;
    }
    if (++handled >= kEventsPerTurn) break;
    result = enet_host_check_events(host_, &event);
  }
}

void SessionImpl::Housekeeping(Clock::time_point now) {
  if (joining_ && now > joinDeadline_) FailJoin();

  std::vector<ENetPeer*> silent;
  for (auto& [peer, c] : conns_)
    if (c->role == Conn::Role::kIncoming && !c->introduced && now - c->opened > kIntroTimeout) silent.push_back(peer);
  for (ENetPeer* peer : silent) DropConnNow(peer);

  for (auto& [id, c] : players_) {
    if (now < c->nextPing) continue;
    wire::Message ping;
    ping.kind = wire::Kind::kPing;
    ping.stamp = MicrosNow();
    Send(*c, ping, false);
    c->nextPing = now + kPingInterval;
  }

  if (queryActive_ && now >= nextQuery_) {
    wire::Query q;
    q.appId = appId_;
    q.stamp = MicrosNow();
    std::vector<std::uint8_t> bytes = wire::WriteQuery(q);
    ENetBuffer buffer;
    buffer.data = bytes.data();
    buffer.dataLength = bytes.size();
    enet_socket_send(host_->socket, &queryTarget_, &buffer, 1);
    nextQuery_ = now + std::chrono::milliseconds(kQueryRetryMs);
  }
}

void SessionImpl::SendOutbox(Clock::time_point now) {
  std::vector<Outbox::Entry> batch;
  {
    std::lock_guard lock(mutex_);
    if (outbox_.size() == 0) return;
    batch = outbox_.Take(now, &pub_.stats.expired);
  }
  if (!inSession_) return;
  std::uint64_t sent = 0;
  for (const Outbox::Entry& e : batch) {
    enet_uint32 flags = e.guaranteed ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED;
    ENetPacket* packet = enet_packet_create(e.bytes.data(), e.bytes.size(), flags);
    if (packet == nullptr) continue;
    std::uint8_t channel = e.guaranteed ? transport::kReliableChannel : transport::kUnreliableChannel;
    for (auto& [id, c] : players_) enet_peer_send(c->peer, channel, packet);
    if (packet->referenceCount == 0) enet_packet_destroy(packet);
    ++sent;
  }
  std::lock_guard lock(mutex_);
  pub_.stats.sent += sent;
}

void SessionImpl::Leave() {
  SendOutbox(Clock::now());  // what the game sent last still goes, ahead of the goodbyes
  inSession_ = hosting_ = joining_ = false;
  queryActive_ = false;
  for (auto& [peer, c] : conns_) enet_peer_disconnect_later(peer, 0);
  enet_host_flush(host_);
  auto deadline = Clock::now() + kCloseGrace;
  while (!conns_.empty() && Clock::now() < deadline) {
    ENetEvent event{};
    int result = enet_host_service(host_, &event, 5);
    while (result > 0) {
      if (event.type == ENET_EVENT_TYPE_DISCONNECT) {
        conns_.erase(event.peer);
      } else if (event.type == ENET_EVENT_TYPE_RECEIVE) {
        enet_packet_destroy(event.packet);
      } else if (event.type == ENET_EVENT_TYPE_CONNECT && conns_.count(event.peer) == 0) {
        enet_peer_disconnect_now(event.peer, 0);
      }
      result = enet_host_check_events(host_, &event);
    }
    // Connections still being made are dropped at once, without an event.
    std::erase_if(conns_, [](const auto& entry) { return entry.first->state == ENET_PEER_STATE_DISCONNECTED; });
  }
  for (auto& [peer, c] : conns_) enet_peer_disconnect_now(peer, 0);
  conns_.clear();
  players_.clear();
  enet_host_flush(host_);
}

// --- Commands ---------------------------------------------------------------

void SessionImpl::DoHost(const std::string& name, const SessionInfo& session, std::uint16_t port,
                         std::string* error) {
  if (host_ == nullptr) {
    *error = "the session is closed";
    return;
  }
  if (inSession_ || joining_) {
    *error = "already in a session";
    return;
  }
  if (transport::BoundPort(host_) != port) {
    ENetHost* fresh = transport::OpenHost(port, error);
    if (fresh == nullptr) return;
    for (auto& [peer, c] : conns_) enet_peer_disconnect_now(peer, 0);
    conns_.clear();
    players_.clear();
    enet_host_destroy(host_);
    host_ = fresh;
    host_->intercept = &Intercept;
    std::lock_guard lock(mutex_);
    pub_.localPort = transport::BoundPort(host_);
  }
  localName_ = wire::CutName(name, kMaxNameBytes);
  session_ = session;
  session_.sessionName = wire::CutName(session.sessionName, kMaxSessionNameBytes);
  session_.maxPlayers = std::clamp(session.maxPlayers, 0, kMaxPlayers);
  if (session_.instance == 0) session_.instance = RandomInstance();
  localId_ = hostId_ = maxIdSeen_ = 1;
  inSession_ = hosting_ = true;
  hadRemote_ = false;
  Publish();
  if (cb_.playerCreated) cb_.playerCreated(localId_, localName_, true);
}

void SessionImpl::DoJoin(const std::string& name, ENetAddress target) {
  if (host_ == nullptr || inSession_ || joining_) return;
  localName_ = wire::CutName(name, kMaxNameBytes);
  joining_ = true;
  welcomed_ = false;
  localId_ = hostId_ = maxIdSeen_ = 0;
  hadRemote_ = false;
  joinDeadline_ = Clock::now() + kJoinTimeout;
  ENetPeer* peer = enet_host_connect(host_, &target, transport::kChannels, 0);
  if (peer == nullptr) {
    FailJoin();
    return;
  }
  NewConn(peer, Conn::Role::kToHost);
}

void SessionImpl::FailJoin() {
  for (auto& [peer, c] : conns_) enet_peer_disconnect_now(peer, 0);
  conns_.clear();
  players_.clear();
  held_.clear();
  heldBytes_ = 0;
  joining_ = welcomed_ = false;
  localId_ = hostId_ = maxIdSeen_ = 0;
  {
    std::lock_guard lock(mutex_);
    pub_.joinState = JoinState::kFailed;
    pub_.roundTripMs.clear();
  }
  Publish();
}

void SessionImpl::CheckJoinComplete() {
  if (!joining_ || !welcomed_) return;
  for (auto& [peer, c] : conns_)
    if (c->role == Conn::Role::kToMember && !c->introduced) return;
  joining_ = false;
  inSession_ = true;
  hosting_ = false;
  Publish();
  std::vector<std::pair<PlayerId, std::string>> others;
  for (auto& [id, c] : players_) others.emplace_back(id, c->name);
  if (cb_.playerCreated) {
    cb_.playerCreated(localId_, localName_, true);
    for (auto& [id, name] : others) cb_.playerCreated(id, name, false);
  }
  hadRemote_ = !others.empty();
  {
    // Only now: whoever sees kJoined has had every player announced.
    std::lock_guard lock(mutex_);
    pub_.joinState = JoinState::kJoined;
  }
  // Game messages that came while we were still meeting everyone.
  std::vector<Held> held;
  held.swap(held_);
  heldBytes_ = 0;
  for (const Held& h : held) {
    if (players_.count(h.from) == 0) continue;
    {
      std::lock_guard lock(mutex_);
      ++pub_.stats.received;
    }
    if (cb_.received) cb_.received(h.from, h.bytes.data(), h.bytes.size());
  }
}

// --- Connections ------------------------------------------------------------

Conn* SessionImpl::NewConn(ENetPeer* peer, Conn::Role role) {
  enet_peer_timeout(peer, 0, kTimeoutMinMs, kTimeoutMaxMs);
  auto conn = std::make_unique<Conn>(peer, role, Clock::now());
  Conn* raw = conn.get();
  conns_[peer] = std::move(conn);
  return raw;
}

void SessionImpl::DropConnNow(ENetPeer* peer) {
  enet_peer_disconnect_now(peer, 0);
  conns_.erase(peer);
  Publish();
}

void SessionImpl::OnConnect(ENetPeer* peer) {
  auto it = conns_.find(peer);
  if (it != conns_.end()) {
    Conn& c = *it->second;
    c.connected = true;
    wire::Message m;
    m.appId = appId_;
    m.listenPort = transport::BoundPort(host_);
    m.name = localName_;
    if (c.role == Conn::Role::kToHost) {
      m.kind = wire::Kind::kJoin;
      Send(c, m);
    } else if (c.role == Conn::Role::kToMember) {
      m.kind = wire::Kind::kIntro;
      m.session.instance = session_.instance;
      m.id = localId_;
      Send(c, m);
    }
    Publish();
    return;
  }
  // Someone connects to us: a joiner (if we host) or a newer member
  // introducing itself (even while our own join completes).
  std::size_t unintroduced = 0;
  for (auto& [p, c] : conns_)
    if (c->role == Conn::Role::kIncoming && !c->introduced) ++unintroduced;
  if (!(inSession_ || joining_) || unintroduced >= kMaxUnintroduced) {
    enet_peer_disconnect_now(peer, 0);
    return;
  }
  NewConn(peer, Conn::Role::kIncoming)->connected = true;
  Publish();
}

void SessionImpl::OnDisconnect(ENetPeer* peer) {
  auto it = conns_.find(peer);
  if (it == conns_.end()) return;
  std::unique_ptr<Conn> c = std::move(it->second);
  conns_.erase(it);
  if (c->introduced) {
    players_.erase(c->id);
    PlayerGone(*c);
  } else if (joining_) {
    if (c->role == Conn::Role::kToHost) {
      FailJoin();  // refused, or nobody there
    } else if (c->role == Conn::Role::kToMember) {
      // The member left while we were on our way: nobody to wait for.
      CheckJoinComplete();
    }
  }
  Publish();
}

void SessionImpl::PlayerGone(const Conn& c) {
  {
    std::lock_guard lock(mutex_);
    pub_.roundTripMs.erase(c.id);
  }
  if (joining_) {
    if (c.id == hostId_) FailJoin();
    return;
  }
  if (!inSession_) return;
  Publish();
  if (cb_.playerDestroyed) cb_.playerDestroyed(c.id, c.name);
  if (c.id == hostId_) {
    if (!session_.migrateHost) {
      EndSessionWithoutHost();
      return;
    }
    // Everyone left picks the same one: the oldest player still here.
    hostId_ = OldestPlayer();
    if (hostId_ == localId_ && !hosting_) {
      hosting_ = true;
      Publish();
      if (cb_.becameHost) cb_.becameHost();
    }
  }
  if (players_.empty() && hadRemote_) {
    hadRemote_ = false;
    if (cb_.sessionTerminated) cb_.sessionTerminated();
  }
}

// The host left a session that does not migrate: everyone else goes too.
void SessionImpl::EndSessionWithoutHost() {
  std::vector<std::pair<PlayerId, std::string>> gone;
  for (auto& [id, c] : players_) {
    gone.emplace_back(id, c->name);
    enet_peer_disconnect_later(c->peer, 0);
  }
  players_.clear();
  for (auto& [peer, c] : conns_) c->introduced = false;
  Publish();
  for (auto& [id, name] : gone)
    if (cb_.playerDestroyed) cb_.playerDestroyed(id, name);
  hadRemote_ = false;
  if (cb_.sessionTerminated) cb_.sessionTerminated();
}

PlayerId SessionImpl::OldestPlayer() const {
  PlayerId oldest = localId_;
  if (!players_.empty()) oldest = std::min(oldest, players_.begin()->first);
  return oldest;
}

void SessionImpl::OnReceive(ENetPeer* peer, const ENetPacket* packet) {
  auto it = conns_.find(peer);
  if (it == conns_.end()) {
    CountDropped();
    return;
  }
  Conn& c = *it->second;
  // Over its rate a peer's unreliable messages are dropped. Reliable ones
  // cannot be without breaking their order; the transport's window already
  // paces them (they need acknowledging) and its dispatch takes peers in
  // turn, so a flood of them only slows its own sender.
  bool reliable = (packet->flags & ENET_PACKET_FLAG_RELIABLE) != 0;
  if (!c.bucket.Take(Clock::now()) && !reliable) {
    CountDropped();
    return;
  }
  wire::Message m;
  if (!wire::Read(packet->data, packet->dataLength, &m)) {
    CountDropped();
    return;
  }
  // A handler may drop the connection (and `c` with it): nothing touches
  // `c` after it returns.
  bool accepted = false;
  switch (m.kind) {
    case wire::Kind::kJoin: accepted = OnJoin(c, m); break;
    case wire::Kind::kWelcome: accepted = OnWelcome(c, m); break;
    case wire::Kind::kRefuse: accepted = OnRefuse(c, m); break;
    case wire::Kind::kIntro: accepted = OnIntro(c, m); break;
    case wire::Kind::kIntroAck: accepted = OnIntroAck(c, m); break;
    case wire::Kind::kAdmitted:
      accepted = c.introduced && c.id == hostId_;
      if (accepted) maxIdSeen_ = std::max(maxIdSeen_, m.id);
      break;
    case wire::Kind::kPing:
      accepted = c.introduced;
      if (accepted) {
        wire::Message pong;
        pong.kind = wire::Kind::kPong;
        pong.stamp = m.stamp;
        Send(c, pong, false);
      }
      break;
    case wire::Kind::kPong: accepted = OnPong(c, m); break;
    case wire::Kind::kData: accepted = OnData(c, m); break;
  }
  if (!accepted) CountDropped();
}

// --- Control messages -------------------------------------------------------

bool SessionImpl::OnJoin(Conn& c, const wire::Message& m) {
  if (c.role != Conn::Role::kIncoming || c.introduced) return false;
  if (m.appId != appId_) {
    Refuse(c, wire::RefuseReason::kWrongApp);
    return false;
  }
  if (!inSession_ || !hosting_) {
    Refuse(c, wire::RefuseReason::kNotHost);
    return true;
  }
  int limit = session_.maxPlayers > 0 ? session_.maxPlayers : kMaxPlayers;
  if (static_cast<int>(players_.size()) + 1 >= limit) {
    Refuse(c, wire::RefuseReason::kFull);
    return true;
  }
  PlayerId id = ++maxIdSeen_;
  c.id = id;
  c.name = wire::CutName(m.name, kMaxNameBytes);
  c.introduced = true;

  wire::Message welcome;
  welcome.kind = wire::Kind::kWelcome;
  welcome.appId = appId_;
  welcome.id = id;
  welcome.hostId = localId_;
  welcome.name = localName_;
  welcome.session = session_;
  for (auto& [memberId, member] : players_) {
    wire::Member entry;
    entry.id = memberId;
    entry.ip = member->peer->address.host;
    entry.port = member->peer->address.port;
    entry.name = member->name;
    welcome.members.push_back(std::move(entry));
  }
  Send(c, welcome);
  wire::Message admitted;
  admitted.kind = wire::Kind::kAdmitted;
  admitted.id = id;
  for (auto& [memberId, member] : players_) Send(*member, admitted);

  players_[id] = &c;
  hadRemote_ = true;
  Publish();
  if (cb_.playerCreated) cb_.playerCreated(id, c.name, false);
  return true;
}

bool SessionImpl::OnWelcome(Conn& c, const wire::Message& m) {
  if (c.role != Conn::Role::kToHost || !joining_ || welcomed_) return false;
  bool olderThanUs = m.hostId < m.id;
  for (const wire::Member& member : m.members) olderThanUs = olderThanUs && member.id < m.id;
  if (m.appId != appId_ || !olderThanUs) {
    FailJoin();
    return false;
  }
  welcomed_ = true;
  localId_ = m.id;
  hostId_ = m.hostId;
  session_ = m.session;
  maxIdSeen_ = m.id;
  c.id = m.hostId;
  c.name = m.name;
  c.introduced = true;
  players_[c.id] = &c;
  joinDeadline_ = Clock::now() + kJoinTimeout;
  const std::uint32_t hostIp = c.peer->address.host;
  // Members share our view of the host's machine when the host only knows
  // them by a local address.
  for (const wire::Member& member : m.members) {
    ENetAddress address{};
    address.host = transport::IsLocalOnly(member.ip) ? hostIp : member.ip;
    address.port = member.port;
    ENetPeer* peer = enet_host_connect(host_, &address, transport::kChannels, 0);
    if (peer == nullptr) {
      FailJoin();
      return true;
    }
    Conn* to = NewConn(peer, Conn::Role::kToMember);
    to->id = member.id;
    to->name = member.name;
  }
  // Newer joiners that introduced themselves before this arrived.
  std::vector<ENetPeer*> early;
  for (auto& [peer, conn] : conns_)
    if (conn->earlyIntro) early.push_back(peer);
  for (ENetPeer* peer : early) {
    auto it = conns_.find(peer);
    if (it == conns_.end()) continue;
    wire::Message intro = std::move(*it->second->earlyIntro);
    it->second->earlyIntro.reset();
    if (!OnIntro(*it->second, intro)) CountDropped();
    if (!joining_) return true;  // that failed the join
  }
  CheckJoinComplete();
  return true;
}

bool SessionImpl::OnRefuse(Conn& c, const wire::Message&) {
  if (!joining_ || c.introduced || c.role == Conn::Role::kIncoming) return false;
  FailJoin();
  return true;
}

bool SessionImpl::OnIntro(Conn& c, const wire::Message& m) {
  if (c.role != Conn::Role::kIncoming || c.introduced) return false;
  if (localId_ == 0) {
    if (joining_ && !c.earlyIntro) {
      c.earlyIntro = m;
      return true;
    }
    return false;
  }
  if (m.appId != appId_) {
    Refuse(c, wire::RefuseReason::kWrongApp);
    return false;
  }
  if (m.session.instance != session_.instance) {
    Refuse(c, wire::RefuseReason::kWrongSession);
    return false;
  }
  // Newer players connect to older ones, never the other way.
  if (m.id <= localId_ || players_.count(m.id) != 0) {
    Refuse(c, wire::RefuseReason::kDuplicate);
    return false;
  }
  c.introduced = true;
  c.id = m.id;
  c.name = wire::CutName(m.name, kMaxNameBytes);
  maxIdSeen_ = std::max(maxIdSeen_, m.id);
  players_[m.id] = &c;
  wire::Message ack;
  ack.kind = wire::Kind::kIntroAck;
  ack.id = localId_;
  ack.name = localName_;
  Send(c, ack);
  if (inSession_) {
    hadRemote_ = true;
    Publish();
    if (cb_.playerCreated) cb_.playerCreated(c.id, c.name, false);
  }
  return true;
}

bool SessionImpl::OnIntroAck(Conn& c, const wire::Message& m) {
  if (c.role != Conn::Role::kToMember || c.introduced || !joining_) return false;
  if (m.id != c.id || players_.count(m.id) != 0) {
    FailJoin();
    return false;
  }
  c.introduced = true;
  c.name = m.name;
  maxIdSeen_ = std::max(maxIdSeen_, m.id);
  players_[c.id] = &c;
  CheckJoinComplete();
  return true;
}

bool SessionImpl::OnPong(Conn& c, const wire::Message& m) {
  if (!c.introduced) return false;
  std::uint32_t sample = MicrosNow() - m.stamp;
  if (sample > kMaxPlausibleRoundTripUs) return false;  // not one of ours
  c.rttUs = c.rttUs < 0 ? sample : c.rttUs + (sample - c.rttUs) / 8.0;
  std::lock_guard lock(mutex_);
  pub_.roundTripMs[c.id] = MicrosToMs(c.rttUs);
  return true;
}

bool SessionImpl::OnData(Conn& c, const wire::Message& m) {
  if (!c.introduced) return false;
  if (joining_) {
    if (held_.size() >= kHeldMessagesCap || heldBytes_ + m.payloadSize > kHeldBytesCap) return false;
    held_.push_back({c.id, std::vector<std::uint8_t>(m.payload, m.payload + m.payloadSize)});
    heldBytes_ += m.payloadSize;
    return true;
  }
  if (!inSession_) return false;
  {
    std::lock_guard lock(mutex_);
    ++pub_.stats.received;
  }
  if (cb_.received) cb_.received(c.id, m.payload, m.payloadSize);
  return true;
}

void SessionImpl::Send(const Conn& c, const wire::Message& m, bool reliable) {
  std::vector<std::uint8_t> bytes = wire::Write(m);
  ENetPacket* packet =
      enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
  if (packet == nullptr) return;
  std::uint8_t channel = reliable ? transport::kReliableChannel : transport::kUnreliableChannel;
  if (enet_peer_send(c.peer, channel, packet) < 0) enet_packet_destroy(packet);
}

void SessionImpl::Refuse(Conn& c, wire::RefuseReason reason) {
  wire::Message refuse;
  refuse.kind = wire::Kind::kRefuse;
  refuse.reason = reason;
  Send(c, refuse);
  enet_peer_disconnect_later(c.peer, 0);
}

void SessionImpl::Publish() {
  int connections = 0;
  for (auto& [peer, c] : conns_)
    if (c->connected) ++connections;
  std::lock_guard lock(mutex_);
  pub_.inSession = inSession_;
  pub_.isHost = inSession_ && hosting_;
  pub_.localId = inSession_ ? localId_ : 0;
  pub_.playerCount = inSession_ ? static_cast<int>(players_.size()) + 1 : 0;
  pub_.session = session_;
  pub_.session.players = pub_.playerCount;
  pub_.stats.connections = connections;
}

// --- Queries ----------------------------------------------------------------

int SessionImpl::OnDatagram(const std::uint8_t* data, std::size_t size, const ENetAddress& from) {
  wire::Query query;
  wire::QueryReply reply;
  switch (wire::ReadDatagram(data, size, &query, &reply)) {
    case wire::DatagramKind::kNotOurs:
      return 0;
    case wire::DatagramKind::kMalformed:
      CountDropped();
      return 1;
    case wire::DatagramKind::kQuery: {
      if (query.appId != appId_) {
        CountDropped();
        return 1;
      }
      if (!inSession_ || !hosting_ || !replyBucket_.Take(Clock::now())) return 1;
      wire::QueryReply answer;
      answer.appId = appId_;
      answer.stamp = query.stamp;
      answer.instance = session_.instance;
      answer.players = static_cast<std::uint8_t>(players_.size() + 1);
      answer.maxPlayers = static_cast<std::uint8_t>(session_.maxPlayers);
      answer.migrateHost = session_.migrateHost;
      answer.sessionName = session_.sessionName;
      std::vector<std::uint8_t> bytes = wire::WriteReply(answer);
      ENetBuffer buffer;
      buffer.data = bytes.data();
      buffer.dataLength = bytes.size();
      enet_socket_send(host_->socket, &from, &buffer, 1);
      return 1;
    }
    case wire::DatagramKind::kReply: {
      if (reply.appId != appId_) {
        CountDropped();
        return 1;
      }
      if (!queryActive_) return 1;
      std::uint32_t us = MicrosNow() - reply.stamp;
      if (us > static_cast<std::uint32_t>(3 * kQueryRetryMs) * 1000u) return 1;  // stale, or not our stamp
      HostReply answer;
      answer.session.sessionName = reply.sessionName;
      answer.session.players = reply.players;
      answer.session.maxPlayers = reply.maxPlayers;
      answer.session.migrateHost = reply.migrateHost;
      answer.session.instance = reply.instance;
      answer.address = transport::FormatIp(from.host);
      answer.port = from.port;
      answer.roundTripMs = MicrosToMs(us);
      if (cb_.hostReply) cb_.hostReply(answer);
      return 1;
    }
  }
  return 0;
}

}  // namespace

std::vector<Provider> ServiceProviders() { return {{Transport::kUdpIPv4, "UDP/IP (IPv4)"}}; }

std::unique_ptr<PeerSession> PeerSession::Create(Transport transport, const AppId& appId, Callbacks callbacks,
                                                 std::string* error) {
  if (transport != Transport::kUdpIPv4) {
    if (error) *error = "unknown transport";
    return nullptr;
  }
  auto session = std::make_unique<SessionImpl>(appId, std::move(callbacks));
  if (!session->Start(error)) return nullptr;
  return session;
}

}  // namespace halvex::peer
