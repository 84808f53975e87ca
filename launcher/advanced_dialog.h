// The advanced options dialog's behaviour: 18 Yes/No switches shown from the
// stored values, tips by pointer position, save or return without saving.
#pragma once

#include <array>
#include <string>

#include "launcher/launcher_services.h"
#include "launcher/settings.h"
#include "launcher/settings_store.h"
#include "platform/registry/registry.h"

namespace halvex {

inline constexpr const char* kAdvancedTitle = "Varnholt - Halvex : Advanced Options";
inline constexpr const char* kAdvancedStatusText =
    "Hover Over Item Descriptions for More Information!";
inline constexpr const char* kDebugTitle = "Direct3D Performance Warning: Debug Mode";
extern const char* const kDebugText;
// Row bands start at client y 36 and repeat every 24 pixels, 14 high; the
// labels sit in client x 21..114 (left column) and 246..339 (right column).
inline constexpr int kAdvancedBandTop = 36;
inline constexpr int kAdvancedBandStep = 24;
inline constexpr int kAdvancedLeftLabel[2] = {21, 114};
inline constexpr int kAdvancedRightLabel[2] = {246, 339};

class AdvancedDialog {
 public:
  AdvancedDialog(Settings& settings, platform::Registry& registry, LauncherServices& services)
      : settings_(settings), registry_(registry), services_(services) {}

  // Reads what the store holds (not the values in memory).
  void Open();
  bool yes(int i) const { return checked_[static_cast<std::size_t>(i)]; }
  void Click(int i, bool yes) { checked_[static_cast<std::size_t>(i)] = yes; }
  const std::string& statusText() const { return statusText_; }
  void ShowTip(const char* tip) { statusText_ = tip; }
  void MouseMove(int x, int y);

  // The second page: the comforts as shown, changed in place by the page.
  ComfortSettings& comfort() { return comfort_; }

  // Save New Settings: Started means saved and closed, Open means the player
  // declined the debug-mode warning and the dialog stays. Both pages are kept.
  DialogResult ClickSave();
  DialogResult ClickReturn() { return DialogResult::Left; }

 private:
  Settings& settings_;
  platform::Registry& registry_;
  LauncherServices& services_;
  std::array<bool, kAdvancedSwitchCount> checked_{};
  bool storedDebug_ = false;
  ComfortSettings comfort_;
  std::string statusText_ = kAdvancedStatusText;
};

}  // namespace halvex
