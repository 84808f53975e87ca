// Every collision tile of the generated pack's first battle area: the grid
// path gives the reference answers bit for bit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "content/data_files.h"
#include "platform/paths/paths.h"
#include "world/collision/collision.h"
#include "world/collision/collision_grid.h"
#include "world/collision/ray_cast.h"
#include "world/tiles/tiles.h"

namespace halvex {
namespace {

std::string PackDirectory() {
  const char* bin = std::getenv("HALVEX_BINARY_DIR");
  if (!bin) return {};
  std::filesystem::path dir = std::filesystem::path(bin) / "bin" / "content";
  return std::filesystem::exists(dir / "system" / "worlds.txt") ? dir.string() : std::string();
}

TEST(PackTiles, FastPathAgreesOnEveryTile) {
  std::string pack = PackDirectory();
  if (pack.empty()) GTEST_SKIP() << "no generated content pack in this build";
  std::ifstream in(std::filesystem::path(pack) / "system" / "worlds.txt");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  WorldList worlds = ParseWorldList(text, "worlds.txt");
  ASSERT_FALSE(worlds.areaNames.empty());
  paths::SetContentDirectory(pack);
  auto tiles = std::make_unique<WorldTiles>();
  BuildCollisionMap(nullptr, AreaPath(worlds.areaNames[0]), *tiles);

  std::mt19937 rng(4711);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  int tilesWithTriangles = 0, contacts = 0;
  for (int t = 0; t < kTileCount; ++t) {
    CollisionMeshView ref = CollisionViewOf(tiles->collisionTiles[t].mesh.get());
    if (ref.TriangleCount() > 0) ++tilesWithTriangles;
    CollisionGrid grid(ref);
    CollisionMeshView fast = ref;
    fast.grid = &grid;
    Vec3 c = TileCentre(t);
    for (int i = 0; i < 400; ++i) {
      Vec3 pos(c.x - 135 + 270 * u(rng), 80 * u(rng) - 5, c.z - 135 + 270 * u(rng));
      Vec3 move = Vec3Normalize(Vec3(u(rng) - 0.5f, u(rng) - 0.6f, u(rng) - 0.5f)) * 30.0f * u(rng);
      Vec3 radii(i % 3 == 0 ? 14.0f : (i % 3 == 1 ? 10.0f : 2.75f));
      Vec3 a = CollideAndSlide(pos, move, fast, radii);
      Vec3 b = CollideAndSlideReference(pos, move, ref, radii);
      ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "tile " << t << " query " << i;
      // Anything but the free move (the request kept back by 0.001 radius).
      Vec3 free = CollideAndSlideReference(pos, move, CollisionMeshView{}, radii);
      contacts += glm::length(b - free) > 0.01f;
      Vec3 o = WorldToModel(pos), d = WorldToModel(move);
      float rf = RayCastMesh(fast, o, d, 5.0f), rr = RayCastMesh(ref, o, d, 5.0f);
      ASSERT_EQ(std::memcmp(&rf, &rr, sizeof rf), 0) << "tile " << t << " ray " << i;
    }
  }
  EXPECT_EQ(tilesWithTriangles, kTileCount);
  EXPECT_GT(contacts, 300);
}

}  // namespace
}  // namespace halvex
