// Rasterisation, texture stages, per-pixel tests, blending and render targets.
#include "platform/gfx/gl_device.h"
#include "tests/gfx/gl_fixture.h"

namespace halvex::gfx::test {
namespace {

using RasterTest = GlDeviceTest;

TEST_F(RasterTest, PretransformedVerticesUseIntegerPixelCentres) {
  DrawScreenQuad(0xFFFFFFFF, 9.75f, 9.75f, 10.25f, 10.25f);
  EXPECT_TRUE(Near(Pixel(10, 10), {255, 255, 255, 0}, 1));
  for (auto [x, y] : {std::pair{9, 9}, {11, 10}, {10, 11}, {9, 10}})
    EXPECT_TRUE(Near(Pixel(x, y), {0, 0, 0, 0}, 1)) << x << "," << y;
}

TEST_F(RasterTest, PretransformedTexelsLandOnTheirPixels) {
  std::vector<D3DCOLOR> texels(16);
  for (int i = 0; i < 16; ++i) texels[i] = 0xFF000000u | (i * 16u) << 16 | (255u - i * 16u);
  Texture* t = MakeTexture(4, 4, texels);
  dev_->SetTexture(0, t);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  RhwColorTex v[4] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                      {3.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                      {-0.5f, 3.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1},
                      {3.5f, 3.5f, 0.5f, 1, 0xFFFFFFFF, 1, 1}};
  dev_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_TRUE(Near(Pixel(x, y), Unpack(texels[y * 4 + x]), 1)) << x << "," << y;
  t->Release();
}

struct CullCase {
  DWORD mode;
  bool clockwiseDrawn, counterClockwiseDrawn;
};
class CullTest : public GlDeviceTest, public ::testing::WithParamInterface<CullCase> {};

TEST_P(CullTest, FrontFacesAreClockwiseOnScreen) {
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetRenderState(D3DRS_CULLMODE, GetParam().mode);
  PosColor tris[6] = {{-0.9f, -0.5f, 0.5f, 0xFFFFFFFF}, {-0.5f, 0.5f, 0.5f, 0xFFFFFFFF},
                      {-0.1f, -0.5f, 0.5f, 0xFFFFFFFF}, {0.1f, -0.5f, 0.5f, 0xFFFFFFFF},
                      {0.9f, -0.5f, 0.5f, 0xFFFFFFFF},  {0.5f, 0.5f, 0.5f, 0xFFFFFFFF}};
  dev_->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tris, sizeof tris[0]);
  EXPECT_EQ(Pixel(16, 37).r > 128, GetParam().clockwiseDrawn);
  EXPECT_EQ(Pixel(48, 37).r > 128, GetParam().counterClockwiseDrawn);
}

INSTANTIATE_TEST_SUITE_P(Modes, CullTest,
                         ::testing::Values(CullCase{D3DCULL_CCW, true, false}, CullCase{D3DCULL_CW, false, true},
                                           CullCase{D3DCULL_NONE, true, true}));

TEST_F(RasterTest, DepthKeepsDirect3DRangeAndLessEqual) {
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  DrawScreenQuad(0xFF00FF00, 0, 0, 64, 64, 0.5f);
  DrawColorQuad(0xFFFF0000, -1, -1, 1, 1, 0.4f);   // nearer: wins
  DrawColorQuad(0xFF0000FF, -1, -1, 1, 1, -0.25f);  // in front of the near plane: clipped
  DrawColorQuad(0xFFFFFF00, -1, -1, 1, 1, 0.6f);   // behind: fails LESSEQUAL
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 0, 0, 0}, 1));
  dev_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  DrawColorQuad(0xFFFFFF00, -1, -1, 1, 1, 0.6f);
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 255, 0, 0}, 1));
}

