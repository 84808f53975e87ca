#include "audio/soundtrack.h"

#include <filesystem>
#include <system_error>

namespace halvex {

void Soundtrack::SetEventPoster(std::function<void()> post) {
  device_.SetMusicEndNotice(std::move(post));
}

int Soundtrack::Play(const std::string& path) {
  looping_ = true;
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) return kFileMissing;
  // A new file replaces the old one whole, so nothing of it stays behind.
  if (!device_.OpenMusic(path)) return kNotPlayable;
  device_.SeekMusicToStart();
  device_.RunMusic();
  return kStarted;
}

void Soundtrack::HandleEvent() {
  if (device_.TakeMusicEndEvents() > 0 && looping_) device_.SeekMusicToStart();
}

void Soundtrack::Stop() { device_.StopMusic(); }

void Soundtrack::Resume() { device_.RunMusic(); }

void Soundtrack::Release() {
  looping_ = false;
  device_.CloseMusic();
}

}  // namespace halvex
