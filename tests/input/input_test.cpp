// The DirectInput-shaped devices fed with SDL events as the window thread
// would, read as the game thread would.
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "platform/input/input.h"
#include "platform/input/sdl_feed.h"

namespace halvex::input {
namespace {

SDL_Event Key(SDL_Scancode code, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.keysym.scancode = code;
  return e;
}
SDL_Event Motion(int dx, int dy) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.xrel = dx;
  e.motion.yrel = dy;
  return e;
}
SDL_Event Button(Uint8 button, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = button;
  return e;
}
SDL_Event Focus(bool gained) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
  return e;
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HandleEvent(Focus(false));  // clears keys and buttons left by an earlier test
    HandleEvent(Focus(true));
    ASSERT_EQ(DirectInput8Create(DIRECTINPUT_VERSION, &di_), DI_OK);
    ASSERT_EQ(di_->CreateDevice(GUID_SysKeyboard, &keyboard_), DI_OK);
    ASSERT_EQ(keyboard_->SetDataFormat(c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard_->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(di_->CreateDevice(GUID_SysMouse, &mouse_), DI_OK);
    ASSERT_EQ(mouse_->SetDataFormat(c_dfDIMouse), DI_OK);
    ASSERT_EQ(mouse_->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    mouse_->SetBufferSize(20);
  }
  void TearDown() override {
    mouse_->Release();
    keyboard_->Release();
    di_->Release();
  }
  DIMOUSESTATE ReadMouse() {
    DIMOUSESTATE m{};
    EXPECT_EQ(mouse_->GetDeviceState(sizeof m, &m), DI_OK);
    return m;
  }

  DirectInput8* di_ = nullptr;
  InputDevice* keyboard_ = nullptr;
  InputDevice* mouse_ = nullptr;
};

TEST_F(InputTest, KeysReadByDirectInputScanCodeWithBitSeven) {
  std::array<BYTE, 256> keys;
  keys.fill(0x55);
  EXPECT_EQ(keyboard_->GetDeviceState(256, keys.data()), DIERR_NOTACQUIRED);
  EXPECT_EQ(keys[0], 0x55) << "a failed read keeps the previous snapshot";

  ASSERT_EQ(keyboard_->Acquire(), DI_OK);
  EXPECT_EQ(keyboard_->Acquire(), DI_NOEFFECT);
  for (SDL_Scancode c : {SDL_SCANCODE_W, SDL_SCANCODE_UP, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_F11,
                         SDL_SCANCODE_AUDIOPLAY})
    HandleEvent(Key(c, true));
  ASSERT_EQ(keyboard_->GetDeviceState(256, keys.data()), DI_OK);
  EXPECT_EQ(keys[DIK_UP], 0x80);
  EXPECT_EQ(keys[DIK_NUMPADENTER], 0x80);
  EXPECT_EQ(keys[DIK_F11], 0x80);
  int down = 0;
  for (BYTE k : keys) down += k != 0;
  EXPECT_EQ(down, 4) << "keys DirectInput has no code for are dropped";
  EXPECT_EQ(keyboard_->GetDeviceState(255, keys.data()), DIERR_INVALIDPARAM);
}

TEST_F(InputTest, ATapBetweenTwoReadsIsSeenOnceAndOnlyWhileAcquired) {
  std::array<BYTE, 256> keys{};
  HandleEvent(Key(SDL_SCANCODE_F12, true));  // pressed before we own the keyboard
  HandleEvent(Key(SDL_SCANCODE_F12, false));
  ASSERT_EQ(keyboard_->Acquire(), DI_OK);
  ASSERT_EQ(keyboard_->GetDeviceState(256, keys.data()), DI_OK);
  EXPECT_EQ(keys[DIK_F12], 0) << "a press from before the acquisition acted";

  HandleEvent(Key(SDL_SCANCODE_F12, true));
  HandleEvent(Key(SDL_SCANCODE_F12, false));
  ASSERT_EQ(keyboard_->GetDeviceState(256, keys.data()), DI_OK);
  EXPECT_EQ(keys[DIK_F12], 0x80) << "a tap shorter than a frame was lost";
  ASSERT_EQ(keyboard_->GetDeviceState(256, keys.data()), DI_OK);
  EXPECT_EQ(keys[DIK_F12], 0) << "a tap reads as down once only";

  ASSERT_EQ(mouse_->Acquire(), DI_OK);
  HandleEvent(Button(SDL_BUTTON_LEFT, true));
  HandleEvent(Button(SDL_BUTTON_LEFT, false));
  EXPECT_EQ(ReadMouse().rgbButtons[0], 0x80) << "a quick click was lost";
  EXPECT_EQ(ReadMouse().rgbButtons[0], 0);
  HandleEvent(Key(SDL_SCANCODE_F12, true));
  HandleEvent(Focus(false));  // the press went with the focus
  HandleEvent(Focus(true));
  ASSERT_EQ(keyboard_->GetDeviceState(256, keys.data()), DI_OK);
  EXPECT_EQ(keys[DIK_F12], 0);
}

TEST_F(InputTest, MouseMotionIsRelativeSinceThePreviousRead) {
  HandleEvent(Motion(50, 50));  // before acquisition: not counted
  ASSERT_EQ(mouse_->Acquire(), DI_OK);
  HandleEvent(Motion(3, -4));
  HandleEvent(Motion(2, 1));
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.y = -2;
  HandleEvent(wheel);
  HandleEvent(Button(SDL_BUTTON_RIGHT, true));
  HandleEvent(Button(SDL_BUTTON_X1, true));
  DIMOUSESTATE m = ReadMouse();
  EXPECT_EQ(m.lX, 5);
  EXPECT_EQ(m.lY, -3);
  EXPECT_EQ(m.lZ, -240);
  EXPECT_EQ(m.rgbButtons[0], 0);
  EXPECT_EQ(m.rgbButtons[1], 0x80);
  EXPECT_EQ(m.rgbButtons[2], 0);
  EXPECT_EQ(m.rgbButtons[3], 0x80);
  HandleEvent(Button(SDL_BUTTON_RIGHT, false));
  m = ReadMouse();
  EXPECT_EQ(m.lX, 0);
  EXPECT_EQ(m.lZ, 0);
  EXPECT_EQ(m.rgbButtons[1], 0);
  EXPECT_EQ(m.rgbButtons[3], 0x80) << "held buttons stay down across reads";
}

TEST_F(InputTest, FocusLossDropsTheForegroundMouseButNotTheBackgroundKeyboard) {
  ASSERT_EQ(mouse_->Acquire(), DI_OK);
  ASSERT_EQ(keyboard_->Acquire(), DI_OK);
  HandleEvent(Key(SDL_SCANCODE_SPACE, true));
  HandleEvent(Focus(false));
  DIMOUSESTATE m{};
  EXPECT_EQ(mouse_->GetDeviceState(sizeof m, &m), DIERR_INPUTLOST);
  EXPECT_EQ(mouse_->GetDeviceState(sizeof m, &m), DIERR_NOTACQUIRED);
  EXPECT_EQ(mouse_->Acquire(), DIERR_OTHERAPPHASPRIO);
  std::array<BYTE, 256> keys{};
  EXPECT_EQ(keyboard_->GetDeviceState(256, keys.data()), DI_OK);
  EXPECT_EQ(keys[DIK_SPACE], 0) << "a key held while focus left must not stick";
  HandleEvent(Focus(true));
  EXPECT_EQ(mouse_->Acquire(), DI_OK);
}

TEST_F(InputTest, SetUpMistakesAreRefused) {
  InputDevice* device = nullptr;
  ASSERT_EQ(di_->CreateDevice(GUID_SysMouse, &device), DI_OK);
  EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
  EXPECT_EQ(device->SetDataFormat(c_dfDIKeyboard), DIERR_INVALIDPARAM);
  EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  device->Release();
  DirectInput8* old = nullptr;
  EXPECT_EQ(DirectInput8Create(0x0700, &old), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(old, nullptr);
}

TEST_F(InputTest, MotionFedFromAnotherThreadIsNeverLost) {
  ASSERT_EQ(mouse_->Acquire(), DI_OK);
  constexpr int kEvents = 20000;
  std::thread feeder([] {
    for (int i = 0; i < kEvents; ++i) HandleEvent(Motion(1, 2));
  });
  long sumX = 0, sumY = 0;
  for (int i = 0; i < 2000; ++i) {
    DIMOUSESTATE m = ReadMouse();
    sumX += m.lX;
    sumY += m.lY;
  }
  feeder.join();
  DIMOUSESTATE m = ReadMouse();
  EXPECT_EQ(sumX + m.lX, kEvents);
  EXPECT_EQ(sumY + m.lY, 2 * kEvents);
}

}  // namespace
}  // namespace halvex::input
