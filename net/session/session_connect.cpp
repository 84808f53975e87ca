#include "net/session/session_connect.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace halvex::net {

std::string DefaultSessionName(const std::string& playerName) { return playerName + "'s Game"; }

bool ConnectByPlan(peer::PeerSession& peer, const std::string& playerName, const ConnectPlan& plan,
                   int joinTimeoutMs, ConnectOutcome& outcome, std::string* error) {
  const std::string name = playerName.substr(0, kSessionPlayerNameMax);
  outcome.playerName = name;
  if (plan.mode == ConnectPlan::Mode::kHost) {
    peer::SessionInfo info;
    info.sessionName = plan.sessionName.empty() ? DefaultSessionName(name) : plan.sessionName;
    info.maxPlayers = peer::kMaxPlayers;
    info.migrateHost = true;
    if (!peer.Host(name, info, plan.port, error)) return false;
    outcome.isHost = true;
    outcome.sessionName = peer.Session().sessionName;
    return true;
  }
  if (!peer.StartJoin(name, plan.address, plan.port, error)) return false;
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(joinTimeoutMs);
  while (peer.joinState() == peer::JoinState::kPending && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (peer.joinState() != peer::JoinState::kJoined) {
    if (error) *error = "no answer from a game at " + plan.address;
    return false;
  }
  outcome.isHost = false;
  outcome.sessionName = peer.Session().sessionName;
  return true;
}

namespace {

constexpr int kJoinTimeoutMs = 15000;

void Report(const std::string& why) {
  if (!why.empty()) std::fprintf(stderr, "halvex: multiplayer: %s\n", why.c_str());
}

}  // namespace

bool SessionConnect(NetSession& session, const std::string& playerName, const ConnectPlan& plan,
                    const WizardRunner& wizard, const MessageBoxFn& message, ConnectOutcome& outcome) {
  peer::PeerSession* peer = session.peer();
  if (!peer) {
    message(kPeerInitFailedText);
    return false;
  }
  std::string why;
  if (plan.mode != ConnectPlan::Mode::kWizard) {
    if (!ConnectByPlan(*peer, playerName, plan, kJoinTimeoutMs, outcome, &why)) {
      Report(why);
      message(kWizardFailedText);
      return false;
    }
  } else {
    ConnectPlan lobby;
    const WizardResult result = wizard ? wizard(*peer, outcome, lobby) : WizardResult::kFailed;
    if (result == WizardResult::kQuit) return false;
    if (result == WizardResult::kFailed) {
      message(kWizardFailedText);
      return false;
    }
    if (result == WizardResult::kLobby &&
        !ConnectByPlan(*peer, outcome.playerName.empty() ? playerName : outcome.playerName, lobby,
                       kJoinTimeoutMs, outcome, &why)) {
      Report(why);
      message(kLobbyConnectFailedText);
      return false;
    }
    outcome.playerName = outcome.playerName.substr(0, kSessionPlayerNameMax);
  }
  session.StartQueueThread();
  return true;
}

}  // namespace halvex::net
