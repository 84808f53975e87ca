#include "content/varn_mesh.h"

#include <array>

#include "content/content_messages.h"
#include "content/texture_database.h"
#include "tests/content/content_fixture.h"

namespace halvex {
namespace {

using namespace gfx;

class VarnMeshTest : public ContentFixture {};

// References left on a texture: AddRef then Release reports the count.
ULONG RefCount(Texture* t) {
  t->AddRef();
  return t->Release();
}

TEST_F(VarnMeshTest, FileTexturesAndMaterialsFollowTheModelFile) {
  Write("objects/three.x", ModelWithMaterials(3));
  WriteDds("textures/m0.dds", 2);
  WriteDds("textures/m2.dds", 8);  // m1 missing: untextured
  for (bool specular : {true, false}) {
    MeshDefaults().specularHighlights = specular;
    CVarnMesh mesh;
    ASSERT_EQ(mesh.LoadFromFile(device_, "objects\\three.x"), S_OK);
    EXPECT_STREQ(mesh.name, "CVarnMesh");
    ASSERT_EQ(mesh.materialCount, 3u);
    EXPECT_EQ(mesh.faceCount, 3u);
    EXPECT_EQ(Width(mesh.textures[0]), 2u);
    EXPECT_EQ(mesh.textures[1], nullptr);
    EXPECT_EQ(Width(mesh.textures[2]), 8u);
    const D3DMATERIAL8& m = mesh.materials[2];
    EXPECT_FLOAT_EQ(m.Diffuse.r, 0.2f);
    EXPECT_FLOAT_EQ(m.Diffuse.a, 0.5f);
    EXPECT_FLOAT_EQ(m.Ambient.r, m.Diffuse.r);
    EXPECT_FLOAT_EQ(m.Ambient.a, m.Diffuse.a);
    EXPECT_FLOAT_EQ(m.Specular.r, 1.0f);
    EXPECT_FLOAT_EQ(m.Specular.a, 0.0f);
    EXPECT_FLOAT_EQ(m.Emissive.b, 0.2f);
    EXPECT_FLOAT_EQ(m.Power, specular ? 1.0f : 0.0f);
    // the collision layout: 32-byte vertices, 16-bit indices, pointers in place
    EXPECT_EQ(mesh.vertexStride(), 32u);
    ASSERT_NE(mesh.vertexData, nullptr);
    for (uint32_t i = 0; i < mesh.indexCount(); ++i) ASSERT_LT(mesh.indexData[i], mesh.vertexCount());
  }
  MeshDefaults().specularHighlights = true;
}

TEST_F(VarnMeshTest, TextureListBorrowsDatabaseEntriesAndNeverReleasesThem) {
  Write("worlds/a/Render/world11.x", ModelWithMaterials(3));
  TextureDatabase db;
  db.textureCount = 10;
  db.textures.assign(10, nullptr);
  for (UINT i = 0; i < 10; ++i) {
    ASSERT_EQ(device_->CreateTexture(i + 1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     &db.textures[i]),
              S_OK);
  }
  {
    CVarnMesh tile;
    const int list[3] = {5, 9, 9};
    ASSERT_EQ(tile.LoadWithTextureList(device_, "worlds\\a\\Render\\world11.x", list, 3, db, true),
              S_OK);
    EXPECT_EQ(tile.textureOwnership, 1);
    EXPECT_EQ(tile.textures[0], db.textures[5]);
    EXPECT_EQ(tile.textures[1], db.textures[9]);
    EXPECT_EQ(tile.textures[2], db.textures[9]);
    // second coordinate set: 40-byte vertices whose second pair is the first
    EXPECT_EQ(tile.vertexStride(), 40u);
    for (uint32_t v = 0; v < tile.vertexCount(); ++v) {
      EXPECT_EQ(tile.systemMesh->texCoord(v, 1), tile.systemMesh->texCoord(v, 0));
    }
    ASSERT_EQ(tile.RestoreDeviceObjects(device_, D3DXMESH_WRITEONLY, false, false), S_OK);
  }
  EXPECT_EQ(RefCount(db.textures[9]), 1u);
  EXPECT_EQ(RefCount(db.textures[5]), 1u);

  // a short list and indices outside the database leave materials untextured
  CVarnMesh tile;
  const int bad[2] = {-1, 10};
  ASSERT_EQ(tile.LoadWithTextureList(device_, "worlds\\a\\Render\\world11.x", bad, 2, db, false),
            S_OK);
  EXPECT_EQ(tile.textures[0], nullptr);
  EXPECT_EQ(tile.textures[1], nullptr);
  EXPECT_EQ(tile.textures[2], nullptr);
  db.Release();
}

TEST_F(VarnMeshTest, NamedAndSingleTextureVariants) {
  Write("objects/pistol.x", ModelWithMaterials(3));
  WriteDds("textures/botblack.dds", 2);
  WriteDds("textures/botwhite.dds", 4);
  const std::string names[3] = {"textures\\botblack.dds", "textures\\botblack.dds",
                                "textures\\botwhite.dds"};
  CVarnMesh pistol;
  ASSERT_EQ(pistol.LoadWithTextureNames(device_, "objects\\pistol.x", names, 3, false), S_OK);
  EXPECT_EQ(Width(pistol.textures[2]), 4u);
  EXPECT_EQ(Width(pistol.textures[0]), 2u);
  EXPECT_NE(pistol.textures[0], pistol.textures[1]);  // each material its own object
  EXPECT_EQ(pistol.textureOwnership, 0);
  Texture* owned = pistol.textures[2];
  owned->AddRef();
  pistol.Destroy();
  EXPECT_EQ(owned->Release(), 0u);  // Destroy dropped the mesh's reference
  EXPECT_EQ(pistol.materialCount, 0u);
  EXPECT_EQ(pistol.vertexData, nullptr);

  CVarnMesh rocket;
  ASSERT_EQ(rocket.LoadWithTexture(device_, "objects\\pistol.x", "textures\\botwhite.dds"), S_OK);
  for (Texture* t : rocket.textures) EXPECT_EQ(Width(t), 4u);
  EXPECT_NE(rocket.textures[0], rocket.textures[2]);
}

TEST_F(VarnMeshTest, MeshWithoutMaterialsLoadsRestoresAndDrawsNoSubset) {
  Write("objects/plain.x",
        "xof 0302txt 0032\nMesh p {\n3;\n0.0;0.0;0.0;,\n0.0;1.0;0.0;,\n1.0;0.0;0.0;;\n1;\n3;0,1,2;;\n}\n");
  CVarnMesh mesh;
  ASSERT_EQ(mesh.LoadFromFile(device_, "objects\\plain.x"), S_OK);
  EXPECT_EQ(mesh.materialCount, 0u);
  EXPECT_EQ(mesh.faceCount, 1u);
  ASSERT_EQ(mesh.RestoreDeviceObjects(device_, D3DXMESH_WRITEONLY, true, false), S_OK);
  EXPECT_EQ(mesh.deviceMesh->options() & D3DXMESH_SYSTEMMEM, D3DXMESH_SYSTEMMEM);
  float dist = 0;
  EXPECT_TRUE(mesh.Intersect({0.2f, 0.2f, -4}, {0, 0, 2}, &dist));
  EXPECT_FLOAT_EQ(dist, 2.0f);
  EXPECT_EQ(mesh.InvalidateDeviceObjects(), S_OK);
  EXPECT_EQ(mesh.deviceMesh, nullptr);
}

TEST_F(VarnMeshTest, RestoredMeshDrawsEachSubsetWithOneCall) {
  Write("objects/three.x", ModelWithMaterials(3));
  CVarnMesh mesh;
  ASSERT_EQ(mesh.LoadFromFile(nullptr, "objects\\three.x"), S_OK);  // headless: no textures
  EXPECT_EQ(mesh.textures[0], nullptr);
  ASSERT_EQ(mesh.RestoreDeviceObjects(device_, D3DXMESH_WRITEONLY | D3DXMESH_DYNAMIC, false, false),
            S_OK);
  EXPECT_EQ(mesh.deviceMesh->options() & D3DXMESH_SYSTEMMEM, 0u);
  std::vector<std::string>* calls = RecordedCalls(device_);
  ASSERT_NE(calls, nullptr);
  calls->clear();
  for (DWORD s = 0; s < 4; ++s) mesh.deviceMesh->DrawSubset(device_, s);
  int draws = 0;
  for (const std::string& call : *calls) draws += call.rfind("DrawIndexedPrimitive", 0) == 0;
  EXPECT_EQ(draws, 3);
}

TEST_F(VarnMeshTest, FailuresLeaveTheMeshEmpty) {
  CVarnMesh mesh;
  EXPECT_EQ(mesh.LoadFromFile(device_, "objects\\missing.x"), E_FAIL);
  EXPECT_EQ(mesh.faceCount, 0u);
  EXPECT_EQ(mesh.indexData, nullptr);
  EXPECT_EQ(mesh.RestoreDeviceObjects(device_, 0, false, false), E_FAIL);
  EXPECT_FALSE(mesh.Intersect({0, 0, 0}, {0, 0, 1}, nullptr));
  Write("objects/three.x", ModelWithMaterials(3));
  ASSERT_EQ(mesh.LoadFromFile(device_, "objects\\three.x"), S_OK);
  EXPECT_EQ(mesh.CloneToFormat(device_, D3DFVF_XYZRHW), E_FAIL);
  EXPECT_EQ(mesh.vertexStride(), 32u);
}

// A text X file of the given vertices and triangles, no materials.
std::string XText(const std::vector<Vec3>& vertices, const std::vector<std::array<int, 3>>& faces) {
  std::string s = "xof 0302txt 0032\nMesh m {\n" + std::to_string(vertices.size()) + ";\n";
  for (size_t i = 0; i < vertices.size(); ++i) {
    const Vec3& p = vertices[i];
    s += std::to_string(int(p.x)) + ";" + std::to_string(int(p.y)) + ";0;" +
         (i + 1 == vertices.size() ? ";\n" : ",\n");
  }
  s += std::to_string(faces.size()) + ";\n";
  for (size_t i = 0; i < faces.size(); ++i) {
    s += "3;" + std::to_string(faces[i][0]) + "," + std::to_string(faces[i][1]) + "," +
         std::to_string(faces[i][2]) + (i + 1 == faces.size() ? ";;\n" : ";,\n");
  }
  return s + "}\n";
}

// Past 21,845 triangles the corners alone outnumber 16-bit indices; what
// counts is how many distinct vertices they make.
TEST_F(VarnMeshTest, LargeModelsLoadWhenCornersAreSharedAndAreRefusedByNameOtherwise) {
  const int columns = 110, rows = 100;  // 22,000 triangles on 11,211 vertices
  std::vector<Vec3> grid;
  std::vector<std::array<int, 3>> gridFaces;
  for (int y = 0; y <= rows; ++y) {
    for (int x = 0; x <= columns; ++x) grid.emplace_back(x, y, 0);
  }
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const int a = y * (columns + 1) + x, b = a + 1, c = a + columns + 1, d = c + 1;
      gridFaces.push_back({a, c, b});
      gridFaces.push_back({b, c, d});
    }
  }
  Write("objects/grid.x", XText(grid, gridFaces));
  CVarnMesh mesh;
  ASSERT_EQ(mesh.LoadFromFile(nullptr, "objects\\grid.x"), S_OK);
  EXPECT_EQ(mesh.vertexCount(), grid.size());
  ASSERT_EQ(mesh.faceCount, gridFaces.size());
  // every triangle in the file's order, its corners in the file's cycle
  auto sameCorners = [&](uint32_t f, int turn) {
    for (int c = 0; c < 3; ++c) {
      if (mesh.systemMesh->position(mesh.indexData[f * 3 + c]) != grid[gridFaces[f][(c + turn) % 3]])
        return false;
    }
    return true;
  };
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    ASSERT_TRUE(sameCorners(f, 0) || sameCorners(f, 1) || sameCorners(f, 2)) << f;
  }

  std::vector<Vec3> apart;  // 21,846 triangles sharing nothing: 65,538 vertices
  std::vector<std::array<int, 3>> apartFaces;
  for (int i = 0; i < 21846; ++i) {
    const int x = (i % 200) * 2, y = (i / 200) * 2, v = int(apart.size());
    apart.insert(apart.end(), {Vec3(x, y, 0), Vec3(x, y + 1, 0), Vec3(x + 1, y, 0)});
    apartFaces.push_back({v, v + 1, v + 2});
  }
  Write("objects/apart.x", XText(apart, apartFaces));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(mesh.LoadFromFile(nullptr, "objects\\apart.x"), E_FAIL);
  const std::string error = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(mesh.faceCount, 0u);
  EXPECT_EQ(mesh.vertexData, nullptr);
  EXPECT_NE(error.find("objects\\apart.x"), std::string::npos) << error;
  EXPECT_NE(error.find("65538"), std::string::npos) << error;
}

