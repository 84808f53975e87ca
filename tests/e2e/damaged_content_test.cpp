// The real executable on a copy of the generated pack with one file damaged
// at a time: every kind of content file missing, empty, cut in half or
// replaced by binary junk. The game either refuses cleanly with a message
// naming the file, or plays the match on without what it lacks and names
// the file on stderr. It never crashes, hangs or keeps quiet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/shell_run.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Spit(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

enum class Damage { kMissing, kEmpty, kHalf, kJunk };
const char* Name(Damage d) {
  switch (d) {
    case Damage::kMissing: return "missing";
    case Damage::kEmpty: return "empty";
    case Damage::kHalf: return "cut in half";
    case Damage::kJunk: return "junk";
  }
  return "";
}

void Apply(const fs::path& file, const std::string& original, Damage d) {
  switch (d) {
    case Damage::kMissing:
      fs::remove(file);
      break;
    case Damage::kEmpty:
      Spit(file, "");
      break;
    case Damage::kHalf:
      Spit(file, original.substr(0, original.size() / 2));
      break;
    case Damage::kJunk: {
      // The same size of bytes no text or picture reader expects, NULs included.
      std::string junk(original.size(), '\0');
      for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 37 + 11) & 0xFF);
      Spit(file, junk);
      break;
    }
  }
}

TEST(DamagedContent, EachFileKindIsRefusedOrNamedAndThePlayGoesOn) {
  const char* bin = std::getenv("HALVEX_BINARY_DIR");
  ASSERT_NE(bin, nullptr);
  const fs::path pack = fs::path(bin) / "bin" / "content";
  ASSERT_TRUE(fs::exists(pack / "system" / "worlds.txt")) << "content pack not built";
  const fs::path root = fs::temp_directory_path() / ("halvex-damaged-" + std::to_string(::getpid()));
  fs::remove_all(root);
  const fs::path content = root / "content";
  fs::create_directories(root);
  fs::copy(pack, content, fs::copy_options::recursive);

  const std::string area = "worlds/Proving Grounds/";
  struct Kind {
    std::string file;  // under the content folder
    bool refused;      // the game cannot play without it
    bool mayBeMissing;  // documented as optional: missing says nothing
  };
  const Kind kinds[] = {
      {"system/worlds.txt", true, false},
      {"system/textures.txt", false, false},
      {"system/messages.txt", false, false},
      {"system/sounds.txt", false, false},
      {area + "options.txt", false, false},
      {area + "items.txt", false, false},
      {area + "trees.txt", false, true},
      {area + "texture.txt", false, false},
      {area + "multitex.txt", false, false},
      {"objects/pistol.x", false, false},
      {"objects/botanim0.x", false, false},
      {area + "Check/world22.x", false, false},
      {area + "Render/world22.x", false, false},
      {"textures/paving.dds", false, false},   // in the texture list
      {"textures/blood.dds", false, false},    // one the game always loads
      {"textures/botred.dds", false, false},   // named by the bot models
  };
  for (const Kind& kind : kinds) {
    const fs::path file = content / kind.file;
    const std::string original = Slurp(file);
    ASSERT_FALSE(original.empty()) << kind.file;
    std::string gamePath = kind.file;  // how the game names it: backslashes
    for (char& c : gamePath) c = c == '/' ? '\\' : c;
    for (Damage damage : {Damage::kMissing, Damage::kEmpty, Damage::kHalf, Damage::kJunk}) {
      SCOPED_TRACE(kind.file + " " + Name(damage));
      Apply(file, original, damage);
      const halvex::test::ProcessRun run = halvex::test::RunShell(
          "SDL_AUDIODRIVER=dummy timeout 60 " + (fs::path(bin) / "bin" / "halvex").string() +
          " --headless --skip-launcher --frames 20 --area 0 --seed 1 --config-dir " +
          (root / "config").string() + " --content " + content.string());
      EXPECT_EQ(run.code, kind.refused ? 1 : 0) << run.output;
      const bool named = run.output.find(kind.file) != std::string::npos ||
                         run.output.find(gamePath) != std::string::npos;
      if (kind.mayBeMissing && damage == Damage::kMissing) {
        EXPECT_FALSE(named) << "an optional file was reported missing\n" << run.output;
      } else {
        EXPECT_TRUE(named) << "the file at fault is not named\n" << run.output;
      }
      Spit(file, original);
    }
  }
  fs::remove_all(root);
}

}  // namespace
