// The Direct3D-8-shaped device: the operations the drawing code uses, with
// the effects it relies on. Two backends sit behind these interfaces: OpenGL
// 3.3 core (a window is given) and a recorder that draws nothing (headless
// runs and unit tests). Objects are reference counted like COM objects: every
// Create*/Get* that hands out an object adds a reference; Release drops it.
// All calls belong to the game thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/d3d8types.h"

struct SDL_Window;

namespace halvex::gfx {

class Unknown {
 public:
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~Unknown() = default;
};

class Device;

class Resource : public Unknown {
 public:
  virtual HRESULT GetDevice(Device** device) = 0;
  virtual void PreLoad() = 0;  // upload now rather than on first use
  virtual D3DRESOURCETYPE GetType() = 0;
};

class Surface : public Unknown {
 public:
  virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
  // rect null locks the whole surface. Rows run top to bottom.
  virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect() = 0;
};

class Texture : public Resource {
 public:
  virtual DWORD GetLevelCount() = 0;
  virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT GetSurfaceLevel(UINT level, Surface** surface) = 0;
  virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect(UINT level) = 0;
};

class VertexBuffer : public Resource {
 public:
  // size 0 locks from offset to the end.
  virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

class IndexBuffer : public Resource {
 public:
  virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};

class Device : public Unknown {
 public:
  // Life.
  virtual HRESULT TestCooperativeLevel() = 0;  // S_OK, D3DERR_DEVICELOST or D3DERR_DEVICENOTRESET
  virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS8* caps) = 0;
  virtual HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT ResourceManagerDiscardBytes(DWORD bytes) = 0;

  // Frame.
  virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Present(const RECT* source, const RECT* dest, void* window, const void* dirty) = 0;

  // Fixed-function state.
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE kind, const D3DMATRIX* matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE kind, D3DMATRIX* matrix) = 0;
  virtual HRESULT SetViewport(const D3DVIEWPORT8* viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT8* viewport) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL8* material) = 0;
  virtual HRESULT GetMaterial(D3DMATERIAL8* material) = 0;
  virtual HRESULT SetLight(DWORD index, const D3DLIGHT8* light) = 0;
  virtual HRESULT GetLight(DWORD index, D3DLIGHT8* light) = 0;
  virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
  virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) = 0;
  virtual HRESULT SetTexture(DWORD stage, Texture* texture) = 0;
  virtual HRESULT GetTexture(DWORD stage, Texture** texture) = 0;

  // State blocks. Handles are non-zero; 0 never names a block.
  virtual HRESULT BeginStateBlock() = 0;
  virtual HRESULT EndStateBlock(DWORD* token) = 0;
  virtual HRESULT ApplyStateBlock(DWORD token) = 0;
  virtual HRESULT CaptureStateBlock(DWORD token) = 0;
  virtual HRESULT DeleteStateBlock(DWORD token) = 0;
  virtual HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) = 0;

  // Geometry. SetVertexShader takes an FVF code, as Direct3D 8 does.
  virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     VertexBuffer** buffer) = 0;
  virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    IndexBuffer** buffer) = 0;
  virtual HRESULT SetStreamSource(UINT stream, VertexBuffer* buffer, UINT stride) = 0;
  virtual HRESULT SetIndices(IndexBuffer* buffer, UINT baseVertexIndex) = 0;
  virtual HRESULT SetVertexShader(DWORD fvf) = 0;
  virtual HRESULT GetVertexShader(DWORD* fvf) = 0;
  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
  virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                       UINT startIndex, UINT primitiveCount) = 0;
  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* data,
                                  UINT stride) = 0;

  // Surfaces. Managed and system-memory textures keep their pixels across a
  // Reset; default-pool objects must all be released before Reset succeeds.
  virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                D3DPOOL pool, Texture** texture) = 0;
  virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                            D3DMULTISAMPLE_TYPE multisample, Surface** surface) = 0;
  virtual HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format, Surface** surface) = 0;
  virtual HRESULT GetRenderTarget(Surface** surface) = 0;
  virtual HRESULT GetDepthStencilSurface(Surface** surface) = 0;
  // Either may be null: null target keeps the current one, null depth draws without depth.
  virtual HRESULT SetRenderTarget(Surface* target, Surface* depth) = 0;
  // Copies the presented picture into an A8R8G8B8 image surface of the display size.
  virtual HRESULT GetFrontBuffer(Surface* destination) = 0;

  // Testing and diagnosis, not part of the Direct3D 8 set. Marks the device
  // lost as if the context had gone away; TestCooperativeLevel then reports
  // D3DERR_DEVICENOTRESET until Reset.
  virtual void SimulateDeviceLost() = 0;
};

// The Direct3D object. CreateDevice with a window in presentParams (or the
// window argument) gives the OpenGL device; with none, the recording device.
class Direct3D : public Unknown {
 public:
  virtual UINT GetAdapterCount() = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* id) = 0;
  virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) = 0;
  virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, SDL_Window* focusWindow, DWORD behaviour,
                               D3DPRESENT_PARAMETERS* params, Device** device) = 0;
};

// null when sdkVersion is not D3D_SDK_VERSION.
Direct3D* Direct3DCreate8(UINT sdkVersion);

// Bytes of one vertex of an FVF code (0 for a code without a position).
UINT FvfVertexSize(DWORD fvf);

// The recording backend's log: one line per device call that changes what
// would be drawn ("SetRenderState 27 1", "DrawPrimitive 4 0 2", ...), so a
// unit test can assert what a drawing routine did. Returns null for a device
// of another backend.
std::vector<std::string>* RecordedCalls(Device* device);
// Stops (or restarts) a recording device's call log: a long headless run
// would otherwise keep every call it ever made.
void SetCallRecording(Device* device, bool record);

// Debug switch of the OpenGL backend: send every state to GL before each
// draw instead of only changed ones, so the state cache can be checked
// (also on from the start when HALVEX_GL_NO_STATE_CACHE is set and not 0).
void SetGlStateCacheBypass(Device* device, bool bypass);

// Reads the current render target back as 0xAARRGGBB, top row first.
// Pixel tests and the screenshot use it; the recorder gives its clear colour.
HRESULT ReadBackPixels(Device* device, std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height);

// Draw calls that reached the backend since the device was created (the
// timedemo's draw calls per frame).
std::uint64_t DrawCallCount(Device* device);

// Reads the stencil values of the current depth surface, one byte a pixel in
// the row order of ReadBackPixels. D3DERR_NOTAVAILABLE when that surface has
// no stencil or the backend keeps none (the recorder).
HRESULT ReadBackStencil(Device* device, std::vector<BYTE>* values, UINT* width, UINT* height);

// Draw calls the backend skipped since the device was created, as all their
// triangles lay outside the view volume; 0 for the recorder, which keeps
// every call.
std::uint64_t DrawsOutsideViewCount(Device* device);

// Whether the back buffer is drawn straight into the window now (see
// kPresentFlagNoFrontBuffer); false for the recorder.
bool BackBufferInWindow(Device* device);

}  // namespace halvex::gfx
