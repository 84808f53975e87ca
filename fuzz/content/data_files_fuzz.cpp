// One libFuzzer entry for every content-file reader: the first byte picks the
// reader, the rest is the file's text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "content/data_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace halvex;
  if (size == 0) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  DataFileProblems problems;
  switch (data[0] % 9) {
    case 0: ParseAreaOptions(text, "options.txt", &problems); break;
    case 1: ParsePickupLists(text, "items.txt", &problems); break;
    case 2: ParseTextureNameList(text, "textures.txt", &problems); break;
    case 3: ParseTileTextureLists(text, "texture.txt", &problems); break;
    case 4: {
      MultiTexTable table{};
      ParseMultiTexTable(text, "multitex.txt", table, &problems);
      break;
    }
    case 5: {
      MessageTables tables = ParseMessageTables(text, "messages.txt", &problems);
      for (const MessageTable& table : tables) {
        int pick = PickMessageIndex(table.count, static_cast<float>(table.count) - 0.5f);
        FormatMessage(table.lines[static_cast<size_t>(pick)].data(), "Alpha", "Beta");
      }
      break;
    }
    case 6: ParseWorldList(text, "worlds.txt", &problems); break;
    case 7: ParseSoundList(text, "sounds.txt", &problems); break;
    default: FormatMessage(text, "Alpha", "Beta"); break;
  }
  return 0;
}
