#include "platform/window/window.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/window/termination.h"

namespace halvex::platform {

WindowPlacement PlaceWindow(bool fullscreen, int width, int height, int screenWidth,
                            int screenHeight) {
  if (fullscreen) return {0, 0, screenWidth, screenHeight};
  return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
}

std::vector<std::string> DisplayModeSizes() {
  std::vector<std::string> sizes;
  const int count = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetNumDisplayModes(0) : 0;
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(0, i, &mode) == 0) sizes.push_back(std::to_string(mode.w) + "x" + std::to_string(mode.h));
  }
  return sizes;
}

namespace {

std::uint64_t NowMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// One UTF-8 sequence to a byte the chat line can hold (Latin-1), or -1 for
// characters outside it.
int Latin1Of(const unsigned char*& p) {
  unsigned c = *p++;
  if (c < 0x80) return static_cast<int>(c);
  if ((c & 0xE0) == 0xC0 && (*p & 0xC0) == 0x80) {
    unsigned code = ((c & 0x1F) << 6) | (*p++ & 0x3F);
    return code <= 0xFF ? static_cast<int>(code) : -1;
  }
  while ((*p & 0xC0) == 0x80) ++p;  // skip the rest of a longer sequence
  return -1;
}

}  // namespace

int TranslateEvent(const SDL_Event& event, Message out[], int capacity) {
  int n = 0;
  auto emit = [&](std::uint32_t message, WParam w, LParam l = 0) {
    if (n < capacity) out[n++] = {message, w, l};
  };
  switch (event.type) {
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          emit(WM_ACTIVATE, WA_ACTIVE);
          emit(WM_ACTIVATEAPP, 1);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          emit(WM_ACTIVATE, WA_INACTIVE);
          emit(WM_ACTIVATEAPP, 0);
          break;
        case SDL_WINDOWEVENT_CLOSE:
          emit(WM_CLOSE, 0);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          emit(WM_PAINT, 0);
          break;
        default:
          break;
      }
      break;
    case SDL_KEYDOWN:
      switch (event.key.keysym.sym) {
        case SDLK_DELETE: emit(WM_KEYDOWN, VK_DELETE); break;
        case SDLK_UP: emit(WM_KEYDOWN, VK_UP); break;
        case SDLK_DOWN: emit(WM_KEYDOWN, VK_DOWN); break;
        // Keys that also type a control character, as on Windows.
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
          emit(WM_KEYDOWN, VK_RETURN);
          emit(WM_CHAR, '\r');
          break;
        case SDLK_BACKSPACE:
          emit(WM_KEYDOWN, VK_BACK);
          emit(WM_CHAR, 8);
          break;
        case SDLK_ESCAPE:
          emit(WM_KEYDOWN, VK_ESCAPE);
          emit(WM_CHAR, 27);
          break;
        default:
          break;
      }
      break;
    case SDL_AUDIODEVICEREMOVED:
      // SDL reports removal only for devices that are open; the game opens
      // one output and never records.
      if (!event.adevice.iscapture) emit(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE);
      break;
    case SDL_TEXTINPUT: {
      const auto* p = reinterpret_cast<const unsigned char*>(event.text.text);
      while (*p) {
        int ch = Latin1Of(p);
        if (ch >= 0x20) emit(WM_CHAR, static_cast<WParam>(ch));
      }
      break;
    }
    default:
      break;
  }
  return n;
}

bool InitVideoForPlayer() {
  const char* const kNoDisplay =
      "halvex: no display to show the game on (set DISPLAY, or use --headless)";
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "%s: %s\n", kNoDisplay, SDL_GetError());
    return false;
  }
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if (asked && *asked) return true;  // a developer's choice, unseen or not
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    std::fprintf(stderr, "%s\n", kNoDisplay);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
  return true;
}

Window::Window() = default;

Window::~Window() { Destroy(); }

bool Window::Create(const WindowOptions& options) {
  queue_.BindToCurrentThread();
  headless_ = options.headless;
  {
    std::lock_guard lock(statusMutex_);
    title_ = options.title;
  }
  if (headless_) return true;
  SDL_SetHint(SDL_HINT_MOUSE_RELATIVE_MODE_WARP, options.rawMouse ? "0" : "1");
  if (!InitVideoForPlayer()) return false;
  sdlVideo_ = true;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
    mode.w = options.width;
    mode.h = options.height;
  }
  WindowPlacement place =
      PlaceWindow(options.fullscreen, options.width, options.height, mode.w, mode.h);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
  if (options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN;
  if (options.resizable && !options.fullscreen) flags |= SDL_WINDOW_RESIZABLE;
  // The game thread's device asks for exactly these buffers on this window.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, options.depthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, options.stencilBits);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  window_ = SDL_CreateWindow(options.title.c_str(), place.x, place.y,
                             options.fullscreen ? options.width : place.width,
                             options.fullscreen ? options.height : place.height, flags);
  if (!window_) {
    std::fprintf(stderr, "halvex: cannot create the window: %s\n", SDL_GetError());
    return false;
  }
  // No wake-up event for posts from other threads: SDL sends it to the
  // window over a second X connection, and the one the game thread posts
  // last could reach the server after the window is gone (a BadWindow error
  // that ends the process). The loop never waits longer than 10 ms, so a
  // post is handled within that anyway.
  SDL_StartTextInput();
  return true;
}

