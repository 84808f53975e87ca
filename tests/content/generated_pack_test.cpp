// The generated default pack through the game's own loaders: every list
// reads without a problem, every texture and model loads with the file's
// triangles, tiles resolve their database textures, and the checker finds
// nothing.
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "content/content_messages.h"
#include "content/texture_database.h"
#include "content/varn_mesh.h"
#include "tests/content/content_fixture.h"
#include "tools/contentcheck/content_check.h"
#include "world/tiles/tiles.h"

namespace halvex {
namespace {

namespace fs = std::filesystem;

fs::path PackDirectory() {
  const char* binary = std::getenv("HALVEX_BINARY_DIR");
  if (!binary) return {};
  fs::path pack = fs::path(binary) / "bin" / "content";
  return fs::exists(pack / "system" / "worlds.txt") ? pack : fs::path();
}

// A pack model's triangles as the loader took them before it welded
// corners: every face's corners read straight from the importer, faces
// grouped by material in the file's order. Like the loader it composes the
// root transform onto identity before applying it (the root's own matrix
// would give some zeros the other sign), negates z and turns the winding
// back. The pack writes no frames, so the root holds every mesh.
std::vector<std::array<Vec3, 3>> UnweldedTriangles(const fs::path& file) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(file.string(), aiProcess_Triangulate);
  if (!scene || !scene->mRootNode) return {};
  const aiNode& root = *scene->mRootNode;
  const aiMatrix4x4 transform = aiMatrix4x4() * root.mTransformation;
  std::vector<std::pair<unsigned, std::array<Vec3, 3>>> faces;
  for (unsigned m = 0; m < root.mNumMeshes; ++m) {
    const aiMesh& mesh = *scene->mMeshes[root.mMeshes[m]];
    auto corner = [&](unsigned v) {
      const aiVector3D p = transform * mesh.mVertices[v];
      return Vec3(p.x, p.y, -p.z);
    };
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const unsigned* i = mesh.mFaces[f].mIndices;
      faces.push_back({mesh.mMaterialIndex, {corner(i[0]), corner(i[2]), corner(i[1])}});
    }
  }
  std::stable_sort(faces.begin(), faces.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::array<Vec3, 3>> triangles;
  for (const auto& f : faces) triangles.push_back(f.second);
  return triangles;
}

class GeneratedPack : public ContentFixture {
 protected:
  void SetUp() override {
    pack_ = PackDirectory();
    if (pack_.empty()) GTEST_SKIP() << "the content pack has not been generated in this build";
    ContentFixture::SetUp();
    paths::SetContentDirectory(pack_.string());
    SetContentMessageHandler([this](const char* text, const char* caption) {
      boxes_.push_back(std::string(caption) + "|" + text);
    });
  }
  void TearDown() override {
    if (pack_.empty()) return;
    SetContentMessageHandler(nullptr);
    ContentFixture::TearDown();
  }
  fs::path pack_;
  std::vector<std::string> boxes_;
};

TEST_F(GeneratedPack, CheckerFindsNothing) {
  DataFileProblems problems = contentcheck::CheckContent({pack_.string(), ""});
  paths::SetContentDirectory(pack_.string());
  for (const auto& p : problems) ADD_FAILURE() << p.file << ":" << p.line << ": " << p.message;
}

TEST_F(GeneratedPack, EveryModelLoadsNonDegenerateWithItsTextures) {
  int models = 0;
  for (const auto& entry : fs::directory_iterator(pack_ / "objects")) {
    if (entry.path().extension() != ".x") continue;
    const std::string path = "objects\\" + entry.path().filename().string();
    CVarnMesh mesh;
    ASSERT_EQ(mesh.LoadFromFile(device_, path), gfx::S_OK) << path;
    ++models;
    EXPECT_GT(mesh.faceCount, 0u) << path;
    Vec3 lo(1e30f), hi(-1e30f);
    for (uint32_t v = 0; v < mesh.vertexCount(); ++v) {
      lo = glm::min(lo, mesh.systemMesh->position(v));
      hi = glm::max(hi, mesh.systemMesh->position(v));
    }
    Vec3 size = hi - lo;
    EXPECT_GT(std::max({size.x, size.y, size.z}), 0.1f) << path;
    EXPECT_LT(std::max({size.x, size.y, size.z}), 20000.0f) << path;  // the sky box is the largest
    for (uint32_t i = 0; i < mesh.materialCount; ++i) {
      if (!mesh.fileTextureNames[i].empty()) {
        EXPECT_NE(mesh.textures[i], nullptr) << path << " material " << i;
      }
    }
    EXPECT_EQ(mesh.RestoreDeviceObjects(device_, D3DXMESH_WRITEONLY, false, false), gfx::S_OK);
  }
  EXPECT_GE(models, 25);  // every file the full load names
}

// Collision reads nothing but the corner positions of each triangle in
// order, so the same corners bit for bit in the same order are the same
// collision answers on every tile.
TEST_F(GeneratedPack, WeldedModelsAndTilesKeepEveryTriangleCornerForCorner) {
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(pack_)) {
    if (e.path().extension() == ".x") files.push_back(e.path());
  }
  ASSERT_GE(files.size(), 25u + 2 * 2 * kTileCount);  // objects, both areas' Check and Render tiles
  for (const fs::path& file : files) {
    const std::string path = fs::relative(file, pack_).string();
    const std::vector<std::array<Vec3, 3>> before = UnweldedTriangles(file);
    CVarnMesh mesh;
    ASSERT_EQ(mesh.LoadFromFile(nullptr, path), gfx::S_OK) << path;
    ASSERT_EQ(mesh.faceCount, before.size()) << path;
    EXPECT_LT(mesh.vertexCount(), mesh.faceCount * 3) << path << ": no corner was shared";
    for (uint32_t f = 0; f < mesh.faceCount; ++f) {
      for (int c = 0; c < 3; ++c) {
        const Vec3 p = mesh.systemMesh->position(mesh.indexData[f * 3 + c]);
        ASSERT_EQ(std::memcmp(&p, &before[f][size_t(c)], sizeof p), 0)
            << path << " face " << f << " corner " << c;
      }
    }
  }
}

