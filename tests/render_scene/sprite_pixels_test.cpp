// How big the flat sprites come out on screen, through the OpenGL device: a
// combatant's shadow and a blood drop, seen straight from above through an
// orthographic lens of 4 pixels a unit.
#include <gtest/gtest.h>

#include <memory>

#include "render/scene/scene.h"
#include "tests/gfx/gl_fixture.h"

namespace halvex::render {
namespace {

using namespace gfx;

constexpr float kPixelsPerUnit = 4.0f;
const Vec3 kSpot(40.0f, 15.0f, 40.0f);  // away from the monument's shadow at the origin

class SpritePixels : public test::GlDeviceTest {
 protected:
  void SetUp() override {
    GlDeviceTest::SetUp();
    ASSERT_EQ(dev_->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1,
                                       D3DPOOL_SYSTEMMEM, &quad_),
              S_OK);
    FillQuad(quad_, -1, 1, 1, -1);
    textures_.shadow = textures_.blood = textures_.chat = white_;
    in_.device = dev_;
    in_.quad = quad_;
    in_.objects = &objects_;
    in_.textures = &textures_;
    in_.blood = &blood_;
    state_ = std::make_unique<MatchState>();
    state_->combatantCount = 1;
    state_->combatants[0].position = kSpot;
    state_->combatants[0].tileIndex = 3;
    state_->player.view.playerTile = 3;
    state_->player.view.pivot = kSpot + Vec3(0, 0, -100);
    state_->player.view.target = kSpot;
    state_->flags.realismMode = 1;
    // Straight down on the spot; camera space x and z map to the screen.
    camera_.up = Vec3(0, 0, 1);
    SetCamera(camera_, kSpot + Vec3(0, 200, 0), kSpot);
    frame_.billboardHalf = BuildOrientation(kPi / 2, 0, 0, 0.5f, 0.5f, 0.5f);  // facing up, as the shadows
    Matrix ortho = MatrixIdentity();
    ortho(0, 0) = ortho(1, 1) = 2.0f * kPixelsPerUnit / kSize;
    ortho(2, 2) = 1.0f / 1000.0f;
    dev_->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(ortho.data()));
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetRenderState(D3DRS_ZENABLE, FALSE);
    dev_->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    dev_->SetStreamSource(0, quad_, 24);
  }
  void TearDown() override {
    if (quad_) quad_->Release();
    GlDeviceTest::TearDown();
  }

  // The side of the square of lit pixels, in units.
  float LitSide() {
    std::vector<D3DCOLOR> pixels;
    UINT w = 0, h = 0;
    EXPECT_EQ(ReadBackPixels(dev_, &pixels, &w, &h), S_OK);
    int lit = 0;
    for (D3DCOLOR c : pixels) lit += (c & 0xFFFFFF) != 0;
    return std::sqrt(static_cast<float>(lit)) / kPixelsPerUnit;
  }

  VertexBuffer* quad_ = nullptr;
  FixedTextures textures_;
  DeviceObjects objects_;
  BloodSystems blood_;
  SceneInputs in_;
  Camera camera_;
  SceneFrameState frame_;
  std::unique_ptr<MatchState> state_;
};

TEST_F(SpritePixels, ACombatantsShadowIsTwelveUnitsAcrossAndABloodDropOne) {
  dev_->BeginScene();
  DrawShadowsAndChatIcons(in_, *state_, camera_, frame_);
  dev_->EndScene();
  EXPECT_NEAR(LitSide(), 12.0f, 0.5f) << "half-size 6, as the chat icon";

  ParticleSystem drops(512, 2048, 0.03f);
  EmitParams one;
  one.count = 1;
  one.position = kSpot;
  GameRandom random(1);
  drops.Update(0.0f, one, random);  // born this instant: still at the emitter
  blood_.combatants[0] = &drops;
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  dev_->BeginScene();
  DrawWorldBlood(in_, *state_, camera_, frame_);
  dev_->EndScene();
  EXPECT_NEAR(LitSide(), 1.0f, 0.3f) << "the shared quad at half-size 1 through the half-size billboard";

  // A spray's drops go in batches, not a draw each.
  one.count = 300;
  drops.Update(0.0f, one, random);
  ASSERT_EQ(drops.liveCount(), 301);
  const std::uint64_t before = DrawCallCount(dev_);
  dev_->BeginScene();
  DrawWorldBlood(in_, *state_, camera_, frame_);
  dev_->EndScene();
  EXPECT_EQ(DrawCallCount(dev_) - before, 2u);
}

}  // namespace
}  // namespace halvex::render
