// Figures for the match simulation: microseconds per frame with 32 bots on
// the synthetic area, and collide-and-slide queries per second, the
// reference loop against the grid-filtered fast path on the same queries.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "sim/headless.h"
#include "world/collision/collision.h"
#include "world/collision/synthetic_area.h"

namespace halvex {
namespace {

void BM_FrameStep32Bots(benchmark::State& st) {
  Settings settings;
  settings.botCount = 32;
  HeadlessMatch match(settings, 1234);
  InputSnapshot none;
  for (int f = 0; f < 500; ++f) match.Step(16, none);  // into the thick of it
  for (auto _ : st) match.Step(16, none);
  st.SetItemsProcessed(st.iterations());  // frames; the time column is per frame
}
BENCHMARK(BM_FrameStep32Bots)->Unit(benchmark::kMicrosecond);

struct Query {
  int tile;
  Vec3 pos, move, radii;
};

struct CollisionData {
  std::array<CollisionMeshData, kSyntheticTileCount> tiles;
  std::vector<Query> queries;
  CollisionData() {
    BuildSyntheticArea(tiles);
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    for (int i = 0; i < 4096; ++i) {
      int t = i % kSyntheticTileCount;
      float x0 = (t % 4) * 250.0f - 500.0f, z0 = 250.0f - (t / 4) * 250.0f;
      // Bodies near the ground moving like walkers and fallers.
      Vec3 pos(x0 + 250 * u(rng), 14.5f + 40 * u(rng), z0 + 250 * u(rng));
      Vec3 move = Vec3Normalize(Vec3(u(rng) - 0.5f, u(rng) - 0.6f, u(rng) - 0.5f)) * 6.0f * u(rng);
      queries.push_back({t, pos, move, Vec3(i % 3 == 2 ? 10.0f : 14.0f)});
    }
  }
};

const CollisionData& Data() {
  static const auto* data = new CollisionData();
  return *data;
}

template <bool kFast>
void BM_CollideAndSlide(benchmark::State& st) {
  const CollisionData& d = Data();
  std::size_t i = 0;
  for (auto _ : st) {
    const Query& q = d.queries[i++ % d.queries.size()];
    Vec3 r = kFast ? CollideAndSlide(q.pos, q.move, d.tiles[q.tile].View(), q.radii)
                   : CollideAndSlideReference(q.pos, q.move, d.tiles[q.tile].ReferenceView(),
                                              q.radii);
    benchmark::DoNotOptimize(r);
  }
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_CollideAndSlide<false>)->Name("BM_CollideAndSlide/reference");
BENCHMARK(BM_CollideAndSlide<true>)->Name("BM_CollideAndSlide/fast");

}  // namespace
}  // namespace halvex

BENCHMARK_MAIN();
