// The files a player opens outside the game: readme.txt, which the
// launcher's welcome sends them to, and the icon of the window and the
// desktop menus.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include <stb/stb_image.h>

#include "tests/contentgen/pack_util.h"
#include "tools/contentgen/catalog.h"

namespace halvex::contentgen::test {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& file) {
  const auto bytes = ReadBytes(file);
  return {bytes.begin(), bytes.end()};
}

bool Names(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

TEST(PlayerFiles, ReadmeNamesEveryControlAndWhereThingsAreKept) {
  const fs::path readme = ContentDir() / "readme.txt";
  ASSERT_TRUE(fs::exists(readme)) << "the launcher's welcome tells the player to read it";
  const std::string text = ReadText(readme);

  // Every key of the help page's keyboard table is in the readme too, so the
  // two never disagree about what a key does.
  const std::string help = ReadText(ContentDir() / "Halvex2.html");
  const size_t keyboard = help.find("<h2>Keyboard</h2>");
  ASSERT_NE(keyboard, std::string::npos);
  const size_t end = help.find("</table>", keyboard);
  int helpKeys = 0;
  for (size_t at = help.find("<th>", keyboard); at < end; at = help.find("<th>", at + 1)) {
    const size_t close = help.find("</th>", at);
    const std::string key = help.substr(at + 4, close - at - 4);
    EXPECT_TRUE(Names(text, key)) << "readme.txt does not name the key " << key;
    ++helpKeys;
  }
  EXPECT_GT(helpKeys, 10);

  // Keys the help page leaves out, the mouse, and where the files are.
  for (const char* what : {"Pause", "Delete", "1  2  3", "Left button", "Right button", "Wheel", "Move the mouse",
                           "varnholt/halvex.conf", "Screens/Picture00.bmp", "--skip-launcher", "--help"})
    EXPECT_TRUE(Names(text, what)) << "readme.txt does not mention " << what;

  // Plain text that reads the same in a terminal and any editor.
  size_t lineStart = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\n') {
      EXPECT_TRUE(text[i] >= 0x20 && text[i] < 0x7f) << "not plain ASCII at byte " << i;
      continue;
    }
    EXPECT_LE(i - lineStart, 80u) << "line too long: " << text.substr(lineStart, i - lineStart);
    lineStart = i + 1;
  }
}

// Each icon is a badge: square at its own size, clear corners so it sits on
// any panel, and opaque across its middle.
TEST(PlayerFiles, IconsAreOpaqueBadgesWithClearCorners) {
  for (int size : {kIconSmall, kIconLarge}) {
    const auto bytes = ReadBytes(ContentDir() / IconPath(size));
    ASSERT_FALSE(bytes.empty()) << IconPath(size);
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgba =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 4);
    ASSERT_NE(rgba, nullptr) << IconPath(size) << ": " << stbi_failure_reason();
    EXPECT_EQ(w, size);
    EXPECT_EQ(h, size);
    EXPECT_EQ(channels, 4) << "the icon needs its alpha channel";
    auto alpha = [&](int x, int y) { return rgba[(static_cast<size_t>(y) * w + x) * 4 + 3]; };
    for (int c : {0, w - 1}) {
      EXPECT_EQ(alpha(c, 0), 0) << IconPath(size);
      EXPECT_EQ(alpha(c, h - 1), 0) << IconPath(size);
    }
    for (int y = h / 8; y < h - h / 8; ++y)
      for (int x = w / 8; x < w - w / 8; ++x) ASSERT_EQ(alpha(x, y), 255) << IconPath(size) << " at " << x << "," << y;
    // A drawing, not a flat square: the middle row holds several colours.
    int changes = 0;
    for (int x = 1; x < w; ++x) {
      const stbi_uc* a = rgba + (static_cast<size_t>(h / 2) * w + x - 1) * 4;
      changes += std::abs(a[0] - a[4]) + std::abs(a[1] - a[5]) + std::abs(a[2] - a[6]) > 60;
    }
    EXPECT_GE(changes, 4) << IconPath(size);
    stbi_image_free(rgba);
  }
}

}  // namespace
}  // namespace halvex::contentgen::test
