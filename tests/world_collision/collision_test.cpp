#include "world/collision/collision.h"

#include <gtest/gtest.h>

#include <random>

#include <algorithm>
#include <cmath>

#include "world/collision/mesh_builder.h"
#include "world/collision/ray_cast.h"

namespace halvex {
namespace {

const Vec3 kR14(14.0f);

// A packet for a direct triangle search in unit-sphere model space.
CollisionPacket Search(const CollisionMeshData& mesh, const Vec3& worldPos, const Vec3& worldMove,
                       float radius) {
  CollisionPacket p;
  p.radius = Vec3(radius);
  p.source = WorldToModel(worldPos) / radius;
  p.velocity = WorldToModel(worldMove) / radius;
  collision::CheckTriangles(p, mesh.ReferenceView(), false);
  return p;
}

TEST(CollisionHelpers, RayPlaneAndRaySphere) {
  using namespace collision;
  EXPECT_EQ(IntersectRayPlane(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 5, 0), Vec3(0, 1, 0)), -1.0);
  EXPECT_DOUBLE_EQ(IntersectRayPlane(Vec3(0, 0, 0), Vec3(0, 2, 0), Vec3(0, 5, 0), Vec3(0, 1, 0)),
                   2.5);  // in units of the ray vector
  EXPECT_DOUBLE_EQ(IntersectRaySphere(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(10, 0, 0), 2.0), 8.0);
  EXPECT_EQ(IntersectRaySphere(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(10, 3, 0), 2.0), -1.0);
}

TEST(CollisionHelpers, PointInTriangleClosestPointAndClassify) {
  using namespace collision;
  Vec3 a(0, 0, 0), b(4, 0, 0), c(0, 4, 0);
  EXPECT_TRUE(CheckPointInTriangle(Vec3(1, 1, 0), a, b, c));
  EXPECT_FALSE(CheckPointInTriangle(Vec3(3, 3, 0), a, b, c));
  EXPECT_FALSE(CheckPointInTriangle(Vec3(1, 1, 3), a, b, c));  // off the plane
  // Beyond a corner clamps to it; beside an edge projects onto it.
  EXPECT_EQ(ClosestPointOnLine(a, b, Vec3(-2, 1, 0)), a);
  EXPECT_EQ(ClosestPointOnLine(a, b, Vec3(9, 1, 0)), b);
  EXPECT_EQ(ClosestPointOnLine(a, b, Vec3(2, 5, 0)), Vec3(2, 0, 0));
  EXPECT_EQ(ClosestPointOnTriangle(a, b, c, Vec3(2, -3, 0)), Vec3(2, 0, 0));
  // Equidistant from a-b and c-a: the earlier edge a-b wins.
  EXPECT_EQ(ClosestPointOnTriangle(a, b, c, Vec3(1, 1, 0)), Vec3(1, 0, 0));
  EXPECT_EQ(ClosestPointOnTriangle(a, c, b, Vec3(1, 1, 0)), Vec3(0, 1, 0));
  EXPECT_TRUE(CheckPointInSphere(Vec3(1, 0, 0), Vec3(0, 0, 0), 1.0f));
  EXPECT_FALSE(CheckPointInSphere(Vec3(1.001f, 0, 0), Vec3(0, 0, 0), 1.0f));
  Vec3 n(0, 1, 0);
  EXPECT_EQ(ClassifyPoint(Vec3(0, 2, 0), a, n), PlaneSide::kFront);
  EXPECT_EQ(ClassifyPoint(Vec3(0, -2, 0), a, n), PlaneSide::kBack);
  EXPECT_EQ(ClassifyPoint(Vec3(0, 0.0009f, 0), a, n), PlaneSide::kOnPlane);
}

TEST(CollideAndSlide, NegligibleAndOpenSpaceMoves) {
  CollisionMeshData mesh;
  mesh.AddGround(-100, 100, -100, 100, 0);
  Vec3 zero = CollideAndSlide(Vec3(0, 50, 0), Vec3(0), mesh.View(), kR14);
  EXPECT_EQ(zero, Vec3(0));
  // Below 0.001 in unit-sphere space the request comes back untouched.
  Vec3 tiny(0.01f, 0, 0);
  EXPECT_EQ(CollideAndSlide(Vec3(0, 50, 0), tiny, mesh.View(), kR14), tiny);
  Vec3 r = CollideAndSlide(Vec3(0, 50, 0), Vec3(1, 0, 0), mesh.View(), kR14);
  EXPECT_NEAR(r.x, 1.0f - 0.014f, 1e-5f);
  EXPECT_NEAR(r.y, 0.0f, 1e-6f);
  EXPECT_NEAR(r.z, 0.0f, 1e-6f);
  // Bit for bit, whatever the radii: scaling into the sphere's space and
  // back must not change the last bit of a negligible move.
  std::mt19937 random(7);
  std::uniform_real_distribution<float> small(-0.0005f, 0.0005f), radius(1.0f, 20.0f);
  for (int i = 0; i < 2000; ++i) {
    const Vec3 move(small(random), small(random), small(random));
    const Vec3 radii(radius(random), radius(random), radius(random));
    const Vec3 got = CollideAndSlide(Vec3(0, 50, 0), move, mesh.View(), radii);
    ASSERT_TRUE(got.x == move.x && got.y == move.y && got.z == move.z) << "move " << i;
  }
  // An empty mesh grants the same shortened move.
  EXPECT_NEAR(CollideAndSlide(Vec3(0), Vec3(1, 0, 0), CollisionMeshData().View(), kR14).x,
              0.986f, 1e-5f);
}

TEST(CollideAndSlide, FallingOntoGroundStopsShortAndEmbeddedIsStuck) {
  CollisionMeshData mesh;
  mesh.AddGround(-100, 100, -100, 100, 0);
  // From 30 up, a fall of 20 is cut where the sphere (radius 14) meets the
  // ground; what remains slides along the ground, which is nothing.
  Vec3 fall(0, -20, 0);
  Vec3 r = CollideAndSlide(Vec3(5, 30, 5), fall, mesh.View(), kR14);
  EXPECT_FALSE(IsStuckAnswer(r, fall));
  EXPECT_NEAR(r.y, 0.0f, 0.05f);
  EXPECT_NEAR(r.x, 0.0f, 0.05f);
  // A centre 10 above the ground is inside the radius: exactly the negation.
  Vec3 push(0, -6, 0);
  Vec3 s = CollideAndSlide(Vec3(5, 10, 5), push, mesh.View(), kR14);
  EXPECT_TRUE(IsStuckAnswer(s, push));
  EXPECT_EQ(s, -push);
  // Embedded but with no contact within reach: the move is granted.
  Vec3 small(0.5f, 0, 0);
  EXPECT_FALSE(IsStuckAnswer(CollideAndSlide(Vec3(5, 10, 5), small, mesh.View(), kR14), small));
}

TEST(CollideAndSlide, RestingAgainstWallSlidesAlongIt) {
  CollisionMeshData mesh;
  // A wall in the plane x = 0 facing -x (toward the sphere).
  mesh.AddQuad(Vec3(0, -100, -100), Vec3(0, -100, 100), Vec3(0, 100, 100), Vec3(0, 100, -100));
  Vec3 pos(-14.0005f, 0, 0);
  Vec3 push(2, 0, 3);
  CollisionPacket p = Search(mesh, pos, push, 14);
  ASSERT_TRUE(p.foundCollision);
  EXPECT_LT(p.nearestDistance, 0.001);
  Vec3 r = CollideAndSlide(pos, push, mesh.View(), kR14);
  EXPECT_NEAR(r.x, 0.0f, 1e-3f);      // the component into the wall is gone
  EXPECT_NEAR(r.z, 3.0f, 0.05f);      // the part along it stays
  EXPECT_NEAR(r.y, 0.0f, 1e-3f);
  EXPECT_LE(pos.x + r.x, -14.0f + 1e-3f);
}

TEST(CollideAndSlide, RunningIntoRampSlidesUpItsSlope) {
  CollisionMeshData mesh;
  mesh.AddGround(-200, 0, -100, 100, 0);
  mesh.AddRamp(0, 100, -100, 100, 0, 50);  // slope 1 in 2
  Vec3 pos(-30, 14.5f, 0);
  Vec3 lift(0);
  for (int i = 0; i < 12 && lift.y == 0.0f; ++i) {
    Vec3 move(4, 0, 0);
    Vec3 r = CollideAndSlide(pos, move, mesh.View(), kR14);
    ASSERT_FALSE(IsStuckAnswer(r, move));
    if (r.y > 0.0f) lift = r;
    pos += r;
  }
  // The first contact with the slope turns the move along it: up and on,
  // rising half a unit per unit of x, never sideways.
  ASSERT_GT(lift.y, 0.0f);
  EXPECT_GT(lift.x, 0.0f);
  EXPECT_NEAR(lift.y / lift.x, 0.5f, 0.02f);
  EXPECT_NEAR(lift.z, 0.0f, 1e-5f);
}

TEST(CollisionTriangles, EdgeApproachedSideOnHitsAtEdgePoint) {
  CollisionMeshData mesh;
  // A vertical triangle in the plane z = 0 whose edge x = 20 faces the
  // sphere, which moves along +x with its centre 5 units off that plane.
  mesh.AddTriangle(Vec3(20, -50, 0), Vec3(20, 50, 0), Vec3(120, 0, 0));
  CollisionPacket p = Search(mesh, Vec3(-10, 0, 5), Vec3(30, 0, 0), 14);
  ASSERT_TRUE(p.foundCollision);
  EXPECT_FALSE(p.stuck);
  // Edge point (20, 0, 0); the sphere touches it after 30 - sqrt(14^2 - 5^2).
  Vec3 q = ModelToWorld(p.nearestPolygonPoint) * 14.0f;
  EXPECT_NEAR(q.x, 20.0f, 1e-4f);
  EXPECT_NEAR(q.y, 0.0f, 1e-4f);
  EXPECT_NEAR(q.z, 0.0f, 1e-4f);
  EXPECT_NEAR(p.nearestDistance * 14.0, 30.0 - std::sqrt(14.0 * 14.0 - 25.0), 1e-3);
}

TEST(CollisionTriangles, EqualDistancesKeepTheEarlierTriangle) {
  // Two mirror-image triangles whose nearest edges lie 3 units either side
  // of the path: the sphere reaches both at the same distance.
  Vec3 a0(20, 3, -10), a1(20, 3, 10), a2(20, 40, 0);
  Vec3 b0(20, -3, 10), b1(20, -3, -10), b2(20, -40, 0);
  CollisionMeshData upper, lower, both, swapped;
  upper.AddTriangle(a0, a1, a2);
  lower.AddTriangle(b0, b1, b2);
  both.AddTriangle(a0, a1, a2);
  both.AddTriangle(b0, b1, b2);
  swapped.AddTriangle(b0, b1, b2);
  swapped.AddTriangle(a0, a1, a2);
  Vec3 pos(0, 0, 0), move(30, 0, 0);
  CollisionPacket pu = Search(upper, pos, move, 14), pl = Search(lower, pos, move, 14);
  ASSERT_TRUE(pu.foundCollision && pl.foundCollision);
  ASSERT_EQ(pu.nearestDistance, pl.nearestDistance);
  EXPECT_GT(Search(both, pos, move, 14).nearestPolygonPoint.z, 0.0f);     // world y > 0
  EXPECT_LT(Search(swapped, pos, move, 14).nearestPolygonPoint.z, 0.0f);  // world y < 0
}

TEST(CollisionTriangles, DegenerateAndOutOfRangeTrianglesAreIgnored) {
  CollisionMeshData mesh;
  mesh.AddTriangle(Vec3(20, -50, 0), Vec3(20, -50, 0), Vec3(20, 50, 0));  // repeated corner
  mesh.AddTriangle(Vec3(20, 0, 0), Vec3(20, 10, 0), Vec3(20, 20, 0));     // collinear
  CollisionPacket p = Search(mesh, Vec3(0), Vec3(30, 0, 0), 14);
  EXPECT_FALSE(p.foundCollision);
  EXPECT_FALSE(p.stuck);
  // Indices that run past the vertex data are skipped rather than read.
  float verts[8] = {};
  std::uint16_t idx[3] = {0, 5, 9};
  CollisionMeshView v{verts, 1, idx, 3, nullptr};
  Vec3 r = CollideAndSlide(Vec3(0), Vec3(1, 0, 0), v, kR14);
  EXPECT_NEAR(r.x, 0.986f, 1e-5f);
}

TEST(CollideAndSlide, CornerPocketTerminatesWithinDepthBound) {
  // A sphere driven into the inside corner of two walls and the ground ends
  // with a finite answer that does not pass through either wall.
  CollisionMeshData mesh;
  mesh.AddGround(-100, 100, -100, 100, 0);
  mesh.AddBox(Vec3(20, 0, -100), Vec3(40, 60, 100));
  mesh.AddBox(Vec3(-100, 0, 20), Vec3(40, 60, 40));
  Vec3 pos(0, 14.5f, 0);
  for (int i = 0; i < 200; ++i) {
    Vec3 move(3, -1, 3);
    Vec3 r = CollideAndSlide(pos, move, mesh.View(), kR14);
    ASSERT_TRUE(std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z));
    if (!IsStuckAnswer(r, move)) pos += r;
  }
  EXPECT_LT(pos.x, 20.0f - 13.9f);
  EXPECT_LT(pos.z, 20.0f - 13.9f);
  EXPECT_GT(pos.y, 13.9f);
}

TEST(RayCast, NearestHitInStepsAndRangeLimit) {
  CollisionMeshData mesh;
  mesh.AddQuad(Vec3(50, -100, -100), Vec3(50, 100, -100), Vec3(50, 100, 100), Vec3(50, -100, 100));
  mesh.AddQuad(Vec3(30, -100, -100), Vec3(30, 100, -100), Vec3(30, 100, 100), Vec3(30, -100, 100));
  Vec3 o = WorldToModel(Vec3(0, 0, 0)), d = WorldToModel(Vec3(10, 0, 0));
  EXPECT_NEAR(RayCastMesh(mesh.ReferenceView(), o, d, 5.0f), 3.0f, 1e-5f);
  EXPECT_LT(RayCastMesh(mesh.ReferenceView(), o, d, 2.0f), 0.0f);
  EXPECT_LT(RayCastMesh(mesh.ReferenceView(), o, -d, 100.0f), 0.0f);
  mesh.BuildGrid();
  EXPECT_NEAR(RayCastMesh(mesh.View(), o, d, 5.0f), 3.0f, 1e-5f);
}

}  // namespace
}  // namespace halvex
