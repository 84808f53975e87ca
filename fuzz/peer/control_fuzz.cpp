// Bytes as a peer could send them, read as a control message and as a
// query datagram. Whatever the reader accepts must write back to bytes it
// reads the same way (and, for everything but game data, to the very bytes).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/peer/wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace halvex::peer::wire;
  Message m;
  if (Read(data, size, &m)) {
    if (m.kind == Kind::kData) {
      if (m.payloadSize + 1 != size || (m.payloadSize != 0 && m.payload != data + 1)) std::abort();
    } else {
      std::vector<std::uint8_t> again = Write(m);
      if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
    }
  }
  Query q;
  QueryReply r;
  switch (ReadDatagram(data, size, &q, &r)) {
    case DatagramKind::kQuery: {
      std::vector<std::uint8_t> again = WriteQuery(q);
      if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
      break;
    }
    case DatagramKind::kReply: {
      std::vector<std::uint8_t> again = WriteReply(r);
      if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
      break;
    }
    case DatagramKind::kNotOurs:
    case DatagramKind::kMalformed:
      break;
  }
  return 0;
}
