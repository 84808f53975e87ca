#include "audio/game_audio.h"

#include <string>
#include <vector>

#include "content/data_files.h"
#include "platform/paths/paths.h"

namespace halvex {

void GameAudio::InitSound(const SoundSetup& setup) {
  if (setup.openDevice && !device.Open()) return;  // Open said why on stderr
  soundtrack.SetEventPoster(setup.postSoundtrackEvent);
  const SoundList list = ReadSoundList("system\\sounds.txt");
  std::vector<std::string> files;
  files.reserve(list.fileNames.size());
  for (const std::string& name : list.fileNames) {
    // An empty line names no file: its id stays silent.
    files.push_back(name.empty() ? std::string() : paths::Resolve(SoundPath(name)));
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
