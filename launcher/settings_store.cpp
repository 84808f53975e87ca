#include "launcher/settings_store.h"

#include <cmath>

namespace halvex {

namespace {
int Bool(bool b) { return b ? 1 : 0; }
}  // namespace

const AdvancedSwitch kAdvancedSwitches[kAdvancedSwitchCount] = {
    {"Framerate", "Show Framerate :", true, true, true, 0,
     "Click to display the onscreen framerate during gameplay."},
    {"Allow Flight", "Allow Player Flight :", true, true, true, 1,
     "Flight should only be disabled if you feel like challenging yourself."},
    {"Lighting", "Primary Lighting :", true, true, true, 2,
     "Unchecking this will force all lighting effects off. Not recommended."},
    {"Enemy Attack", "Allow Enemy Attack :", true, true, true, 3,
     "Feel like practicing your aim? Use this and fire away!!"},
    {"Enemy AI", "Allow Enemy AI :", true, true, true, 4,
     "The enemies will stand frozen...have fun! >:D"},
    {"Render Detail", "Render High Detail :", true, true, true, 5,
     "Those with slower systems or without T&L can disable this."},
    {"Quality Sky", "High Quality BG :", false, true, true, 6,
     "If you have a low fillrate video card, you should leave this off."},
    {"Render BG", "Render Background :", true, true, false, 0,
     "Removing the background makes the game run faster."},
    {"Render Trees", "Render Trees :", true, true, false, 1,
     "This controls whether trees appear in the environments."},
    {"Render Proj", "Render Projectiles :", true, true, false, 2,
     "This should always be on, but disabling may speed up gameplay."},
    {"Texture Filtering", "Texture Filtering :", true, true, false, 3,
     "This increases image quality significantly. Strongly recommended. :D"},
    {"Mip Mapping", "Enable Mip-Mapping :", false, false, false, 4,
     "Enabling may increase performance; if you think the blur is worth it. ^_-"},
    {"Debug Mode", "Allow Debug Mode :", false, false, false, 5,
     "Slows down gameplay, but allows for mesh and overdraw scans."},
    {"Alternate Memory", "Alternative Memory :", false, false, false, 6,
     "Systems with software T&L chipsets may get a speed boost from this."},
    {"Additional Realism", "Additional Realism :", true, true, true, 7,
     "Shows dead bots on the ground and causes other changes."},
    {"Environment Mapping", "Environment Mapping :", false, false, false, 8,
     "Real-time environment mapping of surfaces; use with newer cards."},
    {"Light Mapping", "Enable Light-Mapping :", false, false, false, 7,
     "This forces multitexturing, causing a loss of up to 50% in performance."},
    {"Specular Highlights", "Specular Highlights :", true, true, true, 8,
     "All lighting effects look better with this on."},
};

namespace {
// Field of Settings behind each switch, in kAdvancedSwitches order.
template <typename F>
auto VisitAdvanced(Settings& s, int i, F&& f) {
  switch (i) {
    case 0: return f(s.showFramerate);
    case 1: return f(s.allowFlight);
    case 2: return f(s.lighting);
    case 3: return f(s.enemyAttack);
    case 4: return f(s.enemyAI);
    case 5: return f(s.renderDetail);
    case 6: return f(s.qualitySky);
    case 7: return f(s.renderBackground);
    case 8: return f(s.renderTrees);
    case 9: return f(s.renderProjectiles);
    case 10: return f(s.textureFiltering);
    case 11: return f(s.mipMapping);
    case 12: return f(s.debugMode);
    case 13: return f(s.alternateMemory);
    case 14: return f(s.additionalRealism);
    case 15: return f(s.environmentMapping);
    case 16: return f(s.lightMapping);
    default: return f(s.specularHighlights);
  }
}
}  // namespace

int AdvancedValue(const Settings& s, int i) {
  return VisitAdvanced(const_cast<Settings&>(s), i, [](auto& field) { return int(field); });
}

void SetAdvancedValue(Settings& s, int i, int value) {
  VisitAdvanced(s, i, [value](auto& field) {
    using T = std::remove_reference_t<decltype(field)>;
    field = static_cast<T>(std::is_same_v<T, bool> ? value != 0 : value);
  });
}

void ApplyMainKeyFailure(Settings& s) {
  s.playerName = "Player 1";
  s.bloodAmount = 0;
  s.botCount = 0;
  s.resolutionIndex = 0;
  s.areaIndex = 0;
  s.difficultyIndex = 0;
  s.fullscreen = false;
  s.useSoundtrack = false;
  s.hardwareTnL = false;
  s.soundtrackPath.clear();
  s.firstRun = false;
}

void ReadMainSettings(const platform::RegistryKey& key, Settings& s) {
  s.bloodAmount = ClampBloodAmount(key.QueryInt("Blood Amount", 1));
  s.botCount = key.QueryInt("Number Bots", 2);
  auto name = key.QueryString("Name");
  s.firstRun = !name.has_value();
  s.playerName = ClampText(name.value_or("Player 1"), kPlayerNameMax);
  s.resolutionIndex = key.QueryInt("Resolution", 3);
  s.areaIndex = key.QueryInt("Map File", 1);
  s.difficultyIndex = key.QueryInt("Difficulty", 2);
  s.fullscreen = key.QueryInt("Fullscreen", 1) != 0;
  s.useSoundtrack = key.QueryInt("Soundtrack", 0) != 0;
  s.hardwareTnL = key.QueryInt("Hardware T&L", 0) != 0;
  s.soundtrackPath = key.QueryText("Sound File", "", 512);
  if (s.soundtrackPath.size() > kSoundtrackPathMax) s.soundtrackPath.resize(kSoundtrackPathMax);
}

void ReadAdvancedSettings(const platform::RegistryKey& key, Settings& s, bool dialogDefaults) {
  for (int i = 0; i < kAdvancedSwitchCount; ++i) {
    const AdvancedSwitch& sw = kAdvancedSwitches[i];
    int fallback = Bool(dialogDefaults ? sw.shownWhenMissing : sw.gameDefault);
    SetAdvancedValue(s, i, key.QueryInt(sw.registryName, fallback));
  }
}

void StoreMainSettings(platform::RegistryKey& key, const Settings& s) {
  key.SetText("Name", s.playerName);
  key.SetInt("Resolution", s.resolutionIndex);
  key.SetInt("Map File", s.areaIndex);
  key.SetInt("Number Bots", s.botCount);
  key.SetInt("Difficulty", s.difficultyIndex);
  key.SetInt("Fullscreen", Bool(s.fullscreen));
  key.SetInt("Hardware T&L", Bool(s.hardwareTnL));
  key.SetInt("Blood Amount", s.bloodAmount);
  key.SetInt("Soundtrack", Bool(s.useSoundtrack));
  key.SetText("Sound File", s.soundtrackPath);
}

void StoreAdvancedSettings(platform::RegistryKey& key, const Settings& s) {
  // Stored in the launcher's fixed order, which differs from the table's.
  static const char* const kOrder[kAdvancedSwitchCount] = {
      "Framerate", "Allow Flight", "Lighting", "Enemy Attack", "Enemy AI", "Render Detail",
      "Quality Sky", "Render BG", "Render Trees", "Render Proj", "Texture Filtering",
      "Mip Mapping", "Debug Mode", "Alternate Memory", "Additional Realism",
      "Environment Mapping", "Light Mapping", "Specular Highlights"};
  for (const char* name : kOrder) {
    for (int i = 0; i < kAdvancedSwitchCount; ++i) {
      if (std::string(kAdvancedSwitches[i].registryName) == name) {
        key.SetInt(name, AdvancedValue(s, i));
      }
    }
  }
}

Resolution ResolutionForIndex(int index) {
  static const Resolution kList[kResolutionCount] = {
      {320, 240}, {400, 300}, {640, 480}, {800, 600}, {1024, 768}};
  if (index < 0 || index >= kResolutionCount) return {320, 200};
  return kList[index];
}

int ParseBotCount(const std::string& text) {
  // The box reads as an unsigned number: blanks around digits are allowed,
  // anything else (or a number too large to hold) reads as 0.
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::size_t start = i;
  unsigned long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  if (i == start) return 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size()) return 0;
  return value > kMaxBots ? kMaxBots : static_cast<int>(value);
}

