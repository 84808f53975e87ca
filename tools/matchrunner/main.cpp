// halvex_matchrunner: plays a single-player match with bots and no window,
// for a span of simulated time at a fixed or recorded frame time, and prints
// the scoreboard and summary figures. See --help.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "content/data_files.h"
#include "platform/paths/paths.h"
#include "world/collision/collision_grid.h"
#include "world/tiles/tiles.h"
#include "sim/headless.h"
#include "sim/invariants.h"
#include "sim/match_summary.h"
#include "sim/match_setup.h"
#include "tools/matchrunner/script.h"
#include "world/collision/collision.h"

namespace halvex {
namespace {

const char kUsage[] =
    "usage: halvex_matchrunner [options]\n"
    "  --bots N           bots, 0..32 (default 8)\n"
    "  --seconds S        simulated match time (default 60)\n"
    "  --step-ms MS       fixed frame time in milliseconds (default 16)\n"
    "  --frame-times FILE recorded frame times (ms, one a line), used in turn\n"
    "  --seed N           random seed (default 1)\n"
    "  --script FILE      scripted player input (frame, event)\n"
    "  --content DIR      content pack: the area's collision tiles, options and\n"
    "                     pickups, and system/messages.txt (default: synthetic area)\n"
    "  --area NAME        area folder under DIR/worlds (default: first of worlds.txt)\n"
    "  --name TEXT        player name\n"
    "  --no-ai            bots stand still (Enemy AI off)\n"
    "  --no-attack        bots never fire (Enemy Attack off)\n"
    "  --check            check the match invariants after every frame\n"
    "  --verify-collision N  compare fast and reference collision on N random\n"
    "                     queries per tile (of the pack's area with --content), then exit\n"
    "  --quiet            only the summary\n";

struct Options {
  int bots = 8;
  double seconds = 60;
  int stepMs = 16;
  std::string frameTimes, script, content, area, name;
  std::uint32_t seed = 1;
  bool noAi = false, noAttack = false, check = false, quiet = false;
  long long verifyCollision = 0;
};

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *text = ss.str();
  return true;
}

bool ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs %s\n", a.c_str(), what);
        return nullptr;
      }
      return argv[++i];
    };
    auto number = [&](long long lo, long long hi, long long* out) {
      const char* v = value("a number");
      if (!v) return false;
      char* end = nullptr;
      long long n = std::strtoll(v, &end, 10);
      if (*v == '\0' || *end != '\0' || n < lo || n > hi) {
        std::fprintf(stderr, "%s: %s is not a number in %lld..%lld\n", a.c_str(), v, lo, hi);
        return false;
      }
      *out = n;
      return true;
    };
    long long n = 0;
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "--bots") {
      if (!number(0, kMaxBots, &n)) return false;
      o->bots = static_cast<int>(n);
    } else if (a == "--seconds") {
      if (!number(0, 86400, &n)) return false;
      o->seconds = static_cast<double>(n);
    } else if (a == "--step-ms") {
      if (!number(1, 1000, &n)) return false;
      o->stepMs = static_cast<int>(n);
    } else if (a == "--seed") {
      if (!number(0, 4294967295ll, &n)) return false;
      o->seed = static_cast<std::uint32_t>(n);
    } else if (a == "--verify-collision") {
      if (!number(1, 100000000, &n)) return false;
      o->verifyCollision = n;
    } else if (a == "--frame-times" || a == "--script" || a == "--content" || a == "--area" ||
               a == "--name") {
      if (!(v = value("a value"))) return false;
      std::string* dst = a == "--frame-times" ? &o->frameTimes
                         : a == "--script"    ? &o->script
                         : a == "--content"   ? &o->content
                         : a == "--area"      ? &o->area
                                              : &o->name;
      *dst = v;
    } else if (a == "--no-ai") {
      o->noAi = true;
    } else if (a == "--no-attack") {
      o->noAttack = true;
    } else if (a == "--check") {
      o->check = true;
    } else if (a == "--quiet") {
      o->quiet = true;
    } else {
      std::fprintf(stderr, "unknown option %s\n%s", a.c_str(), kUsage);
      return false;
    }
  }
  return true;
}

// The collision tiles of a content pack's area, with their grids.
struct ContentTiles {
  WorldTiles tiles;
  std::vector<std::unique_ptr<CollisionGrid>> grids;
  std::array<CollisionMeshView, kSyntheticTileCount> views{};
  std::array<CollisionMeshView, kSyntheticTileCount> referenceViews{};
  long long triangles = 0;

  void Load(const std::string& contentDir, const std::string& areaName) {
    paths::SetContentDirectory(contentDir);
    BuildCollisionMap(nullptr, AreaPath(areaName), tiles);
    for (int t = 0; t < kSyntheticTileCount; ++t) {
      referenceViews[t] = CollisionViewOf(tiles.collisionTiles[t].mesh.get());
      grids.push_back(std::make_unique<CollisionGrid>(referenceViews[t]));
      views[t] = referenceViews[t];
      views[t].grid = grids.back().get();
      triangles += referenceViews[t].TriangleCount();
    }
  }
};

