#include "sim/key_bindings.h"

#include <cstdio>

namespace halvex {

namespace {

constexpr int kFireAction = 11, kJumpAction = 12;

bool IsMouseButton(int code) { return code >= kMouseButtonCode; }

bool Held(const InputSnapshot& in, int code) {
  return IsMouseButton(code) ? in.buttons[(code - kMouseButtonCode) & 3] != 0 : (in.keys[code & 0xff] & 0x80) != 0;
}

void Hold(InputSnapshot& in, int code, bool down) {
  const std::uint8_t value = down ? 0x80 : 0;
  if (IsMouseButton(code)) {
    in.buttons[(code - kMouseButtonCode) & 3] = value;
  } else {
    in.keys[code & 0xff] = value;
  }
}

}  // namespace

bool BindableKey(int code) {
  if (IsMouseButton(code)) return code < kMouseButtonCode + kMouseButtonCount;
  if (code <= 0x01 || code > 0xFF) return false;              // nothing, Escape
  if (code >= 0x3B && code <= 0x44) return false;             // F1..F10
  return code != 0x57 && code != 0x58 && code != 0xC5;        // F11, F12, Pause
}

void ApplyKeyBindings(const KeyBindings& bindings, InputSnapshot& in) {
  const InputSnapshot held = in;
  for (int i = 0; i < kBindableActionCount; ++i) {
    if (bindings[i] == kBindableActions[i].defaultKey) continue;
    Hold(in, kBindableActions[i].defaultKey, false);
    Hold(in, bindings[i], false);
  }
  for (int i = 0; i < kBindableActionCount; ++i) {
    if (Held(held, bindings[i])) Hold(in, kBindableActions[i].defaultKey, true);
  }
}

std::string KeyName(int code) {
  static const char* const kButtons[kMouseButtonCount] = {"Left Button", "Right Button", "Middle Button",
                                                          "Mouse Button 4"};
  if (IsMouseButton(code) && code < kMouseButtonCode + kMouseButtonCount) return kButtons[code - kMouseButtonCode];
  static const char* const kLetters = "QWERTYUIOP\0\0\0\0ASDFGHJKL\0\0\0\0\0ZXCVBNM";
  if (code >= 0x10 && code <= 0x32 && kLetters[code - 0x10]) return std::string(1, kLetters[code - 0x10]);
  if (code >= 0x02 && code <= 0x0B) return std::string(1, "1234567890"[code - 0x02]);
  struct Named { int code; const char* name; };
  static const Named kNames[] = {
      {0x0C, "Minus"}, {0x0D, "Equals"}, {0x0E, "Backspace"}, {0x0F, "Tab"}, {0x1A, "["},
      {0x1B, "]"}, {0x1C, "Enter"}, {0x1D, "Left Ctrl"}, {0x27, ";"}, {0x28, "'"}, {0x29, "`"},
      {0x2A, "Left Shift"}, {0x2B, "\\"}, {0x33, ","}, {0x34, "."}, {0x35, "/"},
      {0x36, "Right Shift"}, {0x37, "Numpad *"}, {0x38, "Left Alt"}, {0x39, "Space"},
      {0x3A, "Caps Lock"}, {0x47, "Numpad 7"}, {0x48, "Numpad 8"}, {0x49, "Numpad 9"},
      {0x4A, "Numpad -"}, {0x4B, "Numpad 4"}, {0x4C, "Numpad 5"}, {0x4D, "Numpad 6"},
      {0x4E, "Numpad +"}, {0x4F, "Numpad 1"}, {0x50, "Numpad 2"}, {0x51, "Numpad 3"},
      {0x52, "Numpad 0"}, {0x53, "Numpad ."}, {0x9C, "Numpad Enter"}, {0x9D, "Right Ctrl"},
      {0xB5, "Numpad /"}, {0xB8, "Right Alt"}, {0xC7, "Home"}, {0xC8, "Up"}, {0xC9, "Page Up"},
      {0xCB, "Left"}, {0xCD, "Right"}, {0xCF, "End"}, {0xD0, "Down"}, {0xD1, "Page Down"},
      {0xD2, "Insert"}, {0xD3, "Delete"}};
  for (const Named& n : kNames) {
    if (n.code == code) return n.name;
  }
  char name[16];
  std::snprintf(name, sizeof name, "Key 0x%02X", code & 0xff);
  return name;
}

std::string KeyboardHelpText(const KeyBindings& b) {
  auto line = [&](int action, const char* what) { return KeyName(b[action]) + " - " + what + "\n"; };
  // The designed page, with the player's keys where the player moved them.
  std::string text = line(0, "Move Forward") + line(1, "Move Backward") + line(2, "Strafe Left") +
                     line(3, "Strafe Right") + line(4, "Reload");
  if (b[5] != 0x02 || b[6] != 0x03 || b[7] != 0x04) {
    text += KeyName(b[5]) + " " + KeyName(b[6]) + " " + KeyName(b[7]) + " - Weapons\n";
  }
  text += line(8, "Chat System") + line(9, "Show Chat") + line(10, "Score/Stats") +
          "F1 - This Help\nF2 - Toggle Framerate\nF9 - Fixed Camera\nF10 - Toggle Realism\n"
          "F11 - Capture Screenshot\nF12 - Toggle Spectator";
  return text;
}

std::string MouseHelpText(const KeyBindings& b) {
  std::string text = "Move Mouse - Aim/Turn\n" + KeyName(b[kFireAction]) + " - Shoot\n" + KeyName(b[kJumpAction]) +
                     " - Jump/Fly\n";
  bool middleUsed = false;
  for (int code : b) middleUsed = middleUsed || code == kMouseButtonCode + 2;
  if (!middleUsed) text += "Middle Button - Not Used\n";
  return text + "Roll Wheel - Change Weapon";
}

}  // namespace halvex
