// The part of the device both backends share: state, state blocks, resource
// creation and bookkeeping, argument checks. A backend implements the Backend*
// hooks that touch pixels. Internal to platform/gfx.
#pragma once

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/device_state.h"
#include "platform/gfx/resources.h"

namespace halvex::gfx {

// Everything a backend needs to draw one call.
struct DrawRequest {
  D3DPRIMITIVETYPE type;
  UINT primitiveCount;
  UINT vertexCount;       // vertices (non-indexed) or indices (indexed) consumed
  DWORD fvf;
  UINT stride;
  const BYTE* vertices;   // first vertex of the stream (start vertex applied for non-indexed)
  VertexBufferImpl* vertexBuffer;  // null for DrawPrimitiveUP
  UINT vertexOffset;      // byte offset of the first vertex in vertexBuffer
  const BYTE* indices;    // null for non-indexed draws; first index used
  IndexBufferImpl* indexBuffer;
  UINT indexOffset;       // byte offset of the first index in indexBuffer
  bool indices32;
  UINT minIndex, numVertices;  // indexed: range of vertices referenced, after baseVertex
};

UINT PrimitiveVertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount);

class DeviceBase : public Counted<Device> {
 public:
  DeviceBase(const D3DPRESENT_PARAMETERS& params, DWORD behaviour);
  ~DeviceBase() override;

  HRESULT TestCooperativeLevel() override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
  HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
  HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
  HRESULT ResourceManagerDiscardBytes(DWORD bytes) override;

  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present(const RECT* source, const RECT* dest, void* window, const void* dirty) override;

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE kind, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE kind, D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
  HRESULT SetMaterial(const D3DMATERIAL8* material) override;
  HRESULT GetMaterial(D3DMATERIAL8* material) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
  HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) override;
  HRESULT SetTexture(DWORD stage, Texture* texture) override;
  HRESULT GetTexture(DWORD stage, Texture** texture) override;

  HRESULT BeginStateBlock() override;
  HRESULT EndStateBlock(DWORD* token) override;
  HRESULT ApplyStateBlock(DWORD token) override;
  HRESULT CaptureStateBlock(DWORD token) override;
  HRESULT DeleteStateBlock(DWORD token) override;
  HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) override;

  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             VertexBuffer** buffer) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IndexBuffer** buffer) override;
  HRESULT SetStreamSource(UINT stream, VertexBuffer* buffer, UINT stride) override;
  HRESULT SetIndices(IndexBuffer* buffer, UINT baseVertexIndex) override;
  HRESULT SetVertexShader(DWORD fvf) override;
  HRESULT GetVertexShader(DWORD* fvf) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                               UINT startIndex, UINT primitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* data,
                          UINT stride) override;

  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Texture** texture) override;
  HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                    D3DMULTISAMPLE_TYPE multisample, Surface** surface) override;
  HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format, Surface** surface) override;
  HRESULT GetRenderTarget(Surface** surface) override;
  HRESULT GetDepthStencilSurface(Surface** surface) override;
  HRESULT SetRenderTarget(Surface* target, Surface* depth) override;
  HRESULT GetFrontBuffer(Surface* destination) override;

  void SimulateDeviceLost() override { lost_ = true; }

  // Bookkeeping called by resources.
  void Register(ResourceLink* link);
  void Unregister(ResourceLink* link);
  virtual void BackendForget(ResourceLink* /*link*/) {}  // drop GL names of a dying resource
  virtual void BackendTextureChanged(TextureImpl* /*texture*/) {}
  // Reads back the level bytes of a texture whose pixels the backend kept on
  // the device only (TextureImpl::bytesOnDevice); false when it cannot.
  virtual bool BackendRestoreTexture(TextureImpl* /*texture*/) { return false; }

  // Reads the current target as 0xAARRGGBB, top row first.
  virtual HRESULT BackendReadBack(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) = 0;
  virtual HRESULT BackendReadStencil(std::vector<BYTE>* /*values*/, UINT* /*width*/, UINT* /*height*/) {
    return D3DERR_NOTAVAILABLE;
  }
  // Reads the picture of the last Present.
  virtual HRESULT BackendReadFront(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) = 0;
  virtual bool BackendBackBufferInWindow() const { return false; }
  virtual std::uint64_t BackendDrawsOutsideView() const { return 0; }

  std::vector<std::string>* log() { return log_; }
  // Backends that keep a call log override this to stop or restart it.
  virtual void SetLogging(bool /*record*/) {}
  const DeviceState& state() const { return state_; }
  SurfaceImpl* currentTarget() const { return target_; }
  SurfaceImpl* currentDepth() const { return depth_; }
  SurfaceImpl* autoDepthSurface() const { return autoDepth_; }
  SurfaceImpl* backBufferSurface() const { return backBuffer_; }
  const D3DPRESENT_PARAMETERS& presentParams() const { return params_; }
  std::uint64_t drawCalls() const { return drawCalls_; }
  bool bypassCache = false;

 protected:
  virtual void BackendClear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;
  // Fails when the backend cannot draw with this state (a program or texture
  // GL refused); the draw is then dropped.
  virtual HRESULT BackendDraw(const DrawRequest& request) = 0;
  virtual void BackendPresent() = 0;
  virtual HRESULT BackendReset(const D3DPRESENT_PARAMETERS& params) = 0;
  virtual void BackendSetTarget() {}
  // Whether the backend can draw into this colour and depth pair; asked
  // before SetRenderTarget switches, so a refused pair changes nothing.
  virtual HRESULT BackendCanTarget(SurfaceImpl* /*target*/, SurfaceImpl* /*depth*/) { return S_OK; }
  virtual UINT BackendMaxTextureSize() { return 4096; }

  // Builds the implicit back buffer and depth surfaces; called by backends
  // from their constructor (after their own set-up) and after a reset.
  void CreateImplicitSurfaces();
  void ReleaseImplicitSurfaces();
  // Formats only while calls are recorded: a frame of a run that keeps no
  // log allocates nothing here.
  template <class... Args>
  void Log(const char* format, Args... args) {
    if (!log_) return;
    if constexpr (sizeof...(Args) == 0) {
      log_->emplace_back(format);
    } else {
      char text[160];
      std::snprintf(text, sizeof text, format, args...);
      log_->emplace_back(text);
    }
  }

  std::vector<std::string>* log_ = nullptr;
  std::set<ResourceLink*> resources_;
  D3DPRESENT_PARAMETERS params_;
  DWORD behaviour_;
  bool lost_ = false;
  std::uint64_t drawCalls_ = 0;
  bool inScene_ = false;

 private:
  HRESULT Draw(DrawRequest& request);
  template <class F>
  HRESULT SetOrRecord(F&& apply);

  DeviceState state_;
  StateBlock recording_;
  bool isRecording_ = false;
  std::map<DWORD, StateBlock> blocks_;
  DWORD nextBlock_ = 1;

  VertexBufferImpl* stream_ = nullptr;
  UINT streamStride_ = 0;
  IndexBufferImpl* indices_ = nullptr;
  UINT baseVertex_ = 0;

  SurfaceImpl* backBuffer_ = nullptr;
  SurfaceImpl* autoDepth_ = nullptr;
  SurfaceImpl* target_ = nullptr;
  SurfaceImpl* depth_ = nullptr;
  UINT nextSerial_ = 1;
};

}  // namespace halvex::gfx
