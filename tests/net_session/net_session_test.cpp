// The game's session over real peer sessions on 127.0.0.1: what one game
// sends reaches the other checked and named; what a hostile peer sends is
// counted and dropped, and the honest traffic goes on.
#include "net/session/net_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "net/session/session_connect.h"
#include "tests/peer/peer_test_support.h"

namespace halvex::net {
namespace {

using namespace std::chrono_literals;

template <typename F>
bool WaitFor(F done, std::chrono::milliseconds limit = 20s) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// What one game's session handed on.
struct Inbox {
  std::mutex mutex;
  std::vector<std::string> joined, left, chat;
  std::vector<std::pair<std::string, GameMessage>> messages;

  SessionLinks Links() {
    SessionLinks l;
    l.playerJoined = [this](std::uint32_t, const std::string& name, bool local) {
      std::lock_guard lock(mutex);
      joined.push_back(local ? "(me) " + name : name);
    };
    l.playerLeft = [this](std::uint32_t, const std::string& name, bool) {
      std::lock_guard lock(mutex);
      left.push_back(name);
    };
    l.receivedChat = [this](const std::string& text) {
      std::lock_guard lock(mutex);
      chat.push_back(text);
    };
    l.received = [this](const std::string& sender, const GameMessage& m) {
      std::lock_guard lock(mutex);
      messages.emplace_back(sender, m);
    };
    return l;
  }
  std::size_t Count() {
    std::lock_guard lock(mutex);
    return messages.size();
  }
};

class NetSessionTest : public ::testing::Test {
 protected:
  // A game that hosts on a free port, and one that joins it.
  void SetUp() override {
    host_ = std::make_unique<NetSession>(hostInbox_.Links());
    std::string error;
    ASSERT_TRUE(host_->Initialize(peer::Transport::kUdpIPv4, &error)) << error;
    ConnectPlan plan;
    plan.mode = ConnectPlan::Mode::kHost;
    plan.sessionName = "Test Arena";
    ConnectOutcome outcome;
    // A port nobody holds, not the default one another test may be using;
    // one that is taken between the look and the bind is tried again.
    bool hosting = false;
    for (int attempt = 0; attempt < 5 && !hosting; ++attempt)
      hosting = SessionConnect(*host_, "Hostname Longer Than Thirteen", Plan(plan, peer::testing::FreeUdpPort()), nullptr,
                               [](const std::string&) {}, outcome);
    ASSERT_TRUE(hosting);
    EXPECT_TRUE(outcome.isHost);
    EXPECT_EQ(outcome.playerName, "Hostname Long") << "a session carries 13 characters of a name";
    port_ = host_->peer()->LocalPort();
  }
  static ConnectPlan Plan(ConnectPlan plan, std::uint16_t port) {
    plan.port = port;
    return plan;
  }
  std::unique_ptr<NetSession> Join(Inbox& inbox, const std::string& name) {
    auto session = std::make_unique<NetSession>(inbox.Links());
    std::string error;
    EXPECT_TRUE(session->Initialize(peer::Transport::kUdpIPv4, &error)) << error;
    ConnectPlan plan;
    plan.mode = ConnectPlan::Mode::kJoin;
    plan.address = "127.0.0.1";
    plan.port = port_;
    ConnectOutcome outcome;
    EXPECT_TRUE(SessionConnect(*session, name, plan, nullptr, [](const std::string& text) { ADD_FAILURE() << text; },
                               outcome));
    EXPECT_FALSE(outcome.isHost);
    EXPECT_EQ(outcome.sessionName, "Test Arena");
    return session;
  }

  Inbox hostInbox_;
  std::unique_ptr<NetSession> host_;
  std::uint16_t port_ = 0;
};

TEST_F(NetSessionTest, EveryKindArrivesNamedNumberedAndCheckedAndChatGoesItsOwnWay) {
  Inbox guestInbox;
  auto guest = Join(guestInbox, "Guest");
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(hostInbox_.mutex);
    return hostInbox_.joined.size() == 2;
  }));
  {
    std::lock_guard lock(hostInbox_.mutex);
    EXPECT_EQ(hostInbox_.joined[0], "(me) Hostname Long");
    EXPECT_EQ(hostInbox_.joined[1], "Guest");
  }
  EXPECT_EQ(host_->PlayerCount(), 2);
  EXPECT_EQ(host_->SessionName(), "Test Arena");

  StatusMessage status;
  status.frags = 3;
  status.weapon = 2;
  ASSERT_TRUE(guest->Send(status));
  ASSERT_TRUE(guest->Send(ChatMessage{"Guest: hello"}));
  MovementMessage move;
  move.y = 15.0f;
  move.clockMs = 1234;
  ASSERT_TRUE(guest->Send(move));
  ASSERT_TRUE(WaitFor([&] { return hostInbox_.Count() == 2; }));
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(hostInbox_.mutex);
    return hostInbox_.chat.size() == 1;
  }));
  std::lock_guard lock(hostInbox_.mutex);
  EXPECT_EQ(hostInbox_.chat[0], "Guest: hello");
  // Status and movement may overtake each other (neither is guaranteed);
  // the numbers say in which order they were sent, from 1, shared by all kinds.
  std::vector<std::uint32_t> sequences;
  for (auto& [sender, m] : hostInbox_.messages) {
    EXPECT_EQ(sender, "Guest");
    sequences.push_back(m.sequence);
    if (m.kind == MessageKind::kStatus) {
      EXPECT_EQ(std::get<StatusMessage>(m.body).frags, 3);
    }
    if (m.kind == MessageKind::kMovement) {
      EXPECT_EQ(std::get<MovementMessage>(m.body).clockMs, 1234u);
    }
  }
  std::sort(sequences.begin(), sequences.end());
  EXPECT_EQ(sequences, (std::vector<std::uint32_t>{1, 3}));
  EXPECT_TRUE(guestInbox.messages.empty()) << "a send is never looped back";
}

