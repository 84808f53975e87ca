#include "shell/chat_entry.h"

#include <gtest/gtest.h>

namespace halvex {
namespace {

void Send(ChatEntry& chat, const std::string& text) {
  OpenChat(chat);
  chat.chatEnterArmed = true;
  std::string sent;
  for (unsigned char c : text) TypeChatChar(chat, c, sent);
  ASSERT_EQ(TypeChatChar(chat, '\r', sent), ChatKey::Sent);
  EXPECT_EQ(sent, text);
}

TEST(ChatEntry, UpWithEmptyHistoryKeepsTheTypedLine) {
  ChatEntry chat;
  chat.chatLine = "typing";
  HistoryUp(chat);
  EXPECT_EQ(chat.chatLine, "typing");
  EXPECT_EQ(chat.chatHistoryIndex, 0);
}

TEST(ChatEntry, BrowsingUpAndBackDownRestoresTheTypedLine) {
  ChatEntry chat;
  Send(chat, "first");
  Send(chat, "second");
  chat.chatLine = "draft";
  HistoryUp(chat);
  EXPECT_EQ(chat.chatLine, "second");
  HistoryUp(chat);
  EXPECT_EQ(chat.chatLine, "first");
  HistoryUp(chat);  // nothing older
  EXPECT_EQ(chat.chatLine, "first");
  EXPECT_EQ(chat.chatHistoryIndex, 2);
  HistoryDown(chat);
  EXPECT_EQ(chat.chatLine, "second");
  HistoryDown(chat);
  EXPECT_EQ(chat.chatLine, "draft");
  HistoryDown(chat);
  EXPECT_EQ(chat.chatHistoryIndex, 0);
  EXPECT_EQ(chat.chatLine, "draft");
}

TEST(ChatEntry, DownOnTheTypedLineKeepsItWhenSlotZeroHoldsAnOlderDraft) {
  ChatEntry chat;
  Send(chat, "sent");
  chat.chatLine = "old draft";
  HistoryUp(chat);  // slot 0 now keeps "old draft"
  HistoryDown(chat);
  Send(chat, "another");
  OpenChat(chat);
  chat.chatLine = "new words";
  HistoryDown(chat);  // nothing below the line being typed
  EXPECT_EQ(chat.chatLine, "new words");
  EXPECT_EQ(chat.chatHistoryIndex, 0);
}

// Browsing, then leaving entry with Escape: the next entry starts on a fresh
// line, so Down has nothing below it and Up starts again at the newest line.
TEST(ChatEntry, EntryOpenedAfterBrowsingStartsBelowTheNewestLine) {
  ChatEntry chat;
  Send(chat, "first");
  Send(chat, "second");
  OpenChat(chat);
  std::string sent;
  for (unsigned char c : std::string("draft")) TypeChatChar(chat, c, sent);
  HistoryUp(chat);
  HistoryUp(chat);
  ASSERT_EQ(chat.chatLine, "first");
  ASSERT_EQ(TypeChatChar(chat, 27, sent), ChatKey::Cancelled);

  OpenChat(chat);
  HistoryDown(chat);
  EXPECT_EQ(chat.chatLine, "") << "no older draft or sent line below the fresh line";
  HistoryUp(chat);
  EXPECT_EQ(chat.chatLine, "second");
  HistoryDown(chat);
  HistoryDown(chat);
  EXPECT_EQ(chat.chatLine, "");
}

TEST(ChatEntry, HistoryKeepsTheNineNewestLines) {
  ChatEntry chat;
  for (int i = 0; i < 12; ++i) Send(chat, "line" + std::to_string(i));
  EXPECT_EQ(chat.chatHistory[1], "line11");
  EXPECT_EQ(chat.chatHistory[9], "line3");
  for (int i = 0; i < 15; ++i) HistoryUp(chat);
  EXPECT_EQ(chat.chatHistoryIndex, 9);
  EXPECT_EQ(chat.chatLine, "line3");
}

TEST(ChatEntry, ControlCharactersNeverEnterTheLine) {
  ChatEntry chat;
  OpenChat(chat);
  std::string sent;
  EXPECT_EQ(TypeChatChar(chat, '\t', sent), ChatKey::Ignored);
  EXPECT_EQ(TypeChatChar(chat, 8, sent), ChatKey::Erased);  // on an empty line
  EXPECT_EQ(TypeChatChar(chat, 'a', sent), ChatKey::Appended);
  EXPECT_EQ(chat.chatLine, "a");
  EXPECT_EQ(TypeChatChar(chat, 27, sent), ChatKey::Cancelled);
  EXPECT_FALSE(chat.chatOpen);
}

}  // namespace
}  // namespace halvex
