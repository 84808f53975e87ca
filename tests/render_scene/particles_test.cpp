// Blood particles: flight under gravity, sparks where drops land, pooling.
#include <gtest/gtest.h>

#include "render/effects/particles.h"

namespace halvex::render {
namespace {

EmitParams Burst(int count) {
  EmitParams e;
  e.count = count;
  e.position = Vec3(10.0f, 20.0f, -5.0f);
  e.spread = 30.0f;
  e.type = kEmitSpray;
  e.directionX = 1.0f;
  return e;
}

TEST(ParticleSystem, DropsFallLandAndBurstIntoFourSparksEach) {
  ParticleSystem p(512, 2048, 0.03f);
  GameRandom r(7);
  p.Update(0.0f, Burst(3), r);
  ASSERT_EQ(p.liveCount(), 3);
  p.ForEach([](const Particle& q) {
    EXPECT_FALSE(q.spark);
    EXPECT_FLOAT_EQ(q.position.y, 20.03f) << "emitted at the emitter raised by the radius";
  });
  // Long enough for every drop to reach the ground, too short for sparks to fade.
  for (int i = 0; i < 40 && p.liveCount() == 3; ++i) p.Update(0.1f, Burst(0), r);
  int sparks = 0, drops = 0;
  p.ForEach([&](const Particle& q) { q.spark ? ++sparks : ++drops; });
  EXPECT_EQ(drops + sparks / 4, 3);
  EXPECT_EQ(sparks % 4, 0);
  EXPECT_GT(sparks, 0);
  p.ForEach([&](const Particle& q) {
    if (q.spark) {
      EXPECT_NEAR(q.initialPosition.y, 0.03f, 1e-6f) << "sparks start on the ground";
    }
  });
}

TEST(ParticleSystem, SparksFadeOutAndRecordsAreReused) {
  ParticleSystem p(512, 2048, 0.03f);
  GameRandom r(3);
  p.Update(0.0f, Burst(10), r);
  for (int i = 0; i < 200 && p.liveCount() > 0; ++i) p.Update(0.05f, Burst(0), r);
  EXPECT_EQ(p.liveCount(), 0) << "drops land, sparks fade to nothing";
  const int pool = p.allocated();
  EXPECT_GE(pool, 10);
  p.Update(0.0f, Burst(10), r);
  EXPECT_EQ(p.liveCount(), 10);
  EXPECT_EQ(p.allocated(), pool) << "dead records come back from the free list first";
}

TEST(ParticleSystem, NeverHoldsMoreThanItsDiscardSize) {
  ParticleSystem p(16, 64, 0.03f);
  GameRandom r(11);
  for (int i = 0; i < 20; ++i) p.Update(0.01f, Burst(50), r);
  EXPECT_LE(p.liveCount(), 64);
  EXPECT_LE(p.allocated(), 64);
  ParticleSystem big(512, 100000, 0.03f);
  EXPECT_EQ(big.discardSize, kMaxParticles);
}

TEST(ParticleSystem, FountainThrowsUpwardWithinTheSpread) {
  ParticleSystem p(512, 2048, 0.03f);
  GameRandom r(5);
  EmitParams e = Burst(50);
  e.type = kEmitFountain;
  e.spread = 22.0f;
  p.Update(0.0f, e, r);
  p.ForEach([](const Particle& q) {
    EXPECT_GE(q.initialVelocity.y, 0.0f);
    EXPECT_LE(q.initialVelocity.y, 22.0f);
    EXPECT_NEAR(std::hypot(q.initialVelocity.x, q.initialVelocity.z), 2.5f, 1e-4f);
  });
}

}  // namespace
}  // namespace halvex::render
