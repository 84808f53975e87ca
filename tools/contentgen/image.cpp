#include "tools/contentgen/image.h"

#include <algorithm>
#include <cmath>

#include <stb/stb_image_write.h>

namespace halvex::contentgen {

Image::Image(int w, int h, glm::vec4 fill)
    : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

static uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}

static float Lattice(int x, int y, int period, uint32_t seed) {
  const auto px = static_cast<uint32_t>(((x % period) + period) % period);
  const auto py = static_cast<uint32_t>(((y % period) + period) % period);
  return static_cast<float>(Hash(px, py, seed) & 0xffffff) / 16777215.0f;
}

static float ValueNoise(float u, float v, int period, uint32_t seed) {
  const float x = u * static_cast<float>(period), y = v * static_cast<float>(period);
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  float fx = x - static_cast<float>(ix), fy = y - static_cast<float>(iy);
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  const float a = Lattice(ix, iy, period, seed), b = Lattice(ix + 1, iy, period, seed);
  const float c = Lattice(ix, iy + 1, period, seed), d = Lattice(ix + 1, iy + 1, period, seed);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

float TileNoise(float u, float v, int period, int octaves, uint32_t seed) {
  float sum = 0, amp = 1, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += ValueNoise(u, v, period << o, seed + static_cast<uint32_t>(o) * 101u) * amp;
    total += amp;
    amp *= 0.5f;
  }
  return sum / total;
}

glm::vec2 TileCells(float u, float v, int period, uint32_t seed, int* cellId) {
  const float x = u * static_cast<float>(period), y = v * static_cast<float>(period);
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  float d1 = 1e9f, d2 = 1e9f;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int cx = ix + dx, cy = iy + dy;
      const auto wx = static_cast<uint32_t>(((cx % period) + period) % period);
      const auto wy = static_cast<uint32_t>(((cy % period) + period) % period);
      const uint32_t h = Hash(wx, wy, seed);
      const float fx = static_cast<float>(cx) + static_cast<float>(h & 0xff) / 255.0f * 0.8f + 0.1f;
      const float fy = static_cast<float>(cy) + static_cast<float>((h >> 8) & 0xff) / 255.0f * 0.8f + 0.1f;
      const float d = std::hypot(fx - x, fy - y);
      if (d < d1) {
        d2 = d1;
        d1 = d;
        if (cellId) *cellId = static_cast<int>(h & 0x7fffffff);
      } else if (d < d2) {
        d2 = d;
      }
    }
  return {d1, d2};
}

static uint8_t Byte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

static void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// DDS with a plain A8R8G8B8 surface (BGRA in memory); the game's loader
// builds the mip chain.
std::vector<uint8_t> EncodeDds(const Image& image) {
  std::vector<uint8_t> out;
  Put32(out, 0x20534444u);  // "DDS "
  Put32(out, 124);
  Put32(out, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
  Put32(out, static_cast<uint32_t>(image.height));
  Put32(out, static_cast<uint32_t>(image.width));
  Put32(out, static_cast<uint32_t>(image.width * 4));
  Put32(out, 0);  // depth
  Put32(out, 0);  // mip count
  for (int i = 0; i < 11; ++i) Put32(out, 0);
  Put32(out, 32);             // pixel format size
  Put32(out, 0x40 | 0x1);     // RGB with alpha
  Put32(out, 0);
  Put32(out, 32);
  Put32(out, 0x00ff0000u);
  Put32(out, 0x0000ff00u);
  Put32(out, 0x000000ffu);
  Put32(out, 0xff000000u);
  Put32(out, 0x1000);  // texture
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (const auto& p : image.pixels) {
    out.push_back(Byte(p.b));
    out.push_back(Byte(p.g));
    out.push_back(Byte(p.r));
    out.push_back(Byte(p.a));
  }
  return out;
}

// Uncompressed 32-bit TGA, rows stored top first (descriptor bit 5).
std::vector<uint8_t> EncodeTga(const Image& image) {
  std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  out.push_back(static_cast<uint8_t>(image.width & 0xff));
  out.push_back(static_cast<uint8_t>(image.width >> 8));
  out.push_back(static_cast<uint8_t>(image.height & 0xff));
  out.push_back(static_cast<uint8_t>(image.height >> 8));
  out.push_back(32);
  out.push_back(0x28);  // 8 alpha bits, top-left origin
  for (const auto& p : image.pixels) {
    out.push_back(Byte(p.b));
    out.push_back(Byte(p.g));
    out.push_back(Byte(p.r));
    out.push_back(Byte(p.a));
  }
  return out;
}

std::vector<uint8_t> EncodePng(const Image& image) {
  std::vector<uint8_t> rgba;
  rgba.reserve(image.pixels.size() * 4);
  for (const auto& p : image.pixels) {
    rgba.push_back(Byte(p.r));
    rgba.push_back(Byte(p.g));
    rgba.push_back(Byte(p.b));
    rgba.push_back(Byte(p.a));
  }
  auto append = [](void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
  };
  std::vector<uint8_t> out;
  stbi_write_png_to_func(append, &out, image.width, image.height, 4, rgba.data(), image.width * 4);
  return out;
}

}  // namespace halvex::contentgen
