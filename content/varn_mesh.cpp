#include "content/varn_mesh.h"

#include <cstdio>
#include <cstring>

#include "content/content_messages.h"
#include "content/loading_files.h"
#include "content/texture_database.h"

namespace halvex {

using namespace gfx;

MeshLoadDefaults& MeshDefaults() {
  static MeshLoadDefaults defaults;
  return defaults;
}

namespace {

Texture* CreateTextureOrNull(Device* device, std::string_view file) {
  if (!device || file.empty()) return nullptr;
  Texture* texture = nullptr;
  std::string why;
  if (FAILED(CreateContentTexture(device, file, &texture, &why)) || !texture) {
    // The model is drawn untextured; the player is told which picture is at fault.
    ReportContentFileOnce(std::string(file), "texture not loaded: " + (why.empty() ? "the device refused it" : why));
    return nullptr;
  }
  return texture;
}

D3DMATERIAL8 GameMaterial(const D3DMATERIAL8& file) {
  D3DMATERIAL8 m = file;
  m.Ambient = m.Diffuse;
  m.Specular = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
  m.Power = MeshDefaults().specularHighlights ? 1.0f : 0.0f;
  return m;
}

}  // namespace

CVarnMesh::CVarnMesh(const char* meshName) {
  std::snprintf(name, sizeof name, "%s", meshName ? meshName : "");
}

CVarnMesh::~CVarnMesh() { Destroy(); }

bool CVarnMesh::LoadGeometry(std::string_view path) {
  Destroy();
  XFileMesh file;
  std::string error;
  if (!LoadModelFile(path, file, &error)) {
    std::fprintf(stderr, "%.*s: model not loaded: %s\n", int(path.size()), path.data(),
                 error.c_str());
    return false;
  }
  systemMesh = std::make_unique<XMesh>(std::move(file.mesh));
  adjacency = std::move(file.adjacency);
  materialCount = uint32_t(file.materials.size());
  for (const XMaterial& m : file.materials) {
    materials.push_back(GameMaterial(m.matD3D));
    fileTextureNames.push_back(m.textureFilename);
  }
  textures.assign(materialCount, nullptr);
  return true;
}

void CVarnMesh::FinishLoad(Device* device, bool secondTexCoords) {
  if (secondTexCoords && SUCCEEDED(CloneToFormat(device, kMeshFvfTwoTexCoords))) {
    for (uint32_t v = 0; v < systemMesh->vertexCount(); ++v) {
      systemMesh->setTexCoord(v, 1, systemMesh->texCoord(v, 0));
    }
  }
  // The passes reorder by indices and subsets alone; only the final
  // adjacency is kept. Within a subset faces stay in the file's order:
  // collision takes the first of equally near triangles and names faces by
  // number, and a vertex-cache reorder would change both. (Before corners
  // were welded that reorder never moved a face, so nothing is lost.)
  const DWORD keepFaceOrder = ~(kMeshOptVertexCache | kMeshOptStripReorder);
  systemMesh->OptimizeInplace(kFirstOptimizationFlags & keepFaceOrder);
  systemMesh->OptimizeInplace(MeshDefaults().optimizationFlags & keepFaceOrder, &adjacency);
  TakeDataPointers();
}

void CVarnMesh::TakeDataPointers() {
  faceCount = systemMesh ? systemMesh->faceCount() : 0;
  vertexData = systemMesh ? reinterpret_cast<const float*>(systemMesh->vertexBytes()) : nullptr;
  indexData = systemMesh ? systemMesh->indexData() : nullptr;
}

HRESULT CVarnMesh::LoadFromFile(Device* device, std::string_view path) {
  if (!LoadGeometry(path)) return E_FAIL;
  for (uint32_t i = 0; i < materialCount; ++i) {
    textures[i] = CreateTextureOrNull(device, fileTextureNames[i]);
  }
  FinishLoad(device, false);
  return S_OK;
}

HRESULT CVarnMesh::LoadWithTexture(Device* device, std::string_view path,
                                   std::string_view textureFile) {
  if (!LoadGeometry(path)) return E_FAIL;
  for (uint32_t i = 0; i < materialCount; ++i) {
    textures[i] = CreateTextureOrNull(device, textureFile);
  }
  FinishLoad(device, false);
  return S_OK;
}

HRESULT CVarnMesh::LoadWithTextureNames(Device* device, std::string_view path,
                                        const std::string* names, int nameCount,
                                        bool secondTexCoords) {
  if (!LoadGeometry(path)) return E_FAIL;
  if (uint32_t(std::max(nameCount, 0)) < materialCount) {
    std::fprintf(stderr, "%.*s: %u materials but %d texture names\n", int(path.size()),
                 path.data(), materialCount, nameCount);
  }
  for (uint32_t i = 0; i < materialCount && int(i) < nameCount; ++i) {
    textures[i] = CreateTextureOrNull(device, names[i]);
  }
  FinishLoad(device, secondTexCoords);
  return S_OK;
}

HRESULT CVarnMesh::LoadWithTextureList(Device* device, std::string_view path, const int* indices,
                                       int indexCount, const TextureDatabase& database,
                                       bool secondTexCoords) {
  if (!LoadGeometry(path)) return E_FAIL;
  textureOwnership = 1;
  if (uint32_t(std::max(indexCount, 0)) < materialCount) {
    std::fprintf(stderr, "%.*s: %u materials but %d texture list entries\n", int(path.size()),
                 path.data(), materialCount, indexCount);
  }
  for (uint32_t i = 0; i < materialCount && int(i) < indexCount; ++i) {
    textures[i] = database.At(indices[i]);
  }
  FinishLoad(device, secondTexCoords);
  return S_OK;
}

HRESULT CVarnMesh::CloneToFormat(Device* device, DWORD vertexFormat) {
  if (!systemMesh) return E_FAIL;
  auto clone = std::make_unique<XMesh>();
  if (!systemMesh->CloneFvf(vertexFormat, *clone)) return E_FAIL;
  clone->ComputeNormals();
  std::unique_ptr<DeviceMesh> deviceClone;
  if (deviceMesh) {
    DeviceMesh* made = nullptr;
    if (FAILED(DeviceMesh::Create(device, *clone, deviceMesh->options(), &made))) return E_FAIL;
    deviceClone.reset(made);
  }
  systemMesh = std::move(clone);
  if (deviceClone) deviceMesh = std::move(deviceClone);
  TakeDataPointers();
  return S_OK;
}

HRESULT CVarnMesh::RestoreDeviceObjects(Device* device, DWORD options,
                                        bool softwareVertexProcessing, bool alternateMemory) {
  if (!systemMesh) return E_FAIL;
  InvalidateDeviceObjects();
  if (softwareVertexProcessing && !alternateMemory) options |= D3DXMESH_SYSTEMMEM;
  DeviceMesh* made = nullptr;
  HRESULT hr = DeviceMesh::Create(device, *systemMesh, options, &made);
  if (FAILED(hr)) {
    if (hr == D3DERR_INVALIDCALL) ShowContentMessage("Invalid", "Restore Error");
    if (hr == E_OUTOFMEMORY || hr == D3DERR_OUTOFVIDEOMEMORY) {
      ShowContentMessage("Memory", "Restore Error");
    }
    return E_FAIL;
  }
  deviceMesh.reset(made);
  return S_OK;
}

HRESULT CVarnMesh::InvalidateDeviceObjects() {
  deviceMesh.reset();
  return S_OK;
}

void CVarnMesh::Destroy() {
  InvalidateDeviceObjects();
  if (textureOwnership == 0) {
    for (Texture* texture : textures) {
      if (texture) texture->Release();
    }
  }
  textures.clear();
  textureOwnership = 0;
  materials.clear();
  fileTextureNames.clear();
  adjacency.clear();
  systemMesh.reset();
  materialCount = 0;
  faceCount = 0;
  vertexData = nullptr;
  indexData = nullptr;
}

bool CVarnMesh::Intersect(const Vec3& origin, const Vec3& dir, float* distance,
                          DWORD* faceIndex) const {
  if (!systemMesh) return false;
  return systemMesh->Intersect(origin, dir, faceIndex, nullptr, nullptr, distance);
}

}  // namespace halvex
