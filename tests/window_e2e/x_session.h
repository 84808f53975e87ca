// A private X server for one test and real input sent to it: key presses
// through XTest (as a keyboard makes them), focus changes and the close
// request a window manager sends. Nothing goes through the game's own
// script path.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace halvex::test {

class XSession {
 public:
  XSession() = default;
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Starts Xvfb on a free display number and connects to it; false (with
  // error()) when either fails.
  bool Start();
  const std::string& display() const { return display_; }
  const std::string& error() const { return error_; }

  // The viewable top-level window of process pid with this title (or, with
  // prefix, a title that starts with it), or 0 once timeoutMs have passed
  // without one.
  unsigned long FindWindow(pid_t pid, const std::string& title, int timeoutMs, bool prefix = false);
  std::string Title(unsigned long window);
  bool WindowExists(unsigned long window);

  // Gives the window the keyboard focus, as clicking on it would.
  void Focus(unsigned long window);
  // Another window (one of the session's own) takes the focus.
  void FocusElsewhere();

  // Key by X keysym name ("Return", "Escape", "F12", "w").
  void Key(const char* keysym, bool down);
  void Tap(const char* keysym, int holdMs = 80);
  // Types lower-case letters, digits and spaces, one key tap each.
  void Type(const std::string& text);
  // A left click at (x, y) in the window, as the mouse makes it.
  void Click(unsigned long window, int x, int y);
  // The close request a window manager sends for the close button.
  void Close(unsigned long window);
  // Sizes the window, as dragging its frame does, and puts it at the screen's corner.
  void Resize(unsigned long window, int width, int height);
  // What the window shows now: width x height pixels as 0xRRGGBB, rows top first.
  std::vector<std::uint32_t> Capture(unsigned long window, int* width, int* height);

 private:
  void Sync();

  pid_t server_ = -1;
  _XDisplay* dpy_ = nullptr;
  unsigned long other_ = 0;  // the window that takes the focus away
  std::string display_;
  std::string error_;
};

}  // namespace halvex::test
