#include "render/hud/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace halvex::render {

using namespace gfx;

namespace {

const char* const kMouseHelp =
    "Move Mouse - Aim/Turn\nLeft Button - Shoot\nRight Button - Jump/Fly\nMiddle Button - Not Used\n"
    "Roll Wheel - Change Weapon";
const char* const kKeyboardHelp =
    "W - Move Forward\nS - Move Backward\nA - Strafe Left\nD - Strafe Right\nSpace - Reload\n"
    "Enter - Chat System\nLeft Shift - Show Chat\nTab - Score/Stats\nF1 - This Help\n"
    "F2 - Toggle Framerate\nF9 - Fixed Camera\nF10 - Toggle Realism\nF11 - Capture Screenshot\n"
    "F12 - Toggle Spectator";

int Width(BitmapFont* font, const char* text) {
  TextSize size{0, 0};
  if (font) font->MeasureText(text, &size);
  return size.cx;
}

void Text(BitmapFont* font, float x, float y, D3DCOLOR colour, const char* text) {
  if (font) font->DrawText2D(x, y, colour, text, 0);
}

void Centred(BitmapFont* font, const HudInputs& in, float y, D3DCOLOR colour, const char* text) {
  Text(font, in.width / 2.0f - Width(font, text) / 2.0f, y, colour, text);
}

void UseFont(const HudInputs& in, BitmapFont* font) {
  if (font) in.device->SetTexture(0, font->texture);
}

const char* Name(const MatchState& s, int i) {
  return i >= 0 && i < kMaxCombatants ? s.combatants[i].name.data() : "";
}

void DrawStatusLines(const HudInputs& in, const MatchState& s) {
  const GameFonts& f = in.fonts;
  const float W = static_cast<float>(in.width), H = static_cast<float>(in.height);
  if (!s.flags.spectatorMode) {
    UseFont(in, f.statusFont);
    // Values keep their places unless the face's labels are wider than
    // the room left for them.
    const float bullets = std::min(W - 115, W - 10 - Width(f.statusFont, "Bullets:888") - 4.0f);
    Text(f.statusFont, bullets, H - 30, kWhite, "Bullets:");
    Text(f.statusFont, std::max(W - 45, bullets + Width(f.statusFont, "Bullets:") + 4.0f), H - 30,
         LevelColour(s.player.ammo), s.player.ammoText.data());
    Text(f.statusFont, 10, H - 30, kWhite, "Power:");
    Text(f.statusFont, std::max(80.0f, 14.0f + Width(f.statusFont, "Power:")), H - 30, LevelColour(s.player.power),
         s.player.powerText.data());
    char line[200];
    if (s.combatantCount > 0) {
      int i = std::clamp(s.player.lastHit, 0, kMaxCombatants - 1);
      std::snprintf(line, sizeof line, "%s: %s", Name(s, i), s.combatants[i].powerText.data());
    } else {
      std::snprintf(line, sizeof line, "%s", "Waiting...");
    }
    Text(f.statusFont, W - 10 - Width(f.statusFont, line), 0, kWhite, line);
  } else if (!s.flags.chatActive) {
    UseFont(in, f.statusFont);
    Text(f.statusFont, std::min(W - 95, W - 10 - Width(f.statusFont, "Spectating")), 0, kGreen, "Spectating");
  } else {
    char buffer[512];
    const std::string_view text = ChatText(in.chatLine, in.matchMs, in.chatTyping, buffer);
    if (in.chatFont) {
      RECT r{10, 45, in.width, 100};
      in.chatFont->DrawText(text.data(), static_cast<int>(text.size()), &r,
                            d3dutil::DT_WORDBREAK | d3dutil::DT_NOCLIP, kWhite);
    }
    UseFont(in, f.statusFont);
    Text(f.statusFont, std::min(W - 98, W - 10 - Width(f.statusFont, "Chat Mode")), 0, kGreen, "Chat Mode");
  }
}

void DrawBanner(const HudInputs& in, const MatchState& s) {
  BitmapFont* font = in.fonts.bannerFont;
  if (s.flags.welcomeBannerTimer <= 0.0f) {
    UseFont(in, font);
    return;
  }
  const DWORD a = static_cast<DWORD>(BannerAlpha(s.flags.welcomeBannerTimer));
  if (in.bannerQuad) {
    struct V {
      float x, y, z, rhw;
      D3DCOLOR c;
      float u, v;
    };
    BYTE* data = nullptr;
    if (SUCCEEDED(in.bannerQuad->Lock(0, 4 * sizeof(V), &data, 0)) && data) {
      V* v = reinterpret_cast<V*>(data);
      v[1].c = v[3].c = (a << 24) | 0x640000;
      v[0].c = v[2].c = 0x00640000;
      in.bannerQuad->Unlock();
    }
    in.device->SetTexture(0, in.bandTexture);
    in.device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    in.device->SetStreamSource(0, in.bannerQuad, 28);
    in.device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
  }
  char text[256];
  if (s.flags.multiplayer)
    std::snprintf(text, sizeof text, "Welcome to the %s Battle Area\nFree-For-All Mode: Multiplayer.",
                  in.areaName);
  else
    std::snprintf(text, sizeof text, "Welcome to the %s Battle Area\nFree-For-All Mode: %d Bots.", in.areaName,
                  s.combatantCount);
  UseFont(in, font);
  if (font) font->DrawTextScaled(-0.95f, 1.16f, 0.1f, 0.035f, 0.035f, (a << 24) | 0xffffff, text, kTextFiltered);
}

void DrawCentreMessage(const HudInputs& in, const MatchState& s, int kind) {
  const GameFonts& f = in.fonts;
  const float W = static_cast<float>(in.width), H = static_cast<float>(in.height);
  const PlayerState& p = s.player;
  char line[300];
  if (kind == 0 && p.centreMessage.timer > 0.0f && p.centreMessage.kind != 2) kind = p.centreMessage.kind;
  else if (kind == 0) kind = -1;
  switch (kind) {
    case 0:
      Centred(f.bannerFont, in, H - 20, kRed, "Low Ammo Warning");
      break;
    case 1:
      std::snprintf(line, sizeof line, "You Fragged %s", Name(s, p.centreMessage.fragged));
      Centred(f.bannerFont, in, H - 50, kWhite, line);
      break;
    case 2:
      Centred(f.bannerFont, in, 0, kWhite, "Varnholt Halvex Help");
      UseFont(in, f.messageFont);
      Text(f.messageFont, W / 2 - 70, 30, kWhite, "Mouse Controls:");
      Text(f.messageFont, W / 2 - 50, 50, kWhite, in.mouseHelp ? in.mouseHelp : kMouseHelp);
      Text(f.messageFont, W / 2 - 70, 120, kWhite, "Keyboard Controls:");
      Text(f.messageFont, W / 2 - 50, 140, kWhite,
           in.keyboardHelp ? in.keyboardHelp : kKeyboardHelp);
      UseFont(in, f.bannerFont);
      break;
    case 3:
      Centred(f.bannerFont, in, H - 20, kGreen, "You Are Spectating, Press F12 to Enter Battle.");
      break;
    case 10:
      std::snprintf(line, sizeof line, "%s was Fragged by %s", Name(s, p.centreMessage.fragged),
                    Name(s, p.centreMessage.fragger));
      Centred(f.bannerFont, in, H - 50, kWhite, line);
      break;
    default:
      break;
  }
  if (kind == 2) return;
  if (p.pickupMessage.timer > 0.0f && (p.pickupMessage.kind == 1 || p.pickupMessage.kind == 2)) {
    const char* text = p.pickupMessage.kind == 1 ? "Blood Orb +HP" : "Heavy Armor +A";
    Text(f.bannerFont, W - 20 - Width(f.bannerFont, text), H - 50, kWhite, text);
  }
}

void DrawMessageLines(const HudInputs& in, MatchState& s) {
  BitmapFont* font = in.fonts.messageFont;
  UseFont(in, font);
  auto& lines = s.messages.lines;
  if (!in.shiftHeld) {
    int b = 15 * ((lines[2][0] != 0) + (lines[1][0] != 0));
    Text(font, 10, static_cast<float>(b - 30), kWhite, lines[2].data());
    Text(font, 10, static_cast<float>(b - 15), kWhite, lines[1].data());
    Text(font, 10, static_cast<float>(b), kWhite, lines[0].data());
    return;
  }
  if (in.backspaceHeld)
    for (auto& l : lines) l[0] = '\0';
  for (int i = 0; i < kMessageListLines; ++i)
    Text(font, 10, static_cast<float>(135 - 15 * i), kWhite, lines[i].data());
}

// What the receiving side did last, green at the top right.
void DrawNetworkStatus(const HudInputs& in) {
  std::string_view shown = in.netStatus;
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.remove_suffix(1);
  if (shown.empty()) return;
  char text[256];
  std::snprintf(text, sizeof text, "%.*s", static_cast<int>(shown.size()), shown.data());
  BitmapFont* font = in.fonts.messageFont;
  UseFont(in, font);
  Text(font, in.width - 10 - Width(font, text), 45, kGreen, text);
}

void DrawScoreboard(const HudInputs& in, const MatchState& s) {
  const GameFonts& f = in.fonts;
  const float c = in.width / 2.0f;
  const std::string clock = MatchClockText(in.matchMs);
  if (s.flags.gameState == 10) {
    char line[200];
    std::snprintf(line, sizeof line, "You were Fragged by %s", Name(s, s.player.killer));
    UseFont(in, f.bannerFont);
    Centred(f.bannerFont, in, 0, kWhite, line);
  }
  UseFont(in, f.messageFont);
  auto row = [&](float y, D3DCOLOR colour, const char* score, const char* ping, const char* time,
                 const char* name, const char* power) {
    Text(f.messageFont, c - 150, y, colour, score);
    Text(f.messageFont, c - 90, y, colour, ping);
    Text(f.messageFont, c - 30, y, colour, time);
    Text(f.messageFont, c + 90, y, colour, name);
    Text(f.messageFont, c + 30, y, colour, power);
  };
  row(60, kGreen, s.player.fragsText.data(), "0", clock.c_str(), s.settings.playerName.c_str(),
      s.player.powerText.data());
  const ScoreboardRows order = ScoreboardOrder(s);
  for (int k = 0; k < order.count; ++k) {
    const int i = order.index[k];
    const Combatant& cb = s.combatants[i];
    // A remote player's ping, and the time he has been in the session by his own count.
    const std::string ping = in.network ? std::to_string(in.pingMs[i]) : "0";
    const std::string time =
        in.network ? MatchClockText(static_cast<std::uint32_t>(std::max(cb.playTime, 0))) : clock;
    row(80.0f + 20.0f * static_cast<float>(k), kWhite, cb.fragsText.data(), ping.c_str(), time.c_str(),
        cb.name.data(), cb.powerText.data());
  }
  if (in.network) {
    char players[32];
    std::snprintf(players, sizeof players, "Players: %d", in.players);
    Text(f.messageFont, in.width - 10 - Width(f.messageFont, in.sessionName.c_str()), 45, kGreen,
         in.sessionName.c_str());
    Text(f.messageFont, in.width - 10 - Width(f.messageFont, players), 60, kGreen, players);
  }
  UseFont(in, f.titleFont);
  const char* heads[5] = {"Score", "Ping", "Time", "Name", "Power"};
  const float xs[5] = {-150, -90, -30, 90, 30};
  for (int i = 0; i < 5; ++i) Text(f.titleFont, c + xs[i], 30, kRed, heads[i]);
}

}  // namespace

