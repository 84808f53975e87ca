// Buffers, indexed drawing, texture formats and levels, and a reset on GL.
#include "tests/gfx/gl_fixture.h"

namespace halvex::gfx::test {
namespace {

using ResourceTest = GlDeviceTest;

TEST_F(ResourceTest, BufferedAndIndexedDrawingHonourStartAndBaseVertex) {
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  PosColor quads[8] = {{-1, 1, 0.5f, 0xFFFF0000}, {0, 1, 0.5f, 0xFFFF0000}, {-1, 0, 0.5f, 0xFFFF0000},
                       {0, 0, 0.5f, 0xFFFF0000},  {0, 0, 0.5f, 0xFF00FF00}, {1, 0, 0.5f, 0xFF00FF00},
                       {0, -1, 0.5f, 0xFF00FF00}, {1, -1, 0.5f, 0xFF00FF00}};
  VertexBuffer* vb = nullptr;
  ASSERT_EQ(dev_->CreateVertexBuffer(sizeof quads, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_DIFFUSE,
                                     D3DPOOL_MANAGED, &vb),
            S_OK);
  BYTE* data = nullptr;
  vb->Lock(0, 0, &data, 0);
  std::memcpy(data, quads, sizeof quads);
  vb->Unlock();
  IndexBuffer* ib = nullptr;
  ASSERT_EQ(dev_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), S_OK);
  const WORD idx[6] = {0, 1, 2, 2, 1, 3};
  ib->Lock(0, 0, &data, 0);
  std::memcpy(data, idx, sizeof idx);
  ib->Unlock();
  dev_->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  dev_->SetStreamSource(0, vb, sizeof(PosColor));
  dev_->SetIndices(ib, 4);  // the second quad
  ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), S_OK);
  EXPECT_TRUE(Near(Pixel(48, 48), {0, 255, 0, 0}, 1));
  EXPECT_TRUE(Near(Pixel(16, 16), {0, 0, 0, 0}, 1));
  ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
  EXPECT_TRUE(Near(Pixel(16, 16), {255, 0, 0, 0}, 1));
  // Rewriting the buffer shows on the next draw.
  vb->Lock(0, 0, &data, D3DLOCK_DISCARD);
  for (auto& v : quads) v.c = 0xFF0000FF;
  std::memcpy(data, quads, sizeof quads);
  vb->Unlock();
  dev_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 2);
  EXPECT_TRUE(Near(Pixel(48, 48), {0, 0, 255, 0}, 1));
  dev_->SetStreamSource(0, nullptr, 0);
  dev_->SetIndices(nullptr, 0);
  ib->Release();
  vb->Release();
}

struct FormatCase {
  D3DFORMAT format;
  std::uint32_t texel;  // in the format's own bits
  Rgba expected;
};
class TextureFormatTest : public GlDeviceTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(TextureFormatTest, TexelsDecodeAsDirect3DLaysThemOut) {
  Texture* t = nullptr;
  ASSERT_EQ(dev_->CreateTexture(1, 1, 1, 0, GetParam().format, D3DPOOL_MANAGED, &t), S_OK);
  D3DLOCKED_RECT lr{};
  t->LockRect(0, &lr, nullptr, 0);
  std::memcpy(lr.pBits, &GetParam().texel, FormatBytes(GetParam().format));
  t->UnlockRect(0);
  dev_->SetTexture(0, t);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  DrawColorQuad(0xFFFFFFFF);
  EXPECT_TRUE(Near(Pixel(32, 32), GetParam().expected, 2, true));
  t->Release();
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TextureFormatTest,
    ::testing::Values(FormatCase{D3DFMT_A8R8G8B8, 0x80FF4020, {255, 64, 32, 128}},
                      FormatCase{D3DFMT_X8R8G8B8, 0x00FF4020, {255, 64, 32, 255}},
                      FormatCase{D3DFMT_R5G6B5, 0xF81F, {255, 0, 255, 255}},
                      FormatCase{D3DFMT_A4R4G4B4, 0x8F0F, {255, 0, 255, 136}},
                      FormatCase{D3DFMT_A1R5G5B5, 0x7C00, {255, 0, 0, 0}}));

TEST_F(ResourceTest, Dxt1BlocksDecode) {
  Texture* t = nullptr;
  ASSERT_EQ(dev_->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &t), S_OK);
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
  EXPECT_EQ(lr.Pitch, 8) << "one row of 4x4 blocks";
  const BYTE block[8] = {0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};  // colour 0 red, colour 1 blue, all texels 0
  std::memcpy(lr.pBits, block, sizeof block);
  t->UnlockRect(0);
  dev_->SetTexture(0, t);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  DrawColorQuad(0xFFFFFFFF);
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 0, 0, 0}, 2));
  t->Release();
}

