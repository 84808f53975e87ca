#include "sim/key_bindings.h"
#include "sim/mouse_shaping.h"
#include "sim/player.h"
#include "sim/roster.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim_fixture.h"
#include "world/collision/mesh_builder.h"

namespace halvex {
namespace {

class PlayerMove : public SimTest {
 protected:
  // One frame of keys and movement with the given input.
  Vec3 Walk(const InputSnapshot& in, float ts = 1.0f) {
    Vec3 before = view().pivot;
    view().motion = Vec3(0);
    FrameContext ctx = Ctx(ts);
    MovementKeys(view(), in, ts);
    MovePlayer(state(), ctx);
    return view().pivot - before;
  }
};

// Each collision query in open ground keeps back 0.001 x radius (0.014).
constexpr float kKeptBack = 0.014f;

TEST_F(PlayerMove, WalkingSpeedsStraightDiagonalAndLookingDown) {
  InputSnapshot w;
  w.Press(scancode::kW);
  Vec3 d = Walk(w, 0.5f);
  EXPECT_NEAR(d.z, 4.0f * 0.5f - kKeptBack, 1e-4f);
  EXPECT_NEAR(d.x, 0.0f, 1e-5f);
  InputSnapshot wd = w;
  wd.Press(scancode::kD);
  d = Walk(wd);
  EXPECT_NEAR(std::hypot(d.x, d.z), 5.657f - kKeptBack, 1e-3f);
  EXPECT_GT(d.x, 0.0f);  // D strafes toward +x when facing +z
  // Tilt the view down by n counts: walking slows to 4 cos(angle).
  InputSnapshot look;
  look.lY = 200;
  MouseLook(view(), look);
  float angle = 200 * kMouseStep;
  EXPECT_NEAR(view().pitch, -kPi / 2 - angle, 1e-5f);
  d = Walk(w);
  EXPECT_NEAR(std::hypot(d.x, d.z), 4.0f * std::cos(angle) - kKeptBack, 1e-3f);
}

TEST_F(PlayerMove, MouseTurnsAndPitchStopsAtLimits) {
  InputSnapshot in;
  in.lX = 100;
  MouseLook(view(), in);
  EXPECT_NEAR(view().yaw, kPi + 0.3835f, 1e-3f);
  EXPECT_NEAR(view().lookDir.x, 4 * std::sin(0.3835f), 1e-3f);  // toward +x
  EXPECT_NEAR(glm::length(view().lookDir), 4.0f, 1e-4f);
  // Looking up as far as it goes: the check precedes the step, so the last
  // step may pass -pi/8 by less than one step.
  InputSnapshot up;
  up.lY = -50;
  for (int i = 0; i < 40; ++i) MouseLook(view(), up);
  EXPECT_GE(view().pitch, -kPi / 8);
  EXPECT_LT(view().pitch, -kPi / 8 + 50 * kMouseStep);
  EXPECT_GT(view().lookDir.y, 0.0f);
  InputSnapshot down;
  down.lY = 50;
  for (int i = 0; i < 80; ++i) MouseLook(view(), down);
  EXPECT_LE(view().pitch, -7 * kPi / 8);
  EXPECT_GT(view().pitch, -7 * kPi / 8 - 50 * kMouseStep);
}

TEST_F(PlayerMove, SensitivityScalesTheTurnWithoutLosingSlowMotionAndInvertFlipsPitch) {
  // At 100% the counts pass untouched, so the original feel is kept exactly.
  MouseShaping original(100, false);
  InputSnapshot in;
  in.lX = 7;
  in.lY = -3;
  original.Apply(in);
  EXPECT_EQ(in.lX, 7);
  EXPECT_EQ(in.lY, -3);

  // 40%: one count a frame for ten frames turns as four counts would, both ways.
  MouseShaping slow(40, false);
  const float yaw0 = view().yaw;
  for (int sign : {1, -1}) {
    for (int i = 0; i < 10; ++i) {
      InputSnapshot step;
      step.lX = sign;
      slow.Apply(step);
      MouseLook(view(), step);
    }
    EXPECT_NEAR(view().yaw, yaw0 + (sign > 0 ? 4 : 0) * kMouseStep, 1e-5f);
  }

  // 250% and inverted: pulling the mouse back (positive y), which looks down
  // normally, looks up by 2.5 times as far.
  MouseShaping fastInverted(250, true);
  const float pitch0 = view().pitch;
  InputSnapshot back;
  back.lY = 20;
  fastInverted.Apply(back);
  MouseLook(view(), back);
  EXPECT_NEAR(view().pitch, pitch0 + 50 * kMouseStep, 1e-5f);
}

TEST(KeyBindings, DefaultsChangeNothingAndAMovedKeyTakesItsActionAlone) {
  InputSnapshot held;
  for (int k : {0x11, 0x1E, 0x39, 0x02, 0x0F, 0xC8, 0x3C}) held.Press(k);
  InputSnapshot same = held;
  ApplyKeyBindings(DefaultKeyBindings(), same);
  EXPECT_EQ(same.keys, held.keys);

  // Forward on Up, Reload on W's key: W now reloads and Up walks; Up itself
  // is no longer seen, F2 keeps its own command.
  KeyBindings keys = DefaultKeyBindings();
  keys[0] = 0xC8;
  keys[4] = 0x11;
  InputSnapshot w;
  w.Press(0x11);
  w.Press(0x3C);
  ApplyKeyBindings(keys, w);
  EXPECT_FALSE(w.KeyDown(scancode::kW));
  EXPECT_TRUE(w.KeyDown(scancode::kSpace));
  EXPECT_TRUE(w.KeyDown(scancode::kF2));
  InputSnapshot up;
  up.Press(0xC8);
  ApplyKeyBindings(keys, up);
  EXPECT_TRUE(up.KeyDown(scancode::kW));
  EXPECT_FALSE(up.KeyDown(0xC8));
  EXPECT_FALSE(up.KeyDown(scancode::kSpace));

  EXPECT_FALSE(BindableKey(0x01));
  EXPECT_FALSE(BindableKey(0x57)) << "F11 keeps the screenshot";
  EXPECT_EQ(KeyboardHelpText(DefaultKeyBindings()),
            "W - Move Forward\nS - Move Backward\nA - Strafe Left\nD - Strafe Right\nSpace - Reload\n"
            "Enter - Chat System\nLeft Shift - Show Chat\nTab - Score/Stats\nF1 - This Help\n"
            "F2 - Toggle Framerate\nF9 - Fixed Camera\nF10 - Toggle Realism\nF11 - Capture Screenshot\n"
            "F12 - Toggle Spectator");
  EXPECT_EQ(KeyboardHelpText(keys).substr(0, 17), "Up - Move Forward");
}

TEST(KeyBindings, MouseButtonsAndKeysTradeActions) {
  // Jump on Space (which was Reload), Reload on the middle button: the right
  // button no longer jumps, Space jumps and does not reload.
  KeyBindings keys = DefaultKeyBindings();
  keys[12] = scancode::kSpace;
  keys[4] = kMouseButtonCode + 2;
  InputSnapshot space;
  space.Press(scancode::kSpace);
  space.buttons[1] = 0x80;
  ApplyKeyBindings(keys, space);
  EXPECT_TRUE(space.RightButton());
  EXPECT_FALSE(space.KeyDown(scancode::kSpace));
  InputSnapshot right;
  right.buttons[1] = 0x80;
  right.buttons[2] = 0x80;
  ApplyKeyBindings(keys, right);
  EXPECT_FALSE(right.RightButton());
  EXPECT_TRUE(right.KeyDown(scancode::kSpace)) << "the middle button reloads";
  EXPECT_EQ(right.buttons[2], 0);

  EXPECT_TRUE(BindableKey(kMouseButtonCode + 3));
  EXPECT_FALSE(BindableKey(kMouseButtonCode + 4));
  EXPECT_EQ(MouseHelpText(DefaultKeyBindings()),
            "Move Mouse - Aim/Turn\nLeft Button - Shoot\nRight Button - Jump/Fly\nMiddle Button - Not Used\n"
            "Roll Wheel - Change Weapon");
  EXPECT_EQ(MouseHelpText(keys), "Move Mouse - Aim/Turn\nLeft Button - Shoot\nSpace - Jump/Fly\nRoll Wheel - Change Weapon");
  EXPECT_NE(KeyboardHelpText(keys).find("\nMiddle Button - Reload\n"), std::string::npos);
}

TEST_F(PlayerMove, JumpNeedsLandingWithoutFlight) {
  CollisionMeshData ground;
  ground.AddGround(-500, 500, -500, 500, 0);
  for (int t = 0; t < 16; ++t) world_.tiles[t] = ground.View();
  view().jumpTimer = 0;
  InputSnapshot right, none;
  right.buttons[1] = 1;
  auto frame = [&](const InputSnapshot& in) {
    view().motion = Vec3(0);
    JumpAndFlight(view(), in, 0.025f, false);
    FrameContext ctx = Ctx(1.0f);
    MovePlayer(state(), ctx);
  };
  frame(right);  // the drive starts with the next frame
  frame(right);  // held: the jump is used up
  EXPECT_EQ(view().canJump, 0);
  frame(none);
  int f = 0;
  while (view().jumpTimer > 0 && f++ < 100) frame(none);
  ASSERT_GT(view().pivot.y, 30.0f);  // in the air, the drive spent
  frame(right);                      // a second press in the air does nothing
  EXPECT_EQ(view().jumpTimer, 0.0f);
  for (f = 0; f < 300 && !view().canJump; ++f) frame(none);
  EXPECT_EQ(view().pivot.y, 15.0f);  // landed on the ground level
  EXPECT_EQ(view().canJump, 1);      // the blocked fall re-armed the jump
  frame(right);
  EXPECT_GT(view().jumpTimer, 0.0f);
}

TEST_F(PlayerMove, FlightRisesUntilTheCeiling) {
  view().jumpTimer = 0;
  InputSnapshot right;
  right.buttons[1] = 1;
  for (int f = 0; f < 400; ++f) {
    view().motion = Vec3(0);
    JumpAndFlight(view(), right, 0.025f, true);
    FrameContext ctx = Ctx(1.0f);
    MovePlayer(state(), ctx);
  }
  EXPECT_LT(view().pivot.y, state().area.playerCeiling);
  EXPECT_GT(view().pivot.y, state().area.playerCeiling - 6.0f);
  EXPECT_EQ(view().canJump, 1);
}

TEST_F(PlayerMove, OutsideTilesNoCollisionButLimitsHold) {
  state().area.playerLimitX = 540;
  view().pivot = Vec3(520, 15, 0);
  view().target = view().pivot + Vec3(50, 0, 0);
  view().lookDir = Vec3(4, 0, 0);
  InputSnapshot w;
  w.Press(scancode::kW);
  for (int f = 0; f < 20; ++f) Walk(w);
  EXPECT_EQ(view().playerTile, -1);
  EXPECT_LT(view().pivot.x, 540.0f);
  EXPECT_GT(view().pivot.x, 535.0f);
  // Off the tiles nothing holds the body up but the floor clamp.
  state().area.playerFloor = -40;
  for (int f = 0; f < 40; ++f) {
    Walk(InputSnapshot{});
    FloorClamp(state());
  }
  EXPECT_EQ(view().pivot.y, -40.0f);
  EXPECT_FLOAT_EQ(view().target.y, -40.0f);
}

TEST_F(PlayerMove, GroundSnapPutsPivotAtFifteen) {
  view().pivot.y = 15.7f;
  view().target.y = 15.7f;
  view().eye.y = 14.7f;
  Walk(InputSnapshot{}, 0.01f);
  EXPECT_EQ(view().pivot.y, 15.0f);
  EXPECT_FLOAT_EQ(view().eye.y, 14.0f);
}

TEST_F(PlayerMove, WalkingIntoARampsFootAtSixtyFramesASecondNeverTrapsTheBody) {
  // A step up the slope lifts the body a little above 15; snapping it back
  // to 15 there would sink it into the ramp, where every move is refused.
  CollisionMeshData area;
  area.AddGround(-200, 200, -200, 200, 0);
  area.AddRamp(30, 120, -50, 50, 0, 40);
  for (int t = 0; t < 16; ++t) world_.tiles[t] = area.View();
  view().lookDir = Vec3(4, 0, 0);
  InputSnapshot forward, back;
  forward.Press(scancode::kW);
  back.Press(scancode::kS);
  for (int i = 0; i < 60; ++i) Walk(forward, 0.64f);
  const float reached = view().pivot.x;
  EXPECT_GT(reached, 25.0f);
  for (int i = 0; i < 20; ++i) Walk(back, 0.64f);
  EXPECT_LT(view().pivot.x, reached - 30.0f) << "the body can still walk away";
}

}  // namespace
}  // namespace halvex

