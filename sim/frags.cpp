#include "sim/frags.h"

#include <algorithm>

#include "content/data_files.h"
#include "sim/combatants.h"
#include "sim/messages.h"

namespace halvex {

namespace {

constexpr float kPickupReach = 15.0f;
constexpr float kPowerRespawn = 1000.0f;
constexpr float kArmorRespawn = 2000.0f;
constexpr int kFraggerTable = 2;  // third table: a fragger about its victim
constexpr int kVictimTable = 3;   // fourth table: a victim about its fragger

bool Chance(FrameContext& ctx, float percent) { return ctx.random(0, 100) < percent; }

int PowerBonus(const ItemPickup& item) { return 20 + 30 * item.powerLevel; }

Vec3 ItemPosition(const ItemPickup& item) { return Vec3(item.x, item.y, item.z); }

void CountDown(PickupList& list, float timeScale) {
  for (ItemPickup& item : list.items) {
    if (item.respawnCountdown > 0.0f) {
      item.respawnCountdown -= timeScale;
      if (item.respawnCountdown <= 0.0f) {
        item.respawnCountdown = 0.0f;
        item.active = 1;
      }
    }
  }
}

int UsedCount(const PickupList& list) { return std::clamp(list.count, 0, kMaxPickups); }

}  // namespace

void SayTableLine(MatchState& state, int table, const char* name1, const char* name2,
                  FrameContext& ctx) {
  const MessageTable& t = state.messageTables[table];
  int index = PickMessageIndex(t.count, ctx.random(0, t.count - 0.5f));
  char text[256];
  const std::string_view line = FormatMessage(t.lines[index].data(), name1, name2, text);
  if (!state.flags.multiplayer) PushLine(state.messages, line, ctx.events);
}

void LeaveBody(MatchState& state, int j, FrameContext& ctx) {
  const Combatant& c = state.combatants[j];
  CorpseSlot& body = state.corpses[j];
  body.active = 1;
  body.fallDirection = static_cast<int>(ctx.random(0, 2));
  body.settled = 0;
  body.framesLeft = body.fallDirection == 1 ? 15 : 16;
  body.bodyPosition = c.position - Vec3(0, body.fallDirection == 1 ? 15.0f : 13.5f, 0);
  float back = state.flags.multiplayer ? 5.5f : 11.0f;
  body.bloodPoint = c.position - back * c.heading - Vec3(0, 13.0f, 0);
  body.pitch = c.pitch;
  body.yaw = c.yaw;
  body.roll = c.roll;
  body.heading = c.heading;
  body.tileIndex = c.tileIndex;
}

void PlayerFragsCombatant(MatchState& state, int j, FrameContext& ctx) {
  Combatant& c = state.combatants[j];
  PlayerState& p = state.player;
  c.power = 0;
  SetNumberText(c.powerText, 0);
  if (state.flags.realismMode) LeaveBody(state, j, ctx);
  ++p.frags;
  SetNumberText(p.fragsText, p.frags);
  RespawnCombatant(state, j, ctx.rng);
  ++state.deaths;
  c.hittable = 0;
  p.centreMessage = TimedMessage{100.0f, 1, j, 0};
  if (Chance(ctx, state.settings.botMessageChance))
    SayTableLine(state, kVictimTable, c.name.data(), state.settings.playerName.c_str(), ctx);
}

void CombatantFragsCombatant(MatchState& state, int i, int j, FrameContext& ctx) {
  Combatant& fragger = state.combatants[i];
  Combatant& victim = state.combatants[j];
  victim.power = 0;
  SetNumberText(victim.powerText, 0);
  ++fragger.frags;
  SetNumberText(fragger.fragsText, fragger.frags);
  if (state.flags.realismMode) LeaveBody(state, j, ctx);
  if (Chance(ctx, state.settings.botMessageChance)) {
    SayTableLine(state, kFraggerTable, fragger.name.data(), victim.name.data(), ctx);
  } else if (Chance(ctx, state.settings.botMessageChance)) {
    SayTableLine(state, kVictimTable, victim.name.data(), fragger.name.data(), ctx);
  }
  RespawnCombatant(state, j, ctx.rng);
  ++state.deaths;
  // Out of this frame's fight, like a combatant the player frags.
  victim.hittable = 0;
  state.player.centreMessage = TimedMessage{100.0f, 10, j, i};
}

void CombatantFragsPlayer(MatchState& state, int i, FrameContext& ctx) {
  PlayerState& p = state.player;
  Combatant& fragger = state.combatants[i];
  p.power = 0;
  SetNumberText(p.powerText, 0);
  ++fragger.frags;
  SetNumberText(fragger.fragsText, fragger.frags);
  state.flags.gameState = 10;
  ++state.deaths;
  p.killer = i;
  state.playerFraggedThisFrame = 1;
  if (Chance(ctx, state.settings.botMessageChance))
    SayTableLine(state, kFraggerTable, fragger.name.data(), state.settings.playerName.c_str(), ctx);
}

void RespawnPlayer(MatchState& state) {
  PlayerState& p = state.player;
  PlayerView& v = p.view;
  v.pivot = Vec3(0, 15, 0);
  v.target = Vec3(0, 15, 50);
  v.eye = Vec3(0.5f, 14, 3.5f);
  v.lookDir = Vec3(0, 0, 4);
  v.pitch = -kPi / 2;
  v.yaw = kPi;
  v.roll = 0;
  v.jumpTimer = 5;
  p.power = 100;
  SetNumberText(p.powerText, 100);
  p.ammo = 100;
  SetNumberText(p.ammoText, 100);
  p.armor = 0;
  for (int i = 0; i < state.combatantCount; ++i) state.combatants[i].fireCharge += 5.0f;
}

void PlayerPickups(MatchState& state, FrameContext& ctx) {
  PlayerState& p = state.player;
  PickupList& power = state.pickups.powerPickups;
  for (int k = 0; k < UsedCount(power); ++k) {
    ItemPickup& item = power.items[k];
    if (!item.active || glm::length(p.view.pivot - ItemPosition(item)) >= kPickupReach) continue;
    ctx.events.PlaySound(SoundEffect::kPowerPickup);
    p.power = std::min(p.power + PowerBonus(item), 100);
    SetNumberText(p.powerText, p.power);
    p.pickupMessage = TimedMessage{200.0f, 1, 0, 0};
    item.active = 0;
    item.respawnCountdown = kPowerRespawn;
  }
  CountDown(power, ctx.timeScale);
  PickupList& armor = state.pickups.armorPickups;
  for (int k = 0; k < UsedCount(armor); ++k) {
    ItemPickup& item = armor.items[k];
    if (!item.active || glm::length(p.view.pivot - ItemPosition(item)) >= kPickupReach) continue;
    ctx.events.PlaySound(SoundEffect::kArmorPickup);
    ++p.armor;
    p.pickupMessage = TimedMessage{200.0f, 2, 0, 0};
    item.active = 0;
    item.respawnCountdown = kArmorRespawn;
  }
  CountDown(armor, ctx.timeScale);
}

void CombatantPickups(MatchState& state, int i) {
  Combatant& c = state.combatants[i];
  PickupList& power = state.pickups.powerPickups;
  for (int k = 0; k < UsedCount(power); ++k) {
    ItemPickup& item = power.items[k];
    if (!item.active || glm::length(c.position - ItemPosition(item)) >= kPickupReach) continue;
    c.power = std::min(c.power + PowerBonus(item), 100);
    SetNumberText(c.powerText, c.power);
    item.active = 0;
    item.respawnCountdown = kPowerRespawn;
  }
  PickupList& armor = state.pickups.armorPickups;
  for (int k = 0; k < UsedCount(armor); ++k) {
    ItemPickup& item = armor.items[k];
    if (!item.active || glm::length(c.position - ItemPosition(item)) >= kPickupReach) continue;
    item.active = 0;
    item.respawnCountdown = kArmorRespawn;
  }
}

void Bleeding(MatchState& state, FrameContext& ctx) {
  // Clamped here too: the amount is added to every wound's count below, and
  // a match can be set up from a Settings record that never saw the launcher.
  const int amount = ClampBloodAmount(state.settings.bloodAmount);
  if (amount < 0) return;
  using Source = BloodEmission::Source;
  for (int k = 0; k < state.combatantCount; ++k) {
    CorpseSlot& body = state.corpses[k];
    if (!body.active) continue;
    bool falling = body.framesLeft > 0;
    Vec3 origin = falling ? body.bodyPosition + Vec3(0, 18, 0) : body.bloodPoint;
    ctx.events.Bleed({Source::kCorpse, k, amount, falling ? 2 : 1, origin, body.heading,
                      ctx.frameDelta});
  }
  for (int k = 0; k < state.combatantCount; ++k) {
    Combatant& c = state.combatants[k];
    // Every frame, also with nothing to emit: the drops still falling move
    // on, fade and retire (a wound that stopped must not freeze them in the air).
    int count = c.bloodCount + (c.bloodCount >= 1 ? amount : 0);
    ctx.events.Bleed({Source::kCombatant, k, count, 2, c.position + Vec3(0, 9, 0), c.heading,
                      ctx.frameDelta});
    if (c.bloodCount > 0 && (amount != 10 || c.power > 30)) --c.bloodCount;
  }
  PlayerState& p = state.player;
  int count = p.playerBleed + (p.playerBleed >= 1 ? amount : 0);
  ctx.events.Bleed({Source::kPlayer, 0, count, 2, p.view.pivot - Vec3(0, 0.5f, 0), p.view.lookDir,
                    ctx.frameDelta});
  if (p.playerBleed > 0 && (amount != 10 || p.power > 20)) --p.playerBleed;
}

}  // namespace halvex
