// Procedural textures: tiling surfaces for the battle areas, sprites with
// alpha, the body colours, lens flare and shine sequences and the looping
// caustics frames.
#include <cmath>
#include <functional>

#include "tools/contentgen/catalog.h"
#include "tools/contentgen/common.h"
#include "tools/contentgen/image.h"

namespace halvex::contentgen {
namespace {

using Shader = std::function<glm::vec4(float u, float v)>;

Image Paint(int size, const Shader& shader) {
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      img.at(x, y) = shader((static_cast<float>(x) + 0.5f) / static_cast<float>(size),
                            (static_cast<float>(y) + 0.5f) / static_cast<float>(size));
  return img;
}

glm::vec4 Rgb(glm::vec3 c, float a = 1.0f) { return {glm::clamp(c, 0.0f, 1.0f), a}; }

float Smooth(float e0, float e1, float x) {
  const float t = glm::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

// Rectangular blocks in running bond: returns (edge distance in block units,
// block id) for rows of `rows` blocks of `cols` per row.
glm::vec2 Bricks(float u, float v, int cols, int rows) {
  const float y = v * static_cast<float>(rows);
  const int row = static_cast<int>(std::floor(y));
  const float x = u * static_cast<float>(cols) + (row % 2 ? 0.5f : 0.0f);
  const int col = static_cast<int>(std::floor(x));
  const float fx = x - static_cast<float>(col), fy = y - static_cast<float>(row);
  const float edge = std::min(std::min(fx, 1 - fx) * 2.0f / static_cast<float>(rows) * static_cast<float>(cols),
                              std::min(fy, 1 - fy) * 2.0f);
  return {edge, static_cast<float>(((col % cols) + cols) % cols * 31 + row * 17)};
}

glm::vec4 Masonry(float u, float v, int cols, int rows, glm::vec3 base, glm::vec3 mortar, uint32_t seed) {
  const glm::vec2 b = Bricks(u, v, cols, rows);
  const float n = TileNoise(u, v, 8, 5, seed);
  const float tint = std::fmod(b.y * 0.6180339f, 1.0f) - 0.5f;
  glm::vec3 c = base * (0.8f + 0.35f * n + 0.15f * tint);
  const float wear = Smooth(0.03f, 0.12f, b.x);
  c = glm::mix(mortar * (0.8f + 0.4f * n), c, wear);
  return Rgb(c * (0.92f + 0.08f * Smooth(0.0f, 0.3f, b.x)));
}

void Surfaces(Pack& pack) {
  const std::array<Shader, kSurfaceCount> shaders = {
      [](float u, float v) {  // paving: large square slabs
        const glm::vec2 c = TileCells(u, v, 4, 3);
        const glm::vec2 b = Bricks(u, v, 4, 4);
        const float n = TileNoise(u, v, 16, 4, 11);
        glm::vec3 col = glm::vec3(0.78f, 0.72f, 0.62f) * (0.82f + 0.3f * n + 0.06f * (c.x - 0.4f));
        col = glm::mix(glm::vec3(0.35f, 0.32f, 0.28f), col, Smooth(0.02f, 0.07f, b.x));
        return Rgb(col);
      },
      [](float u, float v) { return Masonry(u, v, 4, 8, {0.60f, 0.58f, 0.55f}, {0.30f, 0.29f, 0.27f}, 21); },
      [](float u, float v) { return Masonry(u, v, 4, 12, {0.86f, 0.70f, 0.48f}, {0.45f, 0.36f, 0.26f}, 31); },
      [](float u, float v) {  // grass
        const float n = TileNoise(u, v, 16, 5, 41), m = TileNoise(u, v, 64, 2, 42);
        return Rgb(glm::vec3(0.22f, 0.52f, 0.16f) * (0.7f + 0.45f * n) + glm::vec3(0.05f, 0.08f, 0) * m);
      },
      [](float u, float v) {  // sand with ripples
        const float n = TileNoise(u, v, 8, 5, 51);
        const float ripple = 0.5f + 0.5f * std::sin((v * 24 + n * 3) * 6.2831853f);
        return Rgb(glm::vec3(0.90f, 0.80f, 0.58f) * (0.85f + 0.12f * n + 0.05f * ripple));
      },
      [](float u, float v) {  // teal metal plate with rivets
        const float fx = std::fmod(u * 2, 1.0f), fy = std::fmod(v * 2, 1.0f);
        const float seam = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
        const float n = TileNoise(u, v, 8, 5, 61);
        glm::vec3 c = glm::vec3(0.22f, 0.52f, 0.52f) * (0.8f + 0.3f * n);
        c *= 0.7f + 0.3f * Smooth(0.0f, 0.03f, seam);
        const float rx = std::fmod(u * 8, 1.0f) - 0.5f, ry = seam < 0.06f ? 0.0f : 1.0f;
        if (ry == 0.0f && std::fabs(rx) < 0.12f) c *= 1.25f;
        return Rgb(c);
      },
      [](float u, float v) {  // weathered bronze with verdigris
        const float n = TileNoise(u, v, 8, 5, 71), p = TileNoise(u, v, 4, 3, 72);
        const glm::vec3 bronze = glm::vec3(0.66f, 0.45f, 0.22f) * (0.8f + 0.4f * n);
        return Rgb(glm::mix(bronze, glm::vec3(0.30f, 0.62f, 0.55f), Smooth(0.55f, 0.75f, p)));
      },
      [](float u, float v) {  // pool floor: small glazed tiles
        const float fx = std::fmod(u * 8, 1.0f), fy = std::fmod(v * 8, 1.0f);
        const float grout = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
        const float n = TileNoise(u, v, 8, 3, 81);
        const glm::vec3 c = glm::vec3(0.35f, 0.70f, 0.78f) * (0.85f + 0.25f * n);
        return Rgb(glm::mix(glm::vec3(0.85f, 0.88f, 0.86f), c, Smooth(0.03f, 0.08f, grout)));
      },
      [](float u, float v) {  // water surface, translucent
        const float n = TileNoise(u, v, 4, 5, 91);
        return Rgb(glm::vec3(0.15f, 0.45f, 0.60f) * (0.8f + 0.4f * n), 0.55f);
      },
      [](float u, float v) {  // cobbles
        int id = 0;
        const glm::vec2 c = TileCells(u, v, 10, 101, &id);
        const float n = TileNoise(u, v, 16, 3, 102);
        const float tone = static_cast<float>(id % 97) / 97.0f;
        glm::vec3 col = glm::vec3(0.50f, 0.47f, 0.44f) * (0.75f + 0.3f * tone + 0.15f * n);
        col = glm::mix(glm::vec3(0.22f, 0.20f, 0.18f), col, Smooth(0.03f, 0.12f, c.y - c.x));
        return Rgb(col);
      },
      [](float u, float v) {  // light trim stone with chiselled lines
        const float n = TileNoise(u, v, 8, 5, 111);
        const float line = std::fabs(std::fmod(v * 4, 1.0f) - 0.5f);
        glm::vec3 c = glm::vec3(0.85f, 0.82f, 0.74f) * (0.85f + 0.2f * n);
        c *= 0.8f + 0.2f * Smooth(0.0f, 0.06f, 0.5f - line);
        return Rgb(c);
      },
      [](float u, float v) {  // planks
        const float plank = std::floor(u * 6);
        const float fx = std::fmod(u * 6, 1.0f);
        const float grain = TileNoise(u * 0.25f, v, 32, 3, 121 + static_cast<uint32_t>(plank));
        glm::vec3 c = glm::vec3(0.52f, 0.36f, 0.22f) * (0.75f + 0.4f * grain);
        c *= 0.65f + 0.35f * Smooth(0.0f, 0.05f, std::min(fx, 1 - fx));
        return Rgb(c);
      }};
  for (int i = 0; i < kSurfaceCount; ++i)
    pack.Write(std::string("textures/") + kDatabaseTextures[i], EncodeDds(Paint(256, shaders[i])));
}

// Soft round sprite: colour with alpha falling off from the centre.
Shader Glow(glm::vec3 colour, float falloff, float core = 0.0f) {
  return [=](float u, float v) {
    const float r = std::hypot(u - 0.5f, v - 0.5f) * 2.0f;
    const float a = std::pow(glm::clamp(1.0f - r, 0.0f, 1.0f), falloff);
    return Rgb(glm::mix(colour, glm::vec3(1), core * a), a);
  };
}

void Sprites(Pack& pack) {
  pack.Write("textures/bullet1.dds", EncodeDds(Paint(64, Glow({1.0f, 0.9f, 0.5f}, 2.0f, 0.8f))));
  pack.Write("textures/rocket1.dds", EncodeDds(Paint(64, Glow({1.0f, 0.5f, 0.1f}, 1.5f, 0.6f))));
  pack.Write("textures/flare1.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float dx = u - 0.5f, dy = v - 0.5f, r = std::hypot(dx, dy) * 2;
               const float rays = std::pow(std::fabs(std::cos(std::atan2(dy, dx) * 3)), 12.0f) * (1 - r);
               const float a = glm::clamp(std::pow(std::max(0.0f, 1 - r), 3.0f) + rays * 0.6f, 0.0f, 1.0f);
               return Rgb({1.0f, 0.85f, 0.55f}, a);
             })));
  pack.Write("textures/smoke1.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
               const float n = TileNoise(u, v, 4, 4, 131);
               const float a = glm::clamp((1 - r) * 1.4f, 0.0f, 1.0f) * (0.3f + 0.7f * n);
               return Rgb(glm::vec3(0.55f + 0.2f * n), a * 0.8f);
             })));
  pack.Write("textures/shadow2.dds", EncodeDds(Paint(64, [](float u, float v) {
               const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
               return Rgb(glm::vec3(0), 0.7f * Smooth(1.0f, 0.4f, r));
             })));
  pack.Write("textures/blood.dds", EncodeDds(Paint(256, [](float u, float v) {
               const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
               const float n = TileNoise(u, v, 6, 5, 141);
               const float splat = Smooth(0.55f, 0.45f, r - 0.5f * (n - 0.5f));
               return Rgb(glm::vec3(0.55f + 0.3f * n, 0.02f, 0.02f) * splat + glm::vec3(1.0f - splat) * 0.0f,
                          splat);
             })));
  pack.Write("textures/chat.dds", EncodeDds(Paint(64, [](float u, float v) {
               const float bx = std::fabs(u - 0.5f), by = std::fabs(v - 0.42f);
               const bool bubble = (bx < 0.42f && by < 0.28f) || (u > 0.25f && u < 0.45f && v > 0.6f &&
                                                                  v < 0.85f && (0.85f - v) > (u - 0.25f));
               float dots = 0;
               for (int i = 0; i < 3; ++i)
                 dots += std::hypot(u - 0.3f - 0.2f * static_cast<float>(i), v - 0.42f) < 0.06f ? 1.0f : 0.0f;
               return bubble ? Rgb(dots > 0 ? glm::vec3(0.1f, 0.2f, 0.4f) : glm::vec3(1.0f), 1.0f)
                             : Rgb(glm::vec3(0), 0.0f);
             })));
  pack.Write("textures/band.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float edge = Smooth(0.0f, 0.25f, std::min(u, 1 - u));
               const float stripe = Smooth(0.0f, 0.1f, std::min(v, 1 - v));
               return Rgb(glm::mix(glm::vec3(0.6f, 0.4f, 0.1f), glm::vec3(0.1f, 0.25f, 0.3f), v), 0.75f * edge * stripe);
             })));
  pack.Write("textures/armor.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float n = TileNoise(u, v, 8, 4, 151);
               const float hex = TileCells(u, v, 6, 152).y - TileCells(u, v, 6, 152).x;
               glm::vec3 c = glm::vec3(0.75f, 0.62f, 0.30f) * (0.8f + 0.3f * n);
               return Rgb(glm::mix(glm::vec3(0.25f, 0.45f, 0.45f), c, Smooth(0.04f, 0.12f, hex)));
             })));
  pack.Write("textures/shark.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float n = TileNoise(u, v, 8, 4, 161);
               return Rgb(glm::mix(glm::vec3(0.35f, 0.42f, 0.50f), glm::vec3(0.85f, 0.87f, 0.88f),
                                   Smooth(0.55f, 0.7f, v)) * (0.85f + 0.2f * n));
             })));
}