namespace halvex {
namespace {

class Remote : public SimTest {};

TEST_F(Remote, GlidesTowardNetTargetInEqualSteps) {
  AddBots({Vec3(0, 15, 0)});
  Combatant& c = bot(0);
  c.previousPosition = c.position;
  c.netTarget = Vec3(40, 15, 0);
  c.glideStep = 0;
  c.glideSteps = 4;
  for (int f = 0; f < 6; ++f) {
    FrameContext ctx = Ctx();
    RemoteGlide(state(), ctx);
  }
  // Four steps of a quarter each (less the query's keep-back), then rest.
  EXPECT_NEAR(c.position.x, 40.0f, 4 * 0.011f);
  EXPECT_EQ(c.glideStep, 4.0f);
}

TEST_F(Remote, RosterChangesApplyAtTheNextFrameAndALeaverTakesOnlyItsOwnRecord) {
  Settings settings;
  settings.multiplayer = true;
  HeadlessMatch match(settings, 2);
  MatchState& s = match.State();
  InputSnapshot none;
  ASSERT_EQ(s.combatantCount, 0);
  ASSERT_TRUE(QueueRosterChange(s, true, 11, "Ada"));
  ASSERT_TRUE(QueueRosterChange(s, true, 12, "Brann"));
  ASSERT_TRUE(QueueRosterChange(s, true, 13, "Cora"));
  EXPECT_EQ(s.combatantCount, 0) << "applied only when the next frame starts";
  match.Step(16, none);
  ASSERT_EQ(s.combatantCount, 3);
  EXPECT_STREQ(s.combatants[1].name.data(), "Brann");
  EXPECT_EQ(s.playerIds[2], 13u);
  s.combatants[2].frags = 5;

  // Brann leaves: Ada and Cora stay, each with her own record and score.
  ASSERT_TRUE(QueueRosterChange(s, false, 12, "Brann"));
  ASSERT_TRUE(QueueRosterChange(s, false, 99, "never joined"));
  match.Step(16, none);
  ASSERT_EQ(s.combatantCount, 2);
  EXPECT_STREQ(s.combatants[0].name.data(), "Ada");
  EXPECT_STREQ(s.combatants[1].name.data(), "Cora");
  EXPECT_EQ(s.combatants[1].frags, 5);
  EXPECT_EQ(s.playerIds[1], 13u);
  EXPECT_EQ(s.combatantHighWater, 3);

  // A newcomer gets the freed record fresh, not the leaver's score.
  s.combatants[2].frags = 9;
  ASSERT_TRUE(QueueRosterChange(s, true, 14, "A name far longer than a record holds"));
  match.Step(16, none);
  ASSERT_EQ(s.combatantCount, 3);
  EXPECT_EQ(s.combatants[2].frags, 0);
  EXPECT_EQ(std::string(s.combatants[2].name.data()).size(), static_cast<std::size_t>(kPlayerNameMax));

  for (int i = 0; i < kRosterQueueSize; ++i) EXPECT_TRUE(QueueRosterChange(s, true, 100 + i, "x"));
  EXPECT_FALSE(QueueRosterChange(s, true, 999, "x")) << "a full queue refuses instead of overrunning";
  match.Step(16, none);
  EXPECT_EQ(s.combatantCount, kMaxCombatants) << "no more records than the table holds";
}

}  // namespace
}  // namespace halvex
