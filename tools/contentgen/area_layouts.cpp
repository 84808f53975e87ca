// The two battle areas of the default pack.
#include <cmath>

#include "tools/contentgen/area_layout.h"

namespace halvex::contentgen {

void AddFourWays(std::vector<Slab>& slabs, const Slab& slab) {
  Slab s = slab;
  for (int turn = 0; turn < 4; ++turn) {
    slabs.push_back(s);
    // (x, z) -> (z, -x); a linear top h = c + slope . p keeps c and turns slope.
    const float c = s.top - glm::dot(s.slope, s.lo);
    const glm::vec2 a(s.lo.y, -s.lo.x), b(s.hi.y, -s.hi.x);
    s.lo = glm::min(a, b);
    s.hi = glm::max(a, b);
    s.slope = glm::vec2(s.slope.y, -s.slope.x);
    s.top = c + glm::dot(s.slope, s.lo);
  }
}

namespace {

Slab Block(float x0, float z0, float x1, float z1, float height, Surface top = kTrim, Surface side = kStone) {
  Slab s;
  s.lo = {x0, z0};
  s.hi = {x1, z1};
  s.top = height;
  s.topSurface = top;
  s.sideSurface = side;
  return s;
}

Slab Deck(float x0, float z0, float x1, float z1, float base, float height, Surface top, Surface side) {
  Slab s = Block(x0, z0, x1, z1, height, top, side);
  s.base = base;
  return s;
}

// A ramp rising toward +z from 0 at z0 to `height` at z1.
Slab RampNorth(float x0, float z0, float x1, float z1, float height, Surface top = kCobble) {
  Slab s = Block(x0, z0, x1, z1, 0.0f, top, kSandstone);
  s.slope = {0, height / (z1 - z0)};
  return s;
}

}  // namespace

// A walled courtyard: walkway along the walls with four ramps, low cover and
// pillars, two small basins, an open centre.
AreaLayout ProvingGrounds() {
  AreaLayout a;
  a.name = "Proving Grounds";
  AddFourWays(a.slabs, Block(-500, 470, 470, 500, 70, kTrim, kSandstone));     // outer wall
  AddFourWays(a.slabs, Block(-470, 410, 410, 470, 40, kPaving, kSandstone));   // walkway
  AddFourWays(a.slabs, RampNorth(-30, 320, 30, 410, 40));                      // ramp to it
  AddFourWays(a.slabs, Block(180, 80, 220, 120, 22, kTrim, kStone));           // low cover
  AddFourWays(a.slabs, Block(90, 230, 150, 250, 24, kTrim, kStone));
  AddFourWays(a.slabs, Block(240, 240, 270, 270, 64, kBronze, kStone));        // pillars
  a.pools = {{{-250.0f, -31.25f}, {-187.5f, 31.25f}, 8.0f}, {{187.5f, -31.25f}, {250.0f, 31.25f}, 8.0f}};
  a.ground = [](float x, float z) {
    const float r = std::max(std::fabs(x), std::fabs(z));
    if (r < 60) return kCobble;
    if (std::fabs(x) < 15 || std::fabs(z) < 15) return kCobble;
    return r > 300 ? kSand : kPaving;
  };
  a.options = {{-140, 15, -140}, {140, 20, 140}, 465, 110, 465, 530, 0, 400, 530, 1, 1};
  for (float x : {-380.0f, 380.0f})
    for (float z : {-380.0f, 380.0f}) a.power.push_back({{x, 15, z}, 0});
  a.power.push_back({{0, 15, 90}, 1});
  a.power.push_back({{0, 15, -90}, 1});
  a.power.push_back({{-218.75f, 10, 0}, 1});
  a.power.push_back({{218.75f, 10, 0}, 1});
  for (float x : {-440.0f, 440.0f})
    for (float z : {-440.0f, 440.0f}) a.armor.push_back({{x, 55, z}, 0});
  a.armor.push_back({{200, 15, -200}, 0});
  a.armor.push_back({{-200, 15, 200}, 0});
  // On the sand ring between the cover and the walkway, clear of the ramps
  // and of the corner orbs, spaced unevenly so the ring does not look planted.
  for (const glm::vec2 p : {glm::vec2(-350, -250), glm::vec2(-360, -120), glm::vec2(-345, 100), glm::vec2(-370, 260),
                            glm::vec2(-250, 355), glm::vec2(-120, 340), glm::vec2(110, 365), glm::vec2(260, 345),
                            glm::vec2(350, 220), glm::vec2(365, 90), glm::vec2(340, -140), glm::vec2(360, -290),
                            glm::vec2(230, -350), glm::vec2(80, -360), glm::vec2(-200, -365)})
    a.trees.push_back({p.x, 0, p.y});
  return a;
}

// An island fortress: a plaza with pools around the monument, a broken inner
// wall with arches, a raised walkway inside the outer wall reached by ramps
// and crossing bridges, four corner towers with ramps to their tops.
AreaLayout SunkenCitadel() {
  AreaLayout a;
  a.name = "Sunken Citadel";
  AddFourWays(a.slabs, Block(-500, 480, -30, 500, 55, kTrim, kStone));        // outer wall with a gap
  AddFourWays(a.slabs, Block(30, 480, 480, 500, 55, kTrim, kStone));
  AddFourWays(a.slabs, Block(-480, 420, -120, 480, 40, kPaving, kStone));      // walkway
  AddFourWays(a.slabs, Block(120, 420, 420, 480, 40, kPaving, kStone));
  AddFourWays(a.slabs, Deck(-120, 420, 120, 480, 32, 40, kWood, kBronze));     // bridge over the gap
  AddFourWays(a.slabs, RampNorth(-30, 330, 30, 420, 40));                      // ramp to the walkway
  AddFourWays(a.slabs, Block(330, 330, 420, 420, 80, kTrim, kSandstone));      // corner tower
  AddFourWays(a.slabs, RampNorth(345, 150, 405, 330, 80, kCobble));            // its ramp
  AddFourWays(a.slabs, Block(-200, 230, -60, 245, 42, kTrim, kSandstone));     // broken inner wall
  AddFourWays(a.slabs, Block(60, 230, 200, 245, 42, kTrim, kSandstone));
  AddFourWays(a.slabs, Deck(-60, 230, 60, 245, 34, 42, kTrim, kSandstone));    // arch
  AddFourWays(a.slabs, Block(160, -25, 180, 25, 22, kTrim, kMetal));           // plaza cover
  AddFourWays(a.slabs, Block(-215, 150, -195, 215, 26, kTrim, kSandstone));    // ruined stubs
  AddFourWays(a.slabs, Block(280, 60, 300, 140, 24, kTrim, kStone));           // cover in the grass
  for (float x : {-1.0f, 1.0f})
    for (float z : {-1.0f, 1.0f})
      a.pools.push_back({{x < 0 ? -187.5f : 93.75f, z < 0 ? -187.5f : 93.75f},
                         {x < 0 ? -93.75f : 187.5f, z < 0 ? -93.75f : 187.5f}, 10.0f});
  a.ground = [](float x, float z) {
    const float r = std::max(std::fabs(x), std::fabs(z));
    if (r < 230) return std::hypot(x, z) < 70 ? kTrim : kPaving;
    if (std::fabs(x) < 35 || std::fabs(z) < 35) return kCobble;
    if (r > 365) return kSand;
    return kGrass;
  };
  a.options = {{-80, 15, -80}, {80, 20, 80}, 475, 130, 475, 560, -5, 450, 560, 1, 1};
  const float kPoolCentre = 140.625f;
  for (float x : {-kPoolCentre, kPoolCentre})
    for (float z : {-kPoolCentre, kPoolCentre}) a.power.push_back({{x, 8, z}, 1});
  for (float x : {-375.0f, 375.0f})
    for (float z : {-375.0f, 375.0f}) a.power.push_back({{x, 95, z}, 1});  // tower tops
  for (const glm::vec2 p : {glm::vec2(0, 300), glm::vec2(300, 0), glm::vec2(0, -300), glm::vec2(-300, 0)})
    a.power.push_back({{p.x, 15, p.y}, 0});
  a.power.push_back({{0, 15, 120}, 0});
  a.power.push_back({{0, 15, -120}, 0});
  for (const glm::vec2 p : {glm::vec2(0, 450), glm::vec2(450, 0), glm::vec2(0, -450), glm::vec2(-450, 0)})
    a.armor.push_back({{p.x, 55, p.y}, 0});  // on the bridges
  for (const glm::vec2 p : {glm::vec2(300, 300), glm::vec2(-300, -300)}) a.armor.push_back({{p.x, 15, p.y}, 0});
  // In the grass between the inner wall and the towers, off the cobbled paths
  // and clear of the cover, the ramps and the pickups.
  for (const glm::vec2 p : {glm::vec2(-300, -200), glm::vec2(-200, -290), glm::vec2(-110, -310), glm::vec2(100, -335),
                            glm::vec2(250, -300), glm::vec2(310, -120), glm::vec2(330, -60), glm::vec2(300, 200),
                            glm::vec2(200, 300), glm::vec2(80, 275), glm::vec2(-130, 330), glm::vec2(-290, 250),
                            glm::vec2(-320, 90), glm::vec2(-265, 170), glm::vec2(255, -170)})
    a.trees.push_back({p.x, 0, p.y});
  return a;
}

}  // namespace halvex::contentgen
