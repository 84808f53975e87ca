// F11's screen capture: the presented picture as an uncompressed 24-bit BMP
// (or, when the player asks for it, a PNG) in the "Screens" folder of the
// working directory, under the first free name from Picture00.bmp to
// Picture99.bmp (Picture99.bmp is overwritten once all hundred exist). A picture is written whole under a temporary name
// and then linked to its picture name, so a full disk leaves no half file,
// and a link already standing at a picture's name is never followed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace halvex::gfx {
class Device;
}

namespace halvex::screens {

enum class PictureFormat { kBmp, kPng };

// The first "<folder>/PictureNN.bmp" (or .png) that does not exist (a
// dangling link counts as existing); NN = 99 when all do.
std::string NextScreenshotName(const std::string& folder, PictureFormat format = PictureFormat::kBmp);

// Writes pixels (0xAARRGGBB, top row first) as a bottom-up 24-bit BMP.
// False when the file cannot be written.
bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width, int height);

// The BMP file's bytes for pixels as WriteBmp24 lays them out; empty for no
// picture.
std::vector<unsigned char> EncodeBmp24(const std::uint32_t* pixels, int width, int height);

// The PNG file's bytes (24-bit, top row first); empty for no picture.
std::vector<unsigned char> EncodePng24(const std::uint32_t* pixels, int width, int height);

// Saves a picture in folder (created when missing) under the next free
// picture name. A folder that is not one, cannot be written, or fills up
// is reported on stderr, with nothing left behind; returns the file name
// written, or an empty string.
std::string SaveScreenshot(const std::string& folder, const std::uint32_t* pixels, int width,
                           int height, PictureFormat format = PictureFormat::kBmp);

// Where and how the player wants pictures kept.
struct ScreenshotOptions {
  PictureFormat format = PictureFormat::kBmp;
  std::string mirrorFolder;  // also saved here when not empty (the desktop's Pictures)
};

// Captures the frame about to be presented (the device's current target,
// the back buffer, between EndScene and Present) into the next free file.
// The folder is created when missing (so a first capture is not lost); a
// file that cannot be created is reported on stderr and the match goes on.
// Returns the file name written, or an empty string.
std::string Screenshot(gfx::Device* device, const std::string& workingDirectory,
                       const ScreenshotOptions& options = {});

}  // namespace halvex::screens
