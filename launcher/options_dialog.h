// The options dialog's behaviour: what each control holds and what each click
// does, with no drawing. The launcher window (launcher_window.h) draws this
// state with Dear ImGui and forwards the player's clicks here.
#pragma once

#include <string>
#include <vector>

#include "launcher/launcher_services.h"
#include "launcher/settings.h"
#include "platform/registry/registry.h"

namespace halvex {

inline constexpr const char* kStandardTitle = "Varnholt - Halvex Version 4.00 - Standard Mode";
inline constexpr const char* kMultiplayerTitle =
    "Varnholt - Halvex Version 4.00 - Multiplayer Mode";
inline constexpr const char* kOptionsStatusText = "Varnholt - Halvex";
inline constexpr const char* kWelcomeTitle =
    "Varnholt - Halvex : Important First Time Information!";
extern const char* const kWelcomeText;
inline constexpr const char* kSoftwareTitle = "Direct3D Performance Warning: Reference Rasterizer";
extern const char* const kSoftwareText;
inline constexpr const char* kSettingsNotSavedTitle = "Varnholt - Halvex : Settings Not Saved";
// The box shown when a save failed: which folder, why, and that this run
// goes on with the chosen settings although they are not kept.
std::string SettingsNotSavedText(const platform::Registry& registry);

// One labelled row of the dialog: its label, the tip shown while the pointer
// is over it, and its pixel band (client y from top to top + 13).
struct OptionsRow {
  const char* label;
  const char* tip;
  int top;
};
inline constexpr int kOptionsRowCount = 12;
extern const OptionsRow kOptionsRows[kOptionsRowCount];
// Labels sit in client x 141..234; that is where the tips react.
inline constexpr int kOptionsLabelLeft = 141;
inline constexpr int kOptionsLabelRight = 234;

class OptionsDialog {
 public:
  // The control values, as the window shows and edits them.
  struct Controls {
    std::string nameBox;
    std::string botsBox;
    bool multiplayer = false;
    bool fullscreen = true;
    bool soundtrack = false;
    bool hardwareTnL = false;
    bool hardwareTnLEnabled = true;
    bool softwareMode = false;
    int areaSelection = -1;  // -1: nothing selected
    int difficultySelection = -1;
    int resolutionSelection = -1;
    int blood = 1;  // trackbar position -1..10
    std::string address;
  };

  // areas: the battle-area names of system\worlds.txt in file order.
  OptionsDialog(Settings& settings, platform::Registry& registry, LauncherServices& services,
                std::vector<std::string> areas);

  // First message and initialisation: reads the stored values, fills the
  // controls, shows the welcome box on a first run.
  void Open();

  Controls& controls() { return controls_; }
  const std::vector<std::string>& areas() const { return areas_; }
  // The resolution list: the original five, then the desktop's other sizes.
  const std::vector<std::string>& resolutions() const { return resolutions_; }
  const std::string& title() const { return title_; }
  const std::string& statusText() const { return statusText_; }
  const std::string& soundtrackPath() const { return settings_.soundtrackPath; }
  // The button that has the keyboard focus when the dialog opens.
  bool helpFocused() const { return settings_.firstRun; }

  void ClickSoftwareMode(bool yes);
  void ClickMultiplayer(bool yes);
  void ClickSoundtrack(bool yes);
  // The launcher's own picker is wanted (the desktop has none); it answers
  // with ChooseSoundtrack or CancelPicker.
  bool ownPickerWanted() const { return ownPickerWanted_; }
  void ChooseSoundtrack(const std::string& path);
  void CancelPicker() { ownPickerWanted_ = false; }
  void ClickFullscreen(bool yes) { controls_.fullscreen = yes; }
  void ClickHardwareTnL(bool yes);
  // The blood slider moved (or a value was typed into it): kept on its scale.
  void SetBlood(int amount) { controls_.blood = ClampBloodAmount(amount); }
  void ClickGetHelp() { services_.OpenHelp(); }
  // The pointer moved to (x, y) in client pixels: restores the status text and
  // shows the tip of the row under the pointer.
  void MouseMove(int x, int y);

  DialogResult ClickStart();
  DialogResult ClickExit();

 private:
  Settings& settings_;
  platform::Registry& registry_;
  LauncherServices& services_;
  std::vector<std::string> areas_;
  std::vector<std::string> resolutions_;
  Controls controls_;
  std::string title_ = kStandardTitle;
  std::string statusText_ = kOptionsStatusText;
  bool ownPickerWanted_ = false;
};

}  // namespace halvex
