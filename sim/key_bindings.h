// The player's own keys for the keyboard's actions, by physical key (scan
// code). The match reads the keys it was designed with; the bindings turn
// what the player holds into those, so nothing past the input reading knows
// that a key was moved, and the default bindings change nothing at all.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/input.h"

namespace halvex {

struct BindableAction {
  const char* registryName;  // "Key Forward"
  const char* helpName;      // "Move Forward"
  int defaultKey;            // the scan code the match reads
};

inline constexpr int kBindableActionCount = 11;
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
}};

using KeyBindings = std::array<int, kBindableActionCount>;
constexpr KeyBindings DefaultKeyBindings() {
  KeyBindings keys{};
  for (int i = 0; i < kBindableActionCount; ++i) keys[i] = kBindableActions[i].defaultKey;
  return keys;
}

// A key the player may take for an action: any but Escape, Pause and the
// function keys, which keep their own commands.
bool BindableKey(int scanCode);

// Each action's designed key reads as held exactly when the key bound to it
// is; a bound key that is not some action's designed key no longer acts on
// its own. Every other key passes as it was.
void ApplyKeyBindings(const KeyBindings& bindings, InputSnapshot& in);

// "W", "Space", "Up", "Numpad 5"; "Key 0x5A" for keys without a name.
std::string KeyName(int scanCode);

// The help page's keyboard lines with the player's keys ("W - Move Forward\n...").
std::string KeyboardHelpText(const KeyBindings& bindings);

}  // namespace halvex
