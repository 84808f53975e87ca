#include "sim/bots.h"

#include <cmath>

#include "sim/combatants.h"
#include "sim/frags.h"
#include "sim/weapons.h"

namespace halvex {

namespace {

constexpr int kWelcomeTable = 0;  // first table: taunts while the banner shows
constexpr int kTauntTable = 1;    // second table: taunts afterwards

Vec3 TurnY(const Vec3& v, float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  return Vec3(v.x * c + v.z * s, v.y, v.z * c - v.x * s);
}

void PlayBotFireSound(MatchState& state, const Combatant& bot, FrameContext& ctx) {
  if (state.botFireSoundsThisFrame >= 2) return;
  ++state.botFireSoundsThisFrame;
  ctx.events.PlaySound(bot.weaponIndex == 1 ? SoundEffect::kBotFireRocket : SoundEffect::kBotFire);
}

Vec3 ShotVelocity(const Combatant& bot, const Vec3& aimPoint) {
  return Vec3Normalize(aimPoint - bot.position) * 4.0f * kWeapons[bot.weaponIndex].speedFactor;
}

void BotFires(MatchState& state, int i, FrameContext& ctx) {
  Combatant& bot = state.combatants[i];
  if (bot.target < 0 || bot.target >= state.combatantCount) bot.target = i;
  const Settings& s = state.settings;
  const PlayerView& pv = state.player.view;
  bool eligible = bot.fireCharge >= kWeapons[bot.weaponIndex].cooldown * s.botFireDelayScale &&
                  (bot.viewOffset <= 0.7f || bot.tileIndex == pv.playerTile ||
                   ctx.random(0, 100) <= s.botFireChance);
  if (!eligible) return;
  if (bot.target == i) {
    if (state.flags.spectatorMode) {
      bot.target = static_cast<int>(ctx.random(0, state.combatantCount - 0.5f));
      return;
    }
    if (ctx.random(0, 10) < 3) {
      bot.fireCharge = 0;
      float lead = std::trunc(ctx.random(s.botLeadMin, s.botLeadMax));
      Vec3 aim = Vec3(pv.pivot.x - pv.lookDir.z / 3, pv.pivot.y + 3, pv.pivot.z + pv.lookDir.x / 3) +
                 lead * 2.0f * pv.motion * ctx.timeScale;
      CreateShot(state, bot.position, ShotVelocity(bot, aim), OwnerCode(i), bot.weaponIndex, ctx);
      ctx.events.PlaySound(SoundEffect::kBotFireRocket);
    }
  } else {
    if (ctx.random(0, 10) < 3) {
      const Combatant& t = state.combatants[bot.target];
      bot.fireCharge = 0;
      float lead = std::trunc(ctx.random(s.botLeadMin, 2 * s.botLeadMax));
      Vec3 aim = Vec3(t.position.x - t.heading.z / 3, t.position.y - 3,
                      t.position.z + t.heading.x / 3) +
                 lead * t.heading;
      CreateShot(state, bot.position, ShotVelocity(bot, aim), OwnerCode(i), bot.weaponIndex, ctx);
    }
  }
  PlayBotFireSound(state, bot, ctx);
}

void RunTimers(Combatant& bot, FrameContext& ctx) {
  float ts = ctx.timeScale;
  bot.approachTimer -= ts;
  if (bot.approachTimer < 0) {
    bot.approachTimer = ctx.random(500, 1000);
    bot.approach = static_cast<int>(ctx.random(0, 2));
  }
  bot.strafeTimer -= ts;
  if (bot.strafeTimer < 0) {
    bot.strafe = static_cast<int>(ctx.random(-2, 2));
    bot.strafeTimer = bot.strafe == 0 ? ctx.random(0, 10) : ctx.random(100, 200);
  }
  bot.climbTimer -= ts;
  if (bot.climbTimer < 0) {
    bot.climb = static_cast<int>(ctx.random(0, 2));
    bot.climbTimer = bot.climb == 0 ? ctx.random(400, 600) : ctx.random(100, 600);
  }
  bot.tauntTimer -= ts;
  if (bot.tauntTimer < 0) bot.tauntTimer = 0;
}

void Think(MatchState& state, int i, FrameContext& ctx) {
  Combatant& bot = state.combatants[i];
  if (bot.target < 0 || bot.target >= state.combatantCount) bot.target = i;
  bool targetsPlayer = bot.target == i;
  Vec3 targetPoint = targetsPlayer ? state.player.view.pivot : state.combatants[bot.target].position;
  float turn = AimTurn(bot, targetPoint);
  if (std::fabs(turn) > kPi) turn = 0;
  bot.yaw += turn;
  if (bot.yaw >= kTwoPi) bot.yaw -= kTwoPi;
  else if (bot.yaw <= -kTwoPi) bot.yaw += kTwoPi;
  bot.heading = TurnY(bot.heading, turn);
  bot.previousPosition = bot.position;

  float d = bot.targetDistance;
  if (bot.approach == 0) {
    MoveBot(state, i, -1, d >= 500 ? 1 : 0, ctx);
  } else if (d >= 50 && d <= 100) {
    MoveBot(state, i, 1, 1, ctx);
  } else if (d < 50) {
    MoveBot(state, i, -1, 0, ctx);
  } else {
    MoveBot(state, i, 1, 0, ctx);
  }
  CombatantPickups(state, i);

  if (bot.tauntTimer == 0) {
    bot.tauntTimer = ctx.random(1000, static_cast<float>((state.combatantCount / 2) * 5000));
    int table = state.flags.welcomeBannerTimer != 0 ? kWelcomeTable : kTauntTable;
    const char* targetName = targetsPlayer ? state.settings.playerName.c_str()
                                           : state.combatants[bot.target].name.data();
    SayTableLine(state, table, bot.name.data(), targetName, ctx);
  }
}

}  // namespace

float AimTurn(Combatant& bot, const Vec3& targetPoint) {
  Vec3 e(bot.position.x, 15.0f, bot.position.z);
  Vec3 t(targetPoint.x, 15.0f, targetPoint.z);
  Matrix look = MatrixLookAtLH(e, e + bot.heading, Vec3(0, 1, 0));
  bot.aimVector = Vec3(look(0, 0), look(1, 0), look(2, 0));
  bot.targetDistance = glm::length(t - e);
  float f = glm::dot(bot.aimVector, Vec3Normalize(e - t));
  if (f > 0.1f) return -(1 + f) * 0.1f;
  if (f < -0.1f) return (1 - f) * 0.1f;
  return 0.0f;
}

void MoveBot(MatchState& state, int i, int sign, int run, FrameContext& ctx) {
  Combatant& bot = state.combatants[i];
  float v = bot.climb == 0 ? (bot.position.y <= 15 ? 0.0f : -1.0f) : bot.climb * 0.5f;
  Vec3 side = static_cast<float>(bot.strafe) * bot.aimVector + Vec3(0, v, 0);
  Vec3 m = run == 0 ? (side + static_cast<float>(sign) * bot.heading) * ctx.timeScale
                    : 2.0f * side * ctx.timeScale;
  Vec3 result = CollideAndSlide(bot.position, m, ctx.Tile(bot.tileIndex), Vec3(kBotRadius));
  if (!IsStuckAnswer(result, m)) {
    if (std::fabs(bot.position.x + result.x) < state.area.botLimitX &&
        std::fabs(bot.position.z + result.z) < state.area.botLimitZ) {
      bot.position += result;
    } else {
      bot.strafe = -bot.strafe;
      bot.approach = 1;
    }
  }
  if (glm::length(result) < 0.1f) {
    bot.strafe = -bot.strafe;
    bot.approach = 1;
  }
  if (bot.climb == 0 && bot.position.y > 16 && bot.position.y < 50) {
    bot.position.y -= ctx.timeScale;
    if (bot.position.y < 20) bot.position.y = 15;
  }
  if (bot.position.y > state.area.botCeiling) {
    bot.position.y = state.area.botCeiling;
    bot.climb = bot.climb == 0 ? 1 : 0;
  }
}

void BotStep(MatchState& state, FrameContext& ctx) {
  if (state.settings.enemyAttack) {
    for (int i = 0; i < state.combatantCount; ++i) BotFires(state, i, ctx);
  }
  --state.clocks.environmentCountdown;
  for (int i = 0; i < state.combatantCount; ++i) {
    Combatant& bot = state.combatants[i];
    RunTimers(bot, ctx);
    bool gate = (bot.viewOffset <= 0.6f || bot.tileIndex == state.player.view.playerTile ||
                 ctx.random(0, 100) <= state.settings.botFireChance) &&
                ctx.random(0, 10) <= 9.5f;
    if (gate) Think(state, i, ctx);
  }
}

}  // namespace halvex
