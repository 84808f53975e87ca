// Content paths. The game names its files with backslashes relative to the
// content directory ("worlds\Arena\options.txt"); this maps such a name to a
// host path, falling back to a case-insensitive match of each component so
// that content authored on a case-insensitive file system still loads.
#pragma once

#include <string>
#include <string_view>

namespace halvex::paths {

// The folder that game paths are relative to; "." until set.
void SetContentDirectory(const std::string& directory);
const std::string& ContentDirectory();

// Backslashes become slashes; nothing else changes.
std::string ToHostSeparators(std::string_view gamePath);

// Host path of a game path. Absolute paths are only re-separated; relative
// ones are joined to the content directory (or the given root). When the
// exact path does not exist, each component is matched case-insensitively;
// with no match either, the exact joined path is returned so the caller's
// open fails in the usual way.
std::string Resolve(std::string_view gamePath);
std::string ResolveUnder(const std::string& root, std::string_view gamePath);

// Finds the content directory: the first of the candidates that holds
// system/worlds.txt (case-insensitively), or an empty string.
std::string FindContentDirectory(const std::string* candidates, int count);

}  // namespace halvex::paths
