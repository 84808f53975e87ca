// Texture files through the game's texture path: the bytes are decoded as
// LoadImageFile decodes a file's (DDS by its magic, stb_image for TGA, BMP,
// PNG and JPEG), and an image that decodes becomes a device texture with its
// full mip chain on the recording device. Its top level must hold exactly
// the decoded pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "d3dutil/image/image.h"
#include "d3dutil/image/texture_file.h"
#include "platform/gfx/device.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace halvex;

gfx::Device* RecordingDevice() {
  static gfx::Direct3D* d3d = gfx::Direct3DCreate8(gfx::D3D_SDK_VERSION);
  static gfx::Device* device = [] {
    FUZZ_CHECK(d3d != nullptr);
    gfx::D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = pp.BackBufferHeight = 64;
    pp.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
    pp.Windowed = gfx::TRUE;
    gfx::Device* made = nullptr;
    FUZZ_CHECK(d3d->CreateDevice(gfx::D3DADAPTER_DEFAULT, gfx::D3DDEVTYPE_HAL, nullptr,
                              gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &made) == gfx::S_OK);
    gfx::SetCallRecording(made, false);
    return made;
  }();
  return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Image image;
  if (!DecodeImage(data, size, image)) return 0;
  FUZZ_CHECK(image.width > 0 && image.height > 0 && image.width <= kMaxImageSide &&
          image.height <= kMaxImageSide);
  FUZZ_CHECK(image.pixels.size() == size_t(image.width) * image.height);

  // The device refuses what is larger than it can hold; the game then goes
  // without the texture.
  gfx::D3DCAPS8 caps{};
  RecordingDevice()->GetDeviceCaps(&caps);
  gfx::Texture* texture = nullptr;
  const gfx::HRESULT made = CreateTextureFromImage(RecordingDevice(), image, &texture);
  if (image.width > caps.MaxTextureWidth || image.height > caps.MaxTextureHeight) {
    FUZZ_CHECK(made != gfx::S_OK && !texture);
    return 0;
  }
  FUZZ_CHECK(made == gfx::S_OK && texture);
  FUZZ_CHECK(texture->GetLevelCount() == FullMipLevelCount(image.width, image.height));
  gfx::D3DLOCKED_RECT locked{};
  FUZZ_CHECK(texture->LockRect(0, &locked, nullptr, 0) == gfx::S_OK);
  for (uint32_t y = 0; y < image.height; ++y) {
    FUZZ_CHECK(std::memcmp(static_cast<const uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                        &image.pixels[size_t(y) * image.width], size_t(image.width) * 4) == 0);
  }
  texture->UnlockRect(0);
  texture->Release();
  return 0;
}
