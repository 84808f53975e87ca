#include "tools/contentcheck/content_check.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "content/line_reader.h"
#include "content/texture_database.h"
#include "content/varn_mesh.h"
#include "d3dutil/image/image.h"
#include "platform/paths/paths.h"
#include "world/tiles/tiles.h"

namespace halvex::contentcheck {

namespace {

namespace fs = std::filesystem;

class Checker {
 public:
  explicit Checker(DataFileProblems& problems) : problems_(problems) {}

  void Report(const std::string& file, int line, const std::string& message) {
    problems_.push_back({file, line, message});
  }

  bool Exists(const std::string& gamePath) {
    std::error_code ec;
    return fs::is_regular_file(paths::Resolve(gamePath), ec);
  }

  void CheckFileExists(const std::string& gamePath, const std::string& from, int line) {
    if (!Exists(gamePath)) Report(from, line, "\"" + gamePath + "\" not found");
  }

  // A texture the game would load: present and decodable. Results are kept
  // since many models share textures.
  void CheckTexture(const std::string& gamePath, const std::string& from, int line) {
    auto [it, added] = textureResults_.try_emplace(gamePath);
    if (added) {
      Image image;
      std::string error;
      if (!LoadImageFile(gamePath, image, &error)) it->second = error;
    }
    if (!it->second.empty()) Report(from, line, "texture \"" + gamePath + "\": " + it->second);
  }

  // Loads a model as the game does (geometry and materials); null on failure.
  std::unique_ptr<CVarnMesh> LoadModel(const std::string& gamePath) {
    auto mesh = std::make_unique<CVarnMesh>();
    if (!Exists(gamePath)) {
      Report(gamePath, 0, "model not found");
      return nullptr;
    }
    if (gfx::FAILED(mesh->LoadFromFile(nullptr, gamePath))) {
      Report(gamePath, 0, "model cannot be read");
      return nullptr;
    }
    return mesh;
  }

  void CheckSystemFiles();
  void CheckModels();
  void CheckArea(const std::string& areaName);

  int databaseCount = 0;

 private:
  void CheckOptions(const std::string& areaPath);
  void CheckPickups(const std::string& areaPath);
  void CheckTrees(const std::string& areaPath);
  void CheckTileList(const std::string& areaPath, bool render);
  void CheckMultiTex(const std::string& areaPath);

  // Material count of a tile model, loaded once; -1 when it cannot be read.
  int TileMaterials(const std::string& gamePath);

