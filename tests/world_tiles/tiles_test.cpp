#include "world/tiles/tiles.h"

#include <algorithm>
#include <set>

#include "tests/content/content_fixture.h"

namespace halvex {
namespace {

TEST(TileGrid, CornersCentreAndOutsidePoints) {
  EXPECT_EQ(TileIndexAt(-500.0f, 500.0f), 0);
  EXPECT_EQ(TileIndexAt(499.0f, -499.0f), 15);
  EXPECT_EQ(TileIndexAt(0.0f, 0.0f), 10);
  EXPECT_EQ(TileIndexAt(-250.0f, 250.0f), 5);
  EXPECT_EQ(TileIndexAt(-251.0f, 251.0f), 0);
  EXPECT_EQ(TileIndexAt(500.0f, 0.0f), 12);  // column 4: outside, caller's to reject
  EXPECT_EQ(TileColumn(-600.0f), 0);        // integer part truncates toward zero
  EXPECT_EQ(TileRow(-600.0f), 4);
  // North of the area the rule counts rows back from z = 500, as the
  // combatants' tile index does: z = 800 is row 1, not row -1.
  EXPECT_EQ(TileRow(800.0f), 1);
  EXPECT_EQ(TileIndexAt(0.0f, 800.0f), 6);
}

TEST(TileGrid, CentresAndFileNamesFollowRowAndColumn) {
  EXPECT_EQ(TileCentre(0), Vec3(-375, 125, 375));
  EXPECT_EQ(TileCentre(6), Vec3(125, 125, 125));
  EXPECT_EQ(TileCentre(15), Vec3(375, 125, -375));
  EXPECT_EQ(TileFileName(0), "world11.x");
  EXPECT_EQ(TileFileName(4), "world21.x");
  EXPECT_EQ(TileFileName(11), "world34.x");
  for (int t = 0; t < kTileCount; ++t) {
    EXPECT_EQ(TileIndexAt(TileCentre(t).x, TileCentre(t).z), t);
  }
  WorldTiles tiles;
  EXPECT_EQ(tiles.collisionTiles[9].centre, TileCentre(9));
  EXPECT_EQ(tiles.renderTiles[3].mesh, nullptr);
}

TEST(TileGrid, DrawOrderRowsStartWithTheirTileAndNeverGetNearer) {
  for (int r = 0; r < kTileCount; ++r) {
    const auto& row = tileDrawOrder[size_t(r)];
    EXPECT_EQ(row[0], r);
    EXPECT_EQ(std::set<int>(row.begin(), row.end()).size(), 16u) << "row " << r;
    float last = 0.0f;
    for (int t : row) {
      ASSERT_GE(t, 0);
      ASSERT_LT(t, 16);
      float d = Vec3Length(TileCentre(t) - TileCentre(r));
      EXPECT_GE(d + 1e-3f, last) << "row " << r << " tile " << t;
      last = d;
    }
  }
}

// A tile model: a square floor at model height 0 over the tile's area, in
// two materials (one per triangle).
std::string FloorTile(int tile) {
  Vec3 c = TileCentre(tile);
  // model point (x, y, z) is drawn at world (x, z, -y): model y = -world z
  float x0 = c.x - 125, x1 = c.x + 125, y0 = -c.z - 125, y1 = -c.z + 125;
  auto v = [](float x, float y) {
    return std::to_string(x) + ";" + std::to_string(y) + ";0.0;";
  };
  // front faces up (+z in the model): the side a falling sphere meets
  return "xof 0302txt 0032\nMesh floor {\n4;\n" + v(x0, y0) + ",\n" + v(x0, y1) + ",\n" +
         v(x1, y1) + ",\n" + v(x1, y0) +
         ";\n2;\n3;0,2,1;,\n3;0,3,2;;\n"
         "MeshMaterialList { 2; 2; 0, 1;; Material { 1.0;1.0;1.0;1.0;; 1.0; 0.0;0.0;0.0;; "
         "0.0;0.0;0.0;; TextureFilename { \"textures\\\\stone.tga\"; } } Material { 0.5;0.5;0.5;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }\n}\n";
}

class TileBuildTest : public ContentFixture {
 protected:
  struct Progress : LoadingProgress {
    void ClearBar() override { glyphs = 0; }
    void Redraw(const char* caption) override { captions.insert(caption), ++redraws; }
    void AppendBarGlyphs(int count) override { glyphs += count; }
    std::set<std::string> captions;
    int redraws = 0, glyphs = 0;
  };

