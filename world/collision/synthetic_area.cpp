#include "world/collision/synthetic_area.h"

namespace halvex {

void BuildSyntheticTile(int tile, CollisionMeshData& mesh) {
  int row = tile / 4, column = tile % 4;
  float x0 = column * 250.0f - 500.0f, z1 = 500.0f - row * 250.0f;
  float x1 = x0 + 250.0f, z0 = z1 - 250.0f;
  constexpr int kCells = 10;
  float step = 250.0f / kCells;
  for (int i = 0; i < kCells; ++i)
    for (int j = 0; j < kCells; ++j)
      mesh.AddGround(x0 + i * step, x0 + (i + 1) * step, z0 + j * step, z0 + (j + 1) * step, 0.0f);
  // Obstacles placed from the tile number so that tiles differ.
  float cx = x0 + 125.0f, cz = z0 + 125.0f;
  float off = 20.0f + 10.0f * (tile % 5);
  mesh.AddBox(Vec3(cx - off - 20, 0, cz - 15), Vec3(cx - off + 20, 30.0f + 5 * (tile % 3), cz + 15));
  mesh.AddBox(Vec3(cx + 40, 0, cz + off - 10), Vec3(cx + 70, 60, cz + off + 30));
  mesh.AddRamp(x0 + 10, x0 + 90, z0 + 10, z0 + 60, 0.0f, 25.0f + tile);
  // A low wall along part of one edge.
  mesh.AddBox(Vec3(x0 + 100, 0, z1 - 12), Vec3(x1 - 20, 20, z1 - 4));
}

void BuildSyntheticArea(std::array<CollisionMeshData, kSyntheticTileCount>& tiles) {
  for (int t = 0; t < kSyntheticTileCount; ++t) {
    tiles[t] = CollisionMeshData();
    BuildSyntheticTile(t, tiles[t]);
    tiles[t].BuildGrid();
  }
}

}  // namespace halvex
