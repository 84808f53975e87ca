#include "net/protocol/wire.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>

namespace halvex::net {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t U32At(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8 |
         static_cast<std::uint32_t>(b.at(at + 2)) << 16 |
         static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}
float F32At(const Bytes& b, std::size_t at) { return std::bit_cast<float>(U32At(b, at)); }
void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutF32(Bytes& b, std::size_t at, float v) { PutU32(b, at, std::bit_cast<std::uint32_t>(v)); }

GameMessage Msg(MessageBody body, std::uint32_t sequence = 7) {
  return GameMessage{KindOf(body), sequence, std::move(body)};
}

StatusMessage SomeStatus() { return StatusMessage{-3, 123456789u, 87, 2, 1}; }
ShotMessage SomeShot() { return ShotMessage{Vec3(-120.5f, 30.25f, 499.0f), Vec3(4.0f, -1.5f, 31.0f), 1}; }
MovementMessage SomeMovement() {
  return MovementMessage{12.5f, 20.0f, -300.75f, -1.5707964f, 2.5f, 0.0f,
                         Vec3(1.0f, 10.0f, -3.0f), 0xA1B2C3D4u};
}

DropReason DecodeBytes(const Bytes& b, GameMessage& out) { return Decode(b.data(), b.size(), out); }
DropReason DecodeBytes(const Bytes& b) {
  GameMessage out;
  return DecodeBytes(b, out);
}

// --- Sequence numbers --------------------------------------------------------

TEST(SequenceCounter, FirstMessageCarriesOneAndAllKindsShareTheCounter) {
  SequenceCounter counter;
  EXPECT_EQ(counter.Last(), 0u);
  GameMessage status = Stamp(counter, SomeStatus());
  GameMessage movement = Stamp(counter, SomeMovement());
  GameMessage shot = Stamp(counter, SomeShot());
  GameMessage chat = Stamp(counter, ChatMessage{"hi"});
  EXPECT_EQ(status.sequence, 1u);
  EXPECT_EQ(movement.sequence, 2u);
  EXPECT_EQ(shot.sequence, 3u);
  EXPECT_EQ(chat.sequence, 4u);
  EXPECT_EQ(status.kind, MessageKind::kStatus);
  EXPECT_EQ(movement.kind, MessageKind::kMovement);
  EXPECT_EQ(shot.kind, MessageKind::kShot);
  EXPECT_EQ(chat.kind, MessageKind::kChat);
  EXPECT_EQ(counter.Last(), 4u);
  // The number travels at offset 4 of the header.
  EXPECT_EQ(U32At(Encode(status), 4), 1u);
  EXPECT_EQ(U32At(Encode(chat), 4), 4u);
}

// --- Layout ------------------------------------------------------------------

TEST(SendParameters, OneRowPerKindWithSizePriorityGuaranteeAndTimeOut) {
  struct Row {
    MessageKind kind;
    std::size_t size;
    SendPriority priority;
    bool guaranteed;
    std::uint32_t timeout;
  };
  const Row rows[] = {{MessageKind::kStatus, 28, SendPriority::kHigh, false, 50},
                      {MessageKind::kChat, 72, SendPriority::kHigh, true, 0},
                      {MessageKind::kShot, 36, SendPriority::kNormal, false, 500},
                      {MessageKind::kMovement, 48, SendPriority::kNormal, false, 50}};
  for (const Row& r : rows) {
    const SendParameters* p = ParametersOf(r.kind);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->size, r.size);
    EXPECT_EQ(p->priority, r.priority);
    EXPECT_EQ(p->guaranteed, r.guaranteed);
    EXPECT_EQ(p->timeoutMs, r.timeout);
  }
  EXPECT_EQ(ParametersOf(static_cast<MessageKind>(0)), nullptr);
  EXPECT_EQ(ParametersOf(static_cast<MessageKind>(5)), nullptr);

  // Send's selector 0..3 names kinds 1..4.
  EXPECT_EQ(KindForSelector(0), MessageKind::kStatus);
  EXPECT_EQ(KindForSelector(1), MessageKind::kChat);
  EXPECT_EQ(KindForSelector(2), MessageKind::kShot);
  EXPECT_EQ(KindForSelector(3), MessageKind::kMovement);
  EXPECT_FALSE(KindForSelector(-1).has_value());
  EXPECT_FALSE(KindForSelector(4).has_value());
  EXPECT_EQ(SelectorOf(MessageKind::kMovement), 3);
}

