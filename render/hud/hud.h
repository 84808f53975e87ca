// The head-up display drawn over the scene: warnings, frame rate,
// ammunition and power, the last-hit line, chat, the welcome banner, centre
// messages, the help page, the message list and the scoreboard.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "d3dutil/font/text_font.h"
#include "platform/gfx/device.h"
#include "render/device_objects.h"
#include "sim/match_state.h"

namespace halvex::render {

inline constexpr gfx::D3DCOLOR kWhite = 0xffffffff, kRed = 0xffff0000, kGreen = 0xff00ff00,
                               kYellow = 0xffffff00;

// Green above 50, yellow 26..50, red 25 and below.
gfx::D3DCOLOR LevelColour(int value);
// Red component when the rate is 30 or less, green when above 15.
gfx::D3DCOLOR FrameRateColour(float rate);
// "3:07", "12:45".
std::string MatchClockText(std::uint32_t matchMs);
// Combatant indices by score, best first (ties: lower index first), kept in
// place: the scoreboard is drawn every frame Tab is held.
struct ScoreboardRows {
  std::array<int, kMaxCombatants> index{};
  int count = 0;
  const int* begin() const { return index.data(); }
  const int* end() const { return index.data() + count; }
};
ScoreboardRows ScoreboardOrder(const MatchState& state);
// "Chat: text|" while the cursor shows, else "Chat: text", into out (cut at
// its size); returns the written part.
std::string_view ChatText(std::string_view line, std::uint32_t matchMs, bool typing, std::span<char> out);
// Alpha of the welcome banner for its timer.
int BannerAlpha(float timer);

// The frame-rate counter of the HUD.
struct FrameRateCounter {
  int frames = 0;
  double lastSample = 0.0;
  float rate = 0.0f;
  // Counts a frame at systemMs; returns the current rate.
  float Count(std::uint64_t systemMs);
};

struct HudInputs {
  gfx::Device* device = nullptr;
  GameFonts fonts;
  d3dutil::TextFont* chatFont = nullptr;
  gfx::VertexBuffer* bannerQuad = nullptr;
  gfx::Texture* bandTexture = nullptr;
  int width = 800, height = 600;
  float frameRate = 60.0f;           // the match loop's 1 / frameDelta
  std::uint32_t matchMs = 0;
  std::uint64_t systemMs = 0;
  std::string chatLine;
  const char* keyboardHelp = nullptr;  // the F1 page's keyboard lines; null: the designed ones
  const char* mouseHelp = nullptr;     // the F1 page's mouse lines; null: the designed ones
  bool chatTyping = false;
  const char* areaName = "";
  bool f1Held = false, tabHeld = false, shiftHeld = false, backspaceHeld = false;
  bool meshScanReadout = false;
  int meshScanMin = 0, meshScanMax = 0, meshScanInc = 0;  // the mesh scan's last counts
  // A network game: the session's name and players, what the receiving side
  // did last, and half the round trip to the player behind each record.
  bool network = false;
  std::string sessionName;
  int players = 0;
  std::string netStatus;
  std::array<int, kMaxCombatants> pingMs{};
};

// Draws the whole HUD. May clear the message list (Left Shift + Backspace).
void DrawHud(const HudInputs& in, MatchState& state, FrameRateCounter& counter);

}  // namespace halvex::render
