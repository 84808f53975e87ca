// What the launcher dialogs ask of the desktop: message boxes, the file
// picker, the help viewer and the machine's address. The real launcher uses
// the platform's versions; tests answer with fakes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvex {

// How a dialog click ended: still open, confirmed (started / saved), left.
enum class DialogResult { Open, Started, Left };

class LauncherServices {
 public:
  virtual ~LauncherServices() = default;
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
  // True only for an explicit Yes.
  virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
  // The desktop's file picker for the soundtrack: the chosen existing file,
  // or cancelled, or unavailable (the launcher then shows its own picker).
  struct Pick {
    enum Status { Chosen, Cancelled, Unavailable } status = Cancelled;
    std::string path;
  };
  virtual Pick PickSoundtrackFile() = 0;
  // Starts the help viewer, detached; failures are ignored.
  virtual void OpenHelp() = 0;
  // Dotted IPv4 address of this machine, or empty when unknown.
  virtual std::string LocalAddress() = 0;
  // The screen sizes the desktop's display offers ("1920x1080"), any order.
  virtual std::vector<std::string> DesktopResolutions() { return {}; }
};

}  // namespace halvex
