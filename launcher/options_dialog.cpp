#include "launcher/options_dialog.h"

#include <algorithm>

#include "launcher/settings_store.h"

namespace halvex {

const char* const kWelcomeText =
    "Welcome, and thank you for acquiring Varnholt - Halvex.  To ensure full enjoyment of the "
    "game, please read the readme.txt and most importantly click the \"Get Help!\") button on "
    "the following window for complete information on game controls, options, frequently "
    "asked questions, and product updates.  The FAQ is an extremely valuable resource with "
    "information that can be used to quickly solve problems; please look for the link on the "
    "help file's \"Getting Started\") page.\n\nOn the following settings window, quick "
    "informational tips can be seen in the status bar by hovering over option descriptions.";

const char* const kSoftwareText =
    "Please note that this mode will force the program to perform all rendering in software, "
    "and completely ignore hardware acceleration.  It should be used only when the program "
    "fails to load under hardware.  Are you sure you wish to continue?";

const OptionsRow kOptionsRows[kOptionsRowCount] = {
    {"Character Name :", "Enter your name, well, any name, in this box! :D", 36},
    {"Multiplayer Game :",
     "Selecting Yes starts the game in multiplayer online mode; No is single player.", 60},
    {"Full Screen Mode :",
     "The framerate in fullscreen mode is VSync controlled; in windowed mode, it's not.", 84},
    {"Custom Soundtrack :", "To use this option, click Yes and browse for your favorite mp3!",
     108},
    {"Hardware T&L :",
     "Have a GeForce or another card with Hardware T&L? Select this to speed up gameplay!", 132},
    {"Software Mode :",
     "Getting DirectX Initialization errors while starting up? Try software mode! (Very slow!)",
     156},
    {"Select Battle Area :",
     "Select your battle location! Arranged from simplest map to most demanding.", 180},
    {"Number of Bots :",
     "This number can be up to 32! The more bots in there, the slower the game.", 204},
    {"Difficulty of Bots :", "Feeling invincible? Try the harder difficulty settings!", 228},
    {"Screen Resolution :",
     "Choose your screen resolution! Higher resolutions will slow the game down.", 252},
    {"Your IP Address :",
     "Copy this number and give it to your friends, so they can connect to your game!", 276},
    {"Amount of Blood :",
     "Set the amount of blood by dragging the arrow.  Far left is no blood; far right is tons!",
     300},
};

std::string SettingsNotSavedText(const platform::Registry& registry) {
  std::string text = "Your settings could not be saved in the folder\n" +
                     registry.file().parent_path().string() + "\n";
  if (!registry.saveError().empty()) text += "(" + registry.saveError() + ")\n";
  return text +
         "\nThis game is played with the settings you chose, but they are not kept for the "
         "next time. Make sure the folder can be written to, or choose another one with "
         "--config-dir.";
}

namespace {
// A stored index outside its list leaves the list without a selection.
int Selection(int index, int count) { return index >= 0 && index < count ? index : -1; }

// The original sizes first, as stored indices refer to them; then the
// desktop's others, smallest first, with the stored one kept even when this
// display no longer offers it.
std::vector<std::string> ResolutionChoices(std::vector<std::string> desktop, const std::string& stored) {
  std::vector<std::string> list(std::begin(kResolutionNames), std::end(kResolutionNames));
  if (!stored.empty()) desktop.push_back(stored);
  std::vector<ScreenSize> extra;
  for (const std::string& text : desktop) {
    auto size = ParseScreenSize(text);
    if (!size || std::find(list.begin(), list.end(), text) != list.end()) continue;
    extra.push_back(*size);
  }
  auto key = [](const ScreenSize& s) { return std::pair(s.width, s.height); };
  std::sort(extra.begin(), extra.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
  extra.erase(std::unique(extra.begin(), extra.end(), [&](const auto& a, const auto& b) { return key(a) == key(b); }),
              extra.end());
  for (const ScreenSize& s : extra) list.push_back(std::to_string(s.width) + "x" + std::to_string(s.height));
  return list;
}

}  // namespace

OptionsDialog::OptionsDialog(Settings& settings, platform::Registry& registry,
                             LauncherServices& services, std::vector<std::string> areas)
    : settings_(settings), registry_(registry), services_(services), areas_(std::move(areas)) {}

void OptionsDialog::Open() {
  {
    platform::RegistryKey main(registry_, kMainKey);
    ReadMainSettings(main, settings_);
    platform::RegistryKey advanced(registry_, kAdvancedKey);
    ReadAdvancedSettings(advanced, settings_, /*dialogDefaults=*/false);
    platform::RegistryKey comfort(registry_, kComfortKey);
    ReadComfortSettings(comfort, settings_.comfort);
  }
  title_ = kStandardTitle;
  statusText_ = kOptionsStatusText;
  controls_ = Controls{};
  controls_.address = services_.LocalAddress();
  SetBlood(settings_.bloodAmount);
  controls_.softwareMode = false;
  controls_.multiplayer = false;
  controls_.soundtrack = settings_.useSoundtrack;
  controls_.fullscreen = settings_.fullscreen;
  controls_.hardwareTnL = settings_.hardwareTnL;
  resolutions_ = ResolutionChoices(services_.DesktopResolutions(), settings_.comfort.screenSize);
  controls_.resolutionSelection = Selection(settings_.resolutionIndex, kResolutionCount);
  if (!settings_.comfort.screenSize.empty()) {
    auto at = std::find(resolutions_.begin(), resolutions_.end(), settings_.comfort.screenSize);
    controls_.resolutionSelection = static_cast<int>(at - resolutions_.begin());
  }
  controls_.difficultySelection = Selection(settings_.difficultyIndex, kDifficultyCount);
  controls_.areaSelection = Selection(settings_.areaIndex, static_cast<int>(areas_.size()));
  controls_.nameBox = settings_.playerName;
  controls_.botsBox = std::to_string(static_cast<unsigned>(settings_.botCount));
  if (settings_.firstRun) services_.ShowMessage(kWelcomeTitle, kWelcomeText);
}

void OptionsDialog::ClickSoftwareMode(bool yes) {
  controls_.softwareMode = yes;
  controls_.hardwareTnLEnabled = !yes;
  if (yes) controls_.hardwareTnL = false;
}

void OptionsDialog::ClickHardwareTnL(bool yes) {
  if (controls_.hardwareTnLEnabled) controls_.hardwareTnL = yes;
}

void OptionsDialog::ClickMultiplayer(bool yes) {
  controls_.multiplayer = yes;
  title_ = yes ? kMultiplayerTitle : kStandardTitle;
}

void OptionsDialog::ClickSoundtrack(bool yes) {
  controls_.soundtrack = yes;
  if (!yes) return;
  LauncherServices::Pick pick = services_.PickSoundtrackFile();
  if (pick.status == LauncherServices::Pick::Chosen) ChooseSoundtrack(pick.path);
  if (pick.status == LauncherServices::Pick::Unavailable) ownPickerWanted_ = true;
}

void OptionsDialog::ChooseSoundtrack(const std::string& path) {
  ownPickerWanted_ = false;
  // A path that does not fit would name another file: keep the old choice.
  if (path.size() <= kSoundtrackPathMax) settings_.soundtrackPath = path;
}

void OptionsDialog::MouseMove(int x, int y) {
  statusText_ = kOptionsStatusText;
  if (x < kOptionsLabelLeft || x > kOptionsLabelRight) return;
  for (const OptionsRow& row : kOptionsRows) {
    if (y >= row.top && y <= row.top + 13) statusText_ = row.tip;
  }
}

DialogResult OptionsDialog::ClickStart() {
  settings_.softwareRasterizer = controls_.softwareMode;
  if (settings_.softwareRasterizer && !services_.AskYesNo(kSoftwareTitle, kSoftwareText)) {
    return DialogResult::Open;
  }
  settings_.hardwareTnL = controls_.hardwareTnL;
  settings_.multiplayer = controls_.multiplayer;
  settings_.fullscreen = controls_.fullscreen;
  settings_.useSoundtrack = controls_.soundtrack;
  settings_.playerName = ClampText(controls_.nameBox, kPlayerNameMax);
  settings_.botCount = ParseBotCount(controls_.botsBox);
  settings_.bloodAmount = ClampBloodAmount(controls_.blood);
  // A desktop size leaves the stored index alone, for the day it is unset.
  const int chosen = controls_.resolutionSelection;
  if (chosen >= kResolutionCount && chosen < static_cast<int>(resolutions_.size())) {
    settings_.comfort.screenSize = resolutions_[static_cast<std::size_t>(chosen)];
  } else {
    settings_.resolutionIndex = chosen;
    settings_.comfort.screenSize.clear();
  }
  settings_.difficultyIndex = controls_.difficultySelection;
  settings_.areaIndex = controls_.areaSelection;
  DeriveAtStart(settings_, areas_);
  {
    platform::RegistryKey main(registry_, kMainKey);
    StoreMainSettings(main, settings_);
    // The game starts either way; the player only needs to know that the
    // choice will be gone next time.
    platform::RegistryKey comfort(registry_, kComfortKey);
    StoreComfortSettings(comfort, settings_.comfort);
    const bool kept = comfort.Close();
    if (!main.Close() || !kept) services_.ShowMessage(kSettingsNotSavedTitle, SettingsNotSavedText(registry_));
  }
  if (settings_.multiplayer) settings_.botCount = 0;
  return DialogResult::Started;
}

DialogResult OptionsDialog::ClickExit() { return DialogResult::Left; }

}  // namespace halvex
