// Game messages and the match: the builders that fill a message from the
// local player's state, and the handler that applies a received message to
// the Combatant record carrying the sender's name. There is no authority:
// every peer applies what it receives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/protocol/wire.h"
#include "sim/events.h"
#include "sim/match_state.h"

namespace halvex::net {

// Pitch a movement message always carries for the body model (-pi/2).
inline constexpr float kMovementPitch = -1.5707964f;
// The sender lifts its pivot by this much; the receiver lowers it by
// kTargetDrop, so a remote body stands 1 unit above the sender's pivot.
inline constexpr float kSentHeightLift = 5.0f;
inline constexpr float kTargetDrop = 4.0f;

// The local player's frags, power, weapon and spectator flag, and the
// milliseconds since the local match started.
StatusMessage MakeStatus(const MatchState& state, std::uint32_t matchMs);
// The pivot (y + 5), the fixed pitch, the yaw wrapped into -pi..pi (the
// same heading; the player's own yaw is never wrapped), roll 0, this
// frame's motion and the sender's millisecond clock.
MovementMessage MakeMovement(const MatchState& state, std::uint32_t clockMs);
ShotMessage MakeShot(const ShotEvent& shot);
// The newest line of the HUD message list, cut to 63 characters.
ChatMessage MakeChat(const MatchState& state);
ChatMessage MakeChat(std::string_view line);

// The record a sender's messages go to: the last of records
// 0..combatantCount-1 whose name equals senderName, else record 0; -1 when
// there is no record at all.
int SenderRecord(const MatchState& state, std::string_view senderName);

// Frames to glide from the last movement message to this one at the local
// frame rate: (clock - last) x fps / 1000, kept within 1 .. fps.
float GlideSteps(std::uint32_t lastUpdateMs, std::uint32_t clockMs, float framesPerSecond);

enum class Handled {
  kStatus,
  kShot,
  kMovement,
  kChat,      // not applied here: the caller hands a copy of the text to the window thread
  kNoRecord,  // no combatant record to apply it to; dropped
};

// Applies one accepted message to the sender's record (see SenderRecord).
// Meant for a multiplayer match (flags.multiplayer set), where a remote shot
// keeps the weapon of the message. The health field of a status is not
// applied. The caller runs it on the network queue thread; the game thread
// reads the records meanwhile without a lock.
Handled HandleMessage(MatchState& state, const std::string& senderName, const GameMessage& message,
                      MatchEvents& events, float framesPerSecond);

}  // namespace halvex::net
