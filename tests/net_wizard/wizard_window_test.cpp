// Clicks through the wizard's real window (ImGui over SDL + GL) with
// injected mouse and keyboard input.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "net/wizard/wizard_window.h"
#include "tests/net_wizard/fake_peer.h"

namespace halvex::net {
namespace {

namespace L = wizard_layout;
using Clock = std::chrono::steady_clock;

class WizardWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WizardServices s;
    s.showMessage = [this](const std::string&, const std::string& text) { shown_.push_back(text); };
    s.localAddress = "192.0.2.7";
    s.providers = {{peer::Transport::kUdpIPv4, "UDP/IP (IPv4)"}};
    wizard_ = std::make_unique<ConnectWizard>(std::move(s));
    wizard_->SetSession(&session_);
    wizard_->SetPlayerName("Ragnhild");
    wizard_->SetSessionName("Ragnhild's Game");
    window_ = std::make_unique<WizardWindow>(*wizard_, host_);
    if (!window_->Start()) GTEST_SKIP() << "no display for the wizard window";
    Frames(3);
  }
  void TearDown() override { host_.Close(); }

  std::optional<std::uint32_t> Frames(int n) {
    for (int i = 0; i < n; ++i) {
      if (auto r = window_->Frame()) return r;
    }
    return std::nullopt;
  }
  // Frames until `done` holds or the wizard ends; the dialogs' timers run
  // on the real clock.
  template <typename Done>
  std::optional<std::uint32_t> FramesUntil(Done done) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!done() && Clock::now() < deadline) {
      if (auto r = window_->Frame()) return r;
    }
    return std::nullopt;
  }
  // Press and release reach ImGui on separate frames.
  std::optional<std::uint32_t> Click(int x, int y) {
    host_.InjectMouseMove(x, y);
    if (auto r = Frames(2)) return r;
    host_.InjectClick(x, y);
    return Frames(4);
  }
  std::optional<std::uint32_t> ClickButton(int left, int width = L::kButtonWidth, int top = L::kButtonTop) {
    return Click(left + width / 2, top + L::kButtonHeight / 2);
  }
  std::string Title() const { return SDL_GetWindowTitle(host_.native()); }
  void Screenshot(const std::string& name) {
    const char* dir = std::getenv("HALVEX_BINARY_DIR");
    std::filesystem::path out = std::filesystem::path(dir ? dir : ".") / "screens";
    std::filesystem::create_directories(out);
    host_.CaptureNextFrame((out / name).string());
    Frames(1);
    EXPECT_TRUE(host_.lastCaptureOk());
  }

  std::vector<std::string> shown_;
  test::FakePeerSession session_;
  std::unique_ptr<ConnectWizard> wizard_;
  platform::ImGuiHost host_;
  std::unique_ptr<WizardWindow> window_;
};

TEST_F(WizardWindowTest, SearchSelectAndJoin) {
  EXPECT_EQ(Title(), "Varnholt - Halvex - Multiplayer Connect - 192.0.2.7");
  Screenshot("wizard-connect.png");
  EXPECT_FALSE(ClickButton(L::kOkLeft));
  ASSERT_EQ(wizard_->dialog(), WizardDialog::kGames);
  Frames(1);
  EXPECT_EQ(Title(), "Varnholt - Halvex - Multiplayer Games - 192.0.2.7");

  Click(L::kAddressLeft + 20, L::kAddressTop + 8);
  host_.InjectText("127.0.0.1:40001");
  Frames(3);
  EXPECT_EQ(wizard_->gamesDialog().address, "127.0.0.1:40001");
  ClickButton(L::kSearchLeft, L::kSearchWidth);
  ASSERT_EQ(session_.queryCalls.size(), 1u);
  EXPECT_EQ(session_.queryCalls[0].address, "127.0.0.1");
  EXPECT_EQ(session_.queryCalls[0].port, 40001);

  for (std::uint64_t instance : {1u, 2u}) {
    peer::HostReply r;
    r.session.sessionName = instance == 1 ? "First Game" : "Second Game";
    r.session.players = 2;
    r.session.maxPlayers = 32;
    r.session.instance = instance;
    r.address = "127.0.0.1";
    r.port = static_cast<std::uint16_t>(40000 + instance);
    wizard_->OnHostReply(r);
  }
  GamesDialog& games = wizard_->gamesDialog();
  FramesUntil([&] { return games.items().size() == 2; });
  ASSERT_EQ(games.items().size(), 2u);
  EXPECT_EQ(games.items()[1].text, "First Game (2/32) (0ms)");
  Screenshot("wizard-games.png");

  // Pick the second entry ("First Game") and join it.
  Click(L::kListLeft + 60, L::kListTop + L::kRowHeight + L::kRowHeight / 2 + 2);
  EXPECT_EQ(games.selection(), 1);
  ClickButton(L::kJoinLeft);
  ASSERT_EQ(session_.joinCalls.size(), 1u);
  EXPECT_EQ(session_.joinCalls[0].port, 40001);
  session_.state = peer::JoinState::kJoined;
  auto result = FramesUntil([] { return false; });
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, kWizardForward);
  EXPECT_FALSE(wizard_->isHost());
  EXPECT_TRUE(shown_.empty());
}

TEST_F(WizardWindowTest, CreateFromItsBox) {
  ClickButton(L::kOkLeft);
  ASSERT_EQ(wizard_->dialog(), WizardDialog::kGames);
  ClickButton(L::kCreateLeft);
  ASSERT_EQ(wizard_->dialog(), WizardDialog::kCreateGame);
  // The description box has the keyboard, its text selected: go to the end
  // and add to the session name.
  Frames(2);
  host_.InjectKey(SDLK_END, true);
  Frames(2);
  host_.InjectKey(SDLK_END, false);
  Frames(2);
  host_.InjectText(" II");
  Frames(3);
  EXPECT_EQ(wizard_->createDialog().description, "Ragnhild's Game II");
  Screenshot("wizard-create.png");
  auto result = ClickButton(L::kBoxOkLeft, L::kButtonWidth, L::kBoxButtonTop);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, kWizardForward);
  ASSERT_EQ(session_.hostCalls.size(), 1u);
  EXPECT_EQ(session_.hostCalls[0].session.sessionName, "Ragnhild's Game II");
  EXPECT_EQ(session_.hostCalls[0].session.maxPlayers, 32);
  EXPECT_TRUE(wizard_->isHost());
}

TEST_F(WizardWindowTest, CancelGoesBackAndClosingTheWindowQuits) {
  ClickButton(L::kOkLeft);
  ASSERT_EQ(wizard_->dialog(), WizardDialog::kGames);
  ClickButton(L::kCancelLeft);
  EXPECT_EQ(wizard_->dialog(), WizardDialog::kConnect);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  auto result = Frames(3);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, kWizardQuit);
}

}  // namespace
}  // namespace halvex::net
