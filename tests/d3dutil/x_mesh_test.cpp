#include "d3dutil/mesh/x_mesh.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include <glm/gtc/epsilon.hpp>

namespace halvex {
namespace {
namespace fs = std::filesystem;

// A quad in a translated frame, two triangles of different materials, one
// material textured; written so every value can be compared with the file.
const char* kTwoMaterialQuad = R"(xof 0302txt 0064
Material Red {
 1.0;0.0;0.0;0.5;;
 10.0;
 0.2;0.3;0.4;;
 0.01;0.02;0.03;;
 TextureFilename { "textures\\red.dds"; }
}
Frame Root {
 FrameTransformMatrix {
  1.0,0.0,0.0,0.0,
  0.0,1.0,0.0,0.0,
  0.0,0.0,1.0,0.0,
  100.0,0.0,0.0,1.0;;
 }
 Mesh quad {
  4;
  0.0;0.0;1.0;,
  1.0;0.0;2.0;,
  1.0;1.0;3.0;,
  0.0;1.0;4.0;;
  2;
  3;0,1,2;,
  3;0,2,3;;
  MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 3;0,0,0;; }
  MeshMaterialList { 2; 2; 1, 0;; {Red} Material Blue { 0.0;0.0;1.0;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }
  MeshTextureCoords { 4; 0.1;0.2;, 0.3;0.4;, 0.5;0.6;, 0.7;0.8;; }
 }
}
)";

// A strip of n quads whose height comes from the frame: same topology for
// every frame, different positions.
std::string Strip(int quads, float height) {
  std::string s = "xof 0302txt 0032\nMesh strip {\n" + std::to_string((quads + 1) * 2) + ";\n";
  for (int i = 0; i <= quads; ++i) {
    for (int j = 0; j < 2; ++j) {
      s += std::to_string(i) + ";" + std::to_string(j) + ";" + std::to_string(height * i * j) +
           ";" + ((i == quads && j == 1) ? ";\n" : ",\n");
    }
  }
  s += std::to_string(quads * 2) + ";\n";
  for (int i = 0; i < quads; ++i) {
    int a = i * 2, b = a + 1, c = a + 2, d = a + 3;
    s += "3;" + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + ";,\n";
    s += "3;" + std::to_string(b) + "," + std::to_string(d) + "," + std::to_string(c) + ";" +
         (i == quads - 1 ? ";\n" : ",\n");
  }
  return s + "}\n";
}

class XFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("halvex_xmesh_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
    return (dir_ / name).string();
  }
  fs::path dir_;
};

TEST_F(XFileTest, PositionsWindingAndTexCoordsAreTheFiles) {
  XFileMesh x;
  std::string error;
  ASSERT_TRUE(LoadMeshFromX(Write("quad.x", kTwoMaterialQuad), x, &error)) << error;
  const XMesh& m = x.mesh;
  EXPECT_EQ(m.vertexStride(), 32u);
  ASSERT_EQ(m.faceCount(), 2u);
  const Vec3 filePositions[4] = {{100, 0, 1}, {101, 0, 2}, {101, 1, 3}, {100, 1, 4}};
  const Vec2 fileUv[4] = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}, {0.7f, 0.8f}};
  const int fileFaces[2][3] = {{0, 1, 2}, {0, 2, 3}};
  // Face i of the file has material (1, 0)[i]; the mesh keeps its corners in
  // order (a rotation of them at most) and the file's coordinates.
  std::set<int> seen;
  for (uint32_t f = 0; f < 2; ++f) {
    int fileFace = m.attributes()[f] == 1 ? 0 : 1;
    seen.insert(fileFace);
    // the same cycle of corners (same winding), starting anywhere
    int matched = 0;
    for (int r = 0; r < 3; ++r) {
      bool all = true;
      for (int c = 0; c < 3; ++c) {
        uint16_t v = m.indexData()[f * 3 + c];
        int fileVertex = fileFaces[fileFace][(c + r) % 3];
        all = all && glm::all(glm::epsilonEqual(m.position(v), filePositions[fileVertex], 1e-5f)) &&
              glm::all(glm::epsilonEqual(m.texCoord(v, 0), fileUv[fileVertex], 1e-5f)) &&
              std::abs(m.normal(v).z + 1.0f) < 1e-5f;
      }
      matched += all;
    }
    EXPECT_EQ(matched, 1) << "face " << f;
  }
  EXPECT_EQ(seen.size(), 2u);
  ASSERT_EQ(x.materials.size(), 2u);
  EXPECT_FLOAT_EQ(x.materials[0].matD3D.Diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(x.materials[0].matD3D.Diffuse.a, 0.5f);
  EXPECT_FLOAT_EQ(x.materials[0].matD3D.Power, 10.0f);
  EXPECT_FLOAT_EQ(x.materials[0].matD3D.Emissive.b, 0.03f);
  EXPECT_EQ(x.materials[0].textureFilename, "textures\\red.dds");
  EXPECT_FLOAT_EQ(x.materials[1].matD3D.Diffuse.b, 1.0f);
  EXPECT_EQ(x.materials[1].textureFilename, "");
}

