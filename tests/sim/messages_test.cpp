#include "sim/messages.h"

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace halvex {
namespace {

class Messages : public SimTest {};

TEST_F(Messages, EleventhLinePushesOldestOut) {
  MessageList& list = state().messages;
  for (int i = 0; i < 11; ++i) PushLine(list, "line " + std::to_string(i), events_);
  EXPECT_STREQ(list.lines[0].data(), "line 10");
  EXPECT_STREQ(list.lines[9].data(), "line 1");
  EXPECT_EQ(list.displayTimer, 250.0f);
  EXPECT_EQ(events_.Count(SoundEffect::kMessage), 11);
  PushLine(list, std::string(300, 'x'), events_);  // cut to fit
  EXPECT_EQ(std::string(list.lines[0].data()).size(), 127u);
}

TEST_F(Messages, ChatActionAndPlainLines) {
  EXPECT_EQ(FormatChatLine(state(), "/me waves"), "Player 1 waves");
  EXPECT_EQ(FormatChatLine(state(), "/me"), "Player 1 ");
  EXPECT_EQ(FormatChatLine(state(), "hello all"), "Player 1: hello all");
}

TEST_F(Messages, SetVarClampsNamesAndCase) {
  EXPECT_EQ(FormatChatLine(state(), "/setvar Attack 0"),
            "VarnServ: Enemy Attack has been set to 0.");
  EXPECT_EQ(state().settings.enemyAttack, 0);
  EXPECT_EQ(FormatChatLine(state(), "/setvar Power 5000"), "VarnServ: Player HP has been set to 999.");
  EXPECT_EQ(player().power, 999);
  EXPECT_STREQ(player().powerText.data(), "999");
  EXPECT_EQ(FormatChatLine(state(), "/setvar power 5"), "VarnServ: power has been set to 5.");
  EXPECT_EQ(player().power, 999);
  EXPECT_EQ(FormatChatLine(state(), "/setvar Ammo -40"), "VarnServ: Player Ammo has been set to 0.");
  EXPECT_EQ(player().ammo, 0);
  EXPECT_EQ(FormatChatLine(state(), "/setvar Armor lots"), "VarnServ: Player Armor has been set to 0.");
  EXPECT_EQ(FormatChatLine(state(), "/setvar AI 99999999999999999999"),
            "VarnServ: Enemy AI has been set to 999.");
  EXPECT_EQ(state().settings.enemyAI, 999);
  // No blank: the rest is the name and the value 0.
  EXPECT_EQ(FormatChatLine(state(), "/setvar Ammo"), "VarnServ: Player Ammo has been set to 0.");
}

}  // namespace
}  // namespace halvex
