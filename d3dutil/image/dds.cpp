// DDS files: the 128-byte header, then the top level. Only the top level is
// read; the mip chain is rebuilt from it like for every other format.
#include <bit>
#include <cstring>

#include "d3dutil/image/image.h"

namespace halvex {

namespace {

constexpr uint32_t kFourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t kDdpfAlphaPixels = 0x1, kDdpfAlpha = 0x2, kDdpfFourCC = 0x4, kDdpfRgb = 0x40,
                   kDdpfLuminance = 0x20000;
constexpr uint32_t kDdsdPitch = 0x8;
constexpr size_t kHeaderSize = 128;

uint32_t Read32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return false;
}

// A channel given by a bit mask, scaled to 8 bits; the shift and range are
// worked out once per image.
struct MaskChannel {
  MaskChannel(uint32_t mask, uint32_t fallback) : mask(mask), fallback(fallback) {
    if (mask == 0) return;
    while (((mask >> shift) & 1u) == 0) ++shift;
    max = mask >> shift;
  }
  uint32_t operator()(uint32_t value) const {
    if (max == 0) return fallback;
    return (((value & mask) >> shift) * 255u + max / 2) / max;
  }
  uint32_t mask, fallback;
  uint32_t shift = 0, max = 0;
};

uint32_t Rgb565(uint16_t c) {
  uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return ((r * 255 + 15) / 31) << 16 | ((g * 255 + 31) / 63) << 8 | ((b * 255 + 15) / 31);
}

uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb, uint32_t total) {
  uint32_t out = 0;
  for (int s = 0; s < 24; s += 8) {
    uint32_t ca = (a >> s) & 255, cb = (b >> s) & 255;
    out |= ((ca * wa + cb * wb) / total) << s;
  }
  return out;
}

// The four colours of a colour block (RGB only); DXT1 blocks with c0 <= c1
// have three colours and transparent black.
void DecodeColourBlock(const uint8_t* block, bool dxt1, uint32_t out[16]) {
  uint16_t c0 = uint16_t(block[0] | block[1] << 8), c1 = uint16_t(block[2] | block[3] << 8);
  uint32_t palette[4];
  palette[0] = Rgb565(c0) | 0xFF000000u;
  palette[1] = Rgb565(c1) | 0xFF000000u;
  if (!dxt1 || c0 > c1) {
    palette[2] = Mix(palette[0], palette[1], 2, 1, 3) | 0xFF000000u;
    palette[3] = Mix(palette[0], palette[1], 1, 2, 3) | 0xFF000000u;
  } else {
    palette[2] = Mix(palette[0], palette[1], 1, 1, 2) | 0xFF000000u;
    palette[3] = 0;
  }
  uint32_t bits = Read32(block + 4);
  for (int i = 0; i < 16; ++i) out[i] = palette[(bits >> (2 * i)) & 3];
}

void DecodeAlphaExplicit(const uint8_t* block, uint32_t pixels[16]) {
  for (int i = 0; i < 16; ++i) {
    uint32_t a = (block[i / 2] >> ((i & 1) * 4)) & 15;
    pixels[i] = (pixels[i] & 0x00FFFFFFu) | (a * 17) << 24;
  }
}

void DecodeAlphaInterpolated(const uint8_t* block, uint32_t pixels[16]) {
  uint32_t a[8];
  a[0] = block[0];
  a[1] = block[1];
  if (a[0] > a[1]) {
    for (int i = 1; i < 7; ++i) a[i + 1] = ((7 - i) * a[0] + i * a[1]) / 7;
  } else {
    for (int i = 1; i < 5; ++i) a[i + 1] = ((5 - i) * a[0] + i * a[1]) / 5;
    a[6] = 0;
    a[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) {
    pixels[i] = (pixels[i] & 0x00FFFFFFu) | a[(bits >> (3 * i)) & 7] << 24;
  }
}

bool DecodeBlocks(const uint8_t* data, size_t size, uint32_t fourCC, Image& out,
                  std::string* error) {
  const bool dxt1 = fourCC == kFourCC('D', 'X', 'T', '1');
  const size_t blockBytes = dxt1 ? 8 : 16;
  const size_t bw = (out.width + 3) / 4, bh = (out.height + 3) / 4;
  if (size < bw * bh * blockBytes) return Fail(error, "DDS data ends early");
  out.pixels.assign(size_t(out.width) * out.height, 0);
  for (size_t by = 0; by < bh; ++by) {
    for (size_t bx = 0; bx < bw; ++bx) {
      const uint8_t* block = data + (by * bw + bx) * blockBytes;
      uint32_t px[16];
      DecodeColourBlock(dxt1 ? block : block + 8, dxt1, px);
      if (fourCC == kFourCC('D', 'X', 'T', '3')) DecodeAlphaExplicit(block, px);
      if (fourCC == kFourCC('D', 'X', 'T', '5')) DecodeAlphaInterpolated(block, px);
      for (int i = 0; i < 16; ++i) {
        size_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
        if (x < out.width && y < out.height) out.pixels[y * out.width + x] = px[i];
      }
    }
  }
  return true;
}

}  // namespace

