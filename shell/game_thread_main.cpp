#include "shell/game_thread_main.h"

#include "platform/window/message_box.h"
#include "platform/window/window.h"

namespace halvex {

const char* const kInitFailedText =
    "There was a problem during application initialization.\nThis problem may be caused by:\n"
    "1. DirectX 8.0 not installed on this computer.\n2. 3D Graphics Accelerator not DirectX "
    "compatible.\n3. Sound Card compatibility issue with DirectSound.\n4. System already "
    "unstable; try a restart ^_-";

int GameThreadMain(HalvexApp& app, platform::Window& window, MatchSetup& setup) {
  ShellFlags& flags = app.flags();
  const bool multiplayer = app.settings().multiplayer;
  flags.wizardActive = 0;
  if (multiplayer) {
    flags.wizardActive = 1;
    if (setup.ConnectMultiplayer() == E_FAIL) {
      window.SetStatusText("");
      setup.ShutdownNetwork();
      return 1;
    }
    flags.wizardActive = 0;
    window.SetStatusText("Connection Completed...Loading Game...");
    window.Raise();
    window.SetTimer(kTimerStatus, 1000);
  }
  window.Send(platform::WM_SETCURSOR);

  if (setup.CreateDevices() != S_OK) {
    setup.ReleaseDevices(1);
    if (multiplayer) setup.ShutdownNetwork();
    flags.initFailed = 1;
    window.SetStatusText("");
    window.Show(false);
    platform::ShowMessageBox(kInitFailedCaption, kInitFailedText, platform::MessageBoxButtons::Ok,
                             platform::MessageBoxAnswer::Ok);
    window.Post(kMsgApplicationExit);
    return 1;
  }

  if (!flags.exitRequested) {
    app.RunMatch();
    if (!flags.exitRequested) setup.RunClosingScreen();
  }
  setup.StopAllSound();
  setup.SetSoundEnabled(false);
  flags.gameRunning = 0;
  flags.exitRequested = 1;
  setup.ReleaseDevices(1);
  if (multiplayer) setup.ShutdownNetwork();
  window.Post(kMsgApplicationExit);
  return 1;
}

}  // namespace halvex
