// A match frame takes nothing from the heap: the whole game on the recording
// device with the generated content, 32 bots, every heap allocation counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "game/game.h"
#include "tests/game/generated_content.h"

namespace {
std::atomic<long long> allocations{0};
}

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace halvex::game {
namespace {

// Heap allocations of the match of a headless run of the given length.
// Loading is left out: the loading screen is drawn as often as the clock
// allows, so what it allocates varies from run to run.
long long AllocationsOfARun(const Settings& chosen, int frames) {
  Settings settings = chosen;
  ShellFlags flags;
  GameAudio audio;
  RunOptions o;
  o.headless = true;
  o.nonInteractive = true;
  o.seed = 5;
  o.fixedStepMs = 25.0;
  o.frames = frames;
  o.recordDrawCalls = false;  // as the game runs headless: no call log kept
  o.scriptText = "5 down 0x0F\n";  // Tab held: the scoreboard is drawn every frame
  Game game(settings, flags, audio, o);
  EXPECT_EQ(game.CreateDevices(nullptr), gfx::S_OK);
  const long long before = allocations.load();
  EXPECT_EQ(game.RunMatch(), 0);
  const long long made = allocations.load() - before;
  EXPECT_EQ(game.framesRun(), frames);
  game.ReleaseDevices(true);
  return made;
}

TEST(FrameAllocations, ThreeHundredMatchFramesWith32BotsAllocateNothing) {
  Settings settings;
  if (!UseGeneratedContent(settings)) GTEST_SKIP() << "content pack not generated";
  settings.botCount = 32;
  settings.fullscreen = false;
  // The same seed and steps: the two runs differ only by 300 frames after
  // the first 100 (bots fight, bleed, frag and taunt by then).
  AllocationsOfARun(settings, 10);  // one-time set-up (fonts, caches) out of the way
  const long long shorter = AllocationsOfARun(settings, 100);
  const long long longer = AllocationsOfARun(settings, 400);
  EXPECT_EQ(longer - shorter, 0) << "allocations in frames 101 to 400";
}

}  // namespace
}  // namespace halvex::game
