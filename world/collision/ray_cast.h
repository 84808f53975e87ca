// The ray cast that shots use against a tile's collision triangles.
#pragma once

#include "world/collision/collision.h"

namespace halvex {

// Casts a ray from origin along dir (both in the mesh's own axes) and
// returns the nearest hit as a multiple of dir's length, or a negative value
// when nothing is hit within maxSteps lengths of dir. Hits further away than
// that are not searched for (callers only care about near hits).
float RayCastMesh(const CollisionMeshView& mesh, const Vec3& origin, const Vec3& dir,
                  float maxSteps);

}  // namespace halvex
