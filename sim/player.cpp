#include "sim/player.h"

#include <algorithm>
#include <cmath>

#include "sim/combatants.h"
#include "world/collision/collision.h"

namespace halvex {

namespace {

// Turn about the vertical axis by angle (positive toward +x).
Vec3 TurnY(const Vec3& v, float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  return Vec3(v.x * c + v.z * s, v.y, v.z * c - v.x * s);
}

// Tilt about the x axis; positive raises a vector pointing along +z.
Vec3 TiltX(const Vec3& v, float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  return Vec3(v.x, v.y * c + v.z * s, v.z * c - v.y * s);
}

void MoveView(PlayerView& v, const Vec3& d) {
  v.target += d;
  v.pivot += d;
  v.eye += d;
}

// Puts the pivot at exactly height y, carrying target and eye along.
void SetHeight(PlayerView& v, float y) {
  float d = y - v.pivot.y;
  v.target.y += d;
  v.eye.y += d;
  v.pivot.y = y;
}

// The look-ahead tile: the plain formula, -1 outside 0..15.
int LookAheadTile(const Vec3& p) {
  if (!(std::fabs(p.x) < 1e6f && std::fabs(p.z) < 1e6f)) return -1;
  int t = RawTileIndex(p.x, p.z);
  return t < 0 || t > 15 ? -1 : t;
}

// Whether the body can drop straight to height y without meeting anything
// (an open query keeps back 0.001 x radius of the way).
bool ClearDownTo(const Vec3& pivot, float y, const CollisionMeshView& tile, const Vec3& radii) {
  if (pivot.y <= y) return true;
  const Vec3 down(0.0f, y - pivot.y, 0.0f);
  const Vec3 r = CollideAndSlide(pivot, down, tile, radii);
  return !IsStuckAnswer(r, down) && r.y <= down.y + 0.002f * radii.y + 0.001f;
}

}  // namespace

void MouseLook(PlayerView& v, const InputSnapshot& input) {
  if (input.lX != 0) {
    float s = input.lX > 0 ? 1.0f : -1.0f;
    float a = s * static_cast<float>(std::abs(static_cast<long long>(input.lX))) * kMouseStep;
    v.target = v.pivot + TurnY(v.target - v.pivot, a);
    v.eye = v.pivot + TurnY(v.eye - v.pivot, a);
    v.lookDir = TurnY(v.lookDir, a);
    v.yaw += a;
  }
  if (input.lY != 0) {
    float s = 0.0f;
    if (input.lY < 0 && v.pitch < -kPi / 8) s = -1.0f;
    if (input.lY > 0 && v.pitch > -7 * kPi / 8) s = 1.0f;
    if (s != 0.0f) {
      float b = static_cast<float>(std::abs(static_cast<long long>(input.lY))) * kMouseStep;
      float back = -(v.yaw - kPi);
      auto tilt = [&](const Vec3& d) { return TurnY(TiltX(TurnY(d, back), -s * b), -back); };
      v.target = v.pivot + tilt(v.target - v.pivot);
      v.eye = v.pivot + tilt(v.eye - v.pivot);
      v.lookDir = tilt(v.lookDir);
      v.pitch -= s * b;
    }
  }
}

void MovementKeys(PlayerView& v, const InputSnapshot& input, float timeScale) {
  const Vec3& l = v.lookDir;
  const struct {
    int key;
    Vec3 add;
  } keys[] = {{scancode::kW, Vec3(l.x, 0, l.z)},
              {scancode::kS, Vec3(-l.x, 0, -l.z)},
              {scancode::kA, Vec3(-l.z, 0, l.x)},
              {scancode::kD, Vec3(l.z, 0, -l.x)}};
  for (const auto& k : keys) {
    if (!input.KeyDown(k.key)) continue;
    v.motion += k.add;
    v.weaponBob += v.weaponBobSpeed * 0.01f * timeScale;
    if (v.weaponBob > 0.05f) {
      v.weaponBob = 0.05f;
      v.weaponBobSpeed = -v.weaponBobSpeed;
    } else if (v.weaponBob < 0.0f) {
      v.weaponBob = 0.0f;
      v.weaponBobSpeed = -v.weaponBobSpeed;
    }
  }
}

void JumpAndFlight(PlayerView& v, const InputSnapshot& input, float frameDelta,
                   bool allowFlight) {
  if (v.jumpTimer > 0.0f) {
    v.jumpTimer -= frameDelta * 40.0f;
    v.motion.y = 10.0f;
  }
  if (input.RightButton()) {
    if (v.jumpTimer <= 0.0f && v.canJump) v.jumpTimer = 15.0f;
    if (!allowFlight) v.canJump = 0;
  }
  if (v.jumpTimer < 0.0f) v.jumpTimer = 0.0f;
}

void MovePlayer(MatchState& state, FrameContext& ctx) {
  PlayerView& v = state.player.view;
  const AreaOptions& area = state.area;
  const Vec3 radii(kPlayerRadius);
  float ts = ctx.timeScale;

  // Horizontal: collide in the tile the body is heading into.
  v.playerTile = PlayerTileIndex(v.pivot) == -1 ? -1 : LookAheadTile(v.pivot + 2.0f * v.motion);
  Vec3 h(v.motion.x * ts, 0.0f, v.motion.z * ts);
  Vec3 r = v.playerTile == -1 ? h : CollideAndSlide(v.pivot, h, ctx.Tile(v.playerTile), radii);
  if (!IsStuckAnswer(r, h) && std::fabs(v.pivot.x + r.x) < area.playerLimitX &&
      std::fabs(v.pivot.z + r.z) < area.playerLimitZ)
    MoveView(v, r);
  if (r.y >= 0.25f) v.motion.y += 8.0f;  // climb assist

  v.playerTile = PlayerTileIndex(v.pivot);
  if (!v.fixedCamera) {
    float dy = (v.motion.y - 5.0f) * ts;
    Vec3 request(0.0f, dy, 0.0f);
    Vec3 res = v.playerTile == -1 ? request
                                  : CollideAndSlide(v.pivot, request, ctx.Tile(v.playerTile), radii);
    // Signs as a sign test reads them: a blocked fall (y exactly 0) counts
    // as the other sign, which is how landing re-arms the jump.
    bool otherSign = (dy < 0.0f) != (res.y < 0.0f);
    if (IsStuckAnswer(res, request) || otherSign) {
      v.canJump = 1;
    } else if (v.pivot.y + res.y >= area.playerCeiling) {
      v.canJump = 1;
    } else {
      MoveView(v, res);
    }
  }
  if (v.playerTile != -1) {
    // Snap to the ground level when close to it and not rising, but only
    // where the way down is clear: at the foot of a ramp the snap would sink
    // the body into the slope, and a body inside geometry is stuck for good.
    if (v.motion.y < 2.0f && v.pivot.y < ctx.frameDelta * 150.0f + 16.0f &&
        ClearDownTo(v.pivot, 15.0f, ctx.Tile(v.playerTile), radii))
      SetHeight(v, 15.0f);
    if (v.pivot.y < 15.0f) SetHeight(v, 15.0f);
  }
}

void FloorClamp(MatchState& state) {
  PlayerView& v = state.player.view;
  if (v.pivot.y < state.area.playerFloor) SetHeight(v, state.area.playerFloor);
}

void RemoteGlide(MatchState& state, FrameContext& ctx) {
  for (int i = 0; i < state.combatantCount; ++i) {
    Combatant& c = state.combatants[i];
    if (!(c.glideStep < c.glideSteps)) continue;
    Vec3 d = (c.netTarget - c.previousPosition) / std::max(c.glideSteps, 1.0f);
    Vec3 r = CollideAndSlide(c.previousPosition, d, ctx.Tile(c.tileIndex), Vec3(10.0f));
    if (!IsStuckAnswer(r, d)) c.position += r;
    c.glideStep = std::min(c.glideStep + 1.0f, c.glideSteps);
  }
}

}  // namespace halvex
