#include "sim/headless.h"

#include <cstring>

#include "sim/match_setup.h"

namespace halvex {

void CountingEvents::LinePushed(std::string_view line) {
  ++linesPushed;
  recentLines.emplace_back(line);
  if (recentLines.size() > 12) recentLines.pop_front();
}

AreaOptions SyntheticAreaOptions() {
  AreaOptions a;
  a.spawnMinX = -300;
  a.spawnMaxX = 300;
  a.spawnMinY = 15;
  a.spawnMaxY = 40;
  a.spawnMinZ = -300;
  a.spawnMaxZ = 300;
  a.botLimitX = 480;
  a.botLimitZ = 480;
  a.botCeiling = 150;
  a.playerLimitX = 490;
  a.playerLimitZ = 490;
  a.playerFloor = 15;
  a.playerCeiling = 300;
  return a;
}

PickupLists SyntheticPickups() {
  PickupLists p;
  const float power[][4] = {{0, 15, 60, 0}, {-200, 15, 200, 1}, {200, 15, -200, 2},
                            {-260, 15, -150, 0}, {150, 15, 260, 1}};
  const float armor[][3] = {{0, 15, -80}, {300, 15, 300}, {-300, 15, -300}};
  p.powerPickups.count = 5;
  for (int i = 0; i < 5; ++i) {
    ItemPickup& it = p.powerPickups.items[i];
    it.x = power[i][0];
    it.y = power[i][1];
    it.z = power[i][2];
    it.powerLevel = static_cast<int>(power[i][3]);
  }
  p.armorPickups.count = 3;
  for (int i = 0; i < 3; ++i) {
    ItemPickup& it = p.armorPickups.items[i];
    it.x = armor[i][0];
    it.y = armor[i][1];
    it.z = armor[i][2];
  }
  return p;
}

MessageTables SyntheticMessageTables() {
  static const char* const kLines[4][3] = {
      {"%s: Welcome to my arena, %s.", "%s: Fresh meat. Hello, %s.", "%s: %s, stay close."},
      {"%s: I see you, %s.", "%s: Run while you can, %s!", "%s: %s, you're next."},
      {"%s: Too easy, %s.", "%s: Stay down, %s.", "%s: That one's mine, %s."},
      {"%s: Lucky shot, %s.", "%s: I'll be back for you, %s.", "%s: Not again, %s!"},
  };
  MessageTables t{};
  for (int k = 0; k < 4; ++k) {
    t[k].count = 3;
    for (int i = 0; i < 3; ++i)
      std::strncpy(t[k].lines[i].data(), kLines[k][i], kMessageLineSize - 1);
  }
  return t;
}

HeadlessMatch::HeadlessMatch(const Settings& settings, std::uint32_t seed)
    : HeadlessMatch(settings, seed, SyntheticAreaOptions(), SyntheticPickups(),
                    SyntheticMessageTables()) {}

HeadlessMatch::HeadlessMatch(const Settings& settings, std::uint32_t seed,
                             const AreaOptions& area, const PickupLists& pickups,
                             const MessageTables& tables)
    : state_(std::make_unique<MatchState>()),
      random_(seed),
      clock_(1000),
      timer_(clock_),
      matchClock_(clock_) {
  BuildWorld();
  SetupMatch(*state_, settings, area, pickups, tables, random_,
             static_cast<std::uint32_t>(clock_.NowMs()));
  matchClock_.Start();
  timer_(FrameTimer::kReset);
}

void HeadlessMatch::BuildWorld() {
  tiles_ = std::make_unique<std::array<CollisionMeshData, kSyntheticTileCount>>();
  BuildSyntheticArea(*tiles_);
  for (int t = 0; t < kSyntheticTileCount; ++t) world_.tiles[t] = (*tiles_)[t].View();
}

bool HeadlessMatch::Step(std::uint32_t ms, const InputSnapshot& input, bool* escaped) {
  clock_.Advance(ms);
  if (escaped) *escaped = false;
  if (!matchClock_.Step()) return false;
  FrameContext ctx(random_, events_, world_, timer_);
  ctx.frameDelta = matchClock_.frameDelta();
  ctx.timeScale = matchClock_.timeScale();
  ctx.frameRate = matchClock_.frameRate();
  ctx.clockMs = static_cast<std::uint32_t>(clock_.NowMs());
  FrameResult r = RunFrame(*state_, input, ctx);
  TickHudTimers(*state_, ctx.timeScale);
  ++frames_;
  if (escaped) *escaped = r == FrameResult::kEscape;
  return true;
}

}  // namespace halvex
