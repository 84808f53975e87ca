#include "screens/screenshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include <stb/stb_image_write.h>

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

std::string PictureName(const std::string& folder, int n, PictureFormat format) {
  char name[32];
  std::snprintf(name, sizeof name, "Picture%02i.%s", n, format == PictureFormat::kPng ? "png" : "bmp");
  return folder + "/" + name;
}

}  // namespace

std::string NextScreenshotName(const std::string& folder, PictureFormat format) {
  for (int n = 0; n < 100; ++n) {
    std::string name = PictureName(folder, n, format);
    std::error_code ec;
    // A link is taken as there even when what it names is not.
    if (!std::filesystem::exists(std::filesystem::symlink_status(name, ec))) return name;
  }
  return PictureName(folder, 99, format);
}

std::vector<unsigned char> EncodePng24(const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return {};
  std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
  for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
    rgb[3 * i] = (pixels[i] >> 16) & 0xFF;
    rgb[3 * i + 1] = (pixels[i] >> 8) & 0xFF;
    rgb[3 * i + 2] = pixels[i] & 0xFF;
  }
  std::vector<unsigned char> file;
  auto append = [](void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* bytes = static_cast<const unsigned char*>(data);
    out->insert(out->end(), bytes, bytes + size);
  };
  if (!stbi_write_png_to_func(append, &file, width, height, 3, rgb.data(), width * 3)) return {};
  return file;
}

std::vector<unsigned char> EncodeBmp24(const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return {};
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
  return file;
}

bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width, int height) {
  const std::vector<unsigned char> file = EncodeBmp24(pixels, width, height);
  if (file.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

namespace {

void ReportNotSaved(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "Function \"Screenshot\": The file \"%s\" could not be created: %s.\n",
               what.c_str(), why.c_str());
}

bool WriteAllTo(int fd, const std::vector<unsigned char>& bytes, int& error) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

// Gives the finished temporary file its picture name: the first free one,
// never through or over anything already there (a planted link included);
// the last name is replaced once all hundred are taken.
std::string ClaimPictureName(const std::string& folder, const std::string& temp,
                             PictureFormat format, int& error) {
  for (int n = 0; n < 100; ++n) {
    const std::string name = PictureName(folder, n, format);
    if (::link(temp.c_str(), name.c_str()) == 0) return name;
    if (errno == EEXIST) continue;
    // A file system without hard links: take the name if nothing is there.
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT &&
        std::rename(temp.c_str(), name.c_str()) == 0)
      return name;
  }
  const std::string last = PictureName(folder, 99, format);
  if (std::rename(temp.c_str(), last.c_str()) == 0) return last;
  error = errno;
  return {};
}

}  // namespace

std::string SaveScreenshot(const std::string& folder, const std::uint32_t* pixels, int width,
                           int height, PictureFormat format) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder)) {
    ReportNotSaved(PictureName(folder, 0, format), "\"" + folder + "\" is not a folder");
    return {};
  }
  const std::vector<unsigned char> bytes = format == PictureFormat::kPng
                                               ? EncodePng24(pixels, width, height)
                                               : EncodeBmp24(pixels, width, height);
  if (bytes.empty()) return {};
  // The picture is written whole under a name of its own, made afresh (never
  // through a link), and only then given its picture name: a full disk or a
  // crash leaves no half picture behind.
  std::string temp = folder + "/.Picture.XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    ReportNotSaved(NextScreenshotName(folder, format), std::strerror(errno));
    return {};
  }
  int error = 0;
  bool ok = WriteAllTo(fd, bytes, error);
  if (::close(fd) != 0 && ok) {
    error = errno;
    ok = false;
  }
  // Pictures are read by the player, not only by the game.
  if (ok) ::chmod(temp.c_str(), 0644);
  std::string name = ok ? ClaimPictureName(folder, temp, format, error) : std::string();
  ::unlink(temp.c_str());
  if (name.empty()) ReportNotSaved(NextScreenshotName(folder, format), std::strerror(error));
  return name;
}

std::string Screenshot(gfx::Device* device, const std::string& workingDirectory,
                       const ScreenshotOptions& options) {
  if (!device) return {};
  const std::string folder = workingDirectory + "/Screens";

  std::vector<gfx::D3DCOLOR> pixels;
  gfx::UINT w = 0, h = 0;
  if (gfx::FAILED(gfx::ReadBackPixels(device, &pixels, &w, &h)) || pixels.empty()) return {};
  const int width = static_cast<int>(w), height = static_cast<int>(h);
  std::string written = SaveScreenshot(folder, pixels.data(), width, height, options.format);
  // The copy is a convenience: the picture in Screens is what counts.
  if (!options.mirrorFolder.empty()) SaveScreenshot(options.mirrorFolder, pixels.data(), width, height, options.format);
  return written;
}

}  // namespace halvex::screens
