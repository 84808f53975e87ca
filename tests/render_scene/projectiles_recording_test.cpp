// Projectile sprites and lights as the recording device sees them.
#include <gtest/gtest.h>

#include <memory>

#include "platform/gfx/device.h"
#include "render/effects/effects.h"

namespace halvex::render {
namespace {

using namespace gfx;

class ProjectilesRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 320;
    pp.BackBufferHeight = 240;
    pp.Windowed = TRUE;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &pp, &dev_),
              S_OK);
    dev_->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, D3DPOOL_SYSTEMMEM,
                             &quad_);
    in_.device = dev_;
    in_.quad = quad_;
    in_.textures = &textures_;
    state_ = std::make_unique<MatchState>();
    state_->flags.spectatorMode = 0;
    state_->player.view.pivot = Vec3(0, 15, 0);
  }
  void TearDown() override {
    if (quad_) quad_->Release();
    if (dev_) dev_->Release();
    if (d3d_) d3d_->Release();
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& c : *RecordedCalls(dev_)) n += c.rfind(prefix, 0) == 0;
    return n;
  }
  Projectile Shot(int kind, const Vec3& at) const {
    Projectile p;
    p.active = 1;
    p.age = 3;
    p.weaponIndex = kind;
    p.position = at;
    p.velocity = Vec3(0, 0, 4);
    return p;
  }

  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
  VertexBuffer* quad_ = nullptr;
  FixedTextures textures_;
  EffectInputs in_;
  std::unique_ptr<MatchState> state_;
};

TEST_F(ProjectilesRecording, RocketsSmokeAndShotsLightTheScene) {
  state_->combatantCount = 1;
  Projectile rocket = Shot(1, Vec3(0, 15, 100));
  rocket.viewOffset = 0.0f;
  state_->combatants[0].shots[0] = rocket;
  Camera cam;
  DrawProjectiles(in_, *state_, cam, MatrixIdentity());
  EXPECT_EQ(Count("DrawPrimitive 5 "), 10) << "a bot's rocket: its sprite and nine smoke puffs";
  EXPECT_EQ(Count("LightEnable 2 1"), 1);
  EXPECT_EQ(Count("LightEnable 1 0"), 1) << "no shot of the player in flight";
  state_->combatantCount = 0;
  state_->player.shots[0] = Shot(1, Vec3(0, 15, 100));
  DrawProjectiles(in_, *state_, cam, MatrixIdentity());
  EXPECT_EQ(Count("DrawPrimitive 5 "), 11) << "the player's own rocket is drawn in passes 0..2 only";
  EXPECT_EQ(Count("LightEnable 1 1"), 1) << "light 1 follows the player's shot";
}

TEST_F(ProjectilesRecording, PlayersShotFarAwayIsTakenOutOfUse) {
  state_->player.shots[0] = Shot(0, Vec3(0, 15, 1600));
  state_->player.shots[1] = Shot(0, Vec3(0, 15, 1400));
  Camera cam;
  DrawProjectiles(in_, *state_, cam, MatrixIdentity());
  EXPECT_EQ(state_->player.shots[0].active, 0);
  EXPECT_EQ(state_->player.shots[1].active, 1);
  EXPECT_EQ(Count("DrawPrimitive 5 "), 1);
}

TEST_F(ProjectilesRecording, LightOneFollowsThePlayersNewestShot) {
  // Drawn kind by kind, so the rocket comes last though it is not the newest.
  const struct {
    int kind, age;
    float z;
  } shots[] = {{0, 2, 30}, {0, 20, 90}, {1, 9, 60}};
  for (int i = 0; i < 3; ++i) {
    state_->player.shots[i] = Shot(shots[i].kind, Vec3(0, 15, shots[i].z));
    state_->player.shots[i].age = shots[i].age;
  }
  Camera cam;
  DrawProjectiles(in_, *state_, cam, MatrixIdentity());
  D3DLIGHT8 light{};
  ASSERT_EQ(dev_->GetLight(1, &light), S_OK);
  EXPECT_FLOAT_EQ(light.Position.z, 30.0f);
}

TEST_F(ProjectilesRecording, CombatantShotsOnlyInVisibleTilesAndSpectatorsSeeNoOwnShots) {
  state_->combatantCount = 1;
  Projectile shot = Shot(2, Vec3(100, 15, 100));
  shot.tileIndex = 5;
  shot.viewOffset = 0.1f;
  state_->combatants[0].shots[0] = shot;
  state_->player.shots[0] = Shot(0, Vec3(0, 15, 50));
  state_->flags.spectatorMode = 1;
  std::array<bool, kTileCount> visible{};
  in_.visibleTiles = &visible;
  Camera cam;
  DrawProjectiles(in_, *state_, cam, MatrixIdentity());
  EXPECT_EQ(Count("DrawPrimitive 5 "), 0) << "tile 5 was not drawn this frame";
  visible[5] = true;
  DrawProjectiles(in_, *state_, cam, MatrixIdentity());
  EXPECT_EQ(Count("DrawPrimitive 5 "), 4) << "the third kind's four flares";
}

}  // namespace
}  // namespace halvex::render
