// The game's icon for its windows, read from the content pack. The platform
// layer takes plain RGBA pixels; decoding the file is ours.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace halvex {

namespace platform {
class Window;
}

// The window-sized icon the content generator writes (a game path).
inline constexpr std::string_view kWindowIconPath = "icons\\halvex64.png";

struct IconPixels {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // 8-bit R, G, B, A, top row first
  bool empty() const { return rgba.empty(); }
};

// The icon file's pixels; empty when the file is missing or is not an image.
IconPixels LoadIconPixels(std::string_view gamePath);

// Gives the window the pack's icon. A missing or unreadable icon leaves the
// desktop's default: nothing here is worth a message to the player.
void ApplyWindowIcon(platform::Window& window);

}  // namespace halvex
