// Readers of the line-oriented content files: the battle area's options,
// pickups, tile texture lists and multitexture table, and the shared texture,
// message, battle-area and sound lists.
//
// Every reader follows the same rules: lines end at a line feed (a CR before
// it is dropped), at most 254 characters of a line are kept, label lines are
// counted and skipped, numbers convert from the start of the line like
// atof/atoi (0 when the line holds none), and a missing file or a read past
// its end gives empty lines, hence zeros and empty names; a missing, empty or
// binary file and the first read past the end are reported. Limits (20 pickups,
// 100 tile entries, 16 multitexture entries, 100 message lines of 127
// characters, 30 sounds) are enforced: excess entries are read past and
// dropped, negative counts read as 0, and each such problem is reported with
// its file and line. Paths are game paths (backslashes, relative to the
// content directory, see platform/paths).
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halvex {

inline constexpr int kLineBufferSize = 255;  // 254 characters and the terminator
inline constexpr int kMaxLineLength = kLineBufferSize - 1;
inline constexpr int kTileCount = 16;
inline constexpr int kMaxPickups = 20;
inline constexpr int kMaxTileTextureEntries = 100;
inline constexpr int kMaxMultiTexEntries = 16;
inline constexpr int kMessageTableCount = 4;
inline constexpr int kMaxMessageLines = 100;
inline constexpr int kMessageLineSize = 128;  // 127 characters and the terminator
inline constexpr int kMaxSounds = 30;
inline constexpr int kTreeSlots = 15;
// No format limits these two lists; the caps only keep a corrupt count from
// allocating without bound.
inline constexpr int kMaxDatabaseTextures = 4096;
inline constexpr int kMaxAreas = 1000;

// A malformed line found while reading. Readers given no problem list print
// each problem to stderr as "file:line: message".
struct DataFileProblem {
  std::string file;
  int line = 0;  // 1-based; 0 when the problem concerns the whole file
  std::string message;
};
using DataFileProblems = std::vector<DataFileProblem>;

// ---------------------------------------------------------------- options.txt
// Three boxes (spawn, bot, player) as min x, max x, min y, max y, min z,
// max z; the values the game does not use are kept for the checker.
struct AreaOptions {
  float spawnMinX = 0, spawnMaxX = 0, spawnMinY = 0, spawnMaxY = 0, spawnMinZ = 0, spawnMaxZ = 0;
  float botMinX = 0, botLimitX = 0, botMinY = 0, botCeiling = 0, botMinZ = 0, botLimitZ = 0;
  float playerMinX = 0, playerLimitX = 0, playerFloor = 0, playerCeiling = 0, playerMinZ = 0,
        playerLimitZ = 0;
  int backgroundOverride = 0;     // line 43
  int backgroundExtrasValue = 0;  // line 45
};

AreaOptions ReadAreaOptions(std::string_view path, DataFileProblems* problems = nullptr);

// Lines 43 and 45 act only while renderBackground is on: line 43 may switch
// it off for this area, then line 45 becomes backgroundExtras (initially 1).
void ApplyBackgroundOptions(const AreaOptions& options, bool& renderBackground,
                            int& backgroundExtras);

// ------------------------------------------------------------------ items.txt
struct ItemPickup {
  float x = -10000.0f, y = -10000.0f, z = -10000.0f;
  int powerLevel = 0;
  int active = 1;
  float respawnCountdown = 0.0f;
};

struct PickupList {
  int count = 0;
  std::array<ItemPickup, kMaxPickups> items{};
};

struct PickupLists {
  PickupList powerPickups;
  PickupList armorPickups;
};

PickupLists ReadPickupLists(std::string_view path, DataFileProblems* problems = nullptr);

// One entry line: x, y, z and the level separated by single blanks.
ItemPickup ParsePickupLine(std::string_view line);

// ------------------------------------------------------------------ trees.txt
// Where the area's trees stand: a label line, a count, then one "x y z" line
// per tree (the base of its trunk). An area without the file has no trees;
// more than 15 entries are reported and dropped.
struct TreePositions {
  int count = 0;  // 0..15
  std::array<std::array<float, 3>, kTreeSlots> positions{};
};

TreePositions ReadTreePositions(std::string_view path, DataFileProblems* problems = nullptr);

// ------------------------------------------------------- system\textures.txt
struct TextureNameList {
  int textureCount = 0;                // entries read (capped, never negative)
  std::vector<std::string> fileNames;  // textureCount names, relative to "textures"
};

TextureNameList ReadTextureNameList(std::string_view path, DataFileProblems* problems = nullptr);

// "textures\" + name, as the database formats it.
std::string TexturePath(std::string_view fileName);

// ---------------------------------------------- texture.txt / textureL.txt
struct TileTextureBlock {
  int count = 0;  // entries kept, 0..100
  int labelLine = 0;  // line of the block's label; entry i is on labelLine + 2 + i
  std::array<int, kMaxTileTextureEntries> indices{};
};
using TileTextureLists = std::array<TileTextureBlock, kTileCount>;

TileTextureLists ReadTileTextureLists(std::string_view path,
                                      DataFileProblems* problems = nullptr);

// --------------------------------------------------------------- multitex.txt
using MultiTexTable = std::array<std::array<int, kMaxMultiTexEntries>, kTileCount>;

// Fills row t from block t; entries beyond a block's count keep their value.
void ReadMultiTexTable(std::string_view path, MultiTexTable& table,
                       DataFileProblems* problems = nullptr);

// ------------------------------------------------------- system\messages.txt
struct MessageTable {
  int count = 0;  // 0..100
  int firstLine = 0;  // line of entry 0; entry i is on firstLine + i
  std::array<std::array<char, kMessageLineSize>, kMaxMessageLines> lines{};
};
using MessageTables = std::array<MessageTable, kMessageTableCount>;

MessageTables ReadMessageTables(std::string_view path, DataFileProblems* problems = nullptr);

// Index for a uniform random value r in [0, count - 0.5]: its integer part,
// kept inside 0..count-1 (0 for an empty table, whose entry 0 is empty).
int PickMessageIndex(int count, float r);

// Formats a message line with two names: the first two "%s" take name1 and
// name2, "%%" gives "%", and anything else (a third "%s", other conversions)
// is copied literally, so a content line can never act as a format string.
std::string FormatMessage(std::string_view entry, std::string_view name1,
                          std::string_view name2);
// The same into out (cut at its size), for the match's frames, which take
// nothing from the heap; returns the formatted part of out.
std::string_view FormatMessage(std::string_view entry, std::string_view name1, std::string_view name2,
                               std::span<char> out);

// --------------------------------------------------------- system\worlds.txt
struct WorldList {
  int areaCount = 0;
  std::vector<std::string> areaNames;  // areaCount names
};

WorldList ReadWorldList(std::string_view path, DataFileProblems* problems = nullptr);

// "worlds\" + areaName, without a trailing separator.
std::string AreaPath(std::string_view areaName);

// --------------------------------------------------------- system\sounds.txt
struct SoundList {
  int soundCount = 0;                  // 0..30
  std::vector<std::string> fileNames;  // soundCount names, relative to "sounds"
};

SoundList ReadSoundList(std::string_view path, DataFileProblems* problems = nullptr);

// "sounds\" + name.
std::string SoundPath(std::string_view fileName);

// ------------------------------------------------------- readers of text
// The same readers over a file's text already in memory; fileName only labels
// the problems. The file readers above load the file and call these.
AreaOptions ParseAreaOptions(std::string_view text, std::string_view fileName,
                             DataFileProblems* problems = nullptr);
PickupLists ParsePickupLists(std::string_view text, std::string_view fileName,
                             DataFileProblems* problems = nullptr);
TreePositions ParseTreePositions(std::string_view text, std::string_view fileName,
                                 DataFileProblems* problems = nullptr);
TextureNameList ParseTextureNameList(std::string_view text, std::string_view fileName,
                                     DataFileProblems* problems = nullptr);
TileTextureLists ParseTileTextureLists(std::string_view text, std::string_view fileName,
                                       DataFileProblems* problems = nullptr);
void ParseMultiTexTable(std::string_view text, std::string_view fileName, MultiTexTable& table,
                        DataFileProblems* problems = nullptr);
MessageTables ParseMessageTables(std::string_view text, std::string_view fileName,
                                 DataFileProblems* problems = nullptr);
WorldList ParseWorldList(std::string_view text, std::string_view fileName,
                         DataFileProblems* problems = nullptr);
SoundList ParseSoundList(std::string_view text, std::string_view fileName,
                         DataFileProblems* problems = nullptr);

// ------------------------------------------------------------- conversions
// atof/atoi from the start of a line, without their undefined behaviour on
// out-of-range values: floats saturate at the largest finite value, integers
// at the int range.
float LineToFloat(std::string_view line);
int LineToInt(std::string_view line);

}  // namespace halvex
