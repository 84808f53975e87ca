#include "content/data_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/paths/paths.h"

namespace halvex {
namespace {

std::string OptionsText(const std::string& eol, int line43, int line45) {
  std::string text;
  for (int line = 1; line <= 45; ++line) {
    if (line == 43) {
      text += std::to_string(line43);
    } else if (line == 45) {
      text += std::to_string(line45);
    } else if (line % 2 == 0 || line == 17 || line == 19 || line == 21 || line == 23 ||
               line == 25 || line == 27) {
      // value lines: each holds its own line number (and a trailing caption)
      text += "  " + std::to_string(line) + ".5 units";
    } else {
      text += "label " + std::to_string(line);
    }
    text += eol;
  }
  return text;
}

TEST(AreaOptions, EveryFieldComesFromItsLineWithEitherLineEnd) {
  for (const char* eol : {"\n", "\r\n"}) {
    AreaOptions o = ParseAreaOptions(OptionsText(eol, 1, 7), "options.txt");
    EXPECT_FLOAT_EQ(o.spawnMinX, 4.5f);
    EXPECT_FLOAT_EQ(o.spawnMaxX, 6.5f);
    EXPECT_FLOAT_EQ(o.spawnMinY, 8.5f);
    EXPECT_FLOAT_EQ(o.spawnMaxY, 10.5f);
    EXPECT_FLOAT_EQ(o.spawnMinZ, 12.5f);
    EXPECT_FLOAT_EQ(o.spawnMaxZ, 14.5f);
    EXPECT_FLOAT_EQ(o.botMinX, 17.5f);
    EXPECT_FLOAT_EQ(o.botLimitX, 19.5f);
    EXPECT_FLOAT_EQ(o.botCeiling, 23.5f);
    EXPECT_FLOAT_EQ(o.botLimitZ, 27.5f);
    EXPECT_FLOAT_EQ(o.playerMinX, 30.5f);
    EXPECT_FLOAT_EQ(o.playerLimitX, 32.5f);
    EXPECT_FLOAT_EQ(o.playerFloor, 34.5f);
    EXPECT_FLOAT_EQ(o.playerCeiling, 36.5f);
    EXPECT_FLOAT_EQ(o.playerMinZ, 38.5f);
    EXPECT_FLOAT_EQ(o.playerLimitZ, 40.5f);
    EXPECT_EQ(o.backgroundOverride, 1);
    EXPECT_EQ(o.backgroundExtrasValue, 7);
  }
}

TEST(AreaOptions, BackgroundLinesActOnlyWhileTheBackgroundIsOn) {
  AreaOptions off = ParseAreaOptions(OptionsText("\n", 0, 5), "options.txt");
  bool renderBackground = true;
  int extras = 1;
  ApplyBackgroundOptions(off, renderBackground, extras);
  EXPECT_FALSE(renderBackground);
  EXPECT_EQ(extras, 1);

  AreaOptions on = ParseAreaOptions(OptionsText("\n", 3, 0), "options.txt");
  renderBackground = true;
  ApplyBackgroundOptions(on, renderBackground, extras);
  EXPECT_TRUE(renderBackground);
  EXPECT_EQ(extras, 0);

  renderBackground = false;
  extras = 1;
  ApplyBackgroundOptions(on, renderBackground, extras);
  EXPECT_FALSE(renderBackground);
  EXPECT_EQ(extras, 1);
}

TEST(AreaOptions, MissingFileGivesZerosAndSwitchesTheBackgroundOff) {
  DataFileProblems problems;
  AreaOptions o = ReadAreaOptions("no\\such\\options.txt", &problems);
  EXPECT_EQ(o.spawnMaxX, 0.0f);
  EXPECT_EQ(o.playerLimitZ, 0.0f);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].message, "file not found; read as empty");
  bool renderBackground = true;
  int extras = 1;
  ApplyBackgroundOptions(o, renderBackground, extras);
  EXPECT_FALSE(renderBackground);
  EXPECT_EQ(extras, 1);
}

TEST(Pickups, SingleBlanksSeparateFieldsAndADoubleBlankShiftsThem) {
  ItemPickup p = ParsePickupLine("10.5 2 -30 1");
  EXPECT_FLOAT_EQ(p.x, 10.5f);
  EXPECT_FLOAT_EQ(p.y, 2.0f);
  EXPECT_FLOAT_EQ(p.z, -30.0f);
  EXPECT_EQ(p.powerLevel, 1);
  EXPECT_EQ(p.active, 1);
  ItemPickup shifted = ParsePickupLine("10.5  2 -30 1");
  EXPECT_FLOAT_EQ(shifted.y, 0.0f);
  EXPECT_FLOAT_EQ(shifted.z, 2.0f);
  EXPECT_EQ(shifted.powerLevel, -30);
  ItemPickup shortLine = ParsePickupLine("7");
  EXPECT_FLOAT_EQ(shortLine.x, 7.0f);
  EXPECT_FLOAT_EQ(shortLine.y, 0.0f);
  EXPECT_EQ(shortLine.powerLevel, 0);
}

