// The loading screen as drawn on GL: headline, bar, notice and the window's
// status line land in their bands with their colours.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "game/loading_screen.h"
#include "platform/gfx/device.h"

namespace halvex::game {
namespace {

using namespace gfx;

constexpr UINT kW = 320, kH = 240;

class LoadingPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = SDL_CreateWindow("loading", 0, 0, kW, kH, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = kW;
    pp.BackBufferHeight = kH;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window_;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &pp, &dev_),
              S_OK);
  }
  void TearDown() override {
    if (dev_) dev_->Release();
    if (d3d_) d3d_->Release();
    if (window_) SDL_DestroyWindow(window_);
  }

  // The presented picture, as the screenshot reads it.
  std::vector<D3DCOLOR> FrontBuffer() {
    std::vector<D3DCOLOR> pixels(kW * kH);
    Surface* image = nullptr;
    EXPECT_EQ(dev_->CreateImageSurface(kW, kH, D3DFMT_A8R8G8B8, &image), S_OK);
    D3DLOCKED_RECT locked{};
    if (image && SUCCEEDED(dev_->GetFrontBuffer(image)) && SUCCEEDED(image->LockRect(&locked, nullptr, 0))) {
      for (UINT y = 0; y < kH; ++y)
        std::memcpy(&pixels[y * kW], static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch, kW * 4);
      image->UnlockRect();
    }
    if (image) image->Release();
    return pixels;
  }

  // Whether any pixel in rows [top, bottom) matches.
  template <class F>
  static bool AnyInRows(const std::vector<D3DCOLOR>& p, UINT top, UINT bottom, F&& match) {
    for (UINT y = top; y < bottom && y < kH; ++y)
      for (UINT x = 0; x < kW; ++x) {
        const D3DCOLOR c = p[y * kW + x];
        if (match(int(c >> 16 & 0xff), int(c >> 8 & 0xff), int(c & 0xff))) return true;
      }
    return false;
  }

  SDL_Window* window_ = nullptr;
  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
};

TEST_F(LoadingPixels, LinesAndBarAndStatusLandInTheirBands) {
  auto white = [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; };
  auto red = [](int r, int g, int b) { return r > 180 && g < 60 && b < 60; };
  auto blue = [](int r, int g, int b) { return b > 180 && r < 60 && g < 60; };
  auto grey = [](int r, int g, int b) { return r > 100 && r < 220 && std::abs(r - g) < 8 && std::abs(g - b) < 8; };
  const int H = kH / 2;
  {
    LoadingScreen screen(dev_, kW, kH, DeviceLine("Test Adapter", 2), NoticeLine(1),
                         [] { return std::string("Loading Game...Please Wait..."); });
    ASSERT_TRUE(screen.ready());
    screen.Redraw("Initializing and Receiving Options");
    auto first = FrontBuffer();
    EXPECT_TRUE(AnyInRows(first, H - 50, H - 30, white)) << "headline";
    EXPECT_FALSE(AnyInRows(first, H - 30, H - 10, blue)) << "no bar on the first screen";
    EXPECT_TRUE(AnyInRows(first, H + 5, H + 30, red)) << "notice";
    EXPECT_TRUE(AnyInRows(first, kH - 24, kH, grey)) << "status line at the bottom";
    EXPECT_FALSE(AnyInRows(first, 0, H - 55, white)) << "nothing above the headline";

    screen.ClearBar();
    screen.AppendBarGlyphs(8);
    screen.Redraw("Generating Texture Database");
    EXPECT_TRUE(AnyInRows(FrontBuffer(), H - 30, H - 10, blue)) << "the bar shows its glyphs";
  }
  LoadingScreen plain(dev_, kW, kH, DeviceLine("Test Adapter", 0), NoticeLine(0), nullptr);
  plain.Redraw("Loading Complete, Starting Game");
  EXPECT_FALSE(AnyInRows(FrontBuffer(), kH - 24, kH, grey)) << "no status text, no status line";
}

// Steps that come faster than the display share a picture; the last one
// asked for shows every glyph the steps added.
TEST_F(LoadingPixels, QuickStepsEndOnAPictureWithTheWholeBar) {
  const int H = kH / 2;
  auto barEnd = [&](const std::vector<D3DCOLOR>& p) {  // rightmost blue column of the bar, -1 for none
    int end = -1;
    for (UINT y = H - 30; y < UINT(H - 10); ++y)
      for (UINT x = 0; x < kW; ++x) {
        const D3DCOLOR c = p[y * kW + x];
        if ((c & 0xff) > 180 && (c >> 16 & 0xff) < 60 && (c >> 8 & 0xff) < 60) end = std::max(end, int(x));
      }
    return end;
  };
  LoadingScreen reference(dev_, kW, kH, DeviceLine("Test Adapter", 2), NoticeLine(1), nullptr);
  reference.ClearBar();
  reference.AppendBarGlyphs(24);
  reference.Redraw("Generating World Map");
  const int whole = barEnd(FrontBuffer());
  ASSERT_GT(whole, 0);

  LoadingScreen screen(dev_, kW, kH, DeviceLine("Test Adapter", 2), NoticeLine(1), nullptr);
  const LoadingScreen::Clock::time_point frozen{};
  screen.UseClock([&] { return frozen; });
  screen.Redraw("Initializing and Receiving Options");
  screen.ClearBar();
  for (int i = 0; i < 12; ++i) {
    screen.Redraw("Generating World Map");
    if (i % 2 == 1) screen.AppendBarGlyphs(4);
  }
  EXPECT_EQ(screen.pictures(), 2) << "no time passed: the first step and the new caption only";
  EXPECT_EQ(barEnd(FrontBuffer()), -1) << "the caption's first step had no glyphs yet";
  screen.ShowPending();
  EXPECT_EQ(barEnd(FrontBuffer()), whole);
}

}  // namespace
}  // namespace halvex::game
