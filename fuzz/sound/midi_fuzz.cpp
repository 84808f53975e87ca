// The check a soundtrack file that will play as MIDI passes before the
// synthesizer sees it: any bytes, every length in them bounds-checked. A
// file it accepts must still be accepted with bytes appended after it (the
// check reads only what the header and track lengths cover).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/sound/midi_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using halvex::platform::IsPlayableMidi;
  // An exact-size copy, so a read past the end is caught.
  std::vector<uint8_t> bytes(data, data + size);
  if (!IsPlayableMidi(bytes.data(), bytes.size())) return 0;
  bytes.push_back(0);
  if (!IsPlayableMidi(bytes.data(), bytes.size())) std::abort();
  return 0;
}
