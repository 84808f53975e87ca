// The battle areas: data files in the layouts the readers count, tiles that
// match their texture lists, and places that can be fought in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/contentgen/pack_util.h"

namespace halvex::contentgen::test {
namespace {

namespace fs = std::filesystem;

const char* const kAreas[] = {"Proving Grounds", "Sunken Citadel"};

std::vector<std::vector<int>> Blocks(const fs::path& file) {
  const auto lines = ReadLines(file);
  std::vector<std::vector<int>> blocks;
  size_t at = 0;
  for (int t = 0; t < 16 && at + 1 < lines.size(); ++t) {
    ++at;  // label
    const int n = std::atoi(lines[at++].c_str());
    std::vector<int> entries;
    for (int i = 0; i < n && at < lines.size(); ++i) entries.push_back(std::atoi(lines[at++].c_str()));
    blocks.push_back(entries);
  }
  EXPECT_EQ(at, lines.size()) << file;
  return blocks;
}

TEST(ContentAreas, TextureListsCoverEveryTileMaterial) {
  const int database = std::atoi(ReadLines(ContentDir() / "system/textures.txt")[0].c_str());
  for (const char* area : kAreas) {
    const fs::path dir = ContentDir() / "worlds" / area;
    const auto render = Blocks(dir / "texture.txt"), check = Blocks(dir / "textureL.txt");
    const auto multi = Blocks(dir / "multitex.txt");
    ASSERT_EQ(render.size(), 16u);
    ASSERT_EQ(check.size(), 16u);
    ASSERT_EQ(multi.size(), 16u);
    int lightMapped = 0;
    for (int t = 0; t < 16; ++t) {
      const LoadedModel r = LoadModel(dir / "Render" / TileName(t));
      const LoadedModel c = LoadModel(dir / "Check" / TileName(t));
      ASSERT_TRUE(r.ok && c.ok) << area << " " << TileName(t);
      EXPECT_GE(render[t].size(), r.textures.size()) << area << " " << TileName(t);
      EXPECT_GE(check[t].size(), c.textures.size()) << area << " " << TileName(t);
      EXPECT_LE(r.textures.size(), 16u);
      EXPECT_LE(multi[t].size(), 16u);
      EXPECT_GE(r.textures.size(), 3u) << "render tiles are detailed";
      for (int i : render[t]) EXPECT_TRUE(i >= 0 && i < database);
      for (int i : check[t]) EXPECT_TRUE(i >= 0 && i < database);
      for (int f : multi[t]) lightMapped += f != 0;
      EXPECT_LE(c.faces.size(), 400u) << area << " " << TileName(t) << ": collision is brute force";
      EXPECT_GT(r.faces.size(), c.faces.size());
    }
    EXPECT_GT(lightMapped, 0) << area;
  }
}

TEST(ContentAreas, OptionsAndItemsKeepTheirLayout) {
  for (const char* area : kAreas) {
    const fs::path dir = ContentDir() / "worlds" / area;
    const auto o = ReadLines(dir / "options.txt");
    ASSERT_EQ(o.size(), 45u) << area;
    auto f = [&](int line) { return static_cast<float>(std::atof(o[line - 1].c_str())); };
    EXPECT_LT(f(4), f(6));   // spawn x
    EXPECT_LE(f(8), f(10));  // spawn y
    EXPECT_LT(f(12), f(14));
    EXPECT_NEAR(f(8), 15.0f, 6.0f) << "spawn at ground height";
    EXPECT_TRUE(f(19) > 300 && f(19) < 500 && f(27) > 300 && f(27) < 500) << "bots stay inside the walls";
    EXPECT_TRUE(f(32) >= f(19) && f(40) >= f(27)) << "the player may go a little wider";
    EXPECT_GT(f(36), f(23));
    EXPECT_GT(f(23), 80.0f) << "bot ceiling above the tallest tower";
    EXPECT_LE(f(34), 15.0f - 14.0f) << "the player floor never lifts a player off the ground";
    EXPECT_EQ(o[42], "1");

    const auto items = ReadLines(dir / "items.txt");
    ASSERT_GT(items.size(), 4u);
    size_t at = 3;
    for (int list = 0; list < 2; ++list) {
      const int n = std::atoi(items[at++].c_str());
      EXPECT_TRUE(n >= 4 && n <= 20) << area;
      for (int i = 0; i < n; ++i, ++at) {
        ASSERT_LT(at, items.size());
        std::istringstream fields(items[at]);
        std::string x, y, z, level;
        std::getline(fields, x, ' ');
        std::getline(fields, y, ' ');
        std::getline(fields, z, ' ');
        std::getline(fields, level);
        EXPECT_FALSE(x.empty() || y.empty() || z.empty() || level.empty()) << items[at] << ": one blank between fields";
      }
    }
    EXPECT_EQ(at, items.size());
  }
}

std::vector<WorldTri> TileAt(const std::string& area, float x, float z) {
  const int row = static_cast<int>((500 - z) / 250), col = static_cast<int>((x + 500) / 250);
  return TileTriangles(area, "Check", 4 * row + col);
}

// Solid ground under the respawn point and the spawn box, no wall inside
// the player's sphere there, and every pickup floats over a floor.
TEST(ContentAreas, RespawnSpawnBoxAndPickupsAreOpen) {
  for (const char* area : kAreas) {
    const fs::path dir = ContentDir() / "worlds" / area;
    const auto o = ReadLines(dir / "options.txt");
    std::vector<glm::vec3> open = {{0, 15, 0}};
    for (float x : {std::atof(o[3].c_str()), std::atof(o[5].c_str())})
      for (float z : {std::atof(o[11].c_str()), std::atof(o[13].c_str())}) open.push_back({x, 15, z});
    for (const glm::vec3 p : open) {
      const auto tris = TileAt(area, p.x, p.z);
      EXPECT_NEAR(RayHit(tris, p, {0, -1, 0}, true), 15.0f, 0.01f) << area << " ground under " << p.x << "," << p.z;
      for (const auto& t : tris) ASSERT_GT(DistanceToTriangle(p, t), 14.0f - 1e-3f) << area << " " << p.x << "," << p.z;
    }
    const auto items = ReadLines(dir / "items.txt");
    for (const auto& line : items) {
      float x, y, z;
      int level;
      if (std::sscanf(line.c_str(), "%f %f %f %d", &x, &y, &z, &level) != 4) continue;
      const float drop = RayHit(TileAt(area, x, z), {x, y, z}, {0, -1, 0}, true);
      EXPECT_TRUE(drop >= 5 && drop <= 20) << area << " pickup " << line << " floats " << drop << " above a floor";
    }
  }
}

// Fifteen trees per area, each standing on open ground at its base height,
// with no wall through its trunk and no pickup inside its crown.
TEST(ContentAreas, TreesStandOnOpenGround) {
  for (const char* area : kAreas) {
    const fs::path dir = ContentDir() / "worlds" / area;
    const auto lines = ReadLines(dir / "trees.txt");
    ASSERT_GE(lines.size(), 2u) << area;
    ASSERT_EQ(std::atoi(lines[1].c_str()), 15) << area;
    ASSERT_EQ(lines.size(), 17u) << area;
    std::vector<glm::vec2> pickups;
    for (const auto& line : ReadLines(dir / "items.txt")) {
      float x, y, z;
      int level;
      if (std::sscanf(line.c_str(), "%f %f %f %d", &x, &y, &z, &level) == 4) pickups.push_back({x, z});
    }
    for (size_t i = 2; i < lines.size(); ++i) {
      glm::vec3 base;
      ASSERT_EQ(std::sscanf(lines[i].c_str(), "%f %f %f", &base.x, &base.y, &base.z), 3) << lines[i];
      const auto tris = TileAt(area, base.x, base.z);
      const glm::vec3 above = base + glm::vec3(0, 100, 0);
      EXPECT_NEAR(RayHit(tris, above, {0, -1, 0}, true), 100.0f, 0.01f) << area << " tree " << lines[i];
      const glm::vec3 trunk = base + glm::vec3(0, 20, 0);
      for (const auto& t : tris)  // (a sliver with no area measures NaN: no wall)
        EXPECT_FALSE(DistanceToTriangle(trunk, t) <= 8.0f) << area << " tree " << lines[i];
      for (const glm::vec2 p : pickups)
        EXPECT_GT(glm::distance(p, glm::vec2(base.x, base.z)), 25.0f) << area << " tree " << lines[i];
    }
  }
}

// Walls, ramps and platforms: a bot can reach the high places. A point half
// way up a ramp has its surface between ground and the platform, and the
// tallest top is well above head height.
TEST(ContentAreas, AreasHaveHeightToFightOver) {
  for (const char* area : kAreas) {
    float highest = 0;
    int sloped = 0;
    for (int t = 0; t < 16; ++t)
      for (const auto& tri : TileTriangles(area, "Check", t)) {
        highest = std::max({highest, tri.a.y, tri.b.y, tri.c.y});
        const glm::vec3 n = glm::normalize(glm::cross(tri.b - tri.a, tri.c - tri.a));
        if (n.y > 0.85f && n.y < 0.99f) ++sloped;  // a walkable ramp, facing up
      }
    EXPECT_GE(highest, 40.0f) << area;
    EXPECT_GE(sloped, 4) << area;
  }
}

// What a player sees is what stops them: every Render tile's upward surfaces
// have Check geometry at the same height (water excepted).
TEST(ContentAreas, CheckTilesMatchRenderSurfaces) {
  for (const char* area : kAreas)
    for (int t = 0; t < 16; ++t) {
      const auto check = TileTriangles(area, "Check", t);
      for (const auto& tri : TileTriangles(area, "Render", t)) {
        const glm::vec3 n = glm::cross(tri.b - tri.a, tri.c - tri.a);
        if (glm::normalize(n).y < 0.5f) continue;
        const glm::vec3 centre = (tri.a + tri.b + tri.c) / 3.0f;
        if (std::abs(centre.y + 2.0f) < 0.01f) continue;  // the pools' water surface
        // a surface hidden under a solid (ground beneath a ramp) has collision just above it instead
        const float hit = RayHit(check, centre + glm::vec3(0, 1, 0), {0, -1, 0}, true);
        EXPECT_TRUE(std::abs(hit - 1.0f) < 0.05f || (hit >= 0 && hit < 1.0f)) << area << " " << TileName(t) << " at " << centre.x << "," << centre.y << ","
                                      << centre.z;
      }
    }
}

}  // namespace
}  // namespace halvex::contentgen::test
