#include "sim/weapons.h"

#include <cmath>

#include "sim/combatants.h"
#include "sim/frags.h"
#include "world/collision/ray_cast.h"

namespace halvex {

const std::array<Weapon, 3> kWeapons = {{
    {"objects\\pistol.x", 8.0f, 3.0f, 1.0f, 2},
    {"objects\\rocket3.x", 5.0f, 25.0f, 20.0f, 5},
    {"objects\\shotgun1.x", 7.0f, 5.0f, 5.0f, 3},
}};

namespace {

constexpr float kSplashRadius = 50.0f;
constexpr int kRocket = 1;

bool IsEmptyMarker(const Vec3& v) {
  return v.x == kEmptyShotMarker && v.y == kEmptyShotMarker && v.z == kEmptyShotMarker;
}

void FillSlot(Projectile& shot, const Vec3& position, const Vec3& velocity, int weapon) {
  shot.position = position;
  shot.velocity = velocity;
  shot.age = 0;
  shot.weaponIndex = weapon;
  shot.active = IsEmptyMarker(velocity) ? 0 : 1;
}

}  // namespace

void PlayBudgetedHitSound(MatchState& state, SoundEffect sound, FrameContext& ctx) {
  if (state.hitSoundsThisFrame >= 1) return;
  ++state.hitSoundsThisFrame;
  ctx.events.PlaySound(sound);
}

void CreateShot(MatchState& state, const Vec3& position, const Vec3& velocity, int owner,
                int weapon, FrameContext& ctx) {
  if (owner == kOwnerPlayer) {
    PlayerState& p = state.player;
    Projectile& shot = p.shots[p.shotsFired % kShotRingSize];
    FillSlot(shot, position, velocity, weapon);
    if (shot.active) ++p.shotsFired;
    return;
  }
  int c = owner - 2;
  if (c < 0 || c >= kMaxCombatants) return;  // unknown owner code
  Combatant& bot = state.combatants[c];
  int slot = bot.shotsFired % kShotRingSize;
  bot.shotSlot = slot;
  int w = state.flags.multiplayer ? weapon : bot.weaponIndex;
  if (w < 0 || w > 2) w = 0;
  FillSlot(bot.shots[slot], position, velocity, w);
  if (!bot.shots[slot].active) return;
  ++bot.shotsFired;
  if (!state.flags.multiplayer) {
    int k = static_cast<int>(ctx.random(0, 3));
    bot.weaponIndex = k == 1 ? 0 : (k == 2 ? 1 : 2);
  }
}

float HitTest(const Projectile& shot, const Vec3& centre) {
  float damage = kWeapons[shot.weaponIndex].damage;
  // The line through the shot along its velocity must pass within 8 units.
  Vec3 toCentre = centre - shot.position;
  float speed = glm::length(shot.velocity);
  if (speed > 0.0f) {
    Vec3 dir = shot.velocity / speed;
    float along = glm::dot(toCentre, dir);
    float off2 = glm::dot(toCentre, toCentre) - along * along;
    if (!(off2 <= 64.0f)) return 0.0f;
  } else if (!(glm::dot(toCentre, toCentre) <= 64.0f)) {
    return 0.0f;
  }
  for (Vec3 at : {shot.position, shot.position + shot.velocity}) {
    float d = glm::length(at - centre);
    if (d < 5.0f) return damage * 5.0f;
    if (d < 15.0f) return damage;
  }
  return 0.0f;
}

void PlayerWeaponStep(MatchState& state, const InputSnapshot& input, FrameContext& ctx) {
  PlayerState& p = state.player;
  const PlayerView& v = p.view;
  if (!state.flags.spectatorMode && input.LeftButton() && p.fireCooldown == 0.0f) {
    if (p.ammo > 0) {
      if (p.ammo == 26 && p.centreMessage.timer <= 0.0f) {
        p.centreMessage = TimedMessage{200.0f, 0, 0, 0};
        ctx.events.PlaySound(SoundEffect::kLowAmmo);
      }
      Vec3 start(v.eye.x - v.lookDir.z / 3.0f, v.eye.y + 4.0f, v.eye.z + v.lookDir.x / 3.0f);
      Vec3 velocity = v.lookDir * kWeapons[p.weaponIndex].speedFactor;
      int slot = p.shotsFired % kShotRingSize;
      CreateShot(state, start, velocity, kOwnerPlayer, p.weaponIndex, ctx);
      Projectile& shot = p.shots[slot];
      shot.position += 2.0f * v.lookDir;
      ctx.events.ShotFired(ShotEvent{shot.position, shot.velocity, p.weaponIndex});
      ctx.events.PlaySound(p.weaponIndex == kRocket ? SoundEffect::kFireRocket : SoundEffect::kFire);
      --p.ammo;
      SetNumberText(p.ammoText, p.ammo);
    }
    p.fireCooldown = kWeapons[p.weaponIndex].cooldown;
  }
  p.fireCooldown -= ctx.frameDelta * 40.0f;
  if (p.fireCooldown < 0.0f) p.fireCooldown = 0.0f;

  if (input.KeyDown(scancode::kSpace)) {
    p.ammo = 200;
    SetNumberText(p.ammoText, p.ammo);
    ctx.events.PlaySound(SoundEffect::kReload);
  }
  if (input.lZ > 0) {
    p.weaponIndex = (p.weaponIndex + 1) % 3;
    ctx.events.PlaySound(SoundEffect::kWeaponChange);
  } else if (input.lZ < 0) {
    p.weaponIndex = (p.weaponIndex + 2) % 3;
    ctx.events.PlaySound(SoundEffect::kWeaponChange);
  }
  for (int w = 0; w < 3; ++w)
    if (input.KeyDown(scancode::k1 + w)) p.weaponIndex = w;
}

namespace {

// Casts the shot's step against its tile in the mesh's own axes. True when
// the world is struck within maxSteps steps.
bool StrikesWorld(const Projectile& shot, const Vec3& step, float maxSteps, FrameContext& ctx) {
  float d = RayCastMesh(ctx.Tile(shot.tileIndex), WorldToModel(shot.position), WorldToModel(step),
                        maxSteps);
  return d >= 0.0f;
}

void PlayerShots(MatchState& state, FrameContext& ctx) {
  for (int s = 0; s < kShotRingSize; ++s) {
    Projectile& shot = state.player.shots[s];
    if (!shot.active) continue;
    shot.tileIndex = CombatantTileIndex(shot.position);
    const Weapon& w = kWeapons[shot.weaponIndex];
    for (int j = 0; j < state.combatantCount; ++j) {
      Combatant& c = state.combatants[j];
      if (c.tileIndex != shot.tileIndex) continue;
      float damage = HitTest(shot, c.position);
      if (damage <= 0.0f) continue;
      if (!state.flags.multiplayer && ctx.random(-1, 1) < 0) c.target = j;
      c.power -= static_cast<int>(damage);
      state.player.lastHit = j;
      c.bloodCount = 2 * w.bloodFrames;
      SetNumberText(c.powerText, c.power);
      PlayBudgetedHitSound(state, SoundEffect::kHit, ctx);
      shot.active = 0;
    }
    if (!shot.active) continue;  // spent on a body
    Vec3 step = shot.velocity * ctx.timeScale;
    if (!StrikesWorld(shot, step, 2.0f, ctx)) {
      shot.position += shot.position.y < -200.0f ? step * 0.1f : step;
      ++shot.age;
      if (shot.position.y < -1000.0f) shot.active = 0;
      continue;
    }
    if (shot.weaponIndex == kRocket) {
      for (int j = 0; j < state.combatantCount; ++j) {
        Combatant& c = state.combatants[j];
        if (glm::length(c.position - shot.position) < kSplashRadius) {
          c.power -= static_cast<int>(w.damage / 2.0f);
          SetNumberText(c.powerText, c.power);
          PlayBudgetedHitSound(state, SoundEffect::kHit, ctx);
        }
      }
    }
    PlayBudgetedHitSound(state, SoundEffect::kExplosion, ctx);
    shot.active = 0;
  }
}

bool PlayerInPlay(const MatchState& state) {
  return !state.flags.spectatorMode && state.flags.gameState < 10;
}

// The player part of a combatant shot; true when it hit the player.
bool ShotHitsPlayer(MatchState& state, Projectile& shot, FrameContext& ctx) {
  PlayerState& p = state.player;
  int tile = p.view.playerTile;
  if (!PlayerInPlay(state) || !(tile == shot.tileIndex || (tile == -1 && shot.tileIndex == 0)))
    return false;
  float damage = HitTest(shot, p.view.pivot);
  if (damage <= 0.0f) return false;
  int divisor = p.armor == 0 ? 1 : 2 * p.armor;
  p.power -= static_cast<int>(damage) / divisor;
  SetNumberText(p.powerText, p.power);
  p.hurtFlash = 8.0f;
  p.playerBleed = kWeapons[shot.weaponIndex].bloodFrames;
  PlayBudgetedHitSound(state, SoundEffect::kHit, ctx);
  shot.active = 0;
  return true;
}

void ShotHitsCombatants(MatchState& state, int i, Projectile& shot, FrameContext& ctx) {
  const Weapon& w = kWeapons[shot.weaponIndex];
  for (int j = 0; j < state.combatantCount; ++j) {
    Combatant& c = state.combatants[j];
    if (j == i || c.tileIndex != shot.tileIndex || !c.hittable) continue;
    float damage = HitTest(shot, c.position);
    if (damage <= 0.0f) continue;
    state.combatants[i].retargetCountdown = static_cast<int>(ctx.random(5, 20));
    c.power -= static_cast<int>(damage);
    SetNumberText(c.powerText, c.power);
    c.bloodCount = 2 * w.bloodFrames;
    if (!state.flags.multiplayer && ctx.random(-1, 1) < 0) c.target = i;
    if (c.power < 1) CombatantFragsCombatant(state, i, j, ctx);
    PlayBudgetedHitSound(state, SoundEffect::kHit, ctx);
    shot.active = 0;
  }
}

void CombatantShotStrikes(MatchState& state, int i, Projectile& shot, FrameContext& ctx) {
  Combatant& owner = state.combatants[i];
  if (--owner.retargetCountdown <= 0) {
    owner.target = static_cast<int>(ctx.random(0, state.combatantCount - 0.5f));
    owner.retargetCountdown = static_cast<int>(ctx.random(5, 20));
  }
  // The splash only hurts a player in play, like a direct hit: a spectating
  // or fragged player is out of the fight.
  if (shot.weaponIndex == kRocket && PlayerInPlay(state) &&
      glm::length(state.player.view.pivot - shot.position) < kSplashRadius) {
    state.player.power -= static_cast<int>(kWeapons[kRocket].damage / 2.0f);
    SetNumberText(state.player.powerText, state.player.power);
    PlayBudgetedHitSound(state, SoundEffect::kHit, ctx);
  }
  PlayBudgetedHitSound(state, SoundEffect::kExplosion, ctx);
  shot.active = 0;
}

void CombatantShots(MatchState& state, int i, FrameContext& ctx) {
  for (Projectile& shot : state.combatants[i].shots) {
    if (!shot.active) continue;
    shot.viewOffset = ViewOffset(state.player.view, shot.position);
    shot.tileIndex = CombatantTileIndex(shot.position);
    if (ShotHitsPlayer(state, shot, ctx)) continue;
    ShotHitsCombatants(state, i, shot, ctx);
    if (!shot.active) continue;
    Vec3 step = shot.velocity * ctx.timeScale;
    if (!StrikesWorld(shot, step, 5.0f, ctx)) {
      shot.position += step;
      if (shot.position.y < -100.0f) shot.active = 0;
      continue;
    }
    CombatantShotStrikes(state, i, shot, ctx);
  }
}

}  // namespace

void CombatStep(MatchState& state, FrameContext& ctx) {
  state.playerFraggedThisFrame = 0;
  if (!state.flags.spectatorMode) PlayerShots(state, ctx);
  for (int j = 0; j < state.combatantCount; ++j)
    if (state.combatants[j].power < 1) PlayerFragsCombatant(state, j, ctx);
  for (int i = 0; i < state.combatantCount; ++i) {
    CombatantShots(state, i, ctx);
    if (PlayerInPlay(state) && state.player.power < 1 && !state.playerFraggedThisFrame)
      CombatantFragsPlayer(state, i, ctx);
  }
  for (int j = 0; j < state.combatantCount; ++j) state.combatants[j].hittable = 1;
}

}  // namespace halvex
