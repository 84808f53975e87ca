#include "platform/gfx/resources.h"

#include <algorithm>
#include <cstring>

#include "platform/gfx/device_base.h"

namespace halvex::gfx {

UINT FormatBytesPerPixel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D32: return 4;
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1: return 2;
    default: return 0;
  }
}

bool IsCompressedFormat(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT3 || format == D3DFMT_DXT5;
}

UINT FormatPitch(D3DFORMAT format, UINT width) {
  if (IsCompressedFormat(format)) return std::max(1u, (width + 3) / 4) * (format == D3DFMT_DXT1 ? 8u : 16u);
  return width * FormatBytesPerPixel(format);
}

DepthStencilBits DepthStencilBitsOf(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE: return {16, 0};
    case D3DFMT_D15S1: return {15, 1};
    case D3DFMT_D24X8: return {24, 0};
    case D3DFMT_D24S8: return {24, 8};
    case D3DFMT_D32: return {32, 0};
    default: return {};
  }
}

const char* FormatName(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_R8G8B8: return "R8G8B8";
    case D3DFMT_A8R8G8B8: return "A8R8G8B8";
    case D3DFMT_X8R8G8B8: return "X8R8G8B8";
    case D3DFMT_R5G6B5: return "R5G6B5";
    case D3DFMT_X1R5G5B5: return "X1R5G5B5";
    case D3DFMT_A1R5G5B5: return "A1R5G5B5";
    case D3DFMT_A4R4G4B4: return "A4R4G4B4";
    case D3DFMT_D16_LOCKABLE: return "D16_LOCKABLE";
    case D3DFMT_D32: return "D32";
    case D3DFMT_D15S1: return "D15S1";
    case D3DFMT_D24S8: return "D24S8";
    case D3DFMT_D16: return "D16";
    case D3DFMT_D24X8: return "D24X8";
    case D3DFMT_DXT1: return "DXT1";
    case D3DFMT_DXT3: return "DXT3";
    case D3DFMT_DXT5: return "DXT5";
    default: return "unknown format";
  }
}

UINT FormatLevelSize(D3DFORMAT format, UINT width, UINT height) {
  UINT rows = IsCompressedFormat(format) ? std::max(1u, (height + 3) / 4) : height;
  return FormatPitch(format, width) * rows;
}

// ---- buffers ----

template <class I>
BufferImpl<I>::BufferImpl(DeviceBase* device, UINT length, DWORD usage_, DWORD fvfOrFormat_,
                          D3DPOOL pool, D3DRESOURCETYPE type)
    : bytes(length), usage(usage_), fvfOrFormat(fvfOrFormat_), type_(type) {
  link.pool = pool;
  device->Register(&link);
}

template <class I>
BufferImpl<I>::~BufferImpl() {
  if (link.device) link.device->Unregister(&link);
}

template <class I>
HRESULT BufferImpl<I>::GetDevice(Device** device) {
  if (!device || !link.device) return D3DERR_INVALIDCALL;
  link.device->AddRef();
  *device = link.device;
  return S_OK;
}

template <class I>
HRESULT BufferImpl<I>::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
  if (!data || locked_ || offset > bytes.size()) return D3DERR_INVALIDCALL;
  if (size == 0) size = static_cast<UINT>(bytes.size()) - offset;
  if (size > bytes.size() - offset) return D3DERR_INVALIDCALL;
  // DISCARD promises the old contents are not needed; zeroing makes a caller
  // that relies on them anyway show up as missing geometry rather than stale.
  if (flags & D3DLOCK_DISCARD) std::fill(bytes.begin(), bytes.end(), BYTE{0});
  locked_ = true;
  maxIndexKnown = false;
  *data = bytes.data() + offset;
  return S_OK;
}

template <class I>
HRESULT BufferImpl<I>::Unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  link.dirty = true;
  ++version;
  boxes.Clear();
  if constexpr (std::is_same_v<I, IndexBuffer>) {
    maxIndex = 0;
    const bool wide = fvfOrFormat == D3DFMT_INDEX32;
    for (size_t at = 0; at + (wide ? 4 : 2) <= bytes.size(); at += wide ? 4 : 2) {
      UINT index = 0;
      std::memcpy(&index, bytes.data() + at, wide ? 4 : 2);  // little-endian host
      maxIndex = std::max(maxIndex, index);
    }
    maxIndexKnown = true;
  }
  return S_OK;
}

template <class I>
HRESULT BufferImpl<I>::GetDesc(Desc* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  if constexpr (std::is_same_v<Desc, D3DVERTEXBUFFER_DESC>)
    *desc = {D3DFORMAT(0), type_, usage, link.pool, static_cast<UINT>(bytes.size()), fvfOrFormat};
  else
    *desc = {D3DFORMAT(fvfOrFormat), type_, usage, link.pool, static_cast<UINT>(bytes.size())};
  return S_OK;
}

template class BufferImpl<VertexBuffer>;
template class BufferImpl<IndexBuffer>;

// ---- surfaces ----

SurfaceImpl::SurfaceImpl(TextureImpl* parent_, UINT level_)
    : kind(SurfaceKind::TextureLevel), parent(parent_), level(level_),
      width(parent_->levels[level_].width), height(parent_->levels[level_].height),
      format(parent_->format) {}

