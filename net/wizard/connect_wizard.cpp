#include "net/wizard/connect_wizard.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

namespace halvex::net {

namespace {

std::string Cut(const std::string& text, std::size_t max) { return text.size() > max ? text.substr(0, max) : text; }

std::string DialogTitle(const std::string& wizardTitle, const char* dialog, const std::string& address) {
  return wizardTitle + " - " + dialog + " - " + address;
}

// Sessions tell each other apart by this number, so it must not repeat
// between two games hosted one after the other.
std::uint64_t NewInstance() {
  std::random_device device;
  std::uint64_t value = 0;
  while (value == 0) value = (std::uint64_t{device()} << 32) ^ device();
  return value;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string HostListText(const peer::HostReply& reply) {
  const peer::SessionInfo& s = reply.session;
  char text[512];
  if (s.maxPlayers == 0) {
    std::snprintf(text, sizeof text, "%s (%d) (%dms)", s.sessionName.c_str(), s.players, reply.roundTripMs);
  } else {
    std::snprintf(text, sizeof text, "%s (%d/%d) (%dms)", s.sessionName.c_str(), s.players, s.maxPlayers,
                  reply.roundTripMs);
  }
  return text;
}

// ------------------------------------------------------------------ wizard

ConnectWizard::ConnectWizard(WizardServices services) : services_(std::move(services)) {
  if (!services_.nowMs) {
    services_.nowMs = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  }
  if (!services_.showMessage) {
    services_.showMessage = [](const std::string& caption, const std::string& text) {
      std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    };
  }
}

ConnectWizard::~ConnectWizard() = default;

void ConnectWizard::SetPlayerName(const std::string& name) { playerName_ = Cut(name, kWizardTextMax); }
void ConnectWizard::SetSessionName(const std::string& name) { sessionName_ = Cut(name, kWizardTextMax); }
void ConnectWizard::SetProviderName(const std::string& name) { providerName_ = Cut(name, kWizardTextMax); }

void ConnectWizard::Message(const std::string& text) const { services_.showMessage(title_, text); }

void ConnectWizard::OnHostReply(const peer::HostReply& reply) {
  const std::int64_t now = services_.nowMs();
  std::lock_guard<std::mutex> lock(hostsMutex_);
  WizardHost* entry = nullptr;
  for (WizardHost& h : hosts_) {
    if (h.session.instance == reply.session.instance) {
      entry = &h;
      break;
    }
  }
  if (!entry) {
    for (WizardHost& h : hosts_) {
      if (!h.valid) {
        entry = &h;
        break;
      }
    }
  }
  if (!entry) {
    hosts_.insert(hosts_.begin(), WizardHost{});
    entry = &hosts_.front();
    hostsChanged_ = true;
  }
  entry->session = reply.session;
  entry->address = reply.address;
  entry->port = reply.port;
  entry->lastHeardMs = now;
  std::string text = HostListText(reply);
  if (text != entry->listText) {
    entry->listText = std::move(text);
    hostsChanged_ = true;
  }
  entry->valid = true;
}

std::vector<WizardHost> ConnectWizard::hostsSnapshot() const {
  std::lock_guard<std::mutex> lock(hostsMutex_);
  return hosts_;
}

bool ConnectWizard::hostsChanged() const {
  std::lock_guard<std::mutex> lock(hostsMutex_);
  return hostsChanged_;
}

void ConnectWizard::Begin() {
  done_ = false;
  step_ = 0;
  result_ = 0;
  isHost_ = false;
  createOpen_ = false;
  lobbyWaitOpen_ = false;
  lobby_.reset();
  lobbySettings_.reset();
  OpenStep();
}

WizardDialog ConnectWizard::dialog() const {
  if (done_) return WizardDialog::kNone;
  if (step_ == 0) return lobbyWaitOpen_ ? WizardDialog::kLobbyWait : WizardDialog::kConnect;
  return createOpen_ ? WizardDialog::kCreateGame : WizardDialog::kGames;
}

void ConnectWizard::OpenStep() {
  if (step_ == 0) {
    connect_.Open();
  } else {
    games_.Open();
  }
}

void ConnectWizard::EndDialog(std::uint32_t code) {
  if (done_) return;
  if (step_ == 1) games_.Destroy();
  createOpen_ = false;
  lobbyWaitOpen_ = false;
  lobby_.reset();
  result_ = code;
  if (code == kWizardForward) {
    if (++step_ >= 2) {
      done_ = true;
      return;
    }
    OpenStep();
  } else if (code == kWizardGoBack) {
    if (step_ > 0) --step_;
    OpenStep();
  } else {
    done_ = true;
  }
}

void ConnectWizard::Fail(std::uint32_t code) {
  if (!done_ && step_ == 1) games_.Destroy();
  createOpen_ = false;
  lobbyWaitOpen_ = false;
  lobby_.reset();
  done_ = true;
  result_ = code;
}

void ConnectWizard::OpenLobbyWait() {
  lobby_ = std::make_unique<LobbyLink>(services_.lobbySocketPath.empty() ? LobbySocketPath()
                                                                         : services_.lobbySocketPath);
  std::string error;
  if (!lobby_->Listen(&error)) {
    lobby_.reset();
    Message("Unable to wait for a lobby connection: " + error);
    return;
  }
  lobbyWaitOpen_ = true;
}

void ConnectWizard::EndLobbyWait(bool connected) {
  lobby_.reset();
  lobbyWaitOpen_ = false;
  if (connected) EndDialog(kWizardLobbyConnect);
}

void ConnectWizard::SetLobbySettings(const LobbySettings& settings) {
  lobbySettings_ = settings;
  playerName_ = Cut(settings.playerName, kWizardTextMax);
  if (settings.host) sessionName_ = Cut(settings.sessionName, kWizardTextMax);
}

bool ConnectWizard::ConnectWithLobbySettings() {
  if (!lobbySettings_ || !session_) return false;
  const LobbySettings& s = *lobbySettings_;
  std::string error;
  if (s.host) {
    isHost_ = true;
    peer::SessionInfo info;
    info.sessionName = sessionName_;
    info.maxPlayers = maxPlayers_;
    info.migrateHost = true;
    info.instance = NewInstance();
    if (session_->Host(playerName_, info, s.port, &error)) return true;
    isHost_ = false;
    return false;
  }
  isHost_ = false;
  if (session_->StartJoin(playerName_, s.address, s.port, &error)) {
    // The join ends on the network thread, in success or failure.
    while (session_->joinState() == peer::JoinState::kPending) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (session_->joinState() == peer::JoinState::kJoined) return true;
  }
  Message(kJoinFailedText);
  return false;
}

// ------------------------------------------------------------------ 10001

void ConnectDialog::Open() {
  title_ = DialogTitle(wizard_.title_, kConnectDialogName, wizard_.services_.localAddress);
  items_.clear();
  for (const peer::Provider& p : wizard_.services_.providers) items_.push_back(p.name);
  items_.push_back(kLobbyEntry);
  selection_ = 0;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == wizard_.providerName_) {
      selection_ = static_cast<int>(i);
      break;
    }
  }
}

void ConnectDialog::Select(int index) {
  if (index >= 0 && index < static_cast<int>(items_.size())) selection_ = index;
}

void ConnectDialog::ClickOk() {
  if (wizard_.dialog() != WizardDialog::kConnect) return;
  // The name comes from the options dialog: this dialog's name box is hidden.
  if (wizard_.playerName_.empty()) {
    wizard_.Message(kNoPlayerNameText);
    return;
  }
  if (selection_ < 0 || selection_ >= static_cast<int>(items_.size())) return;
  wizard_.providerName_ = Cut(items_[static_cast<std::size_t>(selection_)], kWizardTextMax);
  if (selection_ == static_cast<int>(items_.size()) - 1) {
    wizard_.OpenLobbyWait();
    return;
  }
  wizard_.staleAgeMs_ = 3 * peer::kQueryRetryMs;
  wizard_.EndDialog(kWizardForward);
}

void ConnectDialog::ClickCancel() {
  if (wizard_.dialog() == WizardDialog::kConnect) wizard_.EndDialog(kWizardQuit);
}

// ------------------------------------------------------------------ 10004

void LobbyWaitDialog::Timer2() {
  if (wizard_.dialog() != WizardDialog::kLobbyWait || !wizard_.lobby_) return;
  if (std::optional<LobbySettings> settings = wizard_.lobby_->Poll(0)) {
    wizard_.SetLobbySettings(*settings);
    wizard_.EndLobbyWait(true);
  }
}

void LobbyWaitDialog::ClickCancel() {
  if (wizard_.dialog() == WizardDialog::kLobbyWait) wizard_.EndLobbyWait(false);
}

// ------------------------------------------------------------------ 10002

void GamesDialog::Open() {
  title_ = DialogTitle(wizard_.title_, kGamesDialogName, wizard_.services_.localAddress);
  searching_ = false;
  connecting_ = false;
  timer1_ = false;
  timer2_ = false;
  createEnabled_ = true;
  ShowIdleText();
}

void GamesDialog::Destroy() {
  timer1_ = false;
  timer2_ = false;
  if (searching_) StopSearch();
  connecting_ = false;
}

void GamesDialog::Select(int index) {
  if (index >= 0 && index < static_cast<int>(items_.size())) selection_ = index;
}

void GamesDialog::ShowIdleText() {
  items_.assign(1, Item{searching_ ? kLookingText : kIdleText, std::nullopt});
  selection_ = 0;
  joinEnabled_ = false;
}

void GamesDialog::StopSearch() {
  searching_ = false;
  timer1_ = false;
  if (wizard_.session_) wizard_.session_->StopQuery();
  ShowIdleText();
}

void GamesDialog::ClickSearch() {
  if (wizard_.dialog() != WizardDialog::kGames) return;
  if (searching_) {
    StopSearch();
    return;
  }
  searching_ = true;
  std::string host;
  std::uint16_t port = 0;
  const std::string text = Trim(address);
  std::string error;
  const bool started = (text.empty() || SplitHostPort(text, &host, &port)) && wizard_.session_ &&
                       wizard_.session_->StartQuery(host, port ? port : peer::kDefaultPort, &error);
  if (!started) {
    searching_ = false;
    timer1_ = false;
    wizard_.Message(kSearchFailedText);
    ShowIdleText();
    return;
  }
  timer1_ = true;
  Redraw();
}

void GamesDialog::Timer1() {
  if (!searching_) return;
  const std::int64_t now = wizard_.services_.nowMs();
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(wizard_.hostsMutex_);
    for (WizardHost& h : wizard_.hosts_) {
      if (h.valid && now - h.lastHeardMs > wizard_.staleAgeMs_) {
        h.valid = false;
        wizard_.hostsChanged_ = true;
      }
    }
    changed = wizard_.hostsChanged_;
  }
  if (changed) Redraw();
}

