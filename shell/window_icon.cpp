#include "shell/window_icon.h"

#include "d3dutil/image/image.h"
#include "platform/window/window.h"

namespace halvex {

IconPixels LoadIconPixels(std::string_view gamePath) {
  Image image;
  if (!LoadImageFile(gamePath, image)) return {};
  IconPixels icon;
  icon.width = static_cast<int>(image.width);
  icon.height = static_cast<int>(image.height);
  icon.rgba.reserve(image.pixels.size() * 4);
  for (std::uint32_t argb : image.pixels) {
    icon.rgba.push_back(static_cast<std::uint8_t>(argb >> 16));
    icon.rgba.push_back(static_cast<std::uint8_t>(argb >> 8));
    icon.rgba.push_back(static_cast<std::uint8_t>(argb));
    icon.rgba.push_back(static_cast<std::uint8_t>(argb >> 24));
  }
  return icon;
}

void ApplyWindowIcon(platform::Window& window) {
  if (window.headless()) return;
  const IconPixels icon = LoadIconPixels(kWindowIconPath);
  if (!icon.empty()) window.SetIcon(icon.width, icon.height, icon.rgba.data());
}

}  // namespace halvex
