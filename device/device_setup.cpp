#include "device/device_setup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/paths/paths.h"
#include "platform/window/message_box.h"

namespace halvex::device {

using namespace gfx;
using platform::MessageBoxAnswer;
using platform::MessageBoxButtons;

// The debug overdraw view counts in the stencil, which only D24S8 has.
D3DFORMAT AutoDepthFormat(bool debugMode) { return debugMode ? D3DFMT_D24S8 : D3DFMT_D16; }

namespace {

const char* const kEffectFiles[2] = {"system\\multitex.fxz", "system\\multitexa.fxz"};

// Compiles and creates one light-map effect; a missing or broken file leaves
// the effect null (its technique index then stays -1).
d3dutil::Effect* LoadEffect(Device* device, const char* gamePath) {
  d3dutil::EffectBuffer* buffer = nullptr;
  std::string errors;
  if (FAILED(d3dutil::CompileEffectFromFile(paths::Resolve(gamePath), &buffer, &errors))) {
    std::fprintf(stderr, "%s: %s\n", gamePath, errors.c_str());
    return nullptr;
  }
  d3dutil::Effect* effect = nullptr;
  d3dutil::Effect::Create(device, buffer->GetBufferPointer(), buffer->GetBufferSize(), 0, &effect);
  buffer->Release();
  return effect;
}

void ReleaseEffects(DeviceSetup& app) {
  for (int i : {1, 0})
    if (app.lightMapTechnique[i]) {
      app.lightMapTechnique[i]->Release();
      app.lightMapTechnique[i] = nullptr;
    }
  for (int i : {1, 0})
    if (app.lightMapEffect[i]) {
      app.lightMapEffect[i]->Release();
      app.lightMapEffect[i] = nullptr;
    }
}

void FetchTechniques(DeviceSetup& app) {
  for (int i = 0; i < 2; ++i)
    if (app.lightMapEffect[i] && app.lightMapTechniqueIndex[i] != -1)
      app.lightMapEffect[i]->GetTechnique(static_cast<UINT>(app.lightMapTechniqueIndex[i]), &app.lightMapTechnique[i]);
}

// Technique 0 if it validates, else 1 if that does, else -1.
int ChooseTechnique(d3dutil::Effect* effect) {
  if (!effect) return -1;
  for (UINT index : {0u, 1u}) {
    d3dutil::Technique* t = nullptr;
    if (FAILED(effect->GetTechnique(index, &t))) continue;
    bool valid = SUCCEEDED(t->Validate());
    t->Release();
    if (valid) return static_cast<int>(index);
  }
  return -1;
}

void CopyDescription(DeviceSetup& app) {
  D3DADAPTER_IDENTIFIER8 id{};
  app.d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, D3DENUM_NO_WHQL_LEVEL, &id);
  // Bounded: a long description is cut, never run past the field.
  id.Description[sizeof id.Description - 1] = '\0';
  size_t n = std::min(std::strlen(id.Description), sizeof app.adapterDescription - 1);
  std::memcpy(app.adapterDescription, id.Description, n);
  app.adapterDescription[n] = '\0';
}

HRESULT CreateInputDevices(DeviceSetup& app, bool exclusiveMouse, bool exclusiveKeyboard) {
  using namespace input;
  DWORD keyboardLevel = exclusiveKeyboard ? DISCL_EXCLUSIVE | DISCL_FOREGROUND : DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
  DWORD mouseLevel = exclusiveMouse ? DISCL_EXCLUSIVE | DISCL_FOREGROUND : DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
  HRESULT hr = DirectInput8Create(DIRECTINPUT_VERSION, &app.directInput);
  if (FAILED(hr)) return hr;
  if (FAILED(hr = app.directInput->CreateDevice(GUID_SysKeyboard, &app.keyboardDevice))) return hr;
  if (FAILED(hr = app.keyboardDevice->SetDataFormat(c_dfDIKeyboard))) return hr;
  if (FAILED(hr = app.keyboardDevice->SetCooperativeLevel(app.window, keyboardLevel))) return hr;
  if (FAILED(hr = app.directInput->CreateDevice(GUID_SysMouse, &app.mouseDevice))) return hr;
  if (FAILED(hr = app.mouseDevice->SetDataFormat(c_dfDIMouse))) return hr;
  if (FAILED(hr = app.mouseDevice->SetCooperativeLevel(app.window, mouseLevel))) return hr;
  app.mouseDevice->SetBufferSize(20);  // its result does not matter
  return S_OK;
}

void FillPresentParams(DeviceSetup& app, int width, int height, bool fullScreen, D3DFORMAT desktopFormat) {
  D3DPRESENT_PARAMETERS& pp = app.presentParams;
  pp = {};
  pp.BackBufferWidth = static_cast<UINT>(width);
  pp.BackBufferHeight = static_cast<UINT>(height);
  pp.BackBufferFormat = desktopFormat;
  pp.BackBufferCount = 0;
  pp.MultiSampleType = D3DMULTISAMPLE_NONE;
  pp.SwapEffect = !fullScreen && app.windowedVsync ? D3DSWAPEFFECT_COPY_VSYNC : D3DSWAPEFFECT_DISCARD;
  pp.hDeviceWindow = app.window;
  pp.Windowed = fullScreen ? FALSE : TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = AutoDepthFormat(app.debugMode);
  // Screenshots read the back buffer before Present: the front buffer is
  // never read, which lets the back buffer live in the window itself.
  pp.Flags = kPresentFlagNoFrontBuffer;
  pp.FullScreen_RefreshRateInHz = fullScreen ? 60 : 0;
  pp.FullScreen_PresentationInterval = fullScreen ? D3DPRESENT_INTERVAL_ONE : 0;
}

DWORD ChooseVertexProcessing(DeviceSetup& app, bool hardwareTnL, const D3DCAPS8& caps) {
  if (hardwareTnL && !(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)) {
    platform::ShowMessageBox("Device Information",
                             "No Hardware T&L Support Detected, Continuing with Software T&L",
                             MessageBoxButtons::Ok, MessageBoxAnswer::Ok);
    hardwareTnL = false;
  }
  if (!hardwareTnL) {
    app.vertexProcessing = kSoftwareVertexProcessing;
    return D3DCREATE_SOFTWARE_VERTEXPROCESSING;
  }
  if (caps.DevCaps & D3DDEVCAPS_PUREDEVICE) {
    app.vertexProcessing = kPureHardwareVertexProcessing;
    return D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
  }
  app.vertexProcessing = kMixedVertexProcessing;
  return D3DCREATE_MIXED_VERTEXPROCESSING;
}

void SetUpLightMapping(DeviceSetup& app) {
  if (!app.lightMapping) {
    app.lightMapTechniqueIndex[0] = app.lightMapTechniqueIndex[1] = -1;
    return;
  }
  for (int i = 0; i < 2; ++i) app.lightMapEffect[i] = LoadEffect(app.device, kEffectFiles[i]);
  for (int i = 0; i < 2; ++i) app.lightMapTechniqueIndex[i] = ChooseTechnique(app.lightMapEffect[i]);
  FetchTechniques(app);
}

}  // namespace

