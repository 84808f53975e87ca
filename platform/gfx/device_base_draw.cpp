// Shared device: resources, geometry submission, render targets.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gfx/device_base.h"

namespace halvex::gfx {

namespace {

bool IsDepthFormat(D3DFORMAT f) {
  return f == D3DFMT_D16 || f == D3DFMT_D24S8 || f == D3DFMT_D24X8 || f == D3DFMT_D32 ||
         f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D15S1;
}

bool IsTextureFormat(D3DFORMAT f) {
  switch (f) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_DXT1: case D3DFMT_DXT3:
    case D3DFMT_DXT5: return true;
    default: return false;
  }
}

}  // namespace

UINT FvfVertexSize(DWORD fvf) {
  UINT size = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: size = 12; break;
    case D3DFVF_XYZRHW: size = 16; break;
    default: return 0;
  }
  if (fvf & D3DFVF_NORMAL) size += 12;
  if (fvf & D3DFVF_PSIZE) size += 4;
  if (fvf & D3DFVF_DIFFUSE) size += 4;
  if (fvf & D3DFVF_SPECULAR) size += 4;
  UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  for (UINT i = 0; i < sets; ++i) {
    static const UINT kFloats[4] = {2, 3, 4, 1};
    size += 4 * kFloats[(fvf >> (16 + 2 * i)) & 3];
  }
  return size;
}

UINT PrimitiveVertexCount(D3DPRIMITIVETYPE type, UINT n) {
  switch (type) {
    case D3DPT_POINTLIST: return n;
    case D3DPT_LINELIST: return n * 2;
    case D3DPT_LINESTRIP: return n + 1;
    case D3DPT_TRIANGLELIST: return n * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return n + 2;
  }
  return 0;
}

// ---- resources ----

HRESULT DeviceBase::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       VertexBuffer** buffer) {
  if (!buffer || length == 0 || pool > D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
  *buffer = new VertexBufferImpl(this, length, usage, fvf, pool, D3DRTYPE_VERTEXBUFFER);
  Log("CreateVertexBuffer %u %X %X %u", length, usage, fvf, static_cast<unsigned>(pool));
  return S_OK;
}

HRESULT DeviceBase::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IndexBuffer** buffer) {
  if (!buffer || length == 0 || pool > D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
  if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  *buffer = new IndexBufferImpl(this, length, usage, format, pool, D3DRTYPE_INDEXBUFFER);
  Log("CreateIndexBuffer %u %X %u %u", length, usage, static_cast<unsigned>(format),
          static_cast<unsigned>(pool));
  return S_OK;
}

HRESULT DeviceBase::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, Texture** texture) {
  if (!texture || width == 0 || height == 0 || !IsTextureFormat(format) || pool > D3DPOOL_SYSTEMMEM)
    return D3DERR_INVALIDCALL;
  UINT max = BackendMaxTextureSize();
  if (width > max || height > max) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || IsCompressedFormat(format)))
    return D3DERR_INVALIDCALL;
  auto* t = new TextureImpl(this, width, height, levels, usage, format, pool);
  *texture = t;
  Log("CreateTexture T%u %u %u %u %X %u %u", t->link.serial, width, height, levels, usage,
          static_cast<unsigned>(format), static_cast<unsigned>(pool));
  return S_OK;
}

HRESULT DeviceBase::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE, Surface** surface) {
  if (!surface || width == 0 || height == 0 || !IsDepthFormat(format)) return D3DERR_INVALIDCALL;
  *surface = new SurfaceImpl(this, SurfaceKind::DepthStencil, width, height, format, D3DPOOL_DEFAULT);
  Log("CreateDepthStencilSurface %u %u %u", width, height, static_cast<unsigned>(format));
  return S_OK;
}

HRESULT DeviceBase::CreateImageSurface(UINT width, UINT height, D3DFORMAT format, Surface** surface) {
  if (!surface || width == 0 || height == 0 || FormatBytesPerPixel(format) == 0) return D3DERR_INVALIDCALL;
  *surface = new SurfaceImpl(this, SurfaceKind::Image, width, height, format, D3DPOOL_SYSTEMMEM);
  return S_OK;
}

// ---- render targets ----

HRESULT DeviceBase::GetRenderTarget(Surface** surface) {
  if (!surface || !target_) return D3DERR_INVALIDCALL;
  target_->AddRef();
  *surface = target_;
  return S_OK;
}

