// A 64x64 OpenGL device on a hidden window, and helpers to draw quads and
// read pixels, for the fixed-function pixel tests. Built a second time with
// HALVEX_BACK_BUFFER_IN_WINDOW, every test draws into the window's own
// framebuffer (bottom row first) instead of an offscreen one.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/gfx/device.h"

namespace halvex::gfx::test {

// Mesa takes some GL 4.1 / ES formats (GL_RGB565) in a 3.3 core context too;
// without the extension that brings them it answers as a strict 3.3 driver
// does. Set before the first context, which reads it once.
inline const bool kStrictGl33 = setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_ES2_compatibility", 0) == 0;

#ifdef HALVEX_BACK_BUFFER_IN_WINDOW
inline constexpr bool kBackBufferInWindow = true;
#else
inline constexpr bool kBackBufferInWindow = false;
#endif

struct Rgba {
  int r, g, b, a;
};

inline Rgba Unpack(D3DCOLOR c) {
  return {int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF), int(c >> 24)};
}

inline ::testing::AssertionResult Near(Rgba got, Rgba want, int tolerance, bool alpha = false) {
  bool ok = std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
            std::abs(got.b - want.b) <= tolerance && (!alpha || std::abs(got.a - want.a) <= tolerance);
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << got.r << "," << got.g << "," << got.b << "," << got.a
                                       << ") want (" << want.r << "," << want.g << "," << want.b << ","
                                       << want.a << ")";
}

inline DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

inline size_t FormatBytes(D3DFORMAT f) {
  return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 ? 4 : 2;
}

struct PosNormal {
  float x, y, z, nx, ny, nz;
};
struct PosColor {
  float x, y, z;
  D3DCOLOR c;
};
struct RhwColor {
  float x, y, z, rhw;
  D3DCOLOR c;
};
struct RhwColorTex {
  float x, y, z, rhw;
  D3DCOLOR c;
  float u, v;
};

class GlDeviceTest : public ::testing::Test {
 protected:
  static constexpr UINT kSize = 64;

  void SetUp() override {
    // Video stays initialised for the whole run: quitting would unload the GL
    // driver before the leak checker can name its own caches.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    // The window's buffers match the automatic depth surface, D24S8.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    window_ = SDL_CreateWindow("gfx test", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = pp.BackBufferHeight = kSize;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window_;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    if (kBackBufferInWindow) pp.Flags = kPresentFlagNoFrontBuffer;
    params_ = pp;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev_),
              S_OK);
    ASSERT_EQ(BackBufferInWindow(dev_), kBackBufferInWindow);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
    white_ = MakeTexture(1, 1, {0xFFFFFFFFu});
    dev_->SetTexture(0, white_);
  }

  void TearDown() override {
    if (white_) white_->Release();
    if (dev_) dev_->Release();
    if (d3d_) d3d_->Release();
    if (window_) SDL_DestroyWindow(window_);
  }

  Texture* MakeTexture(UINT w, UINT h, const std::vector<D3DCOLOR>& texels, DWORD levels = 1) {
    Texture* t = nullptr;
    EXPECT_EQ(dev_->CreateTexture(w, h, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), S_OK);
    D3DLOCKED_RECT lr{};
    EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
    for (UINT y = 0; y < h; ++y)
      std::memcpy(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch, &texels[y * w], w * 4);
    t->UnlockRect(0);
    return t;
  }

  Rgba Pixel(int x, int y) {
    std::vector<D3DCOLOR> pixels;
    UINT w = 0, h = 0;
    EXPECT_EQ(ReadBackPixels(dev_, &pixels, &w, &h), S_OK);
    return Unpack(pixels.at(size_t(y) * w + x));
  }

  // Quad Q: corners (+-s, +-s, z), normal (0,0,-1), as a strip.
  void DrawLitQuad(float s = 1.0f, float z = 0.5f) {
    PosNormal v[4] = {{-s, s, z, 0, 0, -1}, {s, s, z, 0, 0, -1}, {-s, -s, z, 0, 0, -1}, {s, -s, z, 0, 0, -1}};
    dev_->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  }

  void DrawColorQuad(D3DCOLOR c, float x0 = -1, float y0 = -1, float x1 = 1, float y1 = 1, float z = 0.5f) {
    PosColor v[4] = {{x0, y1, z, c}, {x1, y1, z, c}, {x0, y0, z, c}, {x1, y0, z, c}};
    dev_->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  }

  // Pre-transformed quad in target pixels.
  void DrawScreenQuad(D3DCOLOR c, float x0, float y0, float x1, float y1, float z = 0.5f) {
    RhwColor v[4] = {{x0, y0, z, 1, c}, {x1, y0, z, 1, c}, {x0, y1, z, 1, c}, {x1, y1, z, 1, c}};
    dev_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  }

  static D3DMATERIAL8 Material(D3DCOLORVALUE diffuse, D3DCOLORVALUE specular = {}, float power = 0) {
    D3DMATERIAL8 m{};
    m.Diffuse = diffuse;
    m.Specular = specular;
    m.Power = power;
    return m;
  }

  SDL_Window* window_ = nullptr;
  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
  Texture* white_ = nullptr;
  D3DPRESENT_PARAMETERS params_{};
};

}  // namespace halvex::gfx::test