TEST(Encode, EachKindHasItsExactSizeAndHeader) {
  EXPECT_EQ(Encode(Msg(SomeStatus())).size(), 28u);
  EXPECT_EQ(Encode(Msg(ChatMessage{"x"})).size(), 72u);
  EXPECT_EQ(Encode(Msg(SomeShot())).size(), 36u);
  EXPECT_EQ(Encode(Msg(SomeMovement())).size(), 48u);
  Bytes b = Encode(Msg(SomeShot(), 0x01020304u));
  // Little-endian, byte by byte.
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[2], 0);
  EXPECT_EQ(b[3], 0);
  EXPECT_EQ(b[4], 0x04);
  EXPECT_EQ(b[5], 0x03);
  EXPECT_EQ(b[6], 0x02);
  EXPECT_EQ(b[7], 0x01);
}

TEST(Encode, KindFollowsTheBodyEvenIfTheKindFieldDisagrees) {
  GameMessage m{MessageKind::kChat, 1, SomeShot()};
  Bytes b = Encode(m);
  EXPECT_EQ(b.size(), 36u);
  EXPECT_EQ(U32At(b, 0), 3u);
}

TEST(Encode, StatusFieldOffsets) {
  Bytes b = Encode(Msg(StatusMessage{-3, 0x89ABCDEFu, -250, 2, 1}));
  EXPECT_EQ(U32At(b, 0), 1u);
  EXPECT_EQ(static_cast<std::int32_t>(U32At(b, 8)), -3);
  EXPECT_EQ(b[8], 0xFD);  // low byte first
  EXPECT_EQ(U32At(b, 12), 0x89ABCDEFu);
  EXPECT_EQ(b[12], 0xEF);
  EXPECT_EQ(static_cast<std::int32_t>(U32At(b, 16)), -250);
  EXPECT_EQ(U32At(b, 20), 2u);
  EXPECT_EQ(U32At(b, 24), 1u);
}

TEST(Encode, ShotFieldOffsets) {
  Bytes b = Encode(Msg(SomeShot()));
  EXPECT_EQ(F32At(b, 8), -120.5f);
  EXPECT_EQ(F32At(b, 12), 30.25f);
  EXPECT_EQ(F32At(b, 16), 499.0f);
  EXPECT_EQ(F32At(b, 20), 4.0f);
  EXPECT_EQ(F32At(b, 24), -1.5f);
  EXPECT_EQ(F32At(b, 28), 31.0f);
  EXPECT_EQ(U32At(b, 32), 1u);
  // 1.0f is 0x3F800000: the exponent byte comes last.
  Bytes one = Encode(Msg(ShotMessage{Vec3(1.0f, 0, 0), Vec3(0.0f), 0}));
  EXPECT_EQ(one[8], 0x00);
  EXPECT_EQ(one[10], 0x80);
  EXPECT_EQ(one[11], 0x3F);
}

TEST(Encode, MovementFieldOffsets) {
  Bytes b = Encode(Msg(SomeMovement()));
  EXPECT_EQ(U32At(b, 0), 4u);
  EXPECT_EQ(F32At(b, 8), 12.5f);
  EXPECT_EQ(F32At(b, 12), 20.0f);
  EXPECT_EQ(F32At(b, 16), -300.75f);
  EXPECT_EQ(F32At(b, 20), -1.5707964f);
  EXPECT_EQ(F32At(b, 24), 2.5f);
  EXPECT_EQ(F32At(b, 28), 0.0f);
  EXPECT_EQ(F32At(b, 32), 1.0f);
  EXPECT_EQ(F32At(b, 36), 10.0f);
  EXPECT_EQ(F32At(b, 40), -3.0f);
  EXPECT_EQ(U32At(b, 44), 0xA1B2C3D4u);
  EXPECT_EQ(b[44], 0xD4);
}

