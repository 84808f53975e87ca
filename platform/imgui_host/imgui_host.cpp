#include "platform/imgui_host/imgui_host.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <imgui.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "backends/imgui_impl_opengl3.h"
#include "backends/imgui_impl_sdl.h"
#include "platform/window/termination.h"
#include "platform/window/window.h"

namespace halvex::platform {

namespace {

// Font files tried in order for each face; ImGui's built-in face is the last
// resort so the launcher always opens.
const char* const kRegularFonts[] = {
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"};
const char* const kBoldFonts[] = {
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"};
const char* const kDisplayFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"};

template <std::size_t N>
ImFont* LoadFirst(const char* const (&files)[N], float size) {
  ImGuiIO& io = ImGui::GetIO();
  for (const char* file : files) {
    if (std::filesystem::exists(file)) return io.Fonts->AddFontFromFileTTF(file, size);
  }
  ImFontConfig config;
  config.SizePixels = size;
  return io.Fonts->AddFontDefault(&config);
}

void PushEvent(SDL_Event& e) { SDL_PushEvent(&e); }

// The back buffer as it is about to be presented, as PNG.
bool SaveBackBuffer(SDL_Window* window, const std::string& path) {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window, &width, &height);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
  // GL reads the bottom row first; PNG wants the top row first.
  return stbi_write_png(path.c_str(), width, height, 3,
                        rows.data() + stride * static_cast<std::size_t>(height - 1),
                        -static_cast<int>(stride)) != 0;
}


}  // namespace

ImGuiHost::~ImGuiHost() { Close(); }

bool ImGuiHost::Open(const std::string& title, int width, int height) {
  if (!InitVideoForPlayer()) return false;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                             height, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  if (!window_) {
    std::fprintf(stderr, "halvex: cannot open the launcher window: %s\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
  SetNativeWindowIcon(window_, iconWidth_, iconHeight_, iconRgba_.empty() ? nullptr : iconRgba_.data());
  context_ = SDL_GL_CreateContext(window_);
  if (!context_) {
    std::fprintf(stderr, "halvex: no OpenGL 3.3 for the launcher: %s\n", SDL_GetError());
    Close();
    return false;
  }
  SDL_GL_MakeCurrent(window_, context_);
  SDL_GL_SetSwapInterval(1);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // the launcher's layout is fixed; nothing to remember
  io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
  regular_ = LoadFirst(kRegularFonts, 13.0f);
  bold_ = LoadFirst(kBoldFonts, 13.0f);
  display_ = LoadFirst(kDisplayFonts, 34.0f);
  ImGui_ImplSDL2_InitForOpenGL(window_, context_);
  ImGui_ImplOpenGL3_Init("#version 330 core");
  imgui_ = true;
  closeRequested_ = false;
  return true;
}

void ImGuiHost::Close() {
  if (imgui_) {
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    imgui_ = false;
  }
  if (context_) SDL_GL_DeleteContext(context_);
  context_ = nullptr;
  if (window_) {
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    // The video subsystem stays up: the game window follows at once, and
    // shutting it down would unload the GL driver and reload it right after.
  }
}

void ImGuiHost::SetTitle(const std::string& title) {
  if (window_) SDL_SetWindowTitle(window_, title.c_str());
}

void ImGuiHost::Resize(int width, int height) {
  if (!window_) return;
  SDL_SetWindowSize(window_, width, height);
  SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void ImGuiHost::SetIcon(int width, int height, std::vector<std::uint8_t> rgba) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4) return;
  iconWidth_ = width;
  iconHeight_ = height;
  iconRgba_ = std::move(rgba);
  SetNativeWindowIcon(window_, iconWidth_, iconHeight_, iconRgba_.data());
}

bool ImGuiHost::BeginFrame() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    ImGui_ImplSDL2_ProcessEvent(&event);
    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
      closeRequested_ = true;
    }
  }
  // SIGTERM or SIGINT while the launcher is up: leave it as if closed.
  if (TerminationRequested()) closeRequested_ = true;
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  return !closeRequested_;
}

