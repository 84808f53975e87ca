// Which sound, how often and how loud, for each sound the match asks for.
#pragma once

#include "audio/sound_bank.h"
#include "sim/events.h"

namespace halvex {

// Who made a shot sound: the local player hears his own shots louder (level
// 2) than those of bots and remote players (level 4).
enum class SoundOrigin { kLocalPlayer, kBot, kRemotePlayer };

SoundRequest SoundFor(SoundEffect effect, SoundOrigin origin = SoundOrigin::kLocalPlayer);

// The audio side of the match's event interface.
class MatchSounds : public MatchEvents {
 public:
  explicit MatchSounds(SoundBank& bank) : bank_(bank) {}
  void PlaySound(SoundEffect effect) override { bank_.Play(SoundFor(effect)); }

 private:
  SoundBank& bank_;
};

}  // namespace halvex