// Lists the games again, keeping the selected one selected.
void GamesDialog::Redraw() {
  std::optional<std::uint64_t> kept;
  if (selection_ >= 0 && selection_ < static_cast<int>(items_.size())) {
    kept = items_[static_cast<std::size_t>(selection_)].instance;
  }
  std::vector<Item> items;
  {
    std::lock_guard<std::mutex> lock(wizard_.hostsMutex_);
    wizard_.hostsChanged_ = false;
    for (const WizardHost& h : wizard_.hosts_) {
      if (h.valid) items.push_back({h.listText, h.session.instance});
    }
  }
  if (items.empty()) {
    ShowIdleText();
    return;
  }
  items_ = std::move(items);
  selection_ = 0;
  for (std::size_t i = 0; kept && i < items_.size(); ++i) {
    if (items_[i].instance == kept) selection_ = static_cast<int>(i);
  }
  joinEnabled_ = !connecting_;
}

void GamesDialog::ClickJoin() {
  if (wizard_.dialog() != WizardDialog::kGames || connecting_) return;
  std::optional<std::uint64_t> instance;
  if (selection_ >= 0 && selection_ < static_cast<int>(items_.size())) {
    instance = items_[static_cast<std::size_t>(selection_)].instance;
  }
  std::optional<WizardHost> host;
  if (instance) {
    std::lock_guard<std::mutex> lock(wizard_.hostsMutex_);
    for (const WizardHost& h : wizard_.hosts_) {
      if (h.session.instance == *instance) host = h;
    }
  }
  if (!host) {
    wizard_.Message(kNoGamesText);
    return;
  }
  wizard_.isHost_ = false;
  std::string error;
  if (!wizard_.session_ ||
      !wizard_.session_->StartJoin(wizard_.playerName_, host->address, host->port, &error)) {
    wizard_.Message(kJoinFailedText);
    return;
  }
  connecting_ = true;
  timer2_ = true;
  joinEnabled_ = false;
  createEnabled_ = false;
}

