// A battle area as the generator describes it: axis-aligned slabs (blocks,
// walls, ramps and raised decks), sunken pools, a ground pattern, the
// options and the pickups. World axes: y up, x and z from -500 to 500.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "tools/contentgen/catalog.h"

namespace halvex::contentgen {

// Footprint [lo, hi] in (x, z); solid from `base` up to its top surface,
// which is `top` at lo and rises by `slope` per unit of x and z (a ramp).
struct Slab {
  glm::vec2 lo, hi;
  float base = 0.0f;
  float top = 0.0f;
  glm::vec2 slope{0, 0};
  Surface topSurface = kTrim;
  Surface sideSurface = kStone;

  float TopAt(float x, float z) const { return top + slope.x * (x - lo.x) + slope.y * (z - lo.y); }
};

// A basin sunk into the ground, its floor drawn with the light-map effect.
struct Pool {
  glm::vec2 lo, hi;
  float depth = 10.0f;
};

struct Pickup {
  glm::vec3 position;
  int level = 0;
};

struct AreaOptionsData {
  glm::vec3 spawnMin, spawnMax;
  float botLimitX, botCeiling, botLimitZ;
  float playerLimitX, playerFloor, playerCeiling, playerLimitZ;
  int background = 1, backgroundExtras = 1;
};

struct AreaLayout {
  std::string name;
  std::vector<Slab> slabs;
  std::vector<Pool> pools;
  std::function<Surface(float x, float z)> ground;
  AreaOptionsData options;
  std::vector<Pickup> power, armor;
  std::vector<glm::vec3> trees;  // trunk bases, at most 15
};

AreaLayout ProvingGrounds();
AreaLayout SunkenCitadel();

// Adds `slab` and its copies turned by 90, 180 and 270 degrees about the
// vertical axis through the origin (ramps keep rising the same way round).
void AddFourWays(std::vector<Slab>& slabs, const Slab& slab);

}  // namespace halvex::contentgen
