#include "world/collision/collision.h"

#include <algorithm>
#include <cmath>

#include "world/collision/collision_grid.h"

namespace halvex {
namespace collision {

namespace {

// 2 pi as a single-precision value, the angle sum of a point inside a triangle.
constexpr float kTwoPi = 6.2831854820251465f;
constexpr float kInsideTolerance = 0.005f;
constexpr float kOnPlaneTolerance = 0.001f;

bool IsZero(const Vec3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// acos with its argument kept in range: rounding can push a dot product of
// two unit vectors a hair past 1, which would otherwise give NaN.
float SafeAcos(float x) { return std::acos(std::clamp(x, -1.0f, 1.0f)); }

}  // namespace

double IntersectRayPlane(const Vec3& origin, const Vec3& vector, const Vec3& planeOrigin,
                         const Vec3& planeNormal) {
  float denom = glm::dot(planeNormal, vector);
  if (denom == 0.0f) return -1.0;
  float numer = glm::dot(planeNormal, origin) - glm::dot(planeNormal, planeOrigin);
  return -static_cast<double>(numer) / static_cast<double>(denom);
}

double IntersectRaySphere(const Vec3& origin, const Vec3& dir, const Vec3& centre, double radius) {
  Vec3 q = centre - origin;
  double k = glm::dot(q, dir);
  double q2 = glm::dot(q, q);
  double s = radius * radius - (q2 - k * k);
  if (s < 0.0) return -1.0;
  return k - std::sqrt(s);
}

bool CheckPointInTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c) {
  Vec3 ua = Vec3Normalize(a - p), ub = Vec3Normalize(b - p), uc = Vec3Normalize(c - p);
  float sum = SafeAcos(glm::dot(ua, ub)) + SafeAcos(glm::dot(ub, uc)) + SafeAcos(glm::dot(uc, ua));
  return std::fabs(sum - kTwoPi) <= kInsideTolerance;
}

Vec3 ClosestPointOnLine(const Vec3& a, const Vec3& b, const Vec3& p) {
  Vec3 dir = Vec3Normalize(b - a);
  float len = glm::length(b - a);
  float t = glm::dot(p - a, dir);
  if (t < 0.0f) return a;
  if (t > len) return b;
  return a + t * dir;
}

Vec3 ClosestPointOnTriangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p) {
  Vec3 rab = ClosestPointOnLine(a, b, p);
  Vec3 rbc = ClosestPointOnLine(b, c, p);
  Vec3 rca = ClosestPointOnLine(c, a, p);
  float dab = glm::length(p - rab), dbc = glm::length(p - rbc), dca = glm::length(p - rca);
  // Ties go to the earlier edge: only a strictly nearer edge replaces it.
  Vec3 best = rab;
  float bestDist = dab;
  if (dbc < bestDist) {
    best = rbc;
    bestDist = dbc;
  }
  if (dca < bestDist) best = rca;
  return best;
}

bool CheckPointInSphere(const Vec3& p, const Vec3& centre, float radius) {
  return glm::length(p - centre) <= radius;
}

PlaneSide ClassifyPoint(const Vec3& p, const Vec3& planeOrigin, const Vec3& planeNormal) {
  float d = glm::dot(planeOrigin - p, planeNormal);
  if (d < -kOnPlaneTolerance) return PlaneSide::kFront;
  if (d > kOnPlaneTolerance) return PlaneSide::kBack;
  return PlaneSide::kOnPlane;
}

namespace {

// One triangle of CheckTriangles. Shared by the reference loop and the grid
// so both compute the very same numbers.
inline void CheckOneTriangle(CollisionPacket& packet, const CollisionMeshView& mesh,
                             std::uint32_t tri, const Vec3& dir, double reach) {
  const std::uint16_t* idx = mesh.indices + 3 * static_cast<std::size_t>(tri);
  if (idx[0] >= mesh.vertexCount || idx[1] >= mesh.vertexCount || idx[2] >= mesh.vertexCount)
    return;
  Vec3 a = mesh.Position(idx[0]) / packet.radius;
  Vec3 b = mesh.Position(idx[1]) / packet.radius;
  Vec3 c = mesh.Position(idx[2]) / packet.radius;
  Vec3 e1 = b - a, e2 = c - a;
  if (IsZero(e1) || IsZero(e2)) return;
  Vec3 cross = glm::cross(e1, e2);
  if (IsZero(cross)) return;
  Vec3 n = Vec3Normalize(cross);

  Vec3 spherePoint = packet.source - n;
  double t;
  Vec3 q;
  if (ClassifyPoint(spherePoint, a, n) == PlaneSide::kBack) {
    // The plane already cuts into the sphere: take the nearest plane point.
    t = IntersectRayPlane(spherePoint, n, a, n);
    q = spherePoint + static_cast<float>(t) * n;
  } else {
    t = IntersectRayPlane(spherePoint, dir, a, n);
    q = spherePoint + static_cast<float>(t) * dir;
  }
  if (!CheckPointInTriangle(q, a, b, c)) {
    // Touches at an edge or corner: how far the sphere travels before it
    // reaches the nearest point of the triangle.
    q = ClosestPointOnTriangle(a, b, c, q);
    t = IntersectRaySphere(q, -dir, packet.source, 1.0);
  }
  if (CheckPointInSphere(q, packet.source, 1.0f)) packet.stuck = true;
  if (t > 0.0 && t <= reach && (!packet.foundCollision || t < packet.nearestDistance)) {
    packet.nearestDistance = t;
    packet.nearestPolygonPoint = q;
    packet.foundCollision = true;
  }
}

}  // namespace

void CheckTriangles(CollisionPacket& packet, const CollisionMeshView& mesh, bool useGrid) {
  if (mesh.Empty()) return;
  double reach = glm::length(packet.velocity);
  Vec3 dir = packet.velocity / static_cast<float>(reach);
  if (useGrid && mesh.grid != nullptr) {
    // Every contact or stuck point lies within 1 + reach of the source in
    // unit-sphere space; the grid works in model units.
    float rmax = std::max({packet.radius.x, packet.radius.y, packet.radius.z});
    Vec3 centre = packet.source * packet.radius;
    float radius = static_cast<float>((1.0 + reach) * rmax * 1.0001 + 1e-3);
    mesh.grid->ForEachNear(centre, radius, [&](std::uint32_t tri) {
      CheckOneTriangle(packet, mesh, tri, dir, reach);
    });
    return;
  }
  std::uint32_t triCount = mesh.TriangleCount();
  for (std::uint32_t tri = 0; tri < triCount; ++tri) CheckOneTriangle(packet, mesh, tri, dir, reach);
}

Vec3 CollideWithWorld(CollisionPacket& packet, const Vec3& source, const Vec3& velocity,
                      const CollisionMeshView& mesh, bool useGrid, int depth) {
  float speed = glm::length(velocity);
  if (speed < kVeryCloseDistance) return velocity;
  if (depth >= kMaxSlideDepth) return Vec3(0.0f);

  packet.velocity = velocity;
  packet.source = source;
  packet.stuck = false;
  packet.foundCollision = false;
  packet.nearestDistance = -1.0;
  ++packet.steps;
  CheckTriangles(packet, mesh, useGrid);

  if (!packet.foundCollision) return velocity * (speed - kVeryCloseDistance) / speed;
  if (packet.stuck) return -velocity;

  Vec3 newSource = source;
  if (packet.nearestDistance >= static_cast<double>(kVeryCloseDistance)) {
    newSource = source + velocity * static_cast<float>(packet.nearestDistance - kVeryCloseDistance) /
                             speed;
  }
  Vec3 planeOrigin = packet.nearestPolygonPoint;
  Vec3 planeNormal = newSource - planeOrigin;
  Vec3 destination = source + velocity;
  double l = IntersectRayPlane(destination, planeNormal, planeOrigin, planeNormal);
  Vec3 projected = destination + static_cast<float>(l) * planeNormal;
  Vec3 slide = projected - planeOrigin;
  return CollideWithWorld(packet, newSource, slide, mesh, useGrid, depth + 1);
}

}  // namespace collision

