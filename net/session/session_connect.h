// Connecting the game to a session before the device exists: from the
// command line (host or join, as the wizard's two outcomes), from a lobby's
// settings, or through the connect wizard. Failures show the game's own
// messages; a cancelled wizard shows none.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/session/net_session.h"

namespace halvex::net {

inline constexpr std::size_t kSessionPlayerNameMax = 13;  // characters of the player name a session carries

struct ConnectPlan {
  enum class Mode { kWizard, kHost, kJoin };
  Mode mode = Mode::kWizard;
  std::string address;      // kJoin: the host
  std::uint16_t port = 0;   // 0: the default port
  std::string sessionName;  // kHost: empty for "<player>'s Game"
};

struct ConnectOutcome {
  bool isHost = false;
  std::string playerName;   // as the session carries it
  std::string sessionName;
  std::string providerName;
};

// What the wizard returns: joined or hosted, the player cancelled (no
// message), the wizard failed, or a lobby's settings arrived (a plan).
enum class WizardResult { kConnected, kQuit, kFailed, kLobby };
using WizardRunner = std::function<WizardResult(peer::PeerSession& peer, ConnectOutcome& outcome, ConnectPlan& lobby)>;
using MessageBoxFn = std::function<void(const std::string& text)>;

inline constexpr const char* kPeerInitFailedText = "Failed initializing IDirectPlay8Peer. The Game will now quit.";
inline constexpr const char* kLobbyConnectFailedText = "Failed to connect using lobby settings. The Game will now quit.";
inline constexpr const char* kWizardFailedText = "Mutliplayer connect failed. The Game will now quit.";
inline constexpr const char* kConnectCaption = "Varnholt - Halvex";

// "<name>'s Game".
std::string DefaultSessionName(const std::string& playerName);

// Hosts or joins as the plan says and waits for the join to finish (up to
// joinTimeoutMs). False with the reason otherwise.
bool ConnectByPlan(peer::PeerSession& peer, const std::string& playerName, const ConnectPlan& plan,
                   int joinTimeoutMs, ConnectOutcome& outcome, std::string* error);

// The whole connect on an initialised session: the plan, or the wizard (and
// then perhaps a lobby's plan). True when the game is in a session; the
// queue thread is started. `message` shows the failure messages.
bool SessionConnect(NetSession& session, const std::string& playerName, const ConnectPlan& plan,
                    const WizardRunner& wizard, const MessageBoxFn& message, ConnectOutcome& outcome);

}  // namespace halvex::net
