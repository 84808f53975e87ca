// Corpses tipping over and sinking onto the ground; the message list's
// show-all and clear keys.
#include <gtest/gtest.h>

#include <memory>

#include "render/hud/hud.h"
#include "render/scene/scene.h"
#include "world/collision/mesh_builder.h"

namespace halvex::render {
namespace {

CorpseSlot FreshCorpse(int fallDirection, float height) {
  CorpseSlot c;
  c.active = 1;
  c.fallDirection = fallDirection;
  c.framesLeft = fallDirection == 1 ? 15 : 16;
  c.bodyPosition = Vec3(-375.0f, height, 375.0f);  // inside tile 0
  return c;
}

TEST(Corpse, TipsOverThenSinksAndSettlesOnTheFloor) {
  CorpseSlot c = FreshCorpse(0, 30.0f);
  for (int i = 0; i < 40; ++i) AnimateCorpse(c, nullptr, 1.0f);
  EXPECT_TRUE(c.settled);
  EXPECT_FLOAT_EQ(c.bodyPosition.y, 2.75f) << "nothing below but the floor height";
  EXPECT_NEAR(c.pitch, 16 * kPi / 32, 1e-4f) << "tipped upwards by pi/32 per frame for 16 frames";
  EXPECT_EQ(c.framesLeft, 0);
  const Vec3 rest = c.bodyPosition;
  AnimateCorpse(c, nullptr, 3.0f);
  EXPECT_EQ(c.bodyPosition, rest) << "a settled corpse stays put";
}

TEST(Corpse, FallingForwardSpinsWhileMoreThanTwelveFramesAreLeft) {
  CorpseSlot c = FreshCorpse(1, 30.0f);
  for (int i = 0; i < 15; ++i) AnimateCorpse(c, nullptr, 0.0f);
  EXPECT_NEAR(c.pitch, -15 * kPi / 32, 1e-4f);
  EXPECT_NEAR(c.yaw, 3 * kPi / 2, 1e-4f) << "a quarter turn at 15, 14 and 13 frames left";
  EXPECT_FALSE(c.settled) << "no time passed: it has not moved";
  EXPECT_FLOAT_EQ(c.bodyPosition.y, 30.0f);
}

TEST(Corpse, LandsOnTheCollisionGroundOfItsTile) {
  CollisionMeshData ground;
  ground.AddBox(Vec3(-450.0f, 0.0f, 300.0f), Vec3(-300.0f, 20.0f, 450.0f));  // a platform 20 high
  const CollisionMeshView view = ground.View();
  CorpseSlot c = FreshCorpse(0, 40.0f);
  for (int i = 0; i < 400 && !c.settled; ++i) AnimateCorpse(c, &view, 1.0f);
  ASSERT_TRUE(c.settled);
  EXPECT_GE(c.bodyPosition.y, 20.0f) << "it lies on the platform";
  EXPECT_LT(c.bodyPosition.y, 20.0f + 2.75f + 1.0f) << "the sphere rests on it, with the query's small gap";
}

TEST(HudMessages, ShiftAndBackspaceClearTheListWhileShiftAloneShowsIt) {
  auto s = std::make_unique<MatchState>();
  std::snprintf(s->messages.lines[0].data(), 128, "%s", "newest");
  std::snprintf(s->messages.lines[9].data(), 128, "%s", "oldest");
  FrameRateCounter counter;
  HudInputs in;  // no device or fonts: layout only
  in.shiftHeld = true;
  DrawHud(in, *s, counter);
  EXPECT_STREQ(s->messages.lines[9].data(), "oldest");
  in.backspaceHeld = true;
  in.shiftHeld = false;
  DrawHud(in, *s, counter);
  EXPECT_STREQ(s->messages.lines[0].data(), "newest") << "Backspace alone clears nothing";
  in.shiftHeld = true;
  DrawHud(in, *s, counter);
  for (const auto& line : s->messages.lines) EXPECT_EQ(line[0], '\0');
}

}  // namespace
}  // namespace halvex::render
