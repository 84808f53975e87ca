// F11's screen capture: the presented picture as an uncompressed 24-bit BMP
// in the "Screens" folder of the working directory, under the first free
// name from Picture00.bmp to Picture99.bmp (Picture99.bmp is overwritten
// once all hundred exist).
#pragma once

#include <cstdint>
#include <string>

namespace halvex::gfx {
class Device;
}

namespace halvex::screens {

// The first "<folder>/PictureNN.bmp" that does not exist; NN = 99 when all do.
std::string NextScreenshotName(const std::string& folder);

// Writes pixels (0xAARRGGBB, top row first) as a bottom-up 24-bit BMP.
// False when the file cannot be written.
bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width, int height);

// Captures the device's front buffer into the next free file. The folder is
// created when missing (so a first capture is not lost); a file that cannot
// be created is reported on stderr and the match goes on. Returns the file
// name written, or an empty string.
std::string Screenshot(gfx::Device* device, const std::string& workingDirectory);

}  // namespace halvex::screens
