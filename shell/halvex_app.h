// The game's application class: the window-thread side (message procedure,
// chat entry, activation) and the hooks into the subsystems.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "launcher/settings.h"
#include "platform/thread/game_thread.h"
#include "shell/chat_entry.h"
#include "shell/game_app.h"
#include "shell/shell_flags.h"
#include "shell/shell_hooks.h"

namespace halvex {

// The record a joining player hands over with the player-joined message.
// The record of a player who joined or left, posted by the network code.
struct JoinedPlayer {
  std::uint32_t id = 0;
  std::string name;
  bool local = false;  // this machine's own player entering the session
};

class HalvexApp;

// The game that runs the match; the shell's hooks object provides it.
class MatchRunner {
 public:
  virtual ~MatchRunner() = default;
  virtual int RunMatch(HalvexApp& app) = 0;
};

class HalvexApp : public GameApp {
 public:
  HalvexApp(Settings& settings, ShellFlags& flags, ShellHooks& hooks,
            platform::GameThread& gameThread);

  platform::LResult WindowProc(platform::Window& window,
                               const platform::Message& message) override;
  int RunMatch() override {
    auto* runner = dynamic_cast<MatchRunner*>(&hooks_);
    return runner ? runner->RunMatch(*this) : GameApp::RunMatch();
  }

  Settings& settings() { return settings_; }
  ShellFlags& flags() { return flags_; }
  ChatEntry& chat() { return chat_; }
  // The typed line and typing flag, for the game thread's HUD.
  std::string ChatLineSnapshot() const {
    std::lock_guard lock(chatMutex_);
    return chat_.chatLine;
  }
  bool ChatTypingSnapshot() const {
    std::lock_guard lock(chatMutex_);
    return chat_.chatTyping;
  }
  // Window thread only: how many suspends are not yet resumed.
  int suspendCount() const { return suspendCount_; }

  // Opens chat entry (the match loop calls this on Enter).
  void OpenChatEntry(platform::Window& window);
  // Whether chat entry is open; the window thread closes it.
  bool ChatEntryOpen() const;
  // Where the game thread parks while the window thread suspends it.
  platform::SuspendGate& suspendGate() { return gameThread_.gate(); }

 private:
  platform::LResult OnActivateApp(bool active);
  // A window close, or a termination request (evenWhileLoading).
  platform::LResult OnClose(platform::Window& window, bool evenWhileLoading);
  void OnKeyDown(platform::WParam key);
  void OnChar(platform::Window& window, unsigned char ch);
  void OnPlayerJoined(const JoinedPlayer& player);
  void OnPlayerLeft(const JoinedPlayer& player);
  void ApplicationExit(platform::Window& window);
  void DropPriorities();
  void RestorePriorities();
  void ResumeGameThreadFully();

  Settings& settings_;
  ShellFlags& flags_;
  ShellHooks& hooks_;
  platform::GameThread& gameThread_;
  ChatEntry chat_;
  mutable std::mutex chatMutex_;  // the game thread reads the line while it is typed
  int suspendCount_ = 0;
};

}  // namespace halvex