TEST(Pickups, ZeroFirstCountIsFollowedDirectlyByTheSecond) {
  PickupLists lists = ParsePickupLists("a\r\nb\r\nc\r\n0\r\n2\r\n1 2 3 0\r\n4 5 6 1\r\n", "items.txt");
  EXPECT_EQ(lists.powerPickups.count, 0);
  ASSERT_EQ(lists.armorPickups.count, 2);
  EXPECT_FLOAT_EQ(lists.armorPickups.items[1].z, 6.0f);
  EXPECT_EQ(lists.armorPickups.items[1].powerLevel, 1);
  EXPECT_FLOAT_EQ(lists.armorPickups.items[2].x, -10000.0f);  // unused records keep defaults
}

TEST(Pickups, TooManyEntriesAreReadPastAndReported) {
  std::string text = "a\nb\nc\n22\n";
  for (int i = 0; i < 22; ++i) text += std::to_string(i) + " 0 0 0\n";
  text += "-3\n";  // negative armor count
  DataFileProblems problems;
  PickupLists lists = ParsePickupLists(text, "items.txt", &problems);
  EXPECT_EQ(lists.powerPickups.count, kMaxPickups);
  EXPECT_FLOAT_EQ(lists.powerPickups.items[19].x, 19.0f);
  EXPECT_EQ(lists.armorPickups.count, 0);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].line, 4);
  EXPECT_EQ(problems[1].line, 27);
  EXPECT_EQ(problems[1].file, "items.txt");
}

TEST(Trees, ListedBasesAreKeptUpToFifteen) {
  std::string text = "Trees\n17\n";
  for (int i = 0; i < 17; ++i) text += std::to_string(i * 10) + " 0.5 -" + std::to_string(i) + "\n";
  DataFileProblems problems;
  const TreePositions trees = ParseTreePositions(text, "trees.txt", &problems);
  ASSERT_EQ(trees.count, kTreeSlots);
  EXPECT_FLOAT_EQ(trees.positions[14][0], 140.0f);
  EXPECT_FLOAT_EQ(trees.positions[14][1], 0.5f);
  EXPECT_FLOAT_EQ(trees.positions[14][2], -14.0f);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].line, 2);
}

TEST(Trees, AShortFilePlantsOnlyWhatItListsAndAMissingOneNone) {
  DataFileProblems problems;
  const TreePositions trees = ParseTreePositions("Trees\n4\n1 2 3\n4 5 6\n", "trees.txt", &problems);
  EXPECT_EQ(trees.count, 2) << "no phantom trees at the origin";
  EXPECT_EQ(problems.size(), 1u);
  EXPECT_EQ(ParseTreePositions("Trees\n-2\n1 2 3\n", "trees.txt", &problems).count, 0);
  problems.clear();
  EXPECT_EQ(ReadTreePositions("worlds\\nowhere\\trees.txt", &problems).count, 0);
  EXPECT_TRUE(problems.empty()) << "trees are optional";
}

TEST(TileTextureLists, BlocksFollowEachOtherAndOverlongBlocksStayInStep) {
  std::string text;
  for (int t = 0; t < kTileCount; ++t) {
    text += "world tile\n";
    int n = t == 0 ? 102 : 3;
    text += std::to_string(n) + "\n";
    for (int i = 0; i < n; ++i) text += std::to_string(t * 10 + i % 10) + "\n";
  }
  DataFileProblems problems;
  TileTextureLists lists = ParseTileTextureLists(text, "texture.txt", &problems);
  EXPECT_EQ(lists[0].count, kMaxTileTextureEntries);
  EXPECT_EQ(problems.size(), 1u);
  for (int t = 1; t < kTileCount; ++t) {
    ASSERT_EQ(lists[t].count, 3) << t;
    EXPECT_EQ(lists[t].indices[2], t * 10 + 2);
  }
}

TEST(MultiTexTable, ShortFileLeavesTheRestOfTheTableAlone) {
  MultiTexTable table{};
  table[5][0] = 42;
  ParseMultiTexTable("t0\n2\n1\n0\nt1\n17\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n9\n",
                     "multitex.txt", table);
  EXPECT_EQ(table[0][0], 1);
  EXPECT_EQ(table[0][1], 0);
  EXPECT_EQ(table[1][15], 1);
  EXPECT_EQ(table[5][0], 42);
  EXPECT_EQ(table[2][0], 0);  // the 17th entry was read past, not taken as a label
}

TEST(MessageTables, FourSectionsWithLongLinesCut) {
  std::string longLine(140, 'x');
  std::string text = "1\n2\n3\n4\n1\n%s fragged %s\nlabel\n2\nfirst\n" + longLine +
                     "\nlabel\n0\nlabel\n1\nlast\n";
  DataFileProblems problems;
  MessageTables tables = ParseMessageTables(text, "messages.txt", &problems);
  EXPECT_EQ(tables[0].count, 1);
  EXPECT_STREQ(tables[0].lines[0].data(), "%s fragged %s");
  EXPECT_EQ(tables[1].count, 2);
  EXPECT_EQ(std::string(tables[1].lines[1].data()).size(), 127u);
  EXPECT_EQ(tables[2].count, 0);
  EXPECT_STREQ(tables[3].lines[0].data(), "last");
  EXPECT_EQ(problems.size(), 1u);
}