TEST_F(RasterTest, StageDefaultsModulateColourAndSelectTextureAlpha) {
  Texture* t = MakeTexture(1, 1, {0x40FF8000});
  dev_->SetTexture(0, t);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  DrawColorQuad(0x80808080);
  EXPECT_TRUE(Near(Pixel(32, 32), {128, 64, 0, 64}, 1, true));
  t->Release();
}

TEST_F(RasterTest, TextureFactorByteOrder) {
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80FF4000);
  dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  dev_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
  DrawColorQuad(0xFFFFFFFF);
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 64, 0, 128}, 1, true));
}

TEST_F(RasterTest, SecondStageModulatesAndDisabledStageEndsTheCascade) {
  Texture* base = MakeTexture(1, 1, {0xFF80FF40});
  Texture* light = MakeTexture(1, 1, {0xFF808080});
  struct V {
    float x, y, z;
    D3DCOLOR c;
    float u0, v0, u1, v1;
  } v[4] = {{-1, 1, 0.5f, 0xFFFFFFFF, 0, 0, 0, 0}, {1, 1, 0.5f, 0xFFFFFFFF, 1, 0, 1, 0},
            {-1, -1, 0.5f, 0xFFFFFFFF, 0, 1, 0, 1}, {1, -1, 0.5f, 0xFFFFFFFF, 1, 1, 1, 1}};
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetTexture(0, base);
  dev_->SetTexture(1, light);
  dev_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  dev_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  dev_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  dev_->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
  dev_->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  EXPECT_TRUE(Near(Pixel(32, 32), {64, 128, 32, 0}, 2));
  dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);  // stage 1 must not run either
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 255, 255, 0}, 1));
  base->Release();
  light->Release();
}

struct BlendCase {
  DWORD src, dest;
  Rgba expected;
};
class BlendTest : public GlDeviceTest, public ::testing::WithParamInterface<BlendCase> {};

TEST_P(BlendTest, FactorsOnTargetColourAndAlpha) {
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF4080FF, 1.0f, 0);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  dev_->SetRenderState(D3DRS_SRCBLEND, GetParam().src);
  dev_->SetRenderState(D3DRS_DESTBLEND, GetParam().dest);
  DrawColorQuad(0x40FF0000);
  EXPECT_TRUE(Near(Pixel(32, 32), GetParam().expected, 2, true));
}

INSTANTIATE_TEST_SUITE_P(
    Factors, BlendTest,
    ::testing::Values(BlendCase{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, {112, 96, 191, 207}},
                      BlendCase{D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, {64, 0, 0, 64}},
                      BlendCase{D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR, {255, 128, 255, 207}},
                      BlendCase{D3DBLEND_ONE, D3DBLEND_ONE, {255, 128, 255, 255}},           // additive
                      BlendCase{D3DBLEND_ONE, D3DBLEND_DESTCOLOR, {255, 64, 255, 255}},      // glow
                      BlendCase{D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR, {255, 64, 255, 255}}  // multiply
                      ));

struct AlphaCase {
  DWORD func;
  bool leftDrawn, rightDrawn;
};
class AlphaTestTest : public GlDeviceTest, public ::testing::WithParamInterface<AlphaCase> {};

TEST_P(AlphaTestTest, ReferenceComparedInEightBits) {
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  dev_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  dev_->SetRenderState(D3DRS_ALPHAREF, 0x80);
  dev_->SetRenderState(D3DRS_ALPHAFUNC, GetParam().func);
  DrawColorQuad(0x80FFFFFF, -1, -1, 0, 1);
  DrawColorQuad(0x7FFFFFFF, 0, -1, 1, 1);
  EXPECT_EQ(Pixel(16, 32).r > 128, GetParam().leftDrawn);
  EXPECT_EQ(Pixel(48, 32).r > 128, GetParam().rightDrawn);
}