// 32 frames of a looping caustic net: the cells' feature points move on
// small circles that close after exactly 32 frames.
void Caustics(Pack& pack) {
  constexpr int kFrames = 32, kSize = 128, kPeriod = 5;
  for (int f = 0; f < kFrames; ++f) {
    const float t = 6.2831853f * static_cast<float>(f) / kFrames;
    Image img(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        float u = (static_cast<float>(x) + 0.5f) / kSize, v = (static_cast<float>(y) + 0.5f) / kSize;
        const float wu = 0.025f * std::sin(t + v * 6.2831853f * 2), wv = 0.025f * std::cos(t + u * 6.2831853f * 2);
        const float sx = 0.5f / kPeriod * std::cos(t), sy = 0.5f / kPeriod * std::sin(t);
        const glm::vec2 a = TileCells(std::fmod(u + wu + sx + 1, 1.0f), std::fmod(v + wv + 1, 1.0f), kPeriod, 171);
        const glm::vec2 b = TileCells(std::fmod(u - wv + 1, 1.0f), std::fmod(v + wu + sy + 1, 1.0f), kPeriod, 172);
        const float lines = std::exp(-(a.y - a.x) * 9.0f) + 0.7f * std::exp(-(b.y - b.x) * 9.0f);
        const float i = glm::clamp(lines, 0.0f, 1.0f);
        img.at(x, y) = Rgb(glm::vec3(0.25f, 0.45f, 0.55f) * 0.4f + glm::vec3(0.8f, 0.95f, 1.0f) * i, 1.0f);
      }
    char name[64];
    std::snprintf(name, sizeof name, "textures/exp/caust%02d.tga", f);
    pack.Write(name, EncodeTga(img));
  }
}

