// The game's network session: the peer session underneath, the players it
// announced, the queue of received messages with the thread that reads them,
// and the sends. Received bytes are checked by the one reader (Decode)
// before anything else sees them; chat goes to the window thread, the rest
// to the match.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/protocol/wire.h"
#include "net/session/application_id.h"
#include "net/session/match_network.h"
#include "platform/peer/peer_session.h"

namespace halvex::net {

// Received messages waiting for the queue thread; more are dropped, so a
// flooding peer cannot grow memory without bound.
inline constexpr std::size_t kReceiveQueueLimit = 4096;

// Where the session's news goes. Called on the session's threads.
struct SessionLinks {
  std::function<void(std::uint32_t id, const std::string& name, bool local)> playerJoined;
  std::function<void(std::uint32_t id, const std::string& name, bool local)> playerLeft;
  std::function<void(const std::string& text)> receivedChat;
  // Status, shot and movement messages, checked, with the sender's name.
  std::function<void(const std::string& sender, const GameMessage& message)> received;
  // A host answered a search (for the connect wizard).
  std::function<void(const peer::HostReply& reply)> hostReply;
};

class NetSession final : public MatchNetwork {
 public:
  explicit NetSession(SessionLinks links);
  ~NetSession() override;
  NetSession(const NetSession&) = delete;
  NetSession& operator=(const NetSession&) = delete;

  // Opens the peer session (no game yet). False with the reason otherwise.
  bool Initialize(peer::Transport transport, std::string* error);
  // For hosting, joining and searching; null before Initialize and after Close.
  peer::PeerSession* peer() { return peer_.get(); }
  // Starts handing received messages on; until then they wait in the queue.
  void StartQueueThread();

  bool Send(MessageBody body) override;
  int PingMs(std::uint32_t playerId) const override;
  std::string SessionName() const override;
  int PlayerCount() const override;
  std::string StatusText() const override;
  bool IsHost() const;

  DropCounts drops() const;
  std::uint64_t queueOverflows() const;

  // Leaves the session and stops both threads; safe from any thread, more
  // than once, and while another thread sends.
  void Close();

 private:
  struct Node {
    peer::PlayerId from = 0;
    std::vector<std::uint8_t> data;
  };

  void OnPlayerCreated(peer::PlayerId id, const std::string& name, bool local);
  void OnPlayerDestroyed(peer::PlayerId id, const std::string& name);
  void OnReceived(peer::PlayerId from, const std::uint8_t* data, std::size_t size);
  void QueueThread();
  void Handle(const Node& node);
  std::string NameOf(peer::PlayerId id) const;
  void SetStatusText(std::string text);

  SessionLinks links_;
  std::unique_ptr<peer::PeerSession> peer_;
  mutable std::mutex peerMutex_;  // Close against the other threads' use of peer_
  SequenceCounter sequence_;

  mutable std::mutex playersMutex_;
  std::map<peer::PlayerId, std::string> players_;
  peer::PlayerId localId_ = 0;

  mutable std::mutex queueMutex_;
  std::condition_variable queueReady_;
  std::deque<Node> queue_;
  bool quit_ = false;
  std::uint64_t overflows_ = 0;
  DropCounts drops_;
  std::thread queueThread_;

  mutable std::mutex statusMutex_;
  std::string statusText_;
};

}  // namespace halvex::net
