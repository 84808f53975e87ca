// The grid-filtered query must give the reference loop's answers bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "world/collision/collision.h"
#include "world/collision/ray_cast.h"
#include "world/collision/synthetic_area.h"

namespace halvex {
namespace {

bool SameBits(const Vec3& a, const Vec3& b) { return std::memcmp(&a, &b, sizeof(Vec3)) == 0; }

class FastPath : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tiles_ = new std::array<CollisionMeshData, kSyntheticTileCount>();
    BuildSyntheticArea(*tiles_);
  }
  static void TearDownTestSuite() { delete tiles_; }
  static std::array<CollisionMeshData, kSyntheticTileCount>* tiles_;
};
std::array<CollisionMeshData, kSyntheticTileCount>* FastPath::tiles_ = nullptr;

TEST_F(FastPath, AgreesWithReferenceOnRandomQueries) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const float radii[3] = {14.0f, 10.0f, 2.75f};
  int stuck = 0, slid = 0, mismatches = 0;
  constexpr int kPerTile = 2000;
  for (int t = 0; t < kSyntheticTileCount; ++t) {
    const CollisionMeshData& mesh = (*tiles_)[t];
    float x0 = (t % 4) * 250.0f - 500.0f, z0 = 250.0f - (t / 4) * 250.0f;
    for (int i = 0; i < kPerTile; ++i) {
      // Positions over (and a little beyond) the tile, near the ground and
      // obstacles where contacts happen; moves of every length and direction.
      Vec3 pos(x0 - 20 + 290 * unit(rng), 70 * unit(rng), z0 - 20 + 290 * unit(rng));
      float len = i % 4 == 0 ? 0.01f * unit(rng) : 40.0f * unit(rng) * unit(rng);
      Vec3 dir(unit(rng) - 0.5f, unit(rng) - 0.5f, unit(rng) - 0.5f);
      Vec3 move = Vec3Normalize(dir) * len;
      Vec3 r(radii[i % 3]);
      Vec3 fast = CollideAndSlide(pos, move, mesh.View(), r);
      Vec3 ref = CollideAndSlideReference(pos, move, mesh.ReferenceView(), r);
      if (!SameBits(fast, ref)) ++mismatches;
      if (IsStuckAnswer(ref, move)) ++stuck;
      else if (!SameBits(ref, move)) ++slid;
    }
  }
  EXPECT_EQ(mismatches, 0);
  // The sample must exercise the interesting answers, not just free moves.
  EXPECT_GT(stuck, 100);
  EXPECT_GT(slid, 1000);
}

TEST_F(FastPath, RayCastAgreesWithReference) {
  std::mt19937 rng(777);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  int hits = 0;
  for (int i = 0; i < 20000; ++i) {
    const CollisionMeshData& mesh = (*tiles_)[i % kSyntheticTileCount];
    Vec3 o = WorldToModel(Vec3(1000 * unit(rng) - 500, 80 * unit(rng) - 5, 1000 * unit(rng) - 500));
    Vec3 d = WorldToModel(Vec3(unit(rng) - 0.5f, unit(rng) - 0.7f, unit(rng) - 0.5f) * 80.0f);
    float fast = RayCastMesh(mesh.View(), o, d, 5.0f);
    float ref = RayCastMesh(mesh.ReferenceView(), o, d, 5.0f);
    EXPECT_EQ(std::memcmp(&fast, &ref, sizeof(float)), 0);
    if (ref >= 0) ++hits;
  }
  EXPECT_GT(hits, 500);
}

}  // namespace
}  // namespace halvex
