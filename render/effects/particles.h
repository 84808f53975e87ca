// Blood particles: main drops that fly under gravity and burst into sparks
// when they reach the ground, pooled so that dead records are reused before
// new memory is taken. The update is pure arithmetic; drawing puts one
// billboard quad per live particle.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "d3dutil/math/math.h"
#include "platform/gfx/device.h"
#include "sim/random.h"

namespace halvex::render {

struct Camera;

inline constexpr int kMaxParticles = 2048;
inline constexpr int kEmitFountain = 1;
inline constexpr int kEmitSpray = 2;

struct Particle {
  bool spark = false;
  Vec3 position{0.0f}, velocity{0.0f};
  Vec3 initialPosition{0.0f}, initialVelocity{0.0f};
  float created = 0.0f;
  Vec4 colour{1.0f}, fadeColour{0.0f};
  float fade = 1.0f;
  int next = -1;
};

struct EmitParams {
  int count = 0;
  Vec4 colour{0.6f, 0.0f, 0.0f, 1.0f};
  Vec4 fadeColour{0.2f, 0.0f, 0.0f, 1.0f};
  Vec3 position{0.0f};
  float spread = 30.0f;
  int type = kEmitSpray;
  float directionX = 0.0f, directionZ = 0.0f;
};

class ParticleSystem {
 public:
  ParticleSystem(int flushSize, int discardSize, float radius);

  // Advances every particle by dt seconds on this system's clock and emits
  // up to params.count new ones (never beyond the maximum).
  void Update(float dt, const EmitParams& params, GameRandom& random);
  // One billboard quad per live particle, drawn together (see QuadBatch).
  void Draw(gfx::Device* d, const Camera& cam, const Matrix& billboard) const;

  int liveCount() const { return liveCount_; }
  int allocated() const { return static_cast<int>(pool_.size()); }
  float radius() const { return radius_; }
  const int flushSize, discardSize;  // discardSize caps the live count
  Vec3 offset{0.0f};
  // Visits each live particle (tests and the screen-space drawer).
  template <class F>
  void ForEach(F&& f) const {
    for (int i = live_; i != -1; i = pool_[i].next) f(pool_[i]);
  }

 private:
  int Allocate();
  void SpawnSparks(const Particle& p, GameRandom& random);

  float radius_;
  float clock_ = 0.0f;
  std::vector<Particle> pool_;
  std::vector<Particle> dying_;
  int live_ = -1, free_ = -1;
  int liveCount_ = 0;
};

}  // namespace halvex::render
