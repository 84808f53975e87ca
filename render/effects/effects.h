// The sprite effects of a frame: projectiles with their flare and smoke
// trails and the lights they cast, and the sun's shine, lens flare and
// screen glare.
#pragma once

#include <array>

#include "content/texture_database.h"
#include "platform/gfx/device.h"
#include "render/scene/draw_helpers.h"
#include "sim/match.h"
#include "sim/match_state.h"
#include "world/tiles/tiles.h"

namespace halvex::render {

struct EffectState {
  AnimationCounter shine{0.9f, kShineTextures};
  float pulse = 0.0f, pulseSpeed = 0.1f;
};

struct EffectInputs {
  gfx::Device* device = nullptr;
  gfx::VertexBuffer* quad = nullptr;
  gfx::VertexBuffer* bannerQuad = nullptr;  // the screen quad the glare reuses
  const FixedTextures* textures = nullptr;
  const MatchWorld* world = nullptr;
  const std::array<bool, kTileCount>* visibleTiles = nullptr;
  gfx::DWORD savedBlock = 0, drawBlock = 0;  // messageFont's
  float timeScale = 0.0f;
};

// Which projectiles a pass draws: kind p in passes 0..2, rockets again in
// pass 3 (smoke); never before their second frame.
bool DrawnInPass(const Projectile& shot, int pass);
// How many sprites a projectile puts on screen in a pass.
int SpritesInPass(const Projectile& shot, int pass);

// Draws every projectile; may take the player's shots beyond 1500 units out
// of use, and sets lights 1 and 2.
void DrawProjectiles(const EffectInputs& in, MatchState& state, const Camera& cam,
                     const Matrix& billboard);

// Advances the shine and pulse, and draws the shine, sun and flare when the
// player looks into an unoccluded sun above the horizon. Returns whether
// anything was drawn.
bool DrawLensFlare(const EffectInputs& in, const MatchState& state, const Camera& cam,
                   EffectState& fx, const Vec3& sun);

// The lens flare's facing value: sin(FacingDot(pivot, sun, look)).
float FlareFacing(const Vec3& pivot, const Vec3& sun, const Vec3& look);

}  // namespace halvex::render
