// BitmapFont on the recording device: texture sizes, measuring, layout of the
// vertices it writes and its batch limits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "render/bitmap_font.h"

namespace halvex::render {
namespace {

using namespace gfx;

struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};

class BitmapFontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    pp.Windowed = TRUE;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &dev_), S_OK);
  }
  void TearDown() override {
    font_.reset();
    dev_->Release();
    d3d_->Release();
  }
  BitmapFont& Make(const char* face, unsigned height) {
    font_ = std::make_unique<BitmapFont>(face, height, 0);
    EXPECT_EQ(font_->CreateGlyphTexture(dev_), S_OK);
    EXPECT_EQ(font_->RestoreBuffers(dev_), S_OK);
    return *font_;
  }
  std::vector<ScreenVertex> Written(int count) {
    BYTE* data = nullptr;
    font_->vertexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY);
    std::vector<ScreenVertex> v(reinterpret_cast<ScreenVertex*>(data), reinterpret_cast<ScreenVertex*>(data) + count);
    font_->vertexBuffer->Unlock();
    return v;
  }
  std::vector<std::string> Draws() {
    std::vector<std::string> draws;
    for (const auto& line : *RecordedCalls(dev_))
      if (line.rfind("DrawPrimitive ", 0) == 0) draws.push_back(line);
    return draws;
  }

  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
  std::unique_ptr<BitmapFont> font_;
};

TEST(GlyphTextureSizeTest, GrowsAboveTwentyAndForty) {
  EXPECT_EQ(GlyphTextureSize(20), 256u);
  EXPECT_EQ(GlyphTextureSize(21), 512u);
  EXPECT_EQ(GlyphTextureSize(40), 512u);
  EXPECT_EQ(GlyphTextureSize(41), 1024u);
}

TEST_F(BitmapFontTest, GlyphTextureIsA4R4G4B4WhiteWithAlpha) {
  BitmapFont& f = Make("Impact", 21);
  EXPECT_EQ(f.textureWidth, 512u);
  D3DSURFACE_DESC d{};
  f.texture->GetLevelDesc(0, &d);
  EXPECT_EQ(d.Format, D3DFMT_A4R4G4B4);
  EXPECT_EQ(d.Width, 512u);
  D3DLOCKED_RECT lr{};
  f.texture->LockRect(0, &lr, nullptr, D3DLOCK_READONLY);
  int inked = 0, wrong = 0;
  for (unsigned y = 0; y < 512; ++y)
    for (unsigned x = 0; x < 512; ++x) {
      WORD t = reinterpret_cast<WORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x];
      if (t) ++inked;
      if (t && (t & 0x0FFF) != 0x0FFF) ++wrong;
    }
  f.texture->UnlockRect(0);
  EXPECT_GT(inked, 1000) << "95 glyphs leave ink";
  EXPECT_EQ(wrong, 0);
  // Glyph cells go left to right in code order on the first row.
  EXPECT_LT(f.glyphCoords['A' - 32][0], f.glyphCoords['B' - 32][0]);
  EXPECT_GT(f.glyphCoords['W' - 32][2] - f.glyphCoords['W' - 32][0], f.glyphCoords['i' - 32][2] - f.glyphCoords['i' - 32][0]);
}

TEST_F(BitmapFontTest, MeasureTextRowsWidthsAndSkippedCodes) {
  BitmapFont& f = Make("MS Sans Serif", 8);
  TextSize empty{}, ab{}, abTab{}, twoRows{}, high{};
  ASSERT_EQ(f.MeasureText("", &empty), S_OK);
  const int row = static_cast<int>((f.glyphCoords[0][3] - f.glyphCoords[0][1]) * f.textureHeight);
  EXPECT_EQ(empty.cx, 0);
  EXPECT_EQ(empty.cy, row);
  f.MeasureText("ab", &ab);
  f.MeasureText("a\tb\x01", &abTab);
  EXPECT_GT(ab.cx, 0);
  EXPECT_EQ(abTab.cx, ab.cx) << "control codes take no space";
  f.MeasureText("ab\nabab\n", &twoRows);
  EXPECT_EQ(twoRows.cy, 3 * row);
  EXPECT_NEAR(twoRows.cx, 2 * ab.cx, 1) << "the widest row";
  f.MeasureText("ab\x7f\x80\xff", &high);
  EXPECT_EQ(high.cx, ab.cx) << "127 and above take no space";
  EXPECT_EQ(f.MeasureText(nullptr, &empty), E_FAIL);
  EXPECT_EQ(f.MeasureText("x", nullptr), E_FAIL);
}

TEST_F(BitmapFontTest, NewlineReturnsToTheStartXAndQuadsSitHalfAPixelBack) {
  BitmapFont& f = Make("MS Sans Serif", 8);
  ASSERT_EQ(f.DrawText2D(100, 50, 0xFFFFFFFF, "AB\nC", 0), S_OK);
  auto v = Written(18);
  EXPECT_FLOAT_EQ(v[0].x, 99.5f);
  EXPECT_FLOAT_EQ(v[0].y, 49.5f);
  EXPECT_FLOAT_EQ(v[0].z, 0.9f);
  EXPECT_GT(v[6].x, v[0].x) << "B follows A";
  EXPECT_FLOAT_EQ(v[12].x, 99.5f) << "C starts the second row at the start x";
  EXPECT_GT(v[12].y, v[0].y);
  EXPECT_EQ(v[12].colour, 0xFFFFFFFFu);
  EXPECT_FLOAT_EQ(v[0].u, f.glyphCoords['A' - 32][0]);
}

TEST_F(BitmapFontTest, LongTextIsDrawnInBatchesThatFitTheBuffer) {
  BitmapFont& f = Make("MS Sans Serif", 8);
  RecordedCalls(dev_)->clear();
  f.DrawText2D(0, 0, 0xFFFFFFFF, std::string(60, 'x').c_str(), 0);
  EXPECT_THAT(Draws(), ::testing::ElementsAre("DrawPrimitive 4 0 100", "DrawPrimitive 4 0 20"));
  RecordedCalls(dev_)->clear();
  f.DrawText3D(std::string(100, 'x').c_str(), 0);
  EXPECT_THAT(Draws(), ::testing::ElementsAre("DrawPrimitive 4 0 86", "DrawPrimitive 4 0 86", "DrawPrimitive 4 0 28"));
}

TEST_F(BitmapFontTest, StateBlocksAreRecordedAndReleased) {
  BitmapFont& f = Make("Impact", 16);
  ASSERT_NE(f.savedBlock, 0u);
  ASSERT_NE(f.drawBlock, 0u);
  dev_->ApplyStateBlock(f.drawBlock);
  DWORD v = 0;
  dev_->GetRenderState(D3DRS_ALPHAREF, &v);
  EXPECT_EQ(v, 8u);
  dev_->GetRenderState(D3DRS_ZENABLE, &v);
  EXPECT_EQ(v, 0u);
  DWORD block = f.drawBlock;
  f.ReleaseBuffers();
  EXPECT_EQ(f.drawBlock, 0u);
  EXPECT_EQ(dev_->ApplyStateBlock(block), D3DERR_INVALIDCALL);
  EXPECT_EQ(f.DrawText2D(0, 0, 0, "x", 0), E_FAIL) << "no buffer";
  f.ReleaseBuffers();  // twice is harmless
}

}  // namespace
}  // namespace halvex::render
