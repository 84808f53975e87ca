// A small window that hosts Dear ImGui over SDL2 and OpenGL, for the launcher
// dialogs that run before the game window exists. Callers draw with the ImGui
// API between BeginFrame and EndFrame and never touch SDL or GL themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;
struct ImFont;

namespace halvex::platform {

// The game's dialog look (the launcher's and the connect wizard's): dark
// panels, warm brass buttons. Call after the host opened its window.
void ApplyDialogStyle();

class ImGuiHost {
 public:
  ImGuiHost() = default;
  ~ImGuiHost();
  ImGuiHost(const ImGuiHost&) = delete;
  ImGuiHost& operator=(const ImGuiHost&) = delete;

  // Opens a centred, fixed-size window. False (with a message on stderr) when
  // there is no display or no OpenGL.
  bool Open(const std::string& title, int width, int height);
  void Close();
  void SetTitle(const std::string& title);
  // The window's icon, 8-bit RGBA pixels top row first; kept and applied at
  // Open when the window is not open yet.
  void SetIcon(int width, int height, std::vector<std::uint8_t> rgba);
  void Resize(int width, int height);
  SDL_Window* native() const { return window_; }

  // Handles pending events; false once the window was asked to close.
  bool BeginFrame();
  void EndFrame();

  // Fonts loaded at Open: regular, bold and a large bold display face.
  ImFont* regular() const { return regular_; }
  ImFont* bold() const { return bold_; }
  ImFont* display() const { return display_; }

  // Test hooks: queue input as if the player did it, and read the picture.
  void InjectMouseMove(int x, int y);
  void InjectClick(int x, int y, int sdlButton = 1);  // 1: SDL_BUTTON_LEFT
  void InjectText(const std::string& utf8);
  // Press or release; give ImGui a frame in between.
  void InjectKey(int sdlKeycode, bool down);
  // Writes the next frame to a PNG file as it is presented.
  void CaptureNextFrame(const std::string& pngPath) { capturePath_ = pngPath; }
  bool lastCaptureOk() const { return lastCaptureOk_; }

 private:
  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  bool imgui_ = false;
  bool closeRequested_ = false;
  ImFont* regular_ = nullptr;
  ImFont* bold_ = nullptr;
  ImFont* display_ = nullptr;
  std::string capturePath_;
  int iconWidth_ = 0, iconHeight_ = 0;
  std::vector<std::uint8_t> iconRgba_;
  bool lastCaptureOk_ = false;
};

}  // namespace halvex::platform
