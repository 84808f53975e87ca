// Effect files: techniques of passes that set texture-stage and render states,
// with texture parameters bound by name (the game names them by four-
// character codes, tex0 and tex1). Text format, one statement per line:
//   # comment
//   texture <parameter>
//   technique <name>
//   pass <name> ... end
//   stage <n> [texture <parameter>] [colorop|alphaop <op>]
//             [colorarg0|colorarg1|colorarg2|alphaarg0|alphaarg1|alphaarg2 <arg>]
//             [texcoord <set>] [resultarg <arg>] [addressu|addressv <mode>]
//             [minfilter|magfilter|mipfilter <filter>]
//   state <render state> <value>
// Ops, args and values by their fixed-function names without prefix, in any
// case (modulate, texture, srcalpha, true, ...), or as numbers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace halvex::d3dutil {

using gfx::DWORD;
using gfx::HRESULT;
using gfx::UINT;

constexpr DWORD MakeFourCC(const char (&code)[5]) {
  return DWORD(std::uint8_t(code[0])) | DWORD(std::uint8_t(code[1])) << 8 | DWORD(std::uint8_t(code[2])) << 16 |
         DWORD(std::uint8_t(code[3])) << 24;
}

// What the compiler hands to CreateEffect: the checked effect in a buffer.
class EffectBuffer {
 public:
  const void* GetBufferPointer() const { return bytes_.data(); }
  DWORD GetBufferSize() const { return static_cast<DWORD>(bytes_.size()); }
  void Release() { delete this; }

 private:
  friend HRESULT CompileEffectFromFile(const std::string&, EffectBuffer**, std::string*);
  friend HRESULT CompileEffect(const std::string&, EffectBuffer**, std::string*);
  std::string bytes_;
};

// Compiles effect text; errors (with line numbers) go to *errors when given.
HRESULT CompileEffect(const std::string& text, EffectBuffer** out, std::string* errors = nullptr);
HRESULT CompileEffectFromFile(const std::string& path, EffectBuffer** out, std::string* errors = nullptr);

struct EffectData;

class Technique {
 public:
  HRESULT Validate();                // can this device run every pass?
  HRESULT Begin(UINT* passes);       // saves the device's states
  HRESULT Pass(UINT pass);           // sets the pass's states and textures
  HRESULT End();                     // restores the saved states
  void Release() { delete this; }

 private:
  friend class Effect;
  Technique(std::shared_ptr<EffectData> data, UINT index) : data_(std::move(data)), index_(index) {}
  std::shared_ptr<EffectData> data_;
  UINT index_;
  DWORD savedBlock_ = 0;
};

class Effect {
 public:
  static HRESULT Create(gfx::Device* device, const void* compiled, UINT size, DWORD usage, Effect** out);
  UINT GetTechniqueCount() const;
  HRESULT GetTechnique(UINT index, Technique** out);
  HRESULT SetTexture(DWORD parameter, gfx::Texture* texture);  // parameter: a four-character code
  void Release() { delete this; }
  ~Effect();

 private:
  explicit Effect(std::shared_ptr<EffectData> data) : data_(std::move(data)) {}
  std::shared_ptr<EffectData> data_;
};

}  // namespace halvex::d3dutil
