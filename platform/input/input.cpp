// Keyboard and mouse state shared between the window thread (which feeds SDL
// events) and the game thread (which reads snapshots), behind one mutex.
#include "platform/input/input.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/input/sdl_feed.h"

namespace halvex::input {

namespace {

struct SharedInput {
  std::mutex mutex;
  std::array<BYTE, 256> keys{};
  // Pressed since the last read: a tap shorter than a frame still reads as
  // down once, so a slow frame never swallows a key press or a click.
  std::array<BYTE, 256> keysPressed{};
  LONG dx = 0, dy = 0, wheel = 0;
  std::array<BYTE, 4> buttons{};
  std::array<BYTE, 4> buttonsPressed{};
  bool focused = true;
  bool mouseAcquired = false;
  bool mouseExclusive = false;
  bool mouseForeground = false;
  bool mouseLost = false;  // focus went while acquired: the next read reports it once
  bool keyboardAcquired = false;
  bool keyboardForeground = false;
  bool keyboardLost = false;
};

SharedInput& Shared() {
  static SharedInput shared;
  return shared;
}

// -1 nothing to do, 0 leave relative mode, 1 enter it.
std::atomic<int> gRelativeRequest{-1};

int MouseButtonIndex(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    default: return -1;
  }
}

void LoseFocus(SharedInput& s) {
  s.focused = false;
  if (s.mouseAcquired && s.mouseForeground) {
    s.mouseAcquired = false;
    s.mouseLost = true;
    if (s.mouseExclusive) gRelativeRequest = 0;
  }
  if (s.keyboardAcquired && s.keyboardForeground) {
    s.keyboardAcquired = false;
    s.keyboardLost = true;
  }
  // Keys released while we are away would otherwise stay down for ever.
  s.keys.fill(0);
  s.keysPressed.fill(0);
  s.buttons.fill(0);
  s.buttonsPressed.fill(0);
}

// The current state with the presses since the last read, which it consumes.
template <std::size_t N>
void TakeState(std::array<BYTE, N>& held, std::array<BYTE, N>& pressed, BYTE* out) {
  for (std::size_t i = 0; i < N; ++i) out[i] = held[i] | pressed[i];
  pressed.fill(0);
}

class DeviceImpl final : public InputDevice {
 public:
  explicit DeviceImpl(DeviceGuid guid) : guid_(guid) {}

  HRESULT SetDataFormat(DataFormat format) override {
    bool matches = (guid_ == GUID_SysKeyboard) == (format == c_dfDIKeyboard);
    if (!matches) return DIERR_INVALIDPARAM;
    formatSet_ = true;
    return DI_OK;
  }

  HRESULT SetCooperativeLevel(SDL_Window*, DWORD flags) override {
    bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
    bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
    if (exclusive == nonExclusive || foreground == background) return DIERR_INVALIDPARAM;
    exclusive_ = exclusive;
    foreground_ = foreground;
    return DI_OK;
  }

  HRESULT SetBufferSize(DWORD events) override {
    bufferSize_ = events;  // reads are snapshots; the size is kept for completeness
    return DI_OK;
  }

  HRESULT Acquire() override {
    if (!formatSet_) return DIERR_INVALIDPARAM;
    SharedInput& s = Shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (foreground_ && !s.focused) return DIERR_OTHERAPPHASPRIO;
    if (guid_ == GUID_SysMouse) {
      if (s.mouseAcquired) return DI_NOEFFECT;
      s.mouseAcquired = true;
      s.mouseLost = false;
      s.mouseExclusive = exclusive_;
      s.mouseForeground = foreground_;
      s.dx = s.dy = s.wheel = 0;  // motion and clicks count from the acquisition on
      s.buttonsPressed.fill(0);
      if (exclusive_) gRelativeRequest = 1;
    } else {
      if (s.keyboardAcquired) return DI_NOEFFECT;
      s.keyboardAcquired = true;
      s.keyboardLost = false;
      s.keyboardForeground = foreground_;
      s.keysPressed.fill(0);  // a press made while another owner had the keys is not ours
    }
    return DI_OK;
  }

