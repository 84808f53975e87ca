#include "screens/screenshot.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/gfx/device.h"

namespace halvex::screens {

namespace {

void Put16(std::vector<unsigned char>& b, size_t at, unsigned v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(std::vector<unsigned char>& b, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

std::string PictureName(const std::string& folder, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "Picture%02i.bmp", n);
  return folder + "/" + name;
}

}  // namespace

std::string NextScreenshotName(const std::string& folder) {
  for (int n = 0; n < 100; ++n) {
    std::string name = PictureName(folder, n);
    std::error_code ec;
    if (!std::filesystem::exists(name, ec)) return name;
  }
  return PictureName(folder, 99);
}

bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return false;
  const size_t row = (size_t(width) * 3 + 3) & ~size_t{3};
  const size_t imageSize = row * size_t(height);
  std::vector<unsigned char> file(54 + imageSize, 0);
  Put16(file, 0, 0x4D42);  // "BM"
  Put32(file, 2, static_cast<std::uint32_t>(imageSize + 54));
  Put32(file, 10, 54);
  Put32(file, 14, 40);
  Put32(file, 18, static_cast<std::uint32_t>(width));
  Put32(file, 22, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
  Put16(file, 26, 1);
  Put16(file, 28, 24);
  Put32(file, 34, static_cast<std::uint32_t>(imageSize));
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* src = pixels + size_t(height - 1 - y) * width;
    unsigned char* dst = file.data() + 54 + row * y;
    for (int x = 0; x < width; ++x) {
      dst[3 * x] = src[x] & 0xFF;             // blue
      dst[3 * x + 1] = (src[x] >> 8) & 0xFF;  // green
      dst[3 * x + 2] = (src[x] >> 16) & 0xFF; // red
    }
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

std::string Screenshot(gfx::Device* device, const std::string& workingDirectory) {
  if (!device) return {};
  const std::string folder = workingDirectory + "/Screens";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string name = NextScreenshotName(folder);

  gfx::D3DDISPLAYMODE mode{};
  if (gfx::FAILED(device->GetDisplayMode(&mode))) return {};
  gfx::Surface* image = nullptr;
  if (gfx::FAILED(device->CreateImageSurface(mode.Width, mode.Height, gfx::D3DFMT_A8R8G8B8, &image))) return {};
  std::string written;
  gfx::D3DLOCKED_RECT locked{};
  if (gfx::SUCCEEDED(device->GetFrontBuffer(image)) &&
      gfx::SUCCEEDED(image->LockRect(&locked, nullptr, gfx::D3DLOCK_READONLY))) {
    std::vector<std::uint32_t> pixels(size_t(mode.Width) * mode.Height);
    for (gfx::UINT y = 0; y < mode.Height; ++y) {
      const auto* src = static_cast<const unsigned char*>(locked.pBits) + size_t(y) * locked.Pitch;
      std::memcpy(&pixels[size_t(y) * mode.Width], src, size_t(mode.Width) * 4);
    }
    image->UnlockRect();
    if (WriteBmp24(name, pixels.data(), static_cast<int>(mode.Width), static_cast<int>(mode.Height)))
      written = name;
    else
      std::fprintf(stderr, "Function \"Screenshot\": The file \"%s\" could not be created.\n", name.c_str());
  }
  image->Release();
  return written;
}

}  // namespace halvex::screens
