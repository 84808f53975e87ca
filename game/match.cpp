// StartMatch and the match loop around the simulation's frame.
#include <chrono>
#include <cstdio>
#include <thread>

#include "content/data_files.h"
#include "game/game.h"
#include "screens/intro/intro.h"
#include "sim/match_setup.h"
#include "tools/matchrunner/script.h"

namespace halvex::game {

using namespace gfx;

namespace {

// A flag both threads write: the window thread's changes win when it made
// one since the game thread last wrote it.
void Pull(const std::atomic<int>& shell, int& sim, int last) {
  const int v = shell.load();
  if (v != last) sim = v;
}

void Push(std::atomic<int>& shell, int sim, int& last) {
  shell = sim;
  last = sim;
}

}  // namespace

HRESULT Game::StartMatch() {
  matchStartMs_ = clock_->NowMs();
  if (dev_.mouseDevice) dev_.mouseDevice->Acquire();
  if (dev_.keyboardDevice) dev_.keyboardDevice->Acquire();
  flags_.gameRunning = 1;
  flags_.gameState = kGameStatePlaying;
  flags_.matchReady = 1;
  if (soundReady_) audio_.bank.soundEnabled = 1;

  D3DLIGHT8 flash{};
  flash.Type = D3DLIGHT_DIRECTIONAL;
  flash.Diffuse = flash.Specular = {100, 100, 100, 0};
  const Vec3 down = Vec3TransformNormal(Vec3(0, -100, 0), camera_.view);
  flash.Direction = {down.x, down.y, down.z};
  flash.Range = 10000.0f;
  dev_.device->SetLight(5, &flash);
  dev_.device->LightEnable(5, FALSE);
  if (soundReady_) audio_.bank.StartAmbientLoops();

  if (!flags_.exitRequested) {
    screens::IntroInputs intro = PresentationInputs();
    intro.smallFont = fonts_.messageFont;
    intro.baseBlock = objects_.baseBlock;
    intro.alphaBlock = objects_.alphaBlendBlock;
    intro.mouse = dev_.mouseDevice;
    intro.multiplayer = settings_.multiplayer;
    intro.gameRunning = &flags_.gameRunning;
    intro.playSound = [this](int sound) {
      if (soundReady_) audio_.bank.Play(sound, 0, 0);
    };
    screens::RunIntro(intro, random_);
  }
  if (flags_.exitRequested) {
    audio_.StopAllSound();
    return S_OK;
  }
  const MessageTables tables = ReadMessageTables("system\\messages.txt");
  SetupMatch(*state_, settings_, content_.area, content_.pickups, tables, random_,
             static_cast<std::uint32_t>(clock_->NowMs()));
  PlaceTrees(*state_, content_.trees);
  ApplyBackgroundOptions(content_.area, state_->settings.renderBackground, backgroundExtras_);
  if (settings_.useSoundtrack && soundReady_) audio_.soundtrack.Play(settings_.soundtrackPath);
  matchClock_->Start();
  (*timer_)(FrameTimer::kReset);
  lastShell_ = {flags_.spectatorMode.load(), flags_.chatOpen.load(), flags_.chatActive.load(),
                flags_.gameState.load()};
  SyncFlagsOut();
  return S_OK;
}

InputSnapshot Game::ReadInput(InputScript* script) {
  if (script) return script->Next(static_cast<std::uint64_t>(framesRun_));
  InputSnapshot in = input_;
  in.lX = in.lY = in.lZ = 0;
  if (dev_.keyboardDevice) {
    if (!state_->flags.chatOpen) dev_.keyboardDevice->Acquire();
    keyboardRead_ = SUCCEEDED(dev_.keyboardDevice->GetDeviceState(256, in.keys.data()));
  }
  if (dev_.mouseDevice) {
    dev_.mouseDevice->Acquire();
    input::DIMOUSESTATE ms{};
    if (SUCCEEDED(dev_.mouseDevice->GetDeviceState(sizeof ms, &ms))) {
      in.lX = ms.lX;
      in.lY = ms.lY;
      in.lZ = ms.lZ;
      for (int i = 0; i < 4; ++i) in.buttons[i] = ms.rgbButtons[i];
    }
  }
  return in;
}

void Game::SyncFlagsIn() {
  MatchFlags& f = state_->flags;
  const int wasOpen = f.chatOpen;
  Pull(flags_.spectatorMode, f.spectatorMode, lastShell_[0]);
  Pull(flags_.chatOpen, f.chatOpen, lastShell_[1]);
  // The Return that sent (or the Escape that dropped) a line must not open
  // chat again while it is still held.
  if (wasOpen && !f.chatOpen) enterLatched_ = true;
  Pull(flags_.chatActive, f.chatActive, lastShell_[2]);
  Pull(flags_.gameState, f.gameState, lastShell_[3]);
  if (f.gameState == kGameStateResumed) f.gameState = kGameStatePlaying;
  f.joinPending = flags_.joinPending.exchange(0);
  f.leavePending = flags_.leavePending.exchange(0);
}

void Game::SyncFlagsOut() {
  const MatchFlags& f = state_->flags;
  Push(flags_.spectatorMode, f.spectatorMode, lastShell_[0]);
  Push(flags_.chatOpen, f.chatOpen, lastShell_[1]);
  Push(flags_.chatActive, f.chatActive, lastShell_[2]);
  Push(flags_.gameState, f.gameState, lastShell_[3]);
  flags_.keyCommandArmed = f.keyCommandArmed;
}

void Game::HoldBackEnter(InputSnapshot& in) {
  if (!enterLatched_) return;
  // A frame read while chat still held the keyboard saw no keys at all: only
  // a real reading shows that Enter was let go.
  if (keyboardRead_ && !in.KeyDown(scancode::kEnter) && !in.KeyDown(scancode::kNumpadEnter)) {
    enterLatched_ = false;
    return;
  }
  in.keys[scancode::kEnter] = in.keys[scancode::kNumpadEnter] = 0;
}

// Waits for the clock to move and a frame to be simulated; false when the
// match is to end instead.
bool Game::TimeStep(double steppedMs, double& carryMs) {
  for (;;) {
    if (steppedMs > 0.0) {
      carryMs += steppedMs;
      const auto whole = static_cast<std::uint64_t>(carryMs);
      carryMs -= static_cast<double>(whole);
      steppedClock_.Advance(whole);
    }
    const bool stepped = matchClock_->Step();
    if (flags_.exitRequested) return false;
    if (stepped && flags_.gameRunning) return true;
    if (steppedMs > 0.0 && !flags_.gameRunning) std::this_thread::yield();
  }
}

int Game::RunMatch() {
  std::unique_ptr<InputScript> script;
  if (!options_.scriptText.empty()) {
    script = std::make_unique<InputScript>();
    std::string error;
    if (!script->Parse(options_.scriptText, &error)) {
      std::fprintf(stderr, "halvex: script %s\n", error.c_str());
      flags_.exitRequested = 1;
      return 0;
    }
  }
  const double steppedMs = options_.SteppedMs();
  double carryMs = 0.0;
  endedByLimit_ = false;
  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  std::uint64_t lastDrawCalls = gfx::DrawCallCount(dev_.device);
  while (TimeStep(steppedMs, carryMs)) {
    ApplyQueuedLines();
    input_ = ReadInput(script.get());
    SyncFlagsIn();
    HoldBackEnter(input_);
    FrameContext ctx(random_, *this, content_.world, *timer_);
    ctx.frameDelta = matchClock_->frameDelta();
    ctx.timeScale = matchClock_->timeScale();
    ctx.frameRate = matchClock_->frameRate();
    ctx.clockMs = static_cast<std::uint32_t>(clock_->NowMs());
    frame_ = &ctx;
    const FrameResult result = RunFrame(*state_, input_, ctx);
    frame_ = nullptr;
    SyncFlagsOut();
    ++framesRun_;
    if (options_.timedemo) {
      const auto now = Clock::now();
      const std::uint64_t draws = gfx::DrawCallCount(dev_.device);
      timedemo_.Add(std::chrono::duration<double, std::milli>(now - last).count(), draws - lastDrawCalls);
      lastDrawCalls = draws;
      last = now;
    }
    if (screenshotPending_ || options_.ShotDue(framesRun_)) TakeScreenshot();
    if (result == FrameResult::kEscape) return 0;
    if (options_.Finished(framesRun_, matchClock_->frameTime())) {
      endedByLimit_ = true;
      return 0;
    }
  }
  return 0;
}

}  // namespace halvex::game
