// A bare match for unit tests: synthetic area values, no bots unless a test
// adds them, collision tiles left empty unless a test sets one, and an event
// sink that records everything.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/clock.h"
#include "sim/events.h"
#include "sim/headless.h"
#include "sim/match.h"
#include "sim/match_state.h"
#include "sim/random.h"

namespace halvex {

class RecordingEvents : public MatchEvents {
 public:
  std::vector<SoundEffect> sounds;
  std::vector<std::string> lines;
  std::vector<ShotEvent> shots;
  std::vector<BloodEmission> blood;
  int screenshots = 0;

  void PlaySound(SoundEffect s) override { sounds.push_back(s); }
  void LinePushed(std::string_view l) override { lines.emplace_back(l); }
  void ShotFired(const ShotEvent& s) override { shots.push_back(s); }
  void Bleed(const BloodEmission& b) override { blood.push_back(b); }
  void ScreenshotRequested() override { ++screenshots; }
  int Count(SoundEffect s) const {
    int n = 0;
    for (SoundEffect x : sounds) n += x == s;
    return n;
  }
};

class SimTest : public ::testing::Test {
 protected:
  SimTest() : state_(std::make_unique<MatchState>()), timer_(clock_) {
    state().area = SyntheticAreaOptions();
    state().messageTables = SyntheticMessageTables();
    state().flags.spectatorMode = 0;
  }

  MatchState& state() { return *state_; }
  PlayerState& player() { return state_->player; }
  PlayerView& view() { return state_->player.view; }
  Combatant& bot(int i) { return state_->combatants[i]; }

  // A context for one frame of timeScale ts.
  FrameContext Ctx(float ts = 1.0f) {
    FrameContext c(rng_, events_, world_, timer_);
    c.timeScale = ts;
    c.frameDelta = ts / 40.0f;
    c.frameRate = 40.0f / ts;
    return c;
  }

  // Puts n bots at the given spots (tile indexes filled in), full power.
  void AddBots(std::initializer_list<Vec3> positions);

  std::unique_ptr<MatchState> state_;
  GameRandom rng_{1};
  ManualClock clock_{1000};
  FrameTimer timer_;
  RecordingEvents events_;
  MatchWorld world_;
};

}  // namespace halvex
