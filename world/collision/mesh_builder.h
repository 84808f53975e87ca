// Collision triangles built in code: an owning vertex/index store in the
// 32-byte vertex layout with helpers that take world coordinates (y up) and
// store them in the tile models' axes (z up). Used where no content pack is
// at hand: the headless runner's synthetic area, tests and benchmarks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "world/collision/collision.h"
#include "world/collision/collision_grid.h"

namespace halvex {

class CollisionMeshData {
 public:
  // One triangle, corners given in world axes; the winding is kept.
  void AddTriangle(const Vec3& a, const Vec3& b, const Vec3& c);
  // A quad as two triangles (a, b, c) and (a, c, d).
  void AddQuad(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d);
  // An axis-aligned box between world corners lo and hi, all six faces.
  void AddBox(const Vec3& lo, const Vec3& hi);
  // A ramp over [x0, x1] x [z0, z1] rising along +x from y0 to y1.
  void AddRamp(float x0, float x1, float z0, float z1, float y0, float y1);
  // The ground rectangle [x0, x1] x [z0, z1] at height y.
  void AddGround(float x0, float x1, float z0, float z1, float y);

  // Builds (or rebuilds) the prefilter grid over the current triangles.
  void BuildGrid(int cellsPerSide = 8);

  // A view of the data; with the grid when one has been built.
  CollisionMeshView View() const;
  CollisionMeshView ReferenceView() const;

  std::uint32_t TriangleCount() const { return static_cast<std::uint32_t>(indices_.size() / 3); }
  const std::vector<float>& Vertices() const { return vertices_; }
  const std::vector<std::uint16_t>& Indices() const { return indices_; }

 private:
  std::uint16_t AddVertex(const Vec3& world);
  std::vector<float> vertices_;
  std::vector<std::uint16_t> indices_;
  std::unique_ptr<CollisionGrid> grid_;
};

}  // namespace halvex
