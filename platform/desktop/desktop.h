// Small services of the desktop: open a document in the user's viewer, the
// desktop's file picker, the machine's address.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvex::platform {

// Starts the desktop's viewer for a file (xdg-open), detached: the game
// never waits for it. False when it could not even be started.
bool OpenDocument(const std::string& path);

struct FileFilter {
  std::string name;                   // "Music Files (*.mp3;*.wav;*.mid;*.midi)"
  std::vector<std::string> patterns;  // {"*.mp3", "*.wav", ...}
};

enum class PickerStatus { Chosen, Cancelled, Unavailable };
struct PickerResult {
  PickerStatus status = PickerStatus::Unavailable;
  std::string path;
};

// The desktop's own file-open dialog (zenity), for an existing file. The
// first filter is selected. Unavailable when there is no such dialog or no
// display; the caller then offers its own.
PickerResult PickExistingFile(const std::string& title, const std::vector<FileFilter>& filters);

// The desktop's pictures folder: XDG_PICTURES_DIR from the user's
// user-dirs.dirs ("$HOME/..." expanded), else $HOME/Pictures; empty when
// there is no home to put it in. The folder need not exist yet.
std::string PicturesFolder();

// Dotted IPv4 address of the first interface that is up and not loopback;
// the loopback address when there is no other; empty when none.
std::string LocalIPv4Address();

}  // namespace halvex::platform
