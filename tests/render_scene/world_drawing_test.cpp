// The world pass against the recording device from hand-placed cameras:
// which tiles the near count and the cone let through, what deep water
// hides, and where trees and their shadows are drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <set>
#include <vector>

#include "render/scene/scene.h"
#include "sim/combatants.h"
#include "sim/match_setup.h"
#include "tests/content/content_fixture.h"

namespace halvex {
namespace {

using namespace gfx;

// One white, opaque triangle: every tree drawn is one indexed draw.
constexpr const char* kTriangle =
    "xof 0302txt 0032\nMesh tree {\n3;\n0.0;0.0;0.0;,\n0.0;1.0;0.0;,\n1.0;0.0;0.0;;\n1;\n3;0,1,2;;\n"
    "MeshMaterialList {\n1;\n1;\n0;;\nMaterial {\n1.0;1.0;1.0;1.0;;\n0.0;\n0.0;0.0;0.0;;\n0.0;0.0;0.0;;\n}\n}\n}\n";

class WorldDrawing : public ContentFixture {
 protected:
  void SetUp() override {
    ContentFixture::SetUp();
    ASSERT_EQ(device_->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1,
                                          D3DPOOL_SYSTEMMEM, &quad_),
              S_OK);
    Write("objects/tree.x", kTriangle);
    ASSERT_EQ(tree_.LoadFromFile(device_, "objects\\tree.x"), S_OK);
    ASSERT_EQ(tree_.RestoreDeviceObjects(device_, D3DXMESH_WRITEONLY, false, false), S_OK);
    models_.tree = &tree_;
    in_.device = device_;
    in_.quad = quad_;
    in_.objects = &objects_;
    in_.models = &models_;
    in_.textures = &textures_;
    in_.tiles = &tiles_;
    state_ = std::make_unique<MatchState>();
    state_->settings.renderBackground = false;
  }
  void TearDown() override {
    tree_.Destroy();
    if (quad_) quad_->Release();
    ContentFixture::TearDown();
  }

  // Puts the camera at pivot looking toward target, as the match loop would.
  void Look(const Vec3& pivot, const Vec3& target, int playerTile) {
    PlayerView& v = state_->player.view;
    v.pivot = pivot;
    v.target = target;
    v.playerTile = playerTile;
    UpdateViewValues(*state_);
  }

  void Draw() {
    RecordedCalls(device_)->clear();
    render::DrawWorld(in_, *state_, camera_, frame_);
    render::DrawShadowsAndChatIcons(in_, *state_, camera_, frame_);
  }

  std::set<int> VisibleTiles() const {
    std::set<int> tiles;
    for (int t = 0; t < kTileCount; ++t)
      if (frame_.visibleTiles[size_t(t)]) tiles.insert(t);
    return tiles;
  }

  int Count(const std::string& prefix) const {
    const auto& calls = *RecordedCalls(device_);
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
  }

  void PlantTrees(std::initializer_list<Vec3> bases) {
    TreePositions list;
    for (const Vec3& b : bases) list.positions[size_t(list.count++)] = {b.x, b.y, b.z};
    PlaceTrees(*state_, list);
  }

  VertexBuffer* quad_ = nullptr;
  CVarnMesh tree_;
  render::SceneModels models_;
  render::DeviceObjects objects_;
  FixedTextures textures_;
  WorldTiles tiles_;
  render::SceneInputs in_;
  render::Camera camera_;
  render::SceneFrameState frame_;
  std::unique_ptr<MatchState> state_;
};

TEST_F(WorldDrawing, NearTilesAlwaysAndFartherOnesOnlyInsideTheCone) {
  // In tile 5 looking east: the nine nearest of its row, then of the rest
  // only the eastern tiles; the three to the south-west stay hidden.
  Look(Vec3(-125, 15, 125), Vec3(-25, 15, 125), 5);
  Draw();
  EXPECT_EQ(VisibleTiles(), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 15}));
  EXPECT_EQ(frame_.tilesDrawn, 2 * 13) << "both passes draw the same selection";

  // Turned round toward the near western edge: nothing beyond the nine.
  Look(Vec3(-125, 15, 125), Vec3(-225, 15, 125), 5);
  Draw();
  EXPECT_EQ(VisibleTiles(), (std::set<int>{0, 1, 2, 4, 5, 6, 8, 9, 10}));
}

