// The game messages that peers exchange during a multiplayer match, byte by
// byte: the four kinds, their send parameters, the encoder and the one
// bounds-checked reader every received buffer goes through. Nothing else in
// the game knows the layout.
//
// Layout (all little-endian; int is 32-bit signed, u32 unsigned, float IEEE
// 754 single):
//   header      0 u32 kind, 4 u32 sequence number
//   status  28  8 int frags, 12 u32 match ms, 16 int power, 20 int weapon,
//               24 int spectator flag
//   chat    72  8 64 bytes of text, NUL-terminated (63 characters at most)
//   shot    36  8 3 floats position, 20 3 floats velocity, 32 int weapon
//   movement 48 8 float x, 12 float y (pivot y + 5), 16 float z,
//               20 pitch, 24 yaw, 28 roll, 32 3 floats motion, 44 u32 clock
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "d3dutil/math/math.h"

namespace halvex::net {

enum class MessageKind : std::uint32_t { kStatus = 1, kChat = 2, kShot = 3, kMovement = 4 };

inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kChatTextBytes = 64;
inline constexpr std::size_t kMaxChatChars = kChatTextBytes - 1;

enum class SendPriority { kNormal, kHigh };

struct SendParameters {
  MessageKind kind;
  std::size_t size;  // the whole message, header included
  SendPriority priority;
  bool guaranteed;
  std::uint32_t timeoutMs;  // 0: no time-out
};

inline constexpr std::array<SendParameters, 4> kSendParameters = {{
    {MessageKind::kStatus, 28, SendPriority::kHigh, false, 50},
    {MessageKind::kChat, 72, SendPriority::kHigh, true, 0},
    {MessageKind::kShot, 36, SendPriority::kNormal, false, 500},
    {MessageKind::kMovement, 48, SendPriority::kNormal, false, 50},
}};

// The row of a kind; null for a value that is no kind.
constexpr const SendParameters* ParametersOf(MessageKind kind) {
  for (const SendParameters& p : kSendParameters)
    if (p.kind == kind) return &p;
  return nullptr;
}

// The game's Send takes a selector: 0 status, 1 chat, 2 shot, 3 movement.
constexpr std::optional<MessageKind> KindForSelector(int selector) {
  if (selector < 0 || selector > 3) return std::nullopt;
  return static_cast<MessageKind>(selector + 1);
}
constexpr int SelectorOf(MessageKind kind) { return static_cast<int>(kind) - 1; }

struct StatusMessage {
  std::int32_t frags = 0;
  std::uint32_t matchMs = 0;
  std::int32_t power = 0;  // sent, but receivers do not apply it
  std::int32_t weapon = 0;
  std::int32_t spectator = 0;
};

struct ChatMessage {
  std::string text;  // at most kMaxChatChars go on the wire
};

struct ShotMessage {
  Vec3 position{0.0f};
  Vec3 velocity{0.0f};
  std::int32_t weapon = 0;
};

struct MovementMessage {
  float x = 0.0f;
  float y = 0.0f;  // as sent: pivot y + 5
  float z = 0.0f;
  float pitch = 0.0f, yaw = 0.0f, roll = 0.0f;
  Vec3 motion{0.0f};
  std::uint32_t clockMs = 0;
};

using MessageBody = std::variant<StatusMessage, ChatMessage, ShotMessage, MovementMessage>;

struct GameMessage {
  MessageKind kind = MessageKind::kStatus;  // always the kind of body
  std::uint32_t sequence = 0;
  MessageBody body;
};

constexpr MessageKind KindOf(const MessageBody& body) {
  return static_cast<MessageKind>(body.index() + 1);
}

// One counter per process for all kinds, increased before each send, so the
// first message carries 1. Sends come from the window and game threads.
class SequenceCounter {
 public:
  std::uint32_t Next() { return value_.fetch_add(1, std::memory_order_relaxed) + 1; }
  std::uint32_t Last() const { return value_.load(std::memory_order_relaxed); }

 private:
  std::atomic<std::uint32_t> value_{0};
};

// A message ready to send: the body's kind and the counter's next number.
GameMessage Stamp(SequenceCounter& counter, MessageBody body);

// The wire bytes, exactly the kind's size. The kind written is the body's.
// Chat text is cut to 63 characters and NUL-padded to 64 bytes.
std::vector<std::uint8_t> Encode(const GameMessage& message);

enum class DropReason {
  kNone,              // accepted
  kTooShort,          // not even a header
  kUnknownKind,
  kWrongSize,         // not exactly the kind's size
  kUnterminatedText,  // no NUL within the chat's 64 bytes
  kBadWeapon,         // weapon not 0, 1 or 2
  kNotFinite,         // a NaN or infinite float
  kOutOfRange,        // a number far outside anything a peer can send
};
inline constexpr std::size_t kDropReasonCount = 8;

const char* DropReasonName(DropReason reason);

// Limits of the reader, far beyond what a playing peer sends so that only
// garbage is refused. The battle area spans -500..500 in x and z, the sky
// creatures fly below 2500 and shots fall until -1000: ten area widths
// holds every real position.
inline constexpr float kCoordinateLimit = 10000.0f;
// A shot moves |lookDir| (4) x at most 8 units a frame; a frame's motion is
// a few key steps, a jump and a climb assist.
inline constexpr float kVelocityLimit = 1000.0f;
inline constexpr float kMotionLimit = 1000.0f;
// Radians. Senders wrap the yaw into -pi..pi, but a player's yaw is not
// wrapped while playing, so keep room for a long session of turning.
inline constexpr float kAngleLimit = 1000.0f;
inline constexpr std::int32_t kFragsLimit = 1000000;
// Power tops out at 999 (the server variable) and goes below 0 by a frame's
// hits; it is not applied, only checked for sanity.
inline constexpr std::int32_t kPowerLimit = 100000;

// Reads one received buffer. On kNone, out holds the message; on any other
// reason out is left as it was. Chat text ends at its first NUL (bytes after
// it are ignored); control characters (below 0x20 and 0x7F) in it are
// replaced by '?' rather than refused, so a peer's line still shows but
// nothing can steer the HUD's text drawing. Bytes 0x80 and above are kept.
DropReason Decode(const std::uint8_t* data, std::size_t size, GameMessage& out);

// Refused messages per reason, for one sender or the whole session.
struct DropCounts {
  std::array<std::uint64_t, kDropReasonCount> byReason{};

  void Count(DropReason reason) {
    auto i = static_cast<std::size_t>(reason);
    if (i < byReason.size()) ++byReason[i];
  }
  std::uint64_t Of(DropReason reason) const {
    auto i = static_cast<std::size_t>(reason);
    return i < byReason.size() ? byReason[i] : 0;
  }
  // Every refused message (kNone counts accepted ones and is left out).
  std::uint64_t Dropped() const;
};

}  // namespace halvex::net
