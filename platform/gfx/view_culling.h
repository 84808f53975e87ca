// Whole draws that lie outside the view volume. The software rasteriser
// shades every vertex of a draw before it clips anything, and in a match most
// draws (the far side of the area, bodies behind the camera) show nothing:
// the GL backend skips them on their vertices' bounding box. Skipping is safe
// only where clipping would leave nothing, so every test errs towards drawing.
// Internal to platform/gfx.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/d3d8types.h"

namespace halvex::gfx {

// An axis-aligned box in the vertices' own space. `known` is false for an
// empty box or one with a coordinate that is not a finite number: such a box
// is never called outside.
struct VertexBox {
  float min[3] = {0, 0, 0}, max[3] = {0, 0, 0};
  bool known = false;
};

// The box of `count` consecutive vertices, position in the first three floats.
VertexBox BoxOfVertices(const BYTE* vertices, UINT stride, UINT count);
// The box of the vertices `count` indices name (16- or 32-bit). The caller has
// checked that every index lands inside the vertices.
VertexBox BoxOfIndexedVertices(const BYTE* vertices, UINT stride, const BYTE* indices, bool indices32, UINT count);

// Whether every point of the box lies outside one plane of the clip volume
// under the row-vector transform `worldViewProjection` (Direct3D's clip
// space: -w..w across, 0..w in depth). The sides are widened by a few pixels
// of a viewport `viewportWidth` x `viewportHeight`, which covers the half-pixel
// shift of Direct3D's pixel centres and any rounding.
bool BoxOutsideClipVolume(const VertexBox& box, const D3DMATRIX& worldViewProjection, float viewportWidth,
                          float viewportHeight);

// One remembered box of a vertex buffer: the draw's vertex range or index
// range, and the index buffer's identity and contents version.
struct CachedVertexBox {
  UINT stride = 0, vertexOffset = 0;
  UINT indexSerial = 0, indexVersion = 0, indexOffset = 0;  // indexSerial 0: no indices
  UINT count = 0;
  bool indices32 = false;
  VertexBox box;
};

// A vertex buffer's remembered boxes, emptied whenever its contents change
// (keeping its storage, so a buffer rewritten every frame allocates nothing).
// Bounded: a buffer drawn in many ways forgets the oldest.
class VertexBoxCache {
 public:
  const VertexBox* Find(const CachedVertexBox& key) const;
  void Add(const CachedVertexBox& entry);
  void Clear() { entries_.clear(); }

 private:
  static constexpr std::size_t kEntries = 16;
  std::vector<CachedVertexBox> entries_;
  std::size_t next_ = 0;  // the entry replaced next once all are in use
};

}  // namespace halvex::gfx
