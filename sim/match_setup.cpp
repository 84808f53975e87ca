#include "sim/match_setup.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "sim/ambient.h"
#include "sim/combatants.h"

namespace halvex {

void SetupMatch(MatchState& state, const Settings& settings, const AreaOptions& area,
                const PickupLists& pickups, const MessageTables& tables, GameRandom& random,
                std::uint32_t clockMs) {
  state.settings = settings;
  state.area = area;
  state.pickups = pickups;
  state.messageTables = tables;
  state.combatantCount = std::clamp(settings.botCount, 0, kMaxCombatants);
  state.flags = MatchFlags{};
  state.flags.multiplayer = settings.multiplayer ? 1 : 0;
  state.flags.welcomeBannerTimer = kWelcomeBannerTime;
  if (state.flags.multiplayer) state.combatantCount = 0;
  ConstructCombatants(state.combatants, random, clockMs);
  StartMatchCombatants(state, random);
  InitWanderers(state, random);

  PlayerState& p = state.player;
  p = PlayerState{};
  SetNumberText(p.powerText, p.power);
  SetNumberText(p.ammoText, p.ammo);
  SetNumberText(p.fragsText, p.frags);
  p.centreMessage = TimedMessage{255.0f, 3, 0, 0};
  state.corpses = {};
  state.messages = MessageList{};
  state.deaths = 0;
}

void PlaceTrees(MatchState& state, const TreePositions& trees) {
  for (int i = 0; i < kTreeSlots; ++i) {
    TreeSlot& slot = state.trees[static_cast<size_t>(i)];
    slot = TreeSlot{};
    if (i >= trees.count) continue;
    const auto& p = trees.positions[static_cast<size_t>(i)];
    slot.position = Vec3(p[0], p[1], p[2]);
    slot.active = 1;
  }
}

namespace {

class Hasher {
 public:
  template <typename T>
  void Add(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      hash_ ^= bytes[i];
      hash_ *= 1099511628211ull;
    }
  }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_ = 1469598103934665603ull;
};

}  // namespace

std::uint64_t HashMatchState(const MatchState& s) {
  // The records hashed whole have only 4-byte members and char arrays whose
  // sizes are multiples of 4, so they carry no padding bytes.
  static_assert(sizeof(Combatant) % 4 == 0 && sizeof(PlayerState) % 4 == 0);
  Hasher h;
  h.Add(s.flags);
  h.Add(s.combatantCount);
  h.Add(s.deaths);
  h.Add(s.combatants);
  h.Add(s.corpses);
  h.Add(s.player);
  h.Add(s.pickups);
  h.Add(s.messages);
  h.Add(s.sharks);
  h.Add(s.ravens);
  h.Add(s.clocks);
  h.Add(s.settings.enemyAttack);
  h.Add(s.settings.enemyAI);
  h.Add(s.settings.showFramerate);
  return h.Value();
}

}  // namespace halvex
