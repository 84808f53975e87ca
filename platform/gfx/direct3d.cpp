// The Direct3D object: adapter queries and device creation. A window gives
// the OpenGL device, no window the recording one.
#include <SDL.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/gfx/gl_device.h"
#include "platform/gfx/recording_device.h"

namespace halvex::gfx {

namespace {

// The renderer name of the last GL context made; the adapter description
// before the first device exists names the video driver instead.
std::mutex gRendererMutex;
std::string gRenderer;

class Direct3DImpl final : public Counted<Direct3D> {
 public:
  UINT GetAdapterCount() override { return 1; }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != D3DADAPTER_DEFAULT || !mode) return D3DERR_INVALIDCALL;
    SDL_DisplayMode desktop{};
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
      *mode = {static_cast<UINT>(desktop.w), static_cast<UINT>(desktop.h),
               static_cast<UINT>(desktop.refresh_rate), D3DFMT_X8R8G8B8};
    } else {
      *mode = {1024, 768, 60, D3DFMT_X8R8G8B8};  // headless: a plausible desktop
    }
    return S_OK;
  }

  HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER8* id) override {
    if (adapter != D3DADAPTER_DEFAULT || !id) return D3DERR_INVALIDCALL;
    *id = {};
    std::string description;
    {
      std::lock_guard<std::mutex> lock(gRendererMutex);
      description = gRenderer;
    }
    if (description.empty()) {
      const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
      description = std::string("OpenGL 3.3 on ") + (driver ? driver : "no display");
    }
    std::snprintf(id->Description, sizeof id->Description, "%s", description.c_str());
    std::snprintf(id->Driver, sizeof id->Driver, "%s", "halvex-gl");
    return S_OK;
  }

  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) override {
    if (adapter != D3DADAPTER_DEFAULT || !caps) return D3DERR_INVALIDCALL;
    *caps = {};
    caps->DeviceType = type;
    caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
    caps->MaxTextureWidth = caps->MaxTextureHeight = 2048;  // what every GL 3.3 device offers
    caps->MaxActiveLights = kMaxLights;
    caps->MaxStreams = 1;
    caps->MaxSimultaneousTextures = kMaxTextureStages;
    return S_OK;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE, SDL_Window* focusWindow, DWORD behaviour,
                       D3DPRESENT_PARAMETERS* params, Device** device) override {
    if (adapter != D3DADAPTER_DEFAULT || !params || !device) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (params->BackBufferWidth == 0 || params->BackBufferHeight == 0) return D3DERR_INVALIDCALL;
    auto* window = static_cast<SDL_Window*>(params->hDeviceWindow);
    if (!window) window = focusWindow;
    if (!window) {
      *device = new RecordingDevice(*params, behaviour);
      return S_OK;
    }
    auto* gl = new GlDevice(window, *params, behaviour);
    if (!gl->ok()) {
      // A back buffer GL refused was reported as it was made.
      if (!gl->hasContext()) std::fprintf(stderr, "gfx: no OpenGL 3.3 core context: %s\n", SDL_GetError());
      gl->Release();
      return E_FAIL;
    }
    {
      std::lock_guard<std::mutex> lock(gRendererMutex);
      gRenderer = gl->renderer();
    }
    *device = gl;
    return S_OK;
  }
};

}  // namespace

Direct3D* Direct3DCreate8(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION) return nullptr;
  return new Direct3DImpl;
}

}  // namespace halvex::gfx
