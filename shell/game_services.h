// The game's side of the shell's two interfaces: what the message procedure
// asks of the subsystems (ShellHooks) and the steps the game thread runs
// (MatchSetup), wired to the real sound, input, timer and device code.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "audio/game_audio.h"
#include "launcher/settings.h"
#include "shell/command_line.h"
#include "shell/game_thread_main.h"
#include "shell/shell_hooks.h"
#include "sim/clock.h"

namespace halvex {

class GameServices : public ShellHooks, public MatchSetup {
 public:
  GameServices(Settings& settings, const CommandLine& commandLine, platform::Window& window,
               ShellFlags& flags);

  // ShellHooks (window thread).
  void StopAllSound() override;
  void RestartSoundtrack() override;
  void StartAmbientLoops() override;
  void PlayLineFullSound() override;
  void HandleSoundtrackEvent() override;
  void ReleaseInputDevices() override;
  void ReleaseKeyboard() override;
  void AcquireKeyboard() override;
  float FrameTimer(int command) override;
  void ReleaseDevices() override { ReleaseDevices(1); }
  void CloseSession() override {}
  void SendStatusMessage() override {}
  void SubmitChatLine(const std::string& typed) override;
  void PushMessageLine(const std::string& line) override;
  void SetSoundEnabled(bool enabled) override;

  // MatchSetup (game thread).
  HResult ConnectMultiplayer() override;
  void ShutdownNetwork() override;
  HResult CreateDevices() override;
  void ReleaseDevices(int releaseAll) override;
  void RunClosingScreen() override {}

  GameAudio& audio() { return audio_; }

 private:
  Settings& settings_;
  const CommandLine& commandLine_;
  platform::Window& window_;
  ShellFlags& flags_;
  GameAudio audio_;
  SystemClock clock_;
  std::mutex timerMutex_;  // the window thread and the game thread both drive it
  halvex::FrameTimer frameTimer_{clock_};
  std::mutex linesMutex_;
  std::vector<std::string> pendingLines_;
  bool soundReady_ = false;
};

}  // namespace halvex
