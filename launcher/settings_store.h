// Reading, deriving and storing the Settings record: the rules the launcher
// applies, kept apart from its user interface so they can be tested alone.
#pragma once

#include <string>
#include <vector>

#include "launcher/settings.h"
#include "platform/registry/registry.h"

namespace halvex {

inline constexpr const char* kMainKey = "Software\\Varnholt\\Halvex";
inline constexpr const char* kAdvancedKey = "Software\\Varnholt\\Halvex\\Advanced";

inline constexpr int kResolutionCount = 5;
inline constexpr const char* kResolutionNames[kResolutionCount] = {
    "320x240", "400x300", "640x480", "800x600", "1024x768"};
inline constexpr int kDifficultyCount = 5;
inline constexpr const char* kDifficultyNames[kDifficultyCount] = {
    "Easiest", "Easy", "Normal", "Hard", "Hardest"};

// One Yes/No switch of the advanced dialog, in the order they are stored.
struct AdvancedSwitch {
  const char* registryName;
  const char* label;
  bool shownWhenMissing;  // what the dialog shows for a missing value
  bool gameDefault;       // what the game uses for a missing value
  bool leftColumn;
  int band;  // row band 0..8 of its column
  const char* tip;
};
inline constexpr int kAdvancedSwitchCount = 18;
extern const AdvancedSwitch kAdvancedSwitches[kAdvancedSwitchCount];

// The int field of Settings behind advanced switch i (bools are kept as int
// so that enemyAttack/enemyAI can hold the server variable's 0..999).
int AdvancedValue(const Settings& s, int i);
void SetAdvancedValue(Settings& s, int i, int value);

// Reads the main values with their defaults; sets firstRun when "Name" is
// missing. A key that could not be opened leaves the "failed key" values.
void ReadMainSettings(const platform::RegistryKey& key, Settings& s);
void ApplyMainKeyFailure(Settings& s);
// Reads the 18 advanced values; with dialogDefaults the missing ones take
// what the advanced dialog shows rather than the game's own defaults.
void ReadAdvancedSettings(const platform::RegistryKey& key, Settings& s, bool dialogDefaults);

// Stores the ten main values in the launcher's order; the indices are the
// list selections (-1 for none) and botCount the count before the
// multiplayer rule.
void StoreMainSettings(platform::RegistryKey& key, const Settings& s);
void StoreAdvancedSettings(platform::RegistryKey& key, const Settings& s);

// Derived values -----------------------------------------------------------

struct Resolution {
  int width;
  int height;
};
// Index 0..4 of the list; anything else (no selection) gives 320 x 200.
Resolution ResolutionForIndex(int index);

// The bots box: an unsigned number, blank or non-numeric gives 0, above 32
// gives 32.
int ParseBotCount(const std::string& text);

// Fire and message chances, botCountF, and the difficulty triple scaled by
// the bot-count factor f. difficultyIndex -1 means no selection.
void DeriveBotTuning(Settings& s);

// Screen size, bot tuning, priorities and the area from the chosen list
// indices. areas are the battle-area names in worlds.txt order.
void DeriveAtStart(Settings& s, const std::vector<std::string>& areas);

// Limits a name to at most maxChars bytes without splitting a UTF-8 sequence.
std::string ClampText(const std::string& text, std::size_t maxChars);

}  // namespace halvex
