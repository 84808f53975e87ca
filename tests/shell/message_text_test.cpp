// Message box text is wrapped before the desktop shows it.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/window/message_box.h"

namespace halvex::platform {
namespace {

TEST(MessageText, LongParagraphsBreakAtBlanksAndKeepTheirWords) {
  const std::string text =
      "Please click the \"Get Help!\" button on the following window for complete information on game "
      "controls, options, frequently asked questions, and product updates.  The FAQ is valuable.\nOK?";
  const std::string wrapped = WrapMessageText(text, 40);
  std::istringstream lines(wrapped);
  std::string line, words;
  int count = 0;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 40u) << line;
    EXPECT_FALSE(line.empty());
    EXPECT_NE(line.front(), ' ');
    EXPECT_NE(line.back(), ' ');
    words += line + " ";
    ++count;
  }
  EXPECT_GE(count, 5);
  EXPECT_EQ(wrapped.substr(wrapped.size() - 4), "\nOK?") << "the text's own line break stays";
  EXPECT_NE(words.find("product updates. The FAQ"), std::string::npos) << words;
}

TEST(MessageText, AWordLongerThanALineStandsAloneAndShortTextIsUntouched) {
  EXPECT_EQ(WrapMessageText("see /a/very/long/path/to/the/content/folder now", 10),
            "see\n/a/very/long/path/to/the/content/folder\nnow");
  EXPECT_EQ(WrapMessageText("Reset Failed"), "Reset Failed");
  EXPECT_EQ(WrapMessageText("one\n\ntwo"), "one\n\ntwo");
  EXPECT_EQ(WrapMessageText(""), "");
}

}  // namespace
}  // namespace halvex::platform
