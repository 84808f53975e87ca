// Battle-area files: the 16 Check and 16 Render tiles of each area, cut from
// its layout, and the area's options, items and texture lists.
#include <map>

#include "tools/contentgen/area_layout.h"
#include "tools/contentgen/common.h"
#include "tools/contentgen/mesh.h"

namespace halvex::contentgen {
namespace {

constexpr float kTileSize = 250.0f;
// Check tiles also hold what lies this close beyond their square, so that a
// sphere or shot near a tile border still meets a wall standing just across.
constexpr float kCheckMargin = 32.0f;
constexpr float kWaterLevel = -2.0f;

struct Rect {
  glm::vec2 lo, hi;
  bool Empty() const { return hi.x - lo.x < 0.01f || hi.y - lo.y < 0.01f; }
};

Rect Clip(glm::vec2 lo, glm::vec2 hi, const Rect& r) { return {glm::max(lo, r.lo), glm::min(hi, r.hi)}; }

// One tile model under construction: one material per surface used, in the
// order of first use (the tile's texture list follows that order).
class TileBuilder {
 public:
  explicit TileBuilder(bool detailed) : detailed_(detailed) {}
  bool detailed() const { return detailed_; }

  uint32_t MaterialFor(Surface s) {
    auto it = materialOf_.find(s);
    if (it != materialOf_.end()) return it->second;
    Material m;
    m.diffuse = {1.0f, 1.0f, 1.0f, s == kWater ? 0.55f : 1.0f};
    m.power = 4.0f;
    m.specular = glm::vec3(s == kWater || s == kMetal ? 0.6f : 0.15f);
    m.texture = TexturePath(kDatabaseTextures[s]);
    const uint32_t index = mesh_.AddMaterial(m);
    materialOf_[s] = index;
    surfaces_.push_back(s);
    return index;
  }

  // A flat quad whose front faces `outward`.
  void Quad(glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, glm::vec3 outward, Surface s, float texel = 64.0f) {
    if (glm::dot(glm::cross(b - a, c - a) + glm::cross(c - a, d - a), outward) < 0) std::swap(b, d);
    mesh_.AddQuadPlanar(a, b, c, d, MaterialFor(s), texel);
  }

  Mesh& mesh() { return mesh_; }
  const std::vector<Surface>& surfaces() const { return surfaces_; }

