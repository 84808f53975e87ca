// Every model under objects/ loads, has no degenerate triangles, a sensible
// size and the materials the game draws it with; key frames of one animation
// can be blended vertex by vertex.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/contentgen/pack_util.h"

namespace halvex::contentgen::test {
namespace {

namespace fs = std::filesystem;

void ExpectWellFormed(const fs::path& file, const LoadedModel& m) {
  ASSERT_TRUE(m.ok) << file;
  ASSERT_FALSE(m.faces.empty()) << file;
  for (size_t i = 0; i < m.faces.size(); ++i) {
    const auto f = m.faces[i];
    const glm::vec3 a = m.positions[f.x], b = m.positions[f.y], c = m.positions[f.z];
    const glm::vec3 n = glm::cross(b - a, c - a);
    ASSERT_GT(glm::length(n), 1e-6f * glm::length(b - a) * glm::length(c - a)) << file << " face " << i;
    // the winding's front agrees with the stored normals
    const glm::vec3 vn = m.normals[f.x] + m.normals[f.y] + m.normals[f.z];
    ASSERT_GE(glm::dot(n, vn), 0.0f) << file << " face " << i << " is wound against its normals";
  }
  for (const auto& tex : m.textures) {
    if (!tex.empty()) {
      EXPECT_TRUE(fs::exists(PackFile(tex))) << file << " names missing " << tex;
    }
  }
}

TEST(ContentModels, AllLoadWellFormedWithExistingTextures) {
  int count = 0;
  for (const auto& e : fs::directory_iterator(ContentDir() / "objects")) {
    ExpectWellFormed(e.path(), LoadModel(e.path()));
    ++count;
  }
  EXPECT_EQ(count, 25);
}

// Extents in the file's axes (z up): what the game's placement expects.
TEST(ContentModels, SizesFitHowTheGamePlacesThem) {
  struct Expect {
    const char* name;
    float minHeight, maxHeight, maxWidth;
  };
  const Expect expects[] = {
      {"botanim0", 26, 34, 18},  // feet at the origin, about 30 tall
      {"pistol", 2, 6, 8},      {"rocket3", 2, 6, 14},  {"shotgun1", 2, 6, 14},
      {"tree", 40, 80, 50},     {"scythe", 25, 45, 25},  // stretched 2x in x and z by the game
      {"sphere", 30, 50, 50},   // drawn at 1/8 and 1/5
      {"skybox", 4000, 20000, 20000}, {"ground", 0, 1, 5000}, {"ocean00", 0, 10, 500},
  };
  for (const Expect& e : expects) {
    const LoadedModel m = LoadModel(PackFile(std::string("objects\\") + e.name + ".x"));
    ASSERT_TRUE(m.ok) << e.name;
    const glm::vec3 size = m.hi - m.lo;
    EXPECT_GE(size.z, e.minHeight) << e.name;
    EXPECT_LE(size.z, e.maxHeight) << e.name;
    EXPECT_LE(std::max(size.x, size.y), e.maxWidth) << e.name;
  }
  const LoadedModel body = LoadModel(PackFile("objects\\botanim0.x"));
  EXPECT_NEAR(body.lo.z, 0.0f, 1.0f) << "the body's origin is at its feet";
  const LoadedModel logo = LoadModel(PackFile("objects\\logo.x"));
  EXPECT_GT(logo.hi.x - logo.lo.x, 3 * (logo.hi.z - logo.lo.z)) << "the logo is a word, wider than tall";
}

// Front faces (by winding) look out of closed models and into the sky box.
TEST(ContentModels, FrontFacesPointTheRightWay) {
  auto facing = [](const char* name) {
    const LoadedModel m = LoadModel(PackFile(std::string("objects\\") + name + ".x"));
    const glm::vec3 centre = (m.lo + m.hi) * 0.5f;
    int out = 0, in = 0;
    for (const auto& f : m.faces) {
      const glm::vec3 a = m.positions[f.x], b = m.positions[f.y], c = m.positions[f.z];
      (glm::dot(glm::cross(b - a, c - a), (a + b + c) / 3.0f - centre) > 0 ? out : in)++;
    }
    return glm::ivec2(out, in);
  };
  const glm::ivec2 sky = facing("skybox"), sphere = facing("sphere");
  EXPECT_EQ(sky.x, 0) << "sky box faces must look inward";
  EXPECT_GT(sky.y, 0);
  EXPECT_EQ(sphere.y, 0);
  EXPECT_GT(sphere.x, 0);
}

// The sky is shaded smoothly: vertices at the same place (the corners and
// edges where walls and top meet) share one normal, so no seam shows.
TEST(ContentModels, SkyHasNoLightingSeams) {
  const LoadedModel sky = LoadModel(PackFile("objects\\skybox.x"));
  ASSERT_EQ(sky.positions.size(), sky.normals.size());
  int shared = 0;
  for (size_t i = 0; i < sky.positions.size(); ++i)
    for (size_t j = i + 1; j < sky.positions.size(); ++j)
      if (glm::distance(sky.positions[i], sky.positions[j]) < 1e-3f) {
        ++shared;
        EXPECT_LT(glm::distance(sky.normals[i], sky.normals[j]), 1e-4f) << "vertices " << i << " and " << j;
      }
  EXPECT_GT(shared, 16);
}

TEST(ContentModels, MaterialCountsMatchTheLoaders) {
  auto materials = [](const char* name) { return LoadModel(PackFile(std::string("objects\\") + name + ".x")).textures.size(); };
  EXPECT_EQ(materials("pistol"), 3u);  // grip, slide, barrel take three named textures
  EXPECT_EQ(materials("tree"), 2u);    // bark and leaves
  EXPECT_GE(materials("skybox"), 5u);  // four sides and the top are drawn
  EXPECT_GE(materials("scythe"), 3u);  // subset 2 is drawn again environment-mapped
  // every subset the game draws by number has triangles
  for (const char* name : {"skybox", "scythe", "pistol", "tree"}) {
    const LoadedModel m = LoadModel(PackFile(std::string("objects\\") + name + ".x"));
    std::vector<int> used(m.textures.size(), 0);
    for (unsigned f : m.faceMaterial) used[f]++;
    for (size_t i = 0; i < used.size(); ++i) EXPECT_GT(used[i], 0) << name << " subset " << i;
  }
}

// The morph blends two frames vertex by vertex: same counts, same triangles,
// and the frames really differ.
TEST(ContentModels, KeyFramesShareTopologyAndMove) {
  const std::vector<std::vector<std::string>> animations = {
      {"botanim0", "botanim1", "botanim2", "botanim3", "botanim4", "botanim5"},
      {"ocean00", "ocean01", "ocean02", "ocean03"},
      {"shark00", "shark01"},
      {"raven00", "raven01", "raven02"}};
  for (const auto& frames : animations) {
    const LoadedModel first = LoadModel(PackFile("objects\\" + frames[0] + ".x"));
    ASSERT_TRUE(first.ok);
    for (size_t i = 1; i < frames.size(); ++i) {
      const LoadedModel m = LoadModel(PackFile("objects\\" + frames[i] + ".x"));
      ASSERT_EQ(m.positions.size(), first.positions.size()) << frames[i];
      ASSERT_EQ(m.faces, first.faces) << frames[i];
      float moved = 0;
      for (size_t v = 0; v < m.positions.size(); ++v)
        moved = std::max(moved, glm::length(m.positions[v] - first.positions[v]));
      EXPECT_GT(moved, 0.5f) << frames[i] << " does not move";
    }
  }
  // running: frames 1 and 2 swap which foot is ahead; the jump lifts the knees
  auto feet = [](const char* name) {
    const LoadedModel m = LoadModel(PackFile(std::string("objects\\") + name + ".x"));
    float left = -1e9f, right = -1e9f;  // furthest forward (file +y) foot point per side (file x flips)
    for (const auto& p : m.positions)
      if (p.z < 3.0f) (p.x > 0 ? left : right) = std::max(p.x > 0 ? left : right, p.y);
    return glm::vec2(left, right);
  };
  const glm::vec2 one = feet("botanim1"), two = feet("botanim2");
  EXPECT_GT(one.x, one.y + 3);
  EXPECT_GT(two.y, two.x + 3);
  const LoadedModel jump = LoadModel(PackFile("objects\\botanim5.x"));
  const LoadedModel stand = LoadModel(PackFile("objects\\botanim0.x"));
  EXPECT_GT(jump.lo.z, stand.lo.z + 3) << "the jump pose tucks the feet up";
}

TEST(ContentModels, OceanFramesLoop) {
  // the step 3 -> 0 is like the step 0 -> 1: the sea does not jump when it wraps
  std::vector<LoadedModel> f;
  for (const char* n : {"ocean00", "ocean01", "ocean02", "ocean03"}) f.push_back(LoadModel(PackFile(std::string("objects\\") + n + ".x")));
  auto step = [&](size_t a, size_t b) {
    float d = 0;
    for (size_t v = 0; v < f[a].positions.size(); ++v) d += glm::length(f[a].positions[v] - f[b].positions[v]);
    return d;
  };
  EXPECT_NEAR(step(3, 0), step(0, 1), step(0, 1) * 0.25f);
}

}  // namespace
}  // namespace halvex::contentgen::test
