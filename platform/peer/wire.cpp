#include "platform/peer/wire.h"

#include <algorithm>
#include <cstring>

namespace halvex::peer::wire {
namespace {

enum : std::uint8_t { kDatagramQuery = 1, kDatagramReply = 2 };

// Little-endian writer.
class Writer {
 public:
  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U16(std::uint16_t v) {
    for (int i = 0; i < 2; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void U64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
  }
  // The ip is already in network order: kept as its bytes.
  void Ip(std::uint32_t ip) { Raw(&ip, 4); }
  void Str(const std::string& s, std::size_t max) {
    std::string cut = CutName(s, max);
    U8(static_cast<std::uint8_t>(cut.size()));
    Raw(cut.data(), cut.size());
  }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Bounds-checked reader: every read past the end fails and sticks.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return ok_ && left_ == 0; }
  std::size_t left() const { return left_; }
  const std::uint8_t* here() const { return p_; }

  std::uint8_t U8() {
    std::uint8_t v = 0;
    if (Need(1)) v = p_[0], Skip(1);
    return v;
  }
  std::uint16_t U16() {
    std::uint16_t v = 0;
    if (Need(2)) v = static_cast<std::uint16_t>(p_[0] | (p_[1] << 8)), Skip(2);
    return v;
  }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    if (Need(4)) {
      for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p_[i]) << (8 * i);
      Skip(4);
    }
    return v;
  }
  std::uint64_t U64() {
    std::uint64_t v = 0;
    if (Need(8)) {
      for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(p_[i]) << (8 * i);
      Skip(8);
    }
    return v;
  }
  void Raw(void* out, std::size_t n) {
    if (Need(n)) std::memcpy(out, p_, n), Skip(n);
  }
  std::uint32_t Ip() {
    std::uint32_t ip = 0;
    Raw(&ip, 4);
    return ip;
  }
  std::string Str(std::size_t max) {
    std::size_t n = U8();
    if (n > max) ok_ = false;
    if (!ok_ || !Need(n)) return {};
    std::string s(reinterpret_cast<const char*>(p_), n);
    Skip(n);
    return s;
  }
  void Fail() { ok_ = false; }

 private:
  bool Need(std::size_t n) {
    if (!ok_ || n > left_) ok_ = false;
    return ok_;
  }
  void Skip(std::size_t n) { p_ += n, left_ -= n; }

  const std::uint8_t* p_;
  std::size_t left_;
  bool ok_ = true;
};

bool KnownReason(std::uint8_t r) { return r >= 1 && r <= 5; }

}  // namespace

