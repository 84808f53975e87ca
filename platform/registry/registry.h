// A small registry: named keys holding text values, kept in one text file.
//
// The file is rewritten whole and atomically (temp file, fsync, rename), so a
// crash or a full disk at any moment leaves either the old or the new complete
// file. A line that cannot be parsed is skipped with a warning naming the file
// and line, and the file as it was is copied aside before anything new
// replaces it, so a player never silently loses hand-edited settings. A
// symbolic link is read through, and saves replace the file it points to,
// never the link itself.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace halvex::platform {

class Registry {
 public:
  explicit Registry(std::filesystem::path file);

  // Reads the file. Missing file: empty, true. Bad lines: the good ones are
  // kept, each bad one is skipped with a warning on stderr, false. An
  // unreadable, binary or oversized file: empty, a warning, false. Either
  // way the old file is kept as a backup the first time the store is
  // written. A folder in the file's place: empty, a warning, false, and
  // every save fails.
  bool Load();

  std::optional<std::string> Get(const std::string& key, const std::string& name) const;
  void Set(const std::string& key, const std::string& name, const std::string& value);
  bool HasKey(const std::string& key) const;

  // Writes every key atomically. Returns false (and warns) when it could not.
  bool Save();
  // Why the last Save failed (the system's words), empty after a good one.
  const std::string& saveError() const { return saveError_; }

  const std::filesystem::path& file() const { return file_; }
  // Where a corrupt file was kept (empty when none was).
  const std::filesystem::path& backup() const { return backup_; }

  // The default store: $XDG_CONFIG_HOME/varnholt/halvex.conf, with
  // ~/.config when XDG_CONFIG_HOME is unset or not absolute.
  static std::filesystem::path DefaultFile();
  static std::filesystem::path FileIn(const std::filesystem::path& configDir);

 private:
  bool KeepCorruptFileAside();
  std::filesystem::path WriteTarget() const;

  std::filesystem::path file_;
  std::filesystem::path backup_;
  bool corrupt_ = false;
  bool unusable_ = false;
  std::string saveError_;
  std::map<std::string, std::map<std::string, std::string>> keys_;
};

// Windows-style number reading: leading blanks skipped, optional sign, digits
// until the first character that does not fit; anything else reads as 0.
// Values past the int range saturate rather than wrap.
int AtoiLike(const std::string& text);

// A registry key opened for reading and writing values, as the launcher uses
// it: values are read with a default, written as decimal or plain text, and
// the store is written when the key is closed.
class RegistryKey {
 public:
  RegistryKey(Registry& registry, std::string key) : registry_(&registry), key_(std::move(key)) {}
  ~RegistryKey() { Close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  std::optional<std::string> QueryString(const std::string& name) const;
  int QueryInt(const std::string& name, int defaultValue) const;
  std::string QueryText(const std::string& name, const std::string& defaultValue,
                        std::size_t bufferSize) const;
  void SetInt(const std::string& name, int value);
  void SetText(const std::string& name, const std::string& value);
  // Writes the store if anything changed. Returns false when the write failed.
  bool Close();

 private:
  Registry* registry_;
  std::string key_;
  bool dirty_ = false;
};

}  // namespace halvex::platform
