// The fixed-function state both backends share, and the state blocks that
// record, capture and apply parts of it. Internal to platform/gfx.
#pragma once

#include <array>
#include <bitset>
#include <cstring>

#include "platform/gfx/d3d8types.h"

namespace halvex::gfx {

class Texture;

inline constexpr DWORD kTransformSlots = 5;  // world, view, projection, texture0, texture1
int TransformSlot(D3DTRANSFORMSTATETYPE kind);  // -1 for kinds the device does not keep

struct DeviceState {
  std::array<DWORD, kMaxRenderState> renderStates{};
  std::array<std::array<DWORD, kMaxTextureStageState>, kMaxTextureStages> stageStates{};
  std::array<D3DMATRIX, kTransformSlots> transforms{};
  std::array<D3DLIGHT8, kMaxLights> lights{};
  std::array<BOOL, kMaxLights> lightEnabled{};
  D3DMATERIAL8 material{};
  std::array<Texture*, kMaxTextureStages> textures{};  // references held by the device
  D3DVIEWPORT8 viewport{};
  DWORD fvf = 0;

  // Direct3D 8's documented defaults; viewport covers the given target.
  void SetDefaults(UINT targetWidth, UINT targetHeight);
};

// Which parts of DeviceState a block covers.
struct StateMask {
  std::bitset<kMaxRenderState> renderStates;
  std::array<std::bitset<kMaxTextureStageState>, kMaxTextureStages> stageStates;
  std::bitset<kTransformSlots> transforms;
  std::bitset<kMaxLights> lights;
  std::bitset<kMaxLights> lightEnabled;
  std::bitset<kMaxTextureStages> textures;
  bool material = false;
  bool viewport = false;
  bool fvf = false;

  void SetAll();
};

struct StateBlock {
  StateMask mask;
  DeviceState values;  // only the masked parts are meaningful
};

// Copies the masked parts of from into to. Texture references are adjusted.
void CopyMaskedState(const StateMask& mask, const DeviceState& from, DeviceState* to);

inline D3DMATRIX IdentityMatrix() {
  D3DMATRIX m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

inline float DwordToFloat(DWORD bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
inline DWORD FloatToDword(float f) {
  DWORD bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

}  // namespace halvex::gfx
