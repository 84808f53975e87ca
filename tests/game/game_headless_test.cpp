// The whole game on the recording device with the generated content: the
// loading sequence, match start and the match loop driven by scripts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "content/data_files.h"
#include "game/game.h"
#include "launcher/settings_store.h"
#include "platform/gfx/device.h"
#include "platform/paths/paths.h"
#include "platform/window/message_box.h"

namespace halvex::game {
namespace {

namespace fs = std::filesystem;

class GameHeadless : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("HALVEX_BINARY_DIR");
    ASSERT_NE(bin, nullptr);
    const fs::path content = fs::path(bin) / "bin" / "content";
    if (!fs::exists(content / "system" / "worlds.txt")) GTEST_SKIP() << "content pack not generated";
    platform::SetMessageBoxesInteractive(false);
    paths::SetContentDirectory(content.string());
    DeriveAtStart(settings_, ReadWorldList(paths::Resolve("system\\worlds.txt")).areaNames);
    settings_.botCount = 4;
    settings_.fullscreen = false;
  }

  std::unique_ptr<Game> Make(RunOptions o) {
    o.headless = true;
    o.nonInteractive = true;
    o.seed = 1234;
    if (!o.fixedStepMs) o.fixedStepMs = 25.0;
    auto game = std::make_unique<Game>(settings_, flags_, audio_, o);
    EXPECT_EQ(game->CreateDevices(nullptr), gfx::S_OK);
    return game;
  }

  Settings settings_;
  ShellFlags flags_;
  GameAudio audio_;
};

TEST_F(GameHeadless, LoadsTheAreaStartsTheMatchAndEndsAfterItsFrames) {
  RunOptions o;
  o.frames = 40;
  auto game = Make(o);
  EXPECT_EQ(flags_.gameRunning.load(), 1);
  EXPECT_EQ(flags_.matchReady.load(), 1);
  EXPECT_EQ(game->state().combatantCount, 4);
  EXPECT_GT(game->state().pickups.powerPickups.count, 0) << "items.txt was read";
  EXPECT_EQ(game->RunMatch(), 0);
  EXPECT_EQ(game->framesRun(), 40);
  // The frame drew the world: the recording device logged indexed draws.
  auto* calls = gfx::RecordedCalls(game->deviceSetup().device);
  ASSERT_NE(calls, nullptr);
  int indexed = 0;
  for (const std::string& c : *calls) indexed += c.rfind("DrawIndexedPrimitive", 0) == 0;
  EXPECT_GT(indexed, 40) << "tiles and models are drawn every frame";
  game->ReleaseDevices(true);
}

TEST_F(GameHeadless, ScriptedInputEntersBattleFiresAndEscapes) {
  RunOptions o;
  o.frames = 400;
  o.scriptText =
      "12 down F12\n14 up F12\n"        // leave spectating
      "30 button 0 1\n60 button 0 0\n"  // fire for a second
      "80 down ESCAPE\n";
  auto game = Make(o);
  const int ammo = game->state().player.ammo;
  EXPECT_EQ(game->RunMatch(), 0);
  EXPECT_LT(game->framesRun(), 100) << "Escape ends the match";
  EXPECT_EQ(game->state().flags.spectatorMode, 0);
  EXPECT_EQ(flags_.spectatorMode.load(), 0) << "the shell sees the game's mode";
  EXPECT_LT(game->state().player.ammo, ammo) << "the held button fired shots";
  game->ReleaseDevices(true);
}

TEST_F(GameHeadless, ChatLinesQueuedByTheWindowThreadAppearOnTheGameThread) {
  RunOptions o;
  o.frames = 3;
  auto game = Make(o);
  game->QueueChatLine("/me waves");
  game->QueueMessageLine("Peer: hello");
  EXPECT_EQ(game->RunMatch(), 0);
  const auto& lines = game->state().messages.lines;
  EXPECT_STREQ(lines[0].data(), "Peer: hello");
  EXPECT_NE(std::string(lines[1].data()).find("waves"), std::string::npos) << lines[1].data();
  EXPECT_GT(game->state().messages.displayTimer, 0.0f);
  game->ReleaseDevices(true);
}

TEST_F(GameHeadless, SecondsLimitAndExitRequestEndTheMatch) {
  RunOptions o;
  o.seconds = 2.0;
  o.fixedStepMs = 50.0;
  auto game = Make(o);
  EXPECT_EQ(game->RunMatch(), 0);
  EXPECT_NEAR(static_cast<double>(game->framesRun()), 40.0, 1.0);
  flags_.exitRequested = 1;
  EXPECT_EQ(game->RunMatch(), 0);
  EXPECT_EQ(game->framesRun(), 40 + 0) << "no frame runs once exit is requested";
  game->ReleaseDevices(true);
}

TEST_F(GameHeadless, TheReturnThatSentAChatLineDoesNotOpenChatAgain) {
  RunOptions o;
  o.frames = 40;
  o.scriptText = "20 down ENTER\n";  // held from frame 20 on
  auto game = Make(o);
  game->state().flags.welcomeBannerTimer = 0.0f;  // chat opens only once the banner is gone
  int opened = 0;
  game->links.openChatEntry = [&opened] { ++opened; };
  game->RunMatch();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(game->state().flags.chatOpen, 1);
  // The window thread sends the line: chat closes while Return is still down.
  flags_.chatOpen = 0;
  flags_.chatActive = 0;
  for (int i = 0; i < 20; ++i) game->RunMatch();  // one more frame each
  EXPECT_EQ(game->state().flags.chatOpen, 0);
  EXPECT_EQ(opened, 1);
  game->ReleaseDevices(true);
}

TEST_F(GameHeadless, TimedemoRecordsEveryFrame) {
  RunOptions o;
  o.frames = 25;
  o.timedemo = true;
  o.fixedStepMs.reset();
  auto game = Make(o);
  game->RunMatch();
  EXPECT_EQ(game->timedemo().frames(), 25u);
  EXPECT_GT(game->timedemo().AverageFps(), 0.0);
  EXPECT_GT(game->timedemo().DrawCallsPerFrame(), 20.0) << "every frame draws the island and the HUD";
  game->ReleaseDevices(true);
}

}  // namespace
}  // namespace halvex::game
