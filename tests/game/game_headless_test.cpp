// The whole game on the recording device with the generated content: the
// loading sequence, match start and the match loop driven by scripts.
#include <gtest/gtest.h>

#include "content/data_files.h"
#include "audio/sound_bank.h"
#include "game/game.h"
#include "launcher/settings_store.h"
#include "platform/gfx/device.h"
#include "platform/paths/paths.h"
#include "platform/window/message_box.h"
#include "tests/game/generated_content.h"

namespace halvex::game {
namespace {

class GameHeadless : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UseGeneratedContent(settings_)) GTEST_SKIP() << "content pack not generated";
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
  for (const CollisionMeshView& tile : game->world().tiles)
    EXPECT_EQ(tile.grid != nullptr, tile.TriangleCount() > 0) << "collision goes through the prefilter grid";
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

// Chat entry is closed on the window thread; the match follows at its next
// frame, however the close falls against the frames, and keys still held
// from chat (the Return that sent, the Escape that dropped) act only once
// they have been let go.
TEST_F(GameHeadless, ChatClosedByTheWindowThreadEndsChatModeAndHeldKeysWait) {
  RunOptions o;
  o.frames = 200;
  o.scriptText =
      "20 down ENTER\n"    // opens chat; held on
      "30 down ESCAPE\n"   // typed into chat: the window thread drops the line
      "40 up ENTER\n"
      "50 up ESCAPE\n"
      "60 down ESCAPE\n";  // pressed anew: ends the match
  auto game = Make(o);
  MatchState& s = game->state();
  s.flags.welcomeBannerTimer = 0.0f;  // chat opens only once the banner is gone
  s.flags.spectatorMode = 0;
  int opened = 0, seenOpen = 0;
  game->links.openChatEntry = [&] { ++opened; };
  game->links.chatEntryOpen = [&] {
    if (s.flags.chatActive && flags_.chatActive && flags_.spectatorMode) ++seenOpen;
    return game->framesRun() <= 30;  // the Escape of frame 30 ended entry
  };
  EXPECT_EQ(game->RunMatch(), 0);
  EXPECT_EQ(game->framesRun(), 61) << "the Escape that left chat must not end the match; the next one does";
  EXPECT_EQ(opened, 1) << "the Enter still held after chat closed does not open it again";
  EXPECT_GE(seenOpen, 9) << "chat mode was published while entry was open";
  EXPECT_EQ(s.flags.chatActive, 0);
  EXPECT_EQ(flags_.chatActive, 0);
  EXPECT_EQ(s.flags.spectatorMode, 0) << "back in the battle";
  EXPECT_EQ(flags_.spectatorMode, 0);
  game->ReleaseDevices(true);
}

// Every sound the match asks for reaches the sound bank under its own id:
// a scripted fight with pistol, rockets, the wheel, a reload and a low-ammo
// warning, orbs under the player's feet, bots shooting and fragging each
// other, and long enough for the rare ambient calls and thunder.
TEST_F(GameHeadless, EveryMatchEventIsHeardWithItsOwnSound) {
  RunOptions o;
  o.frames = 400;
  o.scriptText =
      "15 down F12\n18 up F12\n"      // into the battle
      "30 button 0 1\n90 button 0 0\n"  // pistol
      "100 mouse 0 0 120\n"              // wheel: the rocket launcher
      "110 button 0 1\n200 button 0 0\n"
      "210 down SPACE\n212 up SPACE\n";  // reload
  auto game = Make(o);
  MatchState& s = game->state();
  const Vec3 feet = s.player.view.pivot;
  s.pickups.powerPickups.items[0] = {feet.x, feet.y, feet.z, 1, 1, 0.0f};
  s.pickups.armorPickups.items[0] = {feet.x, feet.y, feet.z, 0, 1, 0.0f};
  s.player.ammo = 40;  // the warning sounds at 26
  s.player.power = 50;
  game->RunMatch();
  const SoundBank& bank = audio_.bank;
  // The ambient calls come at random, about once in a thousand frames each:
  // play on, a frame at a time, until all three were heard.
  auto ambientHeard = [&] {
    return bank.PlayCount(kSoundAmbientA) > 0 && bank.PlayCount(kSoundThunder) > 0 &&
           bank.PlayCount(kSoundAmbientB) > 0;
  };
  while (!ambientHeard() && game->framesRun() < 12000) game->RunMatch();
  const std::pair<int, const char*> heard[] = {
      {kSoundPowerPickup, "power orb"},   {kSoundShotWeapon1, "rocket"},    {kSoundExplosion, "explosion"},
      {kSoundHit, "hit"},                 {kSoundMessage, "message line"}, {kSoundShotOther, "pistol"},
      {kSoundAmbientLoop1, "ambient loop"}, {kSoundAmbientLoop2, "ambient loop"},
      {kSoundAmbientLoop3, "ambient loop"}, {kSoundAmbientA, "ambient A"}, {kSoundThunder, "thunder"},
      {kSoundAmbientB, "ambient B"},      {kSoundArmorPickup, "armor"},    {kSoundLowAmmo, "low ammo"},
      {kSoundWeaponChange, "weapon change"}, {kSoundReload, "reload"}};
  for (const auto& [id, what] : heard) EXPECT_GT(bank.PlayCount(id), 0) << what << " (sound " << id << ")";
  EXPECT_EQ(bank.PlayCount(kSoundLineFull), 0) << "nobody typed";
  EXPECT_EQ(bank.PlayCount(10), 0) << "the unused id";
  EXPECT_EQ(bank.PlayCount(kSoundLowAmmo), 1);
  EXPECT_EQ(bank.PlayCount(kSoundReload), 2) << "held for two frames: one reload each frame it is down";
  game->ReleaseDevices(true);
}

TEST_F(GameHeadless, TimedemoRecordsEveryFrame) {
  RunOptions o;
  o.frames = 25;
  o.timedemo = true;
  o.fixedStepMs.reset();
  auto game = Make(o);
  testing::internal::CaptureStdout();
  game->RunMatch();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(game->timedemo().frames(), 25u);
  EXPECT_GT(game->timedemo().AverageFps(), 0.0);
  EXPECT_GT(game->timedemo().DrawCallsPerFrame(), 20.0) << "every frame draws the island and the HUD";
  // The start-up is reported once, after the first frame, with the intro apart.
  const StartupFigures& startup = game->timedemo().startup;
  EXPECT_GT(startup.intro, 0.0);
  EXPECT_GT(startup.toFirstFrame, startup.intro);
  EXPECT_EQ(out.find("start-up: "), out.rfind("start-up: ")) << out;
  EXPECT_NE(out.find(startup.Line()), std::string::npos) << out;
  game->ReleaseDevices(true);
}

}  // namespace
}  // namespace halvex::game
