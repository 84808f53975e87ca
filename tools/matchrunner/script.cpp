#include "tools/matchrunner/script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

namespace halvex {

namespace {

struct NamedKey {
  const char* name;
  int code;
};
constexpr NamedKey kKeys[] = {
    {"W", scancode::kW}, {"A", scancode::kA}, {"S", scancode::kS}, {"D", scancode::kD},
    {"SPACE", scancode::kSpace}, {"ESCAPE", scancode::kEscape}, {"ENTER", scancode::kEnter},
    {"PAUSE", scancode::kPause}, {"1", scancode::k1}, {"2", scancode::k2}, {"3", scancode::k3},
    {"F2", scancode::kF2}, {"F3", scancode::kF3}, {"F4", scancode::kF4}, {"F5", scancode::kF5},
    {"F6", scancode::kF6}, {"F7", scancode::kF7}, {"F8", scancode::kF8}, {"F9", scancode::kF9},
    {"F10", scancode::kF10}, {"F11", scancode::kF11}, {"F12", scancode::kF12},
};

bool ParseInt(const std::string& s, long long* out) {
  int base = 10;
  std::string_view v = s;
  bool neg = false;
  if (!v.empty() && (v[0] == '-' || v[0] == '+')) {
    neg = v[0] == '-';
    v.remove_prefix(1);
  }
  if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    base = 16;
    v.remove_prefix(2);
  }
  long long value = 0;
  auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), value, base);
  if (ec != std::errc() || p != v.data() + v.size() || v.empty()) return false;
  *out = neg ? -value : value;
  return true;
}

}  // namespace

int ScanCodeForName(std::string_view name) {
  std::string upper(name);
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  for (const NamedKey& k : kKeys)
    if (upper == k.name) return k.code;
  long long code;
  if (ParseInt(upper, &code) && code >= 0 && code <= 255) return static_cast<int>(code);
  return -1;
}

bool InputScript::Parse(std::string_view text, std::string* error) {
  std::istringstream in{std::string(text)};
  std::string line;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    ScriptEvent e;
    long long frame;
    if (!ParseInt(w[0], &frame) || frame < 0) return fail("frame number expected");
    e.frame = static_cast<std::uint64_t>(frame);
    if (w.size() < 2) return fail("event expected");
    const std::string& verb = w[1];
    if (verb == "down" || verb == "up") {
      if (w.size() != 3) return fail("one key expected");
      e.kind = verb == "down" ? ScriptEvent::Kind::kDown : ScriptEvent::Kind::kUp;
      e.code = ScanCodeForName(w[2]);
      if (e.code < 0) return fail("unknown key " + w[2]);
    } else if (verb == "button") {
      long long b, v;
      if (w.size() != 4 || !ParseInt(w[2], &b) || !ParseInt(w[3], &v) || b < 0 || b > 3)
        return fail("button <0..3> <0|1> expected");
      e.kind = ScriptEvent::Kind::kButton;
      e.code = static_cast<int>(b);
      e.value = v != 0;
    } else if (verb == "mouse") {
      long long d[3] = {0, 0, 0};
      if (w.size() < 4 || w.size() > 5) return fail("mouse <dx> <dy> [<wheel>] expected");
      for (std::size_t k = 2; k < w.size(); ++k)
        if (!ParseInt(w[k], &d[k - 2]) || d[k - 2] < -100000 || d[k - 2] > 100000)
          return fail("mouse motion out of range");
      e.kind = ScriptEvent::Kind::kMouse;
      e.dx = static_cast<std::int32_t>(d[0]);
      e.dy = static_cast<std::int32_t>(d[1]);
      e.dz = static_cast<std::int32_t>(d[2]);
    } else if (verb == "say") {
      // The rest of the line, as typed into chat and sent with Return.
      const std::size_t at = line.find("say");
      std::string said = line.substr(at + 3);
      said.erase(0, said.find_first_not_of(" \t"));
      while (!said.empty() && (said.back() == ' ' || said.back() == '\t' || said.back() == '\r')) said.pop_back();
      if (said.empty() || said.size() > kMaxScriptSayChars) return fail("say <text of 1..120 characters> expected");
      e.kind = ScriptEvent::Kind::kSay;
      e.text = said;
    } else {
      return fail("unknown event " + verb);
    }
    events_.push_back(e);
  }
  std::stable_sort(events_.begin(), events_.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
  return true;
}

InputSnapshot InputScript::Next(std::uint64_t frame, std::vector<std::string>* said) {
  held_.lX = held_.lY = held_.lZ = 0;
  while (cursor_ < events_.size() && events_[cursor_].frame <= frame) {
    const ScriptEvent& e = events_[cursor_++];
    switch (e.kind) {
      case ScriptEvent::Kind::kDown: held_.keys[e.code] = 0x80; break;
      case ScriptEvent::Kind::kUp: held_.keys[e.code] = 0; break;
      case ScriptEvent::Kind::kButton: held_.buttons[e.code] = e.value ? 0x80 : 0; break;
      case ScriptEvent::Kind::kMouse:
        held_.lX += e.dx;
        held_.lY += e.dy;
        held_.lZ += e.dz;
        break;
      case ScriptEvent::Kind::kSay:
        if (said) said->push_back(e.text);
        break;
    }
  }
  return held_;
}

}  // namespace halvex