TEST_F(ResourceTest, MipLevelsAreSampledWhenMinified) {
  Texture* t = nullptr;
  ASSERT_EQ(dev_->CreateTexture(4, 4, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), S_OK);
  ASSERT_EQ(t->GetLevelCount(), 2u);
  for (UINT level = 0; level < 2; ++level) {
    D3DLOCKED_RECT lr{};
    t->LockRect(level, &lr, nullptr, 0);
    UINT side = 4 >> level;
    for (UINT y = 0; y < side; ++y)
      for (UINT x = 0; x < side; ++x)
        reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] =
            level == 0 ? 0xFFFF0000 : 0xFF00FF00;
    t->UnlockRect(level);
  }
  dev_->SetTexture(0, t);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
  RhwColorTex v[4] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {1.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                      {-0.5f, 1.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1}, {1.5f, 1.5f, 0.5f, 1, 0xFFFFFFFF, 1, 1}};
  dev_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  EXPECT_TRUE(Near(Pixel(0, 0), {0, 255, 0, 0}, 1)) << "a 4x4 texture on 2x2 pixels reads level 1";
  dev_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  EXPECT_TRUE(Near(Pixel(0, 0), {255, 0, 0, 0}, 1));
  t->Release();
}

TEST_F(ResourceTest, ResetKeepsManagedTexturesAndTakesTheNewSize) {
  Texture* t = MakeTexture(1, 1, {0xFF00FF00});
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SimulateDeviceLost();
  EXPECT_EQ(dev_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  white_->Release();
  white_ = nullptr;
  D3DPRESENT_PARAMETERS pp = params_;
  pp.BackBufferWidth = pp.BackBufferHeight = 32;
  ASSERT_EQ(dev_->Reset(&pp), S_OK);
  D3DVIEWPORT8 vp{};
  dev_->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 32u);
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);  // the reset brought the defaults back
  dev_->SetTexture(0, t);
  DrawColorQuad(0xFFFFFFFF, -1, -1, 0, 1);
  std::vector<D3DCOLOR> px;
  UINT w = 0, h = 0;
  ASSERT_EQ(ReadBackPixels(dev_, &px, &w, &h), S_OK);
  EXPECT_EQ(w, 32u);
  EXPECT_TRUE(Near(Unpack(px[16 * 32 + 8]), {0, 255, 0, 0}, 1));
  EXPECT_TRUE(Near(Unpack(px[16 * 32 + 24]), {0, 0, 0, 0}, 1));
  t->Release();
}

// Once drawn, a texture's pixels live in GL only: a lock reads them back as
// they were written, in every format and level, an edit shows on the next
// draw, and the pixels outlive the device.
TEST_F(ResourceTest, DrawnTexturesLockWithTheirOwnBytes) {
  std::vector<D3DFORMAT> formats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5,
                                    D3DFMT_A4R4G4B4};
  if (SDL_GL_ExtensionSupported("GL_EXT_texture_compression_s3tc")) formats.push_back(D3DFMT_DXT1);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  std::vector<Texture*> textures;
  std::vector<std::vector<BYTE>> written;  // each level's bytes, in order
  for (D3DFORMAT format : formats) {
    Texture* t = nullptr;
    ASSERT_EQ(dev_->CreateTexture(8, 8, 2, 0, format, D3DPOOL_MANAGED, &t), S_OK);
    for (UINT level = 0; level < 2; ++level) {
      D3DLOCKED_RECT lr{};
      ASSERT_EQ(t->LockRect(level, &lr, nullptr, 0), S_OK);
      D3DSURFACE_DESC desc{};
      t->GetLevelDesc(level, &desc);
      std::vector<BYTE> bytes(desc.Size);
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = BYTE(i * 37 + format + level * 11);
      std::memcpy(lr.pBits, bytes.data(), bytes.size());
      t->UnlockRect(level);
      written.push_back(bytes);
    }
    dev_->SetTexture(0, t);
    DrawColorQuad(0xFFFFFFFF);
    textures.push_back(t);
  }
  auto expectWritten = [&](const char* when) {
    for (size_t i = 0; i < textures.size(); ++i) {
      for (UINT level = 0; level < 2; ++level) {
        Surface* surface = nullptr;  // through the level's surface, as loaders lock them
        textures[i]->GetSurfaceLevel(level, &surface);
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(surface->LockRect(&lr, nullptr, D3DLOCK_READONLY), S_OK) << when;
        const auto& bytes = written[i * 2 + level];
        EXPECT_EQ(std::memcmp(lr.pBits, bytes.data(), bytes.size()), 0)
            << when << ": format " << formats[i] << " level " << level;
        surface->UnlockRect();
        surface->Release();
      }
    }
  };
  expectWritten("after drawing");

  // Drawn again after those locks, then edited: the edit is what is drawn.
  dev_->SetTexture(0, textures[0]);
  DrawColorQuad(0xFFFFFFFF);
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(textures[0]->LockRect(0, &lr, nullptr, 0), S_OK);
  for (UINT y = 0; y < 8; ++y)
    for (UINT x = 0; x < 8; ++x) reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = 0xFF0000FF;
  textures[0]->UnlockRect(0);
  DrawColorQuad(0xFFFFFFFF);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 255, 0}, 1));
  if (formats.back() == D3DFMT_DXT1) {
    ASSERT_EQ(textures.back()->LockRect(0, &lr, nullptr, 0), S_OK);
    const BYTE red[8] = {0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};  // colour 0 red, all texels 0
    for (int block = 0; block < 4; ++block) std::memcpy(static_cast<BYTE*>(lr.pBits) + block * 8, red, 8);
    textures.back()->UnlockRect(0);
    dev_->SetTexture(0, textures.back());
    DrawColorQuad(0xFFFFFFFF);
    EXPECT_TRUE(Near(Pixel(32, 32), {255, 0, 0, 0}, 2));
    for (int block = 0; block < 4; ++block) std::memcpy(written[written.size() - 2].data() + block * 8, red, 8);
  }
  for (UINT y = 0; y < 8; ++y)
    for (UINT x = 0; x < 8; ++x) std::memcpy(written[0].data() + (y * 8 + x) * 4, "\xFF\x00\x00\xFF", 4);

  dev_->SetTexture(0, nullptr);
  white_->Release();
  white_ = nullptr;
  dev_->Release();
  dev_ = nullptr;
  expectWritten("after the device is gone");
  for (Texture* t : textures) t->Release();
}