  void WriteArea(bool withRender) {
    std::string texture, textureL;
    for (int t = 0; t < kTileCount; ++t) {
      if (t != 7) Write("worlds/Test/Check/" + TileFileName(t), FloorTile(t));
      if (withRender) Write("worlds/Test/Render/" + TileFileName(t), FloorTile(t));
      texture += TileFileName(t) + "\r\n2\r\n1\r\n2\r\n";
      textureL += "low\r\n2\r\n0\r\n0\r\n";
    }
    Write("textures/stone.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\1\2\3", 21));
    Write("worlds/Test/texture.txt", texture);
    Write("worlds/Test/textureL.txt", textureL);
    database_.textureCount = 3;
    database_.textures.assign(3, nullptr);
    for (auto& t : database_.textures) {
      device_->CreateTexture(1, 1, 1, 0, gfx::D3DFMT_A8R8G8B8, gfx::D3DPOOL_MANAGED, &t);
    }
  }
  void TearDown() override {
    tiles_.Release();
    database_.Release();
    ContentFixture::TearDown();
  }
  WorldTiles tiles_;
  TextureDatabase database_;
};

TEST_F(TileBuildTest, CollisionMapHoldsTheCheckModelsAndStopsAFallingSphere) {
  WriteArea(false);
  Progress progress;
  BuildCollisionMap(device_, "worlds\\Test", tiles_, &progress);
  EXPECT_EQ(progress.redraws, 16);
  EXPECT_EQ(progress.glyphs, 32);
  EXPECT_EQ(progress.captions, std::set<std::string>{"Generating Collision Map"});
  for (int t = 0; t < kTileCount; ++t) {
    ASSERT_NE(tiles_.collisionTiles[t].mesh, nullptr);
    CollisionMeshView view = CollisionViewOf(tiles_.collisionTiles[t].mesh.get());
    if (t == 7) {
      EXPECT_TRUE(view.Empty());  // missing model: nothing to collide with
      continue;
    }
    ASSERT_EQ(view.TriangleCount(), 2u) << t;
    EXPECT_EQ(tiles_.collisionTiles[t].mesh->deviceMesh, nullptr);
    for (gfx::Texture* texture : tiles_.collisionTiles[t].mesh->textures)
      EXPECT_EQ(texture, nullptr) << "collision tiles are never drawn";
  }
  // a sphere of radius 14 at height 20 over tile 10 falling 30 stops on the floor
  CollisionMeshView floor = CollisionViewOf(tiles_.collisionTiles[10].mesh.get());
  Vec3 allowed = CollideAndSlide({10, 20, -10}, {0, -30, 0}, floor, Vec3(14.0f));
  // (a slide answer leaves out the approach to the contact: at most 6 down)
  EXPECT_GT(allowed.y, -6.1f);
  EXPECT_LT(allowed.y, 0.01f);
  Vec3 open = CollideAndSlide({10, 20, -10}, {0, -30, 0},
                              CollisionViewOf(tiles_.collisionTiles[7].mesh.get()), Vec3(14.0f));
  EXPECT_LT(open.y, -29.0f);
}

TEST_F(TileBuildTest, WorldMapTakesRenderModelsAndTheirTextureList) {
  WriteArea(true);
  Progress progress;
  BuildWorldMap(device_, "worlds\\Test", true, database_, tiles_, &progress);
  EXPECT_EQ(progress.captions, std::set<std::string>{"Generating World Map"});
  EXPECT_EQ(progress.glyphs, 32);
  for (int t = 0; t < kTileCount; ++t) {
    const CVarnMesh& mesh = *tiles_.renderTiles[t].mesh;
    ASSERT_EQ(mesh.materialCount, 2u) << t;  // tile 7 exists in Render
    EXPECT_EQ(mesh.textures[0], database_.textures[1]);
    EXPECT_EQ(mesh.textures[1], database_.textures[2]);
    EXPECT_EQ(mesh.vertexStride(), 40u);
    EXPECT_EQ(mesh.textureOwnership, 1);
  }
}

TEST_F(TileBuildTest, WithoutRenderDetailTheCheckModelsAndTheLowListAreDrawn) {
  WriteArea(false);
  BuildWorldMap(device_, "worlds\\Test", false, database_, tiles_);
  EXPECT_EQ(tiles_.renderTiles[0].mesh->textures[1], database_.textures[0]);
  EXPECT_EQ(tiles_.renderTiles[7].mesh->materialCount, 0u);  // its Check model is missing
  EXPECT_EQ(tiles_.renderTiles[7].mesh->faceCount, 0u);
}

}  // namespace
}  // namespace halvex
