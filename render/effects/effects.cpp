#include "render/effects/effects.h"

#include <algorithm>
#include <cmath>

#include "world/collision/collision.h"
#include "world/collision/ray_cast.h"

namespace halvex::render {

using namespace gfx;

namespace {

constexpr float kShotRange = 1500.0f;

D3DLIGHT8 ShotLight(const Vec3& position, const Camera& cam, bool rocket) {
  D3DLIGHT8 l{};
  l.Type = D3DLIGHT_POINT;
  l.Range = 100.0f;
  l.Attenuation1 = 0.1f;
  l.Diffuse = rocket ? D3DCOLORVALUE{1.0f, 0.6f, 0.2f, 0} : D3DCOLORVALUE{1.0f, 1.0f, 0.7f, 0};
  l.Specular = l.Diffuse;
  Vec3 p = Vec3TransformCoord(position, cam.view);
  l.Position = {p.x, p.y, p.z};
  return l;
}

void DrawShotSprites(Device* d, const Camera& cam, const Projectile& shot, int pass, const Matrix& bb) {
  const Vec3 dir = shot.velocity;
  if (pass <= 1) {
    DrawQuadAt(d, cam, shot.position, bb);
  } else if (pass == 2) {
    for (int k = 1; k <= 4; ++k) DrawQuadAt(d, cam, shot.position - (k * 0.125f) * dir, bb);
  } else {
    for (int k = 1; k <= 9; ++k) DrawQuadAt(d, cam, shot.position - (k * 0.2f) * dir, bb);
  }
}

// A white glare over the whole screen, through the banner's screen quad.
void DrawGlare(const EffectInputs& in, DWORD alpha) {
  if (!in.bannerQuad) return;
  struct V {
    float x, y, z, rhw;
    D3DCOLOR c;
    float u, v;
  };
  BYTE* data = nullptr;
  if (FAILED(in.bannerQuad->Lock(0, 4 * sizeof(V), &data, 0)) || !data) return;
  V* v = reinterpret_cast<V*>(data);
  for (int i = 0; i < 4; ++i) v[i].c = alpha << 24 | 0xffffff;
  in.bannerQuad->Unlock();
  Device* d = in.device;
  if (in.drawBlock) d->ApplyStateBlock(in.drawBlock);
  d->SetTexture(0, nullptr);
  d->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  d->SetStreamSource(0, in.bannerQuad, sizeof(V));
  d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
}

}  // namespace

bool DrawnInPass(const Projectile& shot, int pass) {
  if (!shot.active || shot.age <= 1) return false;
  return pass < 3 ? shot.weaponIndex == pass : shot.weaponIndex == 1;
}

int SpritesInPass(const Projectile& shot, int pass) {
  if (!DrawnInPass(shot, pass)) return 0;
  return pass <= 1 ? 1 : pass == 2 ? 4 : 9;
}

void DrawProjectiles(const EffectInputs& in, MatchState& s, const Camera& cam, const Matrix& billboard) {
  Device* d = in.device;
  FillQuad(in.quad, 0, 5, 5, 0);
  Texture* const textures[4] = {in.textures->bullet, in.textures->rocket, in.textures->flare,
                                in.textures->smoke};
  const Vec3 pivot = s.player.view.pivot;
  const Projectile* newest = nullptr;  // of the player's shots drawn: it carries light 1
  bool combatantLight = false;
  for (int pass = 0; pass < 4; ++pass) {
    d->SetTexture(0, textures[pass]);
    if (!s.flags.spectatorMode && pass < 3) {
      for (Projectile& shot : s.player.shots) {
        if (!DrawnInPass(shot, pass)) continue;
        if (Vec3Length(shot.position - pivot) > kShotRange) {
          shot.active = 0;
          continue;
        }
        DrawShotSprites(d, cam, shot, pass, billboard);
        if (!newest || shot.age < newest->age) newest = &shot;
      }
    }
    for (int i = 0; i < s.combatantCount; ++i) {
      for (Projectile& shot : s.combatants[i].shots) {
        if (!DrawnInPass(shot, pass)) continue;
        bool visible = shot.viewOffset <= 0.6f || shot.tileIndex == s.player.view.playerTile;
        int tile = shot.tileIndex;
        bool tileShown = !in.visibleTiles || (tile >= 0 && tile < kTileCount && (*in.visibleTiles)[tile]);
        if (!visible || !tileShown) continue;
        DrawShotSprites(d, cam, shot, pass, billboard);
        if (Vec3Length(shot.position - pivot) <= kShotRange) {
          D3DLIGHT8 l = ShotLight(shot.position, cam, shot.weaponIndex == 1);
          d->SetLight(2, &l);
          combatantLight = true;
        }
      }
    }
  }
  if (newest) {
    const D3DLIGHT8 l = ShotLight(newest->position, cam, newest->weaponIndex == 1);
    d->SetLight(1, &l);
  }
  d->LightEnable(1, newest ? TRUE : FALSE);
  d->LightEnable(2, combatantLight ? TRUE : FALSE);
  FillQuad(in.quad, -1, 1, 1, -1);
}

float FlareFacing(const Vec3& pivot, const Vec3& sun, const Vec3& look) {
  return std::sin(FacingDot(pivot, sun, look));
}

bool DrawLensFlare(const EffectInputs& in, const MatchState& s, const Camera& cam, EffectState& fx,
                   const Vec3& sun) {
  fx.shine.Advance(in.timeScale);
  fx.pulse += fx.pulseSpeed * in.timeScale;
  if (std::fabs(fx.pulse) > 1.0f) {
    fx.pulseSpeed = -fx.pulseSpeed;
    fx.pulse = fx.pulse > 0 ? 1.0f : -1.0f;
  }
  const PlayerView& v = s.player.view;
  const Vec3 look = v.target - v.pivot;
  const float f = FlareFacing(v.pivot, sun, look);
  if (f < 0.7f) return false;
  if (in.world && in.visibleTiles) {
    // Tile meshes are in their own (z up) axes.
    const Vec3 origin = WorldToModel(v.pivot + Vec3(0, 8, 0));
    const Vec3 dir = WorldToModel(Vec3Normalize(sun - v.pivot));
    for (int t = 0; t < kTileCount; ++t) {
      if (!(*in.visibleTiles)[t] || in.world->tiles[t].indexCount == 0) continue;
      if (RayCastMesh(in.world->tiles[t], origin, dir, 1500.0f) >= 0.0f) return false;
    }
  }
  if (sun.y < 0.0f) return false;
  Device* d = in.device;
  if (in.savedBlock) d->CaptureStateBlock(in.savedBlock);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  d->SetRenderState(D3DRS_ZENABLE, FALSE);
  Matrix r = MatrixInverse(cam.view);
  r(3, 0) = r(3, 1) = r(3, 2) = 0.0f;
  const Vec3 p = Vec3TransformCoord(Vec3(0, 0, 15), r) + v.pivot + Vec3(0, 8, 0);
  const Vec3 axis = Vec3Normalize(sun - p);
  auto sprite = [&](float dist, float half, Texture* tex) {
    d->SetTexture(0, tex);
    FillQuad(in.quad, -half, half, half, -half);
    DrawQuadAt(d, cam, p + dist * axis, r);
  };
  sprite(100.0f, 30.0f + std::trunc(10.0f * fx.pulse), in.textures->shineTextures[fx.shine.Frame()]);
  sprite(100.0f, 10.0f, in.textures->lensTextures[2]);
  if (f > 0.8f)
    // A third of each element's size: at the full size the two largest
    // elements cover the screen and wash it out. At least 1, so the two
    // smallest (a third of 2 and of 1) still show.
    for (const LensFlareElement& e : in.textures->lensFlareElements)
      sprite(e.position, static_cast<float>(std::max(e.third, 1)),
             in.textures->lensTextures[std::clamp(e.lensTexture, 0, kLensTextures - 1)]);
  if (f > 0.83f) DrawGlare(in, static_cast<DWORD>(std::min(255.0f, (f - 0.83f) * 4200.0f)));
  FillQuad(in.quad, -1, 1, 1, -1);
  if (in.savedBlock) d->ApplyStateBlock(in.savedBlock);
  d->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  d->SetStreamSource(0, in.quad, 24);
  return true;
}

}  // namespace halvex::render
