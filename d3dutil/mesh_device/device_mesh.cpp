#include "d3dutil/mesh_device/device_mesh.h"

#include <cstring>

namespace halvex {

namespace {

using namespace gfx;

D3DPOOL PoolFor(DWORD options, DWORD systemMem, DWORD managed) {
  if (options & systemMem) return D3DPOOL_SYSTEMMEM;
  if (options & managed) return D3DPOOL_MANAGED;
  return D3DPOOL_DEFAULT;
}

DWORD UsageFor(DWORD options, DWORD writeOnly, DWORD dynamic, DWORD software) {
  DWORD usage = 0;
  if (options & writeOnly) usage |= D3DUSAGE_WRITEONLY;
  if (options & dynamic) usage |= D3DUSAGE_DYNAMIC;
  if (options & software) usage |= D3DUSAGE_SOFTWAREPROCESSING;
  return usage;
}

template <class Buffer>
HRESULT Fill(Buffer* buffer, const void* data, size_t size) {
  BYTE* target = nullptr;
  HRESULT hr = buffer->Lock(0, UINT(size), &target, 0);
  if (FAILED(hr)) return hr;
  if (!target) {
    buffer->Unlock();
    return E_FAIL;
  }
  std::memcpy(target, data, size);
  return buffer->Unlock();
}

}  // namespace

HRESULT DeviceMesh::Create(Device* device, const XMesh& mesh, DWORD options, DeviceMesh** out) {
  *out = nullptr;
  if (!device) return D3DERR_INVALIDCALL;
  const size_t vertexBytes = size_t(mesh.vertexCount()) * mesh.vertexStride();
  const size_t indexBytes = size_t(mesh.faceCount()) * 3 * sizeof(uint16_t);
  if (vertexBytes == 0 || indexBytes == 0) return D3DERR_INVALIDCALL;

  DeviceMesh* created = new DeviceMesh();
  created->fvf_ = mesh.fvf();
  created->options_ = options;
  created->stride_ = mesh.vertexStride();
  created->vertexCount_ = mesh.vertexCount();
  created->faceCount_ = mesh.faceCount();
  created->attributeTable_ = mesh.attributeTable();
  HRESULT hr = device->CreateVertexBuffer(
      UINT(vertexBytes),
      UsageFor(options, D3DXMESH_VB_WRITEONLY, D3DXMESH_VB_DYNAMIC, D3DXMESH_VB_SOFTWAREPROCESSING),
      mesh.fvf(), PoolFor(options, D3DXMESH_VB_SYSTEMMEM, D3DXMESH_VB_MANAGED),
      &created->vertexBuffer_);
  if (SUCCEEDED(hr)) {
    hr = device->CreateIndexBuffer(
        UINT(indexBytes),
        UsageFor(options, D3DXMESH_IB_WRITEONLY, D3DXMESH_IB_DYNAMIC, D3DXMESH_IB_SOFTWAREPROCESSING),
        D3DFMT_INDEX16, PoolFor(options, D3DXMESH_IB_SYSTEMMEM, D3DXMESH_IB_MANAGED),
        &created->indexBuffer_);
  }
  if (SUCCEEDED(hr) && (!created->vertexBuffer_ || !created->indexBuffer_)) hr = E_FAIL;
  if (SUCCEEDED(hr)) hr = Fill(created->vertexBuffer_, mesh.vertexBytes(), vertexBytes);
  if (SUCCEEDED(hr)) hr = Fill(created->indexBuffer_, mesh.indexData(), indexBytes);
  if (FAILED(hr)) {
    delete created;
    return hr;
  }
  *out = created;
  return S_OK;
}

DeviceMesh::~DeviceMesh() {
  if (indexBuffer_) indexBuffer_->Release();
  if (vertexBuffer_) vertexBuffer_->Release();
}

HRESULT DeviceMesh::DrawSubset(Device* device, DWORD attribId) const {
  for (const AttributeRange& range : attributeTable_) {
    if (range.attribId != attribId || range.faceCount == 0) continue;
    device->SetVertexShader(fvf_);
    device->SetStreamSource(0, vertexBuffer_, stride_);
    device->SetIndices(indexBuffer_, 0);
    return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, range.vertexStart, range.vertexCount,
                                        range.faceStart * 3, range.faceCount);
  }
  return S_OK;
}

}  // namespace halvex
