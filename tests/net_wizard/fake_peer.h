// A PeerSession that records what the wizard asks of it and answers as the
// test says; joins end when the test sets joinState.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/peer/peer_session.h"

namespace halvex::test {

class FakePeerSession : public peer::PeerSession {
 public:
  struct HostCall {
    std::string playerName;
    peer::SessionInfo session;
    std::uint16_t port;
  };
  struct JoinCall {
    std::string playerName, address;
    std::uint16_t port;
  };
  struct QueryCall {
    std::string address;
    std::uint16_t port;
  };

  bool Host(const std::string& playerName, const peer::SessionInfo& session, std::uint16_t port,
            std::string* error) override {
    std::lock_guard<std::mutex> lock(mutex);
    hostCalls.push_back({playerName, session, port});
    if (!hostSucceeds && error) *error = "refused";
    return hostSucceeds;
  }
  bool StartJoin(const std::string& playerName, const std::string& address, std::uint16_t port,
                 std::string* error) override {
    std::lock_guard<std::mutex> lock(mutex);
    joinCalls.push_back({playerName, address, port});
    if (!joinStarts) {
      if (error) *error = "refused";
      return false;
    }
    state = peer::JoinState::kPending;
    return true;
  }
  peer::JoinState joinState() const override { return state; }
  bool StartQuery(const std::string& address, std::uint16_t port, std::string* error) override {
    std::lock_guard<std::mutex> lock(mutex);
    queryCalls.push_back({address, port});
    if (!queryStarts && error) *error = "refused";
    querying = queryStarts;
    return queryStarts;
  }
  void StopQuery() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++stopCalls;
    querying = false;
  }
  bool SendToAll(const void*, std::size_t, const peer::SendOptions&) override { return false; }
  int RoundTripMs(peer::PlayerId) const override { return -1; }
  bool IsHost() const override { return false; }
  bool InSession() const override { return false; }
  peer::PlayerId LocalId() const override { return 0; }
  peer::SessionInfo Session() const override { return {}; }
  int PlayerCount() const override { return 0; }
  std::uint16_t LocalPort() const override { return 0; }
  peer::Stats stats() const override { return {}; }
  void Close() override {}

  std::mutex mutex;
  std::vector<HostCall> hostCalls;
  std::vector<JoinCall> joinCalls;
  std::vector<QueryCall> queryCalls;
  int stopCalls = 0;
  bool querying = false;
  bool hostSucceeds = true;
  bool joinStarts = true;
  bool queryStarts = true;
  std::atomic<peer::JoinState> state{peer::JoinState::kIdle};
};

}  // namespace halvex::test
