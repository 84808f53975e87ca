#include "render/bitmap_font.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "d3dutil/font/glyphs.h"

namespace halvex::render {

using namespace gfx;

namespace {

constexpr int kMaxScreenVertices = 294;  // flush past 98 triangles: 300 vertices fill 8400 bytes
constexpr int kMaxWorldChars = 43;       // 258 vertices of 32 bytes stay inside 8400 bytes

struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};
struct WorldVertex {
  float x, y, z, nx, ny, nz, u, v;
};

bool Drawable(unsigned char c) { return c >= 32 && c < 127; }

}  // namespace

struct BitmapFont::Layout {
  float sx, sy, z;
  float wScale, hScale;  // glyph size = texture-coordinate extent x scale
  float lineStep;
};

unsigned GlyphTextureSize(unsigned height) { return height > 40 ? 1024 : height > 20 ? 512 : 256; }

BitmapFont::BitmapFont(const char* face, unsigned height_, DWORD flags_) : height(height_), flags(flags_) {
  std::snprintf(faceName, sizeof faceName, "%s", face ? face : "");
}

BitmapFont::~BitmapFont() {
  ReleaseBuffers();
  ReleaseTexture();
}

HRESULT BitmapFont::CreateGlyphTexture(Device* dev) {
  if (!dev) return E_FAIL;
  device = dev;
  unsigned size = GlyphTextureSize(height);
  D3DCAPS8 caps{};
  device->GetDeviceCaps(&caps);
  if (caps.MaxTextureWidth && caps.MaxTextureWidth < size) {
    textScale = float(caps.MaxTextureWidth) / float(size);
    size = caps.MaxTextureWidth;
  }
  textureWidth = textureHeight = size;
  if (texture) texture->Release();
  texture = nullptr;
  HRESULT hr = device->CreateTexture(size, size, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture);
  if (FAILED(hr)) return hr;

  // A GDI height of -MulDiv(points, LOGPIXELSY * scale, 72) at 96 dots per inch.
  int dpi = static_cast<int>(96 * textScale);
  int pixels = static_cast<int>((static_cast<long long>(height) * dpi + 36) / 72);
  auto raster = d3dutil::GlyphRasterizer::Open(faceName, pixels, flags & kFontBold, flags & kFontItalic);
  if (!raster) return E_FAIL;

  std::vector<unsigned char> cover(size_t(size) * size, 0);
  int x = 0, y = 0;
  const int cy = raster->lineHeight();
  for (int c = 32; c < 127; ++c) {
    d3dutil::GlyphBitmap g = raster->Render(static_cast<std::uint32_t>(c));
    int cx = g.advance;
    if (x + cx + 1 > static_cast<int>(size)) {
      x = 0;
      y += cy + 1;
    }
    for (int gy = 0; gy < g.height; ++gy) {
      int ty = y + raster->ascent() + g.top + gy;
      for (int gx = 0; gx < g.width; ++gx) {
        int tx = x + g.left + gx;
        // Ink is kept inside the glyph's own cell, as GDI's opaque cells did,
        // so an italic overhang never shows up at the edge of a neighbour.
        if (tx < x || tx >= x + cx || ty < y || ty >= y + cy) continue;
        if (tx >= static_cast<int>(size) || ty >= static_cast<int>(size)) continue;
        unsigned char& dst = cover[size_t(ty) * size + tx];
        dst = std::max(dst, g.coverage[size_t(gy) * g.width + gx]);
      }
    }
    float* coords = glyphCoords[c - 32];
    coords[0] = float(x) / size;
    coords[1] = float(y) / size;
    coords[2] = float(x + cx) / size;
    coords[3] = float(y + cy) / size;
    x += cx + 1;
  }

  D3DLOCKED_RECT locked{};
  hr = texture->LockRect(0, &locked, nullptr, 0);
  if (FAILED(hr)) return hr;
  for (unsigned ty = 0; ty < size; ++ty) {
    auto* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(locked.pBits) + size_t(ty) * locked.Pitch);
    for (unsigned tx = 0; tx < size; ++tx) {
      unsigned a = cover[size_t(ty) * size + tx] >> 4;
      row[tx] = a == 0 ? 0 : static_cast<WORD>((a << 12) | 0x0fff);  // white with 4-bit alpha
    }
  }
  texture->UnlockRect(0);
  return S_OK;
}

