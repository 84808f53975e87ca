// Chat entry editing: the typed line, its history and the keys that edit it.
// Pure state, driven by the window thread's message procedure.
#pragma once

#include <array>
#include <string>

namespace halvex {

inline constexpr int kChatLineMax = 50;  // characters accepted in the typed line
inline constexpr int kChatHistorySlots = 10;

struct ChatEntry {
  std::string chatLine;
  // Slot 0 keeps the line being typed while browsing; 1..9 the sent lines,
  // newest in slot 1.
  std::array<std::string, kChatHistorySlots> chatHistory;
  int chatHistoryIndex = 0;
  bool chatOpen = false;
  bool chatEnterArmed = false;
  bool chatTyping = false;
};

// Opens entry on a fresh line below the history, and disarms Enter until
// the arming timer.
void OpenChat(ChatEntry& chat);
void HistoryUp(ChatEntry& chat);
void HistoryDown(ChatEntry& chat);

enum class ChatKey {
  Appended,  // the character went into the line
  LineFull,  // refused: the line is full (play the line-full sound)
  Erased,    // Backspace
  Cancelled,  // Escape: entry closed, line dropped
  ClosedEmpty,  // Return on an empty line: entry closed, nothing sent
  Sent,         // Return with text: entry closed, the line is in sentLine
  Ignored,      // Return before Enter was armed, or a control character
};

// One typed character (WM_CHAR). For Sent the line that was sent is stored
// in sentLine and moved into the history.
ChatKey TypeChatChar(ChatEntry& chat, unsigned char ch, std::string& sentLine);

}  // namespace halvex
