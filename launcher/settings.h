// The Settings record: every option of the two launcher dialogs, the values
// derived from them at Start, and their defaults. One instance lives for the
// whole process; the launcher fills it before the main window exists and the
// game thread reads it afterwards.
#pragma once

#include <array>
#include <string>

#include "launcher/comfort.h"

namespace halvex {

// Win32-style priority values kept by number; the platform thread layer maps
// them to what the host offers.
inline constexpr int kPriorityClassNormal = 0x20;
inline constexpr int kPriorityClassIdle = 0x40;
inline constexpr int kPriorityClassHigh = 0x80;
inline constexpr int kThreadPriorityIdle = -15;
inline constexpr int kThreadPriorityNormal = 0;
inline constexpr int kThreadPriorityAboveNormal = 1;

inline constexpr int kMaxBots = 32;
inline constexpr int kPlayerNameMax = 19;      // characters, without terminator
inline constexpr int kSoundtrackPathMax = 259;  // characters, without terminator
inline constexpr int kAreaNameMax = 254;

// The blood slider's scale: -1 is no blood at all, 10 is tons. A value from
// anywhere else (a hand-edited settings file, a typed-in slider value) plays
// as the nearest end, so nothing downstream ever sees more than 10.
inline constexpr int kBloodNone = -1;
inline constexpr int kBloodTons = 10;
constexpr int ClampBloodAmount(int amount) {
  return amount < kBloodNone ? kBloodNone : (amount > kBloodTons ? kBloodTons : amount);
}

struct Settings {
  // Main values, stored under "Software\Varnholt\Halvex".
  std::string playerName = "Player 1";  // "Name"
  int botCount = 2;                     // "Number Bots", 0..32
  int resolutionIndex = 3;              // "Resolution", 0..4
  int areaIndex = 1;                    // "Map File"
  int difficultyIndex = 2;              // "Difficulty", 0..4
  bool fullscreen = true;               // "Fullscreen"
  bool useSoundtrack = false;           // "Soundtrack"
  std::string soundtrackPath;           // "Sound File"
  bool hardwareTnL = false;             // "Hardware T&L"
  int bloodAmount = 1;                  // "Blood Amount", -1..10

  // Chosen in the dialog, never stored.
  bool multiplayer = false;
  bool softwareRasterizer = false;

  // Derived at Start, never stored.
  int screenWidth = 800;
  int screenHeight = 600;
  float screenWidthF = 800.0f;
  float screenHeightF = 600.0f;
  std::string areaName;
  std::string areaPath;  // "worlds\" + areaName
  float botLeadMin = 0.8f;
  float botLeadMax = 3.333f;
  float botFireDelayScale = 1.333f;
  float botFireChance = 80.0f;     // percent
  float botMessageChance = 40.0f;  // percent
  float botCountF = 2.0f;
  int processPriority = kPriorityClassHigh;
  int gameThreadPriority = kThreadPriorityAboveNormal;
  bool firstRun = false;

  // Advanced values, stored under "Software\Varnholt\Halvex\Advanced".
  bool showFramerate = true;        // "Framerate"
  bool allowFlight = true;          // "Allow Flight"
  bool lighting = true;             // "Lighting"
  int enemyAttack = 1;              // "Enemy Attack" (server variable may set 0..999)
  int enemyAI = 1;                  // "Enemy AI" (server variable may set 0..999)
  bool renderDetail = true;         // "Render Detail"
  bool qualitySky = true;           // "Quality Sky"
  bool renderBackground = true;     // "Render BG"
  bool renderTrees = true;          // "Render Trees"
  bool renderProjectiles = true;    // "Render Proj"
  bool textureFiltering = true;     // "Texture Filtering"
  bool mipMapping = false;          // "Mip Mapping"
  bool debugMode = false;           // "Debug Mode"
  bool alternateMemory = false;     // "Alternate Memory"
  bool additionalRealism = true;    // "Additional Realism"
  bool environmentMapping = false;  // "Environment Mapping"
  bool lightMapping = false;        // "Light Mapping"
  bool specularHighlights = true;   // "Specular Highlights"

  // Comforts, stored under "Software\Varnholt\Halvex\Comfort".
  ComfortSettings comfort;
};

}  // namespace halvex