std::string CutName(const std::string& s, std::size_t max) {
  if (s.size() <= max) return s;
  std::size_t n = max;
  // s[n] is the first byte left out; if it continues a sequence, that
  // sequence started inside the kept part and goes too.
  while (n > 0 && (static_cast<std::uint8_t>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

bool Read(const std::uint8_t* data, std::size_t size, Message* out) {
  if (data == nullptr || size == 0) return false;
  Reader r(data, size);
  Message m;
  std::uint8_t kind = r.U8();
  switch (kind) {
    case static_cast<std::uint8_t>(Kind::kJoin):
      r.Raw(m.appId.data(), m.appId.size());
      m.listenPort = r.U16();
      m.name = r.Str(kMaxNameBytes);
      break;
    case static_cast<std::uint8_t>(Kind::kWelcome): {
      r.Raw(m.appId.data(), m.appId.size());
      m.id = r.U32();
      m.hostId = r.U32();
      m.name = r.Str(kMaxNameBytes);
      m.session.instance = r.U64();
      std::uint8_t maxPlayers = r.U8();
      std::uint8_t migrate = r.U8();
      m.session.sessionName = r.Str(kMaxSessionNameBytes);
      std::uint8_t count = r.U8();
      if (maxPlayers > kMaxPlayers || migrate > 1 || count > kMaxMembers) r.Fail();
      if (m.id == 0 || m.hostId == 0 || m.id == m.hostId) r.Fail();
      m.session.maxPlayers = maxPlayers;
      m.session.migrateHost = migrate != 0;
      for (std::uint8_t i = 0; i < count && r.ok(); ++i) {
        Member mem;
        mem.id = r.U32();
        mem.ip = r.Ip();
        mem.port = r.U16();
        mem.name = r.Str(kMaxNameBytes);
        if (mem.id == 0 || mem.id == m.id || mem.id == m.hostId || mem.port == 0) r.Fail();
        for (const Member& other : m.members)
          if (other.id == mem.id) r.Fail();
        m.members.push_back(std::move(mem));
      }
      break;
    }
    case static_cast<std::uint8_t>(Kind::kRefuse): {
      std::uint8_t reason = r.U8();
      if (!KnownReason(reason)) r.Fail();
      m.reason = static_cast<RefuseReason>(reason);
      break;
    }
    case static_cast<std::uint8_t>(Kind::kIntro):
      r.Raw(m.appId.data(), m.appId.size());
      m.session.instance = r.U64();
      m.id = r.U32();
      m.listenPort = r.U16();
      m.name = r.Str(kMaxNameBytes);
      if (m.id == 0) r.Fail();
      break;
    case static_cast<std::uint8_t>(Kind::kIntroAck):
      m.id = r.U32();
      m.name = r.Str(kMaxNameBytes);
      if (m.id == 0) r.Fail();
      break;
    case static_cast<std::uint8_t>(Kind::kAdmitted):
      m.id = r.U32();
      if (m.id == 0) r.Fail();
      break;
    case static_cast<std::uint8_t>(Kind::kPing):
    case static_cast<std::uint8_t>(Kind::kPong):
      m.stamp = r.U32();
      break;
    case static_cast<std::uint8_t>(Kind::kData):
      if (r.left() > kMaxMessageBytes) return false;
      m.payload = r.here();
      m.payloadSize = r.left();
      m.kind = Kind::kData;
      *out = std::move(m);
      return true;
    default:
      return false;
  }
  if (!r.AtEnd()) return false;
  m.kind = static_cast<Kind>(kind);
  *out = std::move(m);
  return true;
}

std::vector<std::uint8_t> Write(const Message& m) {
  Writer w;
  w.U8(static_cast<std::uint8_t>(m.kind));
  switch (m.kind) {
    case Kind::kJoin:
      w.Raw(m.appId.data(), m.appId.size());
      w.U16(m.listenPort);
      w.Str(m.name, kMaxNameBytes);
      break;
    case Kind::kWelcome: {
      w.Raw(m.appId.data(), m.appId.size());
      w.U32(m.id);
      w.U32(m.hostId);
      w.Str(m.name, kMaxNameBytes);
      w.U64(m.session.instance);
      w.U8(static_cast<std::uint8_t>(std::clamp(m.session.maxPlayers, 0, kMaxPlayers)));
      w.U8(m.session.migrateHost ? 1 : 0);
      w.Str(m.session.sessionName, kMaxSessionNameBytes);
      std::size_t count = std::min(m.members.size(), kMaxMembers);
      w.U8(static_cast<std::uint8_t>(count));
      for (std::size_t i = 0; i < count; ++i) {
        w.U32(m.members[i].id);
        w.Ip(m.members[i].ip);
        w.U16(m.members[i].port);
        w.Str(m.members[i].name, kMaxNameBytes);
      }
      break;
    }
    case Kind::kRefuse:
      w.U8(static_cast<std::uint8_t>(m.reason));
      break;
    case Kind::kIntro:
      w.Raw(m.appId.data(), m.appId.size());
      w.U64(m.session.instance);
      w.U32(m.id);
      w.U16(m.listenPort);
      w.Str(m.name, kMaxNameBytes);
      break;
    case Kind::kIntroAck:
      w.U32(m.id);
      w.Str(m.name, kMaxNameBytes);
      break;
    case Kind::kAdmitted:
      w.U32(m.id);
      break;
    case Kind::kPing:
    case Kind::kPong:
      w.U32(m.stamp);
      break;
    case Kind::kData:
      if (m.payload != nullptr) w.Raw(m.payload, std::min(m.payloadSize, kMaxMessageBytes));
      break;
  }
  return w.Take();
}

DatagramKind ReadDatagram(const std::uint8_t* data, std::size_t size, Query* query, QueryReply* reply) {
  if (data == nullptr || size < sizeof kDatagramMagic || std::memcmp(data, kDatagramMagic, sizeof kDatagramMagic) != 0)
    return DatagramKind::kNotOurs;
  Reader r(data + sizeof kDatagramMagic, size - sizeof kDatagramMagic);
  std::uint8_t kind = r.U8();
  if (kind == kDatagramQuery) {
    Query q;
    r.Raw(q.appId.data(), q.appId.size());
    q.stamp = r.U32();
    if (!r.AtEnd()) return DatagramKind::kMalformed;
    *query = q;
    return DatagramKind::kQuery;
  }
  if (kind == kDatagramReply) {
    QueryReply q;
    r.Raw(q.appId.data(), q.appId.size());
    q.stamp = r.U32();
    q.instance = r.U64();
    q.players = r.U8();
    q.maxPlayers = r.U8();
    std::uint8_t migrate = r.U8();
    q.migrateHost = migrate != 0;
    q.sessionName = r.Str(kMaxSessionNameBytes);
    if (!r.AtEnd() || q.players > kMaxPlayers || q.maxPlayers > kMaxPlayers || migrate > 1)
      return DatagramKind::kMalformed;
    *reply = std::move(q);
    return DatagramKind::kReply;
  }
  return DatagramKind::kMalformed;
}

std::vector<std::uint8_t> WriteQuery(const Query& q) {
  Writer w;
  w.Raw(kDatagramMagic, sizeof kDatagramMagic);
  w.U8(kDatagramQuery);
  w.Raw(q.appId.data(), q.appId.size());
  w.U32(q.stamp);
  return w.Take();
}

std::vector<std::uint8_t> WriteReply(const QueryReply& r) {
  Writer w;
  w.Raw(kDatagramMagic, sizeof kDatagramMagic);
  w.U8(kDatagramReply);
  w.Raw(r.appId.data(), r.appId.size());
  w.U32(r.stamp);
  w.U64(r.instance);
  w.U8(std::min<std::uint8_t>(r.players, kMaxPlayers));
  w.U8(std::min<std::uint8_t>(r.maxPlayers, kMaxPlayers));
  w.U8(r.migrateHost ? 1 : 0);
  w.Str(r.sessionName, kMaxSessionNameBytes);
  return w.Take();
}

}  // namespace halvex::peer::wire
