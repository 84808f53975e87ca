#include "net/protocol/handle_message.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim/clock.h"
#include "sim/match.h"
#include "sim/random.h"
#include "sim/weapons.h"

namespace halvex::net {

namespace {

template <std::size_t N>
std::string_view TextOf(const TextBuffer<N>& text) {
  const char* end = static_cast<const char*>(std::memchr(text.data(), 0, N));
  return std::string_view(text.data(), end ? static_cast<std::size_t>(end - text.data()) : N);
}

void ApplyStatus(Combatant& c, const StatusMessage& m) {
  c.frags = m.frags;
  SetNumberText(c.fragsText, m.frags);
  // Two's-complement wrap past 24 days of match time, as the field is 32 bits.
  c.playTime = static_cast<int>(m.matchMs);
  c.netFlag = m.spectator;
  // The weapon index also selects the body's weapon model (kWeapons[i].model).
  if (m.weapon >= 0 && m.weapon <= 2) c.weaponIndex = m.weapon;
}

void ApplyShot(MatchState& state, int record, const ShotMessage& m, MatchEvents& events) {
  // A multiplayer shot needs no chance, time or tiles; the context only
  // satisfies CreateShot's signature.
  GameRandom rng;
  ManualClock clock;
  FrameTimer timer(clock);
  MatchWorld world;
  FrameContext ctx(rng, events, world, timer);
  CreateShot(state, m.position, m.velocity, OwnerCode(record), m.weapon, ctx);
  events.PlaySound(m.weapon == 1 ? SoundEffect::kBotFireRocket : SoundEffect::kBotFire);
}

void ApplyMovement(Combatant& c, const MovementMessage& m, float framesPerSecond) {
  c.heading = m.motion;
  c.previousPosition = c.position;
  c.netTarget = Vec3(m.x, m.y - kTargetDrop, m.z);
  c.pitch = m.pitch;
  c.yaw = m.yaw;
  c.roll = m.roll;
  c.glideSteps = GlideSteps(c.lastUpdateTime, m.clockMs, framesPerSecond);
  c.glideStep = 0.0f;
  c.lastUpdateTime = m.clockMs;
}

}  // namespace

StatusMessage MakeStatus(const MatchState& state, std::uint32_t matchMs) {
  StatusMessage m;
  m.frags = state.player.frags;
  m.matchMs = matchMs;
  m.power = state.player.power;
  m.weapon = state.player.weaponIndex;
  m.spectator = state.flags.spectatorMode != 0 ? 1 : 0;
  return m;
}

MovementMessage MakeMovement(const MatchState& state, std::uint32_t clockMs) {
  const PlayerView& v = state.player.view;
  MovementMessage m;
  m.x = v.pivot.x;
  m.y = v.pivot.y + kSentHeightLift;
  m.z = v.pivot.z;
  m.pitch = kMovementPitch;
  // The player's yaw grows without bound while turning one way; receivers
  // refuse absurd angles, so send the same heading within -pi..pi.
  m.yaw = std::remainder(v.yaw, kTwoPi);
  m.roll = 0.0f;
  m.motion = v.motion;
  m.clockMs = clockMs;
  return m;
}

ShotMessage MakeShot(const ShotEvent& shot) {
  return ShotMessage{shot.position, shot.velocity, shot.weaponIndex};
}

ChatMessage MakeChat(std::string_view line) {
  return ChatMessage{std::string(line.substr(0, kMaxChatChars))};
}

ChatMessage MakeChat(const MatchState& state) { return MakeChat(TextOf(state.messages.lines[0])); }

int SenderRecord(const MatchState& state, std::string_view senderName) {
  int count = std::min(state.combatantCount, kMaxCombatants);
  if (count <= 0) return -1;
  int found = 0;
  for (int i = 0; i < count; ++i)
    if (TextOf(state.combatants[i].name) == senderName) found = i;
  return found;
}

float GlideSteps(std::uint32_t lastUpdateMs, std::uint32_t clockMs, float framesPerSecond) {
  // lastUpdateTime starts as the local clock when the record is set up, so
  // the first message from a peer compares two machines' clocks: the
  // difference can be anything. Keep the glide between one frame and a
  // second's worth of frames, and treat a clock that went backwards (or a
  // message stamped like the last one) as one frame.
  if (!(framesPerSecond >= 1.0f) || !std::isfinite(framesPerSecond)) return 1.0f;
  auto elapsed = static_cast<std::int32_t>(clockMs - lastUpdateMs);
  if (elapsed <= 0) return 1.0f;
  float steps = static_cast<float>(elapsed) * framesPerSecond / 1000.0f;
  return std::clamp(steps, 1.0f, framesPerSecond);
}

Handled HandleMessage(MatchState& state, const std::string& senderName, const GameMessage& message,
                      MatchEvents& events, float framesPerSecond) {
  if (std::holds_alternative<ChatMessage>(message.body)) return Handled::kChat;
  int record = SenderRecord(state, senderName);
  if (record < 0) return Handled::kNoRecord;
  Combatant& c = state.combatants[record];
  if (const auto* status = std::get_if<StatusMessage>(&message.body)) {
    ApplyStatus(c, *status);
    return Handled::kStatus;
  }
  if (const auto* shot = std::get_if<ShotMessage>(&message.body)) {
    ApplyShot(state, record, *shot, events);
    return Handled::kShot;
  }
  ApplyMovement(c, std::get<MovementMessage>(message.body), framesPerSecond);
  return Handled::kMovement;
}

}  // namespace halvex::net
