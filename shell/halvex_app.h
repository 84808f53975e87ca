// The game's application class: the window-thread side (message procedure,
// chat entry, activation) and the hooks into the subsystems.
#pragma once

#include <string>

#include "launcher/settings.h"
#include "platform/thread/game_thread.h"
#include "shell/chat_entry.h"
#include "shell/game_app.h"
#include "shell/shell_flags.h"
#include "shell/shell_hooks.h"

namespace halvex {

// The record a joining player hands over with the player-joined message.
struct JoinedPlayer {
  int id = 0;
  std::string name;
};

class HalvexApp : public GameApp {
 public:
  HalvexApp(Settings& settings, ShellFlags& flags, ShellHooks& hooks,
            platform::GameThread& gameThread);

  platform::LResult WindowProc(platform::Window& window,
                               const platform::Message& message) override;

  Settings& settings() { return settings_; }
  ShellFlags& flags() { return flags_; }
  ChatEntry& chat() { return chat_; }
  // Window thread only: how many suspends are not yet resumed.
  int suspendCount() const { return suspendCount_; }
  // Names of the combatant slots filled by joining players.
  std::array<std::string, kMaxCombatants> combatantNames;

  // Opens chat entry (the match loop calls this on Enter).
  void OpenChatEntry(platform::Window& window);

 private:
  platform::LResult OnActivateApp(bool active);
  platform::LResult OnClose(platform::Window& window);
  void OnKeyDown(platform::WParam key);
  void OnChar(platform::Window& window, unsigned char ch);
  void OnPlayerJoined(const JoinedPlayer& player);
  void ApplicationExit(platform::Window& window);
  void DropPriorities();
  void RestorePriorities();
  void ResumeGameThreadFully();

  Settings& settings_;
  ShellFlags& flags_;
  ShellHooks& hooks_;
  platform::GameThread& gameThread_;
  ChatEntry chat_;
  int suspendCount_ = 0;
};

}  // namespace halvex
