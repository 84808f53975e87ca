#include "shell/game_services.h"

#include "content/data_files.h"
#include "platform/paths/paths.h"
#include "platform/window/message_box.h"
#include "platform/window/window.h"

namespace halvex {

GameServices::GameServices(Settings& settings, const CommandLine& commandLine,
                           platform::Window& window, ShellFlags& flags)
    : settings_(settings), commandLine_(commandLine), window_(window), flags_(flags) {}

void GameServices::StopAllSound() { audio_.StopAllSound(); }

void GameServices::RestartSoundtrack() {
  if (soundReady_) audio_.soundtrack.Resume();
}

void GameServices::StartAmbientLoops() {
  if (soundReady_) audio_.bank.StartAmbientLoops();
}

void GameServices::PlayLineFullSound() { audio_.bank.Play(kSoundLineFull, 0, 2); }

void GameServices::HandleSoundtrackEvent() { audio_.soundtrack.HandleEvent(); }

void GameServices::SetSoundEnabled(bool enabled) { audio_.bank.soundEnabled = enabled ? 1 : 0; }

void GameServices::ReleaseInputDevices() {}
void GameServices::ReleaseKeyboard() {}
void GameServices::AcquireKeyboard() {}

float GameServices::FrameTimer(int command) {
  std::lock_guard lock(timerMutex_);
  return frameTimer_(command);
}

void GameServices::SubmitChatLine(const std::string& typed) {
  std::lock_guard lock(linesMutex_);
  pendingLines_.push_back(typed);
}

void GameServices::PushMessageLine(const std::string& line) {
  std::lock_guard lock(linesMutex_);
  pendingLines_.push_back(line);
}

HResult GameServices::ConnectMultiplayer() {
  platform::ShowMessageBox("Varnholt - Halvex",
                           "Multiplayer sessions are not available in this version of the game.",
                           platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
  return E_FAIL;
}

void GameServices::ShutdownNetwork() { window_.Post(kMsgApplicationExit); }

HResult GameServices::CreateDevices() {
  SoundSetup sound;
  sound.postSoundtrackEvent = [this] { window_.Post(kMsgSoundtrackEvent); };
  sound.openDevice = !commandLine_.headless;
  audio_.InitSound(sound);
  soundReady_ = true;
  return S_OK;
}

void GameServices::ReleaseDevices(int) {
  if (soundReady_) audio_.ShutdownSound();
  soundReady_ = false;
}

}  // namespace halvex
