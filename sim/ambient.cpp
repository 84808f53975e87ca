#include "sim/ambient.h"

#include <cmath>

namespace halvex {

namespace {

constexpr float kTurnUnit = 2.0f * kPi / 4096.0f;

struct WandererKind {
  float horizontal, yLow, yHigh, speedLow, speedHigh, scaleLow, scaleHigh, roamLimit;
};
constexpr WandererKind kShark = {2000, -600, -400, -12, -4, 1, 5, 3000};
constexpr WandererKind kRaven = {1200, 1500, 2500, -6, -3, 0.1f, 0.25f, 1500};

void InitKind(std::array<Wanderer, kWanderersPerKind>& creatures, const WandererKind& k,
              GameRandom& random) {
  for (Wanderer& w : creatures) {
    w = Wanderer{};
    w.position = Vec3(random.random(-k.horizontal, k.horizontal), random.random(k.yLow, k.yHigh),
                      random.random(-k.horizontal, k.horizontal));
    w.velocity = Vec3(0, 0, random.random(k.speedLow, k.speedHigh));
    w.scale = Vec3(random.random(k.scaleLow, k.scaleHigh), random.random(k.scaleLow, k.scaleHigh),
                   random.random(k.scaleLow, k.scaleHigh));
    w.turnDirection = random.random(-1, 1) > 0 ? 1 : -1;
    w.roamLimit = k.roamLimit;
  }
}

void MoveKind(std::array<Wanderer, kWanderersPerKind>& creatures, FrameContext& ctx) {
  float ts = ctx.timeScale;
  for (Wanderer& w : creatures) {
    if (!(w.viewOffset <= 0.6f) || !(ctx.random(0, 10) <= 9.5f)) continue;
    float angle = w.turnDirection * w.turnRate * kTurnUnit * ctx.random(1, 10) * ts;
    float c = std::cos(angle), s = std::sin(angle);
    w.velocity = Vec3(w.velocity.x * c + w.velocity.z * s, w.velocity.y,
                      w.velocity.z * c - w.velocity.x * s);
    w.yaw = std::remainder(w.yaw + angle, kTwoPi);
    Vec3 next = w.position + w.velocity * ts;
    if (std::fabs(next.x) < w.roamLimit && std::fabs(next.z) < w.roamLimit) w.position = next;
    if (++w.steps >= w.stepLimit) {
      w.turnDirection = ctx.random(-1, 1) > 0 ? 1 : -1;
      w.steps = 0;
    }
  }
}

// Moves value by speed x direction between -1 and 1, bouncing at the ends.
void Bounce(float& value, float& direction, float speed) {
  value += speed * direction;
  if (value > 1.0f) {
    value = 1.0f;
    direction = -1.0f;
  } else if (value < -1.0f) {
    value = -1.0f;
    direction = 1.0f;
  }
}

}  // namespace

void InitWanderers(MatchState& state, GameRandom& random) {
  InitKind(state.sharks, kShark, random);
  InitKind(state.ravens, kRaven, random);
}

void MoveWanderers(MatchState& state, FrameContext& ctx) {
  MoveKind(state.sharks, ctx);
  MoveKind(state.ravens, ctx);
}

void AdvanceAnimationClocks(AnimationClocks& c, float ts) {
  // Angles are kept within one turn so long matches keep their precision.
  c.skyAngle1 = std::fmod(c.skyAngle1 + kTwoPi / 16384.0f * ts, kTwoPi);
  c.skyAngle2 = std::fmod(c.skyAngle2 + kTwoPi / 8192.0f * ts, kTwoPi);
  c.waterAngle = std::fmod(c.waterAngle + kTwoPi / 128.0f * ts, kTwoPi);
  Bounce(c.wave, c.waveDirection, 0.2f * ts);
  c.oceanBlend += 0.002f * ts;
  if (c.oceanBlend > 1.0f) {
    c.oceanBlend = 0.0f;
    c.oceanKey = (c.oceanKey + 1) % 4;
  }
  Bounce(c.raven, c.ravenDirection, 0.2f * ts);
  float a = -kTwoPi / 8192.0f * ts;
  float ca = std::cos(a), sa = std::sin(a);
  Vec3 s = c.sun;
  c.sun = Vec3(s.x * ca - s.y * sa, s.y * ca + s.z * sa, s.z * ca - s.y * sa);
}

void MorphVertices(float* working, const float* a, const float* b, float wa, float wb,
                   std::uint32_t vertexCount) {
  for (std::uint32_t v = 0; v < vertexCount; ++v) {
    std::size_t base = static_cast<std::size_t>(v) * 8;
    for (int k = 0; k < 6; ++k) working[base + k] = wa * a[base + k] + wb * b[base + k];
  }
}

void MorphMeshes(const AnimationClocks& c, const MatchWorld& world) {
  if (world.body.working && world.bodyKeys[0] && world.bodyKeys[1] && world.bodyKeys[2]) {
    float w = std::fabs(c.wave);
    const float* pose = c.wave >= 0 ? world.bodyKeys[1] : world.bodyKeys[2];
    MorphVertices(world.body.working, world.bodyKeys[0], pose, 1 - w, w, world.body.vertexCount);
  }
  const float* const* ok = world.oceanKeys;
  if (world.ocean.working && ok[0] && ok[1] && ok[2] && ok[3]) {
    MorphVertices(world.ocean.working, ok[c.oceanKey], ok[(c.oceanKey + 1) % 4], 1 - c.oceanBlend,
                  c.oceanBlend, world.ocean.vertexCount);
  }
  // Shark and raven weights leave [0, 1] while w or v is negative: an
  // extrapolated pose, as intended.
  if (world.shark.working && world.sharkKeys[0] && world.sharkKeys[1]) {
    MorphVertices(world.shark.working, world.sharkKeys[0], world.sharkKeys[1], 1 - c.wave, c.wave,
                  world.shark.vertexCount);
  }
  if (world.raven.working && world.ravenKeys[0] && world.ravenKeys[1]) {
    MorphVertices(world.raven.working, world.ravenKeys[0], world.ravenKeys[1], 1 - c.raven,
                  c.raven, world.raven.vertexCount);
  }
}

}  // namespace halvex