TEST_F(VarnMeshTest, RestoreFailureShowsTheRestoreErrorBox) {
  std::vector<std::string> boxes;
  SetContentMessageHandler([&](const char* text, const char* caption) {
    boxes.push_back(std::string(caption) + "|" + text);
  });
  CVarnMesh mesh;
  mesh.systemMesh = std::make_unique<XMesh>();  // nothing a device can hold
  EXPECT_EQ(mesh.RestoreDeviceObjects(device_, D3DXMESH_WRITEONLY, false, false), E_FAIL);
  SetContentMessageHandler(nullptr);
  EXPECT_EQ(mesh.deviceMesh, nullptr);
  EXPECT_EQ(boxes, std::vector<std::string>{"Restore Error|Invalid"});
}

class TextureDatabaseTest : public ContentFixture {
 protected:
  struct Progress : LoadingProgress {
    void ClearBar() override { glyphs = 0; }
    void Redraw(const char* caption) override { captions.push_back(caption); }
    void AppendBarGlyphs(int count) override { glyphs += count; }
    std::vector<std::string> captions;
    int glyphs = 0;
  };
};

// A missing texture and a list three lines short of its count: one box for
// each, and stderr says where and what.
TEST_F(TextureDatabaseTest, FailedBoxesComeWithFileAndLineAndAShortListEndsOnce) {
  Write("system/textures.txt", "6\r\nfloor.dds\r\nmissing.dds\r\nsub\\wall.dds\r\n");
  WriteDds("textures/floor.dds", 2);
  WriteDds("textures/sub/wall.dds", 4);
  std::vector<std::string> boxes;
  SetContentMessageHandler([&](const char* text, const char* caption) {
    boxes.push_back(std::string(caption) + "|" + text);
  });
  TextureDatabase db;
  Progress progress;
  ::testing::internal::CaptureStderr();
  LoadTextureDatabase(device_, db, &progress);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  SetContentMessageHandler(nullptr);
  ASSERT_EQ(db.textureCount, 6);
  EXPECT_EQ(Width(db.At(0)), 2u);
  EXPECT_EQ(db.At(1), nullptr);
  EXPECT_EQ(Width(db.At(2)), 4u);
  EXPECT_EQ(db.At(3), nullptr);
  EXPECT_EQ(boxes, std::vector<std::string>(2, "FAILED|"));
  EXPECT_EQ(errors,
            "system\\textures.txt:5: the file ends before its 6 texture entries\n"
            "system\\textures.txt:3: cannot load textures\\missing.dds: file not found\n");
  EXPECT_EQ(progress.glyphs, 4);
  EXPECT_EQ(progress.captions,
            std::vector<std::string>(3, "Generating Texture Database"));
  db.Release();
  EXPECT_EQ(db.textureCount, 0);
}

