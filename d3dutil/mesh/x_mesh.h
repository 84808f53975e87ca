// System-memory meshes, the utility-library operations the game asks of
// them, and the X-file loader. No device or window code: collision, the
// headless runner and the tools use these directly.
//
// A mesh is an indexed triangle list with 16-bit indices, vertices in a
// flexible vertex format (position, optional normal, diffuse colour and up to
// two texture-coordinate pairs, in that order), one attribute (subset id) per
// face and, after an attribute sort, an attribute table with one range per
// subset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "d3dutil/math/math.h"
#include "platform/gfx/d3d8types.h"

namespace halvex {

using gfx::DWORD;

// Optimisation flags by the game's numbers.
inline constexpr DWORD kMeshOptCompact = 1;       // drop unused vertices, order them by first use
inline constexpr DWORD kMeshOptAttrSort = 2;      // faces grouped by subset; builds the table
inline constexpr DWORD kMeshOptVertexCache = 4;   // vertex-cache friendly face order per subset
inline constexpr DWORD kMeshOptStripReorder = 8;  // as kMeshOptVertexCache

// The layout the loader produces and collision reads: position, normal and
// one texture-coordinate pair, 32 bytes.
inline constexpr DWORD kMeshFvf = gfx::D3DFVF_XYZ | gfx::D3DFVF_NORMAL | gfx::D3DFVF_TEX1;
// Render tiles add a second pair for the light-map pass: 40 bytes.
inline constexpr DWORD kMeshFvfTwoTexCoords = gfx::D3DFVF_XYZ | gfx::D3DFVF_NORMAL | gfx::D3DFVF_TEX2;
inline constexpr DWORD kNoAdjacentFace = 0xFFFFFFFFu;

struct AttributeRange {
  DWORD attribId = 0;
  DWORD faceStart = 0;
  DWORD faceCount = 0;
  DWORD vertexStart = 0;
  DWORD vertexCount = 0;
};

// Byte offsets of a format's components; -1 where the format lacks one.
struct VertexLayout {
  explicit VertexLayout(DWORD fvf);
  int stride = 0;
  int normal = -1;
  int diffuse = -1;
  int texCoords[2] = {-1, -1};
  int texCoordCount = 0;
  bool supported = false;  // position (x, y, z) and at most two pairs
};

class XMesh {
 public:
  XMesh() = default;
  // Empty mesh with room for the given counts; attributes all 0.
  XMesh(DWORD fvf, uint32_t vertexCount, uint32_t faceCount);

  DWORD fvf() const { return fvf_; }
  uint32_t vertexStride() const { return stride_; }
  uint32_t vertexCount() const { return vertexCount_; }
  uint32_t faceCount() const { return static_cast<uint32_t>(indices_.size() / 3); }

  // Stable addresses: the buffers are never resized after construction.
  uint8_t* vertexBytes() { return vertices_.data(); }
  const uint8_t* vertexBytes() const { return vertices_.data(); }
  uint16_t* indexData() { return indices_.data(); }
  const uint16_t* indexData() const { return indices_.data(); }
  std::vector<DWORD>& attributes() { return attributes_; }
  const std::vector<DWORD>& attributes() const { return attributes_; }
  const std::vector<AttributeRange>& attributeTable() const { return attributeTable_; }

  Vec3 position(uint32_t vertex) const;
  void setPosition(uint32_t vertex, const Vec3& p);
  Vec3 normal(uint32_t vertex) const;
  void setNormal(uint32_t vertex, const Vec3& n);
  Vec2 texCoord(uint32_t vertex, int set) const;
  void setTexCoord(uint32_t vertex, int set, const Vec2& uv);

  // Face adjacency by shared edges (corner positions compared exactly),
  // three entries per face, kNoAdjacentFace where an edge is open.
  std::vector<DWORD> GenerateAdjacency() const;

