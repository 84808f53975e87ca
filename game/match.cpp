// StartMatch and the match loop around the simulation's frame.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <thread>

#include "content/data_files.h"
#include "game/game.h"
#include "game/run_report.h"
#include "launcher/settings_store.h"
#include "platform/memory/memory.h"
#include "screens/intro/intro.h"
#include "sim/invariants.h"
#include "sim/match_summary.h"
#include "sim/match_setup.h"
#include "tools/matchrunner/script.h"

namespace halvex::game {

using namespace gfx;

namespace {

// Once the first match frame is drawn: the time since the process started,
// in the log of timedemo and --frames runs.
void ReportStartup(const RunOptions& options, StartupFigures& figures) {
  figures.toFirstFrame = SecondsSinceProcessStart();
  MarkStartup("first match frame drawn");
  if (!options.timedemo && !options.frames) return;
  std::printf("%s\n", figures.Line().c_str());
  std::fflush(stdout);
}

}  // namespace

HRESULT Game::StartMatch() {
  MarkStartup("starting the match");
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
    const double introStart = SecondsSinceProcessStart();
    screens::RunIntro(intro, random_);
    timedemo_.startup.intro = SecondsSinceProcessStart() - introStart;
    MarkStartup("intro over");
  }
  if (flags_.exitRequested) {
    audio_.StopAllSound();
    return S_OK;
  }
  BeginDemo();
  const MessageTables tables = ReadMessageTables("system\\messages.txt");
  SetupMatch(*state_, settings_, content_.area, content_.pickups, tables, random_,
             static_cast<std::uint32_t>(clock_->NowMs()));
  PlaceTrees(*state_, content_.trees);
  ApplyBackgroundOptions(content_.area, state_->settings.renderBackground, backgroundExtras_);
  if (settings_.useSoundtrack && soundReady_) audio_.soundtrack.Play(settings_.soundtrackPath);
  matchClock_->Start();
  (*timer_)(FrameTimer::kReset);
  PublishFlags();
  // The intro's pictures and the set-up's temporaries are gone too now.
  platform::ReleaseFreedMemory();
  MarkStartup("match set up");
  return S_OK;
}

