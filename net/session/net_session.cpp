#include "net/session/net_session.h"

#include <utility>

namespace halvex::net {

NetSession::NetSession(SessionLinks links) : links_(std::move(links)) {}

NetSession::~NetSession() { Close(); }

bool NetSession::Initialize(peer::Transport transport, std::string* error) {
  peer::Callbacks callbacks;
  callbacks.playerCreated = [this](peer::PlayerId id, const std::string& name, bool local) {
    OnPlayerCreated(id, name, local);
  };
  callbacks.playerDestroyed = [this](peer::PlayerId id, const std::string& name) { OnPlayerDestroyed(id, name); };
  callbacks.received = [this](peer::PlayerId from, const std::uint8_t* data, std::size_t size) {
    OnReceived(from, data, size);
  };
  callbacks.hostReply = [this](const peer::HostReply& reply) {
    if (links_.hostReply) links_.hostReply(reply);
  };
  // Other peers gone: the match goes on without them.
  callbacks.sessionTerminated = [] {};
  auto session = peer::PeerSession::Create(transport, kApplicationId, std::move(callbacks), error);
  if (!session) return false;
  std::lock_guard lock(peerMutex_);
  peer_ = std::move(session);
  return true;
}

void NetSession::StartQueueThread() {
  std::lock_guard lock(queueMutex_);
  if (queueThread_.joinable() || quit_) return;
  queueThread_ = std::thread([this] { QueueThread(); });
}

bool NetSession::Send(MessageBody body) {
  std::lock_guard lock(peerMutex_);
  if (!peer_ || !peer_->InSession()) return false;
  const GameMessage message = Stamp(sequence_, std::move(body));
  const SendParameters* p = ParametersOf(message.kind);
  if (!p) return false;
  const std::vector<std::uint8_t> bytes = Encode(message);
  peer::SendOptions options;
  options.guaranteed = p->guaranteed;
  options.highPriority = p->priority == SendPriority::kHigh;
  options.timeoutMs = static_cast<int>(p->timeoutMs);
  return peer_->SendToAll(bytes.data(), bytes.size(), options);
}

int NetSession::PingMs(std::uint32_t playerId) const {
  std::lock_guard lock(peerMutex_);
  if (!peer_) return 0;
  const int rtt = peer_->RoundTripMs(playerId);
  return rtt > 0 ? rtt / 2 : 0;
}

std::string NetSession::SessionName() const {
  std::lock_guard lock(peerMutex_);
  return peer_ ? peer_->Session().sessionName : std::string();
}

int NetSession::PlayerCount() const {
  std::lock_guard lock(peerMutex_);
  return peer_ ? peer_->PlayerCount() : 0;
}

bool NetSession::IsHost() const {
  std::lock_guard lock(peerMutex_);
  return peer_ && peer_->IsHost();
}

std::string NetSession::StatusText() const {
  std::lock_guard lock(statusMutex_);
  return statusText_;
}

void NetSession::SetStatusText(std::string text) {
  std::lock_guard lock(statusMutex_);
  statusText_ = std::move(text);
}

DropCounts NetSession::drops() const {
  std::lock_guard lock(queueMutex_);
  return drops_;
}

std::uint64_t NetSession::queueOverflows() const {
  std::lock_guard lock(queueMutex_);
  return overflows_;
}

void NetSession::OnPlayerCreated(peer::PlayerId id, const std::string& name, bool local) {
  {
    std::lock_guard lock(playersMutex_);
    players_[id] = name;
    if (local) localId_ = id;
  }
  if (links_.playerJoined) links_.playerJoined(id, name, local);
}

void NetSession::OnPlayerDestroyed(peer::PlayerId id, const std::string& name) {
  bool local = false;
  {
    std::lock_guard lock(playersMutex_);
    players_.erase(id);
    local = id == localId_;
  }
  if (links_.playerLeft) links_.playerLeft(id, name, local);
}

void NetSession::OnReceived(peer::PlayerId from, const std::uint8_t* data, std::size_t size) {
  {
    std::lock_guard lock(queueMutex_);
    if (quit_) return;
    if (queue_.size() >= kReceiveQueueLimit) {
      ++overflows_;
      return;
    }
    queue_.push_back(Node{from, std::vector<std::uint8_t>(data, data + size)});
  }
  queueReady_.notify_one();
}

std::string NetSession::NameOf(peer::PlayerId id) const {
  std::lock_guard lock(playersMutex_);
  const auto it = players_.find(id);
  return it == players_.end() ? std::string() : it->second;
}

void NetSession::QueueThread() {
  std::deque<Node> batch;
  for (;;) {
    {
      std::unique_lock lock(queueMutex_);
      queueReady_.wait(lock, [this] { return quit_ || !queue_.empty(); });
      if (quit_) return;
      batch.swap(queue_);
    }
    // Handled outside the lock: the network thread keeps queueing meanwhile.
    SetStatusText("Waiting...");
    for (const Node& node : batch) Handle(node);
    batch.clear();
  }
}

void NetSession::Handle(const Node& node) {
  const std::string sender = NameOf(node.from);
  SetStatusText("Receive: " + sender + "\r\n");
  GameMessage message;
  const DropReason reason = Decode(node.data.data(), node.data.size(), message);
  {
    std::lock_guard lock(queueMutex_);
    drops_.Count(reason);
  }
  if (reason != DropReason::kNone) return;
  if (message.kind == MessageKind::kChat) {
    if (links_.receivedChat) links_.receivedChat(std::get<ChatMessage>(message.body).text);
    return;
  }
  if (links_.received) links_.received(sender, message);
}

void NetSession::Close() {
  {
    std::lock_guard lock(queueMutex_);
    quit_ = true;
  }
  queueReady_.notify_all();
  // Only one caller joins; a second waits here until the first is done.
  std::unique_ptr<peer::PeerSession> peer;
  {
    std::lock_guard lock(peerMutex_);
    peer = std::move(peer_);
  }
  if (peer) peer->Close();
  std::thread queueThread;
  {
    std::lock_guard lock(queueMutex_);
    queueThread.swap(queueThread_);
    queue_.clear();
  }
  if (queueThread.joinable() && queueThread.get_id() != std::this_thread::get_id()) queueThread.join();
}

}  // namespace halvex::net