INSTANTIATE_TEST_SUITE_P(Functions, AlphaTestTest,
                         ::testing::Values(AlphaCase{D3DCMP_GREATEREQUAL, true, false},
                                           AlphaCase{D3DCMP_GREATER, false, false},
                                           AlphaCase{D3DCMP_LESS, false, true}, AlphaCase{D3DCMP_EQUAL, true, false},
                                           AlphaCase{D3DCMP_NOTEQUAL, false, true},
                                           AlphaCase{D3DCMP_ALWAYS, true, true}));

struct StencilCase {
  DWORD passOp;
  DWORD ref;
};
class StencilTest : public GlDeviceTest, public ::testing::WithParamInterface<StencilCase> {};

TEST_P(StencilTest, SaturatingAndWrappingIncrement) {
  dev_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 253);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  dev_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
  dev_->SetRenderState(D3DRS_STENCILPASS, GetParam().passOp);
  for (int i = 0; i < 3; ++i) DrawColorQuad(0xFF202020);
  dev_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  dev_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
  dev_->SetRenderState(D3DRS_STENCILREF, GetParam().ref);
  DrawColorQuad(0xFF00FF00);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 255, 0, 0}, 1));
}

INSTANTIATE_TEST_SUITE_P(Ops, StencilTest,
                         ::testing::Values(StencilCase{D3DSTENCILOP_INCRSAT, 255}, StencilCase{D3DSTENCILOP_INCR, 0}));

// The debug overdraw view: count layers in the stencil, then show 1, 2 and
// 3+ layers in three colours with EQUAL / LESSEQUAL tests.
TEST_F(RasterTest, StencilOverdrawCountingShowsThreeColours) {
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetRenderState(D3DRS_ZENABLE, FALSE);
  dev_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  dev_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
  dev_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCRSAT);
  DrawScreenQuad(0xFF000000, 0, 0, 48, 64);   // columns 0..47: one layer
  DrawScreenQuad(0xFF000000, 16, 0, 64, 64);  // 16..47: two, 48..63: one
  DrawScreenQuad(0xFF000000, 32, 0, 48, 64);  // 32..47: three
  dev_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  const std::pair<DWORD, D3DCOLOR> bands[] = {{1, 0xFF0000FF}, {2, 0xFF00FF00}, {3, 0xFFFF0000}};
  for (auto [layers, color] : bands) {
    dev_->SetRenderState(D3DRS_STENCILREF, layers);
    dev_->SetRenderState(D3DRS_STENCILFUNC, layers == 3 ? D3DCMP_LESSEQUAL : D3DCMP_EQUAL);
    DrawScreenQuad(color, 0, 0, 64, 64);
  }
  EXPECT_TRUE(Near(Pixel(8, 8), {0, 0, 255, 0}, 1));
  EXPECT_TRUE(Near(Pixel(24, 8), {0, 255, 0, 0}, 1));
  EXPECT_TRUE(Near(Pixel(40, 8), {255, 0, 0, 0}, 1));
  EXPECT_TRUE(Near(Pixel(56, 8), {0, 0, 255, 0}, 1));
}

TEST_F(RasterTest, WrapRepeatsAndClampHoldsTheEdgeTexel) {
  Texture* t = MakeTexture(2, 1, {0xFFFF0000, 0xFF00FF00});
  dev_->SetTexture(0, t);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  // u runs 0..2 over the width: x = 40 samples u = 1.27, the red half of the second repeat.
  RhwColorTex v[4] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {63.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 2, 0},
                      {-0.5f, 63.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1}, {63.5f, 63.5f, 0.5f, 1, 0xFFFFFFFF, 2, 1}};
  dev_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  EXPECT_TRUE(Near(Pixel(40, 32), {255, 0, 0, 0}, 1));
  dev_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  EXPECT_TRUE(Near(Pixel(40, 32), {0, 255, 0, 0}, 1));
  t->Release();
}

TEST_F(RasterTest, WireframeDrawsEdgesOnly) {
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
  DrawScreenQuad(0xFFFFFFFF, 8, 8, 56, 56);
  EXPECT_TRUE(Near(Pixel(20, 40), {0, 0, 0, 0}, 1));
  EXPECT_TRUE(Near(Pixel(8, 30), {255, 255, 255, 0}, 1));
}