// The body skin: one atlas in five colours. Rows of the atlas: torso and
// arms (top half), legs (third quarter), head and hands (last quarter).
void BodyColours(Pack& pack) {
  const struct {
    const char* name;
    glm::vec3 colour;
  } kColours[] = {{"botblack", {0.24f, 0.24f, 0.27f}},  // charcoal: the pistol wears it too
                  {"botwhite", {0.88f, 0.88f, 0.86f}},
                  {"botred", {0.80f, 0.14f, 0.12f}},
                  {"botblue", {0.15f, 0.32f, 0.85f}},
                  {"botyellow", {0.95f, 0.80f, 0.15f}}};
  for (const auto& c : kColours) {
    const glm::vec3 base = c.colour;
    const glm::vec3 trim = glm::mix(base, glm::vec3(0.45f, 0.45f, 0.42f), 0.6f);
    pack.Write(std::string("textures/") + c.name + ".dds", EncodeDds(Paint(128, [=](float u, float v) {
                 const float n = TileNoise(u, v, 8, 4, 181);
                 glm::vec3 col = base * (0.85f + 0.25f * n);
                 const float panel = std::fabs(std::fmod(u * 4, 1.0f) - 0.5f);
                 if (v < 0.5f) col *= 0.85f + 0.15f * Smooth(0.46f, 0.44f, panel);            // seams
                 if (v > 0.45f && v < 0.5f) col = trim;                                      // belt
                 if (v > 0.7f && v < 0.75f) col = trim * 0.8f;                               // boots
                 if (v > 0.83f && v < 0.88f && u > 0.17f && u < 0.33f) col = {0.2f, 0.75f, 0.9f};  // visor
                 return Rgb(col);
               })));
  }
}

