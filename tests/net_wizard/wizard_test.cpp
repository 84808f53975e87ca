// Drives the connect wizard's dialogs the way the window does, against a
// recording session and a clock the tests move.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "net/wizard/connect_wizard.h"
#include "tests/net_wizard/fake_peer.h"

namespace halvex::net {
namespace {

using test::FakePeerSession;

struct Shown {
  std::string caption, text;
};

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    socketDir_ = std::filesystem::temp_directory_path() /
                 ("halvex-wizard-test-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(socketDir_);
    WizardServices s;
    s.nowMs = [this] { return clock_.load(); };
    s.showMessage = [this](const std::string& caption, const std::string& text) {
      shown_.push_back({caption, text});
    };
    s.localAddress = "192.0.2.7";
    s.providers = {{peer::Transport::kUdpIPv4, "UDP/IP (IPv4)"}};
    s.lobbySocketPath = (socketDir_ / "lobby.sock").string();
    wizard_ = std::make_unique<ConnectWizard>(std::move(s));
    wizard_->SetSession(&session_);
    wizard_->SetPlayerName("Ragnhild");
    wizard_->SetSessionName("Ragnhild's Game");
    wizard_->SetProviderName("DirectPlay8 TCP/IP Service Provider");
  }
  void TearDown() override { std::filesystem::remove_all(socketDir_); }

  // From the connection type to the games dialog.
  GamesDialog& ToGames() {
    wizard_->Begin();
    wizard_->connectDialog().ClickOk();
    EXPECT_EQ(wizard_->dialog(), WizardDialog::kGames);
    return wizard_->gamesDialog();
  }
  GamesDialog& Searching(const std::string& address = "127.0.0.1") {
    GamesDialog& games = ToGames();
    games.address = address;
    games.ClickSearch();
    EXPECT_TRUE(games.searching());
    return games;
  }
  static peer::HostReply Reply(const std::string& name, std::uint64_t instance, int players = 1, int max = 32,
                               int rtt = 12) {
    peer::HostReply r;
    r.session.sessionName = name;
    r.session.players = players;
    r.session.maxPlayers = max;
    r.session.instance = instance;
    r.address = "127.0.0.1";
    r.port = static_cast<std::uint16_t>(40000 + instance);
    r.roundTripMs = rtt;
    return r;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& item : wizard_->gamesDialog().items()) out.push_back(item.text);
    return out;
  }

  std::atomic<std::int64_t> clock_{100000};
  std::vector<Shown> shown_;
  FakePeerSession session_;
  std::filesystem::path socketDir_;
  std::unique_ptr<ConnectWizard> wizard_;
};

TEST(HostListTextTest, ShowsTheLimitOnlyWhenThereIsOne) {
  peer::HostReply r;
  r.session.sessionName = "Ragnhild's Game";
  r.session.players = 3;
  r.session.maxPlayers = 32;
  r.roundTripMs = 17;
  EXPECT_EQ(HostListText(r), "Ragnhild's Game (3/32) (17ms)");
  r.session.maxPlayers = 0;
  EXPECT_EQ(HostListText(r), "Ragnhild's Game (3) (17ms)");
}

TEST_F(WizardTest, ConnectDialogListsTheTypesAndTheLobbyWait) {
  wizard_->Begin();
  ConnectDialog& d = wizard_->connectDialog();
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kConnect);
  EXPECT_EQ(d.title(), "Varnholt - Halvex - Multiplayer Connect - 192.0.2.7");
  EXPECT_EQ(d.items(), (std::vector<std::string>{"UDP/IP (IPv4)", "Wait for Lobby Connection"}));
  // The remembered name is not offered here: the first entry is selected.
  EXPECT_EQ(d.selection(), 0);
  EXPECT_EQ(wizard_->maxPlayers(), 32);
  EXPECT_EQ(wizard_->staleAgeMs(), 3 * peer::kQueryRetryMs);

  // A remembered type that is offered is selected again.
  wizard_->SetProviderName("Wait for Lobby Connection");
  wizard_->Begin();
  EXPECT_EQ(d.selection(), 1);
}

