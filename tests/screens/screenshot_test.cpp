// F11 captures: file naming, the exact BMP layout, and the picture read back
// by an independent reader.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <stb/stb_image.h>

#include "platform/desktop/desktop.h"
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

// Names already taken by links are passed over, never written through, and
// a "Screens" that is not a folder is reported with nothing written.
TEST_F(ScreenshotTest, PlantedLinksAndAFileForTheFolderAreNeverWrittenThrough) {
  const std::uint32_t px[4] = {0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC};
  const fs::path victim = dir_ / "victim.txt", absent = dir_ / "absent.txt";
  std::ofstream(victim) << "keep";
  struct Case {
    const char* what;
    bool screensIsFile;
    const char* expected;  // picture name, or "" for none
  };
  for (const Case& c : {Case{"links at the first names", false, "Picture02.bmp"},
                        Case{"a file named Screens", true, ""}}) {
    SCOPED_TRACE(c.what);
    const fs::path screens = dir_ / "Screens";
    fs::remove_all(screens);
    if (c.screensIsFile) {
      std::ofstream(screens) << "not a folder";
    } else {
      fs::create_directories(screens);
      fs::create_symlink(victim, screens / "Picture00.bmp");
      fs::create_symlink(absent, screens / "Picture01.bmp");
      EXPECT_EQ(fs::path(NextScreenshotName(screens.string())).filename(), c.expected);
    }
    ::testing::internal::CaptureStderr();
    const std::string name = SaveScreenshot(screens.string(), px, 2, 2);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(fs::path(name).filename(), c.expected);
    EXPECT_EQ(Read(victim), std::vector<unsigned char>({'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::exists(absent)) << "a dangling link was followed";
    if (c.screensIsFile) {
      EXPECT_NE(err.find("\"" + screens.string() + "\" is not a folder"), std::string::npos) << err;
      EXPECT_EQ(Read(screens).size(), 12u);
    } else {
      EXPECT_EQ(err, "");
      EXPECT_EQ(Read(name), EncodeBmp24(px, 2, 2));
    }
  }
}

// A disk that fills up mid-picture (the file size limit stands in for it)
// is reported and leaves no file at all behind, picture-named or not.
TEST_F(ScreenshotTest, AFullDiskLeavesNoPartialPicture) {
  std::vector<std::uint32_t> px(200 * 200, 0xFF336699);
  const fs::path screens = dir_ / "Screens";
  fs::create_directories(screens);
  const fs::path err = dir_ / "stderr.txt";
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::freopen(err.c_str(), "w", stderr);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{10000, 10000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool none = SaveScreenshot(screens.string(), px.data(), 200, 200).empty();
    std::fflush(stderr);
    ::_exit(none ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "claimed a picture";
  EXPECT_TRUE(fs::is_empty(screens)) << fs::directory_iterator(screens)->path();
  const std::vector<unsigned char> text = Read(err);
  const std::string message(text.begin(), text.end());
  EXPECT_NE(message.find("Picture00.bmp\" could not be created: File too large"), std::string::npos)
      << message;
}

// A folder the player may not write to. (Root writes through permission
// bits, so there the case cannot be staged.)
TEST_F(ScreenshotTest, AnUnwritableFolderIsReported) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
  const std::uint32_t px[1] = {0xFF000000};
  const fs::path screens = dir_ / "Screens";
  fs::create_directories(screens);
  fs::permissions(screens, fs::perms::owner_write, fs::perm_options::remove);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SaveScreenshot(screens.string(), px, 1, 1), "");
  const std::string err = ::testing::internal::GetCapturedStderr();
  fs::permissions(screens, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_NE(err.find("could not be created: Permission denied"), std::string::npos) << err;
  EXPECT_TRUE(fs::is_empty(screens));
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

TEST_F(ScreenshotTest, APngHoldsTheSamePixelsAsTheBmpAndNumbersItsOwnNames) {
  // A pattern with every channel distinct, an odd width to exercise padding.
  const int w = 37, h = 5;
  std::vector<std::uint32_t> pixels(w * h);
  for (int i = 0; i < w * h; ++i) pixels[i] = 0xFF000000u | std::uint32_t(i * 7) << 16 | std::uint32_t(255 - i) << 8 | std::uint32_t(i * 3);
  const std::string bmp = SaveScreenshot(dir_.string(), pixels.data(), w, h, PictureFormat::kBmp);
  const std::string png = SaveScreenshot(dir_.string(), pixels.data(), w, h, PictureFormat::kPng);
  EXPECT_EQ(fs::path(bmp).filename(), "Picture00.bmp");
  ASSERT_EQ(fs::path(png).filename(), "Picture00.png");
  auto decode = [](const std::vector<unsigned char>& file) {
    int dw = 0, dh = 0, n = 0;
    unsigned char* rgb = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &dw, &dh, &n, 3);
    std::vector<unsigned char> out;
    if (rgb && dw == 37 && dh == 5) out.assign(rgb, rgb + dw * dh * 3);
    stbi_image_free(rgb);
    return out;
  };
  const auto fromBmp = decode(Read(bmp)), fromPng = decode(Read(png));
  ASSERT_EQ(fromBmp.size(), size_t(w * h * 3));
  EXPECT_EQ(fromPng, fromBmp);
  EXPECT_EQ(fromPng[3 * 38 + 0], (38 * 7) & 0xFF) << "row 1, column 1: red";
}

TEST(PicturesFolder, FollowsTheDesktopsUserDirsAndFallsBackToHomePictures) {
  const fs::path root = fs::temp_directory_path() / ("halvex-pictures-" + std::to_string(::getpid()));
  fs::create_directories(root / "config");
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", root.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  EXPECT_EQ(platform::PicturesFolder(), (root / "Pictures").string()) << "no user-dirs.dirs";
  std::ofstream(root / "config" / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                       "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
  EXPECT_EQ(platform::PicturesFolder(), (root / "Bilder").string());
  std::ofstream(root / "config" / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/\"\n";
  EXPECT_EQ(platform::PicturesFolder(), (root / "Pictures").string()) << "home itself means none";
  ::setenv("HOME", oldHome.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(root);
}

}  // namespace
}  // namespace halvex::screens
