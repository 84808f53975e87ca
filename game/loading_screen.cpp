#include "game/loading_screen.h"

#include <cstdio>

#include "device/device_setup.h"

namespace halvex::game {

using namespace gfx;

namespace {

d3dutil::TextFont* MakeFont(Device* device, int height, const char* face) {
  d3dutil::LogFont lf;
  lf.height = height;
  std::snprintf(lf.faceName, sizeof lf.faceName, "%s", face);
  d3dutil::TextFont* font = nullptr;
  if (device) d3dutil::TextFont::Create(device, lf, &font);
  return font;
}

}  // namespace

const char* NoticeLine(int retryCounter) {
  return retryCounter == 0 ? "First Attempt Failed. Final Retry." : "Do Not Switch Apps At This Time.";
}

std::string DeviceLine(const char* adapterDescription, int vertexProcessing) {
  const char* status = vertexProcessing == device::kPureHardwareVertexProcessing ? "Pure Hardware T&&L and Shading"
                       : vertexProcessing == device::kMixedVertexProcessing      ? "Mixed Software/Hardware T&&L"
                                                                                  : "Software T&&L Emulation";
  return std::string("Device: ") + (adapterDescription ? adapterDescription : "") + "\nStatus: " + status;
}

std::string ShownText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') ++i;
  }
  return out;
}

LoadingScreen::LoadingScreen(Device* device, int screenWidth, int screenHeight, std::string deviceLine,
                             const char* notice, std::function<std::string()> statusText)
    : device_(device),
      width_(screenWidth),
      height_(screenHeight),
      deviceLine_(ShownText(deviceLine)),
      notice_(notice),
      statusText_(std::move(statusText)) {
  headline_ = MakeFont(device, 24, "Impact");
  bar_ = MakeFont(device, 18, "Fixedsys");
  caption_ = MakeFont(device, 12, "Arial");
}

LoadingScreen::~LoadingScreen() {
  for (d3dutil::TextFont* f : {caption_, bar_, headline_})
    if (f) f->Release();
}

void LoadingScreen::AppendBarGlyphs(int count) {
  barText_.append(static_cast<std::size_t>(count), static_cast<char>(kBarGlyph));
  barShown_ = true;
}

void LoadingScreen::Line(d3dutil::TextFont* font, int top, D3DCOLOR colour, const std::string& text) {
  if (!font) return;
  RECT r{0, top, width_, top + 200};
  font->DrawText(text.c_str(), -1, &r, d3dutil::DT_CENTER | d3dutil::DT_TOP | d3dutil::DT_NOCLIP, colour);
}

void LoadingScreen::Redraw(const char* caption) {
  captionText_ = caption ? caption : "";
  ++redraws_;
  pending_ = true;
  if (pictures_ == 0 || captionText_ != shownCaption_ || now_() - shownAt_ >= kFrame) Draw();
}

void LoadingScreen::ShowPending() {
  if (pending_) Draw();
}

void LoadingScreen::Draw() {
  pending_ = false;
  shownCaption_ = captionText_;
  ++pictures_;
  if (device_) {
    const int H = height_ / 2;
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
    device_->BeginScene();
    Line(headline_, H - 50, 0xffffffff, "Loading...Please Wait...");
    Line(bar_, H - 30, 0xffffffff, std::string(kBarLength, static_cast<char>(kBarGlyph)));
    if (barShown_) Line(bar_, H - 30, 0xff0000ff, barText_);
    Line(caption_, H - 10, 0xffffffff, captionText_);
    Line(headline_, H + 5, 0xffff0000, notice_);
    Line(caption_, H + 30, 0xffffffff, deviceLine_);
    // The window's own status text, as a status bar would show it.
    const std::string status = statusText_ ? statusText_() : std::string();
    if (!status.empty() && caption_) {
      RECT r{4, height_ - caption_->lineHeight() - 4, width_, height_};
      caption_->DrawText(status.c_str(), -1, &r, d3dutil::DT_LEFT | d3dutil::DT_NOCLIP, 0xffc0c0c0);
    }
    device_->EndScene();
    device_->Present(nullptr, nullptr, nullptr, nullptr);
  }
  // The picture's age counts from when it is up, so a slow present does
  // not make every following step draw again.
  shownAt_ = now_();
}

}  // namespace halvex::game
