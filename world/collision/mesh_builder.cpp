#include "world/collision/mesh_builder.h"

#include <stdexcept>

namespace halvex {

std::uint16_t CollisionMeshData::AddVertex(const Vec3& world) {
  std::size_t index = vertices_.size() / CollisionMeshView::kVertexStrideFloats;
  if (index > UINT16_MAX) throw std::length_error("collision mesh exceeds 16-bit indices");
  Vec3 m = WorldToModel(world);
  // Position, a normal left at zero (the query computes its own), uv zero.
  float v[CollisionMeshView::kVertexStrideFloats] = {m.x, m.y, m.z, 0, 0, 0, 0, 0};
  vertices_.insert(vertices_.end(), v, v + CollisionMeshView::kVertexStrideFloats);
  grid_.reset();  // stale once the data moves
  return static_cast<std::uint16_t>(index);
}

void CollisionMeshData::AddTriangle(const Vec3& a, const Vec3& b, const Vec3& c) {
  std::uint16_t ia = AddVertex(a), ib = AddVertex(b), ic = AddVertex(c);
  indices_.insert(indices_.end(), {ia, ib, ic});
}

void CollisionMeshData::AddQuad(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  AddTriangle(a, b, c);
  AddTriangle(a, c, d);
}

void CollisionMeshData::AddBox(const Vec3& lo, const Vec3& hi) {
  Vec3 p[8];
  for (int i = 0; i < 8; ++i)
    p[i] = Vec3(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
  AddQuad(p[0], p[2], p[3], p[1]);  // z = lo
  AddQuad(p[4], p[5], p[7], p[6]);  // z = hi
  AddQuad(p[0], p[4], p[6], p[2]);  // x = lo
  AddQuad(p[1], p[3], p[7], p[5]);  // x = hi
  AddQuad(p[0], p[1], p[5], p[4]);  // y = lo
  AddQuad(p[2], p[6], p[7], p[3]);  // y = hi
}

void CollisionMeshData::AddRamp(float x0, float x1, float z0, float z1, float y0, float y1) {
  AddQuad(Vec3(x0, y0, z0), Vec3(x0, y0, z1), Vec3(x1, y1, z1), Vec3(x1, y1, z0));
}

void CollisionMeshData::AddGround(float x0, float x1, float z0, float z1, float y) {
  AddQuad(Vec3(x0, y, z0), Vec3(x0, y, z1), Vec3(x1, y, z1), Vec3(x1, y, z0));
}

void CollisionMeshData::BuildGrid(int cellsPerSide) {
  grid_ = std::make_unique<CollisionGrid>(ReferenceView(), cellsPerSide);
}

CollisionMeshView CollisionMeshData::ReferenceView() const {
  CollisionMeshView v;
  v.vertices = vertices_.data();
  v.vertexCount = static_cast<std::uint32_t>(vertices_.size() / CollisionMeshView::kVertexStrideFloats);
  v.indices = indices_.data();
  v.indexCount = static_cast<std::uint32_t>(indices_.size());
  return v;
}

CollisionMeshView CollisionMeshData::View() const {
  CollisionMeshView v = ReferenceView();
  v.grid = grid_.get();
  return v;
}

}  // namespace halvex
