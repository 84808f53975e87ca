#include "content/data_files.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "content/line_reader.h"

namespace halvex {

namespace {

// Copies a line into a terminated buffer, as the game's 255-byte line buffer.
struct LineBuffer {
  explicit LineBuffer(std::string_view line) {
    size_t n = std::min(line.size(), sizeof(text) - 1);
    if (n > 0) std::memcpy(text, line.data(), n);
    text[n] = '\0';
  }
  char text[kLineBufferSize];
};

float NextFloat(LineReader& reader) { return LineToFloat(reader.Next()); }

// Reads count entries of a list that keeps at most limit of them; the lines
// beyond the limit are read past so the layout after them stays in step.
template <typename Store>
int ReadEntries(LineReader& reader, int count, int limit, Store store) {
  int kept = std::min(count, limit);
  for (int i = 0; i < kept; ++i) store(i, reader.Next());
  reader.Skip(count - kept);
  return kept;
}

// Lists of names whose count line comes first (textures, areas, sounds).
std::vector<std::string> ReadNameList(LineReader& reader, int limit, std::string_view what) {
  int count = reader.NextCount(limit, what);
  std::vector<std::string> names;
  int kept = std::min(count, limit);
  names.reserve(static_cast<size_t>(kept));
  for (int i = 0; i < kept; ++i) {
    if (reader.AtEnd()) {
      reader.ReportAt(reader.lineNumber() + 1, "the file ends before its " +
                                                   std::to_string(count) + " " +
                                                   std::string(what) + " entries");
      names.resize(static_cast<size_t>(kept));
      break;
    }
    names.emplace_back(reader.Next());
  }
  return names;
}

std::string LoadOrEmpty(std::string_view path, DataFileProblems* problems) {
  std::string text;
  LoadContentText(path, text, problems);
  return text;
}

}  // namespace

float LineToFloat(std::string_view line) {
  LineBuffer buffer(line);
  double value = std::strtod(buffer.text, nullptr);
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(value);
}

int LineToInt(std::string_view line) {
  LineBuffer buffer(line);
  errno = 0;
  long long value = std::strtoll(buffer.text, nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// ---------------------------------------------------------------- options.txt

AreaOptions ParseAreaOptions(std::string_view text, std::string_view fileName,
                             DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  AreaOptions o;
  // Each box: a label line before every value, and one more label before a
  // box (two before the first value of the bot and player boxes).
  auto readBox = [&](float* values[6]) {
    for (int i = 0; i < 6; ++i) {
      reader.Next();  // label
      *values[i] = NextFloat(reader);
    }
  };
  reader.Skip(2);  // lines 1-2; line 3 is the first box's label
  float* spawn[6] = {&o.spawnMinX, &o.spawnMaxX, &o.spawnMinY,
                     &o.spawnMaxY, &o.spawnMinZ, &o.spawnMaxZ};
  readBox(spawn);  // lines 3-14
  reader.Next();   // line 15
  float* bot[6] = {&o.botMinX, &o.botLimitX, &o.botMinY, &o.botCeiling, &o.botMinZ, &o.botLimitZ};
  readBox(bot);    // lines 16-27
  reader.Next();   // line 28
  float* player[6] = {&o.playerMinX,    &o.playerLimitX, &o.playerFloor,
                      &o.playerCeiling, &o.playerMinZ,   &o.playerLimitZ};
  readBox(player);  // lines 29-40
  reader.Skip(2);   // lines 41-42
  o.backgroundOverride = LineToInt(reader.Next());
  reader.Next();  // line 44
  o.backgroundExtrasValue = LineToInt(reader.Next());
  return o;
}

AreaOptions ReadAreaOptions(std::string_view path, DataFileProblems* problems) {
  return ParseAreaOptions(LoadOrEmpty(path, problems), path, problems);
}

void ApplyBackgroundOptions(const AreaOptions& options, bool& renderBackground,
                            int& backgroundExtras) {
  if (!renderBackground) return;
  renderBackground = options.backgroundOverride != 0;
  if (renderBackground) backgroundExtras = options.backgroundExtrasValue;
}

// ------------------------------------------------------------------ items.txt

ItemPickup ParsePickupLine(std::string_view line) {
  std::string_view pieces[4];
  std::string_view rest = line;
  for (int i = 0; i < 3; ++i) {
    size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) {
      pieces[i] = rest;
      rest = {};
      continue;
    }
    pieces[i] = rest.substr(0, blank);
    rest.remove_prefix(blank + 1);
  }
  pieces[3] = rest;
  ItemPickup pickup;
  pickup.x = LineToFloat(pieces[0]);
  pickup.y = LineToFloat(pieces[1]);
  pickup.z = LineToFloat(pieces[2]);
  pickup.powerLevel = LineToInt(pieces[3]);
  return pickup;
}

PickupLists ParsePickupLists(std::string_view text, std::string_view fileName,
                             DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  PickupLists lists;
  reader.Skip(3);
  for (PickupList* list : {&lists.powerPickups, &lists.armorPickups}) {
    int count = reader.NextCount(kMaxPickups,
                                 list == &lists.powerPickups ? "power pickup" : "armor pickup");
    list->count = ReadEntries(reader, count, kMaxPickups, [&](int i, std::string_view line) {
      list->items[static_cast<size_t>(i)] = ParsePickupLine(line);
    });
  }
  return lists;
}

PickupLists ReadPickupLists(std::string_view path, DataFileProblems* problems) {
  return ParsePickupLists(LoadOrEmpty(path, problems), path, problems);
}

// ------------------------------------------------------------------ trees.txt

TreePositions ParseTreePositions(std::string_view text, std::string_view fileName,
                                 DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  TreePositions trees;
  reader.Next();  // label
  int count = reader.NextCount(kTreeSlots, "tree");
  const int kept = std::min(count, kTreeSlots);
  // A tree that is not in the file would stand at the origin, inside the
  // monument: a short file plants only the trees it lists.
  for (; trees.count < kept && !reader.AtEnd(); ++trees.count) {
    const ItemPickup p = ParsePickupLine(reader.Next());  // same "x y z" layout, no level
    trees.positions[static_cast<size_t>(trees.count)] = {p.x, p.y, p.z};
  }
  if (trees.count < kept)
    reader.ReportAt(reader.lineNumber(), "the file ends after " + std::to_string(trees.count) + " of its " +
                                             std::to_string(count) + " trees");
  return trees;
}

TreePositions ReadTreePositions(std::string_view path, DataFileProblems* problems) {
  // Trees are optional scenery: a missing file is not a problem even for the checker.
  std::string text;
  if (!LoadContentText(path, text, problems, /*mayBeMissing=*/true)) return {};
  return ParseTreePositions(text, path, problems);
}

// ------------------------------------------------------- system\textures.txt

TextureNameList ParseTextureNameList(std::string_view text, std::string_view fileName,
                                     DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  TextureNameList list;
  list.fileNames = ReadNameList(reader, kMaxDatabaseTextures, "texture");
  list.textureCount = static_cast<int>(list.fileNames.size());
  return list;
}

TextureNameList ReadTextureNameList(std::string_view path, DataFileProblems* problems) {
  return ParseTextureNameList(LoadOrEmpty(path, problems), path, problems);
}

std::string TexturePath(std::string_view fileName) {
  return "textures\\" + std::string(fileName);
}

// ---------------------------------------------- texture.txt / textureL.txt

TileTextureLists ParseTileTextureLists(std::string_view text, std::string_view fileName,
                                       DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  TileTextureLists lists{};
  for (TileTextureBlock& block : lists) {
    reader.Next();  // label
    block.labelLine = reader.lineNumber();
    int count = reader.NextCount(kMaxTileTextureEntries, "tile texture");
    block.count = ReadEntries(reader, count, kMaxTileTextureEntries,
                              [&](int i, std::string_view line) {
                                block.indices[static_cast<size_t>(i)] = LineToInt(line);
                              });
  }
  return lists;
}

TileTextureLists ReadTileTextureLists(std::string_view path, DataFileProblems* problems) {
  return ParseTileTextureLists(LoadOrEmpty(path, problems), path, problems);
}

// --------------------------------------------------------------- multitex.txt

void ParseMultiTexTable(std::string_view text, std::string_view fileName, MultiTexTable& table,
                        DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  for (auto& row : table) {
    reader.Next();  // label
    int count = reader.NextCount(kMaxMultiTexEntries, "multitexture");
    ReadEntries(reader, count, kMaxMultiTexEntries, [&](int i, std::string_view line) {
      row[static_cast<size_t>(i)] = LineToInt(line);
    });
  }
}

void ReadMultiTexTable(std::string_view path, MultiTexTable& table, DataFileProblems* problems) {
  ParseMultiTexTable(LoadOrEmpty(path, problems), path, table, problems);
}

// ------------------------------------------------------- system\messages.txt

MessageTables ParseMessageTables(std::string_view text, std::string_view fileName,
                                 DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  MessageTables tables{};
  reader.Skip(3);  // lines 1-3; line 4 stands where later tables have their label
  for (MessageTable& table : tables) {
    reader.Next();  // label
    int count = reader.NextCount(kMaxMessageLines, "message");
    table.firstLine = reader.lineNumber() + 1;
    table.count = ReadEntries(reader, count, kMaxMessageLines, [&](int i, std::string_view line) {
      if (line.size() >= static_cast<size_t>(kMessageLineSize)) {
        reader.Report("message longer than " + std::to_string(kMessageLineSize - 1) +
                      " characters is cut short");
        line = line.substr(0, kMessageLineSize - 1);
      }
      auto& entry = table.lines[static_cast<size_t>(i)];
      if (!line.empty()) std::memcpy(entry.data(), line.data(), line.size());
      entry[line.size()] = '\0';
    });
  }
  return tables;
}

MessageTables ReadMessageTables(std::string_view path, DataFileProblems* problems) {
  return ParseMessageTables(LoadOrEmpty(path, problems), path, problems);
}

int PickMessageIndex(int count, float r) {
  if (count <= 0 || !(r >= 0.0f)) return 0;
  if (r >= static_cast<float>(count)) return count - 1;
  return static_cast<int>(r);
}

namespace {

// The substitution rule, handing each piece of the line to put.
template <class Put>
void FormatMessagePieces(std::string_view entry, std::string_view name1, std::string_view name2, Put&& put) {
  int namesUsed = 0;
  for (size_t i = 0; i < entry.size(); ++i) {
    char c = entry[i];
    if (c == '%' && i + 1 < entry.size()) {
      char next = entry[i + 1];
      if (next == '%') {
        put(std::string_view("%"));
        ++i;
        continue;
      }
      if (next == 's' && namesUsed < 2) {
        put(namesUsed == 0 ? name1 : name2);
        ++namesUsed;
        ++i;
        continue;
      }
    }
    put(std::string_view(&entry[i], 1));
  }
}

}  // namespace

std::string FormatMessage(std::string_view entry, std::string_view name1,
                          std::string_view name2) {
  std::string out;
  out.reserve(entry.size() + name1.size() + name2.size());
  FormatMessagePieces(entry, name1, name2, [&](std::string_view piece) { out += piece; });
  return out;
}

std::string_view FormatMessage(std::string_view entry, std::string_view name1, std::string_view name2,
                               std::span<char> out) {
  size_t used = 0;
  FormatMessagePieces(entry, name1, name2, [&](std::string_view piece) {
    const size_t n = std::min(piece.size(), out.size() - used);
    std::copy_n(piece.data(), n, out.data() + used);
    used += n;
  });
  return std::string_view(out.data(), used);
}

// --------------------------------------------------------- system\worlds.txt

WorldList ParseWorldList(std::string_view text, std::string_view fileName,
                         DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  WorldList list;
  list.areaNames = ReadNameList(reader, kMaxAreas, "battle area");
  list.areaCount = static_cast<int>(list.areaNames.size());
  return list;
}

WorldList ReadWorldList(std::string_view path, DataFileProblems* problems) {
  return ParseWorldList(LoadOrEmpty(path, problems), path, problems);
}

std::string AreaPath(std::string_view areaName) { return "worlds\\" + std::string(areaName); }

// --------------------------------------------------------- system\sounds.txt

SoundList ParseSoundList(std::string_view text, std::string_view fileName,
                         DataFileProblems* problems) {
  LineReader reader(text, fileName, problems);
  SoundList list;
  list.fileNames = ReadNameList(reader, kMaxSounds, "sound");
  list.soundCount = static_cast<int>(list.fileNames.size());
  return list;
}

SoundList ReadSoundList(std::string_view path, DataFileProblems* problems) {
  return ParseSoundList(LoadOrEmpty(path, problems), path, problems);
}

std::string SoundPath(std::string_view fileName) { return "sounds\\" + std::string(fileName); }

}  // namespace halvex
