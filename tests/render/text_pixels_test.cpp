// Text in every game font drawn through the OpenGL device, captured with the
// screenshot path and kept in the build folder to be looked at.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "d3dutil/font/text_font.h"
#include "render/bitmap_font.h"
#include "screens/screenshot.h"

namespace halvex::render {
namespace {

using namespace gfx;

TEST(TextPixelsTest, EveryFontDrawsInkWhereItsLineIs) {
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("text", 0, 0, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr);
  Direct3D* d3d = Direct3DCreate8(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 800;
  pp.BackBufferHeight = 600;
  pp.Windowed = TRUE;
  pp.hDeviceWindow = window;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  Device* dev = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0, &pp, &dev), S_OK);

  BitmapFont fonts[] = {{"MS Sans Serif", 8, 0}, {"Impact", 16, 0}, {"Impact", 12, 0}, {"Diploma", 16, 0}};
  for (auto& f : fonts) {
    ASSERT_EQ(f.CreateGlyphTexture(dev), S_OK) << f.faceName;
    ASSERT_EQ(f.RestoreBuffers(dev), S_OK);
  }
  d3dutil::LogFont lf;
  lf.height = 24;
  std::snprintf(lf.faceName, sizeof lf.faceName, "Impact");
  d3dutil::TextFont* chat = nullptr;
  ASSERT_EQ(d3dutil::TextFont::Create(dev, lf, &chat), S_OK);

  dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102040, 1.0f, 0);
  dev->BeginScene();
  // As the HUD does: capture the caller's states, apply the font's, draw, restore.
  dev->CaptureStateBlock(fonts[0].savedBlock);
  dev->ApplyStateBlock(fonts[0].drawBlock);
  dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  const int rows[] = {20, 80, 150, 220};
  for (int i = 0; i < 4; ++i) {
    dev->SetTexture(0, fonts[i].texture);
    fonts[i].DrawText2D(20, float(rows[i]), 0xFFFFFFFF, "Frags: 12  The quick brown fox {}[]!?", 0);
  }
  dev->ApplyStateBlock(fonts[0].savedBlock);
  RECT r{0, 300, 800, 340};
  chat->DrawText("Chat: hello there \x80", -1, &r, d3dutil::DT_CENTER, 0xFFFFFF00);
  // Nothing in this line reaches below the baseline (no g, j, p, q or y),
  // however the atlas packs the accents of the letters next to them.
  RECT head{0, 420, 800, 520};
  chat->DrawText("Lead...Please Wait... Do Not Switch Stats At This Time.", -1, &head,
                 d3dutil::DT_CENTER | d3dutil::DT_TOP, 0xFFFFFFFF);
  dev->EndScene();
  dev->Present(nullptr, nullptr, nullptr, nullptr);

  std::vector<D3DCOLOR> px;
  UINT w = 0, h = 0;
  ASSERT_EQ(ReadBackPixels(dev, &px, &w, &h), S_OK);
  auto inkIn = [&](int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < 800; ++x)
        if (((px[y * 800 + x] >> 8) & 0xFF) > 0xA0) ++n;
    return n;
  };
  for (int i = 0; i < 4; ++i) EXPECT_GT(inkIn(rows[i], rows[i] + 30), 150) << fonts[i].faceName;
  EXPECT_EQ(inkIn(50, 75), 0) << "nothing between the first two lines";
  EXPECT_GT(inkIn(300, 340), 150);
  const int line = chat->lineHeight();
  EXPECT_GT(inkIn(420, 420 + line), 300);
  EXPECT_EQ(inkIn(420 + line * 17 / 20, 440 + line), 0) << "ink under the baseline: a neighbour's accent";

  const char* bin = std::getenv("HALVEX_BINARY_DIR");
  std::string out = std::string(bin ? bin : ".") + "/test-output";
  std::filesystem::create_directories(out);
  std::string shot = screens::Screenshot(dev, out);
  EXPECT_FALSE(shot.empty());
  chat->Release();
  for (auto& f : fonts) {
    f.ReleaseBuffers();
    f.ReleaseTexture();
  }
  dev->Release();
  d3d->Release();
  SDL_DestroyWindow(window);  // no SDL_Quit: the GL driver stays loaded so its caches can be told apart
}

}  // namespace
}  // namespace halvex::render
