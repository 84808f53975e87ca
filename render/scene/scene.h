// The 3D part of a frame: camera, first-person weapon, bodies and corpses,
// held weapons, the central model, pickups, the world tiles in their draw
// order with cone culling, sea and sky, shadows and blood. It reads the
// match state and writes only drawing state and the per-frame culling
// values (tile cone distances, visible tiles, corpse animation).
#pragma once

#include <array>

#include "content/texture_database.h"
#include "content/varn_mesh.h"
#include "platform/gfx/device.h"
#include "render/device_objects.h"
#include "render/effects/particles.h"
#include "render/scene/draw_helpers.h"
#include "sim/match.h"
#include "sim/match_state.h"
#include "world/tiles/tiles.h"

namespace halvex::render {

inline constexpr int kBodyFrames = 6;  // botanim1, botanim0, botanim2..5

// The loaded models the scene draws (null where not loaded).
struct SceneModels {
  CVarnMesh* skybox = nullptr;
  CVarnMesh* body = nullptr;  // the working copy the match loop morphs
  std::array<CVarnMesh*, kBodyFrames> bodyFrames{};
  std::array<CVarnMesh*, 3> weapons{};  // pistol, rocket3, shotgun1
  CVarnMesh* tree = nullptr;
  CVarnMesh* ocean = nullptr;
  CVarnMesh* scythe = nullptr;
  CVarnMesh* shark = nullptr;
  CVarnMesh* sphere = nullptr;
  CVarnMesh* armor = nullptr;
  CVarnMesh* ground = nullptr;
  CVarnMesh* raven = nullptr;
};

// Blood particle systems: one per combatant, one per corpse slot, global.
struct BloodSystems {
  std::array<ParticleSystem*, kMaxCombatants> combatants{};
  std::array<ParticleSystem*, kMaxCombatants> corpses{};
  ParticleSystem* global = nullptr;
};

// What persists between frames.
struct SceneFrameState {
  AnimationCounter caustics{0.5f, kCausticFrames};
  std::array<bool, kTileCount> visibleTiles{};
  Matrix billboardHalf = MatrixIdentity();
  Matrix billboardFull = MatrixIdentity();
  std::array<Vec3, kMaxCombatants> lastPositions{};
  bool firstCombatantCamera = false;
  bool lightSetup = true;  // F3 toggles it off
  int tilesDrawn = 0;      // this frame, both passes
  AnimationCounter environmentCaustics{0.5f, kCausticFrames};  // the map's own
  OverdrawCounts overdraw;  // of the last frame drawn with the mesh scan
};

struct SceneInputs {
  gfx::Device* device = nullptr;
  gfx::VertexBuffer* quad = nullptr;
  const DeviceObjects* objects = nullptr;
  const SceneModels* models = nullptr;
  const FixedTextures* textures = nullptr;
  WorldTiles* tiles = nullptr;
  const MatchWorld* world = nullptr;  // collision tiles for falling corpses
  BloodSystems* blood = nullptr;
  float timeScale = 0.0f;
  AmbientLevels ambient;
  bool environmentMapping = false;
  bool lighting = true;  // the advanced setting; the environment map sets it itself
  // The light set-up the environment map repeats with its own camera (null:
  // the F3 toggle has switched the refresh off).
  const LightInputs* lights = nullptr;
  bool backgroundExtras = true;  // sharks, ravens and the sea
  // Light mapping: the two effects (opaque and translucent pass) with their
  // techniques, null when off or when no technique validated.
  d3dutil::Effect* lightMapEffect[2] = {};
  d3dutil::Technique* lightMapTechnique[2] = {};
  const MultiTexTable* multiTex = nullptr;
  // The T debug toggle: the environment map's tiles through the light-map
  // effect too.
  bool lightMapEnvironment = false;
  // The debug overdraw view (B in debug mode) and its screen quad.
  bool meshScan = false;
  gfx::VertexBuffer* overdrawQuad = nullptr;
};

// The camera for this frame: from the pivot raised by 8 to the target
// raised by 8 (or to combatant 0 while following it).
void PlaceCamera(Camera& cam, const MatchState& state, const SceneFrameState& frame);

// The frame's 3D drawing from the fog switch to the second tile pass
// (and the overdraw view), between BeginScene and the effects.
void DrawWorld(const SceneInputs& in, MatchState& state, Camera& cam, SceneFrameState& frame);

// Whether the environment texture is worth refreshing this frame: the
// camera looks toward the centre of the area, where the mirrored model
// stands.
bool FacesEnvironmentModel(const PlayerView& view);

// The reduced scene drawn into the environment texture from above the
// centre: trees, bodies, corpses, the nearest tiles, the sea and the sky.
void DrawEnvironmentMap(const SceneInputs& in, MatchState& state, Camera& cam, SceneFrameState& frame);

// After the effects: chat icons over combatants, and the shadows of
// combatants (half-size 6), trees (12) and the monument (15); the shared
// quad is left at half-size 1.
void DrawShadowsAndChatIcons(const SceneInputs& in, const MatchState& state, const Camera& cam,
                             const SceneFrameState& frame);

// The blood particles of corpses, combatants and the global system.
void DrawWorldBlood(const SceneInputs& in, const MatchState& state, const Camera& cam,
                    const SceneFrameState& frame);

// One frame of a corpse: it tips over during its first frames, then sinks
// with the collision query until it meets ground (or height 2.75) and
// settles there. tile may be null (nothing to land on but the floor).
void AnimateCorpse(CorpseSlot& body, const CollisionMeshView* tile, float timeScale);

// Selection rule of both tile passes: nearest-first order from the player's
// tile; draw position i when i <= the near count or the cone value is
// within the limit.
struct TileSelection {
  int nearCount;
  float coneLimit;
};
TileSelection TileSelectionFor(const Vec3& pivot);

// |normalize(object - pivot) - viewDirection|.
float ConeDistance(const Vec3& object, const Vec3& pivot, const Vec3& viewDirection);

}  // namespace halvex::render