TEST_F(WizardTest, EmptyPlayerNameIsRefusedAndTheDialogStays) {
  wizard_->SetPlayerName("");
  wizard_->Begin();
  wizard_->connectDialog().ClickOk();
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].caption, "Varnholt - Halvex");
  EXPECT_EQ(shown_[0].text, "You must enter a valid player name.");
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kConnect);
  EXPECT_FALSE(wizard_->done());
}

TEST_F(WizardTest, ChosenTypeGoesForwardAndIsRemembered) {
  GamesDialog& games = ToGames();
  EXPECT_EQ(wizard_->providerName(), "UDP/IP (IPv4)");
  EXPECT_EQ(games.title(), "Varnholt - Halvex - Multiplayer Games - 192.0.2.7");
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "Click Start Search to see a list of games.  Click Create to start your own game."}));
  EXPECT_FALSE(games.joinEnabled());
  EXPECT_TRUE(games.createEnabled());
  EXPECT_FALSE(games.searching());
  EXPECT_STREQ(games.searchButtonText(), "Start Search");
  EXPECT_TRUE(shown_.empty());
}

TEST_F(WizardTest, CancelInGamesGoesBackAndCancelThereQuits) {
  GamesDialog& games = Searching();
  games.ClickCancel();
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kConnect);
  EXPECT_FALSE(wizard_->done());
  EXPECT_EQ(session_.stopCalls, 1);  // leaving the games dialog ends its search
  EXPECT_EQ(wizard_->connectDialog().selection(), 0);
  wizard_->connectDialog().ClickCancel();
  EXPECT_TRUE(wizard_->done());
  EXPECT_EQ(wizard_->result(), kWizardQuit);
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kNone);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(WizardTest, ClosingTheGamesDialogQuits) {
  GamesDialog& games = Searching();
  games.Close();
  EXPECT_TRUE(wizard_->done());
  EXPECT_EQ(wizard_->result(), kWizardQuit);
  EXPECT_FALSE(session_.querying);
}

TEST_F(WizardTest, SearchAsksTheAddressTypedOrTheLocalNetwork) {
  GamesDialog& games = Searching("127.0.0.1:40001");
  ASSERT_EQ(session_.queryCalls.size(), 1u);
  EXPECT_EQ(session_.queryCalls[0].address, "127.0.0.1");
  EXPECT_EQ(session_.queryCalls[0].port, 40001);
  EXPECT_STREQ(games.searchButtonText(), "Searching...");
  EXPECT_TRUE(games.timer1Running());
  EXPECT_EQ(Texts(), std::vector<std::string>{"Looking for games..."});

  // The second click stops it and shows the idle text again.
  games.ClickSearch();
  EXPECT_FALSE(games.searching());
  EXPECT_FALSE(games.timer1Running());
  EXPECT_EQ(session_.stopCalls, 1);
  EXPECT_STREQ(games.searchButtonText(), "Start Search");
  EXPECT_EQ(Texts()[0], kIdleText);

  games.address = "  ";
  games.ClickSearch();
  ASSERT_EQ(session_.queryCalls.size(), 2u);
  EXPECT_EQ(session_.queryCalls[1].address, "");
  EXPECT_EQ(session_.queryCalls[1].port, peer::kDefaultPort);
}

TEST_F(WizardTest, SearchThatCannotStartSaysSoAndStaysOff) {
  GamesDialog& games = ToGames();
  for (const char* address : {"127.0.0.1:99999", "127.0.0.1:x", "bad host"}) {
    games.address = address;
    games.ClickSearch();
    EXPECT_FALSE(games.searching()) << address;
  }
  EXPECT_TRUE(session_.queryCalls.empty());
  session_.queryStarts = false;
  games.address = "127.0.0.1";
  games.ClickSearch();
  EXPECT_EQ(session_.queryCalls.size(), 1u);
  EXPECT_FALSE(games.searching());
  EXPECT_FALSE(games.timer1Running());
  ASSERT_EQ(shown_.size(), 4u);
  for (const Shown& s : shown_) EXPECT_EQ(s.text, "Error enumerating DirectPlay games.");
  EXPECT_EQ(Texts()[0], kIdleText);
}

