#include "platform/paths/paths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

namespace halvex::paths {
namespace fs = std::filesystem;

namespace {

std::string& ContentDirectoryStorage() {
  static std::string directory = ".";
  return directory;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Walks the components below base, taking an exact match where one exists and
// otherwise the first directory entry that matches ignoring case.
bool MatchIgnoringCase(const fs::path& base, const std::string& relative, fs::path& out) {
  fs::path current = base;
  std::error_code ec;
  for (const std::string& part : SplitComponents(relative)) {
    if (part == "." || part == "..") {
      current /= part;
      continue;
    }
    fs::path exact = current / part;
    if (fs::exists(exact, ec)) {
      current = exact;
      continue;
    }
    bool found = false;
    for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
      if (EqualsIgnoreCase(it->path().filename().string(), part)) {
        current = it->path();
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  out = current;
  return true;
}

}  // namespace

void SetContentDirectory(const std::string& directory) {
  ContentDirectoryStorage() = directory.empty() ? std::string(".") : directory;
}

const std::string& ContentDirectory() { return ContentDirectoryStorage(); }

std::string ToHostSeparators(std::string_view gamePath) {
  std::string host(gamePath);
  std::replace(host.begin(), host.end(), '\\', '/');
  return host;
}

std::string ResolveUnder(const std::string& root, std::string_view gamePath) {
  std::string relative = ToHostSeparators(gamePath);
  fs::path base;
  if (!relative.empty() && relative.front() == '/') {
    base = "/";
    relative.erase(0, 1);
  } else {
    base = root.empty() ? fs::path(".") : fs::path(root);
  }
  fs::path exact = base / relative;
  std::error_code ec;
  if (relative.empty() || fs::exists(exact, ec)) return exact.string();
  fs::path matched;
  if (MatchIgnoringCase(base, relative, matched)) return matched.string();
  return exact.string();
}

std::string Resolve(std::string_view gamePath) {
  return ResolveUnder(ContentDirectory(), gamePath);
}

std::string FindContentDirectory(const std::string* candidates, int count) {
  std::error_code ec;
  for (int i = 0; i < count; ++i) {
    if (candidates[i].empty()) continue;
    if (fs::is_regular_file(ResolveUnder(candidates[i], "system\\worlds.txt"), ec)) {
      return candidates[i];
    }
  }
  return {};
}

}  // namespace halvex::paths