void BitmapFont::RecordStates() {
  for (DWORD* block : {&savedBlock, &drawBlock}) {
    device->BeginStateBlock();
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 8);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    device->SetRenderState(D3DRS_CLIPPING, TRUE);
    device->SetRenderState(D3DRS_EDGEANTIALIAS, FALSE);
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->EndStateBlock(block);
  }
}

HRESULT BitmapFont::RestoreBuffers(Device* dev) {
  if (!dev) return E_FAIL;
  device = dev;
  D3DDISPLAYMODE mode{};
  device->GetDisplayMode(&mode);
  backBufferWidth_ = mode.Width;
  backBufferHeight_ = mode.Height;
  DWORD usage = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC | (softwareProcessing ? D3DUSAGE_SOFTWAREPROCESSING : 0);
  D3DPOOL pool = softwareProcessing ? D3DPOOL_SYSTEMMEM : D3DPOOL_DEFAULT;
  if (vertexBuffer) vertexBuffer->Release();
  vertexBuffer = nullptr;
  HRESULT hr = device->CreateVertexBuffer(kBufferBytes, usage, 0, pool, &vertexBuffer);
  if (FAILED(hr)) return hr;
  RecordStates();
  return S_OK;
}

HRESULT BitmapFont::ReleaseBuffers() {
  if (vertexBuffer) vertexBuffer->Release();
  vertexBuffer = nullptr;
  if (device) {
    if (savedBlock) device->DeleteStateBlock(savedBlock);
    if (drawBlock) device->DeleteStateBlock(drawBlock);
  }
  savedBlock = drawBlock = 0;
  return S_OK;
}

HRESULT BitmapFont::ReleaseTexture() {
  if (texture) texture->Release();
  texture = nullptr;
  device = nullptr;
  return S_OK;
}

HRESULT BitmapFont::MeasureText(const char* text, TextSize* size) const {
  if (!text || !size) return E_FAIL;
  const float rowHeight = (glyphCoords[0][3] - glyphCoords[0][1]) * textureHeight;
  float widest = 0, row = 0, total = rowHeight;
  for (const char* p = text; *p; ++p) {
    auto c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      widest = std::max(widest, row);
      row = 0;
      total += rowHeight;
    } else if (Drawable(c)) {
      row += (glyphCoords[c - 32][2] - glyphCoords[c - 32][0]) * textureWidth;
    }
  }
  size->cx = static_cast<int>(std::max(widest, row));
  size->cy = static_cast<int>(total);
  return S_OK;
}

HRESULT BitmapFont::DrawScreenText(const Layout& l, D3DCOLOR colour, const char* text, DWORD drawFlags) {
  if (!device || !vertexBuffer || !text) return E_FAIL;
  device->SetStreamSource(0, vertexBuffer, sizeof(ScreenVertex));
  if (drawFlags & kTextFiltered) {
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  }
  BYTE* data = nullptr;
  if (FAILED(vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD))) return E_FAIL;
  auto* v = reinterpret_cast<ScreenVertex*>(data);
  int count = 0;
  float sx = l.sx, sy = l.sy;
  for (const char* p = text; *p; ++p) {
    auto c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      sx = l.sx;
      sy += l.lineStep;
      continue;
    }
    if (!Drawable(c)) continue;
    const float* g = glyphCoords[c - 32];
    float w = (g[2] - g[0]) * l.wScale, h = (g[3] - g[1]) * l.hScale;
    float x0 = sx - 0.5f, y0 = sy - 0.5f, x1 = sx + w - 0.5f, y1 = sy + h - 0.5f;
    const ScreenVertex quad[6] = {{x0, y0, l.z, 1, colour, g[0], g[1]}, {x1, y0, l.z, 1, colour, g[2], g[1]},
                                  {x0, y1, l.z, 1, colour, g[0], g[3]}, {x0, y1, l.z, 1, colour, g[0], g[3]},
                                  {x1, y0, l.z, 1, colour, g[2], g[1]}, {x1, y1, l.z, 1, colour, g[2], g[3]}};
    std::memcpy(v + count, quad, sizeof quad);
    count += 6;
    sx += w;
    if (count > kMaxScreenVertices) {
      vertexBuffer->Unlock();
      device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, count / 3);
      count = 0;
      if (FAILED(vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD))) return E_FAIL;
      v = reinterpret_cast<ScreenVertex*>(data);
    }
  }
  vertexBuffer->Unlock();
  if (count > 0) device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, count / 3);
  return S_OK;
}

