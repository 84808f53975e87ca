#include "launcher/advanced_dialog.h"

#include "launcher/options_dialog.h"

namespace halvex {

const char* const kDebugText =
    "Please note that this mode will use an alternate depth buffering technique that may "
    "slowdown gameplay to allow for debug controls, such as overdraw scanning.  Are you sure "
    "you wish to continue?";

namespace {
constexpr int kDebugSwitch = 12;
}

void AdvancedDialog::Open() {
  platform::RegistryKey key(registry_, kAdvancedKey);
  Settings shown;
  ReadAdvancedSettings(key, shown, /*dialogDefaults=*/true);
  for (int i = 0; i < kAdvancedSwitchCount; ++i) {
    checked_[static_cast<std::size_t>(i)] = AdvancedValue(shown, i) != 0;
  }
  storedDebug_ = shown.debugMode;
  platform::RegistryKey comfortKey(registry_, kComfortKey);
  comfort_ = ComfortSettings{};
  ReadComfortSettings(comfortKey, comfort_);
  statusText_ = kAdvancedStatusText;
}

void AdvancedDialog::MouseMove(int x, int y) {
  statusText_ = kAdvancedStatusText;
  bool left = x >= kAdvancedLeftLabel[0] && x <= kAdvancedLeftLabel[1];
  bool right = x >= kAdvancedRightLabel[0] && x <= kAdvancedRightLabel[1];
  if (!left && !right) return;
  for (const AdvancedSwitch& sw : kAdvancedSwitches) {
    int top = kAdvancedBandTop + sw.band * kAdvancedBandStep;
    if (sw.leftColumn == left && y >= top && y <= top + 13) statusText_ = sw.tip;
  }
}

DialogResult AdvancedDialog::ClickSave() {
  if (yes(kDebugSwitch) && !storedDebug_ && !services_.AskYesNo(kDebugTitle, kDebugText)) {
    return DialogResult::Open;
  }
  for (int i = 0; i < kAdvancedSwitchCount; ++i) SetAdvancedValue(settings_, i, yes(i) ? 1 : 0);
  settings_.comfort = comfort_;
  platform::RegistryKey key(registry_, kAdvancedKey);
  StoreAdvancedSettings(key, settings_);
  bool saved = key.Close();
  platform::RegistryKey comfortKey(registry_, kComfortKey);
  StoreComfortSettings(comfortKey, settings_.comfort);
  saved = comfortKey.Close() && saved;
  // The choices stay in effect for this run even when they cannot be kept.
  if (!saved) services_.ShowMessage(kSettingsNotSavedTitle, SettingsNotSavedText(registry_));
  return DialogResult::Started;
}

}  // namespace halvex
