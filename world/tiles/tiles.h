// The 4 x 4 world tiles of a battle area: the grid, the tile records, the
// loading steps that build the collision map (Check models) and the world
// map (drawn models with the area's texture list), and the draw order.
//
// The area spans x and z from -500 to 500; tile t = 4 x row + column with
// row 0 at z = 500 and column 0 at x = -500. Tile models are authored with
// z up and drawn turned by -pi/2 about x, with no per-tile offset.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "content/data_files.h"
#include "content/texture_database.h"
#include "content/varn_mesh.h"
#include "d3dutil/math/math.h"
#include "world/collision/collision.h"

namespace halvex {

inline constexpr int kTileRows = 4;
inline constexpr float kTileSize = 250.0f;

// Integer parts of |z - 500| / 250 and (x + 500) / 250, and the index they
// make (the rule combatants and shots use); outside the area the result
// leaves 0..15 or names a tile mirrored across z = 500 (callers clamp or reject).
int TileRow(float z);
int TileColumn(float x);
int TileIndexAt(float x, float z);

// The tile's centre: x in {-375, -125, 125, 375} by column, y 125, z in
// {375, 125, -125, -375} by row.
Vec3 TileCentre(int tile);

// "world" + (row + 1) + (column + 1) + ".x": world11.x ... world44.x.
std::string TileFileName(int tile);

// Row r lists every tile, nearest to tile r first.
extern const std::array<std::array<int, kTileCount>, kTileCount> tileDrawOrder;

struct WorldTile {
  std::unique_ptr<CVarnMesh> mesh;  // null until built
  Vec3 centre{0.0f};
  int reserved = 0;
  float coneDistance = 0.0f;  // written each frame by the renderer
};

struct WorldTiles {
  WorldTiles();  // centres set, meshes null
  std::array<WorldTile, kTileCount> collisionTiles;
  std::array<WorldTile, kTileCount> renderTiles;

  // Releases every tile mesh (the database textures they borrow stay).
  void Release();
};

// The collision triangles of a collision tile's mesh; empty for a missing or
// failed mesh, or one not in the 32-byte layout collision reads.
CollisionMeshView CollisionViewOf(const CVarnMesh* mesh);

// "Generating Collision Map": areaPath + "\Check\" + each tile's file, its
// geometry only (no textures: never drawn, never copied to the device).
void BuildCollisionMap(gfx::Device* device, const std::string& areaPath, WorldTiles& tiles,
                       LoadingProgress* progress = nullptr);

// "Generating World Map": the Render models with "texture.txt" when
// renderDetail is on, else the Check models with "textureL.txt"; material i
// borrows database entry list[i]; a second coordinate set for light maps.
void BuildWorldMap(gfx::Device* device, const std::string& areaPath, bool renderDetail,
                   const TextureDatabase& database, WorldTiles& tiles,
                   LoadingProgress* progress = nullptr, DataFileProblems* problems = nullptr);

}  // namespace halvex
