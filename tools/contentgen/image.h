// RGBA images, the procedural patterns textures are made of, and the DDS
// (uncompressed 32-bit), TGA and PNG writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

namespace halvex::contentgen {

struct Image {
  int width = 0, height = 0;
  std::vector<glm::vec4> pixels;  // linear 0..1 RGBA, row 0 at the top

  Image(int w, int h, glm::vec4 fill = {0, 0, 0, 1});
  glm::vec4& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  const glm::vec4& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Tileable value noise on a grid of `period` cells (seeded), fractal sum of
// `octaves` octaves; u, v in [0, 1). Result in [0, 1].
float TileNoise(float u, float v, int period, int octaves, uint32_t seed);
// Distance to the nearest and second nearest feature point of a tileable
// cellular pattern with period x period cells; u, v in [0, 1).
glm::vec2 TileCells(float u, float v, int period, uint32_t seed, int* cellId = nullptr);

std::vector<uint8_t> EncodeDds(const Image& image);
std::vector<uint8_t> EncodeTga(const Image& image);
// 8-bit RGBA PNG, for the files the desktop reads (the icon).
std::vector<uint8_t> EncodePng(const Image& image);

}  // namespace halvex::contentgen
