// A back buffer drawn straight into the window: what happens when the
// application pairs it with something the window cannot hold, and what the
// front buffer answers. Built into the pixel tests' window variant only.
#include "tests/gfx/gl_fixture.h"

namespace halvex::gfx::test {
namespace {

class WindowBackBufferTest : public GlDeviceTest {
 protected:
  // Left half at depth 0.25 in red, a green block in the top right corner
  // at depth 0.75; the rest cleared blue at depth 1.
  void DrawPattern() {
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF, 1.0f, 0);
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    DrawScreenQuad(0xFFFF0000, 0, 0, 32, 64, 0.25f);
    DrawScreenQuad(0xFF00FF00, 48, 0, 64, 16, 0.75f);
  }

  // A grey quad at depth 0.5 over the whole target, tested LESSEQUAL: it
  // stays behind the left half only if that half's depth came along.
  void CoverAtHalfDepth() { DrawScreenQuad(0xFF808080, 0, 0, 64, 64, 0.5f); }

  void ExpectPatternCovered() {
    EXPECT_TRUE(Near(Pixel(8, 8), {255, 0, 0, 0}, 1)) << "the near half keeps its colour";
    EXPECT_TRUE(Near(Pixel(8, 56), {255, 0, 0, 0}, 1));
    EXPECT_TRUE(Near(Pixel(56, 8), {128, 128, 128, 0}, 2)) << "the far block is covered";
    EXPECT_TRUE(Near(Pixel(56, 56), {128, 128, 128, 0}, 2));
  }
};

TEST_F(WindowBackBufferTest, TheFrameAndItsDepthFollowTheBackBufferOutOfTheWindow) {
  DrawPattern();
  EXPECT_TRUE(Near(Pixel(56, 8), {0, 255, 0, 0}, 1)) << "top row first, as offscreen";
  EXPECT_TRUE(Near(Pixel(56, 56), {0, 0, 255, 0}, 1));
  ASSERT_TRUE(BackBufferInWindow(dev_));

  // The automatic depth surface with a texture: the window cannot hold that.
  Texture* rt = nullptr;
  ASSERT_EQ(dev_->CreateTexture(kSize, kSize, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &rt),
            S_OK);
  Surface *back = nullptr, *depth = nullptr, *level = nullptr;
  dev_->GetRenderTarget(&back);
  dev_->GetDepthStencilSurface(&depth);
  rt->GetSurfaceLevel(0, &level);
  ASSERT_EQ(dev_->SetRenderTarget(level, depth), S_OK);
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
  EXPECT_FALSE(BackBufferInWindow(dev_));

  ASSERT_EQ(dev_->SetRenderTarget(back, depth), S_OK);
  CoverAtHalfDepth();
  ExpectPatternCovered();
  for (Unknown* u : std::initializer_list<Unknown*>{level, back, depth, rt}) u->Release();
}

TEST_F(WindowBackBufferTest, TheBackBufferWithAnotherDepthSurfaceLeavesTheWindowWithItsPicture) {
  DrawPattern();
  Surface *back = nullptr, *depth = nullptr, *other = nullptr;
  dev_->GetRenderTarget(&back);
  dev_->GetDepthStencilSurface(&depth);
  ASSERT_EQ(dev_->CreateDepthStencilSurface(kSize, kSize, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, &other), S_OK);
  ASSERT_EQ(dev_->SetRenderTarget(back, other), S_OK);
  dev_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  EXPECT_FALSE(BackBufferInWindow(dev_));
  EXPECT_TRUE(Near(Pixel(56, 8), {0, 255, 0, 0}, 1)) << "the picture came along, the right way up";
  EXPECT_TRUE(Near(Pixel(8, 56), {255, 0, 0, 0}, 1));

  // Back with its own depth surface, drawn offscreen from now on.
  ASSERT_EQ(dev_->SetRenderTarget(back, depth), S_OK);
  CoverAtHalfDepth();
  ExpectPatternCovered();
  dev_->Present(nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(BackBufferInWindow(dev_)) << "it stays offscreen";
  for (Unknown* u : std::initializer_list<Unknown*>{back, depth, other}) u->Release();
}

TEST_F(WindowBackBufferTest, AResetToTheWindowsSizeDrawsInTheWindowAgainAndTheFrontBufferIsGivenUp) {
  Surface* image = nullptr;
  ASSERT_EQ(dev_->CreateImageSurface(kSize, kSize, D3DFMT_A8R8G8B8, &image), S_OK);
  DrawPattern();
  dev_->Present(nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(dev_->GetFrontBuffer(image), D3DERR_NOTAVAILABLE);

  D3DPRESENT_PARAMETERS other = params_;
  other.BackBufferWidth = 32;
  ASSERT_EQ(dev_->Reset(&other), S_OK);
  EXPECT_FALSE(BackBufferInWindow(dev_)) << "a back buffer of another size than the window";
  ASSERT_EQ(dev_->Reset(&params_), S_OK);
  EXPECT_TRUE(BackBufferInWindow(dev_));
  DrawPattern();
  CoverAtHalfDepth();
  ExpectPatternCovered();
  EXPECT_EQ(dev_->GetFrontBuffer(image), D3DERR_NOTAVAILABLE);
  image->Release();
}

}  // namespace
}  // namespace halvex::gfx::test