InputSnapshot Game::ReadInput(InputScript* script) {
  if (script) {
    keyboardRead_ = true;
    std::vector<std::string> said;
    InputSnapshot in = script->Next(static_cast<std::uint64_t>(framesRun_), &said);
    for (const std::string& line : said) QueueChatLine(line);
    ApplyKeyBindings(settings_.comfort.keys, in);
    mouseShaping_.Apply(in);
    return in;
  }
  // A device that cannot be read reports nothing held: the previous frame's
  // keys and buttons must not go on acting while the device is away.
  InputSnapshot in;
  keyboardRead_ = false;
  if (dev_.keyboardDevice && !state_->flags.chatOpen) {
    dev_.keyboardDevice->Acquire();
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
  ApplyKeyBindings(settings_.comfort.keys, in);
  mouseShaping_.Apply(in);
  return in;
}

void Game::ApplyShellRequests() {
  MatchFlags& f = state_->flags;
  // The window thread ends chat entry (a line sent or dropped); the match
  // follows here, the only place that writes the match's chat flags.
  const DemoFrame* replay = ReplayFrame();
  chatEntrySeen_ = replay ? replay->chatEntryOpen : !links.chatEntryOpen || links.chatEntryOpen();
  if (f.chatOpen && !chatEntrySeen_) {
    CloseChat(*state_);
    keyLatch_.Arm();
  }
  focusSeen_ = replay ? replay->focusLost : flags_.focusPaused != 0;
  if (focusSeen_) {
    PauseForFocus(*state_);
  } else {
    ResumeFromFocus(*state_);
  }
}

void Game::PublishFlags() {
  const MatchFlags& f = state_->flags;
  flags_.spectatorMode = f.spectatorMode;
  flags_.chatActive = f.chatActive;
  flags_.gameState = f.gameState;
  flags_.keyCommandArmed = f.keyCommandArmed;
}

void Game::Trace(const char* format, ...) const {
  if (!options_.trace) return;
  std::va_list args;
  va_start(args, format);
  std::fputs("trace: ", stdout);
  std::vprintf(format, args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  va_end(args);
}

void Game::TraceFrame() {
  if (!options_.trace) return;
  const MatchFlags& f = state_->flags;
  // armed: key commands act again; banner: the welcome banner (which holds chat back) is up.
  const std::array<int, 5> now{f.chatActive, f.spectatorMode, f.gameState, f.keyCommandArmed,
                               f.welcomeBannerTimer > 0.0f ? 1 : 0};
  if (now != traced_) {
    Trace("frame %ld chat %d spectator %d state %d armed %d banner %d", framesRun_, now[0], now[1], now[2],
          now[3], now[4]);
    traced_ = now;
  }
  if (framesRun_ % 10 == 0) {
    const Vec3 p = state_->player.view.pivot;
    Trace("frame %ld pos %.1f %.1f %.1f", framesRun_, p.x, p.y, p.z);
  }
  // In a network game, what this machine knows of every other player.
  if (state_->flags.multiplayer && framesRun_ % 50 == 0) {
    Trace("frame %ld me frags %d", framesRun_, state_->player.frags);
    for (int i = 0; i < state_->combatantCount; ++i) {
      const Combatant& c = state_->combatants[i];
      Trace("peer %s frags %d time %d spectator %d pos %.1f %.1f %.1f", c.name.data(), c.frags, c.playTime,
            c.netFlag, c.position.x, c.position.y, c.position.z);
    }
  }
}

void Game::WaitWhileInactive() {
  if (!inactive_) Trace("inactive");
  inactive_ = true;
  // Parks here while the window thread holds the game suspended; otherwise
  // (focus lost before the match was ready, or just being resumed) a short
  // sleep, so an unfocused game uses next to no CPU.
  if (links.safePoint) links.safePoint();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// Waits for the clock to move and a frame to be simulated; false when the
// match is to end instead.
bool Game::TimeStep(double steppedMs, double& carryMs) {
  for (;;) {
    if (flags_.exitRequested) return false;
    if (options_.demo) return ReplayStep();
    if (!flags_.gameRunning) {
      WaitWhileInactive();
      continue;
    }
    if (inactive_) Trace("active");
    inactive_ = false;
    if (steppedMs > 0.0) {
      carryMs += steppedMs;
      const auto whole = static_cast<std::uint64_t>(carryMs);
      carryMs -= static_cast<double>(whole);
      steppedClock_.Advance(whole);
    }
    PaceFrame();
    // A recording keeps the clock at each step: one reading serves the whole frame.
    if (recording() && !latchedClock_.Latch()) continue;
    if (matchClock_->Step()) return true;
    if (recording()) demoWriter_->Absorbed(clock_->NowMs());
  }
}

const DemoFrame* Game::ReplayFrame() const {
  if (!options_.demo || framesRun_ < 0) return nullptr;
  const auto index = static_cast<std::size_t>(framesRun_);
  return index < options_.demo->frames.size() ? &options_.demo->frames[index] : nullptr;
}

bool Game::ReplayStep() {
  const DemoFrame* frame = ReplayFrame();
  if (!frame) return false;  // the recording is over
  for (std::uint64_t ms : frame->absorbed) {
    steppedClock_.Set(ms);
    matchClock_->Step();
  }
  steppedClock_.Set(frame->clockMs);
  PaceFrame();
  if (matchClock_->Step()) return true;
  std::fprintf(stderr, "halvex: the demo does not fit this game: frame %ld's time step was not taken\n",
               framesRun_ + 1);
  replayBroken_ = true;
  return false;
}

void Game::BeginDemo() {
  if (options_.demo) {
    random_.Seed(options_.demo->header.randomState);
    steppedClock_.Set(options_.demo->header.startMs);
    return;
  }
  if (options_.recordPath.empty()) return;
  latchedClock_.Latch();
  DemoHeader h;
  h.seed = seed_;
  h.randomState = random_.State();
  h.startMs = clock_->NowMs();
  h.playerName = settings_.playerName;
  h.areaName = settings_.areaName;
  h.bots = settings_.botCount;
  h.difficulty = settings_.difficultyIndex;
  h.blood = settings_.bloodAmount;
  for (std::size_t i = 0; i < h.advanced.size(); ++i) h.advanced[i] = AdvancedValue(settings_, static_cast<int>(i));
  auto writer = std::make_unique<DemoWriter>();
  std::string error;
  if (!writer->Open(options_.recordPath, h, &error)) {
    std::fprintf(stderr, "halvex: demo %s %s; the match is not recorded\n", options_.recordPath.c_str(), error.c_str());
    return;
  }
  demoWriter_ = std::move(writer);
}

int Game::EndDemo(int result) {
  const std::uint64_t hash = HashMatchState(*state_);
  if (demoWriter_) {
    if (!demoWriter_->Close(framesRun_, hash)) {
      std::fprintf(stderr, "halvex: demo %s could not be written whole\n", options_.recordPath.c_str());
    }
    demoWriter_.reset();
  }
  if (!options_.demo || result != 0 || flags_.exitRequested) return result;
  const Demo& demo = *options_.demo;
  if (replayBroken_) return kReplayDiffers;
  if (!demo.ended) {
    std::printf("replay: %ld frames played; the recording has no end line to compare with\n", framesRun_);
    return 0;
  }
  if (framesRun_ != static_cast<long>(demo.frames.size())) return result;  // ended early by a limit
  if (hash == demo.endHash) {
    std::printf("replay: the state hash matches the recording\n");
    return 0;
  }
  std::printf("replay: the state hash %016llx differs from the recording's %016llx\n",
              static_cast<unsigned long long>(hash), static_cast<unsigned long long>(demo.endHash));
  return kReplayDiffers;
}

void Game::PaceFrame() {
  const int cap = FrameCap(options_.maxFps, settings_.comfort.frameCap, flags_.focusPaused != 0,
                           settings_.comfort.backgroundCap ? kBackgroundFrameCap : 0);
  if (cap <= 0) return;
  const auto start = pacer_.StartAt(cap, FramePacer::Clock::now());
  std::this_thread::sleep_until(start);
}

std::string Game::MatchSummary() const {
  char line[96];
  std::snprintf(line, sizeof line, "\n%ld frames, %.1f s of match time, seed %u\n", framesRun_,
                matchClock_->frameTime(), seed_);
  return ScoreboardText(*state_) + line + StateHashLine(*state_);
}

bool Game::InvariantsHold() const {
  // Chat commands may raise the player's power to 999.
  const std::string broken = CheckInvariants(*state_, 999);
  if (broken.empty()) return true;
  std::fprintf(stderr, "halvex: check failed after frame %ld: %s\n", framesRun_, broken.c_str());
  return false;
}

int Game::RunMatch() { return EndDemo(PlayMatch()); }

int Game::PlayMatch() {
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
  Trace("match running");
  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  std::uint64_t lastDrawCalls = gfx::DrawCallCount(dev_.device);
  std::uint64_t lastOutsideView = gfx::DrawsOutsideViewCount(dev_.device);
  RunReport report(options_.reportSeconds);
  while (TimeStep(steppedMs, carryMs)) {
    ApplyQueuedLines();
    const DemoFrame* replay = ReplayFrame();
    input_ = replay ? InputSnapshot{} : ReadInput(script.get());
    ApplyShellRequests();
    ApplyNetwork();
    if (replay) {
      input_ = replay->input;  // as the frame saw it, chat and latched keys applied
    } else {
      if (state_->flags.chatOpen) input_.keys.fill(0);  // the keyboard belongs to the chat line
      keyLatch_.Apply(input_, keyboardRead_);
    }
    if (recording()) demoWriter_->Frame(clock_->NowMs(), input_, focusSeen_, chatEntrySeen_);
    FrameContext ctx(random_, *this, content_.world, *timer_);
    ctx.frameDelta = matchClock_->frameDelta();
    ctx.timeScale = matchClock_->timeScale();
    ctx.frameRate = matchClock_->frameRate();
    ctx.clockMs = static_cast<std::uint32_t>(clock_->NowMs());
    frame_ = &ctx;
    const FrameResult result = RunFrame(*state_, input_, ctx);
    frame_ = nullptr;
    PublishFlags();
    ++framesRun_;
    TraceFrame();
    if (options_.check && !InvariantsHold()) return kInvariantBroken;
    report.Frame(framesRun_, matchClock_->frameTime(), Clock::now());
    if (options_.timedemo) {
      const auto now = Clock::now();
      const std::uint64_t draws = gfx::DrawCallCount(dev_.device);
      const std::uint64_t outside = gfx::DrawsOutsideViewCount(dev_.device);
      timedemo_.Add(std::chrono::duration<double, std::milli>(now - last).count(), draws - lastDrawCalls,
                    outside - lastOutsideView);
      lastDrawCalls = draws;
      lastOutsideView = outside;
      last = now;
    }
    if (framesRun_ == 1) ReportStartup(options_, timedemo_.startup);
    if (result == FrameResult::kEscape) {
      Trace("match ended by escape");
      return 0;
    }
    if (options_.Finished(framesRun_, matchClock_->frameTime())) {
      endedByLimit_ = true;
      Trace("match ended by its limit");
      return 0;
    }
  }
  if (options_.demo && !replayBroken_ && !flags_.exitRequested) {
    endedByLimit_ = true;  // the recording is over: as a run's limit, no closing screen
    Trace("match ended with its recording");
    return 0;
  }
  Trace("match ended by an exit request");
  return 0;
}

}  // namespace halvex::game