D3DCOLOR LevelColour(int value) { return value > 50 ? kGreen : value > 25 ? kYellow : kRed; }

D3DCOLOR FrameRateColour(float rate) {
  D3DCOLOR c = 0xff000000;
  if (rate <= 30.0f) c |= 0x00ff0000;
  if (rate > 15.0f) c |= 0x0000ff00;
  return c;
}

std::string MatchClockText(std::uint32_t matchMs) {
  unsigned seconds = matchMs / 1000, minutes = seconds / 60;
  seconds %= 60;
  char text[32];
  std::snprintf(text, sizeof text, "%u:%s%u", minutes, seconds < 10 ? "0" : "", seconds);
  return text;
}

ScoreboardRows ScoreboardOrder(const MatchState& s) {
  ScoreboardRows rows;
  // Insertion sort: stable, and at most 32 rows.
  for (int i = 0; i < std::clamp(s.combatantCount, 0, kMaxCombatants); ++i) {
    int k = rows.count++;
    for (; k > 0 && s.combatants[rows.index[k - 1]].frags < s.combatants[i].frags; --k)
      rows.index[k] = rows.index[k - 1];
    rows.index[k] = i;
  }
  return rows;
}

std::string_view ChatText(std::string_view line, std::uint32_t matchMs, bool typing, std::span<char> out) {
  const bool bar = typing || ((matchMs % 60000) / 500) % 2 == 1;
  std::size_t used = 0;
  for (std::string_view piece : {std::string_view("Chat: "), line, bar ? std::string_view("|") : std::string_view()}) {
    const std::size_t n = std::min(piece.size(), out.size() - used);
    std::copy_n(piece.data(), n, out.data() + used);
    used += n;
  }
  return std::string_view(out.data(), used);
}

