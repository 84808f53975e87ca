#include "audio/sound_bank.h"

#include <algorithm>
#include <cstdio>

namespace halvex {

void SoundBank::Load(const std::vector<std::string>& files) {
  Release();
  soundCount_ = std::min(static_cast<int>(files.size()), kMaxSounds);
  for (int i = 0; i < soundCount_; ++i) {
    std::string error;
    sounds_[i] = device_.LoadEffect(files[i], &error);
    // A sound that does not load stays silent; the match does not need it.
    if (sounds_[i] < 0 && !files[i].empty() && device_.IsOpen()) {
      std::fprintf(stderr, "halvex: sound %s not loaded (%s); it stays silent\n", files[i].c_str(),
                   error.c_str());
    }
  }
}

void SoundBank::Release() {
  for (int i = kMaxSounds - 1; i >= 0; --i) {
    if (sounds_[i] >= 0) device_.FreeEffect(sounds_[i]);
    sounds_[i] = -1;
  }
  soundCount_ = 0;
}

void SoundBank::Play(int sound, int repeats, int level) {
  if (!soundEnabled.load()) return;
  if (sound < 0 || sound >= kMaxSounds) return;
  playCounts_[sound].fetch_add(1);
  device_.PlayEffect(sounds_[sound], repeats, level);
}

void SoundBank::StartAmbientLoops() {
  Play(kSoundAmbientLoop1, kRepeatEndless, 0);
  Play(kSoundAmbientLoop2, kRepeatEndless, 0);
  Play(kSoundAmbientLoop3, kRepeatEndless, 0);
}

bool SoundBank::Loaded(int sound) const {
  return sound >= 0 && sound < kMaxSounds && sounds_[sound] >= 0;
}

int SoundBank::PlayCount(int sound) const {
  return sound >= 0 && sound < kMaxSounds ? playCounts_[sound].load() : 0;
}

}  // namespace halvex