  // Optimises in place by the flags above. adjacencyOut, when given, gets the
  // adjacency of the result; vertexRemap the old index of every new vertex.
  // The result depends only on the index and attribute data, so meshes of
  // the same topology (animation key frames) get the same vertex order.
  void OptimizeInplace(DWORD flags, std::vector<DWORD>* adjacencyOut = nullptr,
                       std::vector<uint32_t>* vertexRemap = nullptr);

  // A copy in another vertex format: shared components copied, new ones 0.
  // False (out untouched) when the format is not supported.
  bool CloneFvf(DWORD fvf, XMesh& out) const;

  // Vertex normals from the faces: each vertex gets the normalised sum of
  // the unit normals of the faces that use its position.
  void ComputeNormals();

  // Nearest hit of the ray origin + t * dir (t >= 0) over all faces.
  bool Intersect(const Vec3& origin, const Vec3& dir, DWORD* faceIndex, float* u, float* v,
                 float* dist) const;

  // Rebuilds the attribute table from the (sorted) attribute array.
  void BuildAttributeTable();

 private:
  float* at(uint32_t vertex, int offset);
  const float* at(uint32_t vertex, int offset) const;

  DWORD fvf_ = 0;
  uint32_t stride_ = 0;
  uint32_t vertexCount_ = 0;
  VertexLayout layout_{0};
  std::vector<uint8_t> vertices_;
  std::vector<uint16_t> indices_;
  std::vector<DWORD> attributes_;
  std::vector<AttributeRange> attributeTable_;
};

// A material as the model file gives it.
struct XMaterial {
  gfx::D3DMATERIAL8 matD3D{};
  std::string textureFilename;  // as written in the file (may be empty)
};

struct XFileMesh {
  XMesh mesh;
  std::vector<XMaterial> materials;  // subset i uses material i
  std::vector<DWORD> adjacency;
};

// Per-vertex normals as ComputeNormals makes them, for any number of
// vertices: the normalised sum of the unit normals of the triangles (three
// indices each, in order) that use the vertex's position; 0 for none.
std::vector<Vec3> SmoothNormals(const std::vector<Vec3>& positions,
                                const std::vector<uint32_t>& indices);

// Loads every mesh of a text X file into one mesh
// in the file's own coordinates and winding, frame transforms applied, one
// subset per material, in the 32-byte layout (normals computed where the
// file has none, texture coordinates 0 where it has none). Faces come in
// the importer's order (the file's, grouped by material), each with its
// corners in the importer's order; joining corners changes neither.
//
// The importer hands over every face corner separately; corners are joined
// into one vertex again where they are bit for bit the same (position,
// normal, texture coordinates) and lie on an edge two faces share (its other
// end the same as well). Following the edges keeps the result a matter of
// topology: two key frames of one animation whose corners meet at a point in
// one pose only still load with the same vertices, in the same order.
//
// False with a reason when the file cannot be read, is larger than
// kMaxModelFileBytes, is binary or compressed, gives a count of vertices,
// faces, normals or weights larger than the file itself, nests objects
// deeper than kMaxModelNesting, has a face corner outside its vertices (or
// normals), a face without corners or a material list without materials
// (the importer crashes on these three), holds no triangles or has more
// than 65535 vertices after joining. (The importer reserves room by the counts a file
// gives, before reading the entries, and its binary reader reads zeros past
// the end of a file without failing: counts it would trust can only be
// checked in text. The game's models are text.)
bool LoadMeshFromX(const std::string& hostPath, XFileMesh& out, std::string* error = nullptr);
// The same over a file's bytes already in memory.
bool LoadMeshFromXMemory(const uint8_t* data, size_t size, XFileMesh& out,
                         std::string* error = nullptr);

// Largest model file read: the biggest model of the pack is about 130 KB,
// and the cap keeps a stray huge file from being read whole.
inline constexpr size_t kMaxModelFileBytes = size_t(16) << 20;
// Deepest nesting of objects (frames in frames) read; the pack's models
// nest 3 deep, skeletons a few dozen.
inline constexpr int kMaxModelNesting = 256;

}  // namespace halvex
