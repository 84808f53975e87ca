// Device objects: the state blocks, the environment render target, the chat
// font, global render states and transforms that every device reset must
// rebuild, in their fixed order, and the lights set each frame. Content
// (meshes and their device copies, textures, fonts' glyphs) is loaded
// elsewhere; the hooks below let the content side restore and release its
// device copies at the right moments.
#pragma once

#include <array>

#include "d3dutil/font/text_font.h"
#include "platform/gfx/device.h"
#include "render/bitmap_font.h"

namespace halvex::render {

using gfx::D3DMATRIX;
using gfx::D3DVECTOR;

inline constexpr float kFogStart = 800.0f;
inline constexpr float kFogEnd = 1500.0f;
inline constexpr float kNearPlane = 1.0f;
inline constexpr float kFarPlane = 20000.0f;

// The four text fonts, created by the loading sequence.
struct GameFonts {
  BitmapFont* messageFont = nullptr;
  BitmapFont* titleFont = nullptr;
  BitmapFont* bannerFont = nullptr;
  BitmapFont* statusFont = nullptr;
};

// What the state blocks take from the loaded content.
struct BlockContent {
  std::array<gfx::D3DMATERIAL8, 3> weaponMaterial{};       // subset 0 of pistol, rocket3, shotgun1
  std::array<gfx::Texture*, 3> weaponTexture{};            // their stage-0 textures
  gfx::Texture* bloodTexture = nullptr;                    // textures\blood.dds
};

// The content side's device copies (meshes): restored after the fonts and
// released after the environment target, as the reset order requires.
class DeviceCopies {
 public:
  virtual void RestoreMeshes(gfx::Device* device) = 0;
  virtual void ReleaseMeshes() = 0;

 protected:
  ~DeviceCopies() = default;
};

// Options that shape the device objects (from the Settings record).
struct DeviceObjectOptions {
  bool lighting = true;
  bool specularHighlights = true;
  bool textureFiltering = true;
  bool mipMapping = false;
  float fieldOfView = 0.7854f;  // radians
  float aspect = 4.0f / 3.0f;
};

struct DeviceObjects {
  // The twelve state blocks, in recording order.
  gfx::DWORD baseBlock = 0, alphaBlendBlock = 0, pistolBlock = 0, rocketBlock = 0, shotgunBlock = 0,
             glowBlock = 0, additiveBlock = 0, multiplyBlock = 0, clampBlock = 0, wrapBlock = 0,
             bloodBlock = 0, fogOffBlock = 0;
  gfx::Texture* environmentTexture = nullptr;
  gfx::Surface* environmentDepth = nullptr;
  d3dutil::TextFont* chatFont = nullptr;  // "Impact", height 24
  D3DMATRIX projection{};                 // the copy kept for the frame
};

// The device part of InitDeviceObjects, its steps in their fixed order.
gfx::HRESULT RestoreDeviceObjects(gfx::Device* device, const GameFonts& fonts, DeviceCopies* copies,
                                  const BlockContent& content, const DeviceObjectOptions& options,
                                  DeviceObjects* objects);
// InvalidateDeviceObjects; safe to run twice.
void InvalidateDeviceObjects(gfx::Device* device, const GameFonts& fonts, DeviceCopies* copies,
                             DeviceObjects* objects);

// Left-handed perspective: w = z in camera space, depth 0..1 from near to far.
D3DMATRIX PerspectiveFovLH(float fovY, float aspect, float zn, float zf);

// The match's projection aspect. As designed the view is square (aspect 1,
// the same field across and up, whatever the screen); with the player's
// "correct aspect" the vertical field stays and the horizontal one follows
// the screen's shape, so a wide screen sees more to the sides, unstretched.
float ProjectionAspect(bool correctAspect, int screenWidth, int screenHeight);

// What SetupLights reads from the match.
struct LightInputs {
  D3DVECTOR sunVector{0, 1, 0};
  float sunHeight = 0;
  int gameState = 0;             // 10 or more: the local player is dead
  D3DMATRIX cameraView{};        // turns world directions into camera space
  float t1 = 0, t2 = 0;          // two successive clock readings in ms, divided by 350
  bool presentationScreen = false;
  bool debugMeshScan = false;
};

// The ambient colour values SetupLights computes; the frame reuses them.
struct AmbientLevels {
  float red = 40, green = 40, blue = 60;
};

// An opaque ambient colour from the levels, each channel raised by `add`
// and kept to 0..255.
gfx::DWORD AmbientColour(const AmbientLevels& levels, float add = 0.0f);

// Sets the sun (light 0), the moving fill light (6) and the ambient level.
AmbientLevels SetupLights(gfx::Device* device, const LightInputs& in);

}  // namespace halvex::render