TEST(Encode, ChatTextIsNulTerminatedPaddedAndCutTo63) {
  Bytes b = Encode(Msg(ChatMessage{"Player 1: hello"}));
  EXPECT_EQ(U32At(b, 0), 2u);
  EXPECT_EQ(std::memcmp(b.data() + 8, "Player 1: hello", 15), 0);
  for (std::size_t i = 8 + 15; i < 72; ++i) EXPECT_EQ(b[i], 0) << i;

  std::string longLine(100, 'a');
  for (std::size_t i = 0; i < longLine.size(); ++i) longLine[i] = static_cast<char>('a' + i % 26);
  Bytes cut = Encode(Msg(ChatMessage{longLine}));
  ASSERT_EQ(cut.size(), 72u);
  EXPECT_EQ(std::memcmp(cut.data() + 8, longLine.data(), 63), 0);
  EXPECT_EQ(cut[71], 0);
  GameMessage back;
  ASSERT_EQ(DecodeBytes(cut, back), DropReason::kNone);
  EXPECT_EQ(std::get<ChatMessage>(back.body).text, longLine.substr(0, 63));
}

// --- Round trips -------------------------------------------------------------

TEST(Decode, EveryKindRoundTrips) {
  {
    GameMessage out;
    ASSERT_EQ(DecodeBytes(Encode(Msg(SomeStatus(), 11)), out), DropReason::kNone);
    EXPECT_EQ(out.kind, MessageKind::kStatus);
    EXPECT_EQ(out.sequence, 11u);
    const auto& s = std::get<StatusMessage>(out.body);
    EXPECT_EQ(s.frags, -3);
    EXPECT_EQ(s.matchMs, 123456789u);
    EXPECT_EQ(s.power, 87);
    EXPECT_EQ(s.weapon, 2);
    EXPECT_EQ(s.spectator, 1);
  }
  {
    GameMessage out;
    ASSERT_EQ(DecodeBytes(Encode(Msg(ChatMessage{"VarnServ: Enemy AI has been set to 3."}, 12)), out),
              DropReason::kNone);
    EXPECT_EQ(out.kind, MessageKind::kChat);
    EXPECT_EQ(out.sequence, 12u);
    EXPECT_EQ(std::get<ChatMessage>(out.body).text, "VarnServ: Enemy AI has been set to 3.");
  }
  {
    GameMessage out;
    ASSERT_EQ(DecodeBytes(Encode(Msg(SomeShot(), 13)), out), DropReason::kNone);
    EXPECT_EQ(out.kind, MessageKind::kShot);
    const auto& s = std::get<ShotMessage>(out.body);
    EXPECT_EQ(s.position, SomeShot().position);
    EXPECT_EQ(s.velocity, SomeShot().velocity);
    EXPECT_EQ(s.weapon, 1);
  }
  {
    GameMessage out;
    ASSERT_EQ(DecodeBytes(Encode(Msg(SomeMovement(), 0xFFFFFFFFu)), out), DropReason::kNone);
    EXPECT_EQ(out.kind, MessageKind::kMovement);
    EXPECT_EQ(out.sequence, 0xFFFFFFFFu);
    const auto& m = std::get<MovementMessage>(out.body);
    const MovementMessage e = SomeMovement();
    EXPECT_EQ(m.x, e.x);
    EXPECT_EQ(m.y, e.y);
    EXPECT_EQ(m.z, e.z);
    EXPECT_EQ(m.pitch, e.pitch);
    EXPECT_EQ(m.yaw, e.yaw);
    EXPECT_EQ(m.roll, e.roll);
    EXPECT_EQ(m.motion, e.motion);
    EXPECT_EQ(m.clockMs, e.clockMs);
  }
}

TEST(Decode, ChatEndsAtTheFirstNulAndControlCharactersBecomeQuestionMarks) {
  Bytes b = Encode(Msg(ChatMessage{""}));
  const char text[] = "a\tb\nc\x1b[2Jd\x7f" "\xe9";
  std::memcpy(b.data() + 8, text, sizeof text - 1);
  // Junk after the terminator is not part of the line.
  std::memcpy(b.data() + 40, "junk", 4);
  GameMessage out;
  ASSERT_EQ(DecodeBytes(b, out), DropReason::kNone);
  EXPECT_EQ(std::get<ChatMessage>(out.body).text, "a?b?c?[2Jd?\xe9");

  Bytes empty = Encode(Msg(ChatMessage{""}));
  ASSERT_EQ(DecodeBytes(empty, out), DropReason::kNone);
  EXPECT_EQ(std::get<ChatMessage>(out.body).text, "");
}

// --- Refusals ----------------------------------------------------------------

