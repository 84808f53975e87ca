#include "render/scene/scene.h"

#include <algorithm>
#include <cmath>

#include "world/collision/collision.h"

namespace halvex::render {

using namespace gfx;

namespace {

constexpr float kWorldTilt = -kPi / 2;  // tile and sky models are authored z up
constexpr float kBodyScale = 1.0f;
constexpr float kSkyScale = 1.0f;
constexpr float kConeVisible = 0.6f;
constexpr float kConeTrees = 0.70000005f;

bool ConeVisible(float cone, int tile, int playerTile) {
  return cone <= kConeVisible || tile == playerTile;
}

Vec3 ViewDirection(const PlayerView& v) { return Vec3Normalize(v.target - v.pivot); }

void SetAmbient(Device* d, DWORD colour) { d->SetRenderState(D3DRS_AMBIENT, colour); }

void DrawFirstPersonWeapon(Device* d, const SceneInputs& in, const MatchState& s, const Camera& cam) {
  const PlayerState& p = s.player;
  CVarnMesh* model = in.models->weapons[std::clamp(p.weaponIndex, 0, 2)];
  if (!model) return;
  const PlayerView& v = p.view;
  SetObjectWorld(d, cam, Vec3(v.pitch, v.yaw, v.roll), v.eye + Vec3(0.0f, 8.0f + v.weaponBob, 0.0f),
                 Vec3(1.0f));
  DrawOpaque(d, *model);
}

// Trees stand upright like the bodies (their model is authored the same way).
const Matrix& TreeOrientation() {
  static const Matrix m = BuildOrientation(-kPi / 2, kPi, 0, 1, 1, 1);
  return m;
}

bool TreeVisible(const TreeSlot& t) { return t.active && t.viewOffset <= kConeTrees; }

void DrawTrees(Device* d, const SceneInputs& in, const MatchState& s, const Camera& cam) {
  if (!s.settings.renderTrees || !in.models->tree) return;
  for (const TreeSlot& t : s.trees) {
    if (!TreeVisible(t)) continue;
    SetBillboardWorld(d, cam, t.position, TreeOrientation());
    DrawOpaque(d, *in.models->tree);
  }
}

// The body mesh for a combatant: neutral when standing, the jump pose
// while climbing or moving up or down, else the running blend.
CVarnMesh* BodyFor(const SceneInputs& in, const Combatant& c, const Vec3& last, float ts) {
  const SceneModels& m = *in.models;
  if (Vec3Length(c.position - last) < 0.01f) return m.bodyFrames[1];
  if (c.climb || std::fabs(c.position.y - last.y) > 0.25f * ts) return m.bodyFrames[5];
  return m.body;
}

void DrawBodies(Device* d, const SceneInputs& in, const MatchState& s, const Camera& cam,
                SceneFrameState& f, bool remember = true) {
  for (int colour = 0; colour < kBodyColours; ++colour) {
    d->SetTexture(0, in.textures->bodyTextures[colour]);
    for (int i = 0; i < s.combatantCount; ++i) {
      const Combatant& c = s.combatants[i];
      if (c.skin % kBodyColours != colour) continue;
      if (!ConeVisible(c.viewOffset, c.tileIndex, s.player.view.playerTile)) continue;
      CVarnMesh* body = BodyFor(in, c, f.lastPositions[i], in.timeScale);
      if (!body || !body->deviceMesh) continue;
      SetObjectWorld(d, cam, Vec3(c.pitch, c.yaw, c.roll), c.position - Vec3(0, 15.5f, 0),
                     Vec3(kBodyScale));
      DrawPlain(d, *body);
    }
  }
  if (!remember) return;
  for (int i = 0; i < s.combatantCount; ++i) f.lastPositions[i] = s.combatants[i].position;
}

// animate: the main frame moves the corpses on; the environment map only
// draws them where they are.
void DrawCorpses(Device* d, const SceneInputs& in, MatchState& s, const Camera& cam, bool animate = true) {
  if (!s.flags.realismMode || !in.models->bodyFrames[1]) return;
  const Vec3 pivot = s.player.view.pivot, dir = ViewDirection(s.player.view);
  for (int i = 0; i < s.combatantCount; ++i) {
    CorpseSlot& body = s.corpses[i];
    if (!body.active) continue;
    const bool inMap = in.world && body.tileIndex >= 0 && body.tileIndex < kTileCount;
    if (animate) AnimateCorpse(body, inMap ? &in.world->tiles[body.tileIndex] : nullptr, in.timeScale);
    if (ConeDistance(body.bodyPosition, pivot, dir) > kConeTrees) continue;
    d->SetTexture(0, in.textures->bodyTextures[s.combatants[i].skin % kBodyColours]);
    float scale = body.settled ? 1.1f * kBodyScale : kBodyScale;
    SetObjectWorld(d, cam, Vec3(body.pitch, body.yaw, body.roll), body.bodyPosition, Vec3(scale));
    DrawPlain(d, *in.models->bodyFrames[1]);
  }
}

void DrawHeldWeapons(Device* d, const SceneInputs& in, const MatchState& s, const Camera& cam) {
  const DWORD blocks[3] = {in.objects->pistolBlock, in.objects->rocketBlock, in.objects->shotgunBlock};
  const float scales[3] = {0.5f, 1.1f, 0.75f};
  const Vec3 pivot = s.player.view.pivot;
  for (int kind = 0; kind < 3; ++kind) {
    CVarnMesh* model = in.models->weapons[kind];
    if (!model) continue;
    if (blocks[kind]) d->ApplyStateBlock(blocks[kind]);
    for (int i = 0; i < s.combatantCount; ++i) {
      const Combatant& c = s.combatants[i];
      if (c.weaponIndex != kind || Vec3Length(c.position - pivot) > 500.0f) continue;
      if (!ConeVisible(c.viewOffset, c.tileIndex, s.player.view.playerTile)) continue;
      Vec3 facing = Vec3Normalize(Vec3(c.heading.x, 0.0f, c.heading.z));
      if (s.flags.multiplayer) facing *= 0.5f;
      Vec3 at(c.position.x + facing.x - 1.2f * facing.z, c.position.y + 3.0f - s.player.view.weaponBob / 2,
              c.position.z + facing.z + 1.2f * facing.x);
      SetObjectWorld(d, cam, Vec3(c.pitch, c.yaw, c.roll), at, Vec3(scales[kind]));
      DrawPlain(d, *model);
    }
  }
}

// The monument at the origin; with environment mapping its third subset is
// drawn again below, glowing with the environment texture.
void DrawCentralModel(Device* d, const SceneInputs& in, const Camera& cam) {
  const CVarnMesh& m = *in.models->scythe;
  if (in.objects->baseBlock) d->ApplyStateBlock(in.objects->baseBlock);
  SetObjectWorld(d, cam, Vec3(kWorldTilt, 0, 0), Vec3(0.0f), Vec3(2, 1, 2));
  if (!in.environmentMapping || !in.objects->environmentTexture) {
    DrawOpaque(d, m);
    return;
  }
  static const int kOwn[2] = {0, 1}, kMirror[1] = {2};
  DrawListed(d, m, 2, kOwn);
  SetObjectWorld(d, cam, Vec3(kWorldTilt, 0, 0), Vec3(0, -120, 0), Vec3(2, 2, 2));
  DrawListed(d, m, 1, kMirror);
  if (in.objects->glowBlock) d->ApplyStateBlock(in.objects->glowBlock);
  Texture* env = in.objects->environmentTexture;
  DrawListedWith(d, m, 1, kMirror, &env);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

void DrawPickups(Device* d, const SceneInputs& in, const MatchState& s, const Camera& cam, int caustics) {
  const SceneModels& m = *in.models;
  const FixedTextures& t = *in.textures;
  static const D3DMATERIAL8 gold = ColourMaterial(1.0f, 0.87f, 0.1f, 1), red = ColourMaterial(1, 0, 0, 1),
                            grey = ColourMaterial(0.6f, 0.6f, 0.6f, 1);
  const Matrix sphereOrient[2] = {BuildOrientation(kWorldTilt, 0, 0, 0.125f, 0.125f, 0.125f),
                                  BuildOrientation(kWorldTilt, 0, 0, 0.2f, 0.2f, 0.2f)};
  if (in.objects->additiveBlock) d->ApplyStateBlock(in.objects->additiveBlock);
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetTexture(0, t.causticTextures[(caustics + pass * 7) % kCausticFrames]);
    const PickupList& power = s.pickups.powerPickups;
    for (int i = 0; m.sphere && m.sphere->deviceMesh && i < power.count; ++i) {
      const ItemPickup& it = power.items[i];
      if (!it.active) continue;
      d->SetMaterial(it.powerLevel ? &gold : &red);
      SetBillboardWorld(d, cam, Vec3(it.x, it.y, it.z), sphereOrient[pass]);
      DrawPlain(d, *m.sphere);
    }
    d->SetTexture(0, pass == 0 ? t.bodyTextures[1] : t.armor);
    const PickupList& armor = s.pickups.armorPickups;
    for (int i = 0; m.armor && m.armor->deviceMesh && i < armor.count; ++i) {
      const ItemPickup& it = armor.items[i];
      if (!it.active) continue;
      d->SetMaterial(&grey);
      SetObjectWorld(d, cam, Vec3(0.0f, s.clocks.skyAngle1 * 40.0f, 0.0f), Vec3(it.x, it.y, it.z),
                     Vec3(0.25f, 0.5f, 0.25f));
      DrawPlain(d, *m.armor);
    }
  }
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

// One world tile's opaque (pass 0) or translucent (pass 1) subsets, through
// that pass's light-map effect when it has one and lightMapped allows it.
void DrawTile(Device* d, const SceneInputs& in, int index, int pass, int caustics, bool lightMapped) {
  const WorldTile& tile = in.tiles->renderTiles[index];
  if (!tile.mesh) return;
  const bool opaque = pass == 0;
  if (lightMapped && in.lightMapTechnique[pass] && in.lightMapEffect[pass] && in.multiTex)
    DrawLightMapped(d, *tile.mesh, in.lightMapEffect[pass], in.lightMapTechnique[pass],
                    in.textures->causticTextures[caustics % kCausticFrames], (*in.multiTex)[index].data(), opaque,
                    !opaque);
  else
    DrawSplit(d, *tile.mesh, opaque, !opaque);
}

void DrawTilePass(Device* d, const SceneInputs& in, const MatchState& s, const Camera& cam,
                  SceneFrameState& f, bool opaque) {
  const PlayerView& v = s.player.view;
  const Vec3 dir = ViewDirection(v);
  SetObjectWorld(d, cam, Vec3(kWorldTilt, 0, 0), Vec3(0.0f), Vec3(1.0f));
  const TileSelection sel = TileSelectionFor(v.pivot);
  const auto& order = tileDrawOrder[std::max(v.playerTile, 0)];
  for (int i = 0; i < kTileCount; ++i) {
    WorldTile& tile = in.tiles->renderTiles[order[i]];
    tile.coneDistance = ConeDistance(tile.centre, v.pivot, dir);
    if (i > sel.nearCount && tile.coneDistance > sel.coneLimit) continue;
    f.visibleTiles[order[i]] = true;
    ++f.tilesDrawn;
    DrawTile(d, in, order[i], opaque ? 0 : 1, f.caustics.Frame(), true);
  }
}

// The sea is the ocean model scaled 15. Normals go through the inverse
// transpose of the world matrix, which shrinks them 15 times, and the
// lights would reach the water at a fifteenth of their strength: the sea
// went black by day. While it is drawn its normals are renormalised.
class ScaledSeaLighting {
 public:
  explicit ScaledSeaLighting(Device* d) : d_(d) { d_->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE); }
  ~ScaledSeaLighting() { d_->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE); }
  ScaledSeaLighting(const ScaledSeaLighting&) = delete;
  ScaledSeaLighting& operator=(const ScaledSeaLighting&) = delete;

