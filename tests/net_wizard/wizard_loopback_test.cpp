// The wizard against real sessions on this machine (127.0.0.1 only): it
// finds a hosted game, joins it, and hosts one that others find.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <regex>
#include <thread>

#include "net/wizard/connect_wizard.h"

namespace halvex::net {
namespace {

using Clock = std::chrono::steady_clock;

// A UDP port nobody on this machine uses right now.
std::uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

class WizardLoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WizardServices s = WizardServices::Defaults();
    s.showMessage = [this](const std::string&, const std::string& text) { shown_.push_back(text); };
    s.localAddress = "127.0.0.1";
    wizard_ = std::make_unique<ConnectWizard>(std::move(s));
    wizard_->SetPlayerName("Wizard Player");
    wizard_->SetSessionName("Wizard Player's Game");
    peer::Callbacks callbacks;
    callbacks.hostReply = [this](const peer::HostReply& r) { wizard_->OnHostReply(r); };
    std::string error;
    session_ = peer::PeerSession::Create(peer::Transport::kUdpIPv4, kApplicationId, callbacks, &error);
    ASSERT_TRUE(session_) << error;
    wizard_->SetSession(session_.get());
  }
  void TearDown() override {
    if (session_) session_->Close();
    if (other_) other_->Close();
  }

  // Runs the dialog's timers as the window would until `done` holds.
  template <typename Done>
  bool RunTimersUntil(Done done) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!done() && Clock::now() < deadline) {
      GamesDialog& games = wizard_->gamesDialog();
      if (games.timer1Running()) games.Timer1();
      if (games.timer2Running()) games.Timer2();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
  }

  std::vector<std::string> shown_;
  std::unique_ptr<ConnectWizard> wizard_;
  std::unique_ptr<peer::PeerSession> session_;
  std::unique_ptr<peer::PeerSession> other_;
};

TEST_F(WizardLoopbackTest, FindsAndJoinsAHostedGame) {
  std::string error;
  other_ = peer::PeerSession::Create(peer::Transport::kUdpIPv4, kApplicationId, {}, &error);
  ASSERT_TRUE(other_) << error;
  peer::SessionInfo info;
  info.sessionName = "Loopback Game";
  info.maxPlayers = 32;
  const std::uint16_t port = FreePort();
  ASSERT_TRUE(other_->Host("Host Player", info, port, &error)) << error;

  wizard_->Begin();
  ASSERT_EQ(wizard_->connectDialog().items().front(), peer::ServiceProviders().front().name);
  wizard_->connectDialog().ClickOk();
  GamesDialog& games = wizard_->gamesDialog();
  games.address = "127.0.0.1:" + std::to_string(port);
  games.ClickSearch();
  ASSERT_TRUE(games.searching()) << (shown_.empty() ? "" : shown_[0]);
  ASSERT_TRUE(RunTimersUntil([&] { return games.items().front().instance.has_value(); }));
  EXPECT_TRUE(std::regex_match(games.items().front().text, std::regex(R"(Loopback Game \(1/32\) \(\d+ms\))")))
      << games.items().front().text;

  games.ClickJoin();
  ASSERT_TRUE(RunTimersUntil([&] { return wizard_->done(); })) << (shown_.empty() ? "" : shown_[0]);
  EXPECT_EQ(wizard_->result(), kWizardForward);
  EXPECT_FALSE(wizard_->isHost());
  EXPECT_TRUE(session_->InSession());
  EXPECT_EQ(session_->Session().sessionName, "Loopback Game");
  EXPECT_TRUE(shown_.empty());
}

TEST_F(WizardLoopbackTest, HostsAGameOthersFind) {
  const std::uint16_t port = FreePort();
  wizard_->SetHostPort(port);
  wizard_->Begin();
  wizard_->connectDialog().ClickOk();
  wizard_->gamesDialog().ClickCreate();
  wizard_->createDialog().description = "Hosted By The Wizard";
  wizard_->createDialog().ClickOk();
  ASSERT_TRUE(wizard_->done()) << (shown_.empty() ? "" : shown_[0]);
  EXPECT_EQ(wizard_->result(), kWizardForward);
  EXPECT_TRUE(wizard_->isHost());
  EXPECT_TRUE(session_->IsHost());

  std::mutex mutex;
  std::optional<peer::HostReply> heard;
  peer::Callbacks callbacks;
  callbacks.hostReply = [&](const peer::HostReply& r) {
    std::lock_guard<std::mutex> lock(mutex);
    heard = r;
  };
  std::string error;
  other_ = peer::PeerSession::Create(peer::Transport::kUdpIPv4, kApplicationId, callbacks, &error);
  ASSERT_TRUE(other_) << error;
  ASSERT_TRUE(other_->StartQuery("127.0.0.1", port, &error)) << error;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (heard || Clock::now() > deadline) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  other_->StopQuery();
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_TRUE(heard);
  EXPECT_EQ(heard->session.sessionName, "Hosted By The Wizard");
  EXPECT_EQ(heard->session.maxPlayers, 32);
  EXPECT_TRUE(heard->session.migrateHost);
}

}  // namespace
}  // namespace halvex::net
