// Texture files decoded on the CPU: DDS (uncompressed RGB/RGBA/luminance/
// alpha formats and DXT1/3/5) by our own reader, TGA, BMP, PNG and JPEG
// through stb_image. Every image comes out as 32-bit pixels 0xAARRGGBB
// (A8R8G8B8, alpha 255 where the file has none), top row first, so the
// device half only ever uploads one format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvex {

struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> pixels;  // width * height, 0xAARRGGBB
  uint32_t at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};

// Largest side accepted; far above any texture the game draws, and it keeps
// a corrupt header from asking for gigabytes.
inline constexpr uint32_t kMaxImageSide = 8192;
// Largest picture taken from the formats stb_image reads (16 times the
// pack's largest texture). stb_image fills in what a truncated file lacks,
// so a header of a few bytes could otherwise cost the decoding of
// kMaxImageSide squared pixels; a DDS file has to hold its pixels.
inline constexpr uint32_t kMaxDecodedPixels = 1024 * 1024;

// Decodes a file's bytes, choosing the reader by content (DDS magic) or else
// trying stb_image. False with a reason for anything malformed or truncated.
bool DecodeImage(const uint8_t* data, size_t size, Image& out, std::string* error = nullptr);
bool DecodeDds(const uint8_t* data, size_t size, Image& out, std::string* error = nullptr);

// Reads and decodes a game path (backslashes, relative to the content folder).
bool LoadImageFile(std::string_view gamePath, Image& out, std::string* error = nullptr);

// The next smaller level of a mip chain: each pixel the average of up to
// 2 x 2 pixels of the level above (sides halve, never below 1).
Image HalveImage(const Image& level);

// Number of levels of a full chain down to 1 x 1.
uint32_t FullMipLevelCount(uint32_t width, uint32_t height);

}  // namespace halvex
