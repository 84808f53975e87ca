// Received game messages: the first byte picks the sender and how many
// combatant records are in play, the rest is the buffer as it arrived. An
// accepted message is applied to a small match and the remote glide run, and
// the records must stay sane.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/protocol/handle_message.h"
#include "net/protocol/wire.h"
#include "sim/clock.h"
#include "sim/match.h"
#include "sim/player.h"
#include "sim/random.h"

namespace {

using namespace halvex;

constexpr int kRecords = 4;
constexpr float kFramesPerSecond = 60.0f;

void Require(bool ok) {
  if (!ok) std::abort();
}

bool Finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void CheckRecord(const Combatant& c) {
  Require(Finite(c.position) && Finite(c.previousPosition) && Finite(c.netTarget) &&
          Finite(c.heading));
  Require(std::isfinite(c.pitch) && std::isfinite(c.yaw) && std::isfinite(c.roll));
  Require(c.glideSteps >= 0.0f && c.glideSteps <= kFramesPerSecond);
  Require(c.glideStep >= 0.0f && c.glideStep <= c.glideSteps);
  Require(c.weaponIndex >= 0 && c.weaponIndex <= 2);
  Require(c.netFlag == 0 || c.netFlag == 1);
  Require(c.shotsFired >= 0 && c.shotSlot >= 0 && c.shotSlot < kShotRingSize);
  for (const Projectile& p : c.shots) {
    Require(Finite(p.position) && Finite(p.velocity));
    Require(p.weaponIndex >= 0 && p.weaponIndex <= 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace halvex::net;
  if (size == 0) return 0;
  const std::uint8_t* message = data + 1;
  const std::size_t messageSize = size - 1;

  GameMessage received;
  DropReason reason = Decode(message, messageSize, received);
  Require(DropReasonName(reason) != nullptr);
  if (reason != DropReason::kNone) return 0;
  Require(received.kind == KindOf(received.body));
  Require(messageSize == ParametersOf(received.kind)->size);

  // Every kind but chat holds exactly what was read: writing it back must
  // give the same bytes.
  std::vector<std::uint8_t> again = Encode(received);
  Require(again.size() == messageSize);
  if (const auto* chat = std::get_if<ChatMessage>(&received.body)) {
    Require(chat->text.size() <= kMaxChatChars);
    for (char ch : chat->text)
      Require(static_cast<unsigned char>(ch) >= 0x20 && static_cast<unsigned char>(ch) != 0x7F);
  } else {
    Require(std::equal(again.begin(), again.end(), message));
  }

  auto state = std::make_unique<MatchState>();
  state->flags.multiplayer = 1;
  state->combatantCount = data[0] % (kRecords + 1);
  const char* names[kRecords] = {"Alice", "Bob", "Bob", "Carol"};
  for (int i = 0; i < kRecords; ++i) SetText(state->combatants[i].name, names[i]);
  const std::string senders[] = {"Alice", "Bob", "Carol", "Mallory"};
  const std::string& sender = senders[(data[0] / (kRecords + 1)) % 4];

  MatchEvents events;
  Handled handled = HandleMessage(*state, sender, received, events, kFramesPerSecond);
  if (state->combatantCount == 0) Require(handled == Handled::kNoRecord || handled == Handled::kChat);

  // A second of frames of the remote glide toward what arrived.
  GameRandom rng;
  ManualClock clock;
  FrameTimer timer(clock);
  MatchWorld world;
  FrameContext ctx(rng, events, world, timer);
  ctx.timeScale = 1.0f;
  ctx.frameDelta = 1.0f / 40.0f;
  for (int frame = 0; frame < static_cast<int>(kFramesPerSecond); ++frame) RemoteGlide(*state, ctx);

  for (int i = 0; i < kMaxCombatants; ++i) {
    const Combatant& c = state->combatants[i];
    CheckRecord(c);
    // Only records in play are written.
    if (i >= state->combatantCount) {
      Require(c.shotsFired == 0 && c.lastUpdateTime == 0 && c.frags == 0);
      Require(c.position == Vec3(0.0f));
    }
  }
  Require(state->player.shotsFired == 0);
  return 0;
}