TEST_F(NetSessionTest, AHostilePeerIsCountedAndDroppedWhileTheHonestOneGetsThrough) {
  Inbox honestInbox;
  auto honest = Join(honestInbox, "Honest");
  // The rogue speaks the session layer properly, then sends anything.
  std::atomic<bool> joined{false};
  peer::Callbacks callbacks;
  std::string error;
  auto rogue = peer::PeerSession::Create(peer::Transport::kUdpIPv4, kApplicationId, callbacks, &error);
  ASSERT_TRUE(rogue) << error;
  ASSERT_TRUE(rogue->StartJoin("Rogue", "127.0.0.1", port_, &error)) << error;
  ASSERT_TRUE(WaitFor([&] { return rogue->joinState() == peer::JoinState::kJoined; }));
  (void)joined;

  std::mt19937 random(12345);
  std::vector<std::uint8_t> bytes;
  std::uint64_t sent = 0;
  for (int round = 0; round < 3000; ++round) {
    const int pick = round % 6;
    if (pick == 0) {  // random bytes of a random size
      bytes.resize(random() % 200);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    } else if (pick == 1) {  // a real movement message cut short
      bytes = Encode(GameMessage{MessageKind::kMovement, 1, MovementMessage{}});
      bytes.resize(random() % bytes.size());
    } else if (pick == 2) {  // a chat message with no end to its text
      bytes = Encode(GameMessage{MessageKind::kChat, 1, ChatMessage{"x"}});
      std::fill(bytes.begin() + 8, bytes.end(), 'A');
    } else if (pick == 3) {  // a shot with a weapon that does not exist
      bytes = Encode(GameMessage{MessageKind::kShot, 1, ShotMessage{}});
      bytes[32] = 0x7F;
    } else if (pick == 4) {  // a NaN position
      MovementMessage m;
      m.x = std::numeric_limits<float>::quiet_NaN();
      bytes = Encode(GameMessage{MessageKind::kMovement, 1, m});
    } else {  // a status one byte too long
      bytes = Encode(GameMessage{MessageKind::kStatus, 1, StatusMessage{}});
      bytes.push_back(0);
    }
    peer::SendOptions options;
    options.guaranteed = true;  // every one of them must reach the host to be counted
    if (rogue->SendToAll(bytes.data(), bytes.size(), options)) ++sent;
    if (round % 200 == 0) std::this_thread::sleep_for(20ms);  // stay under the flood limit
  }
  ASSERT_GT(sent, 2900u);
  EXPECT_TRUE(WaitFor([&] { return host_->drops().Dropped() >= sent - sent / 10; }))
      << "dropped " << host_->drops().Dropped() << " of " << sent;
  EXPECT_GT(host_->drops().Of(DropReason::kWrongSize), 0u);
  EXPECT_GT(host_->drops().Of(DropReason::kUnterminatedText), 0u);
  EXPECT_GT(host_->drops().Of(DropReason::kBadWeapon), 0u);
  EXPECT_GT(host_->drops().Of(DropReason::kNotFinite), 0u);
  {
    std::lock_guard lock(hostInbox_.mutex);
    for (auto& [sender, m] : hostInbox_.messages) EXPECT_NE(sender, "Rogue") << "a hostile message got through";
  }

  const std::size_t before = hostInbox_.Count();
  ASSERT_TRUE(honest->Send(StatusMessage{}));
  EXPECT_TRUE(WaitFor([&] { return hostInbox_.Count() > before; })) << "the honest peer was shut out";
}

TEST_F(NetSessionTest, ClosingWhileAnotherThreadSendsIsSafeAndSendsThenFail) {
  Inbox guestInbox;
  auto guest = Join(guestInbox, "Guest");
  std::atomic<bool> stop{false};
  std::thread sender([&] {
    while (!stop) guest->Send(MovementMessage{});
  });
  std::this_thread::sleep_for(100ms);
  guest->Close();
  guest->Close();
  stop = true;
  sender.join();
  EXPECT_FALSE(guest->Send(StatusMessage{}));
  EXPECT_TRUE(WaitFor([&] {
    std::lock_guard lock(hostInbox_.mutex);
    return hostInbox_.left.size() == 1 && hostInbox_.left[0] == "Guest";
  })) << "the others see a closed session's player leave";
}

}  // namespace
}  // namespace halvex::net