 private:
  Device* d_;
};

// The sky box drifts about the vertical with the first sky angle. The
// second keeps pace with the sun's circle about the x axis, but turning the
// box with it shows the box's edges and its open bottom by midafternoon, so
// it is left unread.
Vec3 SkyAngles(const AnimationClocks& c) { return Vec3(kWorldTilt, c.skyAngle1, 0.0f); }

void DrawSeaAndSky(Device* d, const SceneInputs& in, const MatchState& s, const Camera& cam,
                   const Vec3& levels, int caustics) {
  const SceneModels& m = *in.models;
  const FixedTextures& t = *in.textures;
  const PlayerView& v = s.player.view;
  const bool alive = s.flags.gameState < 10;
  const bool underwater = v.pivot.y < -200.0f;
  if (alive) SetAmbient(d, 0xff000000u | static_cast<DWORD>(std::clamp(levels.x, 0.0f, 255.0f)) * 0x010101u);
  // Under water the ground, sharks and ravens take the sea floor's blue
  // instead of whatever the last tile subset left.
  static const D3DMATERIAL8 kUnderWater = ColourMaterial(0, 0, 0.8f, 1);
  if (underwater) d->SetMaterial(&kUnderWater);
  if (v.playerTile < 0 && m.ground) {
    d->SetTexture(0, t.armor);
    SetObjectWorld(d, cam, Vec3(kWorldTilt, 0, 0), Vec3(0.0f), Vec3(1.0f));
    DrawPlain(d, *m.ground);
  }
  if (in.backgroundExtras) {
    if (s.settings.qualitySky) {
      const Vec3 dir = ViewDirection(v);
      d->SetTexture(0, t.shark);
      for (const Wanderer& w : s.sharks)
        if (m.shark && ConeDistance(w.position, v.pivot, dir) <= kConeVisible) {
          SetObjectWorld(d, cam, Vec3(w.pitch, w.yaw, w.roll), w.position, w.scale);
          DrawPlain(d, *m.shark);
        }
      d->SetTexture(0, t.armor);
      for (const Wanderer& w : s.ravens)
        if (m.raven && ConeDistance(w.position, v.pivot, dir) <= kConeVisible) {
          SetObjectWorld(d, cam, Vec3(w.pitch, w.yaw, w.roll), w.position, w.scale);
          DrawPlain(d, *m.raven);
        }
    }
    if (m.ocean) {
      ScaledSeaLighting lit(d);
      d->SetTexture(0, t.causticTextures[caustics % kCausticFrames]);
      D3DMATERIAL8 floor = underwater ? ColourMaterial(6, 4, 0.8f, 1) : ColourMaterial(0, 0, 0.8f, 1);
      d->SetMaterial(&floor);
      SetObjectWorld(d, cam, Vec3(kWorldTilt, 0, 0), Vec3(0, -800, 0), Vec3(15.0f));
      DrawPlain(d, *m.ocean);
      d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
      d->SetTexture(0, t.causticTextures[(caustics + 16) % kCausticFrames]);
      D3DMATERIAL8 sea = ColourMaterial(0.2f, 0.2f, 1, 1);
      d->SetMaterial(&sea);
      SetObjectWorld(d, cam, Vec3(kWorldTilt, 0, 0), Vec3(0, -150, 0), Vec3(15.0f));
      DrawPlain(d, *m.ocean);
      d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
  }
  if (v.pivot.y > -300.0f && m.skybox) {
    if (alive) {
      DWORD level = s.clocks.sun.y >= 0 ? 0x28u : static_cast<DWORD>(std::clamp(levels.y, 0.0f, 255.0f));
      SetAmbient(d, 0xff000000u | level * 0x010101u);
    }
    if (in.objects->clampBlock) d->ApplyStateBlock(in.objects->clampBlock);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    float scale = kSkyScale * (s.settings.qualitySky ? 1.0f : 0.5f);
    SetObjectWorld(d, cam, SkyAngles(s.clocks), Vec3(0.0f), Vec3(scale));
    static const int kSides[5] = {0, 1, 2, 3, 4};
    DrawListed(d, *m.skybox, 5, kSides);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    if (in.objects->wrapBlock) d->ApplyStateBlock(in.objects->wrapBlock);
  }
}

}  // namespace

void DrawShadowsAndChatIcons(const SceneInputs& in, const MatchState& s, const Camera& cam,
                             const SceneFrameState& f) {
  Device* d = in.device;
  d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  const Matrix flat = BuildOrientation(kPi / 2, 0, 0, 1, 1, 1);
  d->SetTexture(0, in.textures->chat);
  FillQuad(in.quad, -6, 6, 6, -6);
  for (int i = 0; i < s.combatantCount; ++i) {
    const Combatant& c = s.combatants[i];
    if (c.netFlag && ConeVisible(c.viewOffset, c.tileIndex, s.player.view.playerTile))
      DrawQuadAt(d, cam, c.position + Vec3(0, 30, 0), f.billboardFull);
  }
  // A combatant's shadow keeps the chat icon's size; trees cast larger ones.
  d->SetTexture(0, in.textures->shadow);
  for (int i = 0; i < s.combatantCount; ++i) {
    const Combatant& c = s.combatants[i];
    if (ConeVisible(c.viewOffset, c.tileIndex, s.player.view.playerTile))
      DrawQuadAt(d, cam, Vec3(c.position.x, 0.1f, c.position.z), flat);
  }
  FillQuad(in.quad, -12, 12, 12, -12);
  if (s.settings.renderTrees)
    for (const TreeSlot& t : s.trees)
      if (TreeVisible(t)) DrawQuadAt(d, cam, t.position + Vec3(0, 0.1f, 0), flat);
  FillQuad(in.quad, -15, 15, 15, -15);
  DrawQuadAt(d, cam, Vec3(0, 0.1f, 0), flat);
  FillQuad(in.quad, -1, 1, 1, -1);
  d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

namespace {

// The sprites are the shared quad at half-size 1 (as the shadows leave it)
// through the half-size billboard.
void DrawBlood(Device* d, const SceneInputs& in, const MatchState& s, const Camera& cam,
               const SceneFrameState& f) {
  if (!s.flags.realismMode || !in.blood) return;
  if (in.objects->bloodBlock) d->ApplyStateBlock(in.objects->bloodBlock);
  d->SetStreamSource(0, in.quad, 24);
  d->SetTexture(0, in.textures->blood);
  const Vec3 pivot = s.player.view.pivot, dir = ViewDirection(s.player.view);
  for (int i = 0; i < s.combatantCount; ++i) {
    const CorpseSlot& body = s.corpses[i];
    if (body.active && in.blood->corpses[i] && ConeDistance(body.bodyPosition, pivot, dir) <= kConeVisible &&
        Vec3Length(body.bodyPosition - pivot) <= 500.0f)
      in.blood->corpses[i]->Draw(d, cam, f.billboardHalf);
    const Combatant& c = s.combatants[i];
    if (in.blood->combatants[i] && Vec3Length(c.position - pivot) <= 750.0f &&
        ConeVisible(c.viewOffset, c.tileIndex, s.player.view.playerTile))
      in.blood->combatants[i]->Draw(d, cam, f.billboardHalf);
  }
  if (in.blood->global) in.blood->global->Draw(d, cam, f.billboardHalf);
  if (in.objects->fogOffBlock) d->ApplyStateBlock(in.objects->fogOffBlock);
}

}  // namespace

void AnimateCorpse(CorpseSlot& body, const CollisionMeshView* tile, float ts) {
  if (body.framesLeft > 0) {
    if (body.fallDirection == 1 && body.framesLeft > 12) body.yaw += kPi / 2;
    --body.framesLeft;
    body.pitch += body.fallDirection == 1 ? -kPi / 32 : kPi / 32;
  }
  if (body.settled || ts <= 0.0f) return;
  const Vec3 step(0.0f, -2.75f * ts, 0.0f);
  const Vec3 allowed = tile && tile->indexCount ? CollideAndSlide(body.bodyPosition, step, *tile, Vec3(2.75f)) : step;
  if (IsStuckAnswer(allowed, step)) {
    body.settled = 1;
    return;
  }
  // Less than the whole step allowed: it met the ground.
  body.bodyPosition += allowed;
  if (allowed.y > step.y * 0.99f || body.bodyPosition.y <= 2.75f) {
    body.settled = 1;
    body.bodyPosition.y = std::max(body.bodyPosition.y, 2.75f);
  }
}

float ConeDistance(const Vec3& object, const Vec3& pivot, const Vec3& viewDirection) {
  return Vec3Length(Vec3Normalize(object - pivot) - viewDirection);
}

TileSelection TileSelectionFor(const Vec3& pivot) {
  const float ax = std::fabs(pivot.x), az = std::fabs(pivot.z);
  return {(ax > 250.0f || az > 250.0f) ? 5 : 8, (ax > 500.0f || az > 500.0f) ? 1.25f : 0.95f};
}

void PlaceCamera(Camera& cam, const MatchState& s, const SceneFrameState& f) {
  const PlayerView& v = s.player.view;
  const Vec3 eye = v.pivot + Vec3(0, 8, 0);
  Vec3 at = v.target + Vec3(0, 8, 0);
  if (f.firstCombatantCamera && s.combatantCount > 0) at = s.combatants[0].position;
  cam.up = Vec3(0, 1, 0);
  SetCamera(cam, eye, at);
}

void DrawWorld(const SceneInputs& in, MatchState& s, Camera& cam, SceneFrameState& f) {
  Device* d = in.device;
  const PlayerView& v = s.player.view;
  const bool above = v.pivot.y > -300.0f;
  f.tilesDrawn = 0;
  f.visibleTiles.fill(false);
  f.caustics.Advance(in.timeScale);
  const int caustics = f.caustics.Frame();
  const Vec3 levels(std::trunc(s.clocks.sun.y / 100.0f), std::trunc(s.clocks.sun.y / 10.0f), 0.0f);
  d->SetRenderState(D3DRS_FOGENABLE, v.pivot.y < -200.0f ? TRUE : FALSE);
  if (in.meshScan) BeginOverdrawCount(d);
  d->SetRenderState(D3DRS_CULLMODE, s.clocks.underwaterCulling ? D3DCULL_NONE : D3DCULL_CCW);
  PlaceCamera(cam, s, f);
  f.billboardHalf = BuildOrientation(-kPi / 2 - v.pitch, v.yaw - kPi, 0, 0.5f, 0.5f, 0.5f);
  f.billboardFull = BuildOrientation(-kPi / 2 - v.pitch, v.yaw - kPi, 0, 1, 1, 1);
  if (in.objects->baseBlock) d->ApplyStateBlock(in.objects->baseBlock);

  if (!s.flags.spectatorMode) DrawFirstPersonWeapon(d, in, s, cam);
  if (above) DrawTrees(d, in, s, cam);
  DrawBodies(d, in, s, cam, f);
  DrawCorpses(d, in, s, cam);
  DrawHeldWeapons(d, in, s, cam);
  if (above && in.models->scythe) DrawCentralModel(d, in, cam);
  DrawPickups(d, in, s, cam, caustics);
  if (in.objects->baseBlock) d->ApplyStateBlock(in.objects->baseBlock);
  if (above) DrawTilePass(d, in, s, cam, f, true);
  if (s.settings.renderBackground) DrawSeaAndSky(d, in, s, cam, levels, caustics);
  SetAmbient(d, s.flags.gameState >= 10 ? 0xffb40000u : AmbientColour(in.ambient));
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  if (above) DrawTilePass(d, in, s, cam, f, false);
  if (in.meshScan) {
    CountOverdraw(d, &f.overdraw);
    ShowOverdraw(d, in.overdrawQuad);
  }
}

bool FacesEnvironmentModel(const PlayerView& v) {
  return ConeDistance(Vec3(0, 100, 0), v.pivot, ViewDirection(v)) < 0.6f;
}

void DrawEnvironmentMap(const SceneInputs& in, MatchState& s, Camera& cam, SceneFrameState& f) {
  Device* d = in.device;
  const PlayerView& v = s.player.view;
  f.environmentCaustics.Advance(in.timeScale);
  const int caustics = f.environmentCaustics.Frame();
  d->BeginScene();
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
  cam.up = Vec3(0, 0, 1);
  if (f.firstCombatantCamera && s.combatantCount > 0)
    SetCamera(cam, v.pivot + Vec3(0, 8, 0), s.combatants[0].position);
  else
    SetCamera(cam, Vec3(0, 110, 0), v.target + Vec3(0, 8, 0) - 20.0f * v.lookDir);
  if (in.lights) {
    LightInputs lights = *in.lights;
    lights.cameraView = ToD3D(cam.view);
    SetupLights(d, lights);
  }
  // Set directly: the previous frame's fog (under water) or blending must
  // not carry into the map.
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  d->SetRenderState(D3DRS_FOGENABLE, FALSE);
  d->SetRenderState(D3DRS_ZENABLE, TRUE);
  d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  d->SetRenderState(D3DRS_LIGHTING, in.lighting ? TRUE : FALSE);
  DrawTrees(d, in, s, cam);
  DrawBodies(d, in, s, cam, f, false);
  DrawCorpses(d, in, s, cam, false);
  SetObjectWorld(d, cam, Vec3(kWorldTilt, 0, 0), Vec3(0.0f), Vec3(1.0f));
  const auto& order = tileDrawOrder[std::max(v.playerTile, 0)];
  for (int i = 0; i <= 8; ++i) DrawTile(d, in, order[i], 0, caustics, in.lightMapEnvironment);
  if (s.settings.renderBackground && in.backgroundExtras && in.models->ocean) {
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetTexture(0, in.textures->causticTextures[caustics % kCausticFrames]);
    const D3DMATERIAL8 sea = ColourMaterial(0.4f, 0.4f, 1, 1);
    d->SetMaterial(&sea);
    ScaledSeaLighting lit(d);
    SetObjectWorld(d, cam, Vec3(kWorldTilt, 0, 0), Vec3(0, -150, 0), Vec3(15.0f));
    DrawPlain(d, *in.models->ocean);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  }
  SetAmbient(d, AmbientColour(in.ambient));
  if (s.settings.renderBackground && in.models->skybox) {
    if (in.objects->clampBlock) d->ApplyStateBlock(in.objects->clampBlock);
    const float scale = kSkyScale * (s.settings.qualitySky ? 1.0f : 0.5f);
    SetObjectWorld(d, cam, SkyAngles(s.clocks), Vec3(0.0f), Vec3(scale));
    static const int kSides[5] = {0, 1, 2, 3, 4};
    DrawListed(d, *in.models->skybox, 5, kSides);
    if (in.objects->wrapBlock) d->ApplyStateBlock(in.objects->wrapBlock);
  }
  d->EndScene();
  cam.up = Vec3(0, 1, 0);
}

void DrawWorldBlood(const SceneInputs& in, const MatchState& s, const Camera& cam, const SceneFrameState& f) {
  DrawBlood(in.device, in, s, cam, f);
}

}  // namespace halvex::render
