// Sessions on the loopback interface, with everything their callbacks report
// recorded, and waits on conditions (never on the clock).
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/peer/peer_session.h"

namespace halvex::peer::testing {

inline constexpr std::chrono::seconds kDeadline{30};

inline AppId TestApp(std::uint8_t last = 1) {
  AppId id{};
  const char tag[] = "halvex-peer-tst";
  for (std::size_t i = 0; i + 1 < id.size(); ++i) id[i] = static_cast<std::uint8_t>(tag[i]);
  id[15] = last;
  return id;
}

// A UDP port nobody on this machine holds right now.
inline std::uint16_t FreeUdpPort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  std::uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

struct Received {
  PlayerId from;
  std::string text;
};

class Node {
 public:
  explicit Node(const AppId& app = TestApp()) {
    Callbacks cb;
    cb.playerCreated = [this](PlayerId id, const std::string& name, bool local) {
      std::lock_guard lock(m_);
      if (local) {
        ++localCreated_;
        localName_ = name;
      } else {
        ++created_[id];
        names_[id] = name;
      }
      cv_.notify_all();
    };
    cb.playerDestroyed = [this](PlayerId id, const std::string&) {
      std::lock_guard lock(m_);
      ++destroyed_[id];
      cv_.notify_all();
    };
    cb.received = [this](PlayerId from, const std::uint8_t* data, std::size_t size) {
      std::string text(reinterpret_cast<const char*>(data), size);
      if (onReceived) onReceived(from, text);
      std::lock_guard lock(m_);
      received_.push_back({from, std::move(text)});
      cv_.notify_all();
    };
    cb.hostReply = [this](const HostReply& reply) {
      std::lock_guard lock(m_);
      replies_.push_back(reply);
      cv_.notify_all();
    };
    cb.sessionTerminated = [this] {
      std::lock_guard lock(m_);
      ++terminated_;
      cv_.notify_all();
    };
    cb.becameHost = [this] {
      std::lock_guard lock(m_);
      ++becameHost_;
      cv_.notify_all();
    };
    std::string error;
    session = PeerSession::Create(Transport::kUdpIPv4, app, std::move(cb), &error);
    EXPECT_NE(session, nullptr) << error;
  }

  // The session goes first: its thread calls into the record.
  ~Node() { session.reset(); }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // Polls `pred` (under the record's lock) until it holds or the deadline.
  bool WaitUntil(const std::function<bool()>& pred, std::chrono::seconds limit = kDeadline) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(m_);
    while (!pred()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      cv_.wait_for(lock, std::chrono::milliseconds(2));
    }
    return true;
  }

  // Hosts on a free port; returns it (0 on failure).
  std::uint16_t HostSession(const std::string& name, SessionInfo info = {}) {
    std::string error;
    for (int attempt = 0; attempt < 20; ++attempt) {
      std::uint16_t port = FreeUdpPort();
      if (port != 0 && session->Host(name, info, port, &error)) return port;
    }
    ADD_FAILURE() << "could not host: " << error;
    return 0;
  }

  JoinState Join(const std::string& name, std::uint16_t port) {
    std::string error;
    if (!session->StartJoin(name, "127.0.0.1", port, &error)) {
      ADD_FAILURE() << error;
      return JoinState::kFailed;
    }
    WaitUntil([&] { return session->joinState() != JoinState::kPending; });
    return session->joinState();
  }

  void Send(const std::string& text, SendOptions options = {true, false, 0}) {
    EXPECT_TRUE(session->SendToAll(text.data(), text.size(), options));
  }

  // The record, read under its lock.
  template <class F>
  auto With(F f) {
    std::lock_guard lock(m_);
    return f();
  }
  int CreatedCount(PlayerId id) {
    return With([&] { return created_.count(id) ? created_[id] : 0; });
  }
  std::map<PlayerId, int> created() {
    return With([&] { return created_; });
  }
  int DestroyedCount(PlayerId id) {
    return With([&] { return destroyed_.count(id) ? destroyed_[id] : 0; });
  }
  std::vector<Received> received() {
    return With([&] { return received_; });
  }
  std::size_t ReceivedCount() {
    return With([&] { return received_.size(); });
  }
  std::vector<HostReply> replies() {
    return With([&] { return replies_; });
  }
  int becameHost() {
    return With([&] { return becameHost_; });
  }
  int terminated() {
    return With([&] { return terminated_; });
  }
  int localCreated() {
    return With([&] { return localCreated_; });
  }
  std::string localName() {
    return With([&] { return localName_; });
  }
  std::string NameOf(PlayerId id) {
    return With([&] { return names_.count(id) ? names_[id] : std::string(); });
  }
  bool HasReceived(PlayerId from, const std::string& text) {
    return With([&] {
      for (const Received& r : received_)
        if (r.from == from && r.text == text) return true;
      return false;
    });
  }

  // Runs on the session's thread before the message is recorded.
  std::function<void(PlayerId, const std::string&)> onReceived;
  std::unique_ptr<PeerSession> session;

  // Unlocked access for WaitUntil predicates (which hold the lock).
  std::map<PlayerId, int>& createdLocked() { return created_; }
  std::map<PlayerId, int>& destroyedLocked() { return destroyed_; }
  std::vector<Received>& receivedLocked() { return received_; }
  std::vector<HostReply>& repliesLocked() { return replies_; }

 private:
  // Recursive: a predicate (run under the lock) may use the accessors.
  std::recursive_mutex m_;
  std::condition_variable_any cv_;
  std::map<PlayerId, int> created_;
  std::map<PlayerId, std::string> names_;
  std::map<PlayerId, int> destroyed_;
  std::vector<Received> received_;
  std::vector<HostReply> replies_;
  int localCreated_ = 0;
  std::string localName_;
  int terminated_ = 0;
  int becameHost_ = 0;
};

}  // namespace halvex::peer::testing
