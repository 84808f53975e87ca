// A whole match without a window: the state, a manual clock stepped by a
// fixed or recorded frame time, a seeded generator, the world's collision
// tiles, and an event sink that counts what would have been heard and shown.
// The headless runner, the long-run tests and the benchmarks drive it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "sim/events.h"
#include "sim/frame.h"
#include "sim/match.h"
#include "sim/match_state.h"
#include "world/collision/synthetic_area.h"

namespace halvex {

// Counts events; keeps the most recent lines pushed.
class CountingEvents : public MatchEvents {
 public:
  static constexpr int kSoundKinds = static_cast<int>(SoundEffect::kMessage) + 1;
  std::array<int, kSoundKinds> sounds{};
  int linesPushed = 0;
  int shotsSent = 0;
  int screenshots = 0;
  int bloodEmissions = 0;
  int framesRendered = 0;
  std::deque<std::string> recentLines;

  void PlaySound(SoundEffect s) override { ++sounds[static_cast<int>(s)]; }
  void LinePushed(std::string_view line) override;
  void ShotFired(const ShotEvent&) override { ++shotsSent; }
  void ScreenshotRequested() override { ++screenshots; }
  void Bleed(const BloodEmission&) override { ++bloodEmissions; }
  void RenderFrame() override { ++framesRendered; }
  int Sound(SoundEffect s) const { return sounds[static_cast<int>(s)]; }
};

// The synthetic area's options, pickups and message lines.
AreaOptions SyntheticAreaOptions();
PickupLists SyntheticPickups();
MessageTables SyntheticMessageTables();

class HeadlessMatch {
 public:
  // A match on the synthetic area with settings.botCount bots.
  HeadlessMatch(const Settings& settings, std::uint32_t seed);
  // A match with the given area data; the collision tiles are still the
  // synthetic ones unless tiles are set with SetTile.
  HeadlessMatch(const Settings& settings, std::uint32_t seed, const AreaOptions& area,
                const PickupLists& pickups, const MessageTables& tables);

  // Replaces the collision mesh of one tile (the data must outlive the match).
  void SetTile(int tile, const CollisionMeshView& view) { world_.tiles[tile] = view; }

  // Advances the clock by ms and runs the time step: a frame is simulated
  // unless the step is too long (it is then absorbed). Returns whether a
  // frame ran; *escaped is set when the frame ended the match.
  bool Step(std::uint32_t ms, const InputSnapshot& input, bool* escaped = nullptr);

  MatchState& State() { return *state_; }
  const MatchState& State() const { return *state_; }
  CountingEvents& Events() { return events_; }
  GameRandom& Random() { return random_; }
  const MatchWorld& World() const { return world_; }
  std::uint64_t SimulatedFrames() const { return frames_; }
  float MatchSeconds() const { return matchClock_.frameTime(); }

 private:
  void BuildWorld();

  std::unique_ptr<MatchState> state_;
  GameRandom random_;
  ManualClock clock_;
  FrameTimer timer_;
  MatchClock matchClock_;
  CountingEvents events_;
  std::unique_ptr<std::array<CollisionMeshData, kSyntheticTileCount>> tiles_;
  MatchWorld world_;
  std::uint64_t frames_ = 0;
};

}  // namespace halvex