int BannerAlpha(float timer) { return static_cast<int>(std::min(timer, 255.0f)); }

float FrameRateCounter::Count(std::uint64_t systemMs) {
  ++frames;
  double t = std::floor(static_cast<double>(systemMs) * 0.001);
  if (t - lastSample > 1.0) {
    rate = static_cast<float>(frames / (t - lastSample));
    frames = 0;
    lastSample = t;
  }
  return rate;
}

void DrawHud(const HudInputs& in, MatchState& s, FrameRateCounter& counter) {
  const GameFonts& f = in.fonts;
  const float W = static_cast<float>(in.width), H = static_cast<float>(in.height);
  if (in.frameRate < 15.0f && !s.flags.spectatorMode) {
    UseFont(in, f.messageFont);
    Centred(f.messageFont, in, H - 30, kRed, "Warning: Low Framerate May Cause Erratic Gameplay.");
    Centred(f.messageFont, in, H - 15, kRed, "Press F12 if you would like to enter spectator mode.");
  }
  if (in.meshScanReadout) {
    char text[128];
    std::snprintf(text, sizeof text, "Mesh Scan\nMin: %d\nMax: %d\nInc: %d", in.meshScanMin, in.meshScanMax,
                  in.meshScanInc);
    UseFont(in, f.messageFont);
    Text(f.messageFont, 2, 30, kWhite, text);
  }
  float rate = counter.Count(in.systemMs);
  if (s.settings.showFramerate) {
    char text[64];
    std::snprintf(text, sizeof text, "%7.02f fps", static_cast<double>(rate));
    UseFont(in, f.titleFont);
    Text(f.titleFont, W - 10 - Width(f.titleFont, text), 25, FrameRateColour(rate), text);
  }
  DrawStatusLines(in, s);
  DrawBanner(in, s);
  if (in.f1Held) DrawCentreMessage(in, s, 2);
  DrawCentreMessage(in, s, 0);
  if (!s.flags.spectatorMode) Text(f.bannerFont, W / 2, H / 2 - 5, kWhite, "+");
  if (!in.tabHeld && s.flags.gameState < 10) {
    if (s.messages.displayTimer > 0.0f || s.flags.chatActive || in.shiftHeld) DrawMessageLines(in, s);
    if (in.network) DrawNetworkStatus(in);
  } else {
    DrawScoreboard(in, s);
  }
}

}  // namespace halvex::render
