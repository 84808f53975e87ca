// Input scripts (--script) as the game and the match runner read them: a
// script that parses is played frame by frame, as the match asks for input,
// and then to its end. Held keys and buttons carry only 0 or 0x80, and every
// line said is one the script's syntax allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "tools/matchrunner/script.h"
#include "fuzz/fuzz_check.h"

namespace {

void CheckSnapshot(const halvex::InputSnapshot& in) {
  for (std::uint8_t k : in.keys) FUZZ_CHECK(k == 0 || k == 0x80);
  for (std::uint8_t b : in.buttons) FUZZ_CHECK(b == 0 || b == 0x80);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace halvex;
  InputScript script;
  std::string error;
  if (!script.Parse(std::string_view(reinterpret_cast<const char*>(data), size), &error)) {
    FUZZ_CHECK(error.starts_with("line "));
    return 0;
  }
  std::vector<std::string> said;
  for (std::uint64_t frame = 0; frame < 64; ++frame) CheckSnapshot(script.Next(frame, &said));
  CheckSnapshot(script.Next(std::numeric_limits<std::uint64_t>::max(), &said));
  for (const std::string& line : said)
    FUZZ_CHECK(!line.empty() && line.size() <= kMaxScriptSayChars && line.find('\n') == std::string::npos);
  return 0;
}
