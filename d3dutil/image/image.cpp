#include "d3dutil/image/image.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <fstream>
#include <string_view>

#include "platform/paths/paths.h"

namespace halvex {

namespace {

bool StartsWith(const uint8_t* data, size_t size, std::string_view magic) {
  return size >= magic.size() &&
         std::equal(magic.begin(), magic.end(), data,
                    [](char m, uint8_t d) { return static_cast<uint8_t>(m) == d; });
}

// stb_image also reads GIF, PSD, HDR, PIC and PNM; only the formats the
// game documents go to it.
bool OtherStbFormat(const uint8_t* data, size_t size) {
  for (std::string_view magic : {"GIF8", "8BPS", "#?RADIANCE", "#?RGBE", "\x53\x80\xF6\x34", "P5", "P6"}) {
    if (StartsWith(data, size, magic)) return true;
  }
  return false;
}

// stb_image reserves room for a PNG chunk's stated length before it reads
// the chunk, so a few bytes could make it ask for gigabytes: every chunk
// must lie inside the file.
bool PngChunksFit(const uint8_t* data, size_t size) {
  size_t at = 8;
  while (at + 12 <= size) {
    const uint32_t length = uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 |
                            uint32_t(data[at + 2]) << 8 | data[at + 3];
    if (length > size - at - 12) return false;
    if (std::equal(data + at + 4, data + at + 8, "IEND")) return true;
    at += 12 + size_t(length);
  }
  return at == size;
}

}  // namespace

bool DecodeImage(const uint8_t* data, size_t size, Image& out, std::string* error) {
  out = Image{};
  if (size >= 4 && std::equal(data, data + 4, "DDS ")) return DecodeDds(data, size, out, error);
  if (size == 0 || size > size_t(INT32_MAX)) {
    if (error) *error = "empty or oversized file";
    return false;
  }
  if (OtherStbFormat(data, size) ||
      (StartsWith(data, size, "\x89PNG\r\n\x1a\n") && !PngChunksFit(data, size))) {
    if (error) *error = "not a TGA, BMP, PNG or JPEG file, or a PNG chunk runs past its end";
    return false;
  }
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(data, int(size), &w, &h, &channels) || w <= 0 || h <= 0 ||
      uint32_t(w) > kMaxImageSide || uint32_t(h) > kMaxImageSide ||
      uint64_t(w) * uint64_t(h) > kMaxDecodedPixels) {
    if (error) *error = "unknown, malformed or oversized image";
    return false;
  }
  stbi_uc* rgba = stbi_load_from_memory(data, int(size), &w, &h, &channels, 4);
  if (!rgba) {
    if (error) *error = stbi_failure_reason() ? stbi_failure_reason() : "image decoding failed";
    return false;
  }
  out.width = uint32_t(w);
  out.height = uint32_t(h);
  out.pixels.resize(size_t(w) * h);
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    const stbi_uc* p = rgba + i * 4;
    out.pixels[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
  stbi_image_free(rgba);
  return true;
}

bool LoadImageFile(std::string_view gamePath, Image& out, std::string* error) {
  std::ifstream file(paths::Resolve(gamePath), std::ios::binary);
  if (!file) {
    if (error) *error = "file not found";
    return false;
  }
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  file.seekg(0, std::ios::beg);
  if (size < 0 || size > std::streamoff(64) * 1024 * 1024) {
    if (error) *error = "unreadable or oversized file";
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) {
    if (error) *error = "read error";
    return false;
  }
  return DecodeImage(bytes.data(), bytes.size(), out, error);
}

Image HalveImage(const Image& level) {
  Image half;
  half.width = std::max(1u, level.width / 2);
  half.height = std::max(1u, level.height / 2);
  half.pixels.resize(size_t(half.width) * half.height);
  if (level.width >= 2 && level.height >= 2) {
    // Every pixel averages a full 2 x 2 block (an odd last row or column is
    // left out): two channels at a time in 16-bit lanes, where four 8-bit
    // values and the rounding half cannot carry into the next lane.
    for (uint32_t y = 0; y < half.height; ++y) {
      const uint32_t* top = &level.pixels[size_t(2 * y) * level.width];
      const uint32_t* bottom = top + level.width;
      uint32_t* out = &half.pixels[size_t(y) * half.width];
      for (uint32_t x = 0; x < half.width; ++x) {
        const uint32_t a = top[2 * x], b = top[2 * x + 1], c = bottom[2 * x], d = bottom[2 * x + 1];
        const uint32_t blueRed = (a & 0x00FF00FFu) + (b & 0x00FF00FFu) + (c & 0x00FF00FFu) +
                                 (d & 0x00FF00FFu) + 0x00020002u;
        const uint32_t greenAlpha = ((a >> 8) & 0x00FF00FFu) + ((b >> 8) & 0x00FF00FFu) +
                                    ((c >> 8) & 0x00FF00FFu) + ((d >> 8) & 0x00FF00FFu) + 0x00020002u;
        out[x] = ((blueRed >> 2) & 0x00FF00FFu) | (((greenAlpha >> 2) & 0x00FF00FFu) << 8);
      }
    }
    return half;
  }
  // A one-pixel-wide or one-pixel-high level: blocks of 1 or 2 pixels.
  for (uint32_t y = 0; y < half.height; ++y) {
    for (uint32_t x = 0; x < half.width; ++x) {
      uint32_t sum[4] = {0, 0, 0, 0}, n = 0;
      for (uint32_t dy = 0; dy < 2; ++dy) {
        for (uint32_t dx = 0; dx < 2; ++dx) {
          uint32_t sx = x * 2 + dx, sy = y * 2 + dy;
          if (sx >= level.width || sy >= level.height) continue;
          uint32_t p = level.at(sx, sy);
          for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 255;
          ++n;
        }
      }
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c) p |= ((sum[c] + n / 2) / n) << (8 * c);
      half.pixels[size_t(y) * half.width + x] = p;
    }
  }
  return half;
}

uint32_t FullMipLevelCount(uint32_t width, uint32_t height) {
  uint32_t levels = 1;
  for (uint32_t side = std::max(width, height); side > 1; side /= 2) ++levels;
  return levels;
}

}  // namespace halvex
