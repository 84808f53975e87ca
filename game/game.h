// The game's side of the application object: the device slots (sound,
// loading, match start, device-object restore and release), the match loop
// around the simulation's frame, the frame drawing, and what the frame's
// events turn into (sounds, blood, screenshots, commands).
#pragma once

#include <array>
#include <chrono>
#include <atomic>
#include <deque>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/game_audio.h"
#include "device/device_setup.h"
#include "game/game_content.h"
#include "game/demo.h"
#include "game/frame_pacer.h"
#include "game/game_port.h"
#include "game/run_options.h"
#include "launcher/settings.h"
#include "net/protocol/wire.h"
#include "net/session/match_network.h"
#include "render/device_objects.h"
#include "render/effects/effects.h"
#include "render/effects/particles.h"
#include "render/hud/hud.h"
#include "render/scene/scene.h"
#include "screens/intro/intro.h"
#include "shell/shell_flags.h"
#include "sim/clock.h"
#include "sim/frame.h"
#include "sim/match_state.h"
#include "sim/key_bindings.h"
#include "sim/mouse_shaping.h"
#include "sim/random.h"

namespace halvex {
namespace platform {
class Window;
}
class InputScript;
}  // namespace halvex

namespace halvex::game {

class Game final : public GamePort, public device::DeviceSlots, private MatchEvents {
 public:
  Game(Settings& settings, ShellFlags& flags, GameAudio& audio, RunOptions options);
  ~Game();

  // The device set-up with this game as its slots; the window is null for
  // a headless run.
  gfx::HRESULT CreateDevices(SDL_Window* window) override;
  void ReleaseDevices(bool releaseDeviceObjects) override;

  // DeviceSlots.
  gfx::HRESULT InitSound() override;
  gfx::HRESULT InitDeviceObjects(bool reloadAll) override;
  gfx::HRESULT StartMatch() override;
  void ShutdownSound() override;
  void InvalidateDeviceObjects(bool flag) override;
  void DeleteDeviceObjects() override;

  // The match: returns 0 on Escape, on exitRequested or when the run's
  // limits are reached; kInvariantBroken when --check found a fault.
  static constexpr int kInvariantBroken = 3;
  static constexpr int kReplayDiffers = 4;
  int RunMatch() override;
  void RunClosingScreen() override;

  // Lines queued by the window thread, applied on the game thread.
  void QueueChatLine(const std::string& typed) override;
  void QueueMessageLine(const std::string& line) override;
  std::string TimedemoReport() const override { return timedemo_.Report(); }
  std::string MatchSummary() const override;
  void AttachNetwork(net::MatchNetwork* network) override { network_ = network; }
  void QueueRosterChange(bool joined, std::uint32_t id, const std::string& name) override;
  void QueueNetMessage(const std::string& sender, const net::GameMessage& message) override;
  void RequestStatusSend() override { statusSendRequested_ = true; }
  std::uint64_t netMessagesDropped() const { return netMessagesDropped_; }
  input::InputDevice* keyboard() override { return dev_.keyboardDevice; }
  input::InputDevice* mouse() override { return dev_.mouseDevice; }

  MatchState& state() { return *state_; }
  const MatchWorld& world() const { return content_.world; }
  const TimedemoStats& timedemo() const { return timedemo_; }
  long framesRun() const { return framesRun_; }
  int screenshotsTaken() const { return screenshotsTaken_; }
  device::DeviceSetup& deviceSetup() { return dev_; }

 private:
  // MatchEvents.
  void PlaySound(SoundEffect effect) override;
  void ScreenshotRequested() override { screenshotPending_ = true; }
  void Bleed(const BloodEmission& blood) override;
  void Command(KeyCommand command) override;
  void RenderFrame() override;
  void ShotFired(const ShotEvent& shot) override;
  void SendMovement() override;

  // The network's side of a frame: joins, leaves and received messages in
  // the order they came, then a requested status send.
  void ApplyNetwork();
  void SendChatLine();

