// What leaves the simulation. The match frame never plays a sound, draws,
// or sends anything itself: it reports through this interface, which the
// audio, network and rendering code implement (every call has a do-nothing
// default, so each of them overrides only what it handles). Calls are made
// on the game thread, during the frame, in the order things happen.
#pragma once

#include <string_view>

#include "d3dutil/math/math.h"

namespace halvex {

enum class SoundEffect {
  kFire,          // the local player's pistol and shotgun
  kFireRocket,    // the local player's weapon 1
  kBotFire,       // a bot's pistol and shotgun (heard quieter than the player's)
  kBotFireRocket, // a bot's weapon 1
  kWeaponChange,
  kReload,
  kLowAmmo,
  kHit,
  kExplosion,
  kPowerPickup,
  kArmorPickup,
  kAmbientA,
  kAmbientB,
  kThunder,
  kMessage,       // a line pushed into the message list
};

// A shot the local player fired, for the network (shot message).
struct ShotEvent {
  Vec3 position;
  Vec3 velocity;
  int weaponIndex = 0;
};

// Blood to emit this frame; the particle systems belong to rendering.
struct BloodEmission {
  enum class Source { kCombatant, kCorpse, kPlayer };
  Source source = Source::kCombatant;
  int index = 0;        // combatant or corpse slot; 0 for the player
  int count = 0;        // particles
  int mode = 2;         // emission mode (2 burst, 1 trickle)
  Vec3 origin{0.0f};
  Vec3 direction{0.0f};
  float frameDelta = 0.0f;
};

// Key commands that only other subsystems can carry out.
enum class KeyCommand {
  kChatOpened,        // release the keyboard, start the Enter guard timer
  kToggleLightSetup,  // F3
  kToggleWireframe,   // F4
  kToggleFirstCombatantCamera,  // Z
  kToggleMeshScan,    // B
  kToggleMeshScanReadout,  // M
  kToggleLightMapTiles,    // T
};

class MatchEvents {
 public:
  virtual ~MatchEvents() = default;
  virtual void PlaySound(SoundEffect) {}
  virtual void LinePushed(std::string_view /*line*/) {}
  virtual void ShotFired(const ShotEvent&) {}
  // Multiplayer: time to send this frame's movement message.
  virtual void SendMovement() {}
  virtual void ScreenshotRequested() {}
  virtual void Bleed(const BloodEmission&) {}
  virtual void Command(KeyCommand) {}
  // A frame to draw: the paused picture (step 12) or the frame's end.
  virtual void RenderFrame() {}
};

}  // namespace halvex
