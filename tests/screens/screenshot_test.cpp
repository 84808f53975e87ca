// F11 captures: file naming, the exact BMP layout, and the picture read back
// by an independent reader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/gfx/device.h"
#include "screens/screenshot.h"

namespace halvex::screens {
namespace {

namespace fs = std::filesystem;

class ScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("halvex-shot-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  static std::vector<unsigned char> Read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
  static std::uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
  }
  fs::path dir_;
};

TEST_F(ScreenshotTest, FirstFreeNumberAndNinetyNineWhenFull) {
  for (int i = 0; i < 5; ++i) std::ofstream(NextScreenshotName(dir_.string()));
  EXPECT_EQ(fs::path(NextScreenshotName(dir_.string())).filename(), "Picture05.bmp");
  fs::remove(dir_ / "Picture02.bmp");
  EXPECT_EQ(fs::path(NextScreenshotName(dir_.string())).filename(), "Picture02.bmp");
  for (int i = 0; i < 100; ++i) std::ofstream(NextScreenshotName(dir_.string()));
  EXPECT_EQ(fs::path(NextScreenshotName(dir_.string())).filename(), "Picture99.bmp");
}

TEST_F(ScreenshotTest, RowsAreBottomUpBgrAndPaddedToFourBytes) {
  // 5 x 2: 15 bytes of pixels per row, padded to 16.
  const std::uint32_t px[10] = {0xFF010203, 0, 0, 0, 0xFFAABBCC, 0xFF102030, 0, 0, 0, 0};
  fs::path p = dir_ / "small.bmp";
  ASSERT_TRUE(WriteBmp24(p.string(), px, 5, 2));
  auto b = Read(p);
  ASSERT_EQ(b.size(), 54u + 32u);
  EXPECT_EQ(U32(b, 2), 86u);
  EXPECT_EQ(U32(b, 34), 32u);
  // The bottom screen row comes first.
  EXPECT_EQ(b[54], 0x30);
  EXPECT_EQ(b[55], 0x20);
  EXPECT_EQ(b[56], 0x10);
  EXPECT_EQ(b[54 + 15], 0) << "padding";
  EXPECT_EQ(b[54 + 16], 0x03);
  EXPECT_EQ(b[54 + 16 + 12], 0xCC);
  EXPECT_EQ(b[54 + 16 + 14], 0xAA);
  EXPECT_FALSE(WriteBmp24((dir_ / "no" / "such" / "x.bmp").string(), px, 5, 2));
}

TEST_F(ScreenshotTest, CaptureAt800x600IsExactAndReadsBackInImageMagick) {
  gfx::Direct3D* d3d = gfx::Direct3DCreate8(gfx::D3D_SDK_VERSION);
  gfx::D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 800;
  pp.BackBufferHeight = 600;
  pp.Windowed = gfx::TRUE;
  gfx::Device* dev = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, gfx::D3DDEVTYPE_HAL, nullptr, 0, &pp, &dev), gfx::S_OK);
  dev->Clear(0, nullptr, gfx::D3DCLEAR_TARGET, 0xFF204080, 1.0f, 0);
  dev->Present(nullptr, nullptr, nullptr, nullptr);

  std::string name = Screenshot(dev, dir_.string());  // "Screens" does not exist yet
  ASSERT_EQ(fs::path(name), dir_ / "Screens" / "Picture00.bmp");
  EXPECT_EQ(fs::file_size(name), 1440054u);
  auto b = Read(name);
  EXPECT_EQ(U32(b, 18), 800u);
  EXPECT_EQ(U32(b, 22), 600u);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(b[54], 0x80);
  EXPECT_EQ(b[55], 0x40);
  EXPECT_EQ(b[56], 0x20);
  EXPECT_EQ(fs::path(Screenshot(dev, dir_.string())).filename(), "Picture01.bmp");
  dev->Release();
  d3d->Release();

  if (std::system("command -v identify >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick not installed";
  std::string cmd = "identify -format '%w %h %[pixel:p{10,10}]' '" + name + "'";
  std::FILE* pipe = ::popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char out[128] = {};
  size_t n = std::fread(out, 1, sizeof out - 1, pipe);
  ::pclose(pipe);
  std::string text(out, n);
  EXPECT_EQ(text.substr(0, 8), "800 600 ") << text;
  EXPECT_NE(text.find("(32,64,128)"), std::string::npos) << text;
}

}  // namespace
}  // namespace halvex::screens
