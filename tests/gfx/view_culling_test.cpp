// Bounding boxes of draws and the test that lets the GL backend skip a draw:
// it may only say "outside" where clipping would leave nothing.
#include "platform/gfx/view_culling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace halvex::gfx {
namespace {

struct Vertex {
  float x, y, z;
  DWORD colour;
};

const BYTE* Bytes(const std::vector<Vertex>& v) { return reinterpret_cast<const BYTE*>(v.data()); }

// Direct3D's left-handed perspective, 90 degrees across, near 1, far 100.
D3DMATRIX Perspective() {
  const float zn = 1.0f, zf = 100.0f;
  D3DMATRIX m{};
  m.m[0][0] = 1.0f;
  m.m[1][1] = 1.0f;
  m.m[2][2] = zf / (zf - zn);
  m.m[2][3] = 1.0f;
  m.m[3][2] = -zn * zf / (zf - zn);
  return m;
}

VertexBox Box(float x0, float y0, float z0, float x1, float y1, float z1) {
  std::vector<Vertex> v = {{x0, y0, z0, 0}, {x1, y1, z1, 0}};
  return BoxOfVertices(Bytes(v), sizeof(Vertex), 2);
}

TEST(ViewCulling, BoxesCoverTheVerticesDrawnAndNothingUnknown) {
  const std::vector<Vertex> v = {{1, 2, 3, 0}, {-4, 5, 0.5f, 0}, {100, 100, 100, 0}, {0, -1, 7, 0}};
  VertexBox all = BoxOfVertices(Bytes(v), sizeof(Vertex), 4);
  ASSERT_TRUE(all.known);
  EXPECT_EQ(all.min[0], -4);
  EXPECT_EQ(all.max[0], 100);
  EXPECT_EQ(all.min[2], 0.5f);
  // Only the vertices the indices name: the far one is left out.
  const unsigned short shortIndices[] = {3, 0, 1};
  VertexBox named = BoxOfIndexedVertices(Bytes(v), sizeof(Vertex), reinterpret_cast<const BYTE*>(shortIndices),
                                         false, 3);
  ASSERT_TRUE(named.known);
  EXPECT_EQ(named.max[0], 1);
  EXPECT_EQ(named.min[1], -1);
  EXPECT_EQ(named.max[2], 7);
  const unsigned wideIndices[] = {2, 2, 2};
  VertexBox far = BoxOfIndexedVertices(Bytes(v), sizeof(Vertex), reinterpret_cast<const BYTE*>(wideIndices), true, 3);
  EXPECT_EQ(far.min[1], 100);
  // Nothing drawn, or a coordinate that is not a number, gives no box.
  EXPECT_FALSE(BoxOfVertices(Bytes(v), sizeof(Vertex), 0).known);
  std::vector<Vertex> bad = v;
  bad[1].y = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(BoxOfVertices(Bytes(bad), sizeof(Vertex), 4).known);
  bad[1].y = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(BoxOfVertices(Bytes(bad), sizeof(Vertex), 4).known);
}

TEST(ViewCulling, OnlyBoxesWhollyBeyondOnePlaneAreOutside) {
  const D3DMATRIX m = Perspective();
  auto outside = [&](const VertexBox& b) { return BoxOutsideClipVolume(b, m, 640, 480); };
  EXPECT_FALSE(outside(Box(-1, -1, 10, 1, 1, 12)));     // ahead
  EXPECT_TRUE(outside(Box(-30, -1, 10, -15, 1, 12)));   // left of the view
  EXPECT_TRUE(outside(Box(15, -1, 10, 30, 1, 12)));     // right
  EXPECT_TRUE(outside(Box(-1, 15, 10, 1, 30, 12)));     // above
  EXPECT_TRUE(outside(Box(-1, -30, 10, 1, -15, 12)));   // below
  EXPECT_TRUE(outside(Box(-1, -1, -12, 1, 1, -10)));    // behind the eye
  EXPECT_TRUE(outside(Box(-1, -1, 0.2f, 1, 1, 0.9f)));  // between the eye and the near plane
  EXPECT_TRUE(outside(Box(-1, -1, 120, 1, 1, 130)));    // beyond the far plane
  // Across a plane, across the eye (corners with w below zero) or around the
  // whole view: something may show.
  EXPECT_FALSE(outside(Box(-30, -1, 10, -5, 1, 12)));
  EXPECT_FALSE(outside(Box(-1, -1, -10, 1, 1, 10)));
  EXPECT_FALSE(outside(Box(-50, -50, -50, 50, 50, 50)));
  EXPECT_FALSE(outside(Box(-1, -1, 90, 1, 1, 110)));
  // Left of the view only in a corner region that is not wholly beyond one
  // plane: the box reaches in front of the view at its near end.
  EXPECT_FALSE(outside(Box(-20, -1, 1.5f, -1.2f, 1, 10)));
  // A pixel beyond the left edge stays (the slack); ten pixels beyond go.
  const float pixel = 2.0f / 640 * 10;  // at depth 10
  EXPECT_FALSE(outside(Box(-10 - 3 * pixel, -1, 10, -10 - pixel, 1, 10)));
  EXPECT_TRUE(outside(Box(-10 - 20 * pixel, -1, 10, -10 - 10 * pixel, 1, 10)));
}

TEST(ViewCulling, UnknownBoxesAndBrokenTransformsAreNeverOutside) {
  VertexBox unknown = Box(-30, -1, 10, -15, 1, 12);
  unknown.known = false;
  EXPECT_FALSE(BoxOutsideClipVolume(unknown, Perspective(), 640, 480));
  D3DMATRIX broken = Perspective();
  broken.m[0][0] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(BoxOutsideClipVolume(Box(-30, -1, 10, -15, 1, 12), broken, 640, 480));
  EXPECT_FALSE(BoxOutsideClipVolume(Box(-30, -1, 10, -15, 1, 12), Perspective(), 0, 480));
}

TEST(ViewCulling, TheCacheTellsDrawsApartAndForgetsTheOldestWhenFull) {
  VertexBoxCache cache;
  CachedVertexBox a;
  a.stride = 16;
  a.count = 30;
  a.indexSerial = 7;
  a.indexVersion = 1;
  a.box = Box(0, 0, 0, 1, 1, 1);
  cache.Add(a);
  ASSERT_NE(cache.Find(a), nullptr);
  EXPECT_EQ(cache.Find(a)->max[0], 1);
  CachedVertexBox rewritten = a;
  rewritten.indexVersion = 2;  // the index buffer was unlocked since
  EXPECT_EQ(cache.Find(rewritten), nullptr);
  CachedVertexBox otherRange = a;
  otherRange.indexOffset = 60;
  EXPECT_EQ(cache.Find(otherRange), nullptr);
  cache.Clear();
  EXPECT_EQ(cache.Find(a), nullptr);

  for (UINT i = 0; i < 20; ++i) {
    CachedVertexBox e = a;
    e.vertexOffset = i;
    e.box = Box(float(i), 0, 0, float(i) + 1, 1, 1);
    cache.Add(e);
  }
  for (UINT i = 0; i < 20; ++i) {
    CachedVertexBox e = a;
    e.vertexOffset = i;
    const VertexBox* found = cache.Find(e);
    if (i < 4) {
      EXPECT_EQ(found, nullptr) << i;
    } else {
      ASSERT_NE(found, nullptr) << i;
      EXPECT_EQ(found->min[0], float(i));
    }
  }
}

}  // namespace
}  // namespace halvex::gfx
