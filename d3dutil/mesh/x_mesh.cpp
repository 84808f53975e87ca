#include "d3dutil/mesh/x_mesh.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_map>

namespace halvex {

namespace {

// Exact identity of a position, for welding corners when looking for shared
// edges and smoothing normals; never used to merge vertices.
struct PositionKey {
  uint32_t bits[3];
  bool operator==(const PositionKey& o) const {
    return bits[0] == o.bits[0] && bits[1] == o.bits[1] && bits[2] == o.bits[2];
  }
};
struct PositionKeyHash {
  size_t operator()(const PositionKey& k) const {
    return (size_t(k.bits[0]) * 73856093u) ^ (size_t(k.bits[1]) * 19349663u) ^
           (size_t(k.bits[2]) * 83492791u);
  }
};

PositionKey KeyOf(const Vec3& p) {
  PositionKey k;
  // +0.0f folds -0 into 0 so that the two compare as the same point
  float c[3] = {p.x + 0.0f, p.y + 0.0f, p.z + 0.0f};
  std::memcpy(k.bits, c, sizeof k.bits);
  return k;
}

}  // namespace

VertexLayout::VertexLayout(DWORD fvf) {
  if ((fvf & gfx::D3DFVF_POSITION_MASK) != gfx::D3DFVF_XYZ) return;
  int offset = 12;
  if (fvf & gfx::D3DFVF_NORMAL) { normal = offset; offset += 12; }
  if (fvf & gfx::D3DFVF_PSIZE) return;
  if (fvf & gfx::D3DFVF_DIFFUSE) { diffuse = offset; offset += 4; }
  if (fvf & gfx::D3DFVF_SPECULAR) offset += 4;
  texCoordCount = static_cast<int>((fvf & gfx::D3DFVF_TEXCOUNT_MASK) >> gfx::D3DFVF_TEXCOUNT_SHIFT);
  // Only two-float coordinate sets, and no bits the game never uses.
  if (texCoordCount > 2 || (fvf & ~DWORD(0xFFF)) != 0) return;
  for (int i = 0; i < texCoordCount; ++i) { texCoords[i] = offset; offset += 8; }
  stride = offset;
  supported = true;
}

XMesh::XMesh(DWORD fvf, uint32_t vertexCount, uint32_t faceCount)
    : fvf_(fvf), vertexCount_(vertexCount), layout_(fvf) {
  stride_ = static_cast<uint32_t>(layout_.stride);
  vertices_.assign(size_t(stride_) * vertexCount, 0);
  indices_.assign(size_t(faceCount) * 3, 0);
  attributes_.assign(faceCount, 0);
}

float* XMesh::at(uint32_t vertex, int offset) {
  return reinterpret_cast<float*>(vertices_.data() + size_t(vertex) * stride_ + offset);
}
const float* XMesh::at(uint32_t vertex, int offset) const {
  return reinterpret_cast<const float*>(vertices_.data() + size_t(vertex) * stride_ + offset);
}

Vec3 XMesh::position(uint32_t vertex) const {
  const float* p = at(vertex, 0);
  return Vec3(p[0], p[1], p[2]);
}
void XMesh::setPosition(uint32_t vertex, const Vec3& p) {
  float* d = at(vertex, 0);
  d[0] = p.x; d[1] = p.y; d[2] = p.z;
}
Vec3 XMesh::normal(uint32_t vertex) const {
  if (layout_.normal < 0) return Vec3(0.0f);
  const float* n = at(vertex, layout_.normal);
  return Vec3(n[0], n[1], n[2]);
}
void XMesh::setNormal(uint32_t vertex, const Vec3& n) {
  if (layout_.normal < 0) return;
  float* d = at(vertex, layout_.normal);
  d[0] = n.x; d[1] = n.y; d[2] = n.z;
}
Vec2 XMesh::texCoord(uint32_t vertex, int set) const {
  if (set < 0 || set >= layout_.texCoordCount) return Vec2(0.0f);
  const float* t = at(vertex, layout_.texCoords[set]);
  return Vec2(t[0], t[1]);
}
void XMesh::setTexCoord(uint32_t vertex, int set, const Vec2& uv) {
  if (set < 0 || set >= layout_.texCoordCount) return;
  float* d = at(vertex, layout_.texCoords[set]);
  d[0] = uv.x; d[1] = uv.y;
}

std::vector<DWORD> XMesh::GenerateAdjacency() const {
  const uint32_t faces = faceCount();
  std::unordered_map<PositionKey, uint32_t, PositionKeyHash> ids;
  std::vector<uint32_t> corner(indices_.size());
  for (size_t i = 0; i < indices_.size(); ++i) {
    auto [it, added] = ids.try_emplace(KeyOf(position(indices_[i])), uint32_t(ids.size()));
    corner[i] = it->second;
  }
  // Directed edge (a, b) -> first face holding it; a neighbour holds (b, a).
  std::unordered_map<uint64_t, uint32_t> edges;
  auto edgeKey = [](uint32_t a, uint32_t b) { return (uint64_t(a) << 32) | b; };
  for (uint32_t f = 0; f < faces; ++f) {
    for (int e = 0; e < 3; ++e) {
      edges.try_emplace(edgeKey(corner[f * 3 + e], corner[f * 3 + (e + 1) % 3]), f);
    }
  }
  std::vector<DWORD> adjacency(size_t(faces) * 3, kNoAdjacentFace);
  for (uint32_t f = 0; f < faces; ++f) {
    for (int e = 0; e < 3; ++e) {
      auto it = edges.find(edgeKey(corner[f * 3 + (e + 1) % 3], corner[f * 3 + e]));
      if (it != edges.end() && it->second != f) adjacency[f * 3 + e] = it->second;
    }
  }
  return adjacency;
}

void XMesh::BuildAttributeTable() {
  attributeTable_.clear();
  const uint32_t faces = faceCount();
  for (uint32_t f = 0; f < faces;) {
    AttributeRange range;
    range.attribId = attributes_[f];
    range.faceStart = f;
    uint32_t lo = std::numeric_limits<uint32_t>::max(), hi = 0;
    while (f < faces && attributes_[f] == range.attribId) {
      for (int c = 0; c < 3; ++c) {
        lo = std::min<uint32_t>(lo, indices_[f * 3 + c]);
        hi = std::max<uint32_t>(hi, indices_[f * 3 + c]);
      }
      ++f;
    }
    range.faceCount = f - range.faceStart;
    range.vertexStart = lo;
    range.vertexCount = hi - lo + 1;
    attributeTable_.push_back(range);
  }
}

void XMesh::OptimizeInplace(DWORD flags, std::vector<DWORD>* adjacencyOut,
                            std::vector<uint32_t>* vertexRemap) {
  const uint32_t faces = faceCount();
  if (flags & kMeshOptAttrSort) {
    std::vector<uint32_t> order(faces);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return attributes_[a] < attributes_[b]; });
    std::vector<uint16_t> sortedIndices(indices_.size());
    std::vector<DWORD> sortedAttributes(faces);
    for (uint32_t f = 0; f < faces; ++f) {
      std::copy_n(&indices_[size_t(order[f]) * 3], 3, &sortedIndices[size_t(f) * 3]);
      sortedAttributes[f] = attributes_[order[f]];
    }
    // copied in place: the buffers (and the addresses handed out) stay put
    std::copy(sortedIndices.begin(), sortedIndices.end(), indices_.begin());
    attributes_ = sortedAttributes;
  }
  if ((flags & (kMeshOptVertexCache | kMeshOptStripReorder)) && vertexCount_ > 0) {
    // Each run of one subset is reordered on its own so subsets stay whole.
    std::vector<uint32_t> run, reordered;
    for (uint32_t f = 0; f < faces;) {
      uint32_t start = f;
      while (f < faces && attributes_[f] == attributes_[start]) ++f;
      run.assign(indices_.begin() + start * 3, indices_.begin() + f * 3);
      reordered.resize(run.size());
      meshopt_optimizeVertexCache(reordered.data(), run.data(), run.size(), vertexCount_);
      for (size_t i = 0; i < run.size(); ++i) indices_[start * 3 + i] = uint16_t(reordered[i]);
    }
  }
  std::vector<uint32_t> oldOfNew(vertexCount_);
  std::iota(oldOfNew.begin(), oldOfNew.end(), 0u);
  if ((flags & kMeshOptCompact) && vertexCount_ > 0) {
    std::vector<uint32_t> wide(indices_.begin(), indices_.end());
    std::vector<uint32_t> remap(vertexCount_);
    size_t kept = meshopt_optimizeVertexFetchRemap(remap.data(), wide.data(), wide.size(),
                                                   vertexCount_);
    std::vector<uint8_t> compacted(kept * stride_);
    oldOfNew.assign(kept, 0);
    for (uint32_t v = 0; v < vertexCount_; ++v) {
      if (remap[v] == ~0u) continue;
      std::memcpy(&compacted[size_t(remap[v]) * stride_], &vertices_[size_t(v) * stride_], stride_);
      oldOfNew[remap[v]] = v;
    }
    for (uint16_t& index : indices_) index = uint16_t(remap[index]);
    // The vertex buffer only shrinks; its start address stays the same.
    std::copy(compacted.begin(), compacted.end(), vertices_.begin());
    vertices_.resize(compacted.size());
    vertexCount_ = uint32_t(kept);
  }
  BuildAttributeTable();
  if (adjacencyOut) *adjacencyOut = GenerateAdjacency();
  if (vertexRemap) *vertexRemap = oldOfNew;
}

