// Comforts beyond the launcher's original options: mouse feel, frame pacing,
// the picture's aspect and screenshot files. Every default is the game as it
// always played, and nothing is written to the store until a player changes
// one, so a player who never looks here keeps exactly the original game and
// settings file.
#pragma once

#include <optional>
#include <string>

#include "platform/registry/registry.h"
#include "sim/key_bindings.h"

namespace halvex {

inline constexpr const char* kComfortKey = "Software\\Varnholt\\Halvex\\Comfort";

inline constexpr int kMouseSensitivityMin = 10;    // percent of the original turn per count
inline constexpr int kMouseSensitivityMax = 1000;
inline constexpr int kFrameCapMin = 20;            // frames a second; 0 is no cap
inline constexpr int kFrameCapMax = 1000;
inline constexpr int kBackgroundFrameCap = 20;     // while the window has no focus

struct ComfortSettings {
  int mouseSensitivity = 100;       // "Mouse Sensitivity", percent
  bool invertMouse = false;         // "Invert Mouse": moving the mouse forward looks down
  bool rawMouse = true;             // "Raw Mouse": motion without the desktop's acceleration
  int frameCap = 0;                 // "Frame Cap", frames a second, 0 for none
  bool backgroundCap = false;       // "Background Cap": kBackgroundFrameCap without focus
  bool vsync = false;               // "VSync": windowed frames wait for the display
  bool correctAspect = false;       // "Correct Aspect": wide screens see wider, never stretched
  bool resizableWindow = false;     // "Resizable Window": a window the player may size, letterboxed
  bool pngScreenshots = false;      // "PNG Screenshots": pictures as PNG instead of BMP
  bool mirrorScreenshots = false;   // "Mirror Screenshots": a copy in the desktop's Pictures
  KeyBindings keys = DefaultKeyBindings();  // "Key Forward", ... by scan code
  // "Screen Size": a size the desktop offers beyond the original five, as
  // "1920x1080"; empty when the original list's "Resolution" is played.
  std::string screenSize;

  bool operator==(const ComfortSettings&) const = default;
};

struct ScreenSize {
  int width, height;
};
// "1920x1080" within 320x200..16384x16384, or nothing.
std::optional<ScreenSize> ParseScreenSize(const std::string& text);

// Reads the stored comforts; missing or unusable values keep their defaults,
// numbers are kept to their ranges.
void ReadComfortSettings(const platform::RegistryKey& key, ComfortSettings& c);
// Writes the values that differ from the defaults or are stored already.
void StoreComfortSettings(platform::RegistryKey& key, const ComfortSettings& c);

}  // namespace halvex
