#include "d3dutil/image/texture_file.h"

#include <cstring>

namespace halvex {

gfx::HRESULT CreateTextureFromImage(gfx::Device* device, const Image& image,
                                    gfx::Texture** texture) {
  using namespace gfx;
  *texture = nullptr;
  if (!device || image.width == 0 || image.height == 0) return E_FAIL;
  const UINT levels = FullMipLevelCount(image.width, image.height);
  Texture* created = nullptr;
  HRESULT hr = device->CreateTexture(image.width, image.height, levels, 0, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, &created);
  if (FAILED(hr) || !created) return FAILED(hr) ? hr : E_FAIL;
  // Each level is made from the one above; the first is the image itself,
  // not a copy of it.
  Image smaller;
  const Image* level = &image;
  for (UINT i = 0; i < levels; ++i) {
    if (i > 0) {
      smaller = HalveImage(*level);
      level = &smaller;
    }
    D3DLOCKED_RECT locked{};
    hr = created->LockRect(i, &locked, nullptr, 0);
    if (FAILED(hr) || !locked.pBits || locked.Pitch < int32_t(level->width * 4)) {
      if (SUCCEEDED(hr)) created->UnlockRect(i);
      created->Release();
      return FAILED(hr) ? hr : E_FAIL;
    }
    for (uint32_t y = 0; y < level->height; ++y) {
      std::memcpy(static_cast<BYTE*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                  &level->pixels[size_t(y) * level->width], size_t(level->width) * 4);
    }
    created->UnlockRect(i);
  }
  *texture = created;
  return S_OK;
}

gfx::HRESULT CreateTextureFromFile(gfx::Device* device, std::string_view gamePath,
                                   gfx::Texture** texture, std::string* error) {
  *texture = nullptr;
  Image image;
  if (!LoadImageFile(gamePath, image, error)) return gfx::E_FAIL;
  return CreateTextureFromImage(device, image, texture);
}

}  // namespace halvex
