#include "shell/game_services.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "content/content_messages.h"
#include "platform/window/message_box.h"
#include "platform/window/window.h"
#include "shell/window_icon.h"
#include "tools/matchrunner/script.h"

// The leak checker's entry point, present only in sanitizer builds.
extern "C" void __lsan_do_leak_check() __attribute__((weak));

namespace halvex {

bool MakeRunOptions(const CommandLine& cl, game::RunOptions& o, std::string& error) {
  o.frames = cl.frames;
  o.seconds = cl.seconds;
  o.fixedStepMs = cl.fixedStepMs;
  o.seed = cl.seed;
  o.shots = cl.shots;
  o.timedemo = cl.timedemo;
  o.trace = cl.trace;
  o.headless = cl.headless;
  o.nonInteractive = cl.nonInteractive();
  o.scriptText.clear();
  if (cl.script) {
    std::ifstream in(*cl.script, std::ios::binary);
    if (!in) {
      error = "cannot read the script " + *cl.script;
      return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    o.scriptText = text.str();
    if (o.scriptText.empty()) o.scriptText = "\n";  // an empty script is still a script
    InputScript check;
    std::string why;
    if (!check.Parse(o.scriptText, &why)) {
      error = "script " + *cl.script + ": " + why;
      return false;
    }
  }
  return true;
}

GameServices::GameServices(Settings& settings, const CommandLine& commandLine,
                           platform::Window& window, ShellFlags& flags)
    : settings_(settings), commandLine_(commandLine), window_(window), flags_(flags) {
  game::RunOptions options;
  std::string error;
  if (!MakeRunOptions(commandLine, options, error)) std::fprintf(stderr, "halvex: %s\n", error.c_str());
  game_ = game::MakeGame(settings_, flags_, audio_, options);
  game::ShellLinks& links = game_->links;
  links.statusText = [this] { return window_.statusText(); };
  links.setStatusText = [this](const std::string& text) { window_.SetStatusText(text); };
  links.postApplicationExit = [this] { window_.Post(kMsgApplicationExit); };
  links.postSoundtrackEvent = [this] { window_.Post(kMsgSoundtrackEvent); };
  // Here, on the window thread, before the window's first frame.
  ApplyWindowIcon(window_);
  SetContentMessageHandler([](const char* text, const char* caption) {
    platform::ShowMessageBox(caption ? caption : "", text ? text : "", platform::MessageBoxButtons::Ok,
                             platform::MessageBoxAnswer::Ok);
  });
}

GameServices::~GameServices() { SetContentMessageHandler(nullptr); }

void GameServices::StopAllSound() { audio_.StopAllSound(); }
void GameServices::RestartSoundtrack() { audio_.soundtrack.Resume(); }
void GameServices::StartAmbientLoops() { audio_.bank.StartAmbientLoops(); }
void GameServices::PlayLineFullSound() { audio_.bank.Play(kSoundLineFull, 0, 2); }
void GameServices::HandleSoundtrackEvent() { audio_.soundtrack.HandleEvent(); }
void GameServices::SetSoundEnabled(bool enabled) { audio_.bank.soundEnabled = enabled ? 1 : 0; }

void GameServices::ReleaseInputDevices() {
  if (auto* k = game_->keyboard()) k->Unacquire();
  if (auto* m = game_->mouse()) m->Unacquire();
}

void GameServices::ReleaseKeyboard() {
  if (auto* k = game_->keyboard()) k->Unacquire();
}

void GameServices::AcquireKeyboard() {
  if (auto* k = game_->keyboard()) k->Acquire();
}

float GameServices::FrameTimer(int command) {
  std::lock_guard lock(timerMutex_);
  return frameTimer_(command);
}

void GameServices::SubmitChatLine(const std::string& typed) { game_->QueueChatLine(typed); }
void GameServices::PushMessageLine(const std::string& line) { game_->QueueMessageLine(line); }

HResult GameServices::ConnectMultiplayer() {
  platform::ShowMessageBox("Varnholt - Halvex",
                           "Multiplayer sessions are not available in this version of the game.",
                           platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
  return E_FAIL;
}

void GameServices::ShutdownNetwork() { window_.Post(kMsgApplicationExit); }

HResult GameServices::CreateDevices() {
  game::RunOptions check;
  std::string error;
  if (!MakeRunOptions(commandLine_, check, error)) return E_FAIL;
  const HResult hr = game_->CreateDevices(commandLine_.headless ? nullptr : window_.native());
  // A quit during loading, or a failure the loading already showed its own
  // box for, ends the program without the general failure box.
  if (hr != S_OK && flags_.exitRequested) return S_OK;
  return hr;
}

void GameServices::ReleaseDevices(int releaseAll) {
  if (released_) return;
  released_ = true;
  game_->ReleaseDevices(releaseAll != 0);
  // In a sanitizer build, look for leaks now, while the GL driver is still
  // loaded: its own caches are then known by library name and suppressed.
  // Once the window goes, SDL unloads the driver and they could no longer be
  // told apart from ours.
  if (!commandLine_.headless && &__lsan_do_leak_check != nullptr) __lsan_do_leak_check();
}

void GameServices::Attach(HalvexApp& app) {
  game::ShellLinks& links = game_->links;
  links.openChatEntry = [this, &app] { app.OpenChatEntry(window_); };
  links.chatEntryOpen = [&app] { return app.ChatEntryOpen(); };
  links.chatLine = [&app] { return app.ChatLineSnapshot(); };
  links.chatTyping = [&app] { return app.ChatTypingSnapshot(); };
  links.safePoint = [&app] { app.suspendGate().SafePoint(); };
}

int GameServices::RunMatch(HalvexApp&) {
  const int result = game_->RunMatch();
  if (commandLine_.timedemo) std::printf("%s\n", game_->TimedemoReport().c_str());
  std::fflush(stdout);
  return result;
}

void GameServices::RunClosingScreen() { game_->RunClosingScreen(); }

}  // namespace halvex
