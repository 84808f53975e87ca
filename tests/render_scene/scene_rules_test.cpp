// Culling and selection rules of the scene and its effects, and the paces
// of the intro and closing screens.
#include <gtest/gtest.h>

#include "render/effects/effects.h"
#include "render/scene/scene.h"
#include "screens/closing/closing.h"
#include "screens/intro/intro.h"

namespace halvex {
namespace {

using render::ConeDistance;
using render::TileSelectionFor;

TEST(SceneRules, ConeDistanceIsZeroAheadAndTwoBehind) {
  const Vec3 pivot(0, 15, 0), ahead(0, 0, 1);
  EXPECT_NEAR(ConeDistance(Vec3(0, 15, 100), pivot, ahead), 0.0f, 1e-6f);
  EXPECT_NEAR(ConeDistance(Vec3(0, 15, -100), pivot, ahead), 2.0f, 1e-6f);
  EXPECT_NEAR(ConeDistance(Vec3(100, 15, 0), pivot, ahead), std::sqrt(2.0f), 1e-5f);
}

TEST(SceneRules, AnimationCountersPlayAtTheSameSpeedAtAnyFrameRate) {
  // One second of frames at 20, 60 and 300 fps (timeScale 40 / fps): the
  // caustics reach frame 20 each time, and start again at 0 after 32.
  for (int fps : {20, 60, 300}) {
    render::AnimationCounter caustics(0.5f, kCausticFrames);
    for (int i = 0; i < fps; ++i) caustics.Advance(40.0f / static_cast<float>(fps));
    EXPECT_NEAR(caustics.Frame(), 20, 1) << fps << " fps";
    for (int i = 0; i < fps * 7 / 10; ++i) caustics.Advance(40.0f / static_cast<float>(fps));
    EXPECT_LE(caustics.Frame(), 2) << fps << " fps: back to 0 at 32";
  }
}

TEST(SceneRules, FewerNearTilesAndAWiderConeFarFromTheCentre) {
  EXPECT_EQ(TileSelectionFor(Vec3(0, 15, 0)).nearCount, 8);
  EXPECT_FLOAT_EQ(TileSelectionFor(Vec3(0, 15, 0)).coneLimit, 0.95f);
  EXPECT_EQ(TileSelectionFor(Vec3(260, 15, 0)).nearCount, 5);
  EXPECT_FLOAT_EQ(TileSelectionFor(Vec3(260, 15, 0)).coneLimit, 0.95f);
  EXPECT_EQ(TileSelectionFor(Vec3(0, 15, -520)).nearCount, 5);
  EXPECT_FLOAT_EQ(TileSelectionFor(Vec3(0, 15, -520)).coneLimit, 1.25f);
}

TEST(SceneRules, ProjectileSpritesPerKindAndPass) {
  Projectile shot;
  shot.active = 1;
  shot.age = 2;
  shot.weaponIndex = 1;  // rocket: its sprite and nine smoke puffs
  EXPECT_EQ(render::SpritesInPass(shot, 1), 1);
  EXPECT_EQ(render::SpritesInPass(shot, 3), 9);
  EXPECT_EQ(render::SpritesInPass(shot, 0) + render::SpritesInPass(shot, 2), 0);
  shot.weaponIndex = 0;  // bullet: one sprite, no trail
  EXPECT_EQ(render::SpritesInPass(shot, 0), 1);
  EXPECT_EQ(render::SpritesInPass(shot, 3), 0);
  shot.weaponIndex = 2;  // third kind: only its four flares
  EXPECT_EQ(render::SpritesInPass(shot, 2), 4);
  EXPECT_EQ(render::SpritesInPass(shot, 1) + render::SpritesInPass(shot, 3), 0);
  shot.age = 1;
  EXPECT_EQ(render::SpritesInPass(shot, 2), 0) << "not drawn before its second frame";
  shot.age = 5;
  shot.active = 0;
  EXPECT_EQ(render::SpritesInPass(shot, 2), 0);
}

TEST(SceneRules, LensFlareFacesTheSun) {
  const Vec3 pivot(0, 15, 0);
  EXPECT_NEAR(render::FlareFacing(pivot, Vec3(0, 15, 1000), Vec3(0, 0, 1)), std::sin(1.0f), 1e-5f);
  EXPECT_LT(render::FlareFacing(pivot, Vec3(0, 15, -1000), Vec3(0, 0, 1)), 0.7f);
}

TEST(PresentationScreens, IntroThundersOnceWhenTheLogoReachesItsHeight) {
  screens::IntroState s;
  int thunders = 0, frames = 0, thunderFrame = -1;
  while (s.phase < 2 && frames < 10000) {
    ++frames;
    if (s.Advance()) {
      ++thunders;
      thunderFrame = frames;
    }
  }
  for (int i = 0; i < 500; ++i)
    if (s.Advance()) ++thunders;
  EXPECT_EQ(thunders, 1);
  EXPECT_GE(s.y, 30.0f);
  EXPECT_NEAR(thunderFrame, 440 + 200, 2) << "one turn of flight, then the rise";
}

TEST(PresentationScreens, SpotlightSweepsAndWraps) {
  EXPECT_FLOAT_EQ(screens::SweepSpot(-50.0f), -49.5f);
  EXPECT_FLOAT_EQ(screens::SweepSpot(49.5f), -50.0f);
}

TEST(PresentationScreens, ClosingCreditsEndOnTheirOwn) {
  screens::ClosingState s;
  int frames = 1;
  while (s.Advance() && frames < 100000) ++frames;
  EXPECT_EQ(frames, screens::kCredits * (31 + 151));
  EXPECT_EQ(std::string(screens::kCreditList[4].heading), "Varn3DB Engine");
  EXPECT_EQ(std::string(screens::kCreditList[11].heading), "");
}

}  // namespace
}  // namespace halvex
