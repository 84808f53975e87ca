// The utility library's text font: the loading screen's lines and the chat
// line. Text is drawn into a rectangle with GDI-style format flags (left,
// centred or right; top, vertically centred or bottom; word wrap). Codes
// from 32 up are drawn; a code the face has no glyph for (0x7F..0x9F
// included, e.g. 0x80) is drawn as a bar, so no typed character vanishes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace halvex::d3dutil {

using gfx::D3DCOLOR;
using gfx::DWORD;
using gfx::HRESULT;

inline constexpr DWORD DT_TOP = 0x000;
inline constexpr DWORD DT_LEFT = 0x000;
inline constexpr DWORD DT_CENTER = 0x001;
inline constexpr DWORD DT_RIGHT = 0x002;
inline constexpr DWORD DT_VCENTER = 0x004;
inline constexpr DWORD DT_BOTTOM = 0x008;
inline constexpr DWORD DT_WORDBREAK = 0x010;
inline constexpr DWORD DT_SINGLELINE = 0x020;
inline constexpr DWORD DT_NOCLIP = 0x100;
inline constexpr DWORD DT_CALCRECT = 0x400;

// The LOGFONT fields the game fills: height (positive: cell height in
// pixels; negative: character height) and face name.
struct LogFont {
  int height = 0;
  char faceName[32] = {};
  bool bold = false;
  bool italic = false;
};

class TextFont {
 public:
  // D3DXCreateFontIndirect: rasterises the face into a managed texture.
  static HRESULT Create(gfx::Device* device, const LogFont& font, TextFont** out);

  // Returns the height of the drawn (or, with DT_CALCRECT, measured) text in
  // pixels, 0 on failure. count < 0 means up to the terminating zero.
  int DrawText(const char* text, int count, gfx::RECT* rect, DWORD format, D3DCOLOR colour);
  int lineHeight() const { return lineHeight_; }
  // Width in pixels of one line of text, as DrawText lays it out.
  int TextWidth(const std::string& line) const;

  HRESULT OnLostDevice() { return gfx::S_OK; }   // the glyph texture is managed
  HRESULT OnResetDevice() { return gfx::S_OK; }
  void Release();
  ~TextFont();

 private:
  struct Glyph {
    float u0, v0, u1, v1;
    int width, advance, left;
  };
  struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
  };
  TextFont() = default;
  const Glyph& GlyphOf(unsigned char c) const;
  void DrawLine(const std::string& line, float x, float y, const gfx::RECT& clip, bool noClip,
                D3DCOLOR colour, std::vector<Vertex>* batch);

  gfx::Device* device_ = nullptr;
  gfx::Texture* texture_ = nullptr;
  unsigned textureSize_ = 0;
  int lineHeight_ = 0;
  Glyph glyphs_[256] = {};
  Glyph bar_{};
};

}  // namespace halvex::d3dutil
