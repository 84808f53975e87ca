// The family of GLSL programs that emulate the fixed-function pipeline: one
// program per combination of the states that change the code; everything
// numeric (matrices, lights, material, fog range, factors) is a uniform.
// Internal to platform/gfx.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/gfx/device_state.h"

namespace halvex::gfx {

struct ShaderKey {
  DWORD fvf = 0;
  std::uint8_t lighting = 0, colorVertex = 0, localViewer = 0, normalize = 0, specularEnable = 0;
  std::uint8_t diffuseSource = 0, ambientSource = 0, specularSource = 0, emissiveSource = 0;
  std::uint8_t fogEnable = 0, fogVertexMode = 0, fogTableMode = 0, rangeFog = 0;
  std::uint8_t alphaFunc = 0;  // 0 when alpha test is off
  std::uint8_t flat = 0;
  struct Stage {
    std::uint8_t colorOp, colorArg0, colorArg1, colorArg2;
    std::uint8_t alphaOp, alphaArg0, alphaArg1, alphaArg2;
    std::uint8_t resultArg, texCoordIndex;
  };
  std::array<Stage, kMaxTextureStages> stages{};

  static ShaderKey From(const DeviceState& state);
  std::string Bytes() const;  // map key
  std::string Describe() const;  // one line naming the variant, for messages
};

std::string VertexShaderSource(const ShaderKey& key);
std::string FragmentShaderSource(const ShaderKey& key);

}  // namespace halvex::gfx
