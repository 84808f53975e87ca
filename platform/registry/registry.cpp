#include "platform/registry/registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace halvex::platform {
namespace {

constexpr const char* kHeader =
    "; Halvex settings. Lines are [key] or name=value; \\\\, \\n and \\xHH escape text.\n";
// A settings file is a few kilobytes; anything huge is not ours.
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7f || c == '=' || c == '[' || c == ']') {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= text.size()) return std::nullopt;
    if (text[i] == '\\') {
      out += '\\';
    } else if (text[i] == 'n') {
      out += '\n';
    } else if (text[i] == 'x' && i + 2 < text.size()) {
      int hi = HexDigit(text[i + 1]);
      int lo = HexDigit(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

bool WriteAll(int fd, const std::string& data) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

void FsyncDirectory(const std::filesystem::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

int AtoiLike(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

Registry::Registry(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path Registry::FileIn(const std::filesystem::path& configDir) {
  return configDir / "varnholt" / "halvex.conf";
}

std::filesystem::path Registry::DefaultFile() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return FileIn(xdg);
  const char* home = std::getenv("HOME");
  std::filesystem::path base = (home && home[0]) ? std::filesystem::path(home) : ".";
  return FileIn(base / ".config");
}

bool Registry::Load() {
  keys_.clear();
  corrupt_ = false;
  std::error_code ec;
  if (!std::filesystem::exists(file_, ec)) return !ec;

  auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "halvex: settings file %s %s; using defaults\n", file_.c_str(),
                 why.c_str());
    keys_.clear();
    corrupt_ = true;
    return false;
  };
  auto size = std::filesystem::file_size(file_, ec);
  if (ec) return fail("cannot be read");
  if (size > kMaxFileBytes) return fail("is too large");
  std::ifstream in(file_, std::ios::binary);
  if (!in) return fail("cannot be read");
  std::stringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return fail("cannot be read");

  std::string line;
  std::string key;
  bool inKey = false;
  int lineNumber = 0;
  std::istringstream lines(buffer.str());
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    const std::string where = "line " + std::to_string(lineNumber);
    if (line.find('\0') != std::string::npos) return fail("holds binary data at " + where);
    if (line.front() == '[') {
      if (line.back() != ']') return fail("has a broken key at " + where);
      auto name = Unescape(line.substr(1, line.size() - 2));
      if (!name) return fail("has a broken key at " + where);
      key = *name;
      keys_[key];
      inKey = true;
      continue;
    }
    auto eq = line.find('=');
    if (!inKey || eq == std::string::npos) return fail("cannot be read at " + where);
    auto name = Unescape(line.substr(0, eq));
    auto value = Unescape(line.substr(eq + 1));
    if (!name || !value) return fail("has a broken value at " + where);
    keys_[key][*name] = *value;
  }
  return true;
}

std::optional<std::string> Registry::Get(const std::string& key, const std::string& name) const {
  auto k = keys_.find(key);
  if (k == keys_.end()) return std::nullopt;
  auto v = k->second.find(name);
  if (v == k->second.end()) return std::nullopt;
  return v->second;
}

void Registry::Set(const std::string& key, const std::string& name, const std::string& value) {
  keys_[key][name] = value;
}

bool Registry::HasKey(const std::string& key) const { return keys_.count(key) != 0; }

bool Registry::KeepCorruptFileAside() {
  std::filesystem::path backup = file_;
  backup += ".bak";
  for (int n = 1; std::filesystem::exists(backup) && n < 1000; ++n) {
    backup = file_;
    backup += ".bak" + std::to_string(n);
  }
  std::error_code ec;
  std::filesystem::copy_file(file_, backup, ec);
  if (ec) {
    std::fprintf(stderr, "halvex: could not keep the unreadable settings file as %s: %s\n",
                 backup.c_str(), ec.message().c_str());
    saveError_ = "the unreadable old file could not be kept: " + ec.message();
    return false;
  }
  std::fprintf(stderr, "halvex: the unreadable settings file was kept as %s\n", backup.c_str());
  backup_ = backup;
  corrupt_ = false;
  return true;
}

bool Registry::Save() {
  saveError_.clear();
  // Never replace a file we could not read without keeping a copy of it.
  if (corrupt_ && !KeepCorruptFileAside()) return false;

  std::string text = kHeader;
  for (const auto& [key, values] : keys_) {
    text += "[" + Escape(key) + "]\n";
    for (const auto& [name, value] : values) text += Escape(name) + "=" + Escape(value) + "\n";
  }

  std::error_code ec;
  auto dir = file_.parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);
  std::filesystem::path temp = file_;
  temp += ".tmp" + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    saveError_ = std::strerror(errno);
    std::fprintf(stderr, "halvex: cannot write settings to %s: %s\n", file_.c_str(),
                 saveError_.c_str());
    return false;
  }
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = std::rename(temp.c_str(), file_.c_str()) == 0;
  if (!ok) {
    saveError_ = std::strerror(errno);
    std::fprintf(stderr, "halvex: cannot write settings to %s: %s\n", file_.c_str(),
                 saveError_.c_str());
    ::unlink(temp.c_str());
    return false;
  }
  FsyncDirectory(dir.empty() ? std::filesystem::path(".") : dir);
  return true;
}

std::optional<std::string> RegistryKey::QueryString(const std::string& name) const {
  return registry_->Get(key_, name);
}

int RegistryKey::QueryInt(const std::string& name, int defaultValue) const {
  auto value = QueryString(name);
  return value ? AtoiLike(*value) : defaultValue;
}

std::string RegistryKey::QueryText(const std::string& name, const std::string& defaultValue,
                                   std::size_t bufferSize) const {
  auto value = QueryString(name);
  if (!value) return defaultValue;
  // The caller's buffer holds bufferSize bytes with the terminator.
  if (bufferSize > 0 && value->size() >= bufferSize) value->resize(bufferSize - 1);
  return *value;
}

void RegistryKey::SetInt(const std::string& name, int value) {
  SetText(name, std::to_string(value));
}

void RegistryKey::SetText(const std::string& name, const std::string& value) {
  registry_->Set(key_, name, value);
  dirty_ = true;
}

bool RegistryKey::Close() {
  if (!dirty_) return true;
  dirty_ = false;
  return registry_->Save();
}

}  // namespace halvex::platform
