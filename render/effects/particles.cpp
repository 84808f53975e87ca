#include "render/effects/particles.h"

#include <algorithm>
#include <cmath>

#include "render/scene/draw_helpers.h"

namespace halvex::render {

namespace {
constexpr float kTwoPi = 6.28318530718f;
constexpr float kMainGravity = -9.8f, kSparkGravity = -5.0f;
constexpr float kMainFade = 0.25f, kSparkFade = 2.25f;
}  // namespace

ParticleSystem::ParticleSystem(int flush, int discard, float radius)
    : flushSize(flush), discardSize(std::min(discard, kMaxParticles)), radius_(radius) {
  pool_.reserve(kMaxParticles);
}

int ParticleSystem::Allocate() {
  int i;
  if (free_ != -1) {
    i = free_;
    free_ = pool_[i].next;
  } else {
    if (static_cast<int>(pool_.size()) >= discardSize) return -1;
    pool_.emplace_back();
    i = static_cast<int>(pool_.size()) - 1;
  }
  pool_[i] = Particle{};
  pool_[i].next = live_;
  live_ = i;
  ++liveCount_;
  return i;
}

void ParticleSystem::SpawnSparks(const Particle& dead, GameRandom& random) {
  const Vec3 ground(dead.position.x, radius_, dead.position.z);
  const Vec4 colour = dead.colour + (dead.fadeColour - dead.colour) * (1.0f - dead.fade);
  for (int k = 0; k < 4; ++k) {
    int i = Allocate();
    if (i < 0) return;
    Particle& s = pool_[i];
    float angle = random.random(0.0f, kTwoPi);
    s.spark = true;
    s.initialPosition = s.position = ground;
    s.initialVelocity = Vec3(std::cos(angle) + 0.25f * dead.velocity.x, random.random(0.0f, 1.5f),
                             std::sin(angle) + 0.25f * dead.velocity.z);
    s.velocity = s.initialVelocity;
    s.created = clock_;
    s.colour = colour;
    s.fadeColour = Vec4(0.0f, 0.0f, 0.0f, 1.0f);
    s.fade = 1.0f;
  }
}

void ParticleSystem::Update(float dt, const EmitParams& e, GameRandom& random) {
  clock_ += dt;
  // Walk the live list, unlinking the dead into the free list.
  std::array<Particle, 8> burst{};
  int bursts = 0;
  int* link = &live_;
  // Beyond the first eight, the drops that burst this update wait here; the
  // list keeps its room between updates, so steady play allocates nothing.
  std::vector<Particle>& dying = dying_;
  dying.clear();
  while (*link != -1) {
    Particle& p = pool_[*link];
    float t = clock_ - p.created;
    float g = p.spark ? kSparkGravity : kMainGravity;
    p.position = p.initialPosition + t * p.initialVelocity;
    p.position.y += 0.5f * g * t * t;
    p.velocity.y = p.initialVelocity.y + g * t;
    p.fade = std::max(0.0f, p.fade - (p.spark ? kSparkFade : kMainFade) * dt);
    bool dead = p.position.y < radius_ || (p.spark && p.fade <= 0.0f);
    if (!dead) {
      link = &p.next;
      continue;
    }
    int index = *link;
    *link = p.next;
    if (!p.spark) {
      if (bursts < static_cast<int>(burst.size())) {
        burst[bursts++] = p;
      } else {
        dying.push_back(p);
      }
    }
    pool_[index].next = free_;
    free_ = index;
    --liveCount_;
  }
  for (int b = 0; b < bursts; ++b) SpawnSparks(burst[b], random);
  for (const Particle& p : dying) SpawnSparks(p, random);

  for (int n = 0; n < e.count && liveCount_ < discardSize; ++n) {
    int i = Allocate();
    if (i < 0) break;
    Particle& p = pool_[i];
    p.initialPosition = p.position = e.position + Vec3(0.0f, radius_, 0.0f);
    if (e.type == kEmitFountain) {
      float a = random.random(0.0f, kTwoPi);
      p.initialVelocity = Vec3(std::cos(a) * 2.5f, random.random(0.0f, e.spread), std::sin(a) * 2.5f);
    } else {
      float side = random.random(-1.0f, 1.0f);
      p.initialVelocity = Vec3((e.directionX + side * e.directionZ) * random.random(0.0f, e.spread),
                               random.random(0.0f, e.spread * 0.5f),
                               (e.directionZ - side * e.directionX) * random.random(0.0f, e.spread));
    }
    p.velocity = p.initialVelocity;
    p.created = clock_;
    p.colour = e.colour;
    p.fadeColour = e.fadeColour;
    p.fade = 1.0f;
  }
}

void ParticleSystem::Draw(gfx::Device* d, const Camera& cam, const Matrix& billboard) const {
  if (liveCount_ == 0) return;
  QuadBatch batch(d, cam, billboard);
  ForEach([&](const Particle& p) { batch.Add(p.position + offset); });
}

}  // namespace halvex::render