HRESULT BitmapFont::DrawText2D(float x, float y, D3DCOLOR colour, const char* text, DWORD drawFlags) {
  const float rowHeight = (glyphCoords[0][3] - glyphCoords[0][1]) * textureHeight / textScale;
  Layout l{x, y, 0.9f, textureWidth / textScale, textureHeight / textScale, rowHeight};
  return DrawScreenText(l, colour, text, drawFlags);
}

// The origin swaps the back-buffer sides (x by the height, y by the width)
// exactly as the welcome banner was laid out against.
HRESULT BitmapFont::DrawTextScaled(float x, float y, float z, float scaleX, float scaleY, D3DCOLOR colour,
                                   const char* text, DWORD drawFlags) {
  const float lineHeight = (glyphCoords[0][3] - glyphCoords[0][1]) * textureHeight;
  if (lineHeight <= 0) return DrawScreenText({0, 0, z, 0, 0, 0}, colour, text, drawFlags);
  const float bbW = float(backBufferWidth_), bbH = float(backBufferHeight_);
  Layout l{(x + 1) * bbH / 2,
           (y - 1) * bbW / 2,
           z,
           textureWidth / textScale * (bbW * scaleX / lineHeight),
           textureHeight / textScale * (bbW * scaleY / lineHeight),
           bbW * scaleY};
  return DrawScreenText(l, colour, text, drawFlags);
}

HRESULT BitmapFont::DrawText3D(const char* text, DWORD drawFlags) {
  if (!device || !vertexBuffer || !text) return E_FAIL;
  device->SetStreamSource(0, vertexBuffer, sizeof(WorldVertex));
  if (drawFlags & kTextFiltered) {
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  }
  float startX = 0, y = 0;
  if (drawFlags & kTextCentered) {
    TextSize size{};
    MeasureText(text, &size);
    startX = -(size.cx / 10.0f) / 2;
    y = -(size.cy / 10.0f) / 2;
  }
  if (drawFlags & kTextTwoSided) device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  const float rowHeight = (glyphCoords[0][3] - glyphCoords[0][1]) * textureHeight;
  BYTE* data = nullptr;
  if (FAILED(vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD))) return E_FAIL;
  auto* v = reinterpret_cast<WorldVertex*>(data);
  int chars = 0;
  float x = startX;
  for (const char* p = text; *p; ++p) {
    auto c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      x = startX;
      y -= rowHeight / 10;
      continue;
    }
    if (!Drawable(c)) continue;
    const float* g = glyphCoords[c - 32];
    float w = (g[2] - g[0]) * textureWidth / (10 * textScale);
    float h = (g[3] - g[1]) * textureHeight / (10 * textScale);
    const WorldVertex quad[6] = {{x, y + h, 0, 0, 0, -1, g[0], g[1]},     {x + w, y + h, 0, 0, 0, -1, g[2], g[1]},
                                 {x, y, 0, 0, 0, -1, g[0], g[3]},         {x, y, 0, 0, 0, -1, g[0], g[3]},
                                 {x + w, y + h, 0, 0, 0, -1, g[2], g[1]}, {x + w, y, 0, 0, 0, -1, g[2], g[3]}};
    std::memcpy(v + chars * 6, quad, sizeof quad);
    ++chars;
    x += w;
    if (chars == kMaxWorldChars) {
      vertexBuffer->Unlock();
      device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, chars * 2);
      chars = 0;
      if (FAILED(vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD))) return E_FAIL;
      v = reinterpret_cast<WorldVertex*>(data);
    }
  }
  vertexBuffer->Unlock();
  if (chars > 0) device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, chars * 2);
  return S_OK;
}

}  // namespace halvex::render
