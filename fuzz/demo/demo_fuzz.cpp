// Demo files (--play) as the game reads them. A demo that parses holds only
// what a recording can hold: keys and buttons at 0 or 0x80, settings in their
// ranges, and an end line that counts its frames.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "game/demo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace halvex::game;
  std::string error;
  auto demo = ParseDemo(std::string_view(reinterpret_cast<const char*>(data), size), &error);
  if (!demo) {
    FUZZ_CHECK(error.starts_with("line "));
    return 0;
  }
  const DemoHeader& h = demo->header;
  FUZZ_CHECK(h.bots >= 0 && h.bots <= 32);
  FUZZ_CHECK(h.difficulty >= 0 && h.difficulty <= 4);
  FUZZ_CHECK(h.blood >= -1 && h.blood <= 10);
  for (const DemoFrame& f : demo->frames) {
    for (std::uint8_t k : f.input.keys) FUZZ_CHECK(k == 0 || k == 0x80);
    for (std::uint8_t b : f.input.buttons) FUZZ_CHECK(b == 0 || b == 0x80);
    for (const auto& line : f.lines) FUZZ_CHECK(line.second.find('\n') == std::string::npos);
  }
  return 0;
}
