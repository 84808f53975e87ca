#include "net/protocol/wire.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace halvex::net {

namespace {

// Byte by byte, so the layout does not depend on the host's endianness or
// on how the compiler pads a struct.
class Writer {
 public:
  explicit Writer(std::size_t size) : bytes_(size, 0) {}

  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at_++] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
  void V3(const Vec3& v) {
    F32(v.x);
    F32(v.y);
    F32(v.z);
  }
  void Text(const std::string& text, std::size_t field) {
    std::size_t n = std::min(text.size(), field - 1);
    std::memcpy(bytes_.data() + at_, text.data(), n);
    at_ += field;  // the rest, terminator included, stays 0
  }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

// Reads from a buffer whose size the caller has already checked against the
// kind's layout, so every read here is in bounds.
class Reader {
 public:
  explicit Reader(const std::uint8_t* data) : data_(data) {}

  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(data_[at_++]) << (8 * i);
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  float F32() { return std::bit_cast<float>(U32()); }
  Vec3 V3() {
    float x = F32();
    float y = F32();
    float z = F32();
    return Vec3(x, y, z);
  }
  const std::uint8_t* Bytes(std::size_t n) {
    const std::uint8_t* p = data_ + at_;
    at_ += n;
    return p;
  }

 private:
  const std::uint8_t* data_;
  std::size_t at_ = 0;
};

// Finite and within limit: one verdict for a group of floats.
DropReason CheckFloats(std::initializer_list<float> values, float limit) {
  for (float v : values)
    if (!std::isfinite(v)) return DropReason::kNotFinite;
  for (float v : values)
    if (std::fabs(v) > limit) return DropReason::kOutOfRange;
  return DropReason::kNone;
}

DropReason CheckVec(const Vec3& v, float limit) { return CheckFloats({v.x, v.y, v.z}, limit); }

// The first failing verdict, finite-ness before range, so that a message
// with a NaN anywhere reads as kNotFinite.
DropReason Worst(std::initializer_list<DropReason> verdicts) {
  for (DropReason r : verdicts)
    if (r == DropReason::kNotFinite) return r;
  for (DropReason r : verdicts)
    if (r != DropReason::kNone) return r;
  return DropReason::kNone;
}

bool ValidWeapon(std::int32_t w) { return w >= 0 && w <= 2; }

DropReason ReadStatus(Reader& r, StatusMessage& m) {
  m.frags = r.I32();
  m.matchMs = r.U32();
  m.power = r.I32();
  m.weapon = r.I32();
  m.spectator = r.I32();
  if (!ValidWeapon(m.weapon)) return DropReason::kBadWeapon;
  if (m.frags < -kFragsLimit || m.frags > kFragsLimit || m.power < -kPowerLimit ||
      m.power > kPowerLimit || (m.spectator != 0 && m.spectator != 1))
    return DropReason::kOutOfRange;
  return DropReason::kNone;
}

DropReason ReadChat(Reader& r, ChatMessage& m) {
  const std::uint8_t* text = r.Bytes(kChatTextBytes);
  const void* end = std::memchr(text, 0, kChatTextBytes);
  if (end == nullptr) return DropReason::kUnterminatedText;
  std::size_t n = static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - text);
  m.text.assign(reinterpret_cast<const char*>(text), n);
  for (char& c : m.text) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) c = '?';
  }
  return DropReason::kNone;
}

DropReason ReadShot(Reader& r, ShotMessage& m) {
  m.position = r.V3();
  m.velocity = r.V3();
  m.weapon = r.I32();
  DropReason floats =
      Worst({CheckVec(m.position, kCoordinateLimit), CheckVec(m.velocity, kVelocityLimit)});
  if (floats == DropReason::kNotFinite) return floats;
  if (!ValidWeapon(m.weapon)) return DropReason::kBadWeapon;
  return floats;
}

DropReason ReadMovement(Reader& r, MovementMessage& m) {
  m.x = r.F32();
  m.y = r.F32();
  m.z = r.F32();
  m.pitch = r.F32();
  m.yaw = r.F32();
  m.roll = r.F32();
  m.motion = r.V3();
  m.clockMs = r.U32();
  return Worst({CheckFloats({m.x, m.y, m.z}, kCoordinateLimit),
                CheckFloats({m.pitch, m.yaw, m.roll}, kAngleLimit),
                CheckVec(m.motion, kMotionLimit)});
}

}  // namespace

GameMessage Stamp(SequenceCounter& counter, MessageBody body) {
  GameMessage m;
  m.kind = KindOf(body);
  m.sequence = counter.Next();
  m.body = std::move(body);
  return m;
}

std::vector<std::uint8_t> Encode(const GameMessage& message) {
  MessageKind kind = KindOf(message.body);
  Writer w(ParametersOf(kind)->size);
  w.U32(static_cast<std::uint32_t>(kind));
  w.U32(message.sequence);
  std::visit(
      [&w](const auto& b) {
        using T = std::decay_t<decltype(b)>;
        if constexpr (std::is_same_v<T, StatusMessage>) {
          w.I32(b.frags);
          w.U32(b.matchMs);
          w.I32(b.power);
          w.I32(b.weapon);
          w.I32(b.spectator);
        } else if constexpr (std::is_same_v<T, ChatMessage>) {
          w.Text(b.text, kChatTextBytes);
        } else if constexpr (std::is_same_v<T, ShotMessage>) {
          w.V3(b.position);
          w.V3(b.velocity);
          w.I32(b.weapon);
        } else {
          w.F32(b.x);
          w.F32(b.y);
          w.F32(b.z);
          w.F32(b.pitch);
          w.F32(b.yaw);
          w.F32(b.roll);
          w.V3(b.motion);
          w.U32(b.clockMs);
        }
      },
      message.body);
  return w.Take();
}

DropReason Decode(const std::uint8_t* data, std::size_t size, GameMessage& out) {
  if (data == nullptr || size < kHeaderSize) return DropReason::kTooShort;
  Reader r(data);
  auto kind = static_cast<MessageKind>(r.U32());
  const SendParameters* params = ParametersOf(kind);
  if (params == nullptr) return DropReason::kUnknownKind;
  if (size != params->size) return DropReason::kWrongSize;

  GameMessage m;
  m.kind = kind;
  m.sequence = r.U32();
  DropReason reason = DropReason::kNone;
  switch (kind) {
    case MessageKind::kStatus:
      reason = ReadStatus(r, m.body.emplace<StatusMessage>());
      break;
    case MessageKind::kChat:
      reason = ReadChat(r, m.body.emplace<ChatMessage>());
      break;
    case MessageKind::kShot:
      reason = ReadShot(r, m.body.emplace<ShotMessage>());
      break;
    case MessageKind::kMovement:
      reason = ReadMovement(r, m.body.emplace<MovementMessage>());
      break;
  }
  if (reason == DropReason::kNone) out = std::move(m);
  return reason;
}

const char* DropReasonName(DropReason reason) {
  switch (reason) {
    case DropReason::kNone: return "none";
    case DropReason::kTooShort: return "too short";
    case DropReason::kUnknownKind: return "unknown kind";
    case DropReason::kWrongSize: return "wrong size";
    case DropReason::kUnterminatedText: return "unterminated text";
    case DropReason::kBadWeapon: return "bad weapon";
    case DropReason::kNotFinite: return "not finite";
    case DropReason::kOutOfRange: return "out of range";
  }
  return "unknown reason";
}

std::uint64_t DropCounts::Dropped() const {
  std::uint64_t n = 0;
  for (std::size_t i = 1; i < byReason.size(); ++i) n += byReason[i];
  return n;
}

}  // namespace halvex::net