TEST_F(XFileTest, FileWithoutMaterialsOrNormalsGetsNoSubsetsAndComputedNormals) {
  XFileMesh x;
  ASSERT_TRUE(LoadMeshFromX(Write("strip.x", Strip(1, 0.0f)), x));
  EXPECT_TRUE(x.materials.empty());
  ASSERT_EQ(x.mesh.faceCount(), 2u);
  // Triangle (0,0,0) (0,1,0) (1,0,0) is clockwise seen from -z: normal -z.
  for (uint32_t v = 0; v < x.mesh.vertexCount(); ++v) {
    EXPECT_NEAR(x.mesh.normal(v).z, -1.0f, 1e-5);
  }
  EXPECT_EQ(x.adjacency.size(), 6u);
  EXPECT_EQ(std::count(x.adjacency.begin(), x.adjacency.end(), kNoAdjacentFace), 4);
}

TEST_F(XFileTest, KeyFramesOfOneTopologyKeepTheSameVertexOrderThroughOptimisation) {
  XFileMesh a, b;
  ASSERT_TRUE(LoadMeshFromX(Write("f0.x", Strip(40, 0.0f)), a));
  ASSERT_TRUE(LoadMeshFromX(Write("f1.x", Strip(40, 3.0f)), b));
  for (XFileMesh* k : {&a, &b}) {
    k->mesh.OptimizeInplace(kMeshOptCompact | kMeshOptAttrSort);
    k->mesh.OptimizeInplace(kMeshOptCompact | kMeshOptAttrSort | kMeshOptStripReorder);
  }
  ASSERT_EQ(a.mesh.vertexCount(), b.mesh.vertexCount());
  ASSERT_EQ(a.mesh.faceCount(), b.mesh.faceCount());
  for (uint32_t i = 0; i < a.mesh.faceCount() * 3; ++i) {
    ASSERT_EQ(a.mesh.indexData()[i], b.mesh.indexData()[i]);
  }
  for (uint32_t v = 0; v < a.mesh.vertexCount(); ++v) {
    // same x, y (the height differs by frame): the same file vertex
    ASSERT_EQ(a.mesh.position(v).x, b.mesh.position(v).x) << v;
    ASSERT_EQ(a.mesh.position(v).y, b.mesh.position(v).y) << v;
  }
}

// A strip and a triangle whose first corner touches the strip's far end in
// one pose only. There the two corners are equal bit for bit (normals are
// computed from positions, texture coordinates are all 0), but joining them
// in that frame alone would put it out of step with the other.
TEST_F(XFileTest, CornersThatMeetInOnePoseOnlyStayApartInEveryFrame) {
  auto frame = [&](const std::string& name, float gap) {
    const std::string x0 = std::to_string(2.0f + gap), x1 = std::to_string(3.0f + gap);
    XFileMesh x;
    EXPECT_TRUE(LoadMeshFromX(Write(name, Strip(2, 0.0f) + "Mesh touch {\n3;\n" + x0 + ";0;0;,\n" +
                                              x1 + ";0;0;,\n" + x0 + ";-1;0;;\n1;\n3;0,1,2;;\n}\n"),
                              x));
    return x;
  };
  const XFileMesh touching = frame("touching.x", 0.0f), apart = frame("apart.x", 0.5f);
  for (const XFileMesh* k : {&touching, &apart}) {
    EXPECT_EQ(k->mesh.vertexCount(), 9u);  // the strip's 6 shared vertices and the triangle's 3
  }
  ASSERT_EQ(touching.mesh.faceCount(), apart.mesh.faceCount());
  for (uint32_t i = 0; i < touching.mesh.faceCount() * 3; ++i) {
    ASSERT_EQ(touching.mesh.indexData()[i], apart.mesh.indexData()[i]) << i;
  }
}

