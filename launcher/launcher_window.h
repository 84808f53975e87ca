// The launcher: the options dialog and the advanced dialog drawn with Dear
// ImGui in their own window, before the game window exists.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "launcher/advanced_dialog.h"
#include "launcher/file_picker.h"
#include "launcher/options_dialog.h"
#include "platform/imgui_host/imgui_host.h"

namespace halvex {

// Pixel layout of the two dialogs (client coordinates). The row labels sit
// exactly on the bands that the status-bar tips react to.
namespace layout {
inline constexpr int kOptionsWidth = 484;
inline constexpr int kOptionsHeight = 404;
inline constexpr int kControlLeft = 262;
inline constexpr int kControlRight = 468;
inline constexpr int kButtonTop = 348;
inline constexpr int kButtonHeight = 24;
inline constexpr int kButtonLeft[4] = {136, 220, 304, 388};  // Start, Advanced, Help, Exit
inline constexpr int kButtonWidth = 80;
inline constexpr int kBloodLeft = 354;
inline constexpr int kBloodTop = 299;
inline constexpr int kBloodWidth = 90;

inline constexpr int kAdvancedWidth = 490;
inline constexpr int kAdvancedHeight = 334;
inline constexpr int kAdvancedRadioLeft[2] = {150, 384};  // left, right column "Yes"
inline constexpr int kAdvancedRadioGap = 48;               // "Yes" to "No"
inline constexpr int kAdvancedButtonTop = 272;
inline constexpr int kAdvancedButtonLeft[2] = {108, 250};  // Save, Return
inline constexpr int kAdvancedButtonWidth = 134;
inline constexpr int kAdvancedPageButton[2] = {396, 86};  // left, width: the page switch
inline constexpr int kStatusHeight = 22;
}  // namespace layout

class LauncherWindow {
 public:
  LauncherWindow(OptionsDialog& options, AdvancedDialog& advanced, platform::ImGuiHost& host)
      : options_(options), advanced_(advanced), host_(host) {}

  // Opens the dialog and runs it until the player starts or leaves. Nothing
  // when its window could not be opened (no display, no OpenGL 3.3): that is
  // a failure to report, not the player leaving.
  std::optional<DialogResult> Run();

  // For tests: run one frame at a time, with a hook before each frame.
  bool Start();
  std::optional<DialogResult> Frame();
  bool advancedOpen() const { return advancedOpen_; }

 private:
  void DrawOptions();
  void DrawAdvanced();
  void DrawSwitches();  // the advanced dialog's first page: the 18 switches
  void DrawComfort();   // its second
  void DrawKeys();      // and its third: the keyboard's actions
  void DrawPicture();
  void DrawFilePicker();
  void DrawStatusBar(const std::string& text, int height);
  bool RadioPair(const char* id, int x, int y, bool yes, bool enabled, bool& clickedYes);

  OptionsDialog& options_;
  AdvancedDialog& advanced_;
  platform::ImGuiHost& host_;
  bool advancedOpen_ = false;
  int advancedPage_ = 0;      // 0 the switches, 1 the comforts, 2 the keys
  int capturingAction_ = -1;  // the action whose key the next press takes
  bool capturingFirstFrame_ = false;  // the click that began the capture is not taken
  bool firstFrame_ = true;
  std::optional<DialogResult> result_;
  std::unique_ptr<FilePicker> picker_;
  int pickerFilter_ = 0;
  std::string pickerSelected_;
};

// LauncherServices on the real desktop: SDL message boxes, the desktop's
// file picker, xdg-open for the help file, the interfaces' address.
class DesktopLauncherServices : public LauncherServices {
 public:
  explicit DesktopLauncherServices(std::string helpFile) : helpFile_(std::move(helpFile)) {}
  void ShowMessage(const std::string& title, const std::string& text) override;
  bool AskYesNo(const std::string& title, const std::string& text) override;
  Pick PickSoundtrackFile() override;
  void OpenHelp() override;
  std::string LocalAddress() override;
  std::vector<std::string> DesktopResolutions() override;

 private:
  std::string helpFile_;
};

}  // namespace halvex
