// Creating device textures from texture files: size from the file, the
// A8R8G8B8 format, a full mip chain, the managed pool. Only the device's
// interface is used, so nothing here needs a window or GL.
#pragma once

#include <string>
#include <string_view>

#include "d3dutil/image/image.h"
#include "platform/gfx/device.h"

namespace halvex {

// *texture gets a new texture (one reference) or null; E_FAIL when the file
// is missing or cannot be decoded, the device's code when it refuses.
gfx::HRESULT CreateTextureFromFile(gfx::Device* device, std::string_view gamePath,
                                   gfx::Texture** texture, std::string* error = nullptr);

// The same from an image already decoded.
gfx::HRESULT CreateTextureFromImage(gfx::Device* device, const Image& image,
                                    gfx::Texture** texture);

}  // namespace halvex
