// The multiplayer connect wizard: up to four dialogs in which the player
// picks the connection type, searches for games, joins one or creates one,
// or waits for a lobby to hand over the settings.
//
// This is the wizard's logic only. Each dialog is a model with the state of
// its controls and one method per thing the player can do; a window
// (wizard_window.h) draws the models and calls those methods, and the
// dialogs' timers are calls the window makes every kSearchTimerMs or
// kJoinTimerMs while they run. Tests drive the same methods without a
// window, with their own clock.
//
// Threads: everything runs on the thread that runs the wizard, except
// OnHostReply, which the session's network thread calls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/wizard/lobby_link.h"
#include "net/session/application_id.h"
#include "platform/peer/peer_session.h"

namespace halvex::net {

// How a wizard step (one dialog) ended; any other value is a failure.
inline constexpr std::uint32_t kWizardForward = 0x01000001;
inline constexpr std::uint32_t kWizardGoBack = 0x01000002;
inline constexpr std::uint32_t kWizardQuit = 0x01000003;
inline constexpr std::uint32_t kWizardLobbyConnect = 0x01000004;
inline constexpr std::uint32_t kWizardFailed = 0x80004005;  // e.g. no window to show the dialogs in

inline constexpr char kWizardTitle[] = "Varnholt - Halvex";
inline constexpr int kWizardMaxPlayers = 32;
inline constexpr std::size_t kWizardTextMax = 259;  // player, session and provider names
inline constexpr int kSearchTimerMs = 250;          // games dialog, timer 1
inline constexpr int kJoinTimerMs = 100;            // games dialog and lobby wait, timer 2
// A host not heard from for this long has stopped answering.
inline constexpr int kStaleAgeMs = 3 * peer::kQueryRetryMs;

// The game's own texts.
inline constexpr char kConnectDialogName[] = "Multiplayer Connect";
inline constexpr char kGamesDialogName[] = "Multiplayer Games";
inline constexpr char kCreateDialogTitle[] = "Create Game Settings";
inline constexpr char kLobbyDialogTitle[] = "Lobby Connection Status";
inline constexpr char kConnectLabel[] =
    "Please Select Your Connection Type (UDP/IP (IPv4) is the Standard Type) :";
inline constexpr char kLobbyEntry[] = "Wait for Lobby Connection";
inline constexpr char kGamesLabel[] = "After Searching, Please Select a Game to Join From Below :";
inline constexpr char kAddressLabel[] = "Host Address:";
inline constexpr char kStartSearchText[] = "Start Search";
inline constexpr char kSearchingText[] = "Searching...";
inline constexpr char kIdleText[] =
    "Click Start Search to see a list of games.  Click Create to start your own game.";
inline constexpr char kLookingText[] = "Looking for games...";
inline constexpr char kDescriptionLabel[] = "Enter Game Description:";
inline constexpr char kMigrateHostText[] = "Migrate Host";
inline constexpr char kLobbyWaitText[] = "Waiting for lobby connection...";
inline constexpr char kLobbyCancelText[] = "&Cancel";
inline constexpr char kNoPlayerNameText[] = "You must enter a valid player name.";
inline constexpr char kSearchFailedText[] = "Error enumerating DirectPlay games.";
inline constexpr char kNoGamesText[] = "There are no games to join.";
inline constexpr char kJoinFailedText[] = "Unable to join game.";
inline constexpr char kCreateFailedText[] = "Unable to create game.";

// One game found by the search.
struct WizardHost {
  peer::SessionInfo session;
  std::string address;  // where the host answered from, as StartJoin takes it
  std::uint16_t port = 0;
  std::string listText;
  std::int64_t lastHeardMs = 0;
  bool valid = false;
};

// "%s (%d/%d) (%dms)", or "%s (%d) (%dms)" for a game without a player limit.
std::string HostListText(const peer::HostReply& reply);

// What the wizard asks of the desktop; Defaults() gives the real ones.
struct WizardServices {
  std::function<std::int64_t()> nowMs;  // a steady clock, milliseconds
  // Shows a message box (error icon) and returns once it was dismissed.
  std::function<void(const std::string& caption, const std::string& text)> showMessage;
  std::string localAddress;                // shown in the dialogs' titles
  std::vector<peer::Provider> providers;   // the connection types offered
  std::string lobbySocketPath;             // empty: LobbySocketPath()
  static WizardServices Defaults();
};

enum class WizardDialog {
  kNone,        // not running, or ended
  kConnect,     // 10001
  kGames,       // 10002
  kCreateGame,  // 10003, over the games dialog
  kLobbyWait,   // 10004, over the connect dialog
};
// The dialog's number (10001..10004); 0 for kNone.
constexpr int DialogNumber(WizardDialog dialog) {
  return dialog == WizardDialog::kNone ? 0 : 10000 + static_cast<int>(dialog);
}

class ConnectWizard;

// 10001 "Multiplayer Connect".
class ConnectDialog {
 public:
  explicit ConnectDialog(ConnectWizard& wizard) : wizard_(wizard) {}
  const std::string& title() const { return title_; }
  const std::vector<std::string>& items() const { return items_; }
  int selection() const { return selection_; }
  void Select(int index);
  // OK, or a double-click on an entry.
  void ClickOk();
  // Cancel, or closing the dialog.
  void ClickCancel();

