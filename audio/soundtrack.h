// The custom soundtrack: one music file (MP3, WAV, OGG or MIDI) played in an
// endless loop during the match. The end of the file is noticed on the audio
// thread, which only posts the soundtrack message to the window thread; the
// window thread's handler (HandleEvent) then starts the file again.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/sound/sound_device.h"

namespace halvex {

// Private window message: a soundtrack event is waiting.
inline constexpr unsigned kSoundtrackEventMessage = 0x8001;

class Soundtrack {
 public:
  static constexpr int kStarted = 0;
  static constexpr int kNotPlayable = 1;
  static constexpr int kFileMissing = 2;

  explicit Soundtrack(platform::SoundDevice& device) : device_(device) {}
  ~Soundtrack() { Release(); }
  Soundtrack(const Soundtrack&) = delete;
  Soundtrack& operator=(const Soundtrack&) = delete;

  // How the soundtrack message reaches the window thread. Called on the
  // audio thread: it must only post (never run the handler itself).
  void SetEventPoster(std::function<void()> post);

  // Starts `path` from its beginning, looping. kFileMissing (nothing plays)
  // when it does not exist; kNotPlayable when it cannot be read or decoded
  // (silence, the match goes on). Either failure is one line on stderr that
  // names the file.
  int Play(const std::string& path);
  // The soundtrack message handler: takes the pending events and, when the
  // file has ended and looping is on, starts it again from the beginning.
  void HandleEvent();
  void Stop();    // keeps the position
  void Resume();  // runs again from where Stop left it
  void Release();

  bool looping() const { return looping_; }

 private:
  platform::SoundDevice& device_;
  std::atomic<bool> looping_{false};
};

}  // namespace halvex