TEST_F(WizardTest, FoundGamesAreListedNewestFirstAndTheSelectionStays) {
  GamesDialog& games = Searching();
  wizard_->OnHostReply(Reply("Ragnhild's Game", 1, 3, 32, 17));
  games.Timer1();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Ragnhild's Game (3/32) (17ms)"});
  EXPECT_TRUE(games.joinEnabled());
  EXPECT_FALSE(wizard_->hostsChanged());

  wizard_->OnHostReply(Reply("Open Field", 2, 5, 0, 40));
  games.Timer1();
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Open Field (5) (40ms)", "Ragnhild's Game (3/32) (17ms)"}));
  // The first game stayed selected though it moved down.
  EXPECT_EQ(games.selection(), 1);
  EXPECT_EQ(games.items()[1].instance, 1u);

  // The same game answering again updates its entry, no new one.
  games.Select(0);
  wizard_->OnHostReply(Reply("Open Field", 2, 6, 0, 41));
  games.Timer1();
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Open Field (6) (41ms)", "Ragnhild's Game (3/32) (17ms)"}));
  EXPECT_EQ(games.selection(), 0);
  EXPECT_EQ(wizard_->hostsSnapshot().size(), 2u);
}

TEST_F(WizardTest, GameThatStopsAnsweringGoesAfterThreeRetries) {
  GamesDialog& games = Searching();
  wizard_->OnHostReply(Reply("Quiet", 1));
  wizard_->OnHostReply(Reply("Loud", 2));
  games.Timer1();
  ASSERT_EQ(Texts().size(), 2u);
  games.Select(1);  // "Quiet"

  const std::int64_t heard = clock_;
  clock_ = heard + 3 * peer::kQueryRetryMs - 1000;
  wizard_->OnHostReply(Reply("Loud", 2));  // Loud keeps answering
  clock_ = heard + 3 * peer::kQueryRetryMs;
  games.Timer1();
  EXPECT_EQ(Texts().size(), 2u);  // exactly the stale age: not yet
  clock_ = heard + 3 * peer::kQueryRetryMs + 1;
  games.Timer1();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Loud (1/32) (12ms)"});
  EXPECT_EQ(games.selection(), 0);

  clock_ = clock_ + 3 * peer::kQueryRetryMs;
  games.Timer1();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Looking for games..."});
  EXPECT_FALSE(games.joinEnabled());

  // A new game takes the place of a gone one instead of growing the list.
  wizard_->OnHostReply(Reply("Fresh", 3));
  games.Timer1();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Fresh (1/32) (12ms)"});
  EXPECT_EQ(wizard_->hostsSnapshot().size(), 2u);
}

TEST_F(WizardTest, JoinWaitsForTheSessionThenGoesForward) {
  GamesDialog& games = Searching();
  wizard_->OnHostReply(Reply("Ragnhild's Game", 7));
  games.Timer1();
  games.ClickJoin();
  ASSERT_EQ(session_.joinCalls.size(), 1u);
  EXPECT_EQ(session_.joinCalls[0].playerName, "Ragnhild");
  EXPECT_EQ(session_.joinCalls[0].address, "127.0.0.1");
  EXPECT_EQ(session_.joinCalls[0].port, 40007);
  EXPECT_TRUE(games.timer2Running());
  EXPECT_FALSE(games.joinEnabled());
  EXPECT_FALSE(games.createEnabled());
  // A redraw while joining keeps Join off.
  wizard_->OnHostReply(Reply("Ragnhild's Game", 7, 2));
  games.Timer1();
  EXPECT_FALSE(games.joinEnabled());

  games.Timer2();
  EXPECT_FALSE(wizard_->done());
  session_.state = peer::JoinState::kJoined;
  games.Timer2();
  EXPECT_TRUE(wizard_->done());
  EXPECT_EQ(wizard_->result(), kWizardForward);
  EXPECT_FALSE(wizard_->isHost());
  EXPECT_FALSE(session_.querying);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(WizardTest, FailedJoinSaysSoAndTheDialogStays) {
  GamesDialog& games = Searching();
  wizard_->OnHostReply(Reply("Ragnhild's Game", 7));
  games.Timer1();
  games.ClickJoin();
  session_.state = peer::JoinState::kFailed;
  games.Timer2();
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Unable to join game.");
  EXPECT_FALSE(wizard_->done());
  EXPECT_FALSE(games.timer2Running());
  EXPECT_TRUE(games.createEnabled());
  EXPECT_TRUE(games.joinEnabled());

  // A join that cannot even start says the same.
  session_.joinStarts = false;
  games.ClickJoin();
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[1].text, "Unable to join game.");
  EXPECT_FALSE(games.timer2Running());
}

