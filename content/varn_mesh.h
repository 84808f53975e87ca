// CVarnMesh: the one model class. Loads an X file into an optimised
// system-memory mesh with per-material colours and textures, keeps direct
// pointers to its vertex and index data for collision, and makes a device
// copy for drawing when device objects are restored.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "d3dutil/mesh/x_mesh.h"
#include "d3dutil/mesh_device/device_mesh.h"
#include "platform/gfx/device.h"

namespace halvex {

struct TextureDatabase;

// Two values the game keeps beside its settings and every mesh reads while
// loading: the "Specular Highlights" choice (material power 1 or 0) and the
// flags of the second optimisation pass (its face-reordering flags are not
// applied: faces keep the model file's order within each subset).
struct MeshLoadDefaults {
  bool specularHighlights = true;
  DWORD optimizationFlags = kMeshOptCompact | kMeshOptAttrSort | kMeshOptStripReorder;  // 11
};
MeshLoadDefaults& MeshDefaults();

// Optimisation flags of the first pass.
inline constexpr DWORD kFirstOptimizationFlags = kMeshOptCompact | kMeshOptAttrSort;  // 3

class CVarnMesh {
 public:
  explicit CVarnMesh(const char* meshName = "CVarnMesh");
  virtual ~CVarnMesh();
  CVarnMesh(const CVarnMesh&) = delete;
  CVarnMesh& operator=(const CVarnMesh&) = delete;

  // The four loading variants. device may be null (headless tools): the
  // geometry loads and every texture stays null. A model that cannot be
  // read, or has more than 65535 distinct vertices, leaves the mesh empty,
  // returns E_FAIL and says why on stderr, naming the file.
  gfx::HRESULT LoadFromFile(gfx::Device* device, std::string_view path);
  gfx::HRESULT LoadWithTexture(gfx::Device* device, std::string_view path,
                               std::string_view textureFile);
  // Material i takes names[i]; materials beyond nameCount stay untextured.
  gfx::HRESULT LoadWithTextureNames(gfx::Device* device, std::string_view path,
                                    const std::string* names, int nameCount,
                                    bool secondTexCoords);
  // Material i borrows database entry indices[i]; a missing entry or an
  // index outside the database leaves it untextured.
  gfx::HRESULT LoadWithTextureList(gfx::Device* device, std::string_view path, const int* indices,
                                   int indexCount, const TextureDatabase& database,
                                   bool secondTexCoords);

  // Replaces the system mesh (and the device mesh, if any) by copies in
  // another vertex format and recomputes their normals. E_FAIL keeps the old.
  gfx::HRESULT CloneToFormat(gfx::Device* device, DWORD vertexFormat);

  // Device copy with the given mesh options, plus the system-memory option
  // when vertex processing is software and "Alternate Memory" is off. On
  // failure the "Restore Error" box says "Invalid" or "Memory".
  gfx::HRESULT RestoreDeviceObjects(gfx::Device* device, DWORD options,
                                    bool softwareVertexProcessing, bool alternateMemory);
  gfx::HRESULT InvalidateDeviceObjects();
  void Destroy();

  // Nearest hit of origin + t * dir, t as a multiple of dir; false for none.
  bool Intersect(const Vec3& origin, const Vec3& dir, float* distance,
                 DWORD* faceIndex = nullptr) const;

  uint32_t vertexCount() const { return systemMesh ? systemMesh->vertexCount() : 0; }
  uint32_t indexCount() const { return systemMesh ? systemMesh->faceCount() * 3 : 0; }
  uint32_t vertexStride() const { return systemMesh ? systemMesh->vertexStride() : 0; }

  char name[512] = {};
  std::unique_ptr<XMesh> systemMesh;
  std::unique_ptr<DeviceMesh> deviceMesh;
  uint32_t materialCount = 0;
  uint32_t faceCount = 0;
  std::vector<gfx::D3DMATERIAL8> materials;
  std::vector<gfx::Texture*> textures;
  std::vector<DWORD> adjacency;
  int textureOwnership = 0;  // 0: owned and released; 1: borrowed from the database
  const uint16_t* indexData = nullptr;
  const float* vertexData = nullptr;
  // The texture names the model file gives its materials (kept for tools).
  std::vector<std::string> fileTextureNames;

 private:
  // Steps 1 and 2 of every variant: geometry and materials; textures null.
  bool LoadGeometry(std::string_view path);
  // Steps 3 to 5: second coordinate set, both optimisation passes, pointers.
  void FinishLoad(gfx::Device* device, bool secondTexCoords);
  void TakeDataPointers();
};

}  // namespace halvex
