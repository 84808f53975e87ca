// The loading screen: headline, progress bar, caption, notice and device
// lines, and the window's status text as a line at the bottom. Every loading
// step updates it; it is drawn at most once a display frame, so a quick step
// costs no full-screen present.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "content/texture_database.h"
#include "d3dutil/font/text_font.h"
#include "platform/gfx/device.h"

namespace halvex::game {

inline constexpr unsigned char kBarGlyph = 0x80;
inline constexpr int kBarLength = 32;

// "First Attempt Failed. Final Retry." once the retry counter is 0.
const char* NoticeLine(int retryCounter);
// "Device: <description>\nStatus: <vertex processing>"; the status's
// doubled ampersand shows as one.
std::string DeviceLine(const char* adapterDescription, int vertexProcessing);
// The drawn form of a text with "&&" for each "&".
std::string ShownText(const std::string& text);

class LoadingScreen final : public LoadingProgress {
 public:
  LoadingScreen(gfx::Device* device, int screenWidth, int screenHeight, std::string deviceLine,
                const char* notice, std::function<std::string()> statusText);
  ~LoadingScreen() override;

  using Clock = std::chrono::steady_clock;
  // A picture stays up at least this long unless the caption changes.
  static constexpr Clock::duration kFrame = std::chrono::microseconds(16667);

  bool ready() const { return headline_ && bar_ && caption_; }
  void ClearBar() override {
    barText_.clear();
    barShown_ = true;
  }
  // Takes the step's caption; draws and presents when there is no picture
  // yet, when the caption changes, or when the last picture has been up for
  // a frame. Otherwise the step waits for the next picture or ShowPending.
  void Redraw(const char* caption) override;
  void AppendBarGlyphs(int count) override;
  // Draws the steps taken since the last picture, if any: the final state
  // of a loader stays on screen while silent work follows.
  void ShowPending();
  // The time source of the pacing (tests step it by hand).
  void UseClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

  const std::string& barText() const { return barText_; }
  const std::string& caption() const { return captionText_; }
  int redraws() const { return redraws_; }    // steps taken
  int pictures() const { return pictures_; }  // of them drawn and presented

 private:
  void Draw();
  void Line(d3dutil::TextFont* font, int top, gfx::D3DCOLOR colour, const std::string& text);

  gfx::Device* device_;
  int width_, height_;
  std::string deviceLine_;
  const char* notice_;
  std::function<std::string()> statusText_;
  d3dutil::TextFont* headline_ = nullptr;  // "Impact" 24
  d3dutil::TextFont* bar_ = nullptr;       // "Fixedsys" 18
  d3dutil::TextFont* caption_ = nullptr;   // "Arial" 12
  std::string barText_;
  std::string captionText_;
  bool barShown_ = false;
  int redraws_ = 0;
  int pictures_ = 0;
  bool pending_ = false;  // steps taken since the last picture
  std::string shownCaption_;
  Clock::time_point shownAt_{};
  std::function<Clock::time_point()> now_ = [] { return Clock::now(); };
};

}  // namespace halvex::game
