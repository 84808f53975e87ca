#include "audio/match_sounds.h"

namespace halvex {

SoundRequest SoundFor(SoundEffect effect, SoundOrigin origin) {
  const int shotLevel = origin == SoundOrigin::kLocalPlayer ? 2 : 4;
  switch (effect) {
    case SoundEffect::kFire: return {kSoundShotOther, 0, shotLevel};
    case SoundEffect::kFireRocket: return {kSoundShotWeapon1, 0, shotLevel};
    case SoundEffect::kBotFire: return SoundFor(SoundEffect::kFire, SoundOrigin::kBot);
    case SoundEffect::kBotFireRocket: return SoundFor(SoundEffect::kFireRocket, SoundOrigin::kBot);
    case SoundEffect::kWeaponChange: return {kSoundWeaponChange, 0, 0};
    case SoundEffect::kReload: return {kSoundReload, 0, 4};
    case SoundEffect::kLowAmmo: return {kSoundLowAmmo, 3, 0};
    case SoundEffect::kHit: return {kSoundHit, 0, 4};
    case SoundEffect::kExplosion: return {kSoundExplosion, 0, 4};
    case SoundEffect::kPowerPickup: return {kSoundPowerPickup, 2, 0};
    case SoundEffect::kArmorPickup: return {kSoundArmorPickup, 3, 0};
    case SoundEffect::kAmbientA: return {kSoundAmbientA, 0, 0};
    case SoundEffect::kAmbientB: return {kSoundAmbientB, 0, 1};
    case SoundEffect::kThunder: return {kSoundThunder, 0, 0};
    case SoundEffect::kMessage: return {kSoundMessage, 0, 0};
  }
  return {};
}

}  // namespace halvex
