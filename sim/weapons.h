// Weapons, shots and damage: the weapon table, the player's firing, reload
// and weapon change, shot creation in the rings, the hit test and the combat
// step that moves every shot and applies its hits.
#pragma once

#include <array>

#include "sim/input.h"
#include "sim/match.h"
#include "sim/match_state.h"

namespace halvex {

struct Weapon {
  const char* model;
  float speedFactor;
  float cooldown;
  float damage;
  int bloodFrames;
};
extern const std::array<Weapon, 3> kWeapons;

inline constexpr int kOwnerPlayer = 1;
inline constexpr int OwnerCode(int combatant) { return combatant + 2; }

// Creates a shot for owner code 1 (the player) or c + 2 (combatant c). A
// velocity of (10000, 10000, 10000) clears the slot instead. weapon is used
// for the player and in multiplayer; a bot fires its own weapon and then
// picks its next one.
void CreateShot(MatchState& state, const Vec3& position, const Vec3& velocity, int owner,
                int weapon, FrameContext& ctx);

// Damage the shot deals to a body centred at centre, 0 when it misses.
float HitTest(const Projectile& shot, const Vec3& centre);

// The player's firing, reload and weapon change (frame step 10).
void PlayerWeaponStep(MatchState& state, const InputSnapshot& input, FrameContext& ctx);

// Flight, hits, damage and frags of every shot (frame step 9).
void CombatStep(MatchState& state, FrameContext& ctx);

// A hit or explosion sound, at most one per frame.
void PlayBudgetedHitSound(MatchState& state, SoundEffect sound, FrameContext& ctx);

}  // namespace halvex
