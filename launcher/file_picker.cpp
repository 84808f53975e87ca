#include "launcher/file_picker.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace halvex {

namespace fs = std::filesystem;

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Iterative wildcard match with one backtrack point: linear in practice.
  std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

FilePicker::FilePicker(std::string startFolder, std::vector<std::string> patterns)
    : folder_(std::move(startFolder)), patterns_(std::move(patterns)) {
  Refresh();
}

void FilePicker::SetPatterns(std::vector<std::string> patterns) {
  patterns_ = std::move(patterns);
  Refresh();
}

bool FilePicker::Matches(const std::string& name) const {
  return std::any_of(patterns_.begin(), patterns_.end(),
                     [&](const std::string& p) { return MatchesPattern(name, p); });
}

void FilePicker::Refresh() {
  entries_.clear();
  error_.clear();
  std::error_code ec;
  fs::path folder = fs::absolute(folder_, ec).lexically_normal();
  folder_ = folder.string();
  if (folder.has_parent_path() && folder != folder.root_path()) entries_.push_back({"..", true});
  fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  if (ec) {
    error_ = "Cannot read " + folder_ + ": " + ec.message();
    return;
  }
  std::vector<Entry> folders, files;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;  // hidden files stay hidden
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      folders.push_back({name, true});
    } else if (Matches(name)) {
      files.push_back({name, false});
    }
  }
  auto byName = [](const Entry& a, const Entry& b) { return a.name < b.name; };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  entries_.insert(entries_.end(), folders.begin(), folders.end());
  entries_.insert(entries_.end(), files.begin(), files.end());
}

std::string FilePicker::Open(const Entry& entry) {
  fs::path here(folder_);
  if (entry.name == "..") {
    folder_ = here.parent_path().string();
  } else if (entry.folder) {
    folder_ = (here / entry.name).string();
  } else {
    return (here / entry.name).string();
  }
  Refresh();
  return {};
}

}  // namespace halvex
