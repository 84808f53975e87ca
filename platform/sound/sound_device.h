// The sound device: short effects mixed on mixer channels at five fixed
// volume levels, and one music stream (the soundtrack) that reports the end
// of its file. Everything here is safe to call from any thread. When no audio
// device could be opened every call is a quiet no-op, so the game runs silent.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct Mix_Chunk;
typedef struct _Mix_Music Mix_Music;

namespace halvex::platform {

struct SoundFormat {
  int frequency = 0;       // samples per second
  int channels = 0;        // interleaved output channels
  int bytesPerSample = 0;  // per channel; output is signed native-endian
};

class SoundDevice {
 public:
  static constexpr int kLevelCount = 5;
  // Enough that a full 32-bot fight (two fire sounds, a hit and an explosion
  // per frame, plus loops) never has to cut a playing sound.
  static constexpr int kMixChannels = 256;

  // Decibels of each level: 0, -2.5, -5, -7.5, -10.
  static double LevelDecibels(int level);
  // The mixer's 0..128 channel volume that gives a level.
  static int LevelVolume(int level);

  SoundDevice() = default;
  ~SoundDevice();
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;

  // Opens the audio output. On failure prints one line on stderr and returns
  // false; the device then stays closed and plays nothing.
  bool Open();
  void Close();
  // The output went away while open: prints one line on stderr and closes,
  // so every later call is the quiet no-op of a device that never opened.
  // Not for the audio thread (closing waits for it).
  void DeviceLost();
  bool IsOpen() const { return open_; }
  SoundFormat Format() const { return format_; }

  // Effects. A handle is >= 0; -1 means "nothing" and plays silence.
  int LoadEffect(const std::string& path, std::string* error = nullptr);
  void FreeEffect(int handle);
  // repeats: 0 keeps the count set earlier on this effect, -1 sets endless
  // repetition, n > 0 sets n repeats (the effect plays n + 1 times). The
  // count stays with the effect. level 0..4 (out of range: 4).
  void PlayEffect(int handle, int repeats, int level);
  void StopEffects();
  int PlayingEffects();

  // Music. OpenMusic loads a file and leaves it stopped at its start.
  // False with the reason in *error when the file cannot be played.
  bool OpenMusic(const std::string& path, std::string* error = nullptr);
  void CloseMusic();
  bool HasMusic();
  void RunMusic();    // play from the current position
  void StopMusic();   // pause, keeping the position
  // Back to the start; keeps playing when running. False when nothing loaded.
  bool SeekMusicToStart();
  bool MusicPlaying();
  // Called on the audio thread when the music reaches the end of its file
  // (not when it is stopped). It must only post a notice and return.
  void SetMusicEndNotice(std::function<void()> notice);
  // Takes the count of end-of-file events since the last call.
  int TakeMusicEndEvents();

 private:
  struct Effect {
    Mix_Chunk* chunk = nullptr;
    int repeats = 0;
  };
  static void OnMusicFinished();
  void HaltMusicQuietly();
  void CloseLocked();
  void PointMidiAtPatches();

  std::mutex mutex_;
  std::atomic<bool> open_{false};  // read without the lock by IsOpen
  SoundFormat format_{};
  std::vector<Effect> effects_;

  Mix_Music* music_ = nullptr;
  int musicPlays_ = 0;  // passed to the mixer: 0 plays once
  bool musicRunning_ = false;
  bool musicStarted_ = false;  // handed to the mixer since the last seek
  std::atomic<bool> musicEnded_{false};
  std::atomic<int> musicEndEvents_{0};
  std::atomic<bool> halting_{false};
  std::function<void()> endNotice_;
};

}  // namespace halvex::platform
