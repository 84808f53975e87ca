#include "net/protocol/handle_message.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "sim/weapons.h"

namespace halvex::net {
namespace {

class RecordingEvents : public MatchEvents {
 public:
  std::vector<SoundEffect> sounds;
  void PlaySound(SoundEffect s) override { sounds.push_back(s); }
};

class HandleMessageTest : public ::testing::Test {
 protected:
  HandleMessageTest() : state_(std::make_unique<MatchState>()) {
    state().flags.multiplayer = 1;
    state().combatantCount = 3;
    SetText(state().combatants[0].name, "Alice");
    SetText(state().combatants[1].name, "Bob");
    SetText(state().combatants[2].name, "Carol");
    for (int i = 0; i < kMaxCombatants; ++i) {
      state().combatants[i].position = Vec3(10.0f * i, 15.0f, -5.0f * i);
      state().combatants[i].lastUpdateTime = 1000;
    }
  }

  MatchState& state() { return *state_; }
  Combatant& record(int i) { return state_->combatants[i]; }

  // Through the wire and back, as a peer's message arrives.
  Handled Receive(const std::string& sender, MessageBody body, float fps = 60.0f) {
    GameMessage sent = Stamp(counter_, std::move(body));
    std::vector<std::uint8_t> bytes = Encode(sent);
    GameMessage received;
    EXPECT_EQ(Decode(bytes.data(), bytes.size(), received), DropReason::kNone);
    return HandleMessage(state(), sender, received, events_, fps);
  }

  static MovementMessage Movement(float x, float y, float z, std::uint32_t clock) {
    MovementMessage m;
    m.x = x;
    m.y = y;
    m.z = z;
    m.pitch = kMovementPitch;
    m.yaw = 1.25f;
    m.roll = 0.0f;
    m.motion = Vec3(2.0f, 0.5f, -1.0f);
    m.clockMs = clock;
    return m;
  }

