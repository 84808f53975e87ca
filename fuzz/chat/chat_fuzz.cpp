// Chat lines from the keyboard to the wire: keys typed into the chat entry
// (with history browsing), each sent line formatted into the HUD's message
// list ("/me", "/setvar"), cut into a chat message and read back as a peer
// reads it; and the same line through the content messages' formatter.
//
// Input: byte 0 is the length (mod 20) of the player's name, which follows
// (a settings file can hold any bytes there); every later byte is one typed
// character, except 0x01 (open the entry and arm Enter), 0x02 (history up)
// and 0x03 (history down).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "content/data_files.h"
#include "net/protocol/handle_message.h"
#include "net/protocol/wire.h"
#include "shell/chat_entry.h"
#include "sim/match.h"
#include "sim/messages.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace halvex;

// What a peer shows for a line: cut at the first NUL and at 63 characters,
// control characters as '?'.
std::string AsReceived(std::string line) {
  line = line.substr(0, std::min(line.find('\0'), net::kMaxChatChars));
  for (char& c : line) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) c = '?';
  }
  return line;
}

void Send(MatchState& state, const std::string& typed) {
  MatchEvents events;
  const std::string shown = FormatChatLine(state, typed);
  PushLine(state.messages, shown, events);
  const char* pushed = state.messages.lines[0].data();
  FUZZ_CHECK(std::strlen(pushed) <= 127);
  FUZZ_CHECK(state.player.power >= 0 && state.player.power <= 999 && state.player.ammo >= 0 &&
          state.player.ammo <= 999 && state.player.armor >= 0 && state.player.armor <= 999);

  net::GameMessage message;
  message.body = net::MakeChat(state);
  message.kind = net::KindOf(message.body);
  const std::vector<std::uint8_t> wire = net::Encode(message);
  net::GameMessage received;
  FUZZ_CHECK(net::Decode(wire.data(), wire.size(), received) == net::DropReason::kNone);
  FUZZ_CHECK(std::get<net::ChatMessage>(received.body).text == AsReceived(pushed));

  // The content messages' formatter takes the line as a message entry.
  const std::string name = state.settings.playerName;
  const std::string formatted = FormatMessage(typed, name, name);
  std::array<char, kMessageLineSize> buffer;
  const std::string_view cut = FormatMessage(typed, name, name, buffer);
  FUZZ_CHECK(cut == std::string_view(formatted).substr(0, buffer.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t nameLength = std::min<size_t>(data[0] % 20, size - 1);
  auto state = std::make_unique<MatchState>();
  state->settings.playerName.assign(reinterpret_cast<const char*>(data) + 1, nameLength);

  ChatEntry chat;
  for (size_t i = 1 + nameLength; i < size; ++i) {
    std::string sent;
    switch (data[i]) {
      case 0x01:
        OpenChat(chat);
        chat.chatEnterArmed = true;
        break;
      case 0x02: HistoryUp(chat); break;
      case 0x03: HistoryDown(chat); break;
      default:
        if (TypeChatChar(chat, data[i], sent) == ChatKey::Sent) {
          FUZZ_CHECK(!sent.empty());
          Send(*state, sent);
        }
        break;
    }
    FUZZ_CHECK(chat.chatLine.size() <= size_t(kChatLineMax));
    FUZZ_CHECK(chat.chatHistoryIndex >= 0 && chat.chatHistoryIndex < kChatHistorySlots);
    for (const std::string& line : chat.chatHistory) FUZZ_CHECK(line.size() <= size_t(kChatLineMax));
  }
  return 0;
}
