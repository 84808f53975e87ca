// Recorded matches. A demo holds what a match cannot work out for itself:
// the settings and random state it started from, the clock at every time
// step (the absorbed ones too), each frame's final input, and what the
// window thread told it (chat lines, the chat entry closing, the focus).
// Played back through the same frame code, it gives the same match, which
// its last line's state hash lets anyone check.
//
// The file is text, one record a line:
//
//   halvex demo 1
//   seed 5            the run's seed (for the reader; the state below is what counts)
//   random 12345      the generator's state when the match was set up
//   start 81234       the clock then, in milliseconds
//   name Player 1
//   area Sunken Citadel
//   bots 8
//   difficulty 2
//   blood 1
//   advanced 1 1 1 1 1 1 1 1 1 1 1 0 0 0 1 0 0 1     the 18 switches, in table order
//   frames
//   a 81300           a time step the match absorbed (too long)
//   t hello           a typed chat line applied at the next frame's start
//   m text            a message line applied there
//   f 81316 3 -2 0 1000 0 0 11,1e     clock, mouse x y wheel, buttons, focus lost,
//                     chat entry open, held keys (hex scan codes, "-" for none)
//   end 1200 4c5b3880b2e095fd         frames and the state hash at the end
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/input.h"

namespace halvex::game {

inline constexpr std::size_t kMaxDemoBytes = 256u << 20;
inline constexpr std::size_t kMaxDemoLineChars = 512;
inline constexpr std::size_t kDemoAdvancedCount = 18;

struct DemoHeader {
  std::uint32_t seed = 0;
  std::uint32_t randomState = 0;
  std::uint64_t startMs = 0;
  std::string playerName;
  std::string areaName;
  int bots = 0;
  int difficulty = 0;
  int blood = 0;
  std::array<int, kDemoAdvancedCount> advanced{};
};

struct DemoFrame {
  std::vector<std::uint64_t> absorbed;  // clock values of the steps absorbed before this frame
  std::uint64_t clockMs = 0;
  InputSnapshot input;
  bool focusLost = false;
  bool chatEntryOpen = false;
  std::vector<std::pair<bool, std::string>> lines;  // (typed, text), applied at the frame's start
};

struct Demo {
  DemoHeader header;
  std::vector<DemoFrame> frames;
  bool ended = false;  // the recording reached its end line
  std::uint64_t endHash = 0;
};

// Parses a demo's text; on a fault returns nothing with *error set to
// "line N: what is wrong".
std::unique_ptr<Demo> ParseDemo(std::string_view text, std::string* error);
// Reads and parses a file (at most kMaxDemoBytes).
std::unique_ptr<Demo> ReadDemo(const std::string& path, std::string* error);

// Writes a demo as the match runs; every call appends, and the file is
// flushed at the end. Lines are kept to one line of text each.
class DemoWriter {
 public:
  ~DemoWriter();
  // False (with *error) when the file cannot be created.
  bool Open(const std::string& path, const DemoHeader& header, std::string* error);
  void Absorbed(std::uint64_t clockMs);
  void Line(bool typed, const std::string& text);
  void Frame(std::uint64_t clockMs, const InputSnapshot& input, bool focusLost, bool chatEntryOpen);
  // The end line; false when anything could not be written.
  bool Close(long frames, std::uint64_t stateHash);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace halvex::game
