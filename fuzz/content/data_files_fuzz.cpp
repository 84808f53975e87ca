// One libFuzzer entry for every content-file reader: the first byte picks the
// reader, the rest is the file's text. What a reader returns must stay within
// the limits the game's fixed tables rely on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "content/data_files.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace halvex;
  if (size == 0) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  DataFileProblems problems;
  switch (data[0] % 10) {
    case 0: ParseAreaOptions(text, "options.txt", &problems); break;
    case 1: {
      PickupLists lists = ParsePickupLists(text, "items.txt", &problems);
      for (const PickupList* list : {&lists.powerPickups, &lists.armorPickups})
        FUZZ_CHECK(list->count >= 0 && list->count <= kMaxPickups);
      break;
    }
    case 2: {
      TextureNameList list = ParseTextureNameList(text, "textures.txt", &problems);
      FUZZ_CHECK(list.textureCount >= 0 && list.textureCount <= kMaxDatabaseTextures &&
              list.fileNames.size() == size_t(list.textureCount));
      break;
    }
    case 3: {
      TileTextureLists lists = ParseTileTextureLists(text, "texture.txt", &problems);
      for (const TileTextureBlock& block : lists)
        FUZZ_CHECK(block.count >= 0 && block.count <= kMaxTileTextureEntries);
      break;
    }
    case 4: {
      MultiTexTable table{};
      ParseMultiTexTable(text, "multitex.txt", table, &problems);
      break;
    }
    case 5: {
      MessageTables tables = ParseMessageTables(text, "messages.txt", &problems);
      for (const MessageTable& table : tables) {
        FUZZ_CHECK(table.count >= 0 && table.count <= kMaxMessageLines);
        int pick = PickMessageIndex(table.count, static_cast<float>(table.count) - 0.5f);
        FUZZ_CHECK(pick >= 0 && pick < kMaxMessageLines);
        FormatMessage(table.lines[static_cast<size_t>(pick)].data(), "Alpha", "Beta");
      }
      break;
    }
    case 6: {
      WorldList list = ParseWorldList(text, "worlds.txt", &problems);
      FUZZ_CHECK(list.areaCount >= 0 && list.areaCount <= kMaxAreas &&
              list.areaNames.size() == size_t(list.areaCount));
      break;
    }
    case 7: {
      SoundList list = ParseSoundList(text, "sounds.txt", &problems);
      FUZZ_CHECK(list.soundCount >= 0 && list.soundCount <= kMaxSounds &&
              list.fileNames.size() == size_t(list.soundCount));
      break;
    }
    case 8: {
      TreePositions trees = ParseTreePositions(text, "trees.txt", &problems);
      FUZZ_CHECK(trees.count >= 0 && trees.count <= kTreeSlots);
      break;
    }
    default: FormatMessage(text, "Alpha", "Beta"); break;
  }
  for (const DataFileProblem& p : problems) FUZZ_CHECK(p.line >= 0 && !p.message.empty());
  return 0;
}
