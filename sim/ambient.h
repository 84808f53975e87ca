// The world's ambient life: the sharks and ravens that roam, the animation
// clocks (sky, water, waves, ocean keys, raven wings, the sun) and the mesh
// morphs driven by them.
#pragma once

#include "sim/match.h"
#include "sim/match_state.h"

namespace halvex {

void InitWanderers(MatchState& state, GameRandom& random);
void MoveWanderers(MatchState& state, FrameContext& ctx);
void AdvanceAnimationClocks(AnimationClocks& clocks, float timeScale);
// Rewrites the working meshes as blends of their key frames.
void MorphMeshes(const AnimationClocks& clocks, const MatchWorld& world);

// working := wa x a + wb x b for position and normal of every 32-byte
// vertex; texture coordinates are left alone.
void MorphVertices(float* working, const float* a, const float* b, float wa, float wb,
                   std::uint32_t vertexCount);

}  // namespace halvex
