// What the window thread's message procedure asks of the other subsystems
// (sound, input, timers, devices, network, the message list). The game wires
// these to the real subsystems; tests record them.
#pragma once

#include <cstdint>
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
  // The audio output went away (unplugged, or its server ended): the game
  // goes on silent.
  virtual void AudioDeviceLost() = 0;
  virtual void ReleaseInputDevices() = 0;  // keyboard and mouse
  virtual void ReleaseKeyboard() = 0;
  virtual void AcquireKeyboard() = 0;
  virtual float FrameTimer(int command) = 0;
  virtual void CloseSession() = 0;
  virtual void SendStatusMessage() = 0;
  // A remote player joined or left; the match applies it at its next frame.
  virtual void RosterChanged(bool joined, std::uint32_t id, const std::string& name) = 0;
  // A line the player typed and sent: the match applies the chat commands
  // ("/me", "/setvar"), shows it and, in multiplayer, sends it to the peers.
  // It runs on the game thread, which owns the match state.
  virtual void SubmitChatLine(const std::string& typed) = 0;
  // A line received from a peer, shown as it is.
  virtual void PushMessageLine(const std::string& line) = 0;
  // Whether sound effects may play.
  virtual void SetSoundEnabled(bool enabled) = 0;
  // True for runs nobody watches (scripts, tests, benchmarks): they go on
  // when the window loses the focus instead of pausing until it comes back.
  virtual bool NobodyWatching() const { return false; }
};

// FrameTimer commands.
inline constexpr int kTimerReset = 0;
inline constexpr int kTimerStart = 1;
inline constexpr int kTimerStop = 2;

}  // namespace halvex