TEST_F(WizardTest, JoinWithoutAGameSaysThereIsNone) {
  GamesDialog& games = Searching();
  games.ClickJoin();  // the selected entry is "Looking for games..."
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "There are no games to join.");
  EXPECT_TRUE(session_.joinCalls.empty());
}

TEST_F(WizardTest, CreateHostsThirtyTwoPlayersWithHostMigration) {
  GamesDialog& games = Searching();
  wizard_->SetHostPort(40123);
  games.ClickCreate();
  ASSERT_EQ(wizard_->dialog(), WizardDialog::kCreateGame);
  CreateGameDialog& create = wizard_->createDialog();
  EXPECT_EQ(create.description, "Ragnhild's Game");
  EXPECT_TRUE(create.migrateHost);

  create.description.clear();
  create.ClickOk();  // nothing without a description
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kCreateGame);
  EXPECT_TRUE(session_.hostCalls.empty());

  create.description = "Evening Match";
  create.ClickOk();
  ASSERT_EQ(session_.hostCalls.size(), 1u);
  const auto& call = session_.hostCalls[0];
  EXPECT_EQ(call.playerName, "Ragnhild");
  EXPECT_EQ(call.session.sessionName, "Evening Match");
  EXPECT_EQ(call.session.maxPlayers, 32);
  EXPECT_TRUE(call.session.migrateHost);
  EXPECT_NE(call.session.instance, 0u);
  EXPECT_EQ(call.port, 40123);
  EXPECT_FALSE(session_.querying);  // the search stopped before hosting
  EXPECT_TRUE(wizard_->done());
  EXPECT_EQ(wizard_->result(), kWizardForward);
  EXPECT_TRUE(wizard_->isHost());
  EXPECT_EQ(wizard_->sessionName(), "Evening Match");
}

TEST_F(WizardTest, FailedOrCancelledCreateStaysInTheGames) {
  GamesDialog& games = ToGames();
  games.ClickCreate();
  wizard_->createDialog().ClickCancel();
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kGames);
  EXPECT_TRUE(session_.hostCalls.empty());

  session_.hostSucceeds = false;
  games.ClickCreate();
  wizard_->createDialog().ClickOk();
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Unable to create game.");
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kGames);
  EXPECT_FALSE(wizard_->isHost());
  EXPECT_FALSE(wizard_->done());
}

TEST_F(WizardTest, LongNamesAreCut) {
  wizard_->SetPlayerName(std::string(400, 'p'));
  wizard_->SetSessionName(std::string(400, 's'));
  EXPECT_EQ(wizard_->playerName().size(), kWizardTextMax);
  EXPECT_EQ(wizard_->sessionName().size(), kWizardTextMax);
}

// ------------------------------------------------------------- lobby wait

