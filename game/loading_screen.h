// The loading screen: headline, progress bar, caption, notice and device
// lines, and the window's status text as a line at the bottom, redrawn after
// every loading step.
#pragma once

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

  bool ready() const { return headline_ && bar_ && caption_; }
  void ClearBar() override {
    barText_.clear();
    barShown_ = true;
  }
  void Redraw(const char* caption) override;
  void AppendBarGlyphs(int count) override;
  const std::string& barText() const { return barText_; }
  const std::string& caption() const { return captionText_; }
  int redraws() const { return redraws_; }

 private:
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
};

}  // namespace halvex::game