bool DecodeDds(const uint8_t* data, size_t size, Image& out, std::string* error) {
  if (size < kHeaderSize || Read32(data) != kFourCC('D', 'D', 'S', ' ')) {
    return Fail(error, "not a DDS file");
  }
  const uint8_t* h = data + 4;
  if (Read32(h) != 124 || Read32(h + 72) != 32) return Fail(error, "bad DDS header");
  uint32_t height = Read32(h + 8), width = Read32(h + 12);
  const uint8_t* pf = h + 72;
  uint32_t flags = Read32(pf + 4), fourCC = Read32(pf + 8), bits = Read32(pf + 12);
  uint32_t rMask = Read32(pf + 16), gMask = Read32(pf + 20), bMask = Read32(pf + 24),
           aMask = Read32(pf + 28);
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
    return Fail(error, "DDS size out of range");
  }
  // The pixels are made only once the file is known to hold them: a header
  // alone must not cost a picture of kMaxImageSide squared.
  out.width = width;
  out.height = height;
  data += kHeaderSize;
  size -= kHeaderSize;
  if (flags & kDdpfFourCC) {
    if (fourCC != kFourCC('D', 'X', 'T', '1') && fourCC != kFourCC('D', 'X', 'T', '3') &&
        fourCC != kFourCC('D', 'X', 'T', '5')) {
      return Fail(error, "unsupported DDS compression");
    }
    return DecodeBlocks(data, size, fourCC, out, error);
  }
  if (!(flags & (kDdpfRgb | kDdpfLuminance | kDdpfAlpha)) ||
      (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
    return Fail(error, "unsupported DDS pixel format");
  }
  const size_t bytesPerPixel = bits / 8;
  // Rows are packed unless the header gives a larger pitch (padded rows).
  size_t rowBytes = bytesPerPixel * width;
  const uint32_t headerFlags = Read32(h + 4), pitch = Read32(h + 16);
  if ((headerFlags & kDdsdPitch) && pitch > rowBytes && pitch <= rowBytes + 16) rowBytes = pitch;
  if (size / rowBytes < height) return Fail(error, "DDS data ends early");
  out.pixels.assign(size_t(width) * height, 0);
  const bool hasAlpha = (flags & (kDdpfAlphaPixels | kDdpfAlpha)) != 0;
  const bool alphaOnly = (flags & kDdpfAlpha) && !(flags & (kDdpfRgb | kDdpfLuminance));
  // A8R8G8B8 and X8R8G8B8, what the content tools write, are already the
  // image's own layout: rows are copied, the alpha set where there is none.
  if (bits == 32 && (flags & kDdpfRgb) && !(flags & kDdpfLuminance) && !alphaOnly &&
      rMask == 0x00FF0000u && gMask == 0x0000FF00u && bMask == 0x000000FFu &&
      (!hasAlpha || aMask == 0xFF000000u || aMask == 0)) {
    static_assert(std::endian::native == std::endian::little, "DDS pixels are little-endian words");
    const uint32_t opaque = hasAlpha && aMask != 0 ? 0u : 0xFF000000u;
    for (uint32_t y = 0; y < height; ++y) {
      uint32_t* row = &out.pixels[size_t(y) * width];
      std::memcpy(row, data + size_t(y) * rowBytes, size_t(width) * 4);
      if (opaque)
        for (uint32_t x = 0; x < width; ++x) row[x] |= opaque;
    }
    return true;
  }
  const MaskChannel alpha(hasAlpha ? aMask : 0, 255), red(rMask, 0), green(gMask, 0),
      blue(bMask, 0);
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    uint32_t v = 0;
    const uint8_t* pixel = data + (i / width) * rowBytes + (i % width) * bytesPerPixel;
    for (size_t b = 0; b < bytesPerPixel; ++b) v |= uint32_t(pixel[b]) << (8 * b);
    uint32_t r, g, bl;
    if (alphaOnly) {
      r = g = bl = 255;
    } else if (flags & kDdpfLuminance) {
      r = g = bl = red(v);
    } else {
      r = red(v);
      g = green(v);
      bl = blue(v);
    }
    out.pixels[i] = alpha(v) << 24 | r << 16 | g << 8 | bl;
  }
  return true;
}

}  // namespace halvex