  std::unique_ptr<MatchState> state_;
  SequenceCounter counter_;
  RecordingEvents events_;
};

// --- Which record ------------------------------------------------------------

TEST_F(HandleMessageTest, SenderRecordIsTheLastMatchingNameElseRecordZero) {
  EXPECT_EQ(SenderRecord(state(), "Bob"), 1);
  EXPECT_EQ(SenderRecord(state(), "Carol"), 2);
  EXPECT_EQ(SenderRecord(state(), "Nobody"), 0);
  EXPECT_EQ(SenderRecord(state(), "Bo"), 0);  // whole names only
  EXPECT_EQ(SenderRecord(state(), ""), 0);

  // Two peers with one name: the later record takes both.
  SetText(record(2).name, "Bob");
  EXPECT_EQ(SenderRecord(state(), "Bob"), 2);

  // Records past combatantCount are not in play.
  SetText(record(5).name, "Dave");
  EXPECT_EQ(SenderRecord(state(), "Dave"), 0);
  state().combatantCount = 6;
  EXPECT_EQ(SenderRecord(state(), "Dave"), 5);

  // A name filling its whole buffer (no terminator) still compares safely.
  record(4).name.fill('z');
  EXPECT_EQ(SenderRecord(state(), std::string(80, 'z')), 4);

  state().combatantCount = 0;
  EXPECT_EQ(SenderRecord(state(), "Bob"), -1);
  state().combatantCount = -4;
  EXPECT_EQ(SenderRecord(state(), "Bob"), -1);
  state().combatantCount = 1000;  // never past the table
  EXPECT_EQ(SenderRecord(state(), "Dave"), 5);
}

TEST_F(HandleMessageTest, DuplicateNamesUpdateTheLastRecordOnly) {
  SetText(record(2).name, "Bob");
  ASSERT_EQ(Receive("Bob", StatusMessage{7, 5000, 100, 2, 0}), Handled::kStatus);
  EXPECT_EQ(record(2).frags, 7);
  EXPECT_EQ(record(1).frags, 0);
}

TEST_F(HandleMessageTest, UnknownSenderUpdatesRecordZero) {
  ASSERT_EQ(Receive("Mallory", StatusMessage{4, 1, 100, 0, 0}), Handled::kStatus);
  EXPECT_EQ(record(0).frags, 4);
  EXPECT_EQ(record(1).frags, 0);
  EXPECT_EQ(record(2).frags, 0);
}

TEST_F(HandleMessageTest, NoRecordsMeansNothingIsApplied) {
  state().combatantCount = 0;
  EXPECT_EQ(Receive("Bob", StatusMessage{4, 1, 100, 0, 0}), Handled::kNoRecord);
  EXPECT_EQ(Receive("Bob", ShotMessage{Vec3(1.0f), Vec3(2.0f), 0}), Handled::kNoRecord);
  EXPECT_EQ(Receive("Bob", Movement(1, 2, 3, 5000)), Handled::kNoRecord);
  EXPECT_EQ(record(0).frags, 0);
  EXPECT_EQ(record(0).shotsFired, 0);
  EXPECT_EQ(record(0).lastUpdateTime, 1000u);
  EXPECT_TRUE(events_.sounds.empty());
}

// --- Status ------------------------------------------------------------------

TEST_F(HandleMessageTest, StatusSetsFragsPlayTimeFlagAndWeaponButNotPower) {
  record(1).power = 40;
  ASSERT_EQ(Receive("Bob", StatusMessage{-2, 65000, 100, 1, 1}), Handled::kStatus);
  const Combatant& c = record(1);
  EXPECT_EQ(c.frags, -2);
  EXPECT_STREQ(c.fragsText.data(), "-2");
  EXPECT_EQ(c.playTime, 65000);
  EXPECT_EQ(c.netFlag, 1);
  EXPECT_EQ(c.weaponIndex, 1);
  EXPECT_STREQ(kWeapons[c.weaponIndex].model, "objects\\rocket3.x");
  EXPECT_EQ(c.power, 40);

  ASSERT_EQ(Receive("Bob", StatusMessage{12, 66000, 3, 0, 0}), Handled::kStatus);
  EXPECT_STREQ(c.fragsText.data(), "12");
  EXPECT_EQ(c.netFlag, 0);
  EXPECT_EQ(c.weaponIndex, 0);
}

TEST_F(HandleMessageTest, HandBuiltStatusWithABadWeaponKeepsTheOldOne) {
  record(1).weaponIndex = 2;
  GameMessage m = Stamp(counter_, StatusMessage{1, 1, 100, 9, 0});
  EXPECT_EQ(HandleMessage(state(), "Bob", m, events_, 60.0f), Handled::kStatus);
  EXPECT_EQ(record(1).weaponIndex, 2);
  EXPECT_EQ(record(1).frags, 1);
}

// --- Chat --------------------------------------------------------------------

TEST_F(HandleMessageTest, ChatIsLeftToTheCaller) {
  auto before = std::make_unique<MatchState>(state());
  EXPECT_EQ(Receive("Bob", ChatMessage{"Bob: hi"}), Handled::kChat);
  // Also with no record at all: chat goes to the window regardless.
  state().combatantCount = 0;
  EXPECT_EQ(Receive("Bob", ChatMessage{"Bob: hi"}), Handled::kChat);
  state().combatantCount = 3;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(record(i).frags, before->combatants[i].frags);
    EXPECT_EQ(record(i).lastUpdateTime, before->combatants[i].lastUpdateTime);
  }
  EXPECT_EQ(state().messages.lines[0][0], '\0');
  EXPECT_TRUE(events_.sounds.empty());
}

// --- Shot --------------------------------------------------------------------

TEST_F(HandleMessageTest, ShotFromSecondRecordIsOwnedByCodeThreeWithTheMessagesWeapon) {
  record(1).weaponIndex = 0;
  ShotMessage shot{Vec3(5.0f, 20.0f, -7.0f), Vec3(0.0f, 0.0f, 20.0f), 1};
  ASSERT_EQ(Receive("Bob", shot), Handled::kShot);
  // Owner code 3 is record 1's ring.
  const Combatant& c = record(1);
  EXPECT_EQ(c.shotsFired, 1);
  const Projectile& p = c.shots[0];
  EXPECT_EQ(p.active, 1);
  EXPECT_EQ(p.position, shot.position);
  EXPECT_EQ(p.velocity, shot.velocity);
  EXPECT_EQ(p.weaponIndex, 1);
  EXPECT_EQ(record(0).shotsFired, 0);
  EXPECT_EQ(record(2).shotsFired, 0);
  EXPECT_EQ(state().player.shotsFired, 0);
  EXPECT_EQ(c.weaponIndex, 0);  // the record's own weapon is the status's business
  ASSERT_EQ(events_.sounds.size(), 1u);
  EXPECT_EQ(events_.sounds[0], SoundEffect::kBotFireRocket);

  // Weapons 0 and 2 sound the other shot and fill the next slots.
  ASSERT_EQ(Receive("Bob", ShotMessage{shot.position, shot.velocity, 0}), Handled::kShot);
  ASSERT_EQ(Receive("Bob", ShotMessage{shot.position, shot.velocity, 2}), Handled::kShot);
  EXPECT_EQ(c.shotsFired, 3);
  EXPECT_EQ(c.shots[1].weaponIndex, 0);
  EXPECT_EQ(c.shots[2].weaponIndex, 2);
  ASSERT_EQ(events_.sounds.size(), 3u);
  EXPECT_EQ(events_.sounds[1], SoundEffect::kBotFire);
  EXPECT_EQ(events_.sounds[2], SoundEffect::kBotFire);
}

TEST_F(HandleMessageTest, ShotsWrapAroundTheRing) {
  for (int i = 0; i < kShotRingSize + 2; ++i)
    ASSERT_EQ(Receive("Carol", ShotMessage{Vec3(float(i), 0, 0), Vec3(1, 0, 0), 2}),
              Handled::kShot);
  EXPECT_EQ(record(2).shotsFired, kShotRingSize + 2);
  EXPECT_EQ(record(2).shots[1].position.x, float(kShotRingSize + 1));
  EXPECT_EQ(record(2).shotSlot, 1);
}

// --- Movement ----------------------------------------------------------------

TEST_F(HandleMessageTest, MovementSetsTheGlideTowardTheSendersPivot) {
  const Vec3 before = record(1).position;
  // The sender's pivot y is 10; it sends 15; the body's target is 11.
  ASSERT_EQ(Receive("Bob", Movement(100.0f, 15.0f, -40.0f, 1100)), Handled::kMovement);
  const Combatant& c = record(1);
  EXPECT_EQ(c.netTarget, Vec3(100.0f, 11.0f, -40.0f));
  EXPECT_EQ(c.previousPosition, before);
  EXPECT_EQ(c.position, before);  // the glide moves it, frame by frame
  EXPECT_EQ(c.heading, Vec3(2.0f, 0.5f, -1.0f));
  EXPECT_EQ(c.pitch, kMovementPitch);
  EXPECT_EQ(c.yaw, 1.25f);
  EXPECT_EQ(c.roll, 0.0f);
  // 100 ms at 60 frames per second: 6 frames.
  EXPECT_FLOAT_EQ(c.glideSteps, 6.0f);
  EXPECT_EQ(c.glideStep, 0.0f);
  EXPECT_EQ(c.lastUpdateTime, 1100u);

  // The next one glides from where the record is now.
  record(1).position = Vec3(50.0f, 11.0f, -20.0f);
  record(1).glideStep = 6.0f;
  ASSERT_EQ(Receive("Bob", Movement(110.0f, 15.0f, -40.0f, 1150), 40.0f), Handled::kMovement);
  EXPECT_EQ(c.previousPosition, Vec3(50.0f, 11.0f, -20.0f));
  EXPECT_FLOAT_EQ(c.glideSteps, 2.0f);
  EXPECT_EQ(c.glideStep, 0.0f);
  EXPECT_EQ(record(0).lastUpdateTime, 1000u);
}

TEST_F(HandleMessageTest, AWildFirstClockGlidesForAtMostASecond) {
  // The peer's clock is days ahead of the local one that set lastUpdateTime.
  ASSERT_EQ(Receive("Carol", Movement(0, 20, 0, 400000000u)), Handled::kMovement);
  EXPECT_FLOAT_EQ(record(2).glideSteps, 60.0f);
  EXPECT_EQ(record(2).lastUpdateTime, 400000000u);
  // Behind it: one frame, not four billion milliseconds of unsigned wrap.
  ASSERT_EQ(Receive("Carol", Movement(0, 20, 0, 5u)), Handled::kMovement);
  EXPECT_FLOAT_EQ(record(2).glideSteps, 1.0f);
  EXPECT_EQ(record(2).lastUpdateTime, 5u);
}

TEST(GlideSteps, FramesBetweenMessagesKeptWithinOneAndASecond) {
  EXPECT_FLOAT_EQ(GlideSteps(1000, 1100, 60.0f), 6.0f);
  EXPECT_FLOAT_EQ(GlideSteps(1000, 1050, 40.0f), 2.0f);
  EXPECT_FLOAT_EQ(GlideSteps(1000, 1010, 60.0f), 1.0f);   // 0.6 of a frame
  EXPECT_FLOAT_EQ(GlideSteps(1000, 1000, 60.0f), 1.0f);   // same stamp
  EXPECT_FLOAT_EQ(GlideSteps(1000, 999, 60.0f), 1.0f);    // backwards
  EXPECT_FLOAT_EQ(GlideSteps(1000, 4000, 60.0f), 60.0f);  // 3 s: capped at a second
  // Across the 32-bit wrap of the clock the difference is still small.
  EXPECT_FLOAT_EQ(GlideSteps(0xFFFFFFF0u, 0x00000054u, 50.0f), 5.0f);
  // No usable frame rate: one step.
  EXPECT_FLOAT_EQ(GlideSteps(1000, 2000, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(GlideSteps(1000, 2000, -30.0f), 1.0f);
  EXPECT_FLOAT_EQ(GlideSteps(1000, 2000, std::nanf("")), 1.0f);
  EXPECT_FLOAT_EQ(GlideSteps(1000, 2000, INFINITY), 1.0f);
}

// --- Builders ----------------------------------------------------------------

TEST(Builders, StatusAndMovementFromTheLocalPlayer) {
  auto state = std::make_unique<MatchState>();
  state->player.frags = 9;
  state->player.power = 64;
  state->player.weaponIndex = 2;
  state->flags.spectatorMode = 1;
  StatusMessage s = MakeStatus(*state, 123456);
  EXPECT_EQ(s.frags, 9);
  EXPECT_EQ(s.matchMs, 123456u);
  EXPECT_EQ(s.power, 64);
  EXPECT_EQ(s.weapon, 2);
  EXPECT_EQ(s.spectator, 1);
  state->flags.spectatorMode = 0;
  EXPECT_EQ(MakeStatus(*state, 0).spectator, 0);

  PlayerView& v = state->player.view;
  v.pivot = Vec3(-120.0f, 10.0f, 300.0f);
  v.pitch = -1.0f;  // the body model is always sent upright
  v.yaw = kPi + 0.5f;
  v.roll = 0.3f;
  v.motion = Vec3(3.0f, 10.0f, -4.0f);
  MovementMessage m = MakeMovement(*state, 777);
  EXPECT_EQ(m.x, -120.0f);
  EXPECT_EQ(m.y, 15.0f);
  EXPECT_EQ(m.z, 300.0f);
  EXPECT_EQ(m.pitch, -1.5707964f);
  EXPECT_NEAR(m.yaw, kPi + 0.5f - kTwoPi, 1e-5f);
  EXPECT_EQ(m.roll, 0.0f);
  EXPECT_EQ(m.motion, Vec3(3.0f, 10.0f, -4.0f));
  EXPECT_EQ(m.clockMs, 777u);

  // A long session of turning one way still sends the same heading, within
  // what receivers accept.
  v.yaw = 5000.25f;
  m = MakeMovement(*state, 778);
  EXPECT_LE(std::fabs(m.yaw), kPi + 1e-5f);
  EXPECT_NEAR(std::sin(m.yaw), std::sin(5000.25f), 1e-3f);
  EXPECT_NEAR(std::cos(m.yaw), std::cos(5000.25f), 1e-3f);
  std::vector<std::uint8_t> bytes = Encode(GameMessage{MessageKind::kMovement, 1, m});
  GameMessage back;
  EXPECT_EQ(Decode(bytes.data(), bytes.size(), back), DropReason::kNone);
}

TEST(Builders, ShotAndChat) {
  ShotMessage s = MakeShot(ShotEvent{Vec3(1, 2, 3), Vec3(4, 5, 6), 1});
  EXPECT_EQ(s.position, Vec3(1, 2, 3));
  EXPECT_EQ(s.velocity, Vec3(4, 5, 6));
  EXPECT_EQ(s.weapon, 1);

  auto state = std::make_unique<MatchState>();
  SetText(state->messages.lines[0], "Player 1: newest");
  SetText(state->messages.lines[1], "Player 1: older");
  EXPECT_EQ(MakeChat(*state).text, "Player 1: newest");
  // A full 128-byte line without a terminator is cut to 63.
  state->messages.lines[0].fill('q');
  EXPECT_EQ(MakeChat(*state).text, std::string(63, 'q'));
  EXPECT_EQ(MakeChat(std::string(63, 'r')).text, std::string(63, 'r'));
  EXPECT_EQ(MakeChat(std::string(64, 'r')).text, std::string(63, 'r'));
}

}  // namespace
}  // namespace halvex::net