int VerifyCollision(long long perTile, std::uint32_t seed, const ContentTiles* content) {
  std::array<CollisionMeshData, kSyntheticTileCount> synthetic;
  std::array<CollisionMeshView, kSyntheticTileCount> views, referenceViews;
  if (content) {
    views = content->views;
    referenceViews = content->referenceViews;
    std::printf("area tiles: %lld triangles\n", content->triangles);
  } else {
    BuildSyntheticArea(synthetic);
    for (int t = 0; t < kSyntheticTileCount; ++t) {
      views[t] = synthetic[t].View();
      referenceViews[t] = synthetic[t].ReferenceView();
    }
  }
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  long long mismatches = 0, total = 0;
  double fastS = 0, refS = 0;
  for (int t = 0; t < kSyntheticTileCount; ++t) {
    float x0 = (t % 4) * 250.0f - 500.0f, z0 = 250.0f - (t / 4) * 250.0f;
    for (long long i = 0; i < perTile; ++i) {
      Vec3 pos(x0 - 20 + 290 * u(rng), 70 * u(rng), z0 - 20 + 290 * u(rng));
      Vec3 move = Vec3Normalize(Vec3(u(rng) - 0.5f, u(rng) - 0.5f, u(rng) - 0.5f)) * 40.0f *
                  u(rng) * u(rng);
      Vec3 r(i % 3 == 0 ? 14.0f : (i % 3 == 1 ? 10.0f : 2.75f));
      auto t0 = std::chrono::steady_clock::now();
      Vec3 a = CollideAndSlide(pos, move, views[t], r);
      auto t1 = std::chrono::steady_clock::now();
      Vec3 b = CollideAndSlideReference(pos, move, referenceViews[t], r);
      auto t2 = std::chrono::steady_clock::now();
      fastS += std::chrono::duration<double>(t1 - t0).count();
      refS += std::chrono::duration<double>(t2 - t1).count();
      if (std::memcmp(&a, &b, sizeof a) != 0) ++mismatches;
      ++total;
    }
  }
  std::printf("collision queries: %lld, mismatches: %lld\n", total, mismatches);
  std::printf("reference: %.0f queries/s, fast: %.0f queries/s, speed-up %.1fx\n", total / refS,
              total / fastS, refS / fastS);
  return mismatches == 0 ? 0 : 1;
}

bool LoadContent(const Options& o, AreaOptions* area, PickupLists* pickups, MessageTables* tables,
                 std::string* areaName) {
  std::string text;
  *areaName = o.area;
  if (areaName->empty()) {
    if (!ReadFile(o.content + "/system/worlds.txt", &text)) {
      std::fprintf(stderr, "cannot read %s/system/worlds.txt\n", o.content.c_str());
      return false;
    }
    WorldList worlds = ParseWorldList(text, "worlds.txt");
    if (worlds.areaNames.empty()) {
      std::fprintf(stderr, "no battle areas in worlds.txt\n");
      return false;
    }
    *areaName = worlds.areaNames[0];
  }
  std::string dir = o.content + "/worlds/" + *areaName;
  if (!ReadFile(dir + "/options.txt", &text)) {
    std::fprintf(stderr, "cannot read %s/options.txt\n", dir.c_str());
    return false;
  }
  *area = ParseAreaOptions(text, "options.txt");
  text.clear();
  ReadFile(dir + "/items.txt", &text);  // missing: no pickups
  *pickups = ParsePickupLists(text, "items.txt");
  text.clear();
  ReadFile(o.content + "/system/messages.txt", &text);
  *tables = ParseMessageTables(text, "messages.txt");
  return true;
}

