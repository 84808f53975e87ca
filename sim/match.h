// What a frame of the match needs besides the match state: chance, time,
// the event sink, the tiles' collision meshes and the animated meshes. The
// frame is a function of (MatchState, InputSnapshot, FrameContext).
#pragma once

#include <array>
#include <cstdint>

#include "sim/clock.h"
#include "sim/events.h"
#include "sim/random.h"
#include "world/collision/collision.h"

namespace halvex {

inline constexpr int kWorldTileCount = 16;

// One mesh to rewrite as a blend of two key meshes with the same vertex
// count and order (32-byte vertices: position, normal, uv). Null pointers
// skip the morph (nothing to animate in a headless run).
struct MorphTarget {
  float* working = nullptr;
  std::uint32_t vertexCount = 0;
};

struct MatchWorld {
  std::array<CollisionMeshView, kWorldTileCount> tiles{};
  // Key frames, each vertexCount vertices of 8 floats.
  MorphTarget body;                        // objects\botanim0.x working copy
  const float* bodyKeys[3] = {};           // botanim0, botanim1, botanim2
  MorphTarget ocean;                       // objects\ocean00.x working copy
  const float* oceanKeys[4] = {};          // ocean00..ocean03
  MorphTarget shark;
  const float* sharkKeys[2] = {};          // shark00, shark01
  MorphTarget raven;
  const float* ravenKeys[2] = {};          // raven02 (weight 1 - v), raven01 (weight v)
};

struct FrameContext {
  GameRandom& rng;
  MatchEvents& events;
  const MatchWorld& world;
  FrameTimer& timer;
  float frameDelta = 0.0f;
  float timeScale = 0.0f;
  float frameRate = 0.0f;
  std::uint32_t clockMs = 0;  // the millisecond clock, for network stamps

  // The game's random(low, high).
  float random(float low, float high) const { return rng.random(low, high); }
  const CollisionMeshView& Tile(int index) const { return world.tiles[index]; }

  FrameContext(GameRandom& r, MatchEvents& e, const MatchWorld& w, FrameTimer& t)
      : rng(r), events(e), world(w), timer(t) {}
};

}  // namespace halvex
