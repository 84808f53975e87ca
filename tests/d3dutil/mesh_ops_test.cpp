#include <gtest/gtest.h>

#include "d3dutil/mesh/x_mesh.h"

namespace halvex {
namespace {

// Two unit squares side by side in the z = 0 plane, four triangles; the
// right square is subset 0 and the left subset 1, listed interleaved.
XMesh TwoSquares() {
  XMesh m(kMeshFvf, 12, 4);
  const Vec3 p[12] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0},  {0, 1, 0}, {1, 1, 0}, {1, 0, 0},
                      {1, 0, 0}, {1, 1, 0}, {2, 0, 0},  {1, 1, 0}, {2, 1, 0}, {2, 0, 0}};
  for (uint32_t v = 0; v < 12; ++v) {
    m.setPosition(v, p[v]);
    m.setTexCoord(v, 0, Vec2(p[v].x * 0.5f, p[v].y));
  }
  const uint16_t faces[12] = {6, 7, 8, 0, 1, 2, 9, 10, 11, 3, 4, 5};
  std::copy(faces, faces + 12, m.indexData());
  m.attributes() = {0, 1, 0, 1};
  return m;
}

TEST(MeshOps, AttributeSortGroupsSubsetsAndCompactionDropsUnusedVertices) {
  XMesh m(kMeshFvf, 13, 4);
  XMesh squares = TwoSquares();
  for (uint32_t v = 0; v < 12; ++v) {
    m.setPosition(v + 1, squares.position(v));  // vertex 0 unused
  }
  for (int i = 0; i < 12; ++i) m.indexData()[i] = uint16_t(squares.indexData()[i] + 1);
  m.attributes() = {1, 0, 1, 0};
  std::vector<DWORD> adjacency;
  std::vector<uint32_t> remap;
  m.OptimizeInplace(kMeshOptCompact | kMeshOptAttrSort, &adjacency, &remap);
  EXPECT_EQ(m.vertexCount(), 12u);
  ASSERT_EQ(m.attributeTable().size(), 2u);
  EXPECT_EQ(m.attributeTable()[0].attribId, 0u);
  EXPECT_EQ(m.attributeTable()[0].faceCount, 2u);
  EXPECT_EQ(m.attributeTable()[1].faceStart, 2u);
  EXPECT_EQ(m.attributes(), (std::vector<DWORD>{0, 0, 1, 1}));
  // each subset's vertices are a contiguous range after compaction
  EXPECT_EQ(m.attributeTable()[0].vertexCount, 6u);
  EXPECT_EQ(m.attributeTable()[1].vertexStart, 6u);
  for (uint32_t v = 0; v < m.vertexCount(); ++v) EXPECT_NE(remap[v], 0u);
  // positions travel with their vertices: subset 1 is the right square
  for (uint32_t f = 0; f < 4; ++f) {
    float cx = 0;
    for (int c = 0; c < 3; ++c) cx += m.position(m.indexData()[f * 3 + c]).x / 3;
    EXPECT_EQ(cx > 1.0f, m.attributes()[f] == 1) << f;
  }
  EXPECT_EQ(std::count(adjacency.begin(), adjacency.end(), kNoAdjacentFace), 6);
}

TEST(MeshOps, CloneToTwoSetsCopiesSharedFieldsAndComputeNormalsSmooths) {
  XMesh m = TwoSquares();
  XMesh two;
  ASSERT_TRUE(m.CloneFvf(kMeshFvfTwoTexCoords, two));
  EXPECT_EQ(two.vertexStride(), 40u);
  EXPECT_EQ(two.texCoord(10, 0), m.texCoord(10, 0));
  EXPECT_EQ(two.texCoord(10, 1), Vec2(0.0f));
  EXPECT_EQ(two.position(4), m.position(4));
  XMesh unsupported;
  EXPECT_FALSE(m.CloneFvf(gfx::D3DFVF_XYZRHW, unsupported));
  two.ComputeNormals();
  for (uint32_t v = 0; v < 12; ++v) EXPECT_NEAR(two.normal(v).z, -1.0f, 1e-6) << v;
}

TEST(MeshOps, RayHitsTheNearestFaceAsAMultipleOfTheRay) {
  XMesh m = TwoSquares();
  // a second layer of the squares 3 units nearer the ray origin, right half only
  XMesh layered(kMeshFvf, 15, 5);
  for (uint32_t v = 0; v < 12; ++v) layered.setPosition(v, m.position(v));
  layered.setPosition(12, {1, 0, -3});
  layered.setPosition(13, {1, 1, -3});
  layered.setPosition(14, {2, 0, -3});
  std::copy(m.indexData(), m.indexData() + 12, layered.indexData());
  layered.indexData()[12] = 12;
  layered.indexData()[13] = 13;
  layered.indexData()[14] = 14;
  DWORD face = 99;
  float u, v, dist;
  ASSERT_TRUE(layered.Intersect({1.2f, 0.2f, -10}, {0, 0, 2}, &face, &u, &v, &dist));
  EXPECT_EQ(face, 4u);
  EXPECT_FLOAT_EQ(dist, 3.5f);
  ASSERT_TRUE(layered.Intersect({0.2f, 0.2f, -10}, {0, 0, 1}, &face, &u, &v, &dist));
  EXPECT_EQ(face, 1u);
  EXPECT_FLOAT_EQ(dist, 10.0f);
  EXPECT_FALSE(layered.Intersect({5, 5, -10}, {0, 0, 1}, &face, &u, &v, &dist));
  EXPECT_FALSE(layered.Intersect({0.2f, 0.2f, -10}, {0, 0, -1}, &face, &u, &v, &dist));
}

}  // namespace
}  // namespace halvex
