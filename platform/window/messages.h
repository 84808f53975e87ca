// Window messages by their Windows numbers, so the message procedure reads
// like the game's design; the SDL window layer produces them.
#pragma once

#include <cstdint>

namespace halvex::platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

struct Message {
  std::uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
};

inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_ACTIVATEAPP = 0x001C;
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;
inline constexpr std::uint32_t WM_NCDESTROY = 0x0082;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_ENDSESSION = 0x0016;  // the process is asked to end (a signal)
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_DEVICECHANGE = 0x0219;
inline constexpr std::uint32_t WM_APP = 0x8000;

// WM_DEVICECHANGE's wParam: a device (here: the audio output) is gone.
inline constexpr WParam DBT_DEVICEREMOVECOMPLETE = 0x8004;

// WM_ACTIVATE's wParam.
inline constexpr WParam WA_INACTIVE = 0;
inline constexpr WParam WA_ACTIVE = 1;

// Virtual key codes used by the message procedure.
inline constexpr WParam VK_BACK = 0x08;
inline constexpr WParam VK_RETURN = 0x0D;
inline constexpr WParam VK_ESCAPE = 0x1B;
inline constexpr WParam VK_UP = 0x26;
inline constexpr WParam VK_DOWN = 0x28;
inline constexpr WParam VK_DELETE = 0x2E;

// The key-scan value of a typed character: its virtual key in the low byte,
// shift state in the high byte (1 Shift, 2 Ctrl), as a US keyboard gives it.
// The Escape character (27) is Ctrl+[ there, which reads 0x2DB.
int KeyScanOfChar(unsigned char ch);

}  // namespace halvex::platform