void PrintSummary(const HeadlessMatch& match, const Options& o, std::uint64_t skipped) {
  const MatchState& s = match.State();
  const CountingEvents& e = const_cast<HeadlessMatch&>(match).Events();
  std::fputs(ScoreboardText(s).c_str(), stdout);
  long long botShots = 0;
  for (int i = 0; i < s.combatantCount; ++i) botShots += s.combatants[i].shotsFired;
  std::printf("\nsimulated %.1f s in %llu frames (%llu long steps absorbed), seed %u\n",
              match.MatchSeconds(), static_cast<unsigned long long>(match.SimulatedFrames()),
              static_cast<unsigned long long>(skipped), o.seed);
  std::printf("frags %d, deaths %d, bot shots %lld, player shots %d\n",
              s.player.frags + [&] {
                int f = 0;
                for (int i = 0; i < s.combatantCount; ++i) f += s.combatants[i].frags;
                return f;
              }(),
              s.deaths, botShots, s.player.shotsFired);
  std::printf("lines pushed %d, hit sounds %d, explosions %d, power pickups %d, armor pickups %d\n",
              e.linesPushed, e.Sound(SoundEffect::kHit), e.Sound(SoundEffect::kExplosion),
              e.Sound(SoundEffect::kPowerPickup), e.Sound(SoundEffect::kArmorPickup));
  const PlayerView& v = s.player.view;
  std::printf("player at (%.1f, %.1f, %.1f), power %d, armor %d, ammo %d, %s\n", v.pivot.x,
              v.pivot.y, v.pivot.z, s.player.power, s.player.armor, s.player.ammo,
              s.flags.gameState >= 10 ? "fragged" : (s.flags.spectatorMode ? "spectating" : "playing"));
  if (!o.quiet) {
    std::printf("last lines:\n");
    for (const std::string& line : e.recentLines) std::printf("  %s\n", line.c_str());
  }
  std::printf("%s\n", StateHashLine(s).c_str());
}

int Run(const Options& o) {
  if (o.verifyCollision && o.content.empty()) return VerifyCollision(o.verifyCollision, o.seed, nullptr);
  Settings settings;
  settings.botCount = o.bots;
  if (!o.name.empty()) settings.playerName = o.name.substr(0, kPlayerNameMax);
  if (o.noAi) settings.enemyAI = 0;
  if (o.noAttack) settings.enemyAttack = 0;

  std::unique_ptr<ContentTiles> contentTiles;  // outlives the match
  std::unique_ptr<HeadlessMatch> match;
  if (!o.content.empty()) {
    AreaOptions area;
    PickupLists pickups;
    MessageTables tables{};
    std::string areaName;
    if (!LoadContent(o, &area, &pickups, &tables, &areaName)) return 1;
    settings.areaName = areaName;
    contentTiles = std::make_unique<ContentTiles>();
    contentTiles->Load(o.content, areaName);
    if (contentTiles->triangles == 0) {
      std::fprintf(stderr, "no collision tiles in %s/worlds/%s/Check\n", o.content.c_str(),
                   areaName.c_str());
      return 1;
    }
    if (o.verifyCollision) return VerifyCollision(o.verifyCollision, o.seed, contentTiles.get());
    match = std::make_unique<HeadlessMatch>(settings, o.seed, area, pickups, tables);
    for (int t = 0; t < kSyntheticTileCount; ++t) match->SetTile(t, contentTiles->views[t]);
    if (!o.quiet) std::printf("area \"%s\": %lld collision triangles\n", areaName.c_str(),
                              contentTiles->triangles);
  } else {
    match = std::make_unique<HeadlessMatch>(settings, o.seed);
  }

  InputScript script;
  if (!o.script.empty()) {
    std::string text, error;
    if (!ReadFile(o.script, &text)) {
      std::fprintf(stderr, "cannot read script %s\n", o.script.c_str());
      return 1;
    }
    if (!script.Parse(text, &error)) {
      std::fprintf(stderr, "%s: %s\n", o.script.c_str(), error.c_str());
      return 1;
    }
  }
  std::vector<std::uint32_t> frameTimes;
  if (!o.frameTimes.empty()) {
    std::ifstream in(o.frameTimes);
    if (!in) {
      std::fprintf(stderr, "cannot read frame times %s\n", o.frameTimes.c_str());
      return 1;
    }
    for (long long ms; in >> ms;) {
      if (ms < 0 || ms > 100000) {
        std::fprintf(stderr, "frame time %lld out of range\n", ms);
        return 1;
      }
      frameTimes.push_back(static_cast<std::uint32_t>(ms));
    }
    if (frameTimes.empty()) {
      std::fprintf(stderr, "no frame times in %s\n", o.frameTimes.c_str());
      return 1;
    }
  }

  std::uint64_t step = 0, skipped = 0;
  while (match->MatchSeconds() < o.seconds) {
    std::uint32_t ms = frameTimes.empty() ? o.stepMs : frameTimes[step % frameTimes.size()];
    ++step;
    InputSnapshot input = script.Next(match->SimulatedFrames());
    bool escaped = false;
    if (!match->Step(ms, input, &escaped)) {
      if (ms > 0) ++skipped;
      continue;
    }
    if (o.check) {
      std::string broken = CheckInvariants(match->State(), 999);
      if (!broken.empty()) {
        std::fprintf(stderr, "frame %llu: %s\n",
                     static_cast<unsigned long long>(match->SimulatedFrames()), broken.c_str());
        return 1;
      }
    }
    if (escaped) break;
  }
  PrintSummary(*match, o, skipped);
  return 0;
}

}  // namespace
}  // namespace halvex

int main(int argc, char** argv) {
  halvex::Options o;
  if (!halvex::ParseArgs(argc, argv, &o)) return 2;
  return halvex::Run(o);
}