bool XMesh::CloneFvf(DWORD fvf, XMesh& out) const {
  VertexLayout to(fvf);
  if (!to.supported || !layout_.supported) return false;
  XMesh clone(fvf, vertexCount_, faceCount());
  for (uint32_t v = 0; v < vertexCount_; ++v) {
    clone.setPosition(v, position(v));
    if (to.normal >= 0 && layout_.normal >= 0) clone.setNormal(v, normal(v));
    if (to.diffuse >= 0 && layout_.diffuse >= 0) {
      std::memcpy(clone.at(v, to.diffuse), at(v, layout_.diffuse), 4);
    }
    for (int s = 0; s < std::min(to.texCoordCount, layout_.texCoordCount); ++s) {
      clone.setTexCoord(v, s, texCoord(v, s));
    }
  }
  clone.indices_ = indices_;
  clone.attributes_ = attributes_;
  clone.attributeTable_ = attributeTable_;
  out = std::move(clone);
  return true;
}

std::vector<Vec3> SmoothNormals(const std::vector<Vec3>& positions,
                                const std::vector<uint32_t>& indices) {
  std::unordered_map<PositionKey, Vec3, PositionKeyHash> sums;
  for (size_t f = 0; f + 2 < indices.size(); f += 3) {
    Vec3 a = positions[indices[f]], b = positions[indices[f + 1]], c = positions[indices[f + 2]];
    Vec3 n = Vec3Normalize(Vec3Cross(b - a, c - a));
    for (int k = 0; k < 3; ++k) sums[KeyOf(positions[indices[f + k]])] += n;
  }
  std::vector<Vec3> normals(positions.size(), Vec3(0.0f));
  for (size_t v = 0; v < positions.size(); ++v) {
    auto it = sums.find(KeyOf(positions[v]));
    if (it != sums.end()) normals[v] = Vec3Normalize(it->second);
  }
  return normals;
}

void XMesh::ComputeNormals() {
  if (layout_.normal < 0) return;
  std::vector<Vec3> positions(vertexCount_);
  for (uint32_t v = 0; v < vertexCount_; ++v) positions[v] = position(v);
  const std::vector<Vec3> normals =
      SmoothNormals(positions, std::vector<uint32_t>(indices_.begin(), indices_.end()));
  for (uint32_t v = 0; v < vertexCount_; ++v) setNormal(v, normals[v]);
}

bool XMesh::Intersect(const Vec3& origin, const Vec3& dir, DWORD* faceIndex, float* u, float* v,
                      float* dist) const {
  bool hit = false;
  float best = std::numeric_limits<float>::max();
  for (uint32_t f = 0; f < faceCount(); ++f) {
    float fu, fv, fd;
    if (!IntersectTri(position(indices_[f * 3]), position(indices_[f * 3 + 1]),
                      position(indices_[f * 3 + 2]), origin, dir, &fu, &fv, &fd)) {
      continue;
    }
    if (fd < best) {
      best = fd;
      hit = true;
      if (faceIndex) *faceIndex = f;
      if (u) *u = fu;
      if (v) *v = fv;
    }
  }
  if (hit && dist) *dist = best;
  return hit;
}

}  // namespace halvex