void ImGuiHost::EndFrame() {
  ImGui::Render();
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window_, &w, &h);
  glViewport(0, 0, w, h);
  glClearColor(0.08f, 0.09f, 0.11f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  if (!capturePath_.empty()) {
    lastCaptureOk_ = SaveBackBuffer(window_, capturePath_);
    capturePath_.clear();
  }
  SDL_GL_SwapWindow(window_);
}

void ImGuiHost::InjectMouseMove(int x, int y) {
  // Move the real pointer too: the ImGui backend reads the global pointer
  // position whenever the window has the focus.
  SDL_WarpMouseInWindow(window_, x, y);
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = SDL_GetWindowID(window_);
  e.motion.x = x;
  e.motion.y = y;
  PushEvent(e);
}

void ImGuiHost::InjectClick(int x, int y, int sdlButton) {
  InjectMouseMove(x, y);
  for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = SDL_GetWindowID(window_);
    e.button.button = static_cast<Uint8>(sdlButton);
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x;
    e.button.y = y;
    PushEvent(e);
  }
}

void ImGuiHost::InjectText(const std::string& utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  e.text.windowID = SDL_GetWindowID(window_);
  std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8.c_str());
  PushEvent(e);
}

void ImGuiHost::InjectKey(int sdlKeycode, bool down) {
  {
    Uint32 type = down ? SDL_KEYDOWN : SDL_KEYUP;
    SDL_Event e{};
    e.type = type;
    e.key.windowID = SDL_GetWindowID(window_);
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sdlKeycode;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(sdlKeycode);
    PushEvent(e);
  }
}

void ApplyDialogStyle() {
  ImGuiStyle& style = ImGui::GetStyle();
  ImGui::StyleColorsDark(&style);
  style.WindowPadding = ImVec2(0, 0);
  style.WindowRounding = 0;
  style.FrameRounding = 3;
  style.GrabRounding = 3;
  style.FramePadding = ImVec2(6, 3);
  style.FrameBorderSize = 1;
  ImVec4* c = style.Colors;
  c[ImGuiCol_WindowBg] = ImVec4(0.11f, 0.12f, 0.14f, 1);
  c[ImGuiCol_Text] = ImVec4(0.92f, 0.90f, 0.86f, 1);
  c[ImGuiCol_TextDisabled] = ImVec4(0.48f, 0.47f, 0.45f, 1);
  c[ImGuiCol_Border] = ImVec4(0.36f, 0.30f, 0.22f, 1);
  c[ImGuiCol_FrameBg] = ImVec4(0.17f, 0.18f, 0.20f, 1);
  c[ImGuiCol_FrameBgHovered] = ImVec4(0.24f, 0.22f, 0.19f, 1);
  c[ImGuiCol_FrameBgActive] = ImVec4(0.30f, 0.25f, 0.18f, 1);
  c[ImGuiCol_Button] = ImVec4(0.33f, 0.25f, 0.15f, 1);
  c[ImGuiCol_ButtonHovered] = ImVec4(0.52f, 0.38f, 0.20f, 1);
  c[ImGuiCol_ButtonActive] = ImVec4(0.66f, 0.47f, 0.22f, 1);
  c[ImGuiCol_CheckMark] = ImVec4(0.95f, 0.72f, 0.36f, 1);
  c[ImGuiCol_SliderGrab] = ImVec4(0.80f, 0.58f, 0.28f, 1);
  c[ImGuiCol_SliderGrabActive] = ImVec4(0.95f, 0.72f, 0.36f, 1);
  c[ImGuiCol_Header] = ImVec4(0.33f, 0.25f, 0.15f, 1);
  c[ImGuiCol_HeaderHovered] = ImVec4(0.52f, 0.38f, 0.20f, 1);
  c[ImGuiCol_HeaderActive] = ImVec4(0.66f, 0.47f, 0.22f, 1);
  c[ImGuiCol_PopupBg] = ImVec4(0.13f, 0.14f, 0.16f, 1);
  c[ImGuiCol_NavHighlight] = ImVec4(0.95f, 0.72f, 0.36f, 1);
}

}  // namespace halvex::platform
