// The player's own keys and buttons for the match's actions: keyboard keys
// by physical key (scan code), mouse buttons by number. The match reads the
// keys and buttons it was designed with; the bindings turn what the player
// holds into those, so nothing past the input reading knows that a control
// was moved, and the default bindings change nothing at all.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/input.h"

namespace halvex {

// Mouse buttons take the codes after the keyboard's: left, right, middle, fourth.
inline constexpr int kMouseButtonCode = 0x100;
inline constexpr int kMouseLeftButton = kMouseButtonCode, kMouseRightButton = kMouseButtonCode + 1;
inline constexpr int kMouseButtonCount = 4;

struct BindableAction {
  const char* registryName;  // "Key Forward"
  const char* helpName;      // "Move Forward"
  int defaultKey;            // the scan code or mouse button the match reads
};

inline constexpr int kBindableActionCount = 13;
inline constexpr std::array<BindableAction, kBindableActionCount> kBindableActions = {{
    {"Key Forward", "Move Forward", 0x11},
    {"Key Backward", "Move Backward", 0x1F},
    {"Key Left", "Strafe Left", 0x1E},
    {"Key Right", "Strafe Right", 0x20},
    {"Key Reload", "Reload", 0x39},
    {"Key Pistol", "Pistol", 0x02},
    {"Key Rocket", "Rocket Launcher", 0x03},
    {"Key Shotgun", "Shotgun", 0x04},
    {"Key Chat", "Chat System", 0x1C},
    {"Key Show Chat", "Show Chat", 0x2A},
    {"Key Scores", "Score/Stats", 0x0F},
    {"Key Fire", "Shoot", kMouseLeftButton},
    {"Key Jump", "Jump/Fly", kMouseRightButton},
}};

using KeyBindings = std::array<int, kBindableActionCount>;
constexpr KeyBindings DefaultKeyBindings() {
  KeyBindings keys{};
  for (int i = 0; i < kBindableActionCount; ++i) keys[i] = kBindableActions[i].defaultKey;
  return keys;
}

// A key or button the player may take for an action: any mouse button, any
// key but Escape, Pause and the function keys, which keep their own commands.
bool BindableKey(int code);

// Each action's designed key or button reads as held exactly when the one
// bound to it is; a bound control that is not some action's designed one no
// longer acts on its own. Every other key and button passes as it was.
void ApplyKeyBindings(const KeyBindings& bindings, InputSnapshot& in);

// "W", "Space", "Up", "Numpad 5", "Right Button"; "Key 0x5A" for keys without a name.
std::string KeyName(int code);

// The help page's keyboard lines with the player's keys ("W - Move Forward\n...").
std::string KeyboardHelpText(const KeyBindings& bindings);
// The help page's mouse lines with the player's buttons ("Left Button - Shoot\n...").
std::string MouseHelpText(const KeyBindings& bindings);

}  // namespace halvex