HRESULT CreateDevices(DeviceSetup& app, DeviceSlots& slots, int width, int height, bool fullScreen,
                      bool hardwareTnL, bool softwareMode, bool exclusiveMouse, bool exclusiveKeyboard) {
  HRESULT hr = CreateInputDevices(app, exclusiveMouse, exclusiveKeyboard);
  if (FAILED(hr)) return hr;
  slots.InitSound();

  app.d3d = Direct3DCreate8(D3D_SDK_VERSION);
  if (!app.d3d) return E_FAIL;
  D3DDISPLAYMODE desktop{};
  if (FAILED(app.d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop))) return E_FAIL;
  FillPresentParams(app, width, height, fullScreen, desktop.Format);
  D3DDEVTYPE type = softwareMode ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL;
  D3DCAPS8 caps{};
  app.d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, type, &caps);
  DWORD behaviour = ChooseVertexProcessing(app, hardwareTnL, caps);

  CopyDescription(app);
  std::string caption = std::string(app.adapterDescription) + " Graphics Driver Problem";
  if (caps.MaxStreams == 0) {
    auto answer = platform::ShowMessageBox(
        caption,
        "Your video card does not appear to have a DirectX 8.0 compatible driver.\nThe program may run, however "
        "it is recommended that you update your driver.\nPlease contact your card manufacturer for more "
        "information.\n\nWould you like to continue loading?",
        MessageBoxButtons::YesNo, MessageBoxAnswer::Yes);
    if (answer != MessageBoxAnswer::Yes) return E_FAIL;
  }
  if (FAILED(app.d3d->CreateDevice(D3DADAPTER_DEFAULT, type, app.window, behaviour, &app.presentParams,
                                   &app.device)))
    return E_FAIL;
  CopyDescription(app);  // now names the actual renderer

  hr = slots.InitDeviceObjects(false);
  if (hr == D3DERR_DEVICENOTRESET) {
    ResetDevice(app, slots, true);
  } else if (FAILED(hr)) {
    return E_FAIL;
  }

  DWORD usage = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC;
  if (app.vertexProcessing == kSoftwareVertexProcessing) usage |= D3DUSAGE_SOFTWAREPROCESSING;
  hr = app.device->CreateVertexBuffer(4 * 24, usage, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, D3DPOOL_SYSTEMMEM,
                                      &app.quadVertexBuffer);
  if (FAILED(hr)) return hr;

  SetUpLightMapping(app);
  app.backBufferHeight = static_cast<unsigned>(height);
  app.backBufferWidth = static_cast<unsigned>(width);
  hr = slots.StartMatch();
  return hr < 0 ? hr : S_OK;
}

