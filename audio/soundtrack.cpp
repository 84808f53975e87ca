#include "audio/soundtrack.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace halvex {

void Soundtrack::SetEventPoster(std::function<void()> post) {
  device_.SetMusicEndNotice(std::move(post));
}

int Soundtrack::Play(const std::string& path) {
  looping_ = true;
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) {
    std::fprintf(stderr, "halvex: soundtrack %s%s%s; the match plays without music\n",
                 path.empty() ? "file not chosen" : "\"", path.c_str(),
                 path.empty() ? "" : "\" not found");
    return kFileMissing;
  }
  // A new file replaces the old one whole, so nothing of it stays behind.
  std::string error;
  if (!device_.OpenMusic(path, &error)) {
    // With no device at all, the line saying sound is off was enough.
    if (device_.IsOpen()) {
      std::fprintf(stderr, "halvex: soundtrack \"%s\" cannot be played (%s); the match plays without music\n",
                   path.c_str(), error.c_str());
    }
    return kNotPlayable;
  }
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
