// A stand-in battle area made in code for when no content pack is present:
// for each of the 16 tiles, flat ground at height 0 cut into a grid of quads
// plus a few boxes and a ramp that depend on the tile, all inside the tile's
// 250 x 250 square (x and z from -500 to 500, tile 0 at x < 0, z > 0).
#pragma once

#include <array>

#include "world/collision/mesh_builder.h"

namespace halvex {

inline constexpr int kSyntheticTileCount = 16;

// Fills mesh with tile t's triangles (world axes, stored z up).
void BuildSyntheticTile(int tile, CollisionMeshData& mesh);

// All 16 tiles, each with its grid built.
void BuildSyntheticArea(std::array<CollisionMeshData, kSyntheticTileCount>& tiles);

}  // namespace halvex