void GamesDialog::Timer2() {
  if (!connecting_ || !wizard_.session_) return;
  const peer::JoinState state = wizard_.session_->joinState();
  if (state == peer::JoinState::kPending) return;
  connecting_ = false;
  createEnabled_ = true;
  timer2_ = false;
  if (state == peer::JoinState::kJoined) {
    wizard_.EndDialog(kWizardForward);
    return;
  }
  joinEnabled_ = selection_ >= 0 && selection_ < static_cast<int>(items_.size()) &&
                 items_[static_cast<std::size_t>(selection_)].instance.has_value();
  wizard_.Message(kJoinFailedText);
}

void GamesDialog::ClickCreate() {
  if (wizard_.dialog() != WizardDialog::kGames || connecting_) return;
  wizard_.create_.description = wizard_.sessionName_;
  wizard_.create_.migrateHost = true;
  wizard_.createOpen_ = true;
}

void GamesDialog::Create(const std::string& description, bool migrateHost) {
  wizard_.sessionName_ = Cut(description, kWizardTextMax);
  wizard_.migrateHost_ = migrateHost;
  if (searching_) StopSearch();
  wizard_.isHost_ = true;
  peer::SessionInfo info;
  info.sessionName = wizard_.sessionName_;
  info.maxPlayers = wizard_.maxPlayers_;
  info.migrateHost = migrateHost;
  info.instance = NewInstance();
  std::string error;
  if (wizard_.session_ && wizard_.session_->Host(wizard_.playerName_, info, wizard_.hostPort_, &error)) {
    wizard_.EndDialog(kWizardForward);
    return;
  }
  wizard_.isHost_ = false;
  wizard_.Message(kCreateFailedText);
}

void GamesDialog::ClickCancel() {
  if (wizard_.dialog() == WizardDialog::kGames) wizard_.EndDialog(kWizardGoBack);
}

void GamesDialog::Close() {
  if (wizard_.dialog() == WizardDialog::kGames) wizard_.EndDialog(kWizardQuit);
}

// ------------------------------------------------------------------ 10003

void CreateGameDialog::ClickOk() {
  if (wizard_.dialog() != WizardDialog::kCreateGame || description.empty()) return;
  wizard_.createOpen_ = false;
  wizard_.games_.Create(description, migrateHost);
}

void CreateGameDialog::ClickCancel() {
  if (wizard_.dialog() == WizardDialog::kCreateGame) wizard_.createOpen_ = false;
}

}  // namespace halvex::net
