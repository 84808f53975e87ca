#include "d3dutil/font/text_font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "d3dutil/font/glyphs.h"

namespace halvex::d3dutil {

using namespace gfx;

namespace {

// Windows-1252 text: codes 0xA0..0xFF are Latin-1 code points; the
// 0x80..0x9F block has no glyph of its own here and shows as the bar.
bool HasOwnGlyph(unsigned char c) { return c >= 32 && c != 0x7F && !(c >= 0x80 && c < 0xA0); }

// Splits text into lines at "\n" (unless single-line) and, with word
// wrapping, at spaces so that no line exceeds the width.
std::vector<std::string> LayoutLines(const std::string& text, DWORD format, int width,
                                     const auto& measure) {
  std::vector<std::string> lines;
  std::string current;
  auto flushWords = [&](const std::string& paragraph) {
    if (!(format & DT_WORDBREAK)) {
      lines.push_back(paragraph);
      return;
    }
    std::string line;
    size_t i = 0;
    while (i <= paragraph.size()) {
      size_t end = paragraph.find(' ', i);
      if (end == std::string::npos) end = paragraph.size();
      std::string word = paragraph.substr(i, end - i);
      std::string candidate = line.empty() ? word : line + " " + word;
      if (!line.empty() && measure(candidate) > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
      i = end + 1;
    }
    lines.push_back(line);
  };
  for (char c : text) {
    if (c == '\n' && !(format & DT_SINGLELINE)) {
      flushWords(current);
      current.clear();
    } else if (c != '\r' && c != '\n') {
      current += c;
    }
  }
  flushWords(current);
  return lines;
}

}  // namespace

HRESULT TextFont::Create(Device* device, const LogFont& font, TextFont** out) {
  if (!device || !out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  int cell = std::abs(font.height ? font.height : 16);
  auto raster = GlyphRasterizer::Open(font.faceName, cell, font.bold, font.italic);
  if (!raster) return E_FAIL;
  if (font.height > 0 && raster->lineHeight() > cell) {
    // A positive height is the whole cell: shrink the em until the cell fits.
    int em = std::max(1, cell * cell / raster->lineHeight());
    raster = GlyphRasterizer::Open(font.faceName, em, font.bold, font.italic);
    if (!raster) return E_FAIL;
  }
  std::unique_ptr<TextFont> f(new TextFont);
  f->device_ = device;
  f->lineHeight_ = raster->lineHeight();
  f->textureSize_ = f->lineHeight_ > 40 ? 1024 : 512;
  const unsigned size = f->textureSize_;
  HRESULT hr = device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &f->texture_);
  if (FAILED(hr)) return hr;
  std::vector<D3DCOLOR> pixels(size_t(size) * size, 0x00FFFFFF);
  int x = 1, y = 1;
  const int h = f->lineHeight_;
  auto place = [&](int width, Glyph* g) {
    if (x + width + 1 > static_cast<int>(size)) {
      x = 1;
      y += h + 1;
    }
    g->u0 = float(x) / size;
    g->v0 = float(y) / size;
    g->u1 = float(x + width) / size;
    g->v1 = float(y + h) / size;
    g->width = width;
    int left = x;
    x += width + 1;
    return left;
  };
  for (int c = 32; c < 256; ++c) {
    auto uc = static_cast<unsigned char>(c);
    if (!HasOwnGlyph(uc) || !raster->HasGlyph(uc)) continue;
    GlyphBitmap bm = raster->Render(uc);
    // The cell spans the ink and the advance, whichever reaches further.
    int left = std::min(0, bm.left);
    int width = std::max(bm.advance, bm.left + bm.width) - left;
    Glyph& g = f->glyphs_[c];
    int cellX = place(width, &g);
    g.advance = bm.advance;
    g.left = left;
    if (y + h >= static_cast<int>(size)) break;
    for (int gy = 0; gy < bm.height; ++gy)
      for (int gx = 0; gx < bm.width; ++gx) {
        int tx = cellX + bm.left - left + gx, ty = y + raster->ascent() + bm.top + gy;
        // Ink stays inside the glyph's own cell: an accent or descender that
        // reaches past the line would otherwise show on a neighbour's quad.
        if (tx < cellX || tx >= cellX + width || ty < y || ty >= y + h) continue;
        if (tx >= static_cast<int>(size) || ty >= static_cast<int>(size)) continue;
        pixels[size_t(ty) * size + tx] = D3DCOLOR(bm.coverage[size_t(gy) * bm.width + gx]) << 24 | 0xFFFFFF;
      }
  }
  // The bar: a solid upright block from the cap line to the baseline.
  int barWidth = std::max(2, h / 6);
  int barX = place(barWidth + 2, &f->bar_);
  f->bar_.advance = barWidth + 2;
  for (int ty = y + h / 6; ty < y + raster->ascent() && ty < static_cast<int>(size); ++ty)
    for (int tx = barX + 1; tx < barX + 1 + barWidth; ++tx) pixels[size_t(ty) * size + tx] = 0xFFFFFFFF;

  D3DLOCKED_RECT locked{};
  if (FAILED(f->texture_->LockRect(0, &locked, nullptr, 0))) return E_FAIL;
  for (unsigned row = 0; row < size; ++row)
    std::copy_n(&pixels[size_t(row) * size], size,
                reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + size_t(row) * locked.Pitch));
  f->texture_->UnlockRect(0);
  *out = f.release();
  return S_OK;
}

TextFont::~TextFont() {
  if (texture_) texture_->Release();
}

void TextFont::Release() { delete this; }

const TextFont::Glyph& TextFont::GlyphOf(unsigned char c) const {
  if (c < 32) return glyphs_[0];  // control codes take no room
  return glyphs_[c].advance > 0 || glyphs_[c].width > 0 || c == ' ' ? glyphs_[c] : bar_;
}

int TextFont::TextWidth(const std::string& line) const {
  int w = 0;
  for (char c : line) w += GlyphOf(static_cast<unsigned char>(c)).advance;
  return w;
}

void TextFont::DrawLine(const std::string& line, float x, float y, const RECT& clip, bool noClip,
                        D3DCOLOR colour, std::vector<Vertex>* batch) {
  for (char ch : line) {
    const Glyph& g = GlyphOf(static_cast<unsigned char>(ch));
    if (g.width > 0) {
      float x0 = x + g.left - 0.5f, y0 = y - 0.5f, x1 = x0 + g.width, y1 = y0 + lineHeight_;
      bool inside = noClip || (x1 > clip.left && x0 < clip.right && y1 > clip.top && y0 < clip.bottom);
      if (inside) {
        const Vertex q[6] = {{x0, y0, 0, 1, colour, g.u0, g.v0}, {x1, y0, 0, 1, colour, g.u1, g.v0},
                             {x0, y1, 0, 1, colour, g.u0, g.v1}, {x0, y1, 0, 1, colour, g.u0, g.v1},
                             {x1, y0, 0, 1, colour, g.u1, g.v0}, {x1, y1, 0, 1, colour, g.u1, g.v1}};
        batch->insert(batch->end(), q, q + 6);
      }
    }
    x += g.advance;
  }
}

int TextFont::DrawText(const char* text, int count, RECT* rect, DWORD format, D3DCOLOR colour) {
  if (!text || !rect) return 0;
  std::string s = count < 0 ? std::string(text) : std::string(text, strnlen(text, size_t(count)));
  auto measure = [this](const std::string& line) { return TextWidth(line); };
  int width = rect->right - rect->left;
  std::vector<std::string> lines = LayoutLines(s, format, width, measure);
  const int total = lineHeight_ * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const auto& l : lines) widest = std::max(widest, TextWidth(l));
    if (!(format & DT_WORDBREAK) || widest > width) rect->right = rect->left + widest;
    rect->bottom = rect->top + total;
    return total;
  }
  float y = float(rect->top);
  if (format & DT_VCENTER) y = rect->top + (rect->bottom - rect->top - total) / 2.0f;
  if (format & DT_BOTTOM) y = float(rect->bottom - total);
  std::vector<Vertex> batch;
  for (const auto& line : lines) {
    int lw = TextWidth(line);
    float x = float(rect->left);
    if (format & DT_CENTER) x = rect->left + (width - lw) / 2.0f;
    if (format & DT_RIGHT) x = float(rect->right - lw);
    DrawLine(line, std::floor(x), std::floor(y), *rect, format & DT_NOCLIP, colour, &batch);
    y += lineHeight_;
  }
  if (batch.empty()) return total;

  // Draw with our own states and give the caller's back afterwards.
  DWORD saved = 0;
  device_->CreateStateBlock(D3DSBT_ALL, &saved);
  device_->SetTexture(0, texture_);
  device_->SetTexture(1, nullptr);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  device_->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  device_->SetRenderState(D3DRS_FOGENABLE, FALSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
  device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
  device_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
  device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(batch.size() / 3), batch.data(), sizeof(Vertex));
  if (saved) {
    device_->ApplyStateBlock(saved);
    device_->DeleteStateBlock(saved);
  }
  return total;
}

}  // namespace halvex::d3dutil
