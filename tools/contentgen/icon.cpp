// The game's icon: a bronze "H" over a sun setting into the sea, on a
// rounded badge with a bronze rim (the pack's palette: dusk sky, teal water,
// weathered bronze). Drawn from distance functions with 4 x 4 samples a
// pixel, so every size is a clean drawing rather than a scaled copy. The
// window and the desktop menus use it; outside the badge it is clear.
#include <algorithm>
#include <cmath>

#include "tools/contentgen/catalog.h"
#include "tools/contentgen/common.h"
#include "tools/contentgen/image.h"

namespace halvex::contentgen {
namespace {

using glm::vec2;
using glm::vec3;
using glm::vec4;

// Signed distance to a box with rounded corners (negative inside).
float RoundBox(vec2 p, vec2 centre, vec2 half, float radius) {
  const vec2 q = glm::abs(p - centre) - half + vec2(radius);
  return glm::length(glm::max(q, vec2(0.0f))) + std::min(std::max(q.x, q.y), 0.0f) - radius;
}

constexpr float kBadgeHalf = 0.94f, kBadgeRadius = 0.30f, kRim = 0.08f, kHorizon = 0.22f;

float Badge(vec2 p) { return RoundBox(p, vec2(0.0f), vec2(kBadgeHalf), kBadgeRadius); }

// The letter: two uprights and the bar between them.
float LetterH(vec2 p) {
  const float left = RoundBox(p, vec2(-0.34f, 0.0f), vec2(0.15f, 0.56f), 0.04f);
  const float right = RoundBox(p, vec2(0.34f, 0.0f), vec2(0.15f, 0.56f), 0.04f);
  const float bar = RoundBox(p, vec2(0.0f, 0.0f), vec2(0.30f, 0.10f), 0.02f);
  return std::min({left, right, bar});
}

// Outward direction of a distance field, by central differences.
template <typename F>
vec2 Outward(F field, vec2 p) {
  const float e = 0.002f;
  const vec2 g(field(p + vec2(e, 0)) - field(p - vec2(e, 0)), field(p + vec2(0, e)) - field(p - vec2(0, e)));
  const float len = glm::length(g);
  return len > 0.0f ? g / len : vec2(0.0f);
}

// Bronze lit from the upper left: edges facing the light catch it.
vec3 Bronze(vec2 outward, float depth, float bevel, float y) {
  vec3 c = glm::mix(vec3(0.86f, 0.62f, 0.30f), vec3(0.56f, 0.34f, 0.14f), (y + 1.0f) * 0.5f);
  if (depth < bevel) {
    const float facing = glm::dot(outward, glm::normalize(vec2(-1.0f, -1.2f)));
    c *= 1.0f + 0.45f * facing;
  }
  return c;
}

vec3 Scene(vec2 p) {
  if (p.y < kHorizon) {
    // Dusk sky warming toward the horizon, and the sun's disc and glow.
    const float t = (p.y + 1.0f) / (kHorizon + 1.0f);
    vec3 c = glm::mix(vec3(0.16f, 0.18f, 0.38f), vec3(0.96f, 0.52f, 0.24f), t * t);
    const float d = glm::length(p - vec2(0.0f, kHorizon));
    if (d < 0.52f) return vec3(1.0f, 0.82f, 0.42f);
    return c + vec3(0.35f, 0.22f, 0.08f) * std::exp(-(d - 0.52f) * 6.0f);
  }
  // Teal sea darkening to the foreground, with the sun's broken reflection.
  const float t = (p.y - kHorizon) / (1.0f - kHorizon);
  vec3 c = glm::mix(vec3(0.08f, 0.42f, 0.46f), vec3(0.02f, 0.12f, 0.18f), t);
  const float wave = std::sin(p.y * 60.0f + std::sin(p.x * 9.0f) * 1.5f);
  const float width = 0.42f * (1.0f - 0.6f * t);
  if (std::fabs(p.x) < width && wave > 0.2f) c = glm::mix(c, vec3(1.0f, 0.78f, 0.40f), 0.75f * (1.0f - t));
  return c;
}

// One sample: colour and coverage.
vec4 Sample(vec2 p) {
  const float badge = Badge(p);
  if (badge > 0.0f) return vec4(0.0f);
  if (badge > -kRim) return vec4(Bronze(Outward(Badge, p), -badge, kRim, p.y), 1.0f);
  const float h = LetterH(p);
  if (h < 0.0f) return vec4(Bronze(Outward(LetterH, p), -h, 0.07f, p.y), 1.0f);
  if (h < 0.05f) return vec4(0.10f, 0.06f, 0.04f, 1.0f);  // dark outline keeps it readable at 16 px
  vec3 c = Scene(p);
  // The letter's shadow falls down and to the right.
  if (LetterH(p - vec2(0.06f, 0.08f)) < 0.05f) c *= 0.55f;
  return vec4(c, 1.0f);
}

}  // namespace

Image DrawIcon(int size) {
  Image icon(size, size, vec4(0.0f));
  constexpr int kSub = 4;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      vec4 sum(0.0f);  // premultiplied
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const vec2 p((static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / kSub) / static_cast<float>(size),
                       (static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / kSub) / static_cast<float>(size));
          const vec4 s = Sample(p * 2.0f - vec2(1.0f));
          sum += vec4(vec3(s) * s.a, s.a);
        }
      }
      sum /= static_cast<float>(kSub * kSub);
      icon.at(x, y) = sum.a > 0.0f ? vec4(vec3(sum) / sum.a, sum.a) : vec4(0.0f);
    }
  }
  return icon;
}

void GenerateIcons(Pack& pack) {
  for (int size : {kIconSmall, kIconLarge})
    pack.Write(IconPath(size), EncodePng(DrawIcon(size)));
}

}  // namespace halvex::contentgen