TEST(MessageTables, PickingStaysInsideTheTable) {
  EXPECT_EQ(PickMessageIndex(1, 0.0f), 0);
  EXPECT_EQ(PickMessageIndex(1, 0.5f), 0);
  EXPECT_EQ(PickMessageIndex(4, 3.5f), 3);
  EXPECT_EQ(PickMessageIndex(4, 2.99f), 2);
  EXPECT_EQ(PickMessageIndex(0, 0.0f), 0);
  EXPECT_EQ(PickMessageIndex(4, 9.0f), 3);
}

TEST(MessageTables, FormattingSubstitutesTwoNamesAndNothingElse) {
  EXPECT_EQ(FormatMessage("%s fragged %s!", "Ann", "Bob"), "Ann fragged Bob!");
  EXPECT_EQ(FormatMessage("%s %s %s", "A", "B"), "A B %s");
  EXPECT_EQ(FormatMessage("%d %n %x 100%% %", "A", "B"), "%d %n %x 100% %");
  EXPECT_EQ(FormatMessage("", "A", "B"), "");
  char small[8];
  EXPECT_EQ(FormatMessage("%s fragged %s!", "Ann", "Bob", small), "Ann frag") << "cut at the buffer's size";
}

TEST(NameLists, CountsNamesAndOverLimits) {
  WorldList worlds = ParseWorldList("2\nArena\r\nHarbour Fort\n", "worlds.txt");
  ASSERT_EQ(worlds.areaCount, 2);
  EXPECT_EQ(worlds.areaNames[1], "Harbour Fort");
  EXPECT_EQ(AreaPath(worlds.areaNames[0]), "worlds\\Arena");

  std::string sounds = "32\n";
  for (int i = 0; i < 32; ++i) sounds += "s" + std::to_string(i) + ".wav\n";
  DataFileProblems problems;
  SoundList list = ParseSoundList(sounds, "sounds.txt", &problems);
  EXPECT_EQ(list.soundCount, kMaxSounds);
  EXPECT_EQ(list.fileNames[29], "s29.wav");
  EXPECT_EQ(problems.size(), 1u);

  problems.clear();
  TextureNameList textures = ParseTextureNameList("3\nsub\\a.dds\nb.tga", "textures.txt", &problems);
  ASSERT_EQ(textures.textureCount, 3);
  EXPECT_EQ(TexturePath(textures.fileNames[0]), "textures\\sub\\a.dds");
  EXPECT_EQ(textures.fileNames[2], "");  // past the end: empty name
  EXPECT_EQ(problems.size(), 1u);

  EXPECT_EQ(ParseTextureNameList("-5\n", "t").textureCount, 0);
  EXPECT_EQ(ParseWorldList("", "w").areaCount, 0);
  EXPECT_EQ(ParseTextureNameList("999999999\n", "t").textureCount, kMaxDatabaseTextures);
}

TEST(Lines, OverlongLinesAreCutAndConversionsSaturate) {
  std::string overlong = "3" + std::string(300, '0') + "\n1\nname\n";
  DataFileProblems problems;
  WorldList worlds = ParseWorldList(overlong, "w", &problems);
  // 3 followed by 253 zeros: a huge count, capped; the rest of the line is dropped
  EXPECT_EQ(worlds.areaCount, kMaxAreas);
  EXPECT_EQ(worlds.areaNames[0], "1");
  EXPECT_GE(problems.size(), 1u);
  EXPECT_EQ(LineToInt("99999999999"), 2147483647);
  EXPECT_EQ(LineToInt("  -12abc"), -12);
  EXPECT_EQ(LineToInt("abc"), 0);
  EXPECT_FLOAT_EQ(LineToFloat("1e300"), 3.4028235e38f);
  EXPECT_FLOAT_EQ(LineToFloat("\t-2.25xyz"), -2.25f);
  EXPECT_EQ(LineToInt(std::string_view("5\0" "7", 3)), 5);
}

TEST(Files, ReadersResolveGamePathsUnderTheContentDirectory) {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("halvex_content_" + std::to_string(::getpid()));
  fs::create_directories(root / "System");
  std::ofstream(root / "System" / "Sounds.TXT") << "1\r\nshot.wav\r\n";
  paths::SetContentDirectory(root.string());
  SoundList list = ReadSoundList("system\\sounds.txt");
  paths::SetContentDirectory(".");
  fs::remove_all(root);
  ASSERT_EQ(list.soundCount, 1);
  EXPECT_EQ(SoundPath(list.fileNames[0]), "sounds\\shot.wav");
}

}  // namespace
}  // namespace halvex