// The lens flare adds its sprites by their colour, not their alpha: colour
// must fade with the alpha, or the alpha-tested edge shows as a hard shape.
Shader Premultiplied(Shader shader) {
  return [=](float u, float v) {
    const glm::vec4 c = shader(u, v);
    return glm::vec4(glm::vec3(c) * c.a, c.a);
  };
}

void LensAndShine(Pack& pack) {
  const Shader lens[5] = {
      Glow({1.0f, 0.95f, 0.8f}, 3.0f, 0.7f),
      [](float u, float v) {  // ring
        const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
        return Rgb({0.6f, 0.8f, 1.0f}, 0.7f * std::exp(-std::pow((r - 0.8f) * 12.0f, 2.0f)));
      },
      [](float u, float v) {  // hexagon
        const float dx = std::fabs(u - 0.5f) * 2, dy = std::fabs(v - 0.5f) * 2;
        const float hex = std::max(dx * 0.866f + dy * 0.5f, dy);
        return Rgb({0.9f, 0.7f, 1.0f}, 0.45f * Smooth(0.85f, 0.75f, hex));
      },
      Glow({0.5f, 1.0f, 0.6f}, 1.2f),
      [](float u, float v) {  // star burst
        const float dx = u - 0.5f, dy = v - 0.5f, r = std::hypot(dx, dy) * 2;
        const float rays = std::pow(std::fabs(std::cos(std::atan2(dy, dx) * 4)), 30.0f);
        return Rgb({1.0f, 0.9f, 0.7f}, glm::clamp((rays * 0.8f + 0.4f) * (1 - r), 0.0f, 1.0f));
      }};
  for (int i = 0; i < 5; ++i)
    pack.Write("textures/lens" + std::to_string(i) + ".dds", EncodeDds(Paint(64, Premultiplied(lens[i]))));
  for (int i = 0; i < 10; ++i) {
    const float turn = static_cast<float>(i) * 0.0628f;  // the rays turn a little each frame
    const float pulse = 0.8f + 0.2f * std::sin(static_cast<float>(i) * 0.628f);
    pack.Write("textures/shine" + std::to_string(i) + ".dds",
               EncodeDds(Paint(128, Premultiplied([=](float u, float v) {
                 const float dx = u - 0.5f, dy = v - 0.5f, r = std::hypot(dx, dy) * 2;
                 const float rays = std::pow(std::fabs(std::cos(std::atan2(dy, dx) * 6 + turn)), 16.0f);
                 const float a = glm::clamp(pulse * (std::pow(std::max(0.0f, 1 - r), 4.0f) * 1.5f +
                                                     rays * std::max(0.0f, 1 - r) * 0.5f), 0.0f, 1.0f);
                 return Rgb({1.0f, 0.95f, 0.8f}, a);
               }))));
  }
}