TEST_F(GeneratedPack, AreasLoadTheirTilesWithDatabaseTextures) {
  TextureDatabase database;
  DataFileProblems problems;
  ::testing::internal::CaptureStderr();  // the pack must load without a warning
  LoadTextureDatabase(device_, database, nullptr, &problems);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_GT(database.textureCount, 0);
  WorldList worlds = ReadWorldList("system\\worlds.txt", &problems);
  ASSERT_GE(worlds.areaCount, 2);
  for (const std::string& area : worlds.areaNames) {
    WorldTiles tiles;
    BuildCollisionMap(device_, AreaPath(area), tiles);
    for (int t = 0; t < kTileCount; ++t) {
      EXPECT_FALSE(CollisionViewOf(tiles.collisionTiles[size_t(t)].mesh.get()).Empty())
          << area << " tile " << t;
    }
    // the low-detail world map of the first area only: it reads the same models
    for (bool detail : {true, false}) {
      if (!detail && area != worlds.areaNames[0]) continue;
      BuildWorldMap(device_, AreaPath(area), detail, database, tiles, nullptr, &problems);
      for (int t = 0; t < kTileCount; ++t) {
        const CVarnMesh& drawn = *tiles.renderTiles[size_t(t)].mesh;
        EXPECT_GT(drawn.materialCount, 0u);
        for (uint32_t i = 0; i < drawn.materialCount; ++i) {
          EXPECT_NE(drawn.textures[i], nullptr) << area << " tile " << t << " material " << i;
        }
      }
    }
    tiles.Release();
    AreaOptions options = ReadAreaOptions(AreaPath(area) + "\\options.txt", &problems);
    EXPECT_GT(options.playerLimitX, 0.0f);
    PickupLists pickups = ReadPickupLists(AreaPath(area) + "\\items.txt", &problems);
    EXPECT_GT(pickups.powerPickups.count, 0);
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  for (const auto& p : problems) ADD_FAILURE() << p.file << ":" << p.line << ": " << p.message;
  database.Release();
}

}  // namespace
}  // namespace halvex
