// Collide and slide: how far may a sphere at a world position move by a
// displacement, given the collision triangles of the tile it is in?
//
// The query scales space so the mover is a unit sphere, finds the nearest
// triangle the swept sphere would touch, stops just short of it, projects the
// remaining motion onto the sliding plane and tries again. Its stuck answer
// (the body is already embedded in geometry) is exactly the negated request;
// callers compare against it component by component.
//
// Each slide step recurses; the depth is bounded by kMaxSlideDepth (the
// motion either vanishes or settles along a plane well before that). A step
// past the bound grants no further motion.
#pragma once

#include <cstdint>

#include "d3dutil/math/math.h"

namespace halvex {

class CollisionGrid;

// A read-only view of a collision mesh's system-memory data: vertices of 32
// bytes (position, normal, one texture-coordinate pair) and 16-bit indices,
// three per triangle, in the tile model's own axes (z up). Triangles naming a
// vertex past vertexCount are ignored.
struct CollisionMeshView {
  static constexpr int kVertexStrideFloats = 8;

  const float* vertices = nullptr;
  std::uint32_t vertexCount = 0;
  const std::uint16_t* indices = nullptr;
  std::uint32_t indexCount = 0;
  // Optional prefilter; when set, queries skip triangles it proves cannot
  // matter and give the same answers bit for bit.
  const CollisionGrid* grid = nullptr;

  std::uint32_t TriangleCount() const { return indexCount / 3; }
  bool Empty() const { return vertices == nullptr || indices == nullptr || indexCount < 3; }
  // Model-space position of vertex i (callers check i < vertexCount).
  Vec3 Position(std::uint32_t i) const {
    const float* v = vertices + static_cast<std::size_t>(i) * kVertexStrideFloats;
    return Vec3(v[0], v[1], v[2]);
  }
};

inline constexpr int kMaxSlideDepth = 24;
// The closeness distance, single precision.
inline constexpr float kVeryCloseDistance = 0.001f;

// Query state shared by one query's steps. Distances are in unit-sphere
// space; nearestDistance is -1 before a search.
struct CollisionPacket {
  Vec3 velocity{0.0f};
  Vec3 source{0.0f};
  Vec3 radius{1.0f};
  bool stuck = false;
  bool foundCollision = false;
  double nearestDistance = -1.0;
  Vec3 nearestPolygonPoint{0.0f};
  int steps = 0;  // triangle searches made by this query so far
};

// World position and displacement in, allowed displacement (world) out.
// radii are the sphere's radii (callers pass three equal values).
Vec3 CollideAndSlide(const Vec3& position, const Vec3& displacement,
                     const CollisionMeshView& mesh, const Vec3& radii);

// The same query testing every triangle, ignoring any grid: the reference
// the fast path must agree with.
Vec3 CollideAndSlideReference(const Vec3& position, const Vec3& displacement,
                              const CollisionMeshView& mesh, const Vec3& radii);

// True when result is the stuck answer to request.
bool IsStuckAnswer(const Vec3& result, const Vec3& request);

// World (y up) to the tile models' axes (z up) and back: an exact quarter
// turn about x.
inline Vec3 WorldToModel(const Vec3& w) { return Vec3(w.x, -w.z, w.y); }
inline Vec3 ModelToWorld(const Vec3& m) { return Vec3(m.x, m.z, -m.y); }

namespace collision {

// The unit-sphere-space recursive step (model axes, divided by the radii).
Vec3 CollideWithWorld(CollisionPacket& packet, const Vec3& source, const Vec3& velocity,
                      const CollisionMeshView& mesh, bool useGrid, int depth = 0);
// Tests the packet's swept unit sphere against the mesh, filling the result
// fields of the packet.
void CheckTriangles(CollisionPacket& packet, const CollisionMeshView& mesh, bool useGrid);

// Geometric helpers (unit-sphere space).
double IntersectRayPlane(const Vec3& origin, const Vec3& vector, const Vec3& planeOrigin,
                         const Vec3& planeNormal);
double IntersectRaySphere(const Vec3& origin, const Vec3& dir, const Vec3& centre, double radius);
bool CheckPointInTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c);
Vec3 ClosestPointOnLine(const Vec3& a, const Vec3& b, const Vec3& p);
Vec3 ClosestPointOnTriangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p);
bool CheckPointInSphere(const Vec3& p, const Vec3& centre, float radius);
enum class PlaneSide { kFront, kBack, kOnPlane };
PlaneSide ClassifyPoint(const Vec3& p, const Vec3& planeOrigin, const Vec3& planeNormal);

}  // namespace collision
}  // namespace halvex