// Sky: four sides that join into one panorama (the clouds' noise runs on
// across the sides) and a top. Row 0 of a side is its top edge.
void Sky(Pack& pack) {
  auto sky = [](float u, float height) {
    const float cloud = Smooth(0.5f, 0.75f, TileNoise(u, height * 0.25f, 16, 5, 251));
    const glm::vec3 zenith(0.25f, 0.50f, 0.90f), haze(0.85f, 0.88f, 0.90f);
    const glm::vec3 blue = glm::mix(haze, zenith, Smooth(0.0f, 0.6f, height));
    return glm::mix(blue, glm::vec3(1.0f, 0.98f, 0.95f), cloud * Smooth(0.02f, 0.3f, height) * 0.85f);
  };
  for (int side = 0; side < 4; ++side)
    pack.Write("textures/skyside" + std::to_string(side) + ".dds", EncodeDds(Paint(256, [=](float u, float v) {
                 return Rgb(sky((static_cast<float>(side) + u) / 4.0f, 1.0f - v));
               })));
  pack.Write("textures/skytop.dds", EncodeDds(Paint(256, [=](float u, float v) {
               const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
               const float cloud = Smooth(0.5f, 0.75f, TileNoise(u, v, 8, 5, 252));
               const glm::vec3 blue = glm::mix(glm::vec3(0.25f, 0.50f, 0.90f), glm::vec3(0.45f, 0.62f, 0.90f), r);
               return Rgb(glm::mix(blue, glm::vec3(1.0f), cloud * 0.8f));
             })));
}

