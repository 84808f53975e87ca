#include "platform/sound/midi_check.h"

#include <algorithm>
#include <cstring>

namespace halvex::platform {
namespace {

// Reads inside [pos, end); every read fails once past the end.
struct Reader {
  const uint8_t* pos;
  const uint8_t* end;

  size_t left() const { return static_cast<size_t>(end - pos); }
  bool Byte(uint8_t& out) {
    if (pos >= end) return false;
    out = *pos++;
    return true;
  }
  bool Big(int bytes, uint32_t& out) {
    if (left() < static_cast<size_t>(bytes)) return false;
    out = 0;
    for (int i = 0; i < bytes; ++i) out = (out << 8) | *pos++;
    return true;
  }
  // MIDI variable-length quantity: at most four bytes.
  bool VarLen(uint32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(b)) return false;
      out = (out << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) return true;
    }
    return false;
  }
  bool Skip(uint32_t n) {
    if (left() < n) return false;
    pos += n;
    return true;
  }
};

int DataBytesOf(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

bool TrackParses(Reader track) {
  uint8_t running = 0;
  while (track.left() > 0) {
    uint32_t delta, length;
    uint8_t first;
    if (!track.VarLen(delta) || !track.Byte(first)) return false;
    if (first == 0xFF) {  // meta event
      uint8_t type;
      if (!track.Byte(type) || !track.VarLen(length) || !track.Skip(length)) return false;
      if (type == 0x2F) return true;  // end of track
      continue;
    }
    if (first == 0xF0 || first == 0xF7) {  // system exclusive
      if (!track.VarLen(length) || !track.Skip(length)) return false;
      continue;
    }
    if (first >= 0xF1) return false;  // real-time and common messages have no place in a file
    int data = 0;
    if (first & 0x80) {
      running = first;
      data = DataBytesOf(running);
    } else {
      if (running == 0) return false;  // data byte with no status before it
      data = DataBytesOf(running) - 1;
    }
    for (int i = 0; i < data; ++i) {
      uint8_t b;
      if (!track.Byte(b) || (b & 0x80)) return false;
    }
  }
  return true;  // ran to the chunk's end without an end-of-track event
}

}  // namespace

bool IsPlayableMidi(const uint8_t* bytes, size_t size) {
  Reader file{bytes, bytes + size};
  uint32_t headerLength, format, tracks, division;
  if (size < 14 || std::memcmp(bytes, "MThd", 4) != 0) return false;
  file.pos += 4;
  if (!file.Big(4, headerLength) || headerLength < 6) return false;
  Reader header{file.pos, file.pos + std::min<size_t>(headerLength, file.left())};
  if (!header.Big(2, format) || !header.Big(2, tracks) || !header.Big(2, division)) return false;
  if (format > 2 || tracks == 0 || division == 0) return false;
  if (!file.Skip(headerLength)) return false;

  uint32_t found = 0;
  while (found < tracks) {
    uint32_t length;
    if (file.left() < 8) return false;
    const bool isTrack = std::memcmp(file.pos, "MTrk", 4) == 0;
    file.pos += 4;
    if (!file.Big(4, length) || file.left() < length) return false;
    if (isTrack) {
      if (!TrackParses({file.pos, file.pos + length})) return false;
      ++found;
    }
    file.pos += length;
  }
  return true;
}

}  // namespace halvex::platform
