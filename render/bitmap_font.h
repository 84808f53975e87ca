// ASCII text drawn with textured quads: the 95 printable characters of a
// face rasterised once into one A4R4G4B4 alpha texture, then two triangles
// per character from a dynamic vertex buffer, in screen pixels, in
// normalised screen coordinates, or as flat 3D text in world space.
#pragma once

#include "platform/gfx/device.h"

namespace halvex::render {

using gfx::D3DCOLOR;
using gfx::DWORD;
using gfx::HRESULT;

inline constexpr DWORD kFontBold = 1;
inline constexpr DWORD kFontItalic = 2;
inline constexpr DWORD kTextCentered = 1;  // 3D text only
inline constexpr DWORD kTextTwoSided = 2;  // 3D text only
inline constexpr DWORD kTextFiltered = 4;

struct TextSize {
  int cx, cy;
};

// Glyph texture side for a point height: 1024 above 40, 512 above 20, else 256.
unsigned GlyphTextureSize(unsigned height);

class BitmapFont {
 public:
  static constexpr unsigned kBufferBytes = 8400;  // 300 screen vertices of 28 bytes

  BitmapFont(const char* faceName, unsigned height, DWORD flags);
  ~BitmapFont();
  BitmapFont(const BitmapFont&) = delete;
  BitmapFont& operator=(const BitmapFont&) = delete;

  HRESULT CreateGlyphTexture(gfx::Device* device);
  HRESULT RestoreBuffers(gfx::Device* device);
  HRESULT ReleaseBuffers();
  HRESULT ReleaseTexture();

  HRESULT MeasureText(const char* text, TextSize* size) const;
  HRESULT DrawText2D(float x, float y, D3DCOLOR colour, const char* text, DWORD flags);
  HRESULT DrawTextScaled(float x, float y, float z, float scaleX, float scaleY, D3DCOLOR colour,
                         const char* text, DWORD flags);
  HRESULT DrawText3D(const char* text, DWORD flags);

  // Set by the loader when the game runs software vertex processing: the
  // buffer then lives in system memory with software-processing usage.
  bool softwareProcessing = false;

  char faceName[80] = {};
  unsigned height;
  DWORD flags;
  gfx::Device* device = nullptr;
  gfx::VertexBuffer* vertexBuffer = nullptr;
  unsigned textureWidth = 0, textureHeight = 0;
  float textScale = 1.0f;
  float glyphCoords[96][4] = {};  // per code 32..127: left, top, right, bottom
  gfx::Texture* texture = nullptr;
  DWORD savedBlock = 0, drawBlock = 0;

 private:
  struct Layout;
  HRESULT DrawScreenText(const Layout& layout, D3DCOLOR colour, const char* text, DWORD flags);
  void RecordStates();
  // Back-buffer size, read when the buffers are restored.
  unsigned backBufferWidth_ = 0, backBufferHeight_ = 0;
};

}  // namespace halvex::render