void Window::Destroy() {
  queue_.Shutdown();
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
  if (sdlVideo_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  sdlVideo_ = false;
}

void Window::Show(bool visible) {
  if (!window_) return;
  if (visible) {
    SDL_ShowWindow(window_);
  } else {
    SDL_HideWindow(window_);
  }
}

void Window::Raise() {
  if (window_) SDL_RaiseWindow(window_);
}

void Window::ShowCursor(bool visible) {
  if (sdlVideo_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void SetNativeWindowIcon(SDL_Window* window, int width, int height, const std::uint8_t* rgba) {
  if (!window || !rgba || width <= 0 || height <= 0) return;
  // SDL reads the pixels in place and keeps its own copy once set.
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(rgba), width, height, 32,
                                                            width * 4, SDL_PIXELFORMAT_RGBA32);
  if (!surface) return;
  SDL_SetWindowIcon(window, surface);
  SDL_FreeSurface(surface);
}

void Window::SetIcon(int width, int height, const std::uint8_t* rgba) {
  SetNativeWindowIcon(window_, width, height, rgba);
}

void Window::SetTimer(WParam id, int periodMs) {
  std::lock_guard lock(timerMutex_);
  timers_[id] = {std::max(1, periodMs), NowMs() + static_cast<std::uint64_t>(std::max(1, periodMs))};
  queue_.Post(WM_APP - 1);  // wake the loop so it waits for the new timer
}

void Window::KillTimer(WParam id) {
  std::lock_guard lock(timerMutex_);
  timers_.erase(id);
}

void Window::SetStatusText(const std::string& text) {
  std::lock_guard lock(statusMutex_);
  statusText_ = text;
}

std::string Window::statusText() const {
  std::lock_guard lock(statusMutex_);
  return statusText_;
}

namespace {
constexpr std::uint32_t kApplyTitle = WM_APP - 2;  // internal: the title changed
}

void Window::SetTitle(const std::string& title) {
  {
    std::lock_guard lock(statusMutex_);
    title_ = title;
  }
  queue_.Post(kApplyTitle);
}

std::string Window::title() const {
  std::lock_guard lock(statusMutex_);
  return title_;
}

void Window::FireDueTimers() {
  const std::uint64_t now = NowMs();
  std::vector<WParam> due;
  {
    std::lock_guard lock(timerMutex_);
    for (auto& [id, timer] : timers_) {
      if (timer.dueMs <= now) {
        due.push_back(id);
        timer.dueMs = now + static_cast<std::uint64_t>(timer.periodMs);
      }
    }
  }
  for (WParam id : due) queue_.Post(WM_TIMER, id);
}

int Window::MillisecondsToNextTimer() const {
  const std::uint64_t now = NowMs();
  std::uint64_t wait = 10;
  std::lock_guard lock(timerMutex_);
  for (const auto& [id, timer] : timers_) {
    wait = std::min(wait, timer.dueMs > now ? timer.dueMs - now : 0);
  }
  return static_cast<int>(wait);
}

void Window::PauseEventPump(bool paused) {
  std::unique_lock lock(parkMutex_);
  eventsPaused_ = paused;
  pumpParked_ = false;
  queue_.Post(WM_APP - 1);
  if (!paused || !sdlVideo_) return;
  // Wake the window thread out of its wait for SDL's events.
  static const Uint32 kWakeEvent = SDL_RegisterEvents(1);
  SDL_Event wake{};
  wake.type = kWakeEvent;
  if (kWakeEvent != static_cast<Uint32>(-1)) SDL_PushEvent(&wake);
  parked_.wait_for(lock, std::chrono::seconds(1), [this] { return pumpParked_; });
}

void Window::PumpSdlEvents(const MessageQueue::Handler& handler) {
  SDL_Event event;
  int timeout = MillisecondsToNextTimer();
  bool have = SDL_WaitEventTimeout(&event, timeout) != 0;
  while (have) {
    if (observer_) observer_(event);
    Message messages[8];
    int n = TranslateEvent(event, messages, 8);
    for (int i = 0; i < n; ++i) handler(messages[i]);
    have = SDL_PollEvent(&event) != 0;
  }
  if (pumpHook_) pumpHook_();
}

int Window::RunMessageLoop(const Procedure& procedure) {
  queue_.BindToCurrentThread();
  MessageQueue::Handler handler = [&](const Message& m) -> LResult {
    if (m.message == WM_APP - 1) return 0;  // internal wake-up
    if (m.message == kApplyTitle) {
      if (window_) SDL_SetWindowTitle(window_, title().c_str());
      return 0;
    }
    return procedure(*this, m);
  };
  for (;;) {
    if (!queue_.Dispatch(handler)) break;
    FireDueTimers();
    // Each termination signal becomes one message: a second one, like a
    // second close, asks for the quickest way out.
    for (int n = TakeTerminationRequests(); n > 0; --n) queue_.Post(WM_ENDSESSION, 1);
    if (!queue_.Dispatch(handler)) break;
    if (window_ && !eventsPaused_) {
      PumpSdlEvents(handler);
    } else {
      {
        std::lock_guard lock(parkMutex_);
        pumpParked_ = eventsPaused_;
      }
      parked_.notify_all();
      queue_.Wait(MillisecondsToNextTimer());
    }
  }
  queue_.Shutdown();
  return queue_.quitCode();
}

}  // namespace halvex::platform
