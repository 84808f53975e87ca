#include "tests/window_e2e/x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace halvex::test {

namespace {

using namespace std::chrono;

void SleepMs(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

// Ignores X errors for windows that vanish while we look at them.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

XSession::~XSession() {
  if (dpy_) XCloseDisplay(dpy_);
  if (server_ > 0) {
    ::kill(server_, SIGTERM);
    ::waitpid(server_, nullptr, 0);
  }
}

bool XSession::Start() {
  int fds[2];
  if (::pipe(fds) != 0) {
    error_ = "pipe failed";
    return false;
  }
  server_ = ::fork();
  if (server_ == 0) {
    ::close(fds[0]);
    // Xvfb reports every display number it finds taken while it looks for a free one.
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (quiet >= 0) ::dup2(quiet, 2);
    const std::string fd = std::to_string(fds[1]);
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "+extension", "GLX",
             "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  // Xvfb writes its display number once it accepts connections.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  const auto until = steady_clock::now() + seconds(30);
  while (steady_clock::now() < until) {
    if (::poll(&p, 1, 100) <= 0) continue;
    char c;
    if (::read(fds[0], &c, 1) != 1) break;
    if (c == '\n') break;
    number += c;
  }
  ::close(fds[0]);
  if (number.empty()) {
    error_ = "Xvfb did not start (is the xvfb package installed?)";
    return false;
  }
  display_ = ":" + number;
  dpy_ = XOpenDisplay(display_.c_str());
  if (!dpy_) {
    error_ = "cannot connect to " + display_;
    return false;
  }
  XSetErrorHandler(IgnoreXErrors);
  int event, error, major, minor;
  if (!XTestQueryExtension(dpy_, &event, &error, &major, &minor)) {
    error_ = "the X server has no XTest extension";
    return false;
  }
  return true;
}

void XSession::Sync() { XSync(dpy_, False); }

unsigned long XSession::FindWindow(pid_t pid, const std::string& title, int timeoutMs, bool prefix) {
  const Atom pidAtom = XInternAtom(dpy_, "_NET_WM_PID", False);
  const auto until = steady_clock::now() + milliseconds(timeoutMs);
  while (steady_clock::now() < until) {
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    unsigned long found = 0;
    if (XQueryTree(dpy_, DefaultRootWindow(dpy_), &root, &parent, &children, &count)) {
      for (unsigned int i = 0; i < count && !found; ++i) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        bool ours = false;
        if (XGetWindowProperty(dpy_, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                               &after, &data) == Success &&
            data && items == 1) {
          ours = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid;
        }
        if (data) XFree(data);
        char* name = nullptr;
        XWindowAttributes attributes{};
        if (ours && XFetchName(dpy_, children[i], &name) && name &&
            (prefix ? std::string(name).rfind(title, 0) == 0 : title == name) &&
            XGetWindowAttributes(dpy_, children[i], &attributes) && attributes.map_state == IsViewable) {
          found = children[i];
        }
        if (name) XFree(name);
      }
      if (children) XFree(children);
    }
    if (found) return found;
    SleepMs(100);
  }
  return 0;
}

std::string XSession::Title(unsigned long window) {
  char* name = nullptr;
  std::string title;
  if (XFetchName(dpy_, window, &name) && name) title = name;
  if (name) XFree(name);
  return title;
}

void XSession::Click(unsigned long window, int x, int y) {
  XWarpPointer(dpy_, None, window, 0, 0, 0, 0, x, y);
  Sync();
  SleepMs(150);  // the motion first, so the dialog sees the pointer over the button
  XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
  Sync();
  SleepMs(120);
  XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
  Sync();
  // Dialogs act on the release where the pointer is when they next look:
  // it stays there a moment, as a hand on a mouse does.
  SleepMs(200);
}

bool XSession::WindowExists(unsigned long window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(dpy_, window, &attributes) != 0;
}

void XSession::Focus(unsigned long window) {
  XRaiseWindow(dpy_, window);
  XSetInputFocus(dpy_, window, RevertToParent, CurrentTime);
  Sync();
}

void XSession::FocusElsewhere() {
  if (!other_) {
    other_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 700, 500, 200, 150, 0, 0, 0);
    XMapRaised(dpy_, other_);
    Sync();
    SleepMs(100);
  }
  XSetInputFocus(dpy_, other_, RevertToParent, CurrentTime);
  Sync();
}

void XSession::Key(const char* keysym, bool down) {
  const KeyCode code = XKeysymToKeycode(dpy_, XStringToKeysym(keysym));
  XTestFakeKeyEvent(dpy_, code, down ? True : False, CurrentTime);
  Sync();
}

void XSession::Tap(const char* keysym, int holdMs) {
  Key(keysym, true);
  SleepMs(holdMs);
  Key(keysym, false);
}

void XSession::Type(const std::string& text) {
  for (char c : text) {
    const std::string name = c == ' ' ? "space" : std::string(1, c);
    Tap(name.c_str(), 40);
    SleepMs(40);
  }
}

void XSession::Close(unsigned long window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(dpy_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy_, window, False, NoEventMask, &event);
  Sync();
}

void XSession::Resize(unsigned long window, int width, int height) {
  // At the screen's corner, so all of it stays on the screen to be seen.
  XMoveResizeWindow(dpy_, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
  Sync();
}

std::vector<std::uint32_t> XSession::Capture(unsigned long window, int* width, int* height) {
  XWindowAttributes a{};
  std::vector<std::uint32_t> pixels;
  *width = *height = 0;
  if (!XGetWindowAttributes(dpy_, window, &a)) return pixels;
  XImage* image = XGetImage(dpy_, window, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                            AllPlanes, ZPixmap);
  if (!image) return pixels;
  *width = a.width;
  *height = a.height;
  pixels.reserve(static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height));
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
  XDestroyImage(image);
  return pixels;
}

}  // namespace halvex::test
