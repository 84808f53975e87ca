#include "platform/gfx/view_culling.h"

#include <cmath>
#include <cstring>

namespace halvex::gfx {

namespace {

struct BoxBuilder {
  VertexBox box;
  bool finite = true;
  bool any = false;

  void Add(const BYTE* vertex) {
    float p[3];
    std::memcpy(p, vertex, sizeof p);
    for (int k = 0; k < 3; ++k) {
      if (!std::isfinite(p[k])) {
        finite = false;
        return;
      }
      if (!any || p[k] < box.min[k]) box.min[k] = p[k];
      if (!any || p[k] > box.max[k]) box.max[k] = p[k];
    }
    any = true;
  }
  VertexBox Done() {
    box.known = any && finite;
    return box;
  }
};

}  // namespace

VertexBox BoxOfVertices(const BYTE* vertices, UINT stride, UINT count) {
  BoxBuilder b;
  for (UINT i = 0; i < count && b.finite; ++i) b.Add(vertices + size_t(i) * stride);
  return b.Done();
}

VertexBox BoxOfIndexedVertices(const BYTE* vertices, UINT stride, const BYTE* indices, bool indices32, UINT count) {
  BoxBuilder b;
  for (UINT i = 0; i < count && b.finite; ++i) {
    UINT index = 0;
    std::memcpy(&index, indices + size_t(i) * (indices32 ? 4 : 2), indices32 ? 4 : 2);  // little-endian host
    b.Add(vertices + size_t(index) * stride);
  }
  return b.Done();
}

bool BoxOutsideClipVolume(const VertexBox& box, const D3DMATRIX& m, float viewportWidth, float viewportHeight) {
  if (!box.known || !(viewportWidth >= 1.0f) || !(viewportHeight >= 1.0f)) return false;
  // Four pixels of slack at the sides: the vertex program moves the picture
  // by half a pixel. The relative part covers rounding in either transform.
  const float px = 8.0f / viewportWidth, py = 8.0f / viewportHeight;
  constexpr float kRounding = 1e-4f;
  enum : unsigned { kLeft = 1, kRight = 2, kBelow = 4, kAbove = 8, kNear = 16, kFar = 32 };
  unsigned outsideAll = kLeft | kRight | kBelow | kAbove | kNear | kFar;
  for (int corner = 0; corner < 8 && outsideAll; ++corner) {
    const float p[3] = {corner & 1 ? box.max[0] : box.min[0], corner & 2 ? box.max[1] : box.min[1],
                        corner & 4 ? box.max[2] : box.min[2]};
    float c[4];
    for (int k = 0; k < 4; ++k) c[k] = p[0] * m.m[0][k] + p[1] * m.m[1][k] + p[2] * m.m[2][k] + m.m[3][k];
    const float x = c[0], y = c[1], z = c[2], w = c[3];
    const float slack = kRounding * (std::fabs(x) + std::fabs(y) + std::fabs(z) + std::fabs(w));
    const float sideX = px * std::fabs(w) + slack, sideY = py * std::fabs(w) + slack;
    unsigned outside = 0;
    if (x + w < -sideX) outside |= kLeft;
    if (x - w > sideX) outside |= kRight;
    if (y + w < -sideY) outside |= kBelow;
    if (y - w > sideY) outside |= kAbove;
    if (z < -slack) outside |= kNear;
    if (z - w > slack) outside |= kFar;
    outsideAll &= outside;  // NaN compares false: never outside
  }
  return outsideAll != 0;
}

const VertexBox* VertexBoxCache::Find(const CachedVertexBox& key) const {
  for (const CachedVertexBox& e : entries_)
    if (e.stride == key.stride && e.vertexOffset == key.vertexOffset && e.indexSerial == key.indexSerial &&
        e.indexVersion == key.indexVersion && e.indexOffset == key.indexOffset && e.count == key.count &&
        e.indices32 == key.indices32)
      return &e.box;
  return nullptr;
}

void VertexBoxCache::Add(const CachedVertexBox& entry) {
  if (entries_.size() < kEntries) {
    entries_.push_back(entry);
    return;
  }
  entries_[next_] = entry;
  next_ = (next_ + 1) % kEntries;
}

}  // namespace halvex::gfx