void DeriveBotTuning(Settings& s) {
  const int n = s.botCount;
  struct Chances {
    int upTo;
    float fire;
    float message;
  };
  static const Chances kChances[] = {{4, 80, 40}, {8, 80, 30}, {12, 60, 20}, {16, 50, 10},
                                     {32, 40, 8}};
  for (const Chances& c : kChances) {
    if (n <= c.upTo) {
      s.botFireChance = c.fire;
      s.botMessageChance = c.message;
      break;
    }
  }
  s.botCountF = n == 0 ? 1.0f : static_cast<float>(n);

  const float f = n < 8 ? 1.0f : static_cast<float>(n / 8);
  struct Triple {
    float leadMin, leadMax, fireDelay;
  };
  static const Triple kRaw[kDifficultyCount] = {
      {0, 0, 5}, {1, 1, 4}, {2, 5, 2}, {4, 8, 1}, {5, 10, 0.5f}};
  Triple raw = {5, 10, 1.0f};
  if (s.difficultyIndex >= 0 && s.difficultyIndex < kDifficultyCount) {
    raw = kRaw[s.difficultyIndex];
    raw.fireDelay *= f;
  }
  s.botLeadMin = raw.leadMin / 2.5f;
  s.botLeadMax = raw.leadMax / 1.5f;
  s.botFireDelayScale = raw.fireDelay / 1.5f;
}

void DeriveAtStart(Settings& s, const std::vector<std::string>& areas) {
  DeriveBotTuning(s);
  Resolution r = ResolutionForIndex(s.resolutionIndex);
  if (auto size = ParseScreenSize(s.comfort.screenSize)) r = {size->width, size->height};
  s.screenWidth = r.width;
  s.screenHeight = r.height;
  s.screenWidthF = static_cast<float>(r.width);
  s.screenHeightF = static_cast<float>(r.height);
  // With no valid selection the first area is played rather than a folder
  // named after the count line, which could never load.
  if (s.areaIndex >= 0 && s.areaIndex < static_cast<int>(areas.size())) {
    s.areaName = areas[static_cast<std::size_t>(s.areaIndex)];
  } else {
    s.areaName = areas.empty() ? std::string() : areas.front();
  }
  if (s.areaName.size() > kAreaNameMax) s.areaName.resize(kAreaNameMax);
  s.areaPath = "worlds\\" + s.areaName;
  s.processPriority = s.multiplayer ? kPriorityClassNormal : kPriorityClassHigh;
  s.gameThreadPriority = s.multiplayer ? kThreadPriorityNormal : kThreadPriorityAboveNormal;
}

std::string ClampText(const std::string& text, std::size_t maxChars) {
  if (text.size() <= maxChars) return text;
  std::size_t end = maxChars;
  // Step back over UTF-8 continuation bytes so no character is cut in half.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace halvex