HRESULT ResetDevice(DeviceSetup& app, DeviceSlots& slots, bool reloadContent) {
  if (!reloadContent && app.lightMapping) ReleaseEffects(app);
  slots.InvalidateDeviceObjects(false);
  if (reloadContent) slots.DeleteDeviceObjects();
  if (!app.device || FAILED(app.device->Reset(&app.presentParams))) {
    platform::ShowMessageBox("", "Reset Failed", MessageBoxButtons::Ok, MessageBoxAnswer::Ok);
    return E_FAIL;
  }
  HRESULT hr = slots.InitDeviceObjects(reloadContent);
  if (hr < 0) return hr;
  if (!reloadContent && app.lightMapping) {
    for (int i = 0; i < 2; ++i) app.lightMapEffect[i] = LoadEffect(app.device, kEffectFiles[i]);
    FetchTechniques(app);  // the stored indices, without validating again
  }
  return S_OK;
}

HRESULT ReleaseDevices(DeviceSetup& app, DeviceSlots& slots, bool releaseDeviceObjects) {
  if (releaseDeviceObjects) {
    if (app.lightMapping) ReleaseEffects(app);
    if (app.quadVertexBuffer) app.quadVertexBuffer->Release();
    app.quadVertexBuffer = nullptr;
    slots.InvalidateDeviceObjects(false);
  }
  slots.DeleteDeviceObjects();
  if (app.device) app.device->Release();
  app.device = nullptr;
  if (app.d3d) app.d3d->Release();
  app.d3d = nullptr;
  slots.ShutdownSound();
  if (app.directInput) {
    if (app.mouseDevice) {
      app.mouseDevice->Unacquire();
      app.mouseDevice->Release();
      app.mouseDevice = nullptr;
    }
    if (app.keyboardDevice) {
      app.keyboardDevice->Unacquire();
      app.keyboardDevice->Release();
      app.keyboardDevice = nullptr;
    }
    app.directInput->Release();
    app.directInput = nullptr;
  }
  return S_OK;
}

}  // namespace halvex::device
