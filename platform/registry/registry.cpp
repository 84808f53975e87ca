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
// Bad lines named one by one; past this a count says how many more.
constexpr int kMaxReportedLines = 5;

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
  unusable_ = false;
  std::error_code ec;
  const auto status = std::filesystem::status(file_, ec);
  auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "halvex: settings file %s %s; using defaults\n", file_.c_str(),
                 why.c_str());
    keys_.clear();
    corrupt_ = true;
    return false;
  };
  if (status.type() == std::filesystem::file_type::not_found) {
    // Also a dangling link: a save then creates the file it points to.
    return true;
  }
  if (ec) return fail("cannot be read (" + ec.message() + ")");
  if (std::filesystem::is_directory(status)) {
    // Nothing to keep and nothing a save could replace: saves fail and say so.
    std::fprintf(stderr, "halvex: settings file %s is a folder, not a file; using defaults\n",
                 file_.c_str());
    unusable_ = true;
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) return fail("is not a regular file");
  auto size = std::filesystem::file_size(file_, ec);
  if (ec) return fail("cannot be read (" + ec.message() + ")");
  if (size > kMaxFileBytes) return fail("is too large");
  std::ifstream in(file_, std::ios::binary);
  if (!in) return fail(std::string("cannot be read (") + std::strerror(errno) + ")");
  std::stringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return fail("cannot be read");
  const std::string text = buffer.str();
  // Binary data is not a hand-edited file with a slip in it: no line of it
  // can be trusted.
  if (text.find('\0') != std::string::npos) return fail("holds binary data");

  // A bad line costs only itself: it is reported, skipped, and the whole
  // file is kept aside before the first save drops it.
  int badLines = 0;
  auto skip = [&](int lineNumber, const char* why) {
    if (++badLines <= kMaxReportedLines) {
      std::fprintf(stderr, "halvex: settings file %s line %d %s; the line is skipped\n",
                   file_.c_str(), lineNumber, why);
    }
    corrupt_ = true;
  };
  std::string line;
  std::string key;
  bool inKey = false;
  int lineNumber = 0;
  std::istringstream lines(text);
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      auto name = line.back() == ']' ? Unescape(line.substr(1, line.size() - 2)) : std::nullopt;
      // The values under a broken key name belong to no key we know.
      inKey = name.has_value();
      if (!name) {
        skip(lineNumber, "has a broken key name");
        continue;
      }
      key = *name;
      keys_[key];
      continue;
    }
    auto eq = line.find('=');
    if (!inKey || eq == std::string::npos) {
      skip(lineNumber, inKey ? "is not name=value" : "is outside any readable [key]");
      continue;
    }
    auto name = Unescape(line.substr(0, eq));
    auto value = Unescape(line.substr(eq + 1));
    if (!name || !value) {
      skip(lineNumber, "has a broken escape");
      continue;
    }
    keys_[key][*name] = *value;
  }
  if (badLines > kMaxReportedLines) {
    std::fprintf(stderr, "halvex: settings file %s: %d more bad lines skipped\n", file_.c_str(),
                 badLines - kMaxReportedLines);
  }
  return badLines == 0;
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
    std::fprintf(stderr, "halvex: could not keep the old settings file %s as %s: %s\n",
                 file_.c_str(), backup.c_str(), ec.message().c_str());
    saveError_ = "the old file could not be kept: " + ec.message();
    return false;
  }
  std::fprintf(stderr, "halvex: the old settings file, with the lines that could not be read, was kept as %s\n",
               backup.c_str());
  backup_ = backup;
  corrupt_ = false;
  return true;
}

// Where a save goes: through a symbolic link to the file it names, so a
// settings file kept elsewhere and linked in stays where it is.
std::filesystem::path Registry::WriteTarget() const {
  std::filesystem::path target = file_;
  std::error_code ec;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(target, ec); ++hops) {
    std::filesystem::path next = std::filesystem::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

bool Registry::Save() {
  saveError_.clear();
  auto failed = [&](const std::string& why) {
    saveError_ = why;
    std::fprintf(stderr, "halvex: cannot write settings to %s: %s\n", file_.c_str(),
                 saveError_.c_str());
    return false;
  };
  if (unusable_) return failed("a folder stands where the file goes");
  // Never replace a file we could not read without keeping a copy of it.
  if (corrupt_ && !KeepCorruptFileAside()) return false;

  std::string text = kHeader;
  for (const auto& [key, values] : keys_) {
    text += "[" + Escape(key) + "]\n";
    for (const auto& [name, value] : values) text += Escape(name) + "=" + Escape(value) + "\n";
  }

  const std::filesystem::path target = WriteTarget();
  std::error_code ec;
  auto dir = target.parent_path();
  if (!dir.empty() && target == file_) std::filesystem::create_directories(dir, ec);
  std::filesystem::path temp = target;
  temp += ".tmp" + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return failed(std::strerror(errno));
  int error = 0;
  if (!WriteAll(fd, text) || ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    // The old file is untouched until the rename; only the partial copy goes.
    ::unlink(temp.c_str());
    return failed(std::strerror(error));
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
