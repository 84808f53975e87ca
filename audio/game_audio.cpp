#include "audio/game_audio.h"

namespace halvex {

void GameAudio::InitSound(const SoundSetup& setup) {
  if (setup.openDevice && !device.Open()) return;  // Open said why on stderr
  soundtrack.SetEventPoster(setup.postSoundtrackEvent);
  std::vector<std::string> files;
  files.reserve(setup.soundNames.size());
  for (const std::string& name : setup.soundNames) {
    if (name.empty()) {
      files.emplace_back();
      continue;
    }
    const std::string contentPath = "sounds\\" + name;
    files.push_back(setup.resolvePath ? setup.resolvePath(contentPath) : contentPath);
  }
  bank.Load(files);
}

void GameAudio::ShutdownSound() {
  soundtrack.Release();
  device.StopEffects();
  bank.Release();
  soundtrack.SetEventPoster(nullptr);
  device.Close();
}

void GameAudio::StopAllSound() {
  device.StopEffects();
  soundtrack.Stop();
}

void GameAudio::Reactivate(bool useSoundtrack) {
  bank.soundEnabled = 1;
  if (useSoundtrack) soundtrack.Resume();
  bank.StartAmbientLoops();
}

}  // namespace halvex