namespace {

Vec3 Collide(const Vec3& position, const Vec3& displacement, const CollisionMeshView& mesh,
             const Vec3& radii, bool useGrid) {
  CollisionPacket packet;
  packet.radius = radii;
  Vec3 source = WorldToModel(position) / radii;
  Vec3 velocity = WorldToModel(displacement) / radii;
  // A negligible move is granted as asked, bit for bit: scaled into the
  // sphere's space and back it would not always round-trip.
  if (glm::length(velocity) < kVeryCloseDistance) return displacement;
  Vec3 r = collision::CollideWithWorld(packet, source, velocity, mesh, useGrid);
  // Stuck on the first step: hand back the request negated exactly, since
  // callers recognise the answer by comparing with it and scaling down and
  // up again may not round-trip.
  if (packet.steps == 1 && packet.foundCollision && packet.stuck) return -displacement;
  return ModelToWorld(r) * radii;
}

}  // namespace

Vec3 CollideAndSlide(const Vec3& position, const Vec3& displacement,
                     const CollisionMeshView& mesh, const Vec3& radii) {
  return Collide(position, displacement, mesh, radii, true);
}

Vec3 CollideAndSlideReference(const Vec3& position, const Vec3& displacement,
                              const CollisionMeshView& mesh, const Vec3& radii) {
  return Collide(position, displacement, mesh, radii, false);
}

bool IsStuckAnswer(const Vec3& result, const Vec3& request) {
  return result.x == -request.x && result.y == -request.y && result.z == -request.z;
}

}  // namespace halvex
