#include "sim/messages.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace halvex {

void PushLine(MessageList& list, std::string_view text, MatchEvents& events) {
  for (int i = kMessageListLines - 1; i >= 1; --i)
    if (list.lines[i - 1][0] != '\0') list.lines[i] = list.lines[i - 1];
  auto& line = list.lines[0];
  std::size_t n = std::min(text.size(), line.size() - 1);
  std::memcpy(line.data(), text.data(), n);
  line[n] = '\0';
  events.PlaySound(SoundEffect::kMessage);
  events.LinePushed(line.data());
  list.displayTimer = 250.0f;
}

namespace {

// Reads a decimal integer from the start like atoi (sign, digits; nothing
// is 0), saturating instead of overflowing, then limits it to 0..999.
int SetVarValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = std::min<long long>(value * 10 + (text[i++] - '0'), 1000000);
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, 0, 999));
}

std::string SetVar(MatchState& state, std::string_view rest) {
  // Without a blank there is no value: the whole rest is the name, value 0.
  std::size_t blank = rest.find(' ');
  std::string name(rest.substr(0, blank));
  int value = blank == std::string_view::npos ? 0 : SetVarValue(rest.substr(blank + 1));
  PlayerState& p = state.player;
  if (name == "Attack") {
    state.settings.enemyAttack = value;
    name = "Enemy Attack";
  } else if (name == "AI") {
    state.settings.enemyAI = value;
    name = "Enemy AI";
  } else if (name == "Power") {
    p.power = value;
    SetNumberText(p.powerText, value);
    name = "Player HP";
  } else if (name == "Ammo") {
    p.ammo = value;
    SetNumberText(p.ammoText, value);
    name = "Player Ammo";
  } else if (name == "Armor") {
    p.armor = value;
    name = "Player Armor";
  }
  return "VarnServ: " + name + " has been set to " + std::to_string(value) + ".";
}

}  // namespace

std::string FormatChatLine(MatchState& state, std::string_view typed) {
  const std::string& playerName = state.settings.playerName;
  if (typed.starts_with("/me")) {
    std::string_view rest = typed.size() > 4 ? typed.substr(4) : std::string_view();
    return playerName + " " + std::string(rest);
  }
  if (typed.starts_with("/setvar")) {
    return SetVar(state, typed.size() > 8 ? typed.substr(8) : std::string_view());
  }
  return playerName + ": " + std::string(typed);
}

}  // namespace halvex
