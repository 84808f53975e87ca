// The shell's icon loader: the generated pack's icon under the name the
// shell asks for, pixels handed on in R, G, B, A order, and nothing at all
// for a missing or broken file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/paths/paths.h"
#include "shell/window_icon.h"

namespace halvex {
namespace {

namespace fs = std::filesystem;

class WindowIcon : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("halvex-icon-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "icons");
  }
  void TearDown() override {
    paths::SetContentDirectory(".");
    fs::remove_all(dir_);
  }
  void WriteIcon(const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(dir_ / "icons" / "halvex64.png", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  fs::path dir_;
};

TEST_F(WindowIcon, ThePacksIconLoadsAtWindowSizeWithItsAlpha) {
  const char* build = std::getenv("HALVEX_BINARY_DIR");
  ASSERT_NE(build, nullptr);
  paths::SetContentDirectory((fs::path(build) / "bin" / "content").string());
  const IconPixels icon = LoadIconPixels(kWindowIconPath);
  ASSERT_FALSE(icon.empty()) << "the generated pack has no " << kWindowIconPath;
  EXPECT_EQ(icon.width, 64);
  EXPECT_EQ(icon.height, 64);
  ASSERT_EQ(icon.rgba.size(), 64u * 64u * 4u);
  EXPECT_EQ(icon.rgba[3], 0) << "the corner is clear";
  EXPECT_EQ(icon.rgba[(32u * 64u + 32u) * 4u + 3u], 255) << "the middle is opaque";
}

TEST_F(WindowIcon, PixelsComeOutAsRgbaInFileOrder) {
  // A 2 x 1 true-colour TGA, top row first, stored as B, G, R, A.
  WriteIcon({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 32, 0x28,  //
             30, 20, 10, 40,                                            //
             3, 2, 1, 255});
  paths::SetContentDirectory(dir_.string());
  const IconPixels icon = LoadIconPixels(kWindowIconPath);
  ASSERT_EQ(icon.width, 2);
  ASSERT_EQ(icon.height, 1);
  EXPECT_EQ(icon.rgba, (std::vector<std::uint8_t>{10, 20, 30, 40, 1, 2, 3, 255}));
}

TEST_F(WindowIcon, AMissingOrBrokenFileIsNoIcon) {
  paths::SetContentDirectory(dir_.string());
  EXPECT_TRUE(LoadIconPixels(kWindowIconPath).empty());
  WriteIcon({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0xff});
  EXPECT_TRUE(LoadIconPixels(kWindowIconPath).empty());
}

}  // namespace
}  // namespace halvex