SurfaceImpl::SurfaceImpl(DeviceBase* device, SurfaceKind kind_, UINT width_, UINT height_,
                         D3DFORMAT format_, D3DPOOL pool)
    : kind(kind_), width(width_), height(height_), format(format_) {
  link.pool = pool;
  if (kind == SurfaceKind::Image) bytes.resize(FormatLevelSize(format, width, height));
  device->Register(&link);
}

SurfaceImpl::~SurfaceImpl() {
  if (!parent && link.device) link.device->Unregister(&link);
}

ULONG SurfaceImpl::AddRef() { return parent ? parent->AddRef() : Counted<Surface>::AddRef(); }
ULONG SurfaceImpl::Release() { return parent ? parent->Release() : Counted<Surface>::Release(); }

HRESULT SurfaceImpl::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  DWORD usage = parent ? parent->usage : (kind == SurfaceKind::DepthStencil ? D3DUSAGE_DEPTHSTENCIL : 0);
  if (kind == SurfaceKind::BackBuffer) usage = D3DUSAGE_RENDERTARGET;
  D3DPOOL pool = parent ? parent->link.pool : link.pool;
  *desc = {format, D3DRTYPE_SURFACE, usage, pool, FormatLevelSize(format, width, height), width, height};
  return S_OK;
}

HRESULT SurfaceImpl::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (parent) return parent->LockRect(level, locked, rect, flags);
  if (kind != SurfaceKind::Image || !locked) return D3DERR_INVALIDCALL;
  UINT bpp = FormatBytesPerPixel(format);
  UINT pitch = FormatPitch(format, width);
  BYTE* base = bytes.data();
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<int>(width) ||
        rect->bottom > static_cast<int>(height) || rect->left >= rect->right || rect->top >= rect->bottom)
      return D3DERR_INVALIDCALL;
    base += rect->top * pitch + rect->left * bpp;
  }
  locked->Pitch = static_cast<std::int32_t>(pitch);
  locked->pBits = base;
  return S_OK;
}

HRESULT SurfaceImpl::UnlockRect() {
  if (parent) return parent->UnlockRect(level);
  return kind == SurfaceKind::Image ? S_OK : D3DERR_INVALIDCALL;
}

// ---- textures ----

TextureImpl::TextureImpl(DeviceBase* device, UINT width, UINT height, UINT levelCount, DWORD usage_,
                         D3DFORMAT format_, D3DPOOL pool)
    : usage(usage_), format(format_) {
  link.pool = pool;
  link.texture = this;
  if (levelCount == 0) {  // a full chain down to 1x1
    levelCount = 1;
    for (UINT w = width, h = height; w > 1 || h > 1; w = std::max(1u, w / 2), h = std::max(1u, h / 2))
      ++levelCount;
  }
  UINT w = width, h = height;
  for (UINT i = 0; i < levelCount; ++i) {
    Level level{w, h, {}};
    if (!(usage & D3DUSAGE_RENDERTARGET)) level.bytes.resize(FormatLevelSize(format, w, h));
    levels.push_back(std::move(level));
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
  }
  for (UINT i = 0; i < levelCount; ++i) levels[i].surface = new SurfaceImpl(this, i);
  device->Register(&link);
}

TextureImpl::~TextureImpl() {
  if (link.device) link.device->Unregister(&link);
  for (auto& level : levels) {
    level.surface->parent = nullptr;  // so deleting it does not recurse into us
    delete level.surface;
  }
}

HRESULT TextureImpl::GetDevice(Device** device) {
  if (!device || !link.device) return D3DERR_INVALIDCALL;
  link.device->AddRef();
  *device = link.device;
  return S_OK;
}

bool TextureImpl::EnsureBytes() {
  if (!bytesOnDevice) return true;
  return link.device && link.device->BackendRestoreTexture(this);
}

void TextureImpl::PreLoad() {
  if (link.device) link.device->BackendTextureChanged(this);
}

HRESULT TextureImpl::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (level >= levels.size()) return D3DERR_INVALIDCALL;
  return levels[level].surface->GetDesc(desc);
}

HRESULT TextureImpl::GetSurfaceLevel(UINT level, Surface** surface) {
  if (level >= levels.size() || !surface) return D3DERR_INVALIDCALL;
  AddRef();
  *surface = levels[level].surface;
  return S_OK;
}

HRESULT TextureImpl::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD /*flags*/) {
  if (level >= levels.size() || !locked) return D3DERR_INVALIDCALL;
  Level& l = levels[level];
  if ((usage & D3DUSAGE_RENDERTARGET) || l.locked) return D3DERR_INVALIDCALL;  // render targets are not lockable
  if (!EnsureBytes()) return E_FAIL;
  UINT pitch = FormatPitch(format, l.width);
  BYTE* base = l.bytes.data();
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<int>(l.width) ||
        rect->bottom > static_cast<int>(l.height) || rect->left >= rect->right || rect->top >= rect->bottom)
      return D3DERR_INVALIDCALL;
    if (IsCompressedFormat(format))
      base += (rect->top / 4) * pitch + (rect->left / 4) * (format == D3DFMT_DXT1 ? 8 : 16);
    else
      base += rect->top * pitch + rect->left * FormatBytesPerPixel(format);
  }
  l.locked = true;
  locked->Pitch = static_cast<std::int32_t>(pitch);
  locked->pBits = base;
  return S_OK;
}

HRESULT TextureImpl::UnlockRect(UINT level) {
  if (level >= levels.size() || !levels[level].locked) return D3DERR_INVALIDCALL;
  levels[level].locked = false;
  link.dirty = true;
  return S_OK;
}

}  // namespace halvex::gfx
