// X model files through the game's model class: the bytes become a file of
// this process (removed again after) and CVarnMesh loads it as a render tile
// is loaded (no device: geometry and materials only; the second coordinate
// set, normals and both optimisation passes). A model that loads must hold
// together: indices in range, one material and one texture slot per subset,
// adjacency per face.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "content/varn_mesh.h"
#include "fuzz/fuzz_check.h"

namespace {

const std::string& ModelPath() {
  static const std::string path = [] {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    return (base / ("halvex_fuzz_model." + std::to_string(::getpid()) + ".x")).string();
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace halvex;
  std::FILE* f = std::fopen(ModelPath().c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  std::fclose(f);

  CVarnMesh mesh("fuzz");
  const gfx::HRESULT loaded = mesh.LoadWithTextureNames(nullptr, ModelPath(), nullptr, 0, true);
  std::remove(ModelPath().c_str());
  if (loaded != gfx::S_OK) {
    FUZZ_CHECK(!mesh.systemMesh && mesh.vertexCount() == 0);
    return 0;
  }
  const XMesh& m = *mesh.systemMesh;
  FUZZ_CHECK(m.vertexCount() > 0 && m.vertexCount() <= 0xFFFF);
  FUZZ_CHECK(m.vertexStride() == 40 && mesh.faceCount == m.faceCount() && mesh.faceCount > 0);
  for (uint32_t i = 0; i < m.faceCount() * 3; ++i) FUZZ_CHECK(m.indexData()[i] < m.vertexCount());
  FUZZ_CHECK(mesh.materials.size() == mesh.materialCount &&
          mesh.textures.size() == mesh.materialCount &&
          mesh.fileTextureNames.size() == mesh.materialCount);
  FUZZ_CHECK(m.attributes().size() == m.faceCount());
  for (DWORD a : m.attributes()) FUZZ_CHECK(mesh.materialCount == 0 || a < mesh.materialCount);
  FUZZ_CHECK(mesh.adjacency.size() == size_t(m.faceCount()) * 3);
  for (DWORD adjacent : mesh.adjacency) FUZZ_CHECK(adjacent == kNoAdjacentFace || adjacent < m.faceCount());
  float distance = 0;
  mesh.Intersect(Vec3(0.0f, 1000.0f, 0.0f), Vec3(0.0f, -1.0f, 0.0f), &distance);
  return 0;
}