TEST_F(WorldDrawing, OutsideTheMapTheFirstRowAndTheWiderConeAreUsed) {
  // South of the map looking east: row 0's six nearest (0, 4, 1, 5, 8, 2)
  // however far away they are, and the others within the 1.25 cone.
  Look(Vec3(0, 15, -520), Vec3(100, 15, -520), -1);
  Draw();
  EXPECT_EQ(VisibleTiles(), (std::set<int>{0, 1, 2, 3, 4, 5, 7, 8, 10, 11, 14, 15}));
}

TEST_F(WorldDrawing, DeepUnderWaterNothingOfTheIslandIsDrawn) {
  PlantTrees({Vec3(0, 0, 100)});
  Look(Vec3(-125, 15, 125), Vec3(-25, 15, 125), 5);
  Draw();
  ASSERT_FALSE(VisibleTiles().empty());
  Look(Vec3(0, -350, 0), Vec3(0, -350, 100), 10);
  Draw();
  EXPECT_TRUE(VisibleTiles().empty()) << "the table is refilled every frame";
  EXPECT_EQ(Count("DrawIndexedPrimitive"), 0) << "no tree below -300";
  EXPECT_GT(Count("SetRenderState 28 1"), 0) << "fog on under water";
}

TEST_F(WorldDrawing, TreesInsideTheirConeAreDrawnWithAShadowEach) {
  // Ahead, a little aside (cone about 0.5), square to the side and behind.
  PlantTrees({Vec3(0, 0, 200), Vec3(100, 0, 200), Vec3(200, 0, 15), Vec3(0, 0, -200)});
  Look(Vec3(0, 15, 0), Vec3(0, 15, 100), 10);
  ASSERT_LT(state_->trees[1].viewOffset, 0.7f);
  ASSERT_GT(state_->trees[2].viewOffset, 0.7f);
  Draw();
  EXPECT_EQ(Count("DrawIndexedPrimitive"), 2);
  EXPECT_EQ(Count("DrawPrimitive "), 2 + 1) << "two tree shadows and the monument's";

  state_->settings.renderTrees = false;
  Draw();
  EXPECT_EQ(Count("DrawIndexedPrimitive"), 0);
  EXPECT_EQ(Count("DrawPrimitive "), 1);
}

TEST_F(WorldDrawing, UnlistedTreeSlotsStayEmpty) {
  PlantTrees({Vec3(0, 0, 200)});
  EXPECT_EQ(std::count_if(state_->trees.begin(), state_->trees.end(), [](const TreeSlot& t) { return t.active; }),
            1);
  // Looking down at the origin, where the empty slots would stand.
  Look(Vec3(0, 15, 0), Vec3(0, -100, 1), 10);
  Draw();
  EXPECT_EQ(Count("DrawIndexedPrimitive"), 0);
}

TEST_F(WorldDrawing, UnderWaterTheGroundTakesTheSeaFloorsBlue) {
  models_.ground = &tree_;  // any model will do
  state_->settings.renderBackground = true;
  const D3DMATERIAL8 leftOver = render::ColourMaterial(1, 0, 0, 1);
  device_->SetMaterial(&leftOver);
  Look(Vec3(0, -250, -600), Vec3(0, -250, -500), -1);
  Draw();
  ASSERT_EQ(Count("DrawIndexedPrimitive"), 1) << "the ground plane";
  D3DMATERIAL8 m{};
  device_->GetMaterial(&m);
  EXPECT_EQ(m.Diffuse.r, 0.0f);
  EXPECT_EQ(m.Diffuse.b, 0.8f);
}

