// The game thread's sequence from start to exit: multiplayer connect, device
// set-up (which loads the area and starts the match), the match, the closing
// screen, release, and the final ApplicationExit.
#pragma once

#include "shell/game_app.h"
#include "shell/halvex_app.h"

namespace halvex {

// The steps the game thread runs, provided by the subsystems that own them.
class MatchSetup {
 public:
  virtual ~MatchSetup() = default;
  // The connect wizard or lobby launch; E_FAIL after showing its own message.
  virtual HResult ConnectMultiplayer() = 0;
  virtual void ShutdownNetwork() = 0;
  // Input devices, InitSound, the 3D device, InitDeviceObjects and StartMatch,
  // in that order; non-zero on failure, with everything made so far kept
  // for ReleaseDevices.
  virtual HResult CreateDevices() = 0;
  virtual void ReleaseDevices(int releaseAll) = 0;
  virtual void RunClosingScreen() = 0;
  virtual void StopAllSound() = 0;
  virtual void SetSoundEnabled(bool enabled) = 0;
};

inline constexpr const char* kInitFailedCaption = "DirectX Initialization Problem";
extern const char* const kInitFailedText;

// Runs on the game thread; always returns 1.
int GameThreadMain(HalvexApp& app, platform::Window& window, MatchSetup& setup);

}  // namespace halvex
