#include "game/game_content.h"

#include <cstring>
#include <string>

namespace halvex::game {

using Variant = ModelEntry::Variant;

namespace {

// Model indices in ModelTable().
enum : int {
  kLogo, kSkybox, kBodyWorking, kBody1, kBody0, kBody2, kBody3, kBody4, kBody5, kPistol, kRocket,
  kShotgun, kTree, kOcean, kScythe, kShark, kSphere, kArmor, kGround, kRaven, kOcean0, kOcean1,
  kOcean2, kOcean3, kShark0, kShark1, kRaven1, kRaven2, kModelCount
};

constexpr int kMorphStride = 32;

const float* Vertices(const CVarnMesh* m) {
  return m && m->systemMesh && m->vertexStride() == kMorphStride ? m->vertexData : nullptr;
}

// A morph target only when every key frame has the working mesh's count.
void LinkMorph(MorphTarget& target, const float** keys, CVarnMesh* working,
               std::initializer_list<CVarnMesh*> frames) {
  target = MorphTarget{};
  if (!Vertices(working)) return;
  int k = 0;
  for (CVarnMesh* f : frames) {
    if (!Vertices(f) || f->vertexCount() != working->vertexCount()) {
      for (int j = 0; j < k; ++j) keys[j] = nullptr;
      return;
    }
    keys[k++] = Vertices(f);
  }
  target.working = reinterpret_cast<float*>(working->systemMesh->vertexBytes());
  target.vertexCount = working->vertexCount();
}

void Upload(CVarnMesh* mesh) {
  if (!mesh || !mesh->deviceMesh || !mesh->systemMesh) return;
  gfx::VertexBuffer* vb = mesh->deviceMesh->vertexBuffer();
  const uint32_t bytes = mesh->vertexCount() * mesh->vertexStride();
  gfx::BYTE* data = nullptr;
  if (!vb || gfx::FAILED(vb->Lock(0, bytes, &data, gfx::D3DLOCK_DISCARD)) || !data) return;
  std::memcpy(data, mesh->systemMesh->vertexBytes(), bytes);
  vb->Unlock();
}

}  // namespace

const std::vector<ModelEntry>& ModelTable() {
  static const std::vector<ModelEntry> table = {
      {"objects\\logo.x", Variant::kFileTextures, {}, true},
      {"objects\\skybox.x", Variant::kFileTextures, {}, true},
      {"objects\\botanim0.x", Variant::kFileTextures, {}, true},
      {"objects\\botanim1.x", Variant::kFileTextures, {}, true},
      {"objects\\botanim0.x", Variant::kFileTextures, {}, true},
      {"objects\\botanim2.x", Variant::kFileTextures, {}, true},
      {"objects\\botanim3.x", Variant::kFileTextures, {}, true},
      {"objects\\botanim4.x", Variant::kFileTextures, {}, true},
      {"objects\\botanim5.x", Variant::kFileTextures, {}, true},
      {"objects\\pistol.x", Variant::kNamedTextures,
       {"textures\\botblack.dds", "textures\\botblack.dds", "textures\\botwhite.dds"}, true},
      {"objects\\rocket3.x", Variant::kOneTexture, {"textures\\radioact.dds"}, true},
      {"objects\\shotgun1.x", Variant::kOneTexture, {"textures\\floor.dds"}, true},
      {"objects\\tree.x", Variant::kNamedTextures, {"textures\\bark1.dds", "textures\\leaves.dds"}, true},
      {"objects\\ocean00.x", Variant::kFileTextures, {}, true},
      {"objects\\scythe.x", Variant::kFileTextures, {}, true},
      {"objects\\shark00.x", Variant::kFileTextures, {}, true},
      {"objects\\sphere.x", Variant::kFileTextures, {}, true},
      {"objects\\armor.x", Variant::kFileTextures, {}, true},
      {"objects\\ground.x", Variant::kFileTextures, {}, true},
      {"objects\\raven00.x", Variant::kFileTextures, {}, true},
      {"objects\\ocean00.x", Variant::kFileTextures, {}, false},
      {"objects\\ocean01.x", Variant::kFileTextures, {}, false},
      {"objects\\ocean02.x", Variant::kFileTextures, {}, false},
      {"objects\\ocean03.x", Variant::kFileTextures, {}, false},
      {"objects\\shark00.x", Variant::kFileTextures, {}, false},
      {"objects\\shark01.x", Variant::kFileTextures, {}, false},
      {"objects\\raven01.x", Variant::kFileTextures, {}, false},
      {"objects\\raven02.x", Variant::kFileTextures, {}, false},
  };
  return table;
}

GameContent::GameContent() = default;
GameContent::~GameContent() { Release(); }

void GameContent::LoadModel(gfx::Device* device, const ModelEntry& entry) {
  auto mesh = std::make_unique<CVarnMesh>("CVarnMesh");
  switch (entry.variant) {
    case Variant::kFileTextures:
      mesh->LoadFromFile(device, entry.file);
      break;
    case Variant::kOneTexture:
      mesh->LoadWithTexture(device, entry.file, entry.textures[0]);
      break;
    case Variant::kNamedTextures: {
      std::string names[3];
      int n = 0;
      for (const char* t : entry.textures)
        if (t) names[n++] = t;
      mesh->LoadWithTextureNames(device, entry.file, names, n, false);
      break;
    }
  }
  models.push_back(std::move(mesh));
}

void GameContent::LinkModels() {
  if (models.size() != static_cast<std::size_t>(kModelCount)) return;
  auto m = [this](int i) { return models[i].get(); };
  logo = m(kLogo);
  scene.skybox = m(kSkybox);
  scene.body = m(kBodyWorking);
  for (int i = 0; i < render::kBodyFrames; ++i) scene.bodyFrames[i] = m(kBody1 + i);
  scene.weapons = {m(kPistol), m(kRocket), m(kShotgun)};
  scene.tree = m(kTree);
  scene.ocean = m(kOcean);
  scene.scythe = m(kScythe);
  scene.shark = m(kShark);
  scene.sphere = m(kSphere);
  scene.armor = m(kArmor);
  scene.ground = m(kGround);
  scene.raven = m(kRaven);
  LinkMorph(world.body, world.bodyKeys, m(kBodyWorking), {m(kBody0), m(kBody1), m(kBody2)});
  LinkMorph(world.ocean, world.oceanKeys, m(kOcean), {m(kOcean0), m(kOcean1), m(kOcean2), m(kOcean3)});
  LinkMorph(world.shark, world.sharkKeys, m(kShark), {m(kShark0), m(kShark1)});
  LinkMorph(world.raven, world.ravenKeys, m(kRaven), {m(kRaven2), m(kRaven1)});
}

void GameContent::LinkCollision() {
  for (int t = 0; t < kTileCount; ++t) {
    world.tiles[t] = CollisionViewOf(tiles.collisionTiles[t].mesh.get());
    collisionGrids[t] = world.tiles[t].TriangleCount() ? std::make_unique<CollisionGrid>(world.tiles[t]) : nullptr;
    world.tiles[t].grid = collisionGrids[t].get();
  }
}

void GameContent::UploadMorphs() {
  if (models.size() != static_cast<std::size_t>(kModelCount)) return;
  if (world.body.working) Upload(scene.body);
  if (world.ocean.working) Upload(scene.ocean);
  if (world.shark.working) Upload(scene.shark);
  if (world.raven.working) Upload(scene.raven);
}

void GameContent::RestoreMeshes(gfx::Device* device) {
  const bool sw = copyOptions.softwareVertexProcessing, alt = copyOptions.alternateMemory;
  const auto& table = ModelTable();
  for (std::size_t i = 0; i < models.size() && i < table.size(); ++i) {
    if (!table[i].deviceCopy || !models[i]->systemMesh) continue;
    // The morphed meshes are rewritten every frame.
    bool dynamic = static_cast<int>(i) == kBodyWorking || static_cast<int>(i) == kOcean ||
                   static_cast<int>(i) == kShark || static_cast<int>(i) == kRaven;
    models[i]->RestoreDeviceObjects(device, dynamic ? D3DXMESH_DYNAMIC : D3DXMESH_MANAGED, sw, alt);
  }
  for (WorldTile& t : tiles.renderTiles)
    if (t.mesh && t.mesh->systemMesh) t.mesh->RestoreDeviceObjects(device, D3DXMESH_MANAGED, sw, alt);
}

void GameContent::ReleaseMeshes() {
  for (auto& m : models) m->InvalidateDeviceObjects();
  for (WorldTile& t : tiles.renderTiles)
    if (t.mesh) t.mesh->InvalidateDeviceObjects();
}

void GameContent::Release() {
  world = MatchWorld{};
  for (auto& grid : collisionGrids) grid.reset();
  scene = render::SceneModels{};
  logo = nullptr;
  models.clear();
  tiles.Release();
  fixed.Release();
  database.Release();
}

}  // namespace halvex::game
