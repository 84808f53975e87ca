// What the window thread's message procedure asks of the other subsystems
// (sound, input, timers, devices, network, the message list). The game wires
// these to the real subsystems; tests record them.
#pragma once

#include <string>

namespace halvex {

class ShellHooks {
 public:
  virtual ~ShellHooks() = default;
  virtual void StopAllSound() = 0;
  virtual void RestartSoundtrack() = 0;
  virtual void StartAmbientLoops() = 0;  // the three endless ambient sounds
  virtual void PlayLineFullSound() = 0;
  virtual void HandleSoundtrackEvent() = 0;
  virtual void ReleaseInputDevices() = 0;  // keyboard and mouse
  virtual void ReleaseKeyboard() = 0;
  virtual void AcquireKeyboard() = 0;
  virtual float FrameTimer(int command) = 0;
  virtual void ReleaseDevices() = 0;
  virtual void CloseSession() = 0;
  virtual void SendStatusMessage() = 0;
  virtual void SendChatMessage(const std::string& line) = 0;
  // The typed line after the chat commands ("/me", "/setvar"), as shown.
  virtual std::string FormatChatLine(const std::string& typed) = 0;
  virtual void PushMessageLine(const std::string& line) = 0;
};

// FrameTimer commands.
inline constexpr int kTimerReset = 0;
inline constexpr int kTimerStart = 1;
inline constexpr int kTimerStop = 2;

}  // namespace halvex