  gfx::HRESULT FullLoad();
  gfx::HRESULT DeviceCheck();
  gfx::HRESULT CreateScreenQuads();
  void CreateFontsAndParticles();
  void DeleteFontsAndParticles();
  gfx::HRESULT RestoreObjects();
  void DrawScene();
  void RefreshEnvironment();
  render::SceneInputs MakeSceneInputs(float timeScale);
  void DrawHudLayer();
  render::LightInputs Lights() const;
  void PresentationLights();
  screens::IntroInputs PresentationInputs();
  InputSnapshot ReadInput(InputScript* script);
  void ApplyQueuedLines();
  void ApplyShellRequests();
  void PublishFlags();
  void WaitWhileInactive();
  // One line on stdout for --trace runs: "trace: " and the text.
  void Trace(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void TraceFrame();
  bool ScreenshotDue() const;
  void TakeScreenshot();
  bool TimeStep(double steppedMs, double& carryMs);
  void PaceFrame();  // waits for the next frame of a capped run
  // Demos: the recording opened at match set-up, a replay's time step, and
  // the end of either (the end line written, or the replay's hash checked).
  bool recording() const { return demoWriter_ != nullptr; }
  const DemoFrame* ReplayFrame() const;
  void BeginDemo();
  bool ReplayStep();
  int EndDemo(int result);
  int PlayMatch();
  bool InvariantsHold() const;  // prints the first broken one
  void Sleep(int ms) const;

  Settings& settings_;
  ShellFlags& flags_;
  GameAudio& audio_;
  RunOptions options_;
  bool soundReady_ = false;

  device::DeviceSetup dev_;
  GameContent content_;
  render::GameFonts fonts_;
  render::DeviceObjects objects_;
  render::BlockContent blockContent_;
  std::vector<std::unique_ptr<render::ParticleSystem>> particles_;
  render::BloodSystems blood_;
  gfx::VertexBuffer* overdrawQuad_ = nullptr;
  gfx::VertexBuffer* bannerQuad_ = nullptr;
  bool fullLoad_ = true;
  int retryCounter_ = 1;

  std::unique_ptr<MatchState> state_;
  GameRandom random_;
  SystemClock systemClock_;
  ManualClock steppedClock_{1000};
  LatchedClock latchedClock_{systemClock_};  // a recording's clock: one value a time step
  MillisecondClock* clock_ = &systemClock_;
  std::unique_ptr<FrameTimer> timer_;
  std::unique_ptr<MatchClock> matchClock_;
  std::uint64_t matchStartMs_ = 0;

  render::Camera camera_;
  render::SceneFrameState sceneFrame_;
  render::EffectState effects_;
  render::FrameRateCounter frameRate_;
  render::AmbientLevels ambient_;
  FrameContext* frame_ = nullptr;  // the frame being run
  InputSnapshot input_;
  bool wireframe_ = false, meshScanReadout_ = false, meshScan_ = false, lightMapEnvironment_ = false;
  int backgroundExtras_ = 1;
  bool endedByLimit_ = false;
  FramePacer pacer_;
  std::array<int, 5> traced_{-1, -1, -1, -1, -1};  // chat, spectator, state, armed, banner as last traced
  bool inactive_ = false;                    // waiting while the window has no focus
  KeyLatch keyLatch_;          // keys held when chat closed act only once let go
  MouseShaping mouseShaping_;  // the player's sensitivity and invert
  std::string keyboardHelp_;   // the F1 page's keys when the player moved any
  std::string mouseHelp_;      // and its mouse buttons
  bool keyboardRead_ = true;   // this frame's keys came from the keyboard (scripts count as read)

  struct NetInboxEntry {
    bool roster = false;  // a join or leave; otherwise a message
    bool joined = false;
    std::uint32_t id = 0;
    std::string name;  // the player, or the message's sender
    net::GameMessage message;
  };
  net::MatchNetwork* network_ = nullptr;
  std::mutex netMutex_;
  std::deque<NetInboxEntry> netInbox_;
  std::deque<NetInboxEntry> netApplying_;  // the frame's messages, on the game thread only
  std::size_t netMessagesWaiting_ = 0;
  std::uint64_t netMessagesDropped_ = 0;  // beyond what a frame should ever see
  std::atomic<bool> statusSendRequested_{false};

  std::mutex linesMutex_;
  std::vector<std::pair<bool, std::string>> queuedLines_;  // (typed, text)
  bool screenshotPending_ = false;
  long lastShotFrame_ = 0;
  int screenshotsTaken_ = 0;
  long framesRun_ = 0;
  std::uint32_t seed_ = 0;  // the match's random seed, given or taken from the clock
  std::unique_ptr<DemoWriter> demoWriter_;
  bool chatEntrySeen_ = true;  // this frame's answer from the chat entry, for the demo
  bool focusSeen_ = false;     // and whether the window had lost the focus
  bool replayBroken_ = false;
  TimedemoStats timedemo_;
};

}  // namespace halvex::game
