// A uniform grid over a collision mesh's triangles in the model's horizontal
// plane (x, y; the models are z up). It only ever skips triangles that lie
// too far from a query to touch the swept sphere, and hands the rest back in
// index order, so a query through it gives the reference loop's answer bit for
// bit.
#pragma once

#include <cstdint>
#include <vector>

#include "d3dutil/math/math.h"
#include "world/collision/collision.h"

namespace halvex {

class CollisionGrid {
 public:
  // Builds over the mesh as it is now; the mesh data must outlive the grid
  // and stay unchanged. Triangles naming missing vertices are left out.
  explicit CollisionGrid(const CollisionMeshView& mesh, int cellsPerSide = 8);

  // Calls visit(triangleIndex) in ascending order for every triangle whose
  // bounds come within radius of centre (model units); returns the number
  // visited.
  template <typename Visit>
  int ForEachNear(const Vec3& centre, float radius, Visit&& visit) const;

  int CellsPerSide() const { return cells_; }
  std::size_t TriangleCount() const { return boxes_.size(); }

 private:
  struct Box {
    Vec3 min, max;
  };
  bool Near(std::uint32_t tri, const Vec3& centre, float radius) const;
  int CellOf(float v, float lo, float inv) const;

  int cells_ = 1;
  Vec3 lo_{0.0f}, hi_{0.0f};
  float invCellX_ = 0.0f, invCellY_ = 0.0f;
  std::vector<Box> boxes_;                      // per triangle, widened
  std::vector<std::uint32_t> cellStart_;        // cells_^2 + 1 offsets
  std::vector<std::uint32_t> cellTriangles_;    // ascending within a cell
};

inline bool CollisionGrid::Near(std::uint32_t tri, const Vec3& c, float radius) const {
  const Box& b = boxes_[tri];
  float d2 = 0.0f;
  for (int k = 0; k < 3; ++k) {
    float v = c[k];
    float d = v < b.min[k] ? b.min[k] - v : (v > b.max[k] ? v - b.max[k] : 0.0f);
    d2 += d * d;
  }
  return d2 <= radius * radius;
}

inline int CollisionGrid::CellOf(float v, float lo, float inv) const {
  float f = (v - lo) * inv;
  if (!(f > 0.0f)) return 0;  // also catches NaN
  if (f >= static_cast<float>(cells_ - 1)) return cells_ - 1;
  return static_cast<int>(f);
}

template <typename Visit>
int CollisionGrid::ForEachNear(const Vec3& centre, float radius, Visit&& visit) const {
  if (boxes_.empty()) return 0;
  int x0 = CellOf(centre.x - radius, lo_.x, invCellX_);
  int x1 = CellOf(centre.x + radius, lo_.x, invCellX_);
  int y0 = CellOf(centre.y - radius, lo_.y, invCellY_);
  int y1 = CellOf(centre.y + radius, lo_.y, invCellY_);
  // Merge the sorted cell lists so triangles come out once, in index order.
  constexpr int kMaxMerge = 16;
  const std::uint32_t* cur[kMaxMerge];
  const std::uint32_t* end[kMaxMerge];
  int n = 0;
  int visited = 0;
  if ((x1 - x0 + 1) * (y1 - y0 + 1) > kMaxMerge) {
    // A query wider than the merge window: every triangle, in order.
    for (std::uint32_t t = 0; t < boxes_.size(); ++t) {
      if (Near(t, centre, radius)) {
        visit(t);
        ++visited;
      }
    }
    return visited;
  }
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      int cell = y * cells_ + x;
      if (cellStart_[cell] == cellStart_[cell + 1]) continue;
      cur[n] = cellTriangles_.data() + cellStart_[cell];
      end[n] = cellTriangles_.data() + cellStart_[cell + 1];
      ++n;
    }
  }
  for (;;) {
    std::uint32_t best = UINT32_MAX;
    for (int i = 0; i < n; ++i) {
      if (cur[i] != end[i] && *cur[i] < best) best = *cur[i];
    }
    if (best == UINT32_MAX) break;
    for (int i = 0; i < n; ++i) {
      if (cur[i] != end[i] && *cur[i] == best) ++cur[i];
    }
    if (Near(best, centre, radius)) {
      visit(best);
      ++visited;
    }
  }
  return visited;
}

}  // namespace halvex
