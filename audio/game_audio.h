// Everything the game hears, in one place: the sound device, the effects and
// the soundtrack, with the set-up, shut-down and stop-all operations that the
// game's shell calls.
#pragma once

#include <functional>
#include <string>

#include "audio/sound_bank.h"
#include "audio/soundtrack.h"
#include "platform/sound/sound_device.h"

namespace halvex {

struct SoundSetup {
  // Posts the soundtrack message (0x8001) to the window thread; called on
  // the audio thread.
  std::function<void()> postSoundtrackEvent;
  // False for runs without audio (headless, servers): nothing is opened.
  bool openDevice = true;
};

class GameAudio {
 public:
  GameAudio() = default;
  ~GameAudio() { ShutdownSound(); }
  GameAudio(const GameAudio&) = delete;
  GameAudio& operator=(const GameAudio&) = delete;

  // Opens the device, hooks up the soundtrack's message and loads the
  // sounds named in system\sounds.txt (under the content directory, see
  // platform/paths). With no audio device the game runs silent (one line on
  // stderr) and no sound is loaded.
  void InitSound(const SoundSetup& setup);
  // Soundtrack first, then the effects, then the device.
  void ShutdownSound();
  // Every playing effect, then the soundtrack.
  void StopAllSound();
  // Focus came back: sounds allowed again, the soundtrack runs on when
  // chosen, and the ambient loops start again.
  void Reactivate(bool useSoundtrack);

  platform::SoundDevice device;  // first: outlives the two users below
  SoundBank bank{device};
  Soundtrack soundtrack{device};
};

}  // namespace halvex
