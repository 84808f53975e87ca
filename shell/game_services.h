// The game's side of the shell's two interfaces: what the message procedure
// asks of the subsystems (ShellHooks) and the steps the game thread runs
// (MatchSetup), wired to the game (device slots, loading, the match loop),
// the real sound, input and timer code.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "audio/game_audio.h"
#include "game/game_port.h"
#include "launcher/settings.h"
#include "net/session/net_session.h"
#include "net/session/session_connect.h"
#include "shell/command_line.h"
#include "shell/game_thread_main.h"
#include "shell/halvex_app.h"
#include "shell/shell_hooks.h"
#include "sim/clock.h"

namespace halvex {
namespace net {
class ConnectWizard;
}

// Run options from the command line; false with error set when the script
// file cannot be read or has a malformed line.
bool MakeRunOptions(const CommandLine& commandLine, game::RunOptions& options, std::string& error);

class GameServices : public ShellHooks, public MatchSetup, public MatchRunner {
 public:
  GameServices(Settings& settings, const CommandLine& commandLine, platform::Window& window,
               ShellFlags& flags);
  ~GameServices() override;

  // ShellHooks (window thread).
  void StopAllSound() override;
  void RestartSoundtrack() override;
  void StartAmbientLoops() override;
  void PlayLineFullSound() override;
  void HandleSoundtrackEvent() override;
  void AudioDeviceLost() override;
  void ReleaseInputDevices() override;
  void ReleaseKeyboard() override;
  void AcquireKeyboard() override;
  float FrameTimer(int command) override;
  void CloseSession() override;
  void SendStatusMessage() override { game_->RequestStatusSend(); }
  void RosterChanged(bool joined, std::uint32_t id, const std::string& name) override {
    game_->QueueRosterChange(joined, id, name);
  }
  void SubmitChatLine(const std::string& typed) override;
  void PushMessageLine(const std::string& line) override;
  void SetSoundEnabled(bool enabled) override;
  bool NobodyWatching() const override { return commandLine_.nonInteractive(); }

  // MatchSetup (game thread).
  HResult ConnectMultiplayer() override;
  void ShutdownNetwork() override;
  HResult CreateDevices() override;
  void ReleaseDevices(int releaseAll) override;
  void RunClosingScreen() override;

  // Connects the game to the window thread's side of the application
  // (chat entry, the suspend gate); call before the game thread starts.
  void Attach(HalvexApp& app);

  // MatchRunner (game thread).
  int RunMatch(HalvexApp& app) override;

  GameAudio& audio() { return audio_; }

 private:
  net::ConnectPlan PlanFromCommandLine() const;
  void MakeSession();
  net::WizardResult RunWizard(peer::PeerSession& peer, net::ConnectOutcome& outcome, net::ConnectPlan& lobby);

 private:
  Settings& settings_;
  const CommandLine& commandLine_;
  platform::Window& window_;
  ShellFlags& flags_;
  GameAudio audio_;
  SystemClock clock_;
  std::mutex timerMutex_;  // the window thread and the game thread both drive it
  halvex::FrameTimer frameTimer_{clock_};
  std::unique_ptr<game::GamePort> game_;
  std::unique_ptr<net::NetSession> net_;  // multiplayer only, from the connect on
  net::WizardRunner wizard_;               // the connect wizard's dialogs
  std::mutex wizardMutex_;                 // search answers arrive on the network thread
  net::ConnectWizard* activeWizard_ = nullptr;
  std::string providerName_ = "UDP/IP (IPv4)";  // the connection type chosen last
  bool released_ = false;
};

}  // namespace halvex
