// The utility text font: layout in a rectangle and the bar for glyph-less codes.
#include <gtest/gtest.h>

#include "d3dutil/font/glyphs.h"
#include "d3dutil/font/text_font.h"

namespace halvex::d3dutil {
namespace {

using namespace gfx;

class TextFontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &dev_), S_OK);
    LogFont lf;
    lf.height = 24;
    std::snprintf(lf.faceName, sizeof lf.faceName, "Impact");
    ASSERT_EQ(TextFont::Create(dev_, lf, &font_), S_OK);
  }
  void TearDown() override {
    font_->Release();
    dev_->Release();
    d3d_->Release();
  }
  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
  TextFont* font_ = nullptr;
};

TEST(FontFacesTest, GameFacesMapToInstalledFilesNotToWhateverFontconfigGuesses) {
  EXPECT_NE(FontFileForFace("Arial", false, false).find("LiberationSans-Regular"), std::string::npos);
  std::string impact = FontFileForFace("Impact", false, false);
  EXPECT_TRUE(impact.find("Condensed-Bold") != std::string::npos || impact.find("-Bold") != std::string::npos)
      << impact;
  EXPECT_NE(FontFileForFace("Fixedsys", false, false).find("Mono"), std::string::npos);
  EXPECT_FALSE(FontFileForFace("No Such Face", false, false).empty());
}

TEST_F(TextFontTest, PositiveHeightIsTheWholeCell) { EXPECT_LE(font_->lineHeight(), 24); }

TEST_F(TextFontTest, CalcRectWrapsWordsAndCountsLines) {
  RECT r{0, 0, 800, 0};
  int one = font_->DrawText("Loading textures", -1, &r, DT_CALCRECT | DT_WORDBREAK, 0xFFFFFFFF);
  EXPECT_EQ(one, font_->lineHeight());
  int wordWidth = font_->TextWidth("textures");
  RECT narrow{0, 0, wordWidth + 2, 0};
  int wrapped = font_->DrawText("Loading textures", -1, &narrow, DT_CALCRECT | DT_WORDBREAK, 0xFFFFFFFF);
  EXPECT_EQ(wrapped, 2 * font_->lineHeight());
  RECT lines{0, 0, 800, 0};
  EXPECT_EQ(font_->DrawText("a\nb\nc", -1, &lines, DT_CALCRECT, 0), 3 * font_->lineHeight());
  RECT single{0, 0, 800, 0};
  EXPECT_EQ(font_->DrawText("a\nb", -1, &single, DT_CALCRECT | DT_SINGLELINE, 0), font_->lineHeight());
  RECT counted{0, 0, 800, 0};
  font_->DrawText("abcdef", 3, &counted, DT_CALCRECT, 0);
  EXPECT_EQ(counted.right, font_->TextWidth("abc"));
}

TEST_F(TextFontTest, CodesWithoutGlyphsShowAsABarAndTakeRoom) {
  EXPECT_GT(font_->TextWidth("\x80"), 0);
  EXPECT_EQ(font_->TextWidth("\x80"), font_->TextWidth("\x81")) << "same bar";
  EXPECT_EQ(font_->TextWidth("a\x01"), font_->TextWidth("a")) << "control codes take none";
  RecordedCalls(dev_)->clear();
  RECT r{0, 0, 800, 100};
  font_->DrawText("\x80", -1, &r, DT_CENTER, 0xFFFFFFFF);
  bool drew = false;
  for (const auto& call : *RecordedCalls(dev_)) drew |= call == "DrawPrimitiveUP 4 2 28";
  EXPECT_TRUE(drew) << "one quad for the bar";
}

TEST_F(TextFontTest, DrawingLeavesTheCallersStatesAlone) {
  dev_->SetRenderState(D3DRS_ZENABLE, TRUE);
  dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  RECT r{0, 0, 800, 100};
  font_->DrawText("Chat: hello", -1, &r, DT_LEFT, 0xFFFFFF00);
  DWORD z = 0, blend = 1;
  dev_->GetRenderState(D3DRS_ZENABLE, &z);
  dev_->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
  EXPECT_EQ(z, 1u);
  EXPECT_EQ(blend, 0u);
}

}  // namespace
}  // namespace halvex::d3dutil
