// Glyph rasterisation for the game's fonts. The game names Windows faces
// ("MS Sans Serif", "Impact", "Arial", "Diploma", "Fixedsys"); each is mapped
// to an installed font file with fallbacks, never left to fontconfig's own
// guess (which can pick a symbol font for an unknown name).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace halvex::d3dutil {

// The font file used for a face name ("" when none at all is installed).
std::string FontFileForFace(const std::string& faceName, bool bold, bool italic);

struct GlyphBitmap {
  int width = 0, height = 0;   // of the coverage bitmap
  int left = 0, top = 0;       // offset from the pen position to the bitmap's top-left, y down
  int advance = 0;             // pen advance in pixels
  std::vector<std::uint8_t> coverage;  // 0..255, width * height
};

class GlyphRasterizer {
 public:
  // pixelHeight: the em height in pixels (a GDI font height of -pixelHeight).
  static std::unique_ptr<GlyphRasterizer> Open(const std::string& faceName, int pixelHeight, bool bold,
                                               bool italic);
  ~GlyphRasterizer();

  // Line metrics in pixels: ascent above the baseline, total cell height.
  int ascent() const { return ascent_; }
  int lineHeight() const { return lineHeight_; }
  bool HasGlyph(std::uint32_t codepoint) const;
  // Anti-aliased glyph of a Unicode code point (missing glyphs come back empty, advance 0).
  GlyphBitmap Render(std::uint32_t codepoint) const;

 private:
  GlyphRasterizer() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int ascent_ = 0, lineHeight_ = 0;
};

}  // namespace halvex::d3dutil
