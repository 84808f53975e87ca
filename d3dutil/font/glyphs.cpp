#include "d3dutil/font/glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace halvex::d3dutil {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Every installed font file by base name, from fontconfig's list.
const std::map<std::string, std::string>& InstalledFonts() {
  static std::map<std::string, std::string> files;
  static std::once_flag once;
  std::call_once(once, [] {
    FcInit();
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    for (int i = 0; set && i < set->nfont; ++i) {
      FcChar8* file = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
      std::string path = reinterpret_cast<const char*>(file);
      files.emplace(path.substr(path.find_last_of('/') + 1), path);
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
  });
  return files;
}

// Candidate files per face, best first. Bold variants are chosen where the
// game's face is bold by design (Impact) or asked bold.
std::vector<std::string> Candidates(const std::string& face, bool bold, bool italic) {
  std::string f = Lower(face);
  const char* sansStyle = bold ? (italic ? "-BoldOblique" : "-Bold") : (italic ? "-Oblique" : "");
  const char* libStyle = bold ? (italic ? "-BoldItalic" : "-Bold") : (italic ? "-Italic" : "-Regular");
  // Impact is a tall, narrow display face: the narrowest bold sans first, so
  // that headings set 60 pixels apart do not run into each other.
  if (f == "impact")
    return {"NimbusSansNarrow-Bold.otf", "DejaVuSansCondensed-Bold.ttf", "LiberationSansNarrow-Bold.ttf", "LiberationSans-Bold.ttf",
            "DejaVuSans-Bold.ttf"};
  if (f == "diploma")
    return {"DejaVuSerifCondensed-BoldItalic.ttf", "LiberationSerif-BoldItalic.ttf", "DejaVuSerif-Bold.ttf",
            "DejaVuSans-Bold.ttf"};
  if (f == "fixedsys" || f == "courier" || f == "courier new")
    return {std::string("DejaVuSansMono") + sansStyle + ".ttf", std::string("LiberationMono") + libStyle + ".ttf",
            "DejaVuSansMono.ttf"};
  // Arial, MS Sans Serif and anything unknown: a clean sans.
  return {std::string("LiberationSans") + libStyle + ".ttf", std::string("DejaVuSans") + sansStyle + ".ttf",
          "LiberationSans-Regular.ttf", "DejaVuSans.ttf"};
}

std::mutex gFreeTypeMutex;  // FT_Library is not thread-safe; faces are opened rarely

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    FT_Init_FreeType(&l);
    return l;
  }();
  return library;
}

}  // namespace

std::string FontFileForFace(const std::string& faceName, bool bold, bool italic) {
  const auto& installed = InstalledFonts();
  for (const std::string& name : Candidates(faceName, bold, italic)) {
    auto it = installed.find(name);
    if (it != installed.end()) return it->second;
  }
  // Nothing we know: any scalable font at all beats no text.
  for (const auto& [name, path] : installed)
    if (name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".ttf") return path;
  return {};
}

struct GlyphRasterizer::Impl {
  FT_Face face = nullptr;
  bool emboldenSynthetic = false;
  ~Impl() {
    std::lock_guard<std::mutex> lock(gFreeTypeMutex);
    if (face) FT_Done_Face(face);
  }
};

std::unique_ptr<GlyphRasterizer> GlyphRasterizer::Open(const std::string& faceName, int pixelHeight, bool bold,
                                                       bool italic) {
  if (pixelHeight <= 0 || pixelHeight > 1024) return nullptr;
  std::string file = FontFileForFace(faceName, bold, italic);
  if (file.empty()) return nullptr;
  std::unique_ptr<GlyphRasterizer> r(new GlyphRasterizer);
  r->impl_ = std::make_unique<Impl>();
  std::lock_guard<std::mutex> lock(gFreeTypeMutex);
  if (!Library() || FT_New_Face(Library(), file.c_str(), 0, &r->impl_->face) != 0) return nullptr;
  FT_Face face = r->impl_->face;
  // GDI's negative height is the em height: the same as FreeType's pixel size.
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) return nullptr;
  r->impl_->emboldenSynthetic = bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
  r->ascent_ = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  int descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
  r->lineHeight_ = r->ascent_ + descent;
  return r;
}

GlyphRasterizer::~GlyphRasterizer() = default;

bool GlyphRasterizer::HasGlyph(std::uint32_t codepoint) const {
  return FT_Get_Char_Index(impl_->face, codepoint) != 0;
}

GlyphBitmap GlyphRasterizer::Render(std::uint32_t codepoint) const {
  GlyphBitmap g;
  std::lock_guard<std::mutex> lock(gFreeTypeMutex);
  FT_Face face = impl_->face;
  FT_UInt index = FT_Get_Char_Index(face, codepoint);
  if (index == 0) return g;
  // Outlines only: embedded bitmaps would bypass anti-aliasing.
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL) != 0) return g;
  if (impl_->emboldenSynthetic) FT_GlyphSlot_Embolden(face->glyph);
  if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return g;
  const FT_Bitmap& bm = face->glyph->bitmap;
  g.width = static_cast<int>(bm.width);
  g.height = static_cast<int>(bm.rows);
  g.left = face->glyph->bitmap_left;
  g.top = -face->glyph->bitmap_top;
  g.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
  g.coverage.resize(size_t(g.width) * g.height);
  for (int y = 0; y < g.height; ++y)
    std::copy_n(bm.buffer + y * bm.pitch, g.width, g.coverage.data() + size_t(y) * g.width);
  return g;
}

}  // namespace halvex::d3dutil