TEST(Decode, ShortBuffersUnknownKindsAndWrongSizes) {
  GameMessage untouched;
  EXPECT_EQ(Decode(nullptr, 0, untouched), DropReason::kTooShort);
  Bytes status = Encode(Msg(SomeStatus()));
  EXPECT_EQ(Decode(status.data(), 0, untouched), DropReason::kTooShort);
  EXPECT_EQ(Decode(status.data(), 7, untouched), DropReason::kTooShort);

  for (std::uint32_t kind : {0u, 5u, 0x01000000u, 0xFFFFFFFFu}) {
    Bytes b = status;
    PutU32(b, 0, kind);
    EXPECT_EQ(DecodeBytes(b), DropReason::kUnknownKind) << kind;
  }
  // A bare header of a known kind is not the whole message.
  EXPECT_EQ(Decode(status.data(), 8, untouched), DropReason::kWrongSize);

  for (const MessageBody& body :
       {MessageBody(SomeStatus()), MessageBody(ChatMessage{"x"}), MessageBody(SomeShot()),
        MessageBody(SomeMovement())}) {
    Bytes b = Encode(Msg(body));
    std::size_t size = b.size();
    EXPECT_EQ(Decode(b.data(), size - 1, untouched), DropReason::kWrongSize) << size;
    b.push_back(0);
    EXPECT_EQ(Decode(b.data(), size + 1, untouched), DropReason::kWrongSize) << size;
    EXPECT_EQ(Decode(b.data(), size, untouched), DropReason::kNone) << size;
  }
  // A message of one kind sized as another is refused by its own size.
  Bytes shotAsMovement = Encode(Msg(SomeMovement()));
  PutU32(shotAsMovement, 0, 3);
  EXPECT_EQ(DecodeBytes(shotAsMovement), DropReason::kWrongSize);
}

TEST(Decode, RefusedMessageLeavesTheOutputAlone) {
  GameMessage out = Msg(ChatMessage{"before"}, 99);
  Bytes b = Encode(Msg(SomeShot()));
  PutU32(b, 32, 3);
  ASSERT_EQ(DecodeBytes(b, out), DropReason::kBadWeapon);
  EXPECT_EQ(out.sequence, 99u);
  EXPECT_EQ(std::get<ChatMessage>(out.body).text, "before");
}

TEST(Decode, UnterminatedChat) {
  Bytes b = Encode(Msg(ChatMessage{""}));
  std::memset(b.data() + 8, 'x', 64);
  EXPECT_EQ(DecodeBytes(b), DropReason::kUnterminatedText);
  b[71] = 0;  // the 64th byte may be the terminator
  EXPECT_EQ(DecodeBytes(b), DropReason::kNone);
}

TEST(Decode, WeaponMustBeZeroOneOrTwo) {
  for (std::int32_t weapon : {-1, 3, 1000, std::numeric_limits<std::int32_t>::min()}) {
    Bytes status = Encode(Msg(SomeStatus()));
    PutU32(status, 20, static_cast<std::uint32_t>(weapon));
    EXPECT_EQ(DecodeBytes(status), DropReason::kBadWeapon) << weapon;
    Bytes shot = Encode(Msg(SomeShot()));
    PutU32(shot, 32, static_cast<std::uint32_t>(weapon));
    EXPECT_EQ(DecodeBytes(shot), DropReason::kBadWeapon) << weapon;
  }
  for (std::int32_t weapon : {0, 1, 2}) {
    Bytes shot = Encode(Msg(SomeShot()));
    PutU32(shot, 32, static_cast<std::uint32_t>(weapon));
    EXPECT_EQ(DecodeBytes(shot), DropReason::kNone) << weapon;
  }
}

TEST(Decode, EveryFloatMustBeFinite) {
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(),
                       std::bit_cast<float>(0x7FA00001u) /* signalling NaN */};
  for (float f : bad) {
    for (std::size_t at = 8; at < 32; at += 4) {
      Bytes shot = Encode(Msg(SomeShot()));
      PutF32(shot, at, f);
      EXPECT_EQ(DecodeBytes(shot), DropReason::kNotFinite) << "shot offset " << at;
    }
    for (std::size_t at = 8; at < 44; at += 4) {
      Bytes movement = Encode(Msg(SomeMovement()));
      PutF32(movement, at, f);
      EXPECT_EQ(DecodeBytes(movement), DropReason::kNotFinite) << "movement offset " << at;
    }
  }
  // NaN wins over a bad weapon in the same message.
  Bytes shot = Encode(Msg(SomeShot()));
  PutF32(shot, 8, bad[0]);
  PutU32(shot, 32, 7);
  EXPECT_EQ(DecodeBytes(shot), DropReason::kNotFinite);
}

