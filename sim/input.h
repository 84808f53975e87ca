// The input snapshot read once per frame: keyboard state by DirectInput scan
// code and the relative mouse.
#pragma once

#include <array>
#include <cstdint>

namespace halvex {

namespace scancode {
inline constexpr int kEscape = 0x01, k1 = 0x02, k2 = 0x03, k3 = 0x04;
inline constexpr int kW = 0x11, kT = 0x14, kEnter = 0x1C, kA = 0x1E, kS = 0x1F, kD = 0x20;
inline constexpr int kZ = 0x2C, kB = 0x30, kM = 0x32, kSpace = 0x39;
inline constexpr int kF2 = 0x3C, kF3 = 0x3D, kF4 = 0x3E, kF5 = 0x3F, kF6 = 0x40, kF7 = 0x41,
                     kF8 = 0x42, kF9 = 0x43, kF10 = 0x44, kF11 = 0x57, kF12 = 0x58;
inline constexpr int kNumpadEnter = 0x9C, kPause = 0xC5;
}  // namespace scancode

struct InputSnapshot {
  std::array<std::uint8_t, 256> keys{};
  std::int32_t lX = 0, lY = 0, lZ = 0;
  std::array<std::uint8_t, 4> buttons{};

  bool KeyDown(int code) const { return (keys[code & 0xff] & 0x80) != 0; }
  bool LeftButton() const { return buttons[0] != 0; }
  bool RightButton() const { return buttons[1] != 0; }
  void Press(int code) { keys[code & 0xff] = 0x80; }
};

}  // namespace halvex
