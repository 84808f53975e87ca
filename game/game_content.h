// Everything the loading sequence reads for a match: the area's options and
// pickups, the texture database and fixed textures, every model in the
// order they load in, the multitexture table and the world and collision tiles;
// with the device-copy handling the device-object restore asks for, and the
// morph targets the match loop rewrites each frame.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "content/data_files.h"
#include "content/texture_database.h"
#include "content/varn_mesh.h"
#include "render/device_objects.h"
#include "render/scene/scene.h"
#include "sim/match.h"
#include "world/collision/collision_grid.h"
#include "world/tiles/tiles.h"

namespace halvex::game {

// One row of the model table: file, loader variant and textures.
struct ModelEntry {
  const char* file;
  enum class Variant { kFileTextures, kNamedTextures, kOneTexture } variant;
  std::array<const char*, 3> textures;
  bool deviceCopy;  // key frames that are only read by the morph have none
};

// The models in loading order.
const std::vector<ModelEntry>& ModelTable();

struct DeviceCopyOptions {
  bool softwareVertexProcessing = false;
  bool alternateMemory = false;
};

class GameContent final : public render::DeviceCopies {
 public:
  GameContent();
  ~GameContent();

  AreaOptions area;
  PickupLists pickups;
  TreePositions trees;
  TextureDatabase database;
  FixedTextures fixed;
  MultiTexTable multiTex{};
  WorldTiles tiles;
  std::vector<std::unique_ptr<CVarnMesh>> models;  // ModelTable() order
  render::SceneModels scene;
  CVarnMesh* logo = nullptr;
  MatchWorld world;  // collision tiles and morph targets
  // The prefilter grids of the collision tiles: every query tests only the
  // triangles near it, with the same answers as testing them all.
  std::array<std::unique_ptr<CollisionGrid>, kTileCount> collisionGrids;
  DeviceCopyOptions copyOptions;

  // Loads every model in table order with one callback after each.
  template <class F>
  void LoadModels(gfx::Device* device, F&& afterEach);
  // Fills scene, world and the morph targets from the loaded models.
  void LinkModels();
  // Collision views of the collision tiles, with their grids.
  void LinkCollision();
  // Copies the morphed working meshes into their device copies.
  void UploadMorphs();

  void RestoreMeshes(gfx::Device* device) override;
  void ReleaseMeshes() override;
  // Frees every model, tile and texture.
  void Release();

 private:
  void LoadModel(gfx::Device* device, const ModelEntry& entry);
};

template <class F>
void GameContent::LoadModels(gfx::Device* device, F&& afterEach) {
  models.clear();
  for (const ModelEntry& entry : ModelTable()) {
    LoadModel(device, entry);
    afterEach();
  }
  LinkModels();
}

}  // namespace halvex::game
