// The files of a full load: one device texture per file while loading,
// files read ahead on a worker giving what reading them when asked gives,
// and the image code every texture's mip chain goes through.
#include "content/loading_files.h"

#include <random>

#include "content/varn_mesh.h"
#include "d3dutil/image/image.h"
#include "tests/content/content_fixture.h"

namespace halvex {
namespace {

using namespace gfx;

class LoadingFilesTest : public ContentFixture {
 protected:
  // Level 0's first texel.
  static D3DCOLOR FirstTexel(Texture* texture) {
    D3DLOCKED_RECT locked{};
    if (!texture || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return 0;
    const D3DCOLOR texel = *static_cast<const D3DCOLOR*>(locked.pBits);
    texture->UnlockRect(0);
    return texel;
  }
};

ULONG RefCount(Texture* t) {
  t->AddRef();
  return t->Release();
}

TEST_F(LoadingFilesTest, WhileOpenAFileMakesOneTextureEachHolderWithItsOwnReference) {
  WriteDds("textures/a.dds", 4);
  Texture *first = nullptr, *second = nullptr, *later = nullptr;
  {
    LoadingFiles files;
    ASSERT_EQ(LoadingFiles::Open(), &files);
    ASSERT_EQ(CreateContentTexture(device_, "textures\\a.dds", &first), S_OK);
    ASSERT_EQ(CreateContentTexture(device_, "TEXTURES\\A.DDS", &second), S_OK);  // the same file
    EXPECT_EQ(first, second);
    EXPECT_EQ(files.texturesShared(), 1);
    EXPECT_EQ(RefCount(first), 3u) << "two holders and the open LoadingFiles";
  }
  EXPECT_EQ(LoadingFiles::Open(), nullptr);
  EXPECT_EQ(RefCount(first), 2u) << "closing drops its own reference only";
  ASSERT_EQ(CreateContentTexture(device_, "textures\\a.dds", &later), S_OK);
  EXPECT_NE(later, first) << "none open: each request makes its own";
  for (Texture* t : {first, second, later}) t->Release();
}

TEST_F(LoadingFilesTest, FilesReadAheadLoadAsTheyDoWhenAskedFor) {
  Write("objects/three.x", ModelWithMaterials(3));  // names textures\m0..m2.dds
  WriteDds("textures/m0.dds", 2, 0xFF102030u);
  WriteDds("textures/m2.dds", 8, 0x80405060u);  // m1 is missing
  WriteDds("textures/listed.dds", 16, 0xFFA0B0C0u);
  CVarnMesh direct;
  ASSERT_EQ(direct.LoadFromFile(device_, "objects\\three.x"), S_OK);
  XFileMesh none;
  std::string directError, aheadError;
  ASSERT_FALSE(LoadModelFile("objects\\missing.x", none, &directError));

  CVarnMesh ahead;
  Texture* listed = nullptr;
  {
    LoadingFiles files;
    files.ReadAhead({{"textures\\listed.dds", false}, {"objects\\three.x", true}, {"objects\\missing.x", true}});
    files.WaitForReadAhead();
    ASSERT_EQ(ahead.LoadFromFile(device_, "objects\\three.x"), S_OK);
    ASSERT_EQ(CreateContentTexture(device_, "textures\\listed.dds", &listed), S_OK);
    EXPECT_FALSE(LoadModelFile("objects\\missing.x", none, &aheadError));
    // The model, the three textures it names (found by reading it) and the
    // two listed files all came from the worker.
    EXPECT_EQ(files.filesTakenAhead(), 6);
  }
  EXPECT_EQ(aheadError, directError);
  EXPECT_EQ(FirstTexel(listed), 0xFFA0B0C0u);
  listed->Release();
  ASSERT_EQ(ahead.vertexCount(), direct.vertexCount());
  ASSERT_EQ(ahead.indexCount(), direct.indexCount());
  EXPECT_EQ(std::memcmp(ahead.vertexData, direct.vertexData, direct.vertexCount() * direct.vertexStride()), 0);
  EXPECT_EQ(std::memcmp(ahead.indexData, direct.indexData, direct.indexCount() * 2), 0);
  ASSERT_EQ(ahead.textures.size(), 3u);
  EXPECT_EQ(ahead.fileTextureNames, direct.fileTextureNames);
  EXPECT_EQ(FirstTexel(ahead.textures[0]), 0xFF102030u);
  EXPECT_EQ(ahead.textures[1], nullptr);
  EXPECT_EQ(FirstTexel(ahead.textures[2]), 0x80405060u);
  EXPECT_EQ(Width(ahead.textures[2]), Width(direct.textures[2]));
}

// The next mip level by its definition: each pixel the rounded average of
// the pixels of its 2 x 2 block that exist in the level above.
Image HalvedByDefinition(const Image& level) {
  Image half;
  half.width = std::max(1u, level.width / 2);
  half.height = std::max(1u, level.height / 2);
  for (uint32_t y = 0; y < half.height; ++y)
    for (uint32_t x = 0; x < half.width; ++x) {
      uint32_t sum[4] = {}, n = 0;
      for (uint32_t sy = 2 * y; sy < std::min(2 * y + 2, level.height); ++sy)
        for (uint32_t sx = 2 * x; sx < std::min(2 * x + 2, level.width); ++sx, ++n)
          for (int c = 0; c < 4; ++c) sum[c] += level.at(sx, sy) >> (8 * c) & 255;
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c) p |= (sum[c] + n / 2) / n << (8 * c);
      half.pixels.push_back(p);
    }
  return half;
}

TEST(MipChain, EveryLevelIsTheRoundedAverageOfItsBlocks) {
  std::mt19937 random(7);
  const std::pair<uint32_t, uint32_t> sizes[] = {{2, 2}, {5, 3}, {64, 32}, {7, 1}, {1, 6}, {3, 2}};
  for (auto [w, h] : sizes) {
    Image image;
    image.width = w;
    image.height = h;
    for (uint32_t i = 0; i < w * h; ++i) image.pixels.push_back(i % 3 ? random() : 0xFFFFFFFFu);
    const Image half = HalveImage(image), expected = HalvedByDefinition(image);
    EXPECT_EQ(half.width, expected.width);
    EXPECT_EQ(half.height, expected.height);
    EXPECT_EQ(half.pixels, expected.pixels) << w << " x " << h;
  }
}

TEST(Dds, ThirtyTwoBitRowsKeepTheirTexelsAndGainAlphaOnlyWhereTheyHaveNone) {
  for (const bool alpha : {true, false}) {
    std::vector<uint8_t> file(128, 0);
    auto put = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
    std::memcpy(file.data(), "DDS ", 4);
    put(4, 124);
    put(8, 0x8);   // the pitch is given
    put(12, 2);    // height
    put(16, 2);    // width
    put(20, 12);   // rows of two texels and four bytes of padding
    put(76, 32);
    put(80, alpha ? 0x41 : 0x40);
    put(88, 32);
    put(92, 0xFF0000);
    put(96, 0xFF00);
    put(100, 0xFF);
    put(104, alpha ? 0xFF000000u : 0);
    for (uint32_t v : {0x11223344u, 0x00FF0080u, 0xDEADBEEFu, 0x80000001u, 0x7F7F7F7Fu, 0xDEADBEEFu}) {
      file.resize(file.size() + 4);
      std::memcpy(&file[file.size() - 4], &v, 4);
    }
    Image image;
    ASSERT_TRUE(DecodeDds(file.data(), file.size(), image));
    const uint32_t opaque = alpha ? 0 : 0xFF000000u;
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0x11223344u | opaque, 0x00FF0080u | opaque,
                                                   0x80000001u | opaque, 0x7F7F7F7Fu | opaque}));
  }
}

}  // namespace
}  // namespace halvex
