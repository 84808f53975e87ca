#pragma once

#include <string>
#include <vector>

#include "shell/shell_hooks.h"

namespace halvex::test {

// Records every hook call by name, in order.
struct RecordingHooks : ShellHooks {
  std::vector<std::string> calls;
  std::vector<std::string> pushedLines;
  std::vector<std::string> submitted;
  std::vector<std::string> roster;  // "join 42 Rook", "leave 42 Rook"

  bool soundEnabled = false;

  int Count(const std::string& name) const {
    int n = 0;
    for (const auto& c : calls) n += c == name;
    return n;
  }
  void StopAllSound() override { calls.push_back("StopAllSound"); }
  void RestartSoundtrack() override { calls.push_back("RestartSoundtrack"); }
  void StartAmbientLoops() override { calls.push_back("StartAmbientLoops"); }
  void PlayLineFullSound() override { calls.push_back("PlayLineFullSound"); }
  void HandleSoundtrackEvent() override { calls.push_back("HandleSoundtrackEvent"); }
  void AudioDeviceLost() override { calls.push_back("AudioDeviceLost"); }
  void ReleaseInputDevices() override { calls.push_back("ReleaseInputDevices"); }
  void ReleaseKeyboard() override { calls.push_back("ReleaseKeyboard"); }
  void AcquireKeyboard() override { calls.push_back("AcquireKeyboard"); }
  float FrameTimer(int command) override {
    calls.push_back("FrameTimer" + std::to_string(command));
    return 0.0f;
  }
  void CloseSession() override { calls.push_back("CloseSession"); }
  void SendStatusMessage() override { calls.push_back("SendStatusMessage"); }
  void RosterChanged(bool joined, std::uint32_t id, const std::string& name) override {
    roster.push_back((joined ? "join " : "leave ") + std::to_string(id) + " " + name);
  }
  void SubmitChatLine(const std::string& typed) override { submitted.push_back(typed); }
  void SetSoundEnabled(bool enabled) override { soundEnabled = enabled; }
  void PushMessageLine(const std::string& line) override { pushedLines.push_back(line); }
};

}  // namespace halvex::test
