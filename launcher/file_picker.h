// The launcher's own file picker, for desktops without a native one: a
// directory listing filtered by patterns, with folders to walk into.
#pragma once

#include <string>
#include <vector>

namespace halvex {

class FilePicker {
 public:
  struct Entry {
    std::string name;
    bool folder;
  };

  // patterns like "*.mp3"; "*" shows every file.
  FilePicker(std::string startFolder, std::vector<std::string> patterns);

  const std::string& folder() const { return folder_; }
  const std::vector<Entry>& entries() const { return entries_; }
  const std::string& error() const { return error_; }

  // Opens a folder entry (or ".." for the parent); returns the chosen file's
  // path for a file entry, or an empty string.
  std::string Open(const Entry& entry);
  void SetPatterns(std::vector<std::string> patterns);
  void Refresh();

 private:
  bool Matches(const std::string& name) const;

  std::string folder_;
  std::vector<std::string> patterns_;
  std::vector<Entry> entries_;
  std::string error_;
};

// Case-insensitive match of a file name against a pattern with * and ?.
bool MatchesPattern(const std::string& name, const std::string& pattern);

}  // namespace halvex