 private:
  friend class ConnectWizard;
  void Open();
  ConnectWizard& wizard_;
  std::string title_;
  std::vector<std::string> items_;
  int selection_ = -1;
};

// 10003 "Create Game Settings".
class CreateGameDialog {
 public:
  explicit CreateGameDialog(ConnectWizard& wizard) : wizard_(wizard) {}
  std::string description;  // the editable box
  bool migrateHost = true;  // the hidden "Migrate Host" box
  void ClickOk();           // nothing while the description is empty
  void ClickCancel();

 private:
  friend class GamesDialog;
  ConnectWizard& wizard_;
};

// 10002 "Multiplayer Games".
class GamesDialog {
 public:
  explicit GamesDialog(ConnectWizard& wizard) : wizard_(wizard) {}
  struct Item {
    std::string text;
    std::optional<std::uint64_t> instance;  // the game behind the entry; none for the idle text
  };
  const std::string& title() const { return title_; }
  const std::vector<Item>& items() const { return items_; }
  int selection() const { return selection_; }
  void Select(int index);
  // Where to search: empty asks the local network; "host" or "host:port"
  // asks that host (on peer::kDefaultPort unless given). Read at Start Search.
  std::string address;
  bool searching() const { return searching_; }
  const char* searchButtonText() const { return searching_ ? kSearchingText : kStartSearchText; }
  bool joinEnabled() const { return joinEnabled_; }
  bool createEnabled() const { return createEnabled_; }
  bool connecting() const { return connecting_; }
  bool timer1Running() const { return timer1_; }
  bool timer2Running() const { return timer2_; }

  void ClickSearch();  // the push-like "Start Search" box: flips searching
  void Timer1();       // kSearchTimerMs while searching: drops stale games, redraws
  void ClickJoin();    // Join, or a double-click on an entry
  void Timer2();       // kJoinTimerMs while a join runs
  void ClickCreate();  // opens "Create Game Settings"
  void ClickCancel();  // back to the connection type
  void Close();        // closing the dialog quits the wizard

 private:
  friend class ConnectWizard;
  friend class CreateGameDialog;
  void Open();
  void Destroy();
  void StopSearch();
  void ShowIdleText();
  void Redraw();
  void Create(const std::string& description, bool migrateHost);

  ConnectWizard& wizard_;
  std::string title_;
  std::vector<Item> items_;
  int selection_ = -1;
  bool searching_ = false;
  bool joinEnabled_ = false;
  bool createEnabled_ = true;
  bool connecting_ = false;
  bool timer1_ = false;
  bool timer2_ = false;
};

// 10004 "Lobby Connection Status".
class LobbyWaitDialog {
 public:
  explicit LobbyWaitDialog(ConnectWizard& wizard) : wizard_(wizard) {}
  const char* text() const { return kLobbyWaitText; }
  void Timer2();       // kJoinTimerMs: takes the lobby's settings once they came
  void ClickCancel();  // "&Cancel", or closing the dialog

 private:
  ConnectWizard& wizard_;
};

class ConnectWizard {
 public:
  explicit ConnectWizard(WizardServices services);
  ~ConnectWizard();
  ConnectWizard(const ConnectWizard&) = delete;
  ConnectWizard& operator=(const ConnectWizard&) = delete;

