// The main window on SDL2 and the window thread's message loop.
//
// The window thread pumps SDL events and turns the ones the game's message
// procedure handles into Windows-style messages (activation, close, key
// down, characters); everything else (mouse motion, key state) goes to the
// event observer, which feeds the input devices. Other threads post or send
// messages through the same queue. Without a display (headless runs) there
// is no SDL window and the loop serves posted messages and timers only.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/window/message_queue.h"

union SDL_Event;
struct SDL_Window;

namespace halvex::platform {

struct WindowOptions {
  std::string title;
  bool fullscreen = false;
  int width = 800;
  int height = 600;
  bool headless = false;  // no SDL window at all
  // Relative mouse motion as the device reports it (XInput2 raw events on X11),
  // or through pointer warping, which the desktop's acceleration shapes.
  bool rawMouse = true;
  bool resizable = false;  // windowed only: the player may size it
  // The window's own depth and stencil bits. A device whose automatic depth
  // surface has the same can draw straight into the window.
  int depthBits = 24;
  int stencilBits = 8;
};

// Where a window of the given size goes: full screen covers the screen from
// (0, 0), a window is centred.
struct WindowPlacement {
  int x, y, width, height;
};
WindowPlacement PlaceWindow(bool fullscreen, int width, int height, int screenWidth,
                            int screenHeight);

// The full-screen sizes the first display offers, as "1920x1080"; empty
// when the video system is not up or knows none.
std::vector<std::string> DisplayModeSizes();

class Window {
 public:
  using Procedure = std::function<LResult(Window&, const Message&)>;
  using EventObserver = std::function<void(const SDL_Event&)>;

  Window();
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Creates and shows the window (call on the window thread). False when SDL
  // could not make one.
  bool Create(const WindowOptions& options);
  SDL_Window* native() const { return window_; }
  bool headless() const { return headless_; }
  void Show(bool visible);
  void Raise();
  void ShowCursor(bool visible);
  // The icon the desktop shows for the window: width x height pixels of
  // 8-bit R, G, B, A, top row first. Copied; ignored without a window or
  // with no pixels (call on the window thread).
  void SetIcon(int width, int height, const std::uint8_t* rgba);

  // Every SDL event, before translation (call before RunMessageLoop).
  void SetEventObserver(EventObserver observer) { observer_ = std::move(observer); }
  // Called on the window thread after every pump of the SDL events, for work
  // SDL wants done on the thread that owns the window.
  void SetPumpHook(std::function<void()> hook) { pumpHook_ = std::move(hook); }
  // While paused the window thread leaves SDL's event queue alone and only
  // handles its messages and timers: another thread runs a modal window of
  // its own (the connect wizard) and takes the events. Thread-safe. Pausing
  // returns once the window thread is out of SDL's event calls (or, should
  // its loop not run, after a second), so the two never read events at once.
  void PauseEventPump(bool paused);

  // Thread-safe. False when the window has stopped taking messages.
  bool Post(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
    return queue_.Post(message, wParam, lParam);
  }
  LResult Send(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
    return queue_.Send(message, wParam, lParam);
  }
  // Periodic WM_TIMER with wParam = id until killed; setting an existing id
  // restarts it. Thread-safe.
  void SetTimer(WParam id, int periodMs);
  void KillTimer(WParam id);

  // Runs on the window thread until WM_QUIT; returns its exit code.
  int RunMessageLoop(const Procedure& procedure);

  // The text shown in the window's status line while loading; empty hides
  // it. Thread-safe.
  void SetStatusText(const std::string& text);
  std::string statusText() const;
  // The title bar's text; applied on the window thread. Thread-safe.
  void SetTitle(const std::string& title);
  std::string title() const;

 private:
  void PumpSdlEvents(const MessageQueue::Handler& handler);
  void FireDueTimers();
  int MillisecondsToNextTimer() const;
  void Destroy();

  SDL_Window* window_ = nullptr;
  bool headless_ = true;
  bool sdlVideo_ = false;
  MessageQueue queue_;
  EventObserver observer_;
  std::function<void()> pumpHook_;
  std::atomic<bool> eventsPaused_{false};
  std::mutex parkMutex_;
  std::condition_variable parked_;
  bool pumpParked_ = false;  // the window thread has seen the pause

  struct Timer {
    int periodMs;
    std::uint64_t dueMs;
  };
  mutable std::mutex timerMutex_;
  std::map<WParam, Timer> timers_;

  mutable std::mutex statusMutex_;
  std::string statusText_;
  std::string title_;
};

// Starts SDL's video and events for a window a player has to see (the game
// window, the launcher's). SDL falls back to drivers that draw into memory
// when it finds no display, which would leave a game running unseen; those
// count as no display unless SDL_VIDEODRIVER named one on purpose. False,
// with the reason on stderr, when there is nothing to show a window on.
bool InitVideoForPlayer();

// An SDL window's icon from 8-bit RGBA pixels, top row first (the game
// window and the launcher both use it); bad input leaves the icon alone.
void SetNativeWindowIcon(SDL_Window* window, int width, int height, const std::uint8_t* rgba);

// Turns an SDL event into the messages the procedure handles; returns how
// many it wrote (0 to 2). Exposed for tests.
int TranslateEvent(const SDL_Event& event, Message out[], int capacity);

}  // namespace halvex::platform
