#include "shell/game_services.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "content/content_messages.h"
#include "game/demo.h"
#include "platform/window/message_box.h"
#include "platform/window/window.h"
#include "net/wizard/connect_wizard.h"
#include "net/wizard/wizard_window.h"
#include "platform/imgui_host/imgui_host.h"
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
  o.check = cl.check;
  o.reportSeconds = cl.reportSeconds.value_or(0.0);
  o.headless = cl.headless;
  o.nonInteractive = cl.nonInteractive();
  o.recordDrawCalls = false;
  o.maxFps = cl.maxFps.value_or(0);
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
  if (cl.record) o.recordPath = *cl.record;
  if (cl.play) {
    std::string why;
    std::shared_ptr<const game::Demo> demo = game::ReadDemo(*cl.play, &why);
    if (!demo) {
      error = "demo " + *cl.play + ": " + why;
      return false;
    }
    o.demo = std::move(demo);
    o.seed = o.demo->header.seed;
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
void GameServices::AudioDeviceLost() { audio_.device.DeviceLost(); }
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

net::ConnectPlan GameServices::PlanFromCommandLine() const {
  net::ConnectPlan plan;
  if (commandLine_.hostSession) {
    plan.mode = net::ConnectPlan::Mode::kHost;
    plan.sessionName = *commandLine_.hostSession;
    plan.port = static_cast<std::uint16_t>(commandLine_.port.value_or(0));
  } else if (commandLine_.joinAddress) {
    plan.mode = net::ConnectPlan::Mode::kJoin;
    plan.address = *commandLine_.joinAddress;
    plan.port = static_cast<std::uint16_t>(commandLine_.joinPort.value_or(commandLine_.port.value_or(0)));
  }
  return plan;
}

void GameServices::MakeSession() {
  // The session's threads hand their news to the window thread as posted
  // copies; a copy the window no longer takes is freed here.
  auto post = [this](std::uint32_t message, auto* copy) {
    if (!window_.Post(message, 0, reinterpret_cast<platform::LParam>(copy))) delete copy;
  };
  net::SessionLinks links;
  links.playerJoined = [post](std::uint32_t id, const std::string& name, bool local) {
    post(kMsgPlayerJoined, new JoinedPlayer{id, name, local});
  };
  links.playerLeft = [post](std::uint32_t id, const std::string& name, bool local) {
    post(kMsgPlayerLeft, new JoinedPlayer{id, name, local});
  };
  links.receivedChat = [post](const std::string& text) { post(kMsgReceivedChat, new std::string(text)); };
  links.received = [this](const std::string& sender, const net::GameMessage& message) {
    game_->QueueNetMessage(sender, message);
  };
  links.hostReply = [this](const peer::HostReply& reply) {
    std::lock_guard lock(wizardMutex_);
    if (activeWizard_) activeWizard_->OnHostReply(reply);
  };
  net_ = std::make_unique<net::NetSession>(std::move(links));
}

net::WizardResult GameServices::RunWizard(peer::PeerSession& peer, net::ConnectOutcome& outcome,
                                          net::ConnectPlan& lobby) {
  net::ConnectWizard wizard(net::WizardServices::Defaults());
  wizard.SetPlayerName(settings_.playerName);
  wizard.SetSessionName(net::DefaultSessionName(settings_.playerName.substr(0, net::kSessionPlayerNameMax)));
  wizard.SetProviderName(providerName_);
  wizard.SetHostPort(static_cast<std::uint16_t>(commandLine_.port.value_or(0)));
  wizard.SetSession(&peer);
  {
    std::lock_guard lock(wizardMutex_);
    activeWizard_ = &wizard;
  }
  platform::ImGuiHost host;
  IconPixels icon = LoadIconPixels(kWindowIconPath);
  host.SetIcon(icon.width, icon.height, std::move(icon.rgba));
  // The wizard's window takes SDL's events while it is up.
  window_.PauseEventPump(true);
  net::WizardWindow window(wizard, host);
  if (commandLine_.trace) {
    window.onDialogShown = [](net::WizardDialog dialog) {
      std::printf("trace: wizard dialog %d\n", net::DialogNumber(dialog));
      std::fflush(stdout);
    };
  }
  const std::uint32_t result = window.Run();
  window_.PauseEventPump(false);
  {
    std::lock_guard lock(wizardMutex_);
    activeWizard_ = nullptr;
  }
  providerName_ = wizard.providerName();
  outcome.playerName = wizard.playerName();
  outcome.sessionName = wizard.sessionName();
  outcome.providerName = wizard.providerName();
  outcome.isHost = wizard.isHost();
  if (result == net::kWizardForward) return net::WizardResult::kConnected;
  if (result == net::kWizardQuit) return net::WizardResult::kQuit;
  if (result == net::kWizardLobbyConnect && wizard.lobbySettings()) {
    const net::LobbySettings& l = *wizard.lobbySettings();
    lobby.mode = l.host ? net::ConnectPlan::Mode::kHost : net::ConnectPlan::Mode::kJoin;
    lobby.address = l.address;
    lobby.port = l.port;
    lobby.sessionName = l.sessionName;
    outcome.playerName = l.playerName;
    return net::WizardResult::kLobby;
  }
  return net::WizardResult::kFailed;
}

HResult GameServices::ConnectMultiplayer() {
  auto message = [](const std::string& text) {
    platform::ShowMessageBox(net::kConnectCaption, text, platform::MessageBoxButtons::Ok,
                             platform::MessageBoxAnswer::Ok);
  };
  MakeSession();
  wizard_ = [this](peer::PeerSession& peer, net::ConnectOutcome& outcome, net::ConnectPlan& lobby) {
    return RunWizard(peer, outcome, lobby);
  };
  std::string error;
  if (!net_->Initialize(peer::Transport::kUdpIPv4, &error)) {
    std::fprintf(stderr, "halvex: multiplayer: %s\n", error.c_str());
    message(net::kPeerInitFailedText);
    return E_FAIL;
  }
  net::ConnectOutcome outcome;
  if (!net::SessionConnect(*net_, settings_.playerName, PlanFromCommandLine(), wizard_, message, outcome))
    return E_FAIL;
  window_.SetTitle(outcome.isHost ? "Varnholt - Halvex (Host)" : "Varnholt - Halvex");
  game_->AttachNetwork(net_.get());
  std::printf("multiplayer: %s \"%s\" as %s on port %u\n", outcome.isHost ? "hosting" : "joined",
              outcome.sessionName.c_str(), outcome.playerName.c_str(),
              static_cast<unsigned>(net_->peer() ? net_->peer()->LocalPort() : 0));
  std::fflush(stdout);
  return S_OK;
}

// Window thread, on a second close: leave the session now; the game thread,
// which may still be sending, finds it closed.
void GameServices::CloseSession() {
  if (net_) net_->Close();
}

void GameServices::ShutdownNetwork() {
  if (net_) {
    game_->AttachNetwork(nullptr);
    net_->Close();
  }
  window_.Post(kMsgApplicationExit);
}

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
  if (result != 0) flags_.runFailed = 1;
  if (commandLine_.timedemo) std::printf("%s\n", game_->TimedemoReport().c_str());
  // A run nobody watches ends with what a replay or a second run can be compared by.
  if (commandLine_.headless || commandLine_.play) std::printf("%s\n", game_->MatchSummary().c_str());
  std::fflush(stdout);
  return result;
}

void GameServices::RunClosingScreen() { game_->RunClosingScreen(); }

}  // namespace halvex
