#include "tools/contentcheck/content_check.h"

#include <filesystem>
#include <fstream>

#include "tests/content/content_fixture.h"
#include "world/tiles/tiles.h"

namespace halvex {
namespace {

namespace fs = std::filesystem;
using contentcheck::CheckContent;
using contentcheck::MessageFormatProblem;

TEST(MessageFormat, OnlyTwoNamesAndPercentSigns) {
  EXPECT_EQ(MessageFormatProblem("%s fragged %s, 100%% sure"), "");
  EXPECT_NE(MessageFormatProblem("%s %s %s"), "");
  EXPECT_NE(MessageFormatProblem("%d frags"), "");
  EXPECT_NE(MessageFormatProblem("%n"), "");
  EXPECT_NE(MessageFormatProblem("ends in %"), "");
}

// A floor model with two materials over the tile's square.
std::string Floor() {
  return "xof 0302txt 0032\nMesh f {\n3;\n0.0;0.0;0.0;,\n0.0;1.0;0.0;,\n1.0;0.0;0.0;;\n1;\n"
         "3;0,2,1;;\nMeshMaterialList { 2; 1; 1;; Material { 1.0;1.0;1.0;1.0;; 1.0; "
         "0.0;0.0;0.0;; 0.0;0.0;0.0;; } Material { 1.0;1.0;1.0;1.0;; 1.0; 0.0;0.0;0.0;; "
         "0.0;0.0;0.0;; } }\n}\n";
}

std::string Options(const std::string& line17) {
  std::string s;
  // values on their lines: every bound 100, floors 0
  std::vector<std::string> lines;
  for (int line = 1; line <= 45; ++line) lines.push_back("label");
  for (int line : {4, 8, 12, 17, 21, 25, 30, 34, 38}) lines[line - 1] = "-100";
  for (int line : {6, 10, 14, 19, 23, 27, 32, 36, 40}) lines[line - 1] = "100";
  lines[7] = "0";   // spawnMinY
  lines[33] = "0";  // playerFloor
  lines[42] = "1";
  lines[44] = "1";
  lines[16] = line17;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

class AreaCheckTest : public ContentFixture {
 protected:
  void WriteArea() {
    Write("system/textures.txt", "2\na.dds\nb.dds\n");
    WriteDds("textures/a.dds", 2);
    WriteDds("textures/b.dds", 2);
    std::string list, multi;
    for (int t = 0; t < kTileCount; ++t) {
      Write("worlds/Arena/Check/" + TileFileName(t), Floor());
      Write("worlds/Arena/Render/" + TileFileName(t), Floor());
      list += "tile\n2\n0\n1\n";
      multi += "tile\n2\n1\n0\n";
    }
    Write("worlds/Arena/texture.txt", list);
    Write("worlds/Arena/textureL.txt", list);
    Write("worlds/Arena/multitex.txt", multi);
    Write("worlds/Arena/options.txt", Options("-100"));
    Write("worlds/Arena/items.txt", "a\nb\nc\n1\n10 0 5 1\n1\n-20.5 0 30 0\n");
    Write("worlds/Arena/trees.txt", "Trees\n2\n100 0 100\n-300 0 250\n");
  }
  DataFileProblems Check() {
    DataFileProblems all = CheckContent({root_.string(), "Arena"});
    DataFileProblems area;  // the system files of this small folder are not under test
    for (const auto& p : all) {
      if (p.file.rfind("worlds", 0) == 0) area.push_back(p);
    }
    return area;
  }
};

TEST_F(AreaCheckTest, CleanAreaHasNoProblems) {
  WriteArea();
  DataFileProblems problems = Check();
  for (const auto& p : problems) ADD_FAILURE() << p.file << ":" << p.line << ": " << p.message;
}

TEST_F(AreaCheckTest, SeededDefectsAreReportedWithFileAndLine) {
  WriteArea();
  Write("worlds/Arena/options.txt", Options("bot box"));          // label where a value goes
  Write("worlds/Arena/items.txt", "a\nb\nc\n1\n10  0 5 1\n0\n");   // double blank
  std::string list;
  for (int t = 0; t < kTileCount; ++t) list += t == 2 ? "tile\n1\n7\n" : "tile\n2\n0\n1\n";
  Write("worlds/Arena/texture.txt", list);
  Write("worlds/Arena/trees.txt", "Trees\n2\n100 0 100\n-300 0 650\n");  // in the sea
  fs::remove(root_ / "worlds/Arena/Check/world44.x");
  DataFileProblems problems = Check();
  auto has = [&](const std::string& file, int line) {
    for (const auto& p : problems) {
      if (p.file == file && p.line == line) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("worlds\\Arena\\options.txt", 17));
  EXPECT_TRUE(has("worlds\\Arena\\items.txt", 5));
  EXPECT_TRUE(has("worlds\\Arena\\texture.txt", 10));  // block 2: 1 entry for 2 materials
  EXPECT_TRUE(has("worlds\\Arena\\texture.txt", 11));  // index 7 of 2
  EXPECT_TRUE(has("worlds\\Arena\\Check\\world44.x", 0));
  EXPECT_TRUE(has("worlds\\Arena\\trees.txt", 4));
  EXPECT_EQ(problems.size(), 6u);
}

}  // namespace
}  // namespace halvex
