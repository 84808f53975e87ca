// Device resources, shared by both backends. Every resource keeps its bytes
// in system memory (so managed ones survive a reset and the recorder can be
// inspected); the OpenGL backend mirrors them into GL objects when dirty, and
// lets textures drop theirs once GL holds them (see TextureImpl::EnsureBytes).
// Internal to platform/gfx.
#pragma once

#include <atomic>
#include <type_traits>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/view_culling.h"

namespace halvex::gfx {

class DeviceBase;

// Bytes per pixel, or 0 for block-compressed formats.
UINT FormatBytesPerPixel(D3DFORMAT format);
bool IsCompressedFormat(D3DFORMAT format);
// Bytes of one row of blocks or pixels, and of a whole level.
UINT FormatPitch(D3DFORMAT format, UINT width);
UINT FormatLevelSize(D3DFORMAT format, UINT width, UINT height);
// The format's Direct3D name without the prefix ("R5G6B5"), for messages.
const char* FormatName(D3DFORMAT format);
// The depth and stencil bits of a depth-stencil format; zeros for others.
struct DepthStencilBits {
  int depth = 0, stencil = 0;
  bool operator==(const DepthStencilBits&) const = default;
};
DepthStencilBits DepthStencilBitsOf(D3DFORMAT format);

// Common reference counting and device bookkeeping.
template <class Interface>
class Counted : public Interface {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  std::atomic<ULONG> refs_{1};
};

// Base of every resource: registered with its device until destroyed, so the
// device can count default-pool objects and drop GL names.
class TextureImpl;

struct ResourceLink {
  DeviceBase* device = nullptr;
  D3DPOOL pool = D3DPOOL_MANAGED;
  unsigned glName = 0;  // owned by the GL backend
  unsigned glKind = 0;  // what glName names: 1 buffer, 2 texture, 3 renderbuffer
  UINT serial = 0;      // creation number, names the resource in the call log
  bool dirty = true;
  bool glFailed = false;  // GL refused its last upload: draws using it fail
  TextureImpl* texture = nullptr;  // the texture this link belongs to, if it is one
};

template <class Interface>
class BufferImpl final : public Counted<Interface> {
 public:
  BufferImpl(DeviceBase* device, UINT length, DWORD usage, DWORD fvfOrFormat, D3DPOOL pool,
             D3DRESOURCETYPE type);
  ~BufferImpl() override;

  HRESULT GetDevice(Device** device) override;
  void PreLoad() override {}
  D3DRESOURCETYPE GetType() override { return type_; }
  HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
  HRESULT Unlock() override;
  using Desc = std::conditional_t<std::is_same_v<Interface, VertexBuffer>, D3DVERTEXBUFFER_DESC,
                                  D3DINDEXBUFFER_DESC>;
  HRESULT GetDesc(Desc* desc) override;

  ResourceLink link;
  std::vector<BYTE> bytes;
  DWORD usage;
  DWORD fvfOrFormat;
  // Index buffers: the largest index they hold, known while unlocked, so a
  // draw whose whole buffer fits its stream needs no look at each index.
  UINT maxIndex = 0;
  bool maxIndexKnown = true;  // a new buffer holds zeros
  // Counts the unlocks: whatever was worked out from the contents before is
  // stale once it moves.
  UINT version = 0;
  // Vertex buffers: the bounding boxes of ranges drawn since the last unlock.
  VertexBoxCache boxes;
  bool locked() const { return locked_; }

 private:
  D3DRESOURCETYPE type_;
  bool locked_ = false;
};

using VertexBufferImpl = BufferImpl<VertexBuffer>;
using IndexBufferImpl = BufferImpl<IndexBuffer>;

enum class SurfaceKind { TextureLevel, DepthStencil, Image, BackBuffer };

class SurfaceImpl final : public Counted<Surface> {
 public:
  // A level of a texture forwards its references to the texture.
  SurfaceImpl(TextureImpl* parent, UINT level);
  SurfaceImpl(DeviceBase* device, SurfaceKind kind, UINT width, UINT height, D3DFORMAT format,
              D3DPOOL pool);
  ~SurfaceImpl() override;

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  SurfaceKind kind;
  TextureImpl* parent = nullptr;
  UINT level = 0;
  UINT width = 0, height = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  ResourceLink link;          // for stand-alone surfaces
  std::vector<BYTE> bytes;    // image surfaces
};

class TextureImpl final : public Counted<Texture> {
 public:
  TextureImpl(DeviceBase* device, UINT width, UINT height, UINT levels, DWORD usage,
              D3DFORMAT format, D3DPOOL pool);
  ~TextureImpl() override;

  HRESULT GetDevice(Device** device) override;
  void PreLoad() override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return static_cast<DWORD>(levels.size()); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, Surface** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  // Brings the level bytes back from the device when the backend dropped
  // them; false when it could not. Call before reading or writing them.
  bool EnsureBytes();

  struct Level {
    UINT width, height;
    // Empty for render targets, and while bytesOnDevice: then the pixels
    // live on the device only.
    std::vector<BYTE> bytes;
    SurfaceImpl* surface = nullptr;
    bool locked = false;
  };
  ResourceLink link;
  std::vector<Level> levels;
  DWORD usage;
  D3DFORMAT format;
  // The GL backend released the level bytes after uploading them: loaded
  // textures would otherwise sit in memory twice.
  bool bytesOnDevice = false;
};

}  // namespace halvex::gfx