TEST(Decode, NumbersFarOutsideThePlayableWorldAreRefused) {
  struct Case {
    MessageBody body;
    std::size_t at;
    float accepted;
    float refused;
  };
  const Case cases[] = {
      {SomeShot(), 8, -kCoordinateLimit, -kCoordinateLimit * 1.01f},       // position x
      {SomeShot(), 12, 2500.0f, 1e6f},                                    // position y
      {SomeShot(), 16, kCoordinateLimit, 3e38f},                          // position z
      {SomeShot(), 20, 32.0f, kVelocityLimit * 1.01f},                    // velocity x
      {SomeShot(), 28, -kVelocityLimit, -kVelocityLimit * 2.0f},          // velocity z
      {SomeMovement(), 8, 500.0f, kCoordinateLimit * 1.5f},               // x
      {SomeMovement(), 12, -995.0f, -kCoordinateLimit * 1.5f},            // y
      {SomeMovement(), 16, -500.0f, 1e30f},                               // z
      {SomeMovement(), 20, -3.0f, kAngleLimit * 1.01f},                   // pitch
      {SomeMovement(), 24, 700.0f, -kAngleLimit * 1.01f},                 // yaw
      {SomeMovement(), 28, 0.0f, 1e9f},                                   // roll
      {SomeMovement(), 32, 100.0f, kMotionLimit * 1.01f},                 // motion x
      {SomeMovement(), 40, -kMotionLimit, -kMotionLimit * 1.01f},         // motion z
  };
  for (const Case& c : cases) {
    Bytes b = Encode(Msg(c.body));
    PutF32(b, c.at, c.accepted);
    EXPECT_EQ(DecodeBytes(b), DropReason::kNone) << "kind " << int(b[0]) << " offset " << c.at;
    PutF32(b, c.at, c.refused);
    EXPECT_EQ(DecodeBytes(b), DropReason::kOutOfRange) << "kind " << int(b[0]) << " offset " << c.at;
  }

  struct IntCase {
    std::size_t at;
    std::int32_t accepted;
    std::int32_t refused;
  };
  const IntCase ints[] = {
      {8, -kFragsLimit, -kFragsLimit - 1},  // frags
      {8, 999, kFragsLimit + 1},
      {16, 999, kPowerLimit + 1},  // power
      {16, -200, -kPowerLimit - 1},
      {24, 0, 2},  // spectator flag
      {24, 1, -1},
  };
  for (const IntCase& c : ints) {
    Bytes b = Encode(Msg(SomeStatus()));
    PutU32(b, c.at, static_cast<std::uint32_t>(c.accepted));
    EXPECT_EQ(DecodeBytes(b), DropReason::kNone) << "status offset " << c.at;
    PutU32(b, c.at, static_cast<std::uint32_t>(c.refused));
    EXPECT_EQ(DecodeBytes(b), DropReason::kOutOfRange) << "status offset " << c.at;
  }
  // Every match time and clock value is fine: both are free-running.
  Bytes status = Encode(Msg(SomeStatus()));
  PutU32(status, 12, 0xFFFFFFFFu);
  EXPECT_EQ(DecodeBytes(status), DropReason::kNone);
}

TEST(DropReasons, NamesAreDistinctAndCountsAddUp) {
  std::set<std::string> names;
  for (std::size_t i = 0; i < kDropReasonCount; ++i) {
    const char* name = DropReasonName(static_cast<DropReason>(i));
    ASSERT_NE(name, nullptr);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), kDropReasonCount);
  EXPECT_STREQ(DropReasonName(DropReason::kUnterminatedText), "unterminated text");

  DropCounts counts;
  counts.Count(DropReason::kNone);
  counts.Count(DropReason::kWrongSize);
  counts.Count(DropReason::kWrongSize);
  counts.Count(DropReason::kOutOfRange);
  counts.Count(static_cast<DropReason>(kDropReasonCount));  // no such reason: ignored
  EXPECT_EQ(counts.Of(DropReason::kWrongSize), 2u);
  EXPECT_EQ(counts.Of(DropReason::kOutOfRange), 1u);
  EXPECT_EQ(counts.Of(DropReason::kNone), 1u);
  EXPECT_EQ(counts.Dropped(), 3u);
}

}  // namespace
}  // namespace halvex::net