TEST_F(XFileTest, BrokenAndEmptyFilesFail) {
  XFileMesh x;
  std::string error;
  EXPECT_FALSE(LoadMeshFromX((dir_ / "missing.x").string(), x, &error));
  EXPECT_FALSE(LoadMeshFromX(Write("cut.x", std::string(kTwoMaterialQuad).substr(0, 300)), x));
  EXPECT_FALSE(LoadMeshFromX(Write("garbage.x", "xof 0302txt 0032\n{{{{ ;;; }"), x));
  EXPECT_EQ(x.mesh.faceCount(), 0u);
}

// The importer reserves room by the counts a file gives before reading the
// entries: counts beyond the file's size, deep nesting, binary files (whose
// counts cannot be checked) and huge files are refused before it runs.
TEST_F(XFileTest, FilesOutsideTheLimitsAreRefusedWithTheReason) {
  XFileMesh x;
  std::string error;
  const std::string tail = "0;0;0;;\n1;\n3;0,0,0;;\n}\n";
  for (const char* count : {"4000000000", "-5"}) {
    EXPECT_FALSE(LoadMeshFromX(Write("count.x", "xof 0302txt 0032\nMesh m {\n" + std::string(count) +
                                                    ";\n" + tail), x, &error));
    EXPECT_NE(error.find("vertex count"), std::string::npos) << error;
  }
  std::string nested = "xof 0302txt 0032\n";
  for (int i = 0; i <= kMaxModelNesting; ++i) nested += "Frame {\n";
  nested += std::string(kTwoMaterialQuad).substr(17) + std::string(kMaxModelNesting + 1, '}');
  EXPECT_FALSE(LoadMeshFromX(Write("nested.x", nested), x, &error));
  EXPECT_NE(error.find("nested"), std::string::npos) << error;
  EXPECT_FALSE(LoadMeshFromX(Write("binary.x", "xof 0302bin 0032\x01\x00"), x, &error));
  EXPECT_NE(error.find("binary"), std::string::npos) << error;
  const std::string huge = kTwoMaterialQuad + std::string("//") + std::string(kMaxModelFileBytes, 'x');
  EXPECT_FALSE(LoadMeshFromX(Write("huge.x", huge), x, &error));
  EXPECT_NE(error.find("16 MiB"), std::string::npos) << error;
}

// Debian's Assimp test models: everything Assimp reads in text, we read, and
// the result is a sane triangle mesh; binary and compressed ones are refused.
TEST(XFileSamples, EveryReadableSampleLoadsIntoAValidMesh) {
  const fs::path samples = "/usr/share/assimp/models/X";
  if (!fs::exists(samples)) GTEST_SKIP() << "assimp-testmodels not installed";
  int loaded = 0;
  for (const auto& entry : fs::directory_iterator(samples)) {
    std::string ext = entry.path().extension().string();
    if (ext != ".x" && ext != ".X") continue;
    XFileMesh x;
    std::string error;
    std::string header(16, '\0');
    std::ifstream(entry.path(), std::ios::binary).read(header.data(), 16);
    if (header.substr(8, 4) != "txt ") {
      EXPECT_FALSE(LoadMeshFromX(entry.path().string(), x));
      continue;
    }
    if (!LoadMeshFromX(entry.path().string(), x, &error)) {
      ADD_FAILURE() << entry.path() << ": " << error;
      continue;
    }
    ++loaded;
    const XMesh& m = x.mesh;
    for (uint32_t i = 0; i < m.faceCount() * 3; ++i) ASSERT_LT(m.indexData()[i], m.vertexCount());
    for (DWORD a : m.attributes()) ASSERT_TRUE(x.materials.empty() || a < x.materials.size());
    XMesh copy;
    ASSERT_TRUE(m.CloneFvf(kMeshFvf, copy));
    copy.OptimizeInplace(kMeshOptCompact | kMeshOptAttrSort | kMeshOptStripReorder);
    EXPECT_EQ(copy.faceCount(), m.faceCount());
  }
  EXPECT_GE(loaded, 5);
}

}  // namespace
}  // namespace halvex