  // The session the wizard searches, joins and hosts with. Its callbacks'
  // hostReply must reach OnHostReply while the wizard exists.
  void SetSession(peer::PeerSession* session) { session_ = session; }
  // Network thread: a host answered the search.
  void OnHostReply(const peer::HostReply& reply);

  // Settings before Begin (each cut to kWizardTextMax), results after.
  void SetPlayerName(const std::string& name);
  void SetSessionName(const std::string& name);
  void SetProviderName(const std::string& name);
  void SetHostPort(std::uint16_t port) { hostPort_ = port; }  // 0: peer::kDefaultPort
  const std::string& playerName() const { return playerName_; }
  const std::string& sessionName() const { return sessionName_; }
  const std::string& providerName() const { return providerName_; }
  std::uint16_t hostPort() const { return hostPort_; }

  const std::string& title() const { return title_; }
  const peer::AppId& applicationId() const { return appId_; }
  int maxPlayers() const { return maxPlayers_; }
  int staleAgeMs() const { return staleAgeMs_; }
  bool migrateHost() const { return migrateHost_; }
  std::int64_t now() const { return services_.nowMs(); }

  // Starts at the first dialog. The window draws dialog() until done().
  void Begin();
  WizardDialog dialog() const;
  bool done() const { return done_; }
  // The result of the last dialog: kWizardForward when the player joined or
  // created a game (isHost tells which), kWizardQuit when they gave up,
  // kWizardLobbyConnect when a lobby's settings came (lobbySettings), or a
  // failure.
  std::uint32_t result() const { return result_; }
  bool isHost() const { return isHost_; }
  // Ends the wizard from outside, e.g. when its window could not be shown.
  void Fail(std::uint32_t code = kWizardFailed);

  ConnectDialog& connectDialog() { return connect_; }
  GamesDialog& gamesDialog() { return games_; }
  CreateGameDialog& createDialog() { return create_; }
  LobbyWaitDialog& lobbyDialog() { return lobbyWait_; }

  // The lobby's settings, once the wizard ended with kWizardLobbyConnect (or
  // given from outside, as for a game a lobby started).
  const std::optional<LobbySettings>& lobbySettings() const { return lobbySettings_; }
  void SetLobbySettings(const LobbySettings& settings);
  // Hosts or joins as the lobby's settings say. A join waits until it ends;
  // a failed one shows "Unable to join game.". False without settings or on
  // failure; isHost tells which it was.
  bool ConnectWithLobbySettings();

  // Tests: the games found so far, newest first, and the redraw flag.
  std::vector<WizardHost> hostsSnapshot() const;
  bool hostsChanged() const;

 private:
  friend class ConnectDialog;
  friend class GamesDialog;
  friend class CreateGameDialog;
  friend class LobbyWaitDialog;

  void EndDialog(std::uint32_t code);
  void OpenStep();
  void Message(const std::string& text) const;
  void OpenLobbyWait();
  void EndLobbyWait(bool connected);

  WizardServices services_;
  peer::PeerSession* session_ = nullptr;
  const std::string title_ = kWizardTitle;
  const peer::AppId appId_ = kApplicationId;
  const int maxPlayers_ = kWizardMaxPlayers;
  std::string playerName_;
  std::string sessionName_;
  std::string providerName_;
  std::uint16_t hostPort_ = 0;
  int staleAgeMs_ = kStaleAgeMs;
  bool migrateHost_ = true;
  bool isHost_ = false;

  mutable std::mutex hostsMutex_;
  std::vector<WizardHost> hosts_;  // newest first
  bool hostsChanged_ = false;

  int step_ = 0;
  bool done_ = true;
  std::uint32_t result_ = 0;
  bool createOpen_ = false;
  bool lobbyWaitOpen_ = false;
  std::unique_ptr<LobbyLink> lobby_;
  std::optional<LobbySettings> lobbySettings_;

  ConnectDialog connect_{*this};
  GamesDialog games_{*this};
  CreateGameDialog create_{*this};
  LobbyWaitDialog lobbyWait_{*this};
};

}  // namespace halvex::net