  DataFileProblems& problems_;
  std::map<std::string, std::string> textureResults_;
  std::map<std::string, int> tileMaterials_;
};

void Checker::CheckSystemFiles() {
  const std::string texturesTxt = "system\\textures.txt";
  if (!Exists(texturesTxt)) Report(texturesTxt, 0, "file not found");
  TextureNameList textures = ReadTextureNameList(texturesTxt, &problems_);
  databaseCount = textures.textureCount;
  for (int i = 0; i < textures.textureCount; ++i) {
    CheckTexture(TexturePath(textures.fileNames[size_t(i)]), texturesTxt, i + 2);
  }
  for (const std::string& file : FixedTextureFiles()) CheckTexture(file, file, 0);

  const std::string soundsTxt = "system\\sounds.txt";
  if (!Exists(soundsTxt)) Report(soundsTxt, 0, "file not found");
  SoundList sounds = ReadSoundList(soundsTxt, &problems_);
  for (int i = 0; i < sounds.soundCount; ++i) {
    CheckFileExists(SoundPath(sounds.fileNames[size_t(i)]), soundsTxt, i + 2);
  }

  const std::string messagesTxt = "system\\messages.txt";
  if (!Exists(messagesTxt)) Report(messagesTxt, 0, "file not found");
  MessageTables tables = ReadMessageTables(messagesTxt, &problems_);
  for (const MessageTable& table : tables) {
    for (int i = 0; i < table.count; ++i) {
      std::string why = MessageFormatProblem(table.lines[size_t(i)].data());
      if (!why.empty()) Report(messagesTxt, table.firstLine + i, why);
    }
  }
  for (const char* effect : {"system\\multitex.fxz", "system\\multitexa.fxz"}) {
    CheckFileExists(effect, effect, 0);
  }
}

// The models of the full load and the textures their variant gives them.
void Checker::CheckModels() {
  struct Model {
    std::string path;
    std::vector<std::string> textures;  // empty: the file's own textures
    bool oneForAll = false;             // one texture for every material
  };
  const std::vector<std::vector<std::string>> keyFrames = {
      {"botanim0", "botanim1", "botanim2", "botanim3", "botanim4", "botanim5"},
      {"ocean00", "ocean01", "ocean02", "ocean03"},
      {"shark00", "shark01"},
      {"raven00", "raven01", "raven02"}};
  std::vector<Model> models = {
      {"objects\\logo.x", {}},
      {"objects\\skybox.x", {}},
      {"objects\\pistol.x",
       {"textures\\botblack.dds", "textures\\botblack.dds", "textures\\botwhite.dds"}},
      {"objects\\rocket3.x", {"textures\\radioact.dds"}, true},
      {"objects\\shotgun1.x", {"textures\\floor.dds"}, true},
      {"objects\\tree.x", {"textures\\bark1.dds", "textures\\leaves.dds"}},
      {"objects\\scythe.x", {}},
      {"objects\\sphere.x", {}},
      {"objects\\armor.x", {}},
      {"objects\\ground.x", {}},
  };
  for (const auto& group : keyFrames) {
    for (const std::string& frame : group) models.push_back({"objects\\" + frame + ".x", {}});
  }
  std::map<std::string, std::pair<uint32_t, uint32_t>> sizes;  // vertices, faces
  for (const Model& model : models) {
    auto mesh = LoadModel(model.path);
    if (!mesh) continue;
    sizes[model.path] = {mesh->vertexCount(), mesh->faceCount};
    if (mesh->faceCount == 0) Report(model.path, 0, "model has no triangles");
    if (model.textures.empty()) {
      for (const std::string& file : mesh->fileTextureNames) {
        if (!file.empty()) CheckTexture(file, model.path, 0);
      }
      continue;
    }
    if (!model.oneForAll && mesh->materialCount > model.textures.size()) {
      Report(model.path, 0, std::to_string(mesh->materialCount) + " materials; the game names " +
                                std::to_string(model.textures.size()) + " textures for it");
    }
    for (const std::string& file : model.textures) CheckTexture(file, model.path, 0);
  }
  // Morph key frames blend vertex by vertex: one topology per animation.
  for (const auto& group : keyFrames) {
    const std::string first = "objects\\" + group[0] + ".x";
    if (!sizes.count(first)) continue;
    for (const std::string& frame : group) {
      const std::string path = "objects\\" + frame + ".x";
      if (!sizes.count(path) || sizes[path] == sizes[first]) continue;
      Report(path, 0, "key frame has " + std::to_string(sizes[path].first) + " vertices and " +
                          std::to_string(sizes[path].second) + " faces; " + first + " has " +
                          std::to_string(sizes[first].first) + " and " +
                          std::to_string(sizes[first].second));
    }
  }
}


int Checker::TileMaterials(const std::string& gamePath) {
  auto [it, added] = tileMaterials_.try_emplace(gamePath, -1);
  if (!added) return it->second;
  auto mesh = LoadModel(gamePath);
  if (!mesh) return -1;
  if (mesh->faceCount == 0) Report(gamePath, 0, "tile model has no triangles");
  if (mesh->vertexStride() != 32) Report(gamePath, 0, "collision needs 32-byte vertices");
  it->second = int(mesh->materialCount);
  return it->second;
}

// Lines of options.txt that hold a value; a label line in their place reads
// as 0 without a word from the game, the commonest slip when editing.
void Checker::CheckOptions(const std::string& areaPath) {
  const std::string path = areaPath + "\\options.txt";
  std::string text;
  if (!LoadContentText(path, text, &problems_)) return;
  const int valueLines[] = {4,  6,  8,  10, 12, 14, 17, 19, 21, 23, 25,
                            27, 30, 32, 34, 36, 38, 40, 43, 45};
  LineReader reader(text, path, &problems_);
  std::vector<std::string> lines;
  while (!reader.AtEnd()) lines.emplace_back(reader.Next());
  if (lines.size() < 45) {
    Report(path, int(lines.size()), "the file ends after line " + std::to_string(lines.size()) +
                                        "; 45 lines expected");
  }
  for (int line : valueLines) {
    if (size_t(line) > lines.size()) break;
    const char* start = lines[size_t(line - 1)].c_str();
    char* end = nullptr;
    std::strtod(start, &end);
    if (end == start) Report(path, line, "no number on this line (it reads as 0)");
  }
  AreaOptions o = ParseAreaOptions(text, path);
  auto order = [&](float lo, float hi, int line, const char* what) {
    if (lo > hi) Report(path, line, std::string(what) + ": the minimum is above the maximum");
  };
  order(o.spawnMinX, o.spawnMaxX, 6, "spawn box x");
  order(o.spawnMinY, o.spawnMaxY, 10, "spawn box height");
  order(o.spawnMinZ, o.spawnMaxZ, 14, "spawn box z");
  order(o.playerFloor, o.playerCeiling, 36, "player floor and ceiling");
  const std::pair<float, int> limits[] = {{o.botLimitX, 19}, {o.botLimitZ, 27},
                                          {o.playerLimitX, 32}, {o.playerLimitZ, 40}};
  for (auto [limit, line] : limits) {
    if (!(limit > 0.0f)) Report(path, line, "a limit of 0 or less lets nobody move");
  }
  if (o.spawnMinY > o.botCeiling) Report(path, 8, "bots spawn above the bot ceiling");
}

void Checker::CheckPickups(const std::string& areaPath) {
  const std::string path = areaPath + "\\items.txt";
  std::string text;
  if (!LoadContentText(path, text, &problems_)) return;
  PickupLists lists = ParsePickupLists(text, path, &problems_);
  LineReader reader(text, path, nullptr);
  reader.Skip(3);
  for (const PickupList* list : {&lists.powerPickups, &lists.armorPickups}) {
    int count = std::max(0, LineToInt(reader.Next()));
    for (int i = 0; i < count && !reader.AtEnd(); ++i) {
      std::string_view line = reader.Next();
      if (i >= list->count) continue;
      if (std::count(line.begin(), line.end(), ' ') != 3 || line.find("  ") != line.npos) {
        Report(path, reader.lineNumber(), "a pickup is x, y, z and level with single blanks");
      }
      const ItemPickup& p = list->items[size_t(i)];
      if (std::abs(p.x) > 500.0f || std::abs(p.z) > 500.0f) {
        Report(path, reader.lineNumber(), "pickup outside the battle area");
      }
    }
  }
}

// Optional: an area without trees.txt simply has no trees.
void Checker::CheckTrees(const std::string& areaPath) {
  const std::string path = areaPath + "\\trees.txt";
  if (!Exists(path)) return;
  const TreePositions trees = ReadTreePositions(path, &problems_);
  for (int i = 0; i < trees.count; ++i) {
    const auto& p = trees.positions[size_t(i)];
    if (std::abs(p[0]) > 500.0f || std::abs(p[2]) > 500.0f) Report(path, 3 + i, "tree outside the battle area");
  }
}

void Checker::CheckTileList(const std::string& areaPath, bool render) {
  const std::string path = areaPath + (render ? "\\texture.txt" : "\\textureL.txt");
  if (!Exists(path)) {
    Report(path, 0, "file not found");
    return;
  }
  TileTextureLists lists = ReadTileTextureLists(path, &problems_);
  for (int t = 0; t < kTileCount; ++t) {
    const TileTextureBlock& block = lists[size_t(t)];
    const std::string model = areaPath + (render ? "\\Render\\" : "\\Check\\") + TileFileName(t);
    int materials = TileMaterials(model);
    if (materials > block.count) {
      Report(path, block.labelLine + 1,
             TileFileName(t) + " has " + std::to_string(materials) + " materials but " +
                 std::to_string(block.count) + " entries");
    }
    for (int i = 0; i < block.count; ++i) {
      int index = block.indices[size_t(i)];
      if (index < 0 || index >= databaseCount) {
        Report(path, block.labelLine + 2 + i,
               "texture index " + std::to_string(index) + " is not in the database (0.." +
                   std::to_string(databaseCount - 1) + ")");
      }
    }
  }
}

void Checker::CheckMultiTex(const std::string& areaPath) {
  const std::string path = areaPath + "\\multitex.txt";
  if (!Exists(path)) {
    Report(path, 0, "file not found");
    return;
  }
  MultiTexTable table{};
  ReadMultiTexTable(path, table, &problems_);
  for (int t = 0; t < kTileCount; ++t) {
    const std::string model = areaPath + "\\Render\\" + TileFileName(t);
    if (TileMaterials(model) > kMaxMultiTexEntries) {
      Report(model, 0, "more than 16 materials: the multitexture table cannot mark them all");
    }
  }
}

void Checker::CheckArea(const std::string& areaName) {
  const std::string areaPath = AreaPath(areaName);
  std::error_code ec;
  if (!fs::is_directory(paths::Resolve(areaPath), ec)) {
    Report(areaPath, 0, "battle area folder not found");
    return;
  }
  CheckOptions(areaPath);
  CheckPickups(areaPath);
  CheckTrees(areaPath);
  CheckTileList(areaPath, true);
  CheckTileList(areaPath, false);
  CheckMultiTex(areaPath);
}

}  // namespace

DataFileProblems CheckContent(const CheckOptions& options) {
  DataFileProblems problems;
  paths::SetContentDirectory(options.contentDirectory);
  Checker checker(problems);
  checker.CheckSystemFiles();
  if (options.areaName.empty()) {
    checker.CheckModels();
    WorldList worlds = ReadWorldList("system\\worlds.txt", &problems);
    if (worlds.areaCount == 0) problems.push_back({"system\\worlds.txt", 1, "no battle areas"});
    for (const std::string& area : worlds.areaNames) checker.CheckArea(area);
  } else {
    checker.CheckArea(options.areaName);
  }
  return problems;
}

std::string MessageFormatProblem(const char* entry) {
  int names = 0;
  for (const char* p = entry; *p; ++p) {
    if (*p != '%') continue;
    if (p[1] == '%') {
      ++p;
    } else if (p[1] == 's') {
      if (++names > 2) return "more than two \"%s\" (the third is shown literally)";
      ++p;
    } else {
      return "conversion other than \"%s\" (shown literally)";
    }
  }
  return {};
}

}  // namespace halvex::contentcheck
