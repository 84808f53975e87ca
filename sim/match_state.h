// The state of one match: the combatant table, the local player, pickups,
// corpses, the ambient creatures and clocks, the message list and the mode
// flags. Plain records with fixed-size arrays, so that a test can build a
// fresh match and nothing in a frame allocates.
#pragma once

#include <array>
#include <cstdint>

#include "content/data_files.h"
#include "d3dutil/math/math.h"
#include "launcher/settings.h"

namespace halvex {

inline constexpr int kMaxCombatants = 32;
inline constexpr int kShotRingSize = 8;
inline constexpr int kPlayerShotSlots = 20;
inline constexpr int kRosterSize = 16;
inline constexpr int kWanderersPerKind = 5;
inline constexpr int kMessageListLines = 10;
inline constexpr float kPi = 3.14159265358979f;
inline constexpr float kTwoPi = 2.0f * kPi;
// A slot created with this velocity is cleared rather than fired.
inline constexpr float kEmptyShotMarker = 10000.0f;

template <std::size_t N>
using TextBuffer = std::array<char, N>;

struct Projectile {
  Vec3 position{kEmptyShotMarker};
  Vec3 velocity{0.0f};
  int active = 0;
  int weaponIndex = 0;
  int tileIndex = 0;
  int age = 0;
  float viewOffset = 0.0f;
};

using ShotRing = std::array<Projectile, kShotRingSize>;

struct Combatant {
  TextBuffer<80> name{};
  int rosterIndex = 0;
  int frags = 0;
  TextBuffer<80> fragsText{};
  int hittable = 1;
  int tileIndex = 0;
  int bloodCount = 0;
  ShotRing shots{};
  Vec3 previousPosition{0.0f};
  Vec3 netTarget{0.0f};
  Vec3 position{0.0f};
  Vec3 heading{0.0f, 0.0f, 2.0f};
  float pitch = -kPi / 2;
  float yaw = kPi;
  float roll = 0.0f;
  int shotsFired = 0;
  int power = 100;
  int weaponIndex = 1;
  TextBuffer<52> powerText{};
  float fireCharge = 0.0f;
  int shotSlot = 0;
  int skin = 0;
  float viewDistance = 0.0f;
  float viewOffset = 0.0f;
  int playTime = 0;
  std::uint32_t lastUpdateTime = 0;
  float glideStep = 0.0f, glideSteps = 0.0f;
  int netFlag = 0;
  int target = 0;
  float targetDistance = 0.0f;
  int approach = 0;
  float approachTimer = 0.0f;
  Vec3 aimVector{1.0f, 0.0f, 0.0f};
  int strafe = 1;
  float strafeTimer = 0.0f;
  int climb = 0;
  float climbTimer = 0.0f;
  float tauntTimer = 0.0f;
  int retargetCountdown = 10;
};

struct CorpseSlot {
  int active = 0;
  Vec3 bodyPosition{0.0f};
  Vec3 bloodPoint{0.0f};
  float pitch = 0.0f, yaw = 0.0f, roll = 0.0f;
  Vec3 heading{0.0f};
  int framesLeft = 0;
  int fallDirection = 0;
  int tileIndex = 0;
  int settled = 0;
};

// The local player's body and view.
struct PlayerView {
  Vec3 pivot{0.0f, 15.0f, 0.0f};
  Vec3 target{0.0f, 15.0f, 50.0f};
  Vec3 eye{0.5f, 14.0f, 3.5f};
  Vec3 lookDir{0.0f, 0.0f, 4.0f};
  float pitch = -kPi / 2;
  float yaw = kPi;
  float roll = 0.0f;
  int playerTile = 10;
  Vec3 motion{0.0f};
  float jumpTimer = 5.0f;
  int canJump = 1;
  float weaponBob = 0.0f;
  float weaponBobSpeed = 1.0f;
  int fixedCamera = 0;
};

struct TimedMessage {
  float timer = 0.0f;
  int kind = 0;
  int fragged = 0;  // centre message: index of the fragged combatant
  int fragger = 0;  // and of the fragger
};

struct PlayerState {
  PlayerView view;
  int power = 100;
  TextBuffer<16> powerText{};
  int armor = 0;
  int ammo = 200;
  TextBuffer<16> ammoText{};
  int frags = 0;
  TextBuffer<16> fragsText{};
  int weaponIndex = 0;
  float fireCooldown = 0.0f;
  int shotsFired = 0;
  std::array<Projectile, kPlayerShotSlots> shots{};
  TimedMessage pickupMessage;
  TimedMessage centreMessage;
  int killer = 0;
  int lastHit = 0;
  float hurtFlash = 0.0f;
  int playerBleed = 0;
};

// Sharks under water and ravens in the sky.
struct Wanderer {
  Vec3 position{0.0f};
  float pitch = -kPi / 2, yaw = kPi, roll = 0.0f;
  Vec3 velocity{0.0f};
  Vec3 scale{1.0f};
  int steps = 0;
  int stepLimit = 40;
  float turnRate = 5.0f;
  int turnDirection = 1;
  float viewOffset = 0.0f;
  float viewDistance = 0.0f;
  float roamLimit = 0.0f;
};

// One of the area's trees; slots the area does not fill stay inactive.
struct TreeSlot {
  Vec3 position{0.0f};  // base of the trunk
  int active = 0;
  float viewOffset = 2.0f;
  float viewDistance = 0.0f;
};

struct AnimationClocks {
  float skyAngle1 = 0.0f, skyAngle2 = 0.0f, waterAngle = 0.0f;
  float wave = 0.0f, waveDirection = 1.0f;  // w
  float oceanBlend = 0.0f;                  // b
  int oceanKey = 0;                         // k
  float raven = 0.0f, ravenDirection = 1.0f;  // v
  Vec3 sun{0.0f, 1000.0f, 1000.0f};
  int environmentCountdown = 0;
  int frameParity = 0;
  int underwaterCulling = 0;  // 1 while the pivot is below 0 (cull none)
};

struct MessageList {
  std::array<TextBuffer<128>, kMessageListLines> lines{};
  float displayTimer = 0.0f;
};

// Mode flags and counters of the match loop.
struct MatchFlags {
  int gameState = 1;
  int spectatorMode = 1;
  int realismMode = 1;
  int keyCommandArmed = 0;
  int chatOpen = 0, chatActive = 0, chatEnterArmed = 0, savedSpectatorMode = 0;
  int lightningFlash = 0;  // light 5 on for this frame
  int focusPaused = 0, stateBeforeFocusLoss = 1;  // paused while the window lost the focus
  int frameCount = 0;
  float welcomeBannerTimer = 0.0f;
  int multiplayer = 0;
};

// A player who joined or left a network match, applied at the next frame.
struct RosterChange {
  int join = 0;          // 1 joined, 0 left
  std::uint32_t id = 0;  // the player's network id
  TextBuffer<kPlayerNameMax + 1> name{};
};
inline constexpr int kRosterQueueSize = 2 * kMaxCombatants;

struct MatchState {
  Settings settings;
  MatchFlags flags;
  int combatantCount = 0;
  std::array<Combatant, kMaxCombatants> combatants{};
  // Network matches: the id of the player behind each record in use, the
  // highest count reached, and the joins and leaves waiting for the next frame.
  std::array<std::uint32_t, kMaxCombatants> playerIds{};
  int combatantHighWater = 0;
  std::array<RosterChange, kRosterQueueSize> pendingRoster{};
  int pendingRosterCount = 0;
  std::array<CorpseSlot, kMaxCombatants> corpses{};
  PlayerState player;
  AreaOptions area;
  PickupLists pickups;
  MessageTables messageTables{};
  MessageList messages;
  std::array<Wanderer, kWanderersPerKind> sharks{};
  std::array<Wanderer, kWanderersPerKind> ravens{};
  std::array<TreeSlot, kTreeSlots> trees{};
  AnimationClocks clocks;
  // Per-frame sound budgets.
  int hitSoundsThisFrame = 0;
  int botFireSoundsThisFrame = 0;
  int playerFraggedThisFrame = 0;
  // Every respawn of a fragged combatant and every frag of the player.
  int deaths = 0;
};

// Writes the decimal text of value into a text field.
template <std::size_t N>
void SetNumberText(TextBuffer<N>& text, int value);
template <std::size_t N>
void SetText(TextBuffer<N>& text, const char* value);

}  // namespace halvex

#include "sim/match_state_inl.h"
