// The game's sound effects: up to 30 sounds from the sound list, played by
// id at one of five volume levels. Which event plays which id is fixed by the
// id's line in the list (see SoundId).
#pragma once

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "content/data_files.h"  // kMaxSounds
#include "platform/sound/sound_device.h"

namespace halvex {

inline constexpr int kDefaultSoundLevel = 4;
inline constexpr int kRepeatEndless = -1;

// Sound ids: line order in the sound list, 0-based.
enum SoundId : int {
  kSoundPowerPickup = 0,   // repeats 2, level 0
  kSoundShotWeapon1 = 1,   // player level 2, bots and remote players level 4
  kSoundLineFull = 2,      // chat line full, level 2
  kSoundExplosion = 3,     // shot strikes the world, level 4, per-frame budget
  kSoundHit = 4,           // level 4, per-frame budget
  kSoundMessage = 5,       // line pushed into the message list, level 0
  kSoundShotOther = 6,     // weapons 0 and 2, as kSoundShotWeapon1
  kSoundAmbientLoop1 = 7,  // 7, 8, 9: endless, level 0
  kSoundAmbientLoop2 = 8,
  kSoundAmbientLoop3 = 9,
  kSoundAmbientA = 11,     // level 0; also the intro screen
  kSoundThunder = 12,      // level 0; with the lightning flash and the intro
  kSoundAmbientB = 13,     // level 1
  kSoundArmorPickup = 14,  // repeats 3, level 0
  kSoundLowAmmo = 15,      // repeats 3, level 0
  kSoundWeaponChange = 16, // level 0
  kSoundReload = 17,       // level 4
};

struct SoundRequest {
  int sound = -1;
  int repeats = 0;  // as SoundBank::Play: 0 keeps the sound's count
  int level = kDefaultSoundLevel;
};

class SoundBank {
 public:
  explicit SoundBank(platform::SoundDevice& device) : device_(device) { sounds_.fill(-1); }
  ~SoundBank() { Release(); }
  SoundBank(const SoundBank&) = delete;
  SoundBank& operator=(const SoundBank&) = delete;

  // Loads the listed files (resolved paths) as sounds 0..N-1; at most 30 are
  // taken. An empty path or a file that fails to load leaves its id silent.
  void Load(const std::vector<std::string>& files);
  // Frees the sounds from the last to the first.
  void Release();

  // Plays a sound while soundEnabled is set. repeats: 0 keeps the count set
  // earlier on this sound, -1 endless, n plays it n + 1 times.
  void Play(int sound, int repeats = 0, int level = kDefaultSoundLevel);
  void Play(const SoundRequest& r) { Play(r.sound, r.repeats, r.level); }
  // The ambient loops, endless: at match start and after reactivation.
  void StartAmbientLoops();

  int soundCount() const { return soundCount_; }
  bool Loaded(int sound) const;
  // Play calls that passed the gate, per id: lets a headless run check that
  // every event asked for its sound even with no audio device.
  int PlayCount(int sound) const;

  // Sounds play only while this is set (match start, focus changes).
  std::atomic<int> soundEnabled{0};

 private:
  platform::SoundDevice& device_;
  int soundCount_ = 0;
  std::array<int, kMaxSounds> sounds_;  // device handles, -1 when empty
  std::array<std::atomic<int>, kMaxSounds> playCounts_{};
};

}  // namespace halvex