HRESULT DeviceBase::GetDepthStencilSurface(Surface** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = depth_;
  if (!depth_) return D3DERR_NOTAVAILABLE;
  depth_->AddRef();
  return S_OK;
}

HRESULT DeviceBase::SetRenderTarget(Surface* target, Surface* depth) {
  auto* t = static_cast<SurfaceImpl*>(target);
  auto* d = static_cast<SurfaceImpl*>(depth);
  if (t && t->kind != SurfaceKind::BackBuffer &&
      !(t->kind == SurfaceKind::TextureLevel && (t->parent->usage & D3DUSAGE_RENDERTARGET)))
    return D3DERR_INVALIDCALL;
  if (d && d->kind != SurfaceKind::DepthStencil) return D3DERR_INVALIDCALL;
  SurfaceImpl* newTarget = t ? t : target_;
  if (d && (d->width < newTarget->width || d->height < newTarget->height)) return D3DERR_INVALIDCALL;
  Log("SetRenderTarget %ux%u depth %d", newTarget->width, newTarget->height, d ? 1 : 0);
  HRESULT usable = BackendCanTarget(newTarget, d);
  if (FAILED(usable)) return usable;
  if (t) {
    t->AddRef();
    target_->Release();
    target_ = t;
  }
  if (d) d->AddRef();
  if (depth_) depth_->Release();
  depth_ = d;
  // Direct3D resets the viewport to the whole new target.
  D3DVIEWPORT8 vp{0, 0, target_->width, target_->height, 0.0f, 1.0f};
  SetViewport(&vp);
  BackendSetTarget();
  return S_OK;
}

HRESULT DeviceBase::GetFrontBuffer(Surface* destination) {
  auto* dest = static_cast<SurfaceImpl*>(destination);
  if (!dest || dest->kind != SurfaceKind::Image || dest->format != D3DFMT_A8R8G8B8)
    return D3DERR_INVALIDCALL;
  std::vector<D3DCOLOR> pixels;
  UINT w = 0, h = 0;
  HRESULT hr = BackendReadFront(&pixels, &w, &h);
  if (FAILED(hr)) return hr;
  if (dest->width != w || dest->height != h) return D3DERR_INVALIDCALL;
  std::memcpy(dest->bytes.data(), pixels.data(), pixels.size() * 4);
  return S_OK;
}

// ---- geometry ----

HRESULT DeviceBase::SetStreamSource(UINT stream, VertexBuffer* buffer, UINT stride) {
  if (stream != 0) return D3DERR_INVALIDCALL;
  auto* b = static_cast<VertexBufferImpl*>(buffer);
  if (b) b->AddRef();
  if (stream_) stream_->Release();
  stream_ = b;
  streamStride_ = stride;
  Log("SetStreamSource %u %u", b ? b->link.serial : 0, stride);
  return S_OK;
}

HRESULT DeviceBase::SetIndices(IndexBuffer* buffer, UINT baseVertexIndex) {
  auto* b = static_cast<IndexBufferImpl*>(buffer);
  if (b) b->AddRef();
  if (indices_) indices_->Release();
  indices_ = b;
  baseVertex_ = baseVertexIndex;
  return S_OK;
}

HRESULT DeviceBase::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  Log("DrawPrimitive %u %u %u", static_cast<unsigned>(type), startVertex, primitiveCount);
  if (!stream_ || streamStride_ == 0) return D3DERR_INVALIDCALL;
  UINT count = PrimitiveVertexCount(type, primitiveCount);
  size_t end = (size_t(startVertex) + count) * streamStride_;
  if (count == 0 || end > stream_->bytes.size()) return D3DERR_INVALIDCALL;
  DrawRequest r{};
  r.type = type;
  r.primitiveCount = primitiveCount;
  r.vertexCount = count;
  r.stride = streamStride_;
  r.vertexBuffer = stream_;
  r.vertexOffset = startVertex * streamStride_;
  r.vertices = stream_->bytes.data() + r.vertexOffset;
  return Draw(r);
}

