// Graphics and input device set-up: CreateDevices builds the keyboard and
// mouse devices and the 3D device for the chosen resolution and modes and
// starts the match; ResetDevice brings a lost device back; ReleaseDevices
// tears everything down in a fixed order. All run on the game thread.
// The GameApp owns a DeviceSetup and answers the slot calls.
#pragma once

#include "d3dutil/effect/effect.h"
#include "platform/gfx/device.h"
#include "platform/input/input.h"

struct SDL_Window;

namespace halvex::device {

using gfx::HRESULT;

// The GameApp virtual slots the set-up calls into.
class DeviceSlots {
 public:
  virtual HRESULT InitSound() = 0;                          // slot 4
  virtual HRESULT InitDeviceObjects(bool reloadAll) = 0;    // slot 3
  virtual HRESULT StartMatch() = 0;                         // slot 1
  virtual void ShutdownSound() = 0;                         // slot 5
  virtual void InvalidateDeviceObjects(bool flag) = 0;      // slot 6
  virtual void DeleteDeviceObjects() = 0;                   // slot 7

 protected:
  ~DeviceSlots() = default;
};

inline constexpr int kSoftwareVertexProcessing = 0;
inline constexpr int kMixedVertexProcessing = 1;
inline constexpr int kPureHardwareVertexProcessing = 2;

// The GameApp members the set-up fills.
struct DeviceSetup {
  SDL_Window* window = nullptr;  // null: headless, the recording device
  gfx::Direct3D* d3d = nullptr;
  gfx::Device* device = nullptr;
  gfx::D3DPRESENT_PARAMETERS presentParams{};
  d3dutil::Effect* lightMapEffect[2] = {};
  int lightMapTechniqueIndex[2] = {-1, -1};
  d3dutil::Technique* lightMapTechnique[2] = {};
  input::DirectInput8* directInput = nullptr;
  input::InputDevice* keyboardDevice = nullptr;
  input::InputDevice* mouseDevice = nullptr;
  char adapterDescription[256] = {};
  bool debugMode = false;
  bool windowedVsync = false;  // a windowed device waits for the display
  int vertexProcessing = kSoftwareVertexProcessing;
  bool lightMapping = false;
  gfx::VertexBuffer* quadVertexBuffer = nullptr;
  // Set at the end of set-up; the font scaling reads them.
  unsigned backBufferWidth = 0, backBufferHeight = 0;
};

// The automatic depth surface's format. The game window is made with its
// bits, so the device can draw the back buffer straight into the window.
gfx::D3DFORMAT AutoDepthFormat(bool debugMode);

HRESULT CreateDevices(DeviceSetup& app, DeviceSlots& slots, int width, int height, bool fullScreen,
                      bool hardwareTnL, bool softwareMode, bool exclusiveMouse, bool exclusiveKeyboard);
HRESULT ResetDevice(DeviceSetup& app, DeviceSlots& slots, bool reloadContent);
HRESULT ReleaseDevices(DeviceSetup& app, DeviceSlots& slots, bool releaseDeviceObjects);

}  // namespace halvex::device
