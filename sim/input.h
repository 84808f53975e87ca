// The input snapshot read once per frame: keyboard state by DirectInput scan
// code and the relative mouse.
#pragma once

#include <array>
#include <cstddef>
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

// Keys that were down when the keyboard came back to the match (chat entry
// closed) act only after they have been let go: the Escape that left chat
// would otherwise end the match, the Return that sent a line open it again.
class KeyLatch {
 public:
  // From now on, whatever the next real reading shows held is latched.
  void Arm() { pending_ = true; }
  // Masks the latched keys in this frame's snapshot. fresh: the snapshot is
  // a real keyboard reading (a frame read while the keyboard was still away
  // shows nothing, which says nothing about what is held).
  void Apply(InputSnapshot& in, bool fresh) {
    if (pending_) {
      if (!fresh) {
        in.keys.fill(0);
        return;
      }
      for (std::size_t k = 0; k < held_.size(); ++k) held_[k] = (in.keys[k] & 0x80) != 0;
      pending_ = false;
    }
    for (std::size_t k = 0; k < held_.size(); ++k) {
      if (!held_[k]) continue;
      if (in.keys[k] & 0x80) {
        in.keys[k] = 0;
      } else {
        held_[k] = false;
      }
    }
  }

 private:
  bool pending_ = false;
  std::array<bool, 256> held_{};
};

}  // namespace halvex