TEST_F(RasterTest, RenderTargetTextureWithOwnDepthIsDrawnAndSampled) {
  Texture* rt = nullptr;
  ASSERT_EQ(dev_->CreateTexture(128, 128, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &rt), S_OK);
  Surface* rtDepth = nullptr;
  ASSERT_EQ(dev_->CreateDepthStencilSurface(128, 128, D3DFMT_D16, D3DMULTISAMPLE_NONE, &rtDepth), S_OK);
  Surface *oldTarget = nullptr, *oldDepth = nullptr, *level = nullptr;
  dev_->GetRenderTarget(&oldTarget);
  dev_->GetDepthStencilSurface(&oldDepth);
  rt->GetSurfaceLevel(0, &level);
  ASSERT_EQ(dev_->SetRenderTarget(level, rtDepth), S_OK);
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetTexture(0, nullptr);
  DrawScreenQuad(0xFFFF0000, 0, 0, 128, 64);  // top half red
  ASSERT_EQ(dev_->SetRenderTarget(oldTarget, oldDepth), S_OK);
  D3DVIEWPORT8 vp{};
  dev_->GetViewport(&vp);
  EXPECT_EQ(vp.Width, kSize) << "the viewport follows the target";
  dev_->SetTexture(0, rt);
  RhwColorTex v[4] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {63.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                      {-0.5f, 63.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1}, {63.5f, 63.5f, 0.5f, 1, 0xFFFFFFFF, 1, 1}};
  dev_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  EXPECT_TRUE(Near(Pixel(32, 10), {255, 0, 0, 0}, 1)) << "v = 0 is the top row of the target";
  EXPECT_TRUE(Near(Pixel(32, 54), {0, 0, 255, 0}, 1));
  dev_->SetTexture(0, nullptr);
  for (Unknown* u : std::initializer_list<Unknown*>{level, oldTarget, oldDepth, rtDepth, rt}) u->Release();
}

TEST_F(RasterTest, CachedStateMatchesStateSentEveryDraw) {
  auto scene = [&] {
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    for (int i = 0; i < 4; ++i) {
      dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, i & 1);
      dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
      dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
      dev_->SetRenderState(D3DRS_CULLMODE, i == 2 ? D3DCULL_CW : D3DCULL_NONE);
      DrawScreenQuad(0xFF404040 + i, float(i * 8), 0, float(i * 8 + 24), 64, 0.5f);
    }
    std::vector<D3DCOLOR> px;
    UINT w, h;
    ReadBackPixels(dev_, &px, &w, &h);
    return px;
  };
  auto cached = scene();
  SetGlStateCacheBypass(dev_, true);
  auto sent = scene();
  EXPECT_EQ(cached, sent);
}

}  // namespace
}  // namespace halvex::gfx::test

namespace halvex::gfx {
namespace {

TEST(LetterboxRect, KeepsTheShapeCentredAndTakesAMatchingWindowWhole) {
  EXPECT_EQ(LetterboxRect(640, 480, 640, 480), (PresentRect{0, 0, 640, 480}));
  EXPECT_EQ(LetterboxRect(640, 480, 1280, 960), (PresentRect{0, 0, 1280, 960}));
  EXPECT_EQ(LetterboxRect(640, 480, 960, 480), (PresentRect{160, 0, 640, 480})) << "bars left and right";
  EXPECT_EQ(LetterboxRect(640, 480, 640, 960), (PresentRect{0, 240, 640, 480})) << "bars above and below";
  EXPECT_EQ(LetterboxRect(800, 600, 1921, 1080), (PresentRect{240, 0, 1440, 1080}));
  EXPECT_EQ(LetterboxRect(800, 600, 0, 0), (PresentRect{0, 0, 0, 0})) << "a minimised window";
}

}  // namespace
}  // namespace halvex::gfx
