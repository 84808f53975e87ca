// The texture database (the counted list of system\textures.txt that world
// tiles refer to by index), the fixed textures of effects, sprites and
// bodies, the lens-flare elements and the multitexture table.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "content/data_files.h"
#include "platform/gfx/device.h"

namespace halvex {

// The loading screen as the loaders see it (drawn by the loading sequence).
class LoadingProgress {
 public:
  virtual ~LoadingProgress() = default;
  virtual void ClearBar() = 0;
  // One loading step under this caption; the screen decides whether it is
  // drawn at once or with a later step.
  virtual void Redraw(const char* caption) = 0;
  virtual void AppendBarGlyphs(int count) = 0;
};

struct TextureDatabase {
  int textureCount = 0;
  std::vector<gfx::Texture*> textures;  // textureCount entries, null where loading failed

  // The entry for index, or null for a failed entry or an index out of range.
  gfx::Texture* At(int index) const;
  void Release();
};

// Fills the database from system\textures.txt: one loading-screen redraw per
// texture, four bar glyphs after each odd one, a "FAILED" box (empty text)
// for every texture that cannot be created, and PreLoad for the others. Each
// box comes with a stderr line naming the file, its line and the texture. A
// list shorter than its count stops at its last line with one more box (the
// missing entries stay null); the line saying where it ends is the list
// reader's problem report.
void LoadTextureDatabase(gfx::Device* device, TextureDatabase& database,
                         LoadingProgress* progress = nullptr,
                         DataFileProblems* problems = nullptr);

// One element of the lens flare: its size and a third of it (both whole
// numbers), how far along the flare's axis it sits, and its lens texture.
struct LensFlareElement {
  int third;
  int size;
  float position;
  int lensTexture;
};

inline constexpr int kCausticFrames = 32;
inline constexpr int kBodyColours = 5;
inline constexpr int kLensTextures = 5;
inline constexpr int kShineTextures = 10;
inline constexpr int kLensFlareElements = 8;

struct FixedTextures {
  gfx::Texture* bullet = nullptr;
  gfx::Texture* rocket = nullptr;
  gfx::Texture* flare = nullptr;
  gfx::Texture* smoke = nullptr;
  gfx::Texture* shadow = nullptr;
  gfx::Texture* blood = nullptr;
  gfx::Texture* chat = nullptr;
  gfx::Texture* band = nullptr;
  gfx::Texture* armor = nullptr;
  gfx::Texture* shark = nullptr;
  std::array<gfx::Texture*, kCausticFrames> causticTextures{};
  std::array<gfx::Texture*, kBodyColours> bodyTextures{};  // black, white, red, blue, yellow
  std::array<gfx::Texture*, kLensTextures> lensTextures{};
  std::array<gfx::Texture*, kShineTextures> shineTextures{};
  std::array<LensFlareElement, kLensFlareElements> lensFlareElements{};

  void Release();
};

// The file of every fixed texture in loading order ("textures\bullet1.dds",
// ...), for the loader and the content checker.
std::vector<std::string> FixedTextureFiles();

// Creates the fixed textures in table order (failures stay null silently),
// preloads blood, caustics, lens and shine textures, fills lensFlareElements.
void LoadFixedTextures(gfx::Device* device, FixedTextures& fixed);

// Reads areaPath + "\multitex.txt" into the table with one loading-screen
// redraw per tile. Only called when "Render Detail" is on.
void LoadMultiTexTable(const std::string& areaPath, MultiTexTable& table,
                       LoadingProgress* progress = nullptr,
                       DataFileProblems* problems = nullptr);

}  // namespace halvex
