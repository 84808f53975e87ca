#include "d3dutil/image/image.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cstring>

namespace halvex {
namespace {

std::vector<uint8_t> DdsHeader(uint32_t w, uint32_t h, uint32_t pfFlags, uint32_t fourCC,
                               uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  std::vector<uint8_t> d(128, 0);
  auto put = [&](size_t at, uint32_t v) { std::memcpy(&d[at], &v, 4); };
  std::memcpy(d.data(), "DDS ", 4);
  put(4, 124);
  put(12, h);
  put(16, w);
  put(76, 32);
  put(80, pfFlags);
  put(84, fourCC);
  put(88, bits);
  put(92, r);
  put(96, g);
  put(100, b);
  put(104, a);
  return d;
}

void Append(std::vector<uint8_t>& d, std::initializer_list<uint8_t> bytes) {
  d.insert(d.end(), bytes.begin(), bytes.end());
}

TEST(Dds, UncompressedFormatsByTheirMasks) {
  // 2 x 1 A8R8G8B8
  auto argb = DdsHeader(2, 1, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  Append(argb, {0x10, 0x20, 0x30, 0x80, 0xFF, 0x00, 0x00, 0xFF});
  Image img;
  ASSERT_TRUE(DecodeDds(argb.data(), argb.size(), img));
  EXPECT_EQ(img.at(0, 0), 0x80302010u);
  EXPECT_EQ(img.at(1, 0), 0xFF0000FFu);

  // 1 x 2 R5G6B5: pure red, pure green; no alpha -> 255
  auto rgb565 = DdsHeader(1, 2, 0x40, 0, 16, 0xF800, 0x07E0, 0x001F, 0);
  Append(rgb565, {0x00, 0xF8, 0xE0, 0x07});
  ASSERT_TRUE(DecodeDds(rgb565.data(), rgb565.size(), img));
  EXPECT_EQ(img.at(0, 0), 0xFFFF0000u);
  EXPECT_EQ(img.at(0, 1), 0xFF00FF00u);

  // 24-bit rows padded to a pitch of 8 bytes (2 pixels of 3 bytes + 2)
  auto padded = DdsHeader(2, 2, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0);
  uint32_t flags = 0x8, pitch = 8;
  std::memcpy(&padded[8], &flags, 4);
  std::memcpy(&padded[20], &pitch, 4);
  Append(padded, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0});
  ASSERT_TRUE(DecodeDds(padded.data(), padded.size(), img));
  EXPECT_EQ(img.at(0, 1), 0xFF090807u);
  EXPECT_EQ(img.at(1, 1), 0xFF0C0B0Au);

  // luminance 8-bit
  auto lum = DdsHeader(1, 1, 0x20000, 0, 8, 0xFF, 0, 0, 0);
  Append(lum, {0x40});
  ASSERT_TRUE(DecodeDds(lum.data(), lum.size(), img));
  EXPECT_EQ(img.at(0, 0), 0xFF404040u);
}

TEST(Dds, CompressedBlocksDecodeWithTheirAlpha) {
  const uint32_t dxt1 = 0x31545844, dxt3 = 0x33545844, dxt5 = 0x35545844;
  // DXT1, c0 = white <= c1 = white is false (equal): three colours + transparent.
  auto one = DdsHeader(4, 4, 0x4, dxt1, 0, 0, 0, 0, 0);
  Append(one, {0x00, 0x00, 0x1F, 0x00,  // c0 black, c1 blue (c0 <= c1)
               0xE4, 0xFF, 0xFF, 0xFF});  // row 0: indices 0,1,2,3; rest 3
  Image img;
  ASSERT_TRUE(DecodeDds(one.data(), one.size(), img));
  EXPECT_EQ(img.at(0, 0), 0xFF000000u);
  EXPECT_EQ(img.at(1, 0), 0xFF0000FFu);
  EXPECT_EQ(img.at(2, 0), 0xFF00007Fu);
  EXPECT_EQ(img.at(3, 0), 0x00000000u);
  EXPECT_EQ(img.at(3, 3), 0x00000000u);

  // DXT3: explicit 4-bit alpha 0xF then 0x0 alternating; colour all c0 (red)
  auto three = DdsHeader(4, 4, 0x4, dxt3, 0, 0, 0, 0, 0);
  Append(three, {0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,
                 0x00, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  ASSERT_TRUE(DecodeDds(three.data(), three.size(), img));
  EXPECT_EQ(img.at(0, 0), 0xFFFF0000u);
  EXPECT_EQ(img.at(1, 0), 0x00FF0000u);

  // DXT5: a0 = 255, a1 = 0, all indices 1 (-> 0) except texel 0 index 0
  auto five = DdsHeader(5, 5, 0x4, dxt5, 0, 0, 0, 0, 0);  // 5 x 5: 2 x 2 blocks
  for (int b = 0; b < 4; ++b) {
    Append(five, {0xFF, 0x00, 0x48, 0x92, 0x24, 0x49, 0x92, 0x24,
                  0xE0, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  }
  ASSERT_TRUE(DecodeDds(five.data(), five.size(), img));
  EXPECT_EQ(img.width, 5u);
  EXPECT_EQ(img.at(0, 0), 0xFF00FF00u);
  EXPECT_EQ(img.at(1, 0), 0x0000FF00u);
  EXPECT_EQ(img.at(4, 4), 0xFF00FF00u);  // texel 0 of the last block
}

TEST(Dds, MalformedFilesAreRefused) {
  auto truncated = DdsHeader(64, 64, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  truncated.resize(truncated.size() + 100);
  Image img;
  std::string error;
  EXPECT_FALSE(DecodeDds(truncated.data(), truncated.size(), img, &error));
  auto huge = DdsHeader(0x7FFFFFFF, 0x7FFFFFFF, 0x4, 0x31545844, 0, 0, 0, 0, 0);
  EXPECT_FALSE(DecodeDds(huge.data(), huge.size(), img));
  auto odd = DdsHeader(1, 1, 0x40, 0, 12, 0xF00, 0xF0, 0xF, 0);
  Append(odd, {0, 0});
  EXPECT_FALSE(DecodeDds(odd.data(), odd.size(), img));
  auto other = DdsHeader(4, 4, 0x4, 0x30315844, 0, 0, 0, 0, 0);  // 'DX10'
  other.resize(other.size() + 64);
  EXPECT_FALSE(DecodeDds(other.data(), other.size(), img));
  EXPECT_FALSE(DecodeDds(truncated.data(), 50, img));
}

void ToVector(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

TEST(StbFormats, TgaBmpPngJpegDecodeTopRowFirst) {
  // 2 x 2 RGBA: red, green / blue, half-transparent white
  const uint8_t rgba[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
  std::vector<uint8_t> png, tga, bmp;
  stbi_write_png_to_func(ToVector, &png, 2, 2, 4, rgba, 8);
  stbi_write_tga_to_func(ToVector, &tga, 2, 2, 4, rgba);
  stbi_write_bmp_to_func(ToVector, &bmp, 2, 2, 4, rgba);
  for (auto* file : {&png, &tga}) {
    Image img;
    ASSERT_TRUE(DecodeImage(file->data(), file->size(), img));
    EXPECT_EQ(img.at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(img.at(1, 0), 0xFF00FF00u);
    EXPECT_EQ(img.at(0, 1), 0xFF0000FFu);
    EXPECT_EQ(img.at(1, 1), 0x80FFFFFFu);
  }
  Image img;
  ASSERT_TRUE(DecodeImage(bmp.data(), bmp.size(), img));
  EXPECT_EQ(img.at(0, 1) & 0xFFFFFFu, 0x0000FFu);

  // a bottom-up 24-bit TGA written by hand: first stored row is the bottom one
  std::vector<uint8_t> raw = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 24, 0,
                              0, 0, 255,   // bottom: red (BGR)
                              255, 0, 0};  // top: blue
  ASSERT_TRUE(DecodeImage(raw.data(), raw.size(), img));
  EXPECT_EQ(img.at(0, 0), 0xFF0000FFu);
  EXPECT_EQ(img.at(0, 1), 0xFFFF0000u);

  std::vector<uint8_t> solid(16 * 16 * 3, 200), jpg;
  stbi_write_jpg_to_func(ToVector, &jpg, 16, 16, 3, solid.data(), 95);
  ASSERT_TRUE(DecodeImage(jpg.data(), jpg.size(), img));
  EXPECT_NEAR(int(img.at(8, 8) & 0xFF), 200, 3);
  EXPECT_EQ(img.at(8, 8) >> 24, 255u);

  const uint8_t junk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_FALSE(DecodeImage(junk, sizeof junk, img));
  EXPECT_FALSE(DecodeImage(png.data(), png.size() / 2, img));
}

TEST(StbFormats, PicturesOverThePixelCapAreRefusedHoweverShortTheFile) {
  // stb_image fills what a truncated file lacks: an 18-byte run-length TGA
  // header alone decodes to the size it names.
  auto header = [](uint16_t w, uint16_t h) {
    return std::vector<uint8_t>{0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8),
                                uint8_t(h), uint8_t(h >> 8), 24, 0};
  };
  Image img;
  auto atCap = header(1024, 1024);
  ASSERT_TRUE(DecodeImage(atCap.data(), atCap.size(), img));
  EXPECT_EQ(img.pixels.size(), size_t(kMaxDecodedPixels));
  auto over = header(1024, 1025);
  EXPECT_FALSE(DecodeImage(over.data(), over.size(), img));
}

TEST(StbFormats, OnlyTheFourDocumentedFormatsReachTheDecoder) {
  // a 1 x 1 PNM that stb_image would read
  const uint8_t pnm[] = {'P', '6', '\n', '1', ' ', '1', '\n', '2', '5', '5', '\n', 255, 0, 0};
  Image img;
  EXPECT_FALSE(DecodeImage(pnm, sizeof pnm, img));
}

TEST(MipChain, LevelsHalveDownToOnePixelAndAverage) {
  EXPECT_EQ(FullMipLevelCount(256, 64), 9u);
  EXPECT_EQ(FullMipLevelCount(1, 1), 1u);
  EXPECT_EQ(FullMipLevelCount(5, 3), 3u);
  Image img;
  img.width = 3;
  img.height = 1;
  img.pixels = {0xFF000000u, 0xFF0000FEu, 0x00FFFFFFu};
  Image half = HalveImage(img);
  EXPECT_EQ(half.width, 1u);
  EXPECT_EQ(half.height, 1u);
  EXPECT_EQ(half.pixels[0], 0xFF00007Fu);
}

}  // namespace
}  // namespace halvex
