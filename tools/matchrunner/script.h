// Scripted input for the player: key, button and mouse events at frame
// numbers. One event a line, '#' starts a comment:
//
//   <frame> down <key>       hold a key from this frame on
//   <frame> up <key>         release it
//   <frame> button <0..3> <0|1>   mouse button held or released
//   <frame> mouse <dx> <dy> [<wheel>]   relative motion in this frame only
//   <frame> say <text>       a chat line typed and sent with Return
//
// Keys are W A S D SPACE ESCAPE ENTER PAUSE F2..F12 1 2 3, or a scan code
// as a number (decimal or 0x hex).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/input.h"

namespace halvex {

struct ScriptEvent {
  std::uint64_t frame = 0;
  enum class Kind { kDown, kUp, kButton, kMouse, kSay } kind = Kind::kDown;
  int code = 0;  // scan code or button
  int value = 0;  // button state
  std::int32_t dx = 0, dy = 0, dz = 0;
  std::string text;  // kSay
};
inline constexpr std::size_t kMaxScriptSayChars = 120;

class InputScript {
 public:
  // Parses a script; on a malformed line returns false with *error set to
  // "line N: reason".
  bool Parse(std::string_view text, std::string* error);
  // The input of frame `frame`: held keys and buttons carry over, mouse
  // motion applies to its frame only. Frames must be asked in order.
  // Lines said up to this frame are added to `said`.
  InputSnapshot Next(std::uint64_t frame, std::vector<std::string>* said = nullptr);
  std::size_t Size() const { return events_.size(); }

 private:
  std::vector<ScriptEvent> events_;
  std::size_t cursor_ = 0;
  InputSnapshot held_;
};

// Scan code for a key name, or -1.
int ScanCodeForName(std::string_view name);

}  // namespace halvex
