#include "world/collision/collision_grid.h"

#include <algorithm>
#include <cmath>

namespace halvex {

namespace {

// How far outside a triangle a point may lie and still pass the angle-sum
// inside test (its tolerance is 0.005 radians), plus room for rounding. Both
// are generous: widening only costs speed, never an answer.
constexpr float kRelativeMargin = 0.02f;
constexpr float kAbsoluteMargin = 0.05f;

}  // namespace

CollisionGrid::CollisionGrid(const CollisionMeshView& mesh, int cellsPerSide)
    : cells_(std::max(1, std::min(cellsPerSide, 64))) {
  std::uint32_t triCount = mesh.Empty() ? 0 : mesh.TriangleCount();
  boxes_.resize(triCount);
  std::vector<bool> usable(triCount, false);
  bool any = false;
  for (std::uint32_t t = 0; t < triCount; ++t) {
    const std::uint16_t* idx = mesh.indices + 3 * static_cast<std::size_t>(t);
    if (idx[0] >= mesh.vertexCount || idx[1] >= mesh.vertexCount || idx[2] >= mesh.vertexCount) {
      // Never visited: an empty box far from everything.
      boxes_[t] = {Vec3(INFINITY), Vec3(-INFINITY)};
      continue;
    }
    Vec3 a = mesh.Position(idx[0]), b = mesh.Position(idx[1]), c = mesh.Position(idx[2]);
    Vec3 mn = glm::min(a, glm::min(b, c)), mx = glm::max(a, glm::max(b, c));
    if (!std::isfinite(mn.x + mn.y + mn.z + mx.x + mx.y + mx.z)) {
      // Non-finite corners can still yield answers (NaN compares false
      // everywhere), so such a triangle is always visited.
      boxes_[t] = {Vec3(-INFINITY), Vec3(INFINITY)};
      usable[t] = true;
      continue;
    }
    float margin = kRelativeMargin * glm::length(mx - mn) + kAbsoluteMargin +
                   1e-5f * std::max({std::fabs(mn.x), std::fabs(mn.y), std::fabs(mn.z),
                                     std::fabs(mx.x), std::fabs(mx.y), std::fabs(mx.z)});
    boxes_[t] = {mn - Vec3(margin), mx + Vec3(margin)};
    usable[t] = true;
    if (!any) {
      lo_ = boxes_[t].min;
      hi_ = boxes_[t].max;
      any = true;
    } else {
      lo_ = glm::min(lo_, boxes_[t].min);
      hi_ = glm::max(hi_, boxes_[t].max);
    }
  }
  float spanX = std::max(hi_.x - lo_.x, 1e-3f), spanY = std::max(hi_.y - lo_.y, 1e-3f);
  invCellX_ = static_cast<float>(cells_) / spanX;
  invCellY_ = static_cast<float>(cells_) / spanY;

  // Count, then fill, each cell's triangles in ascending order.
  int cellCount = cells_ * cells_;
  std::vector<std::uint32_t> counts(cellCount + 1, 0);
  auto forCells = [&](std::uint32_t t, auto&& fn) {
    const Box& b = boxes_[t];
    bool infinite = !std::isfinite(b.min.x) || !std::isfinite(b.max.x) ||
                    !std::isfinite(b.min.y) || !std::isfinite(b.max.y);
    int x0 = infinite ? 0 : CellOf(b.min.x, lo_.x, invCellX_);
    int x1 = infinite ? cells_ - 1 : CellOf(b.max.x, lo_.x, invCellX_);
    int y0 = infinite ? 0 : CellOf(b.min.y, lo_.y, invCellY_);
    int y1 = infinite ? cells_ - 1 : CellOf(b.max.y, lo_.y, invCellY_);
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) fn(y * cells_ + x);
  };
  for (std::uint32_t t = 0; t < triCount; ++t)
    if (usable[t]) forCells(t, [&](int cell) { ++counts[cell]; });
  cellStart_.assign(cellCount + 1, 0);
  for (int i = 0; i < cellCount; ++i) cellStart_[i + 1] = cellStart_[i] + counts[i];
  cellTriangles_.resize(cellStart_[cellCount]);
  std::vector<std::uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
  for (std::uint32_t t = 0; t < triCount; ++t)
    if (usable[t]) forCells(t, [&](int cell) { cellTriangles_[fill[cell]++] = t; });
}

}  // namespace halvex
