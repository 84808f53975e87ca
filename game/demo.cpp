#include "game/demo.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace halvex::game {

namespace {

constexpr std::string_view kMagic = "halvex demo 1";

// Splits off the next blank-separated word of `rest`.
std::string_view Word(std::string_view& rest) {
  const auto start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  const auto end = rest.find(' ');
  const std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  return word;
}

template <typename T>
bool Number(std::string_view text, T& out, int base = 10) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, out, base);
  return ec == std::errc() && p == end;
}

bool Keys(std::string_view text, InputSnapshot& in) {
  if (text == "-") return true;
  while (!text.empty()) {
    const auto comma = text.find(',');
    unsigned code = 0;
    if (!Number(text.substr(0, comma), code, 16) || code > 0xff) return false;
    in.keys[code] = 0x80;
    text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
  }
  return true;
}

bool Buttons(std::string_view text, InputSnapshot& in) {
  if (text.size() != in.buttons.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '0' && text[i] != '1') return false;
    in.buttons[i] = text[i] == '1' ? 0x80 : 0;
  }
  return true;
}

bool Flag(std::string_view text, bool& out) {
  if (text != "0" && text != "1") return false;
  out = text == "1";
  return true;
}

bool FrameLine(std::string_view rest, DemoFrame& f) {
  return Number(Word(rest), f.clockMs) && Number(Word(rest), f.input.lX) &&
         Number(Word(rest), f.input.lY) && Number(Word(rest), f.input.lZ) &&
         Buttons(Word(rest), f.input) && Flag(Word(rest), f.focusLost) &&
         Flag(Word(rest), f.chatEntryOpen) && Keys(Word(rest), f.input) && Word(rest).empty();
}

bool HeaderLine(std::string_view label, std::string_view rest, DemoHeader& h) {
  if (label == "name" || label == "area") {
    if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    (label == "name" ? h.playerName : h.areaName) = std::string(rest);
    return true;
  }
  if (label == "advanced") {
    for (int& value : h.advanced) {
      if (!Number(Word(rest), value)) return false;
    }
    return Word(rest).empty();
  }
  bool ok = false;
  if (label == "seed") ok = Number(Word(rest), h.seed);
  if (label == "random") ok = Number(Word(rest), h.randomState);
  if (label == "start") ok = Number(Word(rest), h.startMs);
  if (label == "bots") ok = Number(Word(rest), h.bots) && h.bots >= 0 && h.bots <= 32;
  if (label == "difficulty") ok = Number(Word(rest), h.difficulty) && h.difficulty >= 0 && h.difficulty <= 4;
  if (label == "blood") ok = Number(Word(rest), h.blood) && h.blood >= -1 && h.blood <= 10;
  return ok && Word(rest).empty();
}

// A line of text as one line: breaks and other controls become blanks.
std::string OneLine(std::string text) {
  if (text.size() > kMaxDemoLineChars - 8) text.resize(kMaxDemoLineChars - 8);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return text;
}

}  // namespace

std::unique_ptr<Demo> ParseDemo(std::string_view text, std::string* error) {
  auto demo = std::make_unique<Demo>();
  DemoFrame pending;
  bool inFrames = false;
  int lineNumber = 0;
  auto fail = [&](const char* what) {
    if (error) *error = "line " + std::to_string(lineNumber) + ": " + what;
    return nullptr;
  };
  while (!text.empty()) {
    ++lineNumber;
    const auto newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxDemoLineChars) return fail("the line is too long");
    if (lineNumber == 1) {
      if (line != kMagic) return fail("not a halvex demo (or a newer kind)");
      continue;
    }
    if (demo->ended) return fail("text after the end line");
    std::string_view rest = line;
    const std::string_view label = Word(rest);
    if (!inFrames) {
      if (label == "frames") {
        inFrames = true;
      } else if (!HeaderLine(label, rest, demo->header)) {
        return fail("a broken setting");
      }
      continue;
    }
    if (label == "f") {
      if (!FrameLine(rest, pending)) return fail("a broken frame");
      demo->frames.push_back(std::move(pending));
      pending = DemoFrame{};
    } else if (label == "a") {
      std::uint64_t ms = 0;
      if (!Number(Word(rest), ms) || !Word(rest).empty()) return fail("a broken time step");
      pending.absorbed.push_back(ms);
    } else if (label == "t" || label == "m") {
      if (!rest.empty()) rest.remove_prefix(1);
      pending.lines.emplace_back(label == "t", std::string(rest));
    } else if (label == "end") {
      long frames = 0;
      if (!Number(Word(rest), frames) || !Number(Word(rest), demo->endHash, 16) ||
          frames != static_cast<long>(demo->frames.size()))
        return fail("a broken end line");
      demo->ended = true;
    } else {
      return fail("an unknown record");
    }
  }
  if (!inFrames) return fail("no frames");
  return demo;
}

std::unique_ptr<Demo> ReadDemo(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot be read";
    return nullptr;
  }
  std::string text;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxDemoBytes) {
      if (error) *error = "is larger than 256 MiB";
      return nullptr;
    }
  }
  return ParseDemo(text, error);
}

DemoWriter::~DemoWriter() {
  if (file_) std::fclose(file_);
}

bool DemoWriter::Open(const std::string& path, const DemoHeader& h, std::string* error) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    if (error) *error = "cannot be created";
    return false;
  }
  std::fprintf(file_, "%.*s\nseed %u\nrandom %u\nstart %llu\nname %s\narea %s\nbots %d\n"
               "difficulty %d\nblood %d\nadvanced",
               static_cast<int>(kMagic.size()), kMagic.data(), h.seed, h.randomState,
               static_cast<unsigned long long>(h.startMs), OneLine(h.playerName).c_str(),
               OneLine(h.areaName).c_str(), h.bots, h.difficulty, h.blood);
  for (int value : h.advanced) std::fprintf(file_, " %d", value);
  std::fputs("\nframes\n", file_);
  return true;
}

void DemoWriter::Absorbed(std::uint64_t clockMs) {
  if (file_) std::fprintf(file_, "a %llu\n", static_cast<unsigned long long>(clockMs));
}

void DemoWriter::Line(bool typed, const std::string& text) {
  if (file_) std::fprintf(file_, "%c %s\n", typed ? 't' : 'm', OneLine(text).c_str());
}

void DemoWriter::Frame(std::uint64_t clockMs, const InputSnapshot& in, bool focusLost,
                       bool chatEntryOpen) {
  if (!file_) return;
  std::fprintf(file_, "f %llu %d %d %d %c%c%c%c %d %d ", static_cast<unsigned long long>(clockMs),
               in.lX, in.lY, in.lZ, in.buttons[0] ? '1' : '0', in.buttons[1] ? '1' : '0',
               in.buttons[2] ? '1' : '0', in.buttons[3] ? '1' : '0', focusLost ? 1 : 0,
               chatEntryOpen ? 1 : 0);
  bool any = false;
  for (std::size_t k = 0; k < in.keys.size(); ++k) {
    if (!(in.keys[k] & 0x80)) continue;
    std::fprintf(file_, any ? ",%zx" : "%zx", k);
    any = true;
  }
  std::fputs(any ? "\n" : "-\n", file_);
}

bool DemoWriter::Close(long frames, std::uint64_t stateHash) {
  if (!file_) return false;
  std::fprintf(file_, "end %ld %016llx\n", frames, static_cast<unsigned long long>(stateHash));
  const bool ok = !std::ferror(file_);
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok && closed;
}

}  // namespace halvex::game