TEST_F(WizardTest, LobbyWaitEndsWithTheLobbysSettings) {
  wizard_->Begin();
  ConnectDialog& connect = wizard_->connectDialog();
  connect.Select(1);
  connect.ClickOk();
  ASSERT_EQ(wizard_->dialog(), WizardDialog::kLobbyWait) << (shown_.empty() ? "" : shown_[0].text);
  EXPECT_STREQ(wizard_->lobbyDialog().text(), "Waiting for lobby connection...");
  const std::string path = (socketDir_ / "lobby.sock").string();
  EXPECT_TRUE(std::filesystem::exists(path));
  wizard_->lobbyDialog().Timer2();  // nothing yet: still waiting
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kLobbyWait);

  LobbySettings sent;
  sent.host = false;
  sent.address = "127.0.0.1";
  sent.port = 40555;
  sent.playerName = "Eirik";
  std::atomic<bool> delivered{false};
  std::string error;
  std::thread lobby([&] { delivered = DeliverLobbySettings(path, sent, 30000, &error); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!wizard_->done() && std::chrono::steady_clock::now() < deadline) {
    wizard_->lobbyDialog().Timer2();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  lobby.join();
  EXPECT_TRUE(delivered) << error;
  ASSERT_TRUE(wizard_->done());
  EXPECT_EQ(wizard_->result(), kWizardLobbyConnect);
  ASSERT_TRUE(wizard_->lobbySettings());
  EXPECT_EQ(wizard_->lobbySettings()->address, "127.0.0.1");
  EXPECT_EQ(wizard_->lobbySettings()->port, 40555);
  EXPECT_EQ(wizard_->playerName(), "Eirik");
  EXPECT_FALSE(std::filesystem::exists(path));  // no longer available to lobbies
  EXPECT_TRUE(shown_.empty());
}

TEST_F(WizardTest, CancelledLobbyWaitReturnsToTheConnectionType) {
  wizard_->Begin();
  wizard_->connectDialog().Select(1);
  wizard_->connectDialog().ClickOk();
  ASSERT_EQ(wizard_->dialog(), WizardDialog::kLobbyWait);
  wizard_->lobbyDialog().ClickCancel();
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kConnect);
  EXPECT_FALSE(std::filesystem::exists(socketDir_ / "lobby.sock"));
  // The lobby entry is remembered as the chosen type.
  EXPECT_EQ(wizard_->providerName(), "Wait for Lobby Connection");
}

TEST_F(WizardTest, LobbyWaitThatCannotListenStaysInTheConnectDialog) {
  LobbyLink other((socketDir_ / "lobby.sock").string());
  std::string error;
  ASSERT_TRUE(other.Listen(&error)) << error;
  wizard_->Begin();
  wizard_->connectDialog().Select(1);
  wizard_->connectDialog().ClickOk();
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kConnect);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_NE(shown_[0].text.find("lobby"), std::string::npos);
  EXPECT_TRUE(other.listening());
}

TEST_F(WizardTest, LobbySettingsHostOrJoin) {
  LobbySettings host;
  host.host = true;
  host.playerName = "Eirik";
  host.sessionName = "Eirik's Game";
  host.port = 40600;
  wizard_->SetLobbySettings(host);
  ASSERT_TRUE(wizard_->ConnectWithLobbySettings());
  ASSERT_EQ(session_.hostCalls.size(), 1u);
  EXPECT_EQ(session_.hostCalls[0].playerName, "Eirik");
  EXPECT_EQ(session_.hostCalls[0].session.sessionName, "Eirik's Game");
  EXPECT_EQ(session_.hostCalls[0].session.maxPlayers, 32);
  EXPECT_TRUE(session_.hostCalls[0].session.migrateHost);
  EXPECT_EQ(session_.hostCalls[0].port, 40600);
  EXPECT_TRUE(wizard_->isHost());

  LobbySettings join;
  join.address = "127.0.0.1";
  join.port = 40601;
  wizard_->SetLobbySettings(join);
  EXPECT_EQ(wizard_->playerName(), "Unknown player name");
  // The join ends on another thread a little later; the connect waits for it.
  std::thread network([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (session_.state != peer::JoinState::kPending && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    session_.state = peer::JoinState::kJoined;
  });
  EXPECT_TRUE(wizard_->ConnectWithLobbySettings());
  network.join();
  EXPECT_FALSE(wizard_->isHost());
  ASSERT_EQ(session_.joinCalls.size(), 1u);
  EXPECT_EQ(session_.joinCalls[0].address, "127.0.0.1");
  EXPECT_EQ(session_.joinCalls[0].port, 40601);

  session_.joinStarts = false;
  EXPECT_FALSE(wizard_->ConnectWithLobbySettings());
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Unable to join game.");
}

}  // namespace
}  // namespace halvex::net
