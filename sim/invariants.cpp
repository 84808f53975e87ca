#include "sim/invariants.h"

#include <cmath>
#include <string>

namespace halvex {

namespace {

bool Finite(float f) { return std::isfinite(f); }
bool Finite(const Vec3& v) { return Finite(v.x) && Finite(v.y) && Finite(v.z); }

std::string Who(const char* what, int index) { return std::string(what) + " " + std::to_string(index); }

std::string CheckRing(const Projectile* shots, int count, int shotsFired, int shotSlot,
                      bool checkSlot, const std::string& owner) {
  for (int s = 0; s < count; ++s) {
    const Projectile& p = shots[s];
    if (!Finite(p.position) || !Finite(p.velocity)) return owner + ": shot not finite";
    if (p.weaponIndex < 0 || p.weaponIndex > 2) return owner + ": shot weapon out of range";
    if (p.active != 0 && p.active != 1) return owner + ": shot active flag not 0 or 1";
  }
  if (shotsFired < 0) return owner + ": negative shot count";
  if (checkSlot && shotsFired > 0 && shotSlot != (shotsFired - 1) % kShotRingSize)
    return owner + ": shot slot does not follow the shot count";
  return {};
}

std::string CheckCombatant(const MatchState& s, int i) {
  const Combatant& c = s.combatants[i];
  std::string who = Who("combatant", i);
  if (!Finite(c.position) || !Finite(c.heading) || !Finite(c.aimVector) || !Finite(c.yaw) ||
      !Finite(c.fireCharge) || !Finite(c.targetDistance) || !Finite(c.viewOffset))
    return who + ": value not finite";
  if (c.power < 0 || c.power > 100) return who + ": power " + std::to_string(c.power);
  if (!(std::fabs(c.position.x) < s.area.botLimitX && std::fabs(c.position.z) < s.area.botLimitZ))
    return who + ": outside the bot limits";
  if (c.position.y > s.area.botCeiling) return who + ": above the bot ceiling";
  if (c.target < 0 || c.target >= kMaxCombatants) return who + ": target out of range";
  return CheckRing(c.shots.data(), kShotRingSize, c.shotsFired, c.shotSlot, true, who);
}

}  // namespace

std::string CheckInvariants(const MatchState& s, int maxPlayerPower) {
  int frags = s.player.frags;
  for (int i = 0; i < s.combatantCount; ++i) {
    std::string e = CheckCombatant(s, i);
    if (!e.empty()) return e;
    frags += s.combatants[i].frags;
  }
  if (frags != s.deaths)
    return "frags " + std::to_string(frags) + " differ from deaths " + std::to_string(s.deaths);
  const PlayerState& p = s.player;
  const PlayerView& v = p.view;
  if (!Finite(v.pivot) || !Finite(v.target) || !Finite(v.eye) || !Finite(v.lookDir) ||
      !Finite(v.motion) || !Finite(v.pitch) || !Finite(v.yaw) || !Finite(p.fireCooldown))
    return "player: value not finite";
  if (p.power < 0 || p.power > maxPlayerPower) return "player: power " + std::to_string(p.power);
  std::string e = CheckRing(p.shots.data(), kPlayerShotSlots, p.shotsFired, 0, false, "player");
  if (!e.empty()) return e;
  for (const auto* kind : {&s.sharks, &s.ravens})
    for (const Wanderer& w : *kind)
      if (!Finite(w.position) || !Finite(w.velocity) || !Finite(w.yaw)) return "wanderer not finite";
  const AnimationClocks& c = s.clocks;
  if (!Finite(c.sun) || !Finite(c.wave) || !Finite(c.oceanBlend) || !Finite(c.raven) ||
      !Finite(c.skyAngle1) || !Finite(c.skyAngle2) || !Finite(c.waterAngle))
    return "animation clocks not finite";
  return {};
}

}  // namespace halvex