TEST_F(TextureDatabaseTest, FixedTexturesInTableOrderAndLensFlare) {
  WriteDds("textures/blood.dds", 2);
  WriteDds("textures/botyellow.dds", 8);
  Write("textures/exp/caust31.tga",
        std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\1\2\3", 21));
  FixedTextures fixed;
  LoadFixedTextures(device_, fixed);
  EXPECT_EQ(Width(fixed.blood), 2u);
  EXPECT_EQ(Width(fixed.bodyTextures[4]), 8u);
  EXPECT_EQ(Width(fixed.causticTextures[31]), 1u);
  EXPECT_EQ(fixed.causticTextures[0], nullptr);
  EXPECT_EQ(fixed.bullet, nullptr);
  const int size[8] = {20, 5, 7, 5, 10, 5, 2, 1};
  const int lens[8] = {4, 2, 3, 4, 2, 4, 0, 1};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(fixed.lensFlareElements[i].size, size[i]);
    EXPECT_EQ(fixed.lensFlareElements[i].third, size[i] / 3);
    EXPECT_EQ(fixed.lensFlareElements[i].lensTexture, lens[i]);
  }
  EXPECT_FLOAT_EQ(fixed.lensFlareElements[7].position, -7.0f);
  std::vector<std::string> files = FixedTextureFiles();
  ASSERT_EQ(files.size(), 62u);
  EXPECT_EQ(files[10], "textures\\exp\\caust00.tga");
  EXPECT_EQ(files[46], "textures\\botyellow.dds");
  fixed.Release();
  EXPECT_EQ(fixed.blood, nullptr);
}

TEST_F(TextureDatabaseTest, MultiTexTableAdvancesTheScreenPerTile) {
  Write("worlds/a/multitex.txt", "tile 1\n2\n1\n1\n");
  MultiTexTable table{};
  Progress progress;
  LoadMultiTexTable("worlds\\a", table, &progress);
  EXPECT_EQ(table[0][1], 1);
  EXPECT_EQ(table[1][0], 0);
  EXPECT_EQ(progress.captions.size(), 16u);
  EXPECT_EQ(progress.glyphs, 32);
}

}  // namespace
}  // namespace halvex
