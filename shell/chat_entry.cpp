#include "shell/chat_entry.h"

#include "platform/window/messages.h"

namespace halvex {

void OpenChat(ChatEntry& chat) {
  chat.chatLine.clear();
  // A fresh line is below the newest sent one, whatever an earlier entry left
  // browsed when it was cancelled or closed empty.
  chat.chatHistoryIndex = 0;
  chat.chatOpen = true;
  chat.chatEnterArmed = false;
}

void HistoryUp(ChatEntry& chat) {
  if (chat.chatHistoryIndex == 0) chat.chatHistory[0] = chat.chatLine;
  ++chat.chatHistoryIndex;
  if (chat.chatHistoryIndex >= kChatHistorySlots) chat.chatHistoryIndex = kChatHistorySlots - 1;
  if (chat.chatHistory[static_cast<std::size_t>(chat.chatHistoryIndex)].empty()) {
    --chat.chatHistoryIndex;  // nothing older: stay, and keep the line as it is
    return;
  }
  chat.chatLine = chat.chatHistory[static_cast<std::size_t>(chat.chatHistoryIndex)];
}

void HistoryDown(ChatEntry& chat) {
  // Already on the line being typed: nothing below it. Slot 0 may still hold
  // a line from an earlier browse, which must not replace what is typed now.
  if (chat.chatHistoryIndex <= 0) {
    chat.chatHistoryIndex = 0;
    return;
  }
  --chat.chatHistoryIndex;
  chat.chatLine = chat.chatHistory[static_cast<std::size_t>(chat.chatHistoryIndex)];
}

ChatKey TypeChatChar(ChatEntry& chat, unsigned char ch, std::string& sentLine) {
  chat.chatTyping = true;
  const int scan = platform::KeyScanOfChar(ch);
  if (scan == static_cast<int>(platform::VK_RETURN)) {
    if (!chat.chatEnterArmed) return ChatKey::Ignored;
    chat.chatOpen = false;
    if (chat.chatLine.empty()) return ChatKey::ClosedEmpty;
    for (int i = kChatHistorySlots - 1; i > 1; --i) {
      chat.chatHistory[static_cast<std::size_t>(i)] =
          chat.chatHistory[static_cast<std::size_t>(i - 1)];
    }
    chat.chatHistory[1] = chat.chatLine;
    sentLine = chat.chatLine;
    chat.chatLine.clear();
    chat.chatHistoryIndex = 0;
    return ChatKey::Sent;
  }
  if (scan == static_cast<int>(platform::VK_BACK)) {
    if (!chat.chatLine.empty()) chat.chatLine.pop_back();
    return ChatKey::Erased;
  }
  if (scan == 0x2DB) {
    chat.chatLine.clear();
    chat.chatOpen = false;
    return ChatKey::Cancelled;
  }
  // Other control characters (Tab, Ctrl+letters) would only garble the line.
  if (ch < 0x20 || ch == 0x7F) return ChatKey::Ignored;
  if (static_cast<int>(chat.chatLine.size()) >= kChatLineMax) return ChatKey::LineFull;
  chat.chatLine += static_cast<char>(ch);
  return ChatKey::Appended;
}

}  // namespace halvex