  HRESULT Unacquire() override {
    SharedInput& s = Shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    bool& acquired = guid_ == GUID_SysMouse ? s.mouseAcquired : s.keyboardAcquired;
    if (!acquired) return DI_NOEFFECT;
    acquired = false;
    if (guid_ == GUID_SysMouse && s.mouseExclusive) gRelativeRequest = 0;
    return DI_OK;
  }

  HRESULT GetDeviceState(DWORD size, void* data) override {
    if (!data) return DIERR_INVALIDPARAM;
    SharedInput& s = Shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (guid_ == GUID_SysKeyboard) {
      if (size != 256) return DIERR_INVALIDPARAM;
      if (!s.keyboardAcquired) return Lost(s.keyboardLost);
      TakeState(s.keys, s.keysPressed, static_cast<BYTE*>(data));
      return DI_OK;
    }
    if (size != sizeof(DIMOUSESTATE)) return DIERR_INVALIDPARAM;
    if (!s.mouseAcquired) return Lost(s.mouseLost);
    DIMOUSESTATE state{s.dx, s.dy, s.wheel, {}};
    TakeState(s.buttons, s.buttonsPressed, state.rgbButtons);
    s.dx = s.dy = s.wheel = 0;
    std::memcpy(data, &state, sizeof state);
    return DI_OK;
  }

  DWORD Release() override {
    Unacquire();  // a released device lets go of the mouse
    delete this;
    return 0;
  }

 private:
  static HRESULT Lost(bool& lost) {
    if (!lost) return DIERR_NOTACQUIRED;
    lost = false;
    return DIERR_INPUTLOST;
  }

  DeviceGuid guid_;
  bool formatSet_ = false;
  bool exclusive_ = false;
  bool foreground_ = false;
  DWORD bufferSize_ = 0;
};

class DirectInputImpl final : public DirectInput8 {
 public:
  HRESULT CreateDevice(DeviceGuid guid, InputDevice** device) override {
    if (!device) return DIERR_INVALIDPARAM;
    *device = new DeviceImpl(guid);
    return DI_OK;
  }
  DWORD Release() override {
    delete this;
    return 0;
  }
};

}  // namespace

HRESULT DirectInput8Create(DWORD version, DirectInput8** out) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  *out = new DirectInputImpl;
  return DI_OK;
}

void HandleEvent(const SDL_Event& e) {
  SharedInput& s = Shared();
  std::lock_guard<std::mutex> lock(s.mutex);
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      BYTE dik = DikFromScancode(e.key.keysym.scancode);
      if (!dik) break;
      s.keys[dik] = e.type == SDL_KEYDOWN ? 0x80 : 0;
      if (e.type == SDL_KEYDOWN) s.keysPressed[dik] = 0x80;
      break;
    }
    case SDL_MOUSEMOTION:
      if (s.mouseAcquired) {
        s.dx += e.motion.xrel;
        s.dy += e.motion.yrel;
      }
      break;
    case SDL_MOUSEWHEEL:
      if (s.mouseAcquired) {
        int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        s.wheel += notches * 120;
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int i = MouseButtonIndex(e.button.button);
      if (i < 0) break;
      s.buttons[i] = e.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
      if (e.type == SDL_MOUSEBUTTONDOWN && s.mouseAcquired) s.buttonsPressed[i] = 0x80;
      break;
    }
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) s.focused = true;
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) LoseFocus(s);
      break;
    default: break;
  }
}

void ApplyInputRequests() {
  int request = gRelativeRequest.exchange(-1);
  if (request >= 0 && SDL_WasInit(SDL_INIT_VIDEO)) SDL_SetRelativeMouseMode(request ? SDL_TRUE : SDL_FALSE);
}

}  // namespace halvex::input
