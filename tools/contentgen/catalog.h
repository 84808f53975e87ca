// Names shared between the parts of the generator: the texture database in
// the order of system/textures.txt (its index is what the tile lists name),
// and the pack's file names.
#pragma once

#include <array>
#include <string>

namespace halvex::contentgen {

enum Surface : int {
  kPaving, kStone, kSandstone, kGrass, kSand, kMetal, kBronze, kPoolFloor, kWater, kCobble, kTrim, kWood,
  kSurfaceCount
};

inline constexpr std::array<const char*, kSurfaceCount> kDatabaseTextures = {
    "paving.dds", "stone.dds", "sandstone.dds", "grass.dds",     "sand.dds",  "metal.dds",
    "bronze.dds", "poolfloor.dds", "water.dds", "cobble.dds", "trim.dds", "wood.dds"};

// A texture as a model file names it (relative to the working directory).
inline std::string TexturePath(const std::string& file) { return "textures\\" + file; }

// The game's icon at the sizes the window and the desktop menus use.
inline constexpr int kIconSmall = 64, kIconLarge = 256;
inline std::string IconPath(int size) { return "icons/halvex" + std::to_string(size) + ".png"; }

class Pack;
struct Image;
Image DrawIcon(int size);
void GenerateTextures(Pack& pack);
void GenerateObjects(Pack& pack);
void GenerateAreas(Pack& pack);
void GenerateSounds(Pack& pack);
void GenerateSystemFiles(Pack& pack);
void GenerateHelp(Pack& pack);
void GenerateReadme(Pack& pack);
void GenerateIcons(Pack& pack);
// Everything above, in a fixed order.
void GeneratePack(Pack& pack);

}  // namespace halvex::contentgen
