// The intro: the logo flies at the viewer spinning, rises, thunder strikes
// and the prompt waits for Enter (a run with nobody watching moves on once
// the prompt shows). Also the closing screen's shared pieces: the sweeping
// spotlight and the screen set-up both use.
#pragma once

#include <atomic>
#include <functional>

#include "content/varn_mesh.h"
#include "platform/gfx/device.h"
#include "platform/input/input.h"
#include "render/bitmap_font.h"
#include "render/device_objects.h"
#include "render/effects/particles.h"
#include "sim/random.h"

namespace halvex::screens {

inline constexpr int kSoundAmbientA = 11;
inline constexpr int kSoundThunder = 12;

struct IntroInputs {
  gfx::Device* device = nullptr;
  gfx::VertexBuffer* quad = nullptr;
  CVarnMesh* logo = nullptr;
  render::BitmapFont* font = nullptr;
  render::BitmapFont* smallFont = nullptr;
  render::ParticleSystem* particles = nullptr;
  gfx::Texture* bloodTexture = nullptr;
  int width = 800, height = 600;
  bool nonInteractive = false;
  bool paceFrames = true;  // at most 60 frames a second while someone watches
  bool multiplayer = false;
  const std::atomic<int>* exitRequested = nullptr;
  const std::atomic<int>* gameRunning = nullptr;
  input::InputDevice* keyboard = nullptr;
  input::InputDevice* mouse = nullptr;
  gfx::DWORD baseBlock = 0, alphaBlock = 0;
  std::function<void(int sound)> playSound;
  std::function<void()> resetDevice;  // the device needs a reset
  std::function<void()> setupLights;  // the match's lights (sun, fill)
  // The scene's ambient colour as the last light set-up computed it; the
  // credits are lit 80 above it on each channel.
  const render::AmbientLevels* sceneAmbient = nullptr;
  // Called instead of a frame while gameRunning is 0 (the window lost the
  // focus): parks or sleeps, so the screen does not spin.
  std::function<void()> waitWhileInactive;
};

// The logo's flight, frame by frame.
struct IntroState {
  float rotation = -1.5707964f;
  float y = 20.0f, z = -10.0f;
  int phase = 0;
  float spotX = -50.0f;
  // One frame; returns true on the frame the thunder strikes.
  bool Advance();
};

// The spotlight's sweep: x += 0.5, back to -50 on reaching 50.
float SweepSpot(float x);

// Runs the intro; returns the number of frames shown.
int RunIntro(const IntroInputs& in, GameRandom& random);

// Screen text centred across the screen, fromBottom pixels above its foot,
// drawn with the font's own states and the caller's restored after.
void DrawCentredText(const IntroInputs& in, const char* text, float fromBottom,
                     gfx::D3DCOLOR colour);
// Render states of the two screens, and the match's again on leaving.
void BeginPresentationStates(const IntroInputs& in);
void EndPresentationStates(const IntroInputs& in);
// Light 1 as the spotlight aimed at (x, 33, 100), in camera space.
void SetSpotlight(gfx::Device* d, const Matrix& view, float x);
// Whether a frame can be drawn now: a lost device waits, one ready to be
// reset is reset (through in.resetDevice) and the frame is skipped.
bool DeviceReadyForFrame(const IntroInputs& in);
// One frame of the blood fountain under the logo (nothing without particles).
void FeedBloodFountain(const IntroInputs& in, GameRandom& random);
// Paces the screens' frames at no more than 60 a second while someone
// watches: they move per frame, and a window without vertical sync would
// otherwise run them through in moments.
class FramePacer {
 public:
  explicit FramePacer(bool active) : active_(active) {}
  void Wait();

 private:
  bool active_;
  long long nextUs_ = 0;
};

// Whether Enter is held, with the devices re-acquired.
bool EnterHeld(const IntroInputs& in, input::DIMOUSESTATE* mouse);

}  // namespace halvex::screens
