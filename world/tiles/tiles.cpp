#include "world/tiles/tiles.h"

#include <cmath>

namespace halvex {

// |z - 500| as the combatants' tile rule has it, so the two never disagree
// (north of z = 750 they would).
int TileRow(float z) { return static_cast<int>(std::fabs(z - 500.0f) / kTileSize); }
int TileColumn(float x) { return static_cast<int>((x + 500.0f) / kTileSize); }
int TileIndexAt(float x, float z) { return kTileRows * TileRow(z) + TileColumn(x); }

Vec3 TileCentre(int tile) {
  const int row = tile / kTileRows, column = tile % kTileRows;
  return Vec3(kTileSize * float(column + 1) - 625.0f, 125.0f,
              -(kTileSize * float(row + 1) - 625.0f));
}

std::string TileFileName(int tile) {
  const int row = tile / kTileRows, column = tile % kTileRows;
  return "world" + std::to_string(row + 1) + std::to_string(column + 1) + ".x";
}

const std::array<std::array<int, kTileCount>, kTileCount> tileDrawOrder = {{
    {0, 4, 1, 5, 8, 2, 9, 6, 10, 12, 3, 13, 7, 14, 11, 15},
    {1, 0, 5, 2, 4, 6, 9, 3, 7, 8, 10, 11, 13, 12, 14, 15},
    {2, 1, 6, 3, 5, 7, 0, 10, 4, 11, 9, 8, 14, 15, 13, 12},
    {3, 2, 7, 6, 1, 11, 5, 10, 9, 0, 15, 4, 14, 8, 13, 12},
    {4, 0, 8, 5, 1, 9, 12, 6, 2, 13, 10, 14, 7, 3, 11, 15},
    {5, 4, 1, 9, 6, 0, 8, 2, 10, 7, 13, 3, 12, 11, 14, 15},
    {6, 5, 2, 10, 7, 1, 9, 3, 11, 4, 14, 0, 15, 8, 13, 12},
    {7, 6, 3, 11, 2, 10, 5, 15, 1, 14, 9, 13, 4, 0, 8, 12},
    {8, 4, 12, 9, 5, 13, 0, 10, 1, 14, 6, 2, 11, 15, 7, 3},
    {9, 8, 5, 13, 10, 4, 12, 6, 14, 1, 11, 0, 15, 2, 7, 3},
    {10, 9, 14, 6, 11, 5, 13, 7, 15, 8, 2, 12, 3, 4, 1, 0},
    {11, 10, 7, 15, 6, 14, 9, 3, 13, 2, 5, 1, 8, 12, 4, 0},
    {12, 8, 13, 9, 4, 14, 5, 10, 6, 0, 15, 1, 11, 2, 7, 3},
    {13, 12, 9, 14, 8, 10, 5, 15, 4, 11, 6, 7, 1, 0, 2, 3},
    {14, 13, 10, 15, 9, 11, 6, 12, 7, 8, 5, 4, 2, 3, 1, 0},
    {15, 14, 11, 10, 13, 7, 9, 6, 5, 12, 3, 8, 2, 4, 1, 0},
}};

WorldTiles::WorldTiles() {
  for (int t = 0; t < kTileCount; ++t) {
    collisionTiles[size_t(t)].centre = TileCentre(t);
    renderTiles[size_t(t)].centre = TileCentre(t);
  }
}

void WorldTiles::Release() {
  for (WorldTile& tile : renderTiles) tile.mesh.reset();
  for (WorldTile& tile : collisionTiles) tile.mesh.reset();
}

CollisionMeshView CollisionViewOf(const CVarnMesh* mesh) {
  CollisionMeshView view;
  if (!mesh || !mesh->vertexData || !mesh->indexData ||
      mesh->vertexStride() != CollisionMeshView::kVertexStrideFloats * sizeof(float)) {
    return view;
  }
  view.vertices = mesh->vertexData;
  view.vertexCount = mesh->vertexCount();
  view.indices = mesh->indexData;
  view.indexCount = mesh->indexCount();
  return view;
}

namespace {

void Step(LoadingProgress* progress, const char* caption, int tile) {
  if (!progress) return;
  progress->Redraw(caption);
  if (tile % 2 == 1) progress->AppendBarGlyphs(4);
}

}  // namespace

void BuildCollisionMap(gfx::Device* /*device: collision tiles are never drawn*/, const std::string& areaPath,
                       WorldTiles& tiles,
                       LoadingProgress* progress) {
  if (progress) progress->ClearBar();
  for (int t = 0; t < kTileCount; ++t) {
    Step(progress, "Generating Collision Map", t);
    auto mesh = std::make_unique<CVarnMesh>("CVarnMesh");
    // Collision tiles are never drawn: their textures are not loaded (each
    // tile held its own copies of the area's textures, the largest share of
    // the game's memory).
    mesh->LoadFromFile(nullptr, areaPath + "\\Check\\" + TileFileName(t));
    tiles.collisionTiles[size_t(t)].mesh = std::move(mesh);
  }
}

void BuildWorldMap(gfx::Device* device, const std::string& areaPath, bool renderDetail,
                   const TextureDatabase& database, WorldTiles& tiles, LoadingProgress* progress,
                   DataFileProblems* problems) {
  const TileTextureLists lists = ReadTileTextureLists(
      areaPath + (renderDetail ? "\\texture.txt" : "\\textureL.txt"), problems);
  const std::string folder = renderDetail ? "\\Render\\" : "\\Check\\";
  if (progress) progress->ClearBar();
  for (int t = 0; t < kTileCount; ++t) {
    Step(progress, "Generating World Map", t);
    auto mesh = std::make_unique<CVarnMesh>("CVarnMesh");
    const TileTextureBlock& block = lists[size_t(t)];
    mesh->LoadWithTextureList(device, areaPath + folder + TileFileName(t), block.indices.data(),
                              block.count, database, true);
    tiles.renderTiles[size_t(t)].mesh = std::move(mesh);
  }
}

}  // namespace halvex
