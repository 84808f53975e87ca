#include "sim/frame.h"

#include <algorithm>

#include "sim/ambient.h"
#include "sim/bots.h"
#include "sim/combatants.h"
#include "sim/frags.h"
#include "sim/player.h"
#include "sim/roster.h"
#include "sim/weapons.h"

namespace halvex {

namespace {

using namespace scancode;

// Consumes the armed flag for one toggle.
bool Toggle(MatchState& state, FrameContext& ctx) {
  if (!state.flags.keyCommandArmed) return false;
  state.flags.keyCommandArmed = 0;
  ctx.timer(FrameTimer::kReset);
  return true;
}

void Flip(int& flag) { flag = flag ? 0 : 1; }
void Flip(bool& flag) { flag = !flag; }

void OpenChat(MatchState& state, FrameContext& ctx) {
  MatchFlags& f = state.flags;
  f.savedSpectatorMode = f.spectatorMode;
  f.chatOpen = 1;
  f.spectatorMode = 1;
  f.chatActive = 1;
  f.chatEnterArmed = 0;
  ctx.events.Command(KeyCommand::kChatOpened);
}

void ToggleKeys(MatchState& state, const InputSnapshot& input, FrameContext& ctx) {
  Settings& s = state.settings;
  MatchFlags& f = state.flags;
  auto pressed = [&](int key) { return input.KeyDown(key) && Toggle(state, ctx); };
  if (pressed(kF2)) Flip(s.showFramerate);
  if (s.debugMode) {
    if (pressed(kF3)) ctx.events.Command(KeyCommand::kToggleLightSetup);
    if (pressed(kF4)) ctx.events.Command(KeyCommand::kToggleWireframe);
    if (pressed(kF5)) Flip(s.renderBackground);
    if (pressed(kF6)) Flip(s.renderProjectiles);
    if (pressed(kF7)) s.enemyAttack = s.enemyAttack ? 0 : 1;
    if (pressed(kF8)) s.enemyAI = s.enemyAI ? 0 : 1;
    if (pressed(kZ)) ctx.events.Command(KeyCommand::kToggleFirstCombatantCamera);
    if (pressed(kB)) ctx.events.Command(KeyCommand::kToggleMeshScan);
    if (pressed(kM)) ctx.events.Command(KeyCommand::kToggleMeshScanReadout);
    if (pressed(kT)) ctx.events.Command(KeyCommand::kToggleLightMapTiles);
  }
  if (f.spectatorMode && pressed(kF9)) Flip(state.player.view.fixedCamera);
  if (pressed(kF10)) Flip(f.realismMode);
  if (pressed(kF11)) ctx.events.ScreenshotRequested();
  if (pressed(kF12)) {
    Flip(f.spectatorMode);
    // Entering the battle answers the "You Are Spectating" hint; leaving it up would contradict the HUD.
    TimedMessage& hint = state.player.centreMessage;
    if (!f.spectatorMode && hint.kind == 3) hint.timer = 0.0f;
  }
}

void FrameEnd(MatchState& state, FrameContext& ctx) {
  AnimationClocks& c = state.clocks;
  AdvanceAnimationClocks(c, ctx.timeScale);
  MorphMeshes(c, ctx.world);
  c.underwaterCulling = state.player.view.pivot.y < 0.0f ? 1 : 0;
  c.frameParity ^= 1;
  if (c.environmentCountdown == 0) c.environmentCountdown = static_cast<int>(ctx.frameRate / 4);
  for (int i = 0; i < state.combatantCount; ++i)
    state.combatants[i].fireCharge += 20.0f * ctx.frameDelta;
  Bleeding(state, ctx);
}

}  // namespace

void CloseChat(MatchState& state) {
  MatchFlags& f = state.flags;
  if (!f.chatOpen) return;
  f.chatOpen = 0;
  f.chatActive = 0;
  f.spectatorMode = f.savedSpectatorMode;
}

void PauseForFocus(MatchState& state) {
  MatchFlags& f = state.flags;
  if (f.focusPaused) return;
  f.focusPaused = 1;
  f.stateBeforeFocusLoss = f.gameState;
  f.gameState = 2;
}

void ResumeFromFocus(MatchState& state) {
  MatchFlags& f = state.flags;
  if (!f.focusPaused) return;
  f.focusPaused = 0;
  f.gameState = f.stateBeforeFocusLoss;
}

void KeyCommands(MatchState& state, const InputSnapshot& input, FrameContext& ctx) {
  MatchFlags& f = state.flags;
  if (input.KeyDown(kPause) && Toggle(state, ctx)) f.gameState = f.gameState == 1 ? 2 : 1;
  if ((input.KeyDown(kEnter) || input.KeyDown(kNumpadEnter)) && f.welcomeBannerTimer <= 0.0f &&
      !f.chatOpen && Toggle(state, ctx))
    OpenChat(state, ctx);
  if (f.gameState != 0 && f.gameState != 2) ToggleKeys(state, input, ctx);
}

void AmbientEvent(MatchState& state, FrameContext& ctx) {
  state.flags.lightningFlash = 0;
  int r = static_cast<int>(ctx.random(0, 1000));
  if (r == 1) {
    ctx.events.PlaySound(SoundEffect::kAmbientA);
  } else if (r == 2) {
    // The sun light shines along the negated sun vector: pointing down
    // while the sun is up.
    if (-state.clocks.sun.y < 0.0f) {
      ctx.events.PlaySound(SoundEffect::kThunder);
      state.flags.lightningFlash = 1;
    }
  } else if (r == 3) {
    ctx.events.PlaySound(SoundEffect::kAmbientB);
  }
}

void TickHudTimers(MatchState& state, float ts) {
  auto down = [ts](float& t) { t = std::max(0.0f, t - ts); };
  down(state.player.pickupMessage.timer);
  down(state.player.centreMessage.timer);
  down(state.player.hurtFlash);
  down(state.messages.displayTimer);
  down(state.flags.welcomeBannerTimer);
}

FrameResult RunFrame(MatchState& state, const InputSnapshot& input, FrameContext& ctx) {
  MatchFlags& f = state.flags;
  PlayerState& p = state.player;
  state.hitSoundsThisFrame = 0;
  state.botFireSoundsThisFrame = 0;

  ApplyRosterChanges(state);
  if (f.multiplayer) ctx.events.SendMovement();

  if (ctx.timer(FrameTimer::kApplicationTime) > 0.25f) f.keyCommandArmed = 1;
  for (int i = 0; i < state.combatantCount; ++i)
    state.combatants[i].tileIndex = CombatantTileIndex(state.combatants[i].position);
  if (input.KeyDown(kEscape)) return FrameResult::kEscape;

  p.view.motion = Vec3(0.0f);
  if (f.gameState >= 10 && input.KeyDown(kSpace)) {
    RespawnPlayer(state);
    f.gameState = 1;
  }
  AmbientEvent(state, ctx);
  if (f.gameState != 2) CombatStep(state, ctx);

  if (f.gameState < 10) {
    PlayerWeaponStep(state, input, ctx);
    JumpAndFlight(p.view, input, ctx.frameDelta, state.settings.allowFlight);
    MouseLook(p.view, input);
    if (f.gameState == 2 && p.centreMessage.kind != 3) ctx.events.RenderFrame();
    ++f.frameCount;
    KeyCommands(state, input, ctx);
  }
  if (f.gameState < 10) MovementKeys(p.view, input, ctx.timeScale);

  UpdateViewValues(state);
  if (!f.multiplayer && state.settings.enemyAI) {
    BotStep(state, ctx);
  } else if (f.multiplayer) {
    RemoteGlide(state, ctx);
    for (int i = 0; i < state.combatantCount; ++i) CombatantPickups(state, i);
  }
  MoveWanderers(state, ctx);
  if (f.gameState < 10) MovePlayer(state, ctx);
  FloorClamp(state);
  PlayerPickups(state, ctx);
  FrameEnd(state, ctx);
  ctx.events.RenderFrame();
  return FrameResult::kContinue;
}

}  // namespace halvex
