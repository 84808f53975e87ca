// The main window's message procedure: activation and suspension of the game
// thread, the orderly ways out, chat editing, timers and the private
// messages other threads post or send.
#include <cstring>
#include <memory>

#include "platform/window/window.h"
#include "shell/halvex_app.h"

namespace halvex {

using platform::LResult;
using platform::Message;
using platform::Window;

HalvexApp::HalvexApp(Settings& settings, ShellFlags& flags, ShellHooks& hooks,
                     platform::GameThread& gameThread)
    : settings_(settings), flags_(flags), hooks_(hooks), gameThread_(gameThread) {}

void HalvexApp::DropPriorities() {
  gameThread_.SetPriority(kThreadPriorityIdle);
  platform::SetProcessPriority(kPriorityClassIdle);
}

void HalvexApp::RestorePriorities() {
  platform::SetProcessPriority(settings_.processPriority);
  gameThread_.SetPriority(settings_.gameThreadPriority);
}

void HalvexApp::ResumeGameThreadFully() {
  while (suspendCount_ > 0) {
    gameThread_.gate().Resume();
    --suspendCount_;
  }
}

LResult HalvexApp::OnActivateApp(bool active) {
  if (hooks_.NobodyWatching()) return 0;
  if (!flags_.matchReady) {
    if (active) {
      flags_.appInactive = 0;
      RestorePriorities();
    } else {
      DropPriorities();
      flags_.appInactive = 1;
    }
    return 0;
  }
  if (!active) {
    if (suspendCount_ != 0) return 0;
    flags_.focusPaused = 1;  // the match pauses (gameState 2) at its next frame
    hooks_.SetSoundEnabled(false);
    flags_.gameRunning = 0;
    hooks_.ReleaseInputDevices();
    hooks_.FrameTimer(kTimerStop);
    hooks_.StopAllSound();
    flags_.wasSuspended = 1;
    DropPriorities();
    gameThread_.gate().Suspend();
    ++suspendCount_;
    return 0;
  }
  // The match returns to the state it left (playing, paused or dead).
  flags_.focusPaused = 0;
  ResumeGameThreadFully();
  RestorePriorities();
  flags_.gameRunning = 1;
  hooks_.FrameTimer(kTimerStart);
  hooks_.FrameTimer(kTimerReset);
  if (flags_.wasSuspended && !flags_.exitRequested) {
    hooks_.SetSoundEnabled(true);
    if (settings_.useSoundtrack) hooks_.RestartSoundtrack();
    hooks_.StartAmbientLoops();
  }
  return 0;
}

LResult HalvexApp::OnClose(Window& window, bool evenWhileLoading) {
  if (!flags_.matchReady && !evenWhileLoading) return 1;
  flags_.matchReady = 1;
  RestorePriorities();
  ResumeGameThreadFully();
  hooks_.StopAllSound();
  hooks_.SetSoundEnabled(false);
  flags_.gameRunning = 1;
  flags_.appInactive = 0;
  if (!flags_.exitRequested) {
    flags_.exitRequested = 1;
    return 1;
  }
  // A second close: leave as quickly as is safe. Only the game thread
  // touches the device, so it is asked, not overtaken: the message loop
  // ends now, and the game thread, which stops at its next check, releases
  // the devices while the window still exists.
  flags_.quickExit = 1;
  if (settings_.multiplayer) hooks_.CloseSession();
  window.Post(kMsgApplicationExit);
  return 1;
}

void HalvexApp::ApplicationExit(Window& window) {
  window.SetStatusText("");
  window.Post(platform::WM_DESTROY);
  window.Post(platform::WM_NCDESTROY);
  window.Post(platform::WM_QUIT, 0);
}

void HalvexApp::OnKeyDown(platform::WParam key) {
  if (key == platform::VK_DELETE) {
    flags_.matchReady = 1;
    flags_.exitRequested = 1;
    return;
  }
  std::lock_guard lock(chatMutex_);
  if (!chat_.chatOpen) return;
  if (key == platform::VK_UP) HistoryUp(chat_);
  if (key == platform::VK_DOWN) HistoryDown(chat_);
}

// Game thread: the match opened chat (its own flags are already set).
void HalvexApp::OpenChatEntry(Window& window) {
  hooks_.ReleaseKeyboard();
  {
    std::lock_guard lock(chatMutex_);
    OpenChat(chat_);
  }
  window.SetTimer(kTimerChatEnterArm, 500);
}

bool HalvexApp::ChatEntryOpen() const {
  std::lock_guard lock(chatMutex_);
  return chat_.chatOpen;
}

void HalvexApp::OnChar(Window& window, unsigned char ch) {
  window.SetTimer(kTimerChatTyping, 500);
  std::string sent;
  ChatKey typed;
  {
    std::lock_guard lock(chatMutex_);
    typed = TypeChatChar(chat_, ch, sent);
  }
  switch (typed) {
    case ChatKey::LineFull:
      hooks_.PlayLineFullSound();
      break;
    // Entry is closed in the chat state itself; the match sees it at its
    // next frame and restores the spectator mode chat found.
    case ChatKey::Cancelled:
    case ChatKey::ClosedEmpty:
      break;
    case ChatKey::Sent:
      hooks_.SubmitChatLine(sent);
      hooks_.AcquireKeyboard();
      break;
    default:
      break;
  }
}

void HalvexApp::OnPlayerJoined(const JoinedPlayer& player) {
  ++remotePlayerCount;
  // The local player is announced too, and a namesake of ours gets no record.
  if (player.local || player.name == settings_.playerName) return;
  hooks_.RosterChanged(true, player.id, player.name);
}

void HalvexApp::OnPlayerLeft(const JoinedPlayer& player) {
  --remotePlayerCount;
  if (player.local) return;
  hooks_.RosterChanged(false, player.id, player.name);
}

LResult HalvexApp::WindowProc(Window& window, const Message& m) {
  switch (m.message) {
    case platform::WM_ACTIVATE:
      if (m.wParam != platform::WA_INACTIVE && flags_.wizardActive) return 1;
      return DefaultWindowProc(window, m);
    case platform::WM_ACTIVATEAPP:
      if (m.wParam != 0 && flags_.wizardActive) return 1;
      OnActivateApp(m.wParam != 0);
      return DefaultWindowProc(window, m);
    case platform::WM_CLOSE:
      return OnClose(window, false);
    case platform::WM_ENDSESSION:
      // SIGTERM or SIGINT: end as a close does, also while loading.
      return OnClose(window, true);
    case kMsgApplicationExit:
      ApplicationExit(window);
      return 1;
    case platform::WM_SETCURSOR:
      window.ShowCursor(flags_.wizardActive != 0);
      return 1;
    case platform::WM_KEYDOWN:
      OnKeyDown(m.wParam);
      return DefaultWindowProc(window, m);
    case platform::WM_CHAR:
      if (ChatEntryOpen()) OnChar(window, static_cast<unsigned char>(m.wParam));
      return DefaultWindowProc(window, m);
    case platform::WM_TIMER:
      if (m.wParam == kTimerStatus && settings_.multiplayer) hooks_.SendStatusMessage();
      {
        std::lock_guard lock(chatMutex_);
        if (m.wParam == kTimerChatTyping) chat_.chatTyping = false;
        if (m.wParam == kTimerChatEnterArm) chat_.chatEnterArmed = true;
      }
      return 1;
    case kMsgSoundtrackEvent:
      hooks_.HandleSoundtrackEvent();
      return 1;
    case platform::WM_DEVICECHANGE:
      if (m.wParam == platform::DBT_DEVICEREMOVECOMPLETE) hooks_.AudioDeviceLost();
      return 1;
    // The network code posts its own copy of the player's record: take it and free it.
    case kMsgPlayerJoined:
    case kMsgPlayerLeft:
      if (m.lParam) {
        std::unique_ptr<JoinedPlayer> player(reinterpret_cast<JoinedPlayer*>(m.lParam));
        if (m.message == kMsgPlayerJoined) {
          OnPlayerJoined(*player);
        } else {
          OnPlayerLeft(*player);
        }
      }
      return 1;
    case kMsgReceivedChat:
      // The sender hands over its own copy of the text: take it and free it.
      if (m.lParam) {
        auto* text = reinterpret_cast<std::string*>(m.lParam);
        hooks_.PushMessageLine(*text);
        delete text;
      }
      return 1;
    default:
      return GameApp::WindowProc(window, m);
  }
}

}  // namespace halvex