void ModelTextures(Pack& pack) {
  pack.Write("textures/bark1.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float n = TileNoise(u * 4, v * 0.5f, 8, 4, 191);
               const float ridge = std::fabs(std::sin((u * 12 + n * 2) * 3.14159f));
               return Rgb(glm::vec3(0.40f, 0.28f, 0.18f) * (0.6f + 0.5f * ridge * (0.7f + 0.3f * n)));
             })));
  pack.Write("textures/leaves.dds", EncodeDds(Paint(128, [](float u, float v) {
               int id = 0;
               const glm::vec2 c = TileCells(u, v, 6, 201, &id);
               const float leaf = Smooth(0.6f, 0.45f, c.x);
               const float tone = static_cast<float>(id % 13) / 13.0f;
               return Rgb(glm::vec3(0.18f + 0.1f * tone, 0.45f + 0.2f * tone, 0.12f) * (0.75f + 0.5f * (0.6f - c.x)),
                          leaf);
             })));
  pack.Write("textures/radioact.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float dx = u - 0.5f, dy = v - 0.5f, r = std::hypot(dx, dy) * 2;
               const float a = std::atan2(dy, dx);
               const bool blade = r > 0.25f && r < 0.8f && std::cos(a * 3) > 0.5f;
               const bool hub = r < 0.15f;
               const float n = TileNoise(u, v, 8, 3, 211);
               const glm::vec3 paint = glm::vec3(0.85f, 0.72f, 0.12f) * (0.85f + 0.2f * n);
               return Rgb(blade || hub ? glm::vec3(0.12f) : paint);
             })));
  pack.Write("textures/floor.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float n = TileNoise(u, v, 8, 4, 221);
               const float check = (std::fmod(std::floor(u * 8) + std::floor(v * 8), 2.0f) < 1) ? 0.9f : 1.0f;
               return Rgb(glm::vec3(0.35f, 0.36f, 0.38f) * check * (0.8f + 0.3f * n));
             })));
  pack.Write("textures/chrome.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float n = TileNoise(u, v, 4, 3, 231);
               return Rgb(glm::mix(glm::vec3(0.55f, 0.62f, 0.70f), glm::vec3(0.95f), v * 0.6f + 0.3f * n));
             })));
  pack.Write("textures/logometal.dds", EncodeDds(Paint(128, [](float u, float v) {
               const float n = TileNoise(u, v, 8, 4, 241);
               const float brush = TileNoise(u * 0.05f, v, 64, 2, 242);
               return Rgb(glm::vec3(0.80f, 0.55f, 0.25f) * (0.75f + 0.2f * n + 0.15f * brush));
             })));
  Sky(pack);
}

}  // namespace

void GenerateTextures(Pack& pack) {
  Surfaces(pack);
  Sprites(pack);
  Caustics(pack);
  BodyColours(pack);
  LensAndShine(pack);
  ModelTextures(pack);
}

}  // namespace halvex::contentgen