TEST_F(WorldDrawing, TheEnvironmentMapSetsItsOwnLightingFogAndLights) {
  Look(Vec3(0, 15, -200), Vec3(0, 15, -100), 1);
  device_->SetRenderState(D3DRS_FOGENABLE, TRUE);  // left by a frame under water
  in_.lighting = false;
  render::LightInputs sunAbove;
  sunAbove.sunVector = {0, 1, 0};
  sunAbove.sunHeight = 1;
  in_.lights = &sunAbove;
  render::DrawEnvironmentMap(in_, *state_, camera_, frame_);
  DWORD fog = 1, lighting = 1;
  device_->GetRenderState(D3DRS_FOGENABLE, &fog);
  device_->GetRenderState(D3DRS_LIGHTING, &lighting);
  EXPECT_EQ(fog, 0u);
  EXPECT_EQ(lighting, 0u);
  // Set up again with the map's own camera, which looks down from above the centre.
  D3DLIGHT8 sun{};
  device_->GetLight(0, &sun);
  const Vec3 down = Vec3TransformNormal(Vec3(0, -1, 0), camera_.view);
  EXPECT_NEAR(sun.Direction.y, down.y, 1e-4f);
  EXPECT_NEAR(sun.Direction.z, down.z, 1e-4f);
  EXPECT_GT(down.z, 0.3f) << "the sun shines partly along the map's view";
}

// Two opaque triangles, each its own material: subset 0 light-mapped, subset 1 plain.
constexpr const char* kTwoMaterials =
    "xof 0302txt 0032\nMesh floor {\n6;\n0.0;0.0;0.0;,\n0.0;1.0;0.0;,\n1.0;0.0;0.0;,\n"
    "2.0;0.0;0.0;,\n2.0;1.0;0.0;,\n3.0;0.0;0.0;;\n2;\n3;0,1,2;,\n3;3,4,5;;\n"
    "MeshMaterialList {\n2;\n2;\n0,\n1;;\n"
    "Material {\n1.0;1.0;1.0;1.0;;\n0.0;\n0.0;0.0;0.0;;\n0.0;0.0;0.0;;\n}\n"
    "Material {\n1.0;1.0;1.0;1.0;;\n0.0;\n0.0;0.0;0.0;;\n0.0;0.0;0.0;;\n}\n}\n}\n";

TEST_F(WorldDrawing, PlainSubsetsOfALightMappedTileKeepASingleStage) {
  Write("objects/floor.x", kTwoMaterials);
  CVarnMesh floor;
  ASSERT_EQ(floor.LoadFromFile(device_, "objects\\floor.x"), S_OK);
  ASSERT_EQ(floor.RestoreDeviceObjects(device_, D3DXMESH_WRITEONLY, false, false), S_OK);
  ASSERT_EQ(floor.materialCount, 2u);
  d3dutil::EffectBuffer* buffer = nullptr;
  ASSERT_EQ(d3dutil::CompileEffect("texture tex0\ntexture tex1\ntechnique T\npass P0\n"
                                   "  stage 0 texture tex0 colorop modulate\n"
                                   "  stage 1 texture tex1 colorop add colorarg1 texture colorarg2 current\nend\n",
                                   &buffer),
            S_OK);
  d3dutil::Effect* effect = nullptr;
  ASSERT_EQ(d3dutil::Effect::Create(device_, buffer->GetBufferPointer(), buffer->GetBufferSize(), 0, &effect), S_OK);
  buffer->Release();
  d3dutil::Technique* technique = nullptr;
  ASSERT_EQ(effect->GetTechnique(0, &technique), S_OK);
  const int flags[16] = {1, 0};
  RecordedCalls(device_)->clear();
  render::DrawLightMapped(device_, floor, effect, technique, nullptr, flags, true, false);
  // Replay the stage-1 colour operation along the log and note it at each draw.
  DWORD stage1 = D3DTOP_DISABLE;
  std::vector<DWORD> atDraws;
  for (const std::string& c : *RecordedCalls(device_)) {
    unsigned stage = 0, state = 0, value = 0;
    if (std::sscanf(c.c_str(), "SetTextureStageState %u %u %u", &stage, &state, &value) == 3 && stage == 1 &&
        state == D3DTSS_COLOROP)
      stage1 = value;
    if (c.rfind("DrawIndexedPrimitive", 0) == 0) atDraws.push_back(stage1);
  }
  ASSERT_EQ(atDraws.size(), 2u);
  EXPECT_EQ(std::count(atDraws.begin(), atDraws.end(), DWORD{D3DTOP_DISABLE}), 1) << "the plain subset";
  EXPECT_EQ(std::count(atDraws.begin(), atDraws.end(), DWORD{D3DTOP_ADD}), 1) << "the light-mapped subset";
  technique->Release();
  effect->Release();
  floor.Destroy();
}

}  // namespace
}  // namespace halvex
