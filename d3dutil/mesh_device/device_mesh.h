// The device copy of a mesh: its vertices and 16-bit indices in device
// buffers, and the subset table for drawing one subset with one call.
#pragma once

#include <vector>

#include "d3dutil/mesh/x_mesh.h"
#include "platform/gfx/device.h"

namespace halvex {

// Mesh options by the utility library's numbers.
inline constexpr DWORD D3DXMESH_VB_SYSTEMMEM = 0x010;
inline constexpr DWORD D3DXMESH_VB_MANAGED = 0x020;
inline constexpr DWORD D3DXMESH_VB_WRITEONLY = 0x040;
inline constexpr DWORD D3DXMESH_VB_DYNAMIC = 0x080;
inline constexpr DWORD D3DXMESH_IB_SYSTEMMEM = 0x100;
inline constexpr DWORD D3DXMESH_IB_MANAGED = 0x200;
inline constexpr DWORD D3DXMESH_IB_WRITEONLY = 0x400;
inline constexpr DWORD D3DXMESH_IB_DYNAMIC = 0x800;
inline constexpr DWORD D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000;
inline constexpr DWORD D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000;
inline constexpr DWORD D3DXMESH_SYSTEMMEM = 0x110;
inline constexpr DWORD D3DXMESH_MANAGED = 0x220;
inline constexpr DWORD D3DXMESH_WRITEONLY = 0x440;
inline constexpr DWORD D3DXMESH_DYNAMIC = 0x880;
inline constexpr DWORD D3DXMESH_SOFTWAREPROCESSING = 0x18000;

class DeviceMesh {
 public:
  // Copies mesh into new device buffers created with the given options.
  // Returns the device's failure code (D3DERR_INVALIDCALL, E_OUTOFMEMORY...)
  // and leaves *out null when a buffer cannot be made or filled.
  static gfx::HRESULT Create(gfx::Device* device, const XMesh& mesh, DWORD options,
                             DeviceMesh** out);
  ~DeviceMesh();
  DeviceMesh(const DeviceMesh&) = delete;
  DeviceMesh& operator=(const DeviceMesh&) = delete;

  // Draws the faces of subset attribId (nothing when it has none).
  gfx::HRESULT DrawSubset(gfx::Device* device, DWORD attribId) const;

  // The vertex buffer, for the morph step that rewrites a model's vertices.
  gfx::VertexBuffer* vertexBuffer() const { return vertexBuffer_; }
  DWORD fvf() const { return fvf_; }
  uint32_t vertexStride() const { return stride_; }
  uint32_t vertexCount() const { return vertexCount_; }
  uint32_t faceCount() const { return faceCount_; }
  DWORD options() const { return options_; }
  const std::vector<AttributeRange>& attributeTable() const { return attributeTable_; }

 private:
  DeviceMesh() = default;
  gfx::VertexBuffer* vertexBuffer_ = nullptr;
  gfx::IndexBuffer* indexBuffer_ = nullptr;
  DWORD fvf_ = 0;
  DWORD options_ = 0;
  uint32_t stride_ = 0;
  uint32_t vertexCount_ = 0;
  uint32_t faceCount_ = 0;
  std::vector<AttributeRange> attributeTable_;
};

}  // namespace halvex
