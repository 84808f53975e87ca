#include "world/collision/ray_cast.h"

#include <algorithm>
#include <cmath>

#include "world/collision/collision_grid.h"

namespace halvex {

namespace {

struct RayHit {
  float best = -1.0f;
  void Test(const CollisionMeshView& mesh, std::uint32_t tri, const Vec3& origin, const Vec3& dir,
            float maxSteps) {
    const std::uint16_t* idx = mesh.indices + 3 * static_cast<std::size_t>(tri);
    if (idx[0] >= mesh.vertexCount || idx[1] >= mesh.vertexCount || idx[2] >= mesh.vertexCount)
      return;
    float u, v, d;
    if (!IntersectTri(mesh.Position(idx[0]), mesh.Position(idx[1]), mesh.Position(idx[2]), origin,
                      dir, &u, &v, &d))
      return;
    if (d <= maxSteps && (best < 0.0f || d < best)) best = d;
  }
};

}  // namespace

float RayCastMesh(const CollisionMeshView& mesh, const Vec3& origin, const Vec3& dir,
                  float maxSteps) {
  if (mesh.Empty()) return -1.0f;
  RayHit hit;
  if (mesh.grid != nullptr) {
    // Everything within reach lies in the sphere around the segment's middle.
    Vec3 half = dir * (maxSteps * 0.5f);
    float radius = glm::length(half) * 1.001f + 0.1f;
    mesh.grid->ForEachNear(origin + half, radius, [&](std::uint32_t tri) {
      hit.Test(mesh, tri, origin, dir, maxSteps);
    });
    return hit.best;
  }
  for (std::uint32_t tri = 0; tri < mesh.TriangleCount(); ++tri)
    hit.Test(mesh, tri, origin, dir, maxSteps);
  return hit.best;
}

}  // namespace halvex