HRESULT DeviceBase::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                         UINT startIndex, UINT primitiveCount) {
  Log("DrawIndexedPrimitive %u %u %u %u %u", static_cast<unsigned>(type), minIndex, numVertices,
          startIndex, primitiveCount);
  if (!stream_ || !indices_ || streamStride_ == 0) return D3DERR_INVALIDCALL;
  bool wide = indices_->fvfOrFormat == D3DFMT_INDEX32;
  UINT indexSize = wide ? 4 : 2;
  UINT count = PrimitiveVertexCount(type, primitiveCount);
  if (count == 0 || (size_t(startIndex) + count) * indexSize > indices_->bytes.size())
    return D3DERR_INVALIDCALL;
  // Every index must land inside the stream: a bad mesh must not read
  // outside the vertex buffer. Usually the buffer's largest index says so
  // at once; otherwise this draw's own indices are looked at.
  size_t streamVertices = stream_->bytes.size() / streamStride_;
  const BYTE* first = indices_->bytes.data() + size_t(startIndex) * indexSize;
  const bool allFit = indices_->maxIndexKnown && size_t(indices_->maxIndex) + baseVertex_ < streamVertices;
  for (UINT i = 0; !allFit && i < count; ++i) {
    UINT index;
    if (wide) {
      std::memcpy(&index, first + 4 * i, 4);
    } else {
      WORD w;
      std::memcpy(&w, first + 2 * i, 2);
      index = w;
    }
    if (size_t(index) + baseVertex_ >= streamVertices) return D3DERR_INVALIDCALL;
  }
  DrawRequest r{};
  r.type = type;
  r.primitiveCount = primitiveCount;
  r.vertexCount = count;
  r.stride = streamStride_;
  r.vertexBuffer = stream_;
  r.vertexOffset = baseVertex_ * streamStride_;
  r.vertices = stream_->bytes.data() + r.vertexOffset;
  r.indexBuffer = indices_;
  r.indexOffset = startIndex * indexSize;
  r.indices = first;
  r.indices32 = wide;
  r.minIndex = minIndex;
  r.numVertices = numVertices;
  return Draw(r);
}

HRESULT DeviceBase::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* data,
                                    UINT stride) {
  Log("DrawPrimitiveUP %u %u %u", static_cast<unsigned>(type), primitiveCount, stride);
  UINT count = PrimitiveVertexCount(type, primitiveCount);
  if (!data || stride == 0 || count == 0) return D3DERR_INVALIDCALL;
  DrawRequest r{};
  r.type = type;
  r.primitiveCount = primitiveCount;
  r.vertexCount = count;
  r.stride = stride;
  r.vertices = static_cast<const BYTE*>(data);
  return Draw(r);
}

HRESULT DeviceBase::Draw(DrawRequest& r) {
  r.fvf = state_.fvf;
  UINT size = FvfVertexSize(r.fvf);
  if (size == 0 || r.stride < size) return D3DERR_INVALIDCALL;
  if (lost_) return S_OK;  // drawing on a lost device succeeds and shows nothing
  ++drawCalls_;
  return BackendDraw(r);
}

// ---- helpers of the public header ----

std::vector<std::string>* RecordedCalls(Device* device) {
  return device ? static_cast<DeviceBase*>(device)->log() : nullptr;
}

void SetCallRecording(Device* device, bool record) {
  if (device) static_cast<DeviceBase*>(device)->SetLogging(record);
}

void SetGlStateCacheBypass(Device* device, bool bypass) {
  if (device) static_cast<DeviceBase*>(device)->bypassCache = bypass;
}

HRESULT ReadBackPixels(Device* device, std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) {
  if (!device || !pixels || !width || !height) return D3DERR_INVALIDCALL;
  return static_cast<DeviceBase*>(device)->BackendReadBack(pixels, width, height);
}

std::uint64_t DrawCallCount(Device* device) {
  return device ? static_cast<DeviceBase*>(device)->drawCalls() : 0;
}

std::uint64_t DrawsOutsideViewCount(Device* device) {
  return device ? static_cast<DeviceBase*>(device)->BackendDrawsOutsideView() : 0;
}

HRESULT ReadBackStencil(Device* device, std::vector<BYTE>* values, UINT* width, UINT* height) {
  if (!device || !values || !width || !height) return D3DERR_INVALIDCALL;
  return static_cast<DeviceBase*>(device)->BackendReadStencil(values, width, height);
}

bool BackBufferInWindow(Device* device) {
  return device && static_cast<DeviceBase*>(device)->BackendBackBufferInWindow();
}

}  // namespace halvex::gfx