 private:
  bool detailed_;
  Mesh mesh_;
  std::map<Surface, uint32_t> materialOf_;
  std::vector<Surface> surfaces_;
};

void SlabTop(TileBuilder& t, const Slab& s, const Rect& r) {
  const glm::vec3 n = glm::normalize(glm::vec3(-s.slope.x, 1.0f, -s.slope.y));
  const int nx = t.detailed() ? std::max(1, static_cast<int>((r.hi.x - r.lo.x) / 31.25f + 0.5f)) : 1;
  const int nz = t.detailed() ? std::max(1, static_cast<int>((r.hi.y - r.lo.y) / 31.25f + 0.5f)) : 1;
  for (int j = 0; j < nz; ++j)
    for (int i = 0; i < nx; ++i) {
      const float x0 = glm::mix(r.lo.x, r.hi.x, static_cast<float>(i) / nx);
      const float x1 = glm::mix(r.lo.x, r.hi.x, static_cast<float>(i + 1) / nx);
      const float z0 = glm::mix(r.lo.y, r.hi.y, static_cast<float>(j) / nz);
      const float z1 = glm::mix(r.lo.y, r.hi.y, static_cast<float>(j + 1) / nz);
      auto p = [&](float x, float z) { return glm::vec3(x, s.TopAt(x, z), z); };
      t.Quad(p(x0, z0), p(x0, z1), p(x1, z1), p(x1, z0), n, s.topSurface);
    }
  if (s.base > 0.01f)
    t.Quad({r.lo.x, s.base, r.lo.y}, {r.hi.x, s.base, r.lo.y}, {r.hi.x, s.base, r.hi.y}, {r.lo.x, s.base, r.hi.y},
           {0, -1, 0}, s.sideSurface);
}

// One vertical side from (a.x, a.y) to (b.x, b.y) in x-z; render tiles get a
// trim course along the top of tall sides.
void SlabSide(TileBuilder& t, const Slab& s, glm::vec2 a, glm::vec2 b, glm::vec3 outward) {
  const float ta = s.TopAt(a.x, a.y), tb = s.TopAt(b.x, b.y);
  const bool trim = t.detailed() && s.slope == glm::vec2(0) && s.top - s.base > 20.0f;
  const float split = trim ? 3.0f : 0.0f;
  t.Quad({a.x, s.base, a.y}, {b.x, s.base, b.y}, {b.x, tb - split, b.y}, {a.x, ta - split, a.y}, outward,
         s.sideSurface);
  if (trim)
    t.Quad({a.x, ta - split, a.y}, {b.x, tb - split, b.y}, {b.x, tb, b.y}, {a.x, ta, a.y}, outward, kTrim, 16.0f);
}

void AddSlab(TileBuilder& t, const Slab& s, const Rect& area) {
  const Rect r = Clip(s.lo, s.hi, area);
  if (r.Empty()) return;
  SlabTop(t, s, r);
  // Sides cut by the tile border are left out: they lie inside the solid.
  if (r.lo.x == s.lo.x) SlabSide(t, s, {r.lo.x, r.hi.y}, {r.lo.x, r.lo.y}, {-1, 0, 0});
  if (r.hi.x == s.hi.x) SlabSide(t, s, {r.hi.x, r.lo.y}, {r.hi.x, r.hi.y}, {1, 0, 0});
  if (r.lo.y == s.lo.y) SlabSide(t, s, {r.lo.x, r.lo.y}, {r.hi.x, r.lo.y}, {0, 0, -1});
  if (r.hi.y == s.hi.y) SlabSide(t, s, {r.hi.x, r.hi.y}, {r.lo.x, r.hi.y}, {0, 0, 1});
}

bool InPool(const AreaLayout& area, float x, float z) {
  for (const Pool& p : area.pools)
    if (x > p.lo.x && x < p.hi.x && z > p.lo.y && z < p.hi.y) return true;
  return false;
}

void AddGround(TileBuilder& t, const AreaLayout& area, const Rect& tile) {
  const int cells = t.detailed() ? 16 : 8;
  const float step = kTileSize / static_cast<float>(cells);
  for (int j = 0; j < cells; ++j)
    for (int i = 0; i < cells; ++i) {
      const float x0 = tile.lo.x + step * static_cast<float>(i), z0 = tile.lo.y + step * static_cast<float>(j);
      const float cx = x0 + step / 2, cz = z0 + step / 2;
      if (InPool(area, cx, cz)) continue;
      t.Quad({x0, 0, z0}, {x0, 0, z0 + step}, {x0 + step, 0, z0 + step}, {x0 + step, 0, z0}, {0, 1, 0},
             area.ground(cx, cz));
    }
}

void AddPools(TileBuilder& t, const AreaLayout& area, const Rect& tile) {
  for (const Pool& p : area.pools) {
    const Rect r = Clip(p.lo, p.hi, tile);
    if (r.Empty()) continue;
    const float y = -p.depth;
    t.Quad({r.lo.x, y, r.lo.y}, {r.lo.x, y, r.hi.y}, {r.hi.x, y, r.hi.y}, {r.hi.x, y, r.lo.y}, {0, 1, 0}, kPoolFloor,
           32.0f);
    // basin walls face into the pool
    auto wall = [&](glm::vec2 a, glm::vec2 b, glm::vec3 inward) {
      t.Quad({a.x, y, a.y}, {b.x, y, b.y}, {b.x, 0, b.y}, {a.x, 0, a.y}, inward, kTrim, 16.0f);
    };
    if (r.lo.x == p.lo.x) wall({r.lo.x, r.lo.y}, {r.lo.x, r.hi.y}, {1, 0, 0});
    if (r.hi.x == p.hi.x) wall({r.hi.x, r.lo.y}, {r.hi.x, r.hi.y}, {-1, 0, 0});
    if (r.lo.y == p.lo.y) wall({r.lo.x, r.lo.y}, {r.hi.x, r.lo.y}, {0, 0, 1});
    if (r.hi.y == p.hi.y) wall({r.lo.x, r.hi.y}, {r.hi.x, r.hi.y}, {0, 0, -1});
    if (t.detailed())  // the water surface is drawn, never collided with
      t.Quad({r.lo.x, kWaterLevel, r.lo.y}, {r.lo.x, kWaterLevel, r.hi.y}, {r.hi.x, kWaterLevel, r.hi.y},
             {r.hi.x, kWaterLevel, r.lo.y}, {0, 1, 0}, kWater, 64.0f);
  }
}

TileBuilder BuildTile(const AreaLayout& area, int t, bool detailed) {
  const int row = t / 4, col = t % 4;
  const Rect tile{{-500.0f + kTileSize * static_cast<float>(col), 500.0f - kTileSize * static_cast<float>(row + 1)},
                  {-500.0f + kTileSize * static_cast<float>(col + 1), 500.0f - kTileSize * static_cast<float>(row)}};
  const float margin = detailed ? 0.0f : kCheckMargin;
  const Rect reach{tile.lo - glm::vec2(margin), tile.hi + glm::vec2(margin)};
  TileBuilder b(detailed);
  AddGround(b, area, tile);
  AddPools(b, area, tile);
  for (const Slab& s : area.slabs) AddSlab(b, s, reach);
  ToTileFrame(b.mesh());
  return b;
}

std::string TileName(int t) { return "world" + std::to_string(t / 4 + 1) + std::to_string(t % 4 + 1); }

std::string OptionsFile(const AreaLayout& a) {
  const AreaOptionsData& o = a.options;
  auto v = [](float f) { return Num(f, 1) + "\n"; };
  std::string s = "Battle area options: " + a.name + "\n(label lines are skipped, keep the line count)\nSpawn minimum x\n";
  s += v(o.spawnMin.x) + "Spawn maximum x\n" + v(o.spawnMax.x) + "Spawn minimum y\n" + v(o.spawnMin.y) +
       "Spawn maximum y\n" + v(o.spawnMax.y) + "Spawn minimum z\n" + v(o.spawnMin.z) + "Spawn maximum z\n" +
       v(o.spawnMax.z);
  s += "Bot box\nBot minimum x (not used)\n" + v(-o.botLimitX) + "Bot limit x\n" + v(o.botLimitX) +
       "Bot minimum y (not used)\n" + v(0) + "Bot ceiling\n" + v(o.botCeiling) + "Bot minimum z (not used)\n" +
       v(-o.botLimitZ) + "Bot limit z\n" + v(o.botLimitZ);
  s += "Player box\nPlayer minimum x (not used)\n" + v(-o.playerLimitX) + "Player limit x\n" + v(o.playerLimitX) +
       "Player floor\n" + v(o.playerFloor) + "Player ceiling\n" + v(o.playerCeiling) +
       "Player minimum z (not used)\n" + v(-o.playerLimitZ) + "Player limit z\n" + v(o.playerLimitZ);
  s += "Background\nBackground (0 switches the sea and sky off here)\n" + std::to_string(o.background) +
       "\nBackground extras (sharks, ravens and the sea)\n" + std::to_string(o.backgroundExtras) + "\n";
  return s;
}

std::string ItemsFile(const AreaLayout& a) {
  auto list = [](const std::vector<Pickup>& items) {
    std::string s = std::to_string(items.size()) + "\n";
    for (const Pickup& p : items)
      s += Num(p.position.x, 2) + " " + Num(p.position.y, 2) + " " + Num(p.position.z, 2) + " " +
           std::to_string(p.level) + "\n";
    return s;
  };
  return "Pickups: " + a.name + "\nPower orbs: x y z level, then armor: x y z 0\n(one blank between fields)\n" +
         list(a.power) + list(a.armor);
}

std::string TreesFile(const AreaLayout& a) {
  std::string s = "Trees: " + a.name + " (x y z of each trunk's base, at most 15)\n" + std::to_string(a.trees.size()) + "\n";
  for (const glm::vec3& t : a.trees) s += Num(t.x, 1) + " " + Num(t.y, 1) + " " + Num(t.z, 1) + "\n";
  return s;
}

void WriteArea(Pack& pack, const AreaLayout& area) {
  const std::string dir = "worlds/" + area.name + "/";
  std::string textures, texturesL, multitex;
  for (int t = 0; t < 16; ++t) {
    const std::string name = TileName(t);
    TileBuilder check = BuildTile(area, t, false);
    TileBuilder render = BuildTile(area, t, true);
    pack.Write(dir + "Check/" + name + ".x", WriteXFile(check.mesh(), area.name + " collision tile " + name));
    pack.Write(dir + "Render/" + name + ".x", WriteXFile(render.mesh(), area.name + " tile " + name));
    auto block = [&](const std::vector<Surface>& surfaces, bool flags) {
      std::string s = name + "\n" + std::to_string(surfaces.size()) + "\n";
      for (Surface surface : surfaces) s += std::to_string(flags ? (surface == kPoolFloor ? 1 : 0) : surface) + "\n";
      return s;
    };
    texturesL += block(check.surfaces(), false);
    textures += block(render.surfaces(), false);
    multitex += block(render.surfaces(), true);
  }
  pack.Write(dir + "options.txt", OptionsFile(area));
  pack.Write(dir + "items.txt", ItemsFile(area));
  pack.Write(dir + "trees.txt", TreesFile(area));
  pack.Write(dir + "texture.txt", textures);
  pack.Write(dir + "textureL.txt", texturesL);
  pack.Write(dir + "multitex.txt", multitex);
}

}  // namespace

void GenerateAreas(Pack& pack) {
  WriteArea(pack, ProvingGrounds());
  WriteArea(pack, SunkenCitadel());
}

}  // namespace halvex::contentgen