// A colour and depth pair GL cannot draw into is refused, and drawing goes on
// into the target that was set; a back buffer GL cannot hold is refused by
// Reset, which leaves the device lost until a size it can take.
TEST_F(ResourceTest, SurfacesGlCannotDrawIntoAreRefused) {
  Texture* rt = nullptr;
  ASSERT_EQ(dev_->CreateTexture(kSize, kSize, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &rt), S_OK);
  Surface *level = nullptr, *wideDepth = nullptr;
  rt->GetSurfaceLevel(0, &level);
  constexpr UINT kWiderThanGl = 1u << 17;  // beyond any GL's renderbuffer and texture sizes
  ASSERT_EQ(dev_->CreateDepthStencilSurface(kWiderThanGl, kSize, D3DFMT_D16, D3DMULTISAMPLE_NONE, &wideDepth), S_OK);
  EXPECT_EQ(dev_->SetRenderTarget(level, wideDepth), D3DERR_INVALIDCALL);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  DrawScreenQuad(0xFF00FF00, 0, 0, 32, 64);
  EXPECT_TRUE(Near(Pixel(16, 32), {0, 255, 0, 0}, 1)) << "the back buffer is still the target";
  EXPECT_TRUE(Near(Pixel(48, 32), {255, 0, 0, 0}, 1));
  for (Unknown* u : std::initializer_list<Unknown*>{level, wideDepth, rt}) u->Release();

  D3DPRESENT_PARAMETERS wide = params_;
  wide.BackBufferWidth = kWiderThanGl;
  EXPECT_EQ(dev_->Reset(&wide), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  ASSERT_EQ(dev_->Reset(&params_), S_OK);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  EXPECT_TRUE(Near(Pixel(16, 32), {0, 0, 255, 0}, 1));
}

// Something else's call can leave a GL error pending; read-backs and
// screenshots answer for their own work only.
TEST_F(ResourceTest, ReadBacksIgnoreAnErrorLeftByAnEarlierCall) {
  using GlEnable = void (*)(unsigned);
  auto leaveError = [] {
    reinterpret_cast<GlEnable>(SDL_GL_GetProcAddress("glEnable"))(0xFFFFu);  // GL_INVALID_ENUM
  };
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFF00FF00, 1.0f, 7);
  dev_->Present(nullptr, nullptr, nullptr, nullptr);
  std::vector<D3DCOLOR> pixels;
  std::vector<BYTE> stencil;
  UINT w = 0, h = 0;
  leaveError();
  ASSERT_EQ(ReadBackPixels(dev_, &pixels, &w, &h), S_OK);
  EXPECT_TRUE(Near(Unpack(pixels[0]), {0, 255, 0, 0}, 1));
  leaveError();
  ASSERT_EQ(ReadBackStencil(dev_, &stencil, &w, &h), S_OK);
  EXPECT_EQ(stencil[0], 7);
  leaveError();
  Surface* shot = nullptr;
  ASSERT_EQ(dev_->CreateImageSurface(kSize, kSize, D3DFMT_A8R8G8B8, &shot), S_OK);
  if (kBackBufferInWindow) {
    EXPECT_EQ(dev_->GetFrontBuffer(shot), D3DERR_NOTAVAILABLE) << "given up for the window";
  } else {
    EXPECT_EQ(dev_->GetFrontBuffer(shot), S_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(shot->LockRect(&lr, nullptr, 0), S_OK);
    EXPECT_TRUE(Near(Unpack(*static_cast<D3DCOLOR*>(lr.pBits)), {0, 255, 0, 0}, 1));
    shot->UnlockRect();
  }
  shot->Release();
}

}  // namespace
}  // namespace halvex::gfx::test
