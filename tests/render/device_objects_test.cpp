// Device objects through a lost-device cycle on the recording device, their
// state blocks, and the lights.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>

#include "render/device_objects.h"

namespace halvex::render {
namespace {

using namespace gfx;

class MeshCopies final : public DeviceCopies {
 public:
  explicit MeshCopies(Device* d) : device(d) {}
  void RestoreMeshes(Device*) override { RecordedCalls(device)->push_back("meshes restored"); }
  void ReleaseMeshes() override { RecordedCalls(device)->push_back("meshes released"); }
  Device* device;
};

class DeviceObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    pp_.BackBufferWidth = 800;
    pp_.BackBufferHeight = 600;
    pp_.EnableAutoDepthStencil = TRUE;
    pp_.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp_, &dev_), S_OK);
    for (auto* f : {&message_, &title_, &banner_, &status_}) ASSERT_EQ(f->CreateGlyphTexture(dev_), S_OK);
    fonts_ = {&message_, &title_, &banner_, &status_};
    copies_.device = dev_;
    dev_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pistolTexture_);
    content_.weaponTexture[0] = pistolTexture_;
    content_.weaponMaterial[0].Diffuse = {0.5f, 0.25f, 1, 1};
  }
  void TearDown() override {
    InvalidateDeviceObjects(dev_, fonts_, &copies_, &objects_);
    for (auto* f : {&message_, &title_, &banner_, &status_}) f->ReleaseTexture();
    pistolTexture_->Release();
    dev_->Release();
    d3d_->Release();
  }
  size_t IndexOf(const std::string& prefix) {
    auto& log = *RecordedCalls(dev_);
    auto it = std::find_if(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    return it == log.end() ? SIZE_MAX : size_t(it - log.begin());
  }
  DWORD Rs(D3DRENDERSTATETYPE s) {
    DWORD v = 0;
    dev_->GetRenderState(s, &v);
    return v;
  }

  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
  D3DPRESENT_PARAMETERS pp_{};
  BitmapFont message_{"MS Sans Serif", 8, 0}, title_{"Impact", 16, 0}, banner_{"Impact", 12, 0},
      status_{"Diploma", 16, 0};
  GameFonts fonts_;
  MeshCopies copies_{nullptr};
  BlockContent content_;
  DeviceObjects objects_;
  Texture* pistolTexture_ = nullptr;
};

TEST_F(DeviceObjectsTest, RestoreRunsInItsFixedOrder) {
  RecordedCalls(dev_)->clear();
  ASSERT_EQ(RestoreDeviceObjects(dev_, fonts_, &copies_, content_, {}, &objects_), S_OK);
  size_t fonts = IndexOf("CreateVertexBuffer 8400"), meshes = IndexOf("meshes restored"),
         target = IndexOf("SetRenderTarget 128x128"), blocks = IndexOf("SetRenderState 14 1"),
         globals = IndexOf("SetRenderState 26 1"), projection = IndexOf("SetTransform 3");
  EXPECT_LT(fonts, meshes);
  EXPECT_LT(meshes, target);
  EXPECT_LT(target, blocks);
  EXPECT_LT(blocks, globals);
  EXPECT_LT(globals, projection);
  EXPECT_NE(projection, SIZE_MAX);
  EXPECT_EQ(objects_.projection.m[2][3], 1.0f);
  EXPECT_FLOAT_EQ(objects_.projection.m[2][2], kFarPlane / (kFarPlane - kNearPlane));
  EXPECT_EQ(Rs(D3DRS_FOGSTART), 0x44480000u) << "800.0 as bits";
  EXPECT_EQ(Rs(D3DRS_FOGCOLOR), 0xff000014u);
}

TEST(Projection, CorrectAspectWidensTheHorizontalFieldOnlyAndDefaultStaysSquare) {
  const float fov = 0.785398f;
  const D3DMATRIX square = PerspectiveFovLH(fov, ProjectionAspect(false, 1920, 1080), kNearPlane, kFarPlane);
  EXPECT_EQ(square.m[0][0], square.m[1][1]) << "as designed: the same field across and up";
  const D3DMATRIX wide = PerspectiveFovLH(fov, ProjectionAspect(true, 1920, 1080), kNearPlane, kFarPlane);
  EXPECT_EQ(wide.m[1][1], square.m[1][1]) << "the vertical field is kept";
  const float horizontal = 2.0f * std::atan(1.0f / wide.m[0][0]);
  EXPECT_NEAR(std::tan(horizontal / 2), std::tan(fov / 2) * 16.0f / 9.0f, 1e-5f);
  EXPECT_EQ(ProjectionAspect(true, 0, 0), 1.0f) << "no screen size, no guess";
}

TEST_F(DeviceObjectsTest, BlocksHoldTheirStatesAndLeaveTheCurrentOnesAlone) {
  DeviceObjectOptions unlit;
  unlit.lighting = false;
  dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVDESTCOLOR);
  RestoreDeviceObjects(dev_, fonts_, nullptr, content_, unlit, &objects_);
  dev_->ApplyStateBlock(objects_.glowBlock);
  EXPECT_EQ(Rs(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
  EXPECT_EQ(Rs(D3DRS_DESTBLEND), DWORD(D3DBLEND_DESTCOLOR));
  EXPECT_EQ(Rs(D3DRS_ALPHABLENDENABLE), 1u);
  dev_->ApplyStateBlock(objects_.baseBlock);
  EXPECT_EQ(Rs(D3DRS_LIGHTING), 0u) << "lighting off is recorded into the base block";
  EXPECT_EQ(Rs(D3DRS_ALPHABLENDENABLE), 0u);
  dev_->ApplyStateBlock(objects_.pistolBlock);
  D3DMATERIAL8 m{};
  dev_->GetMaterial(&m);
  EXPECT_EQ(m.Diffuse.g, 0.25f);
  Texture* t = nullptr;
  dev_->GetTexture(0, &t);
  EXPECT_EQ(t, pistolTexture_);
  if (t) t->Release();
  dev_->ApplyStateBlock(objects_.clampBlock);
  DWORD a = 0;
  dev_->GetTextureStageState(0, D3DTSS_ADDRESSV, &a);
  EXPECT_EQ(a, DWORD(D3DTADDRESS_CLAMP));
}

TEST_F(DeviceObjectsTest, LostDeviceComesBackWithEverythingRebuilt) {
  RestoreDeviceObjects(dev_, fonts_, nullptr, content_, {}, &objects_);
  dev_->SimulateDeviceLost();
  ASSERT_EQ(dev_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  RecordedCalls(dev_)->clear();
  InvalidateDeviceObjects(dev_, fonts_, nullptr, &objects_);
  InvalidateDeviceObjects(dev_, fonts_, nullptr, &objects_);  // twice is harmless
  EXPECT_EQ(objects_.environmentTexture, nullptr);
  EXPECT_EQ(message_.vertexBuffer, nullptr);
  ASSERT_EQ(dev_->Reset(&pp_), S_OK) << "every default-pool object was released";
  ASSERT_EQ(RestoreDeviceObjects(dev_, fonts_, nullptr, content_, {}, &objects_), S_OK);
  for (DWORD block : {objects_.baseBlock, objects_.alphaBlendBlock, objects_.pistolBlock, objects_.rocketBlock,
                      objects_.shotgunBlock, objects_.glowBlock, objects_.additiveBlock, objects_.multiplyBlock,
                      objects_.clampBlock, objects_.wrapBlock, objects_.bloodBlock, objects_.fogOffBlock})
    EXPECT_EQ(dev_->ApplyStateBlock(block), S_OK);
  EXPECT_NE(objects_.environmentTexture, nullptr);
  EXPECT_NE(objects_.chatFont, nullptr);
  for (auto* f : {&message_, &title_, &banner_, &status_}) {
    EXPECT_NE(f->vertexBuffer, nullptr);
    EXPECT_NE(f->drawBlock, 0u);
  }
  // No block is left behind by a cycle: every one created is deleted again.
  InvalidateDeviceObjects(dev_, fonts_, nullptr, &objects_);
  RecordedCalls(dev_)->clear();
  RestoreDeviceObjects(dev_, fonts_, nullptr, content_, {}, &objects_);
  InvalidateDeviceObjects(dev_, fonts_, nullptr, &objects_);
  int made = 0, deleted = 0;
  for (const auto& l : *RecordedCalls(dev_)) {
    made += l.rfind("EndStateBlock", 0) == 0 || l.rfind("CreateStateBlock", 0) == 0;
    deleted += l.rfind("DeleteStateBlock", 0) == 0;
  }
  EXPECT_EQ(made, deleted);
}

TEST_F(DeviceObjectsTest, LightsFollowTheSunAndTheDeadPlayer) {
  LightInputs in;
  in.sunVector = {0, 1, 0};
  in.sunHeight = 500;
  // A view that turns world +y into camera -z.
  in.cameraView = {{{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}};
  AmbientLevels a = SetupLights(dev_, in);
  EXPECT_EQ(a.red, 60.0f);
  EXPECT_EQ(a.blue, 80.0f);
  EXPECT_EQ(Rs(D3DRS_AMBIENT), 0xff3c3c50u);
  D3DLIGHT8 sun{};
  dev_->GetLight(0, &sun);
  EXPECT_EQ(sun.Diffuse.b, 0.6f);
  EXPECT_FLOAT_EQ(sun.Direction.z, 1.0f) << "negated sun (0,-1,0) turned into camera space";
  EXPECT_EQ(sun.Range, 1000.0f);
  BOOL on = FALSE;
  dev_->GetLightEnable(0, &on);
  EXPECT_TRUE(on);

  in.sunHeight = -100;
  in.gameState = 10;
  a = SetupLights(dev_, in);
  dev_->GetLight(0, &sun);
  EXPECT_EQ(sun.Diffuse.r, 0.2f);
  dev_->GetLightEnable(0, &on);
  EXPECT_FALSE(on);
  D3DLIGHT8 fill{};
  dev_->GetLight(6, &fill);
  EXPECT_EQ(fill.Diffuse.r, 0.25f);
  EXPECT_EQ(fill.Diffuse.g, 0.0f);
  EXPECT_EQ(Rs(D3DRS_AMBIENT), 0xffb40000u);
  EXPECT_EQ(a.red, 40.0f) << "clamped at 40";

  in.gameState = 0;
  in.sunHeight = 100000;
  EXPECT_EQ(SetupLights(dev_, in).blue, 255.0f);
  dev_->SetRenderState(D3DRS_AMBIENT, 0x123);
  in.presentationScreen = true;
  SetupLights(dev_, in);
  EXPECT_EQ(Rs(D3DRS_AMBIENT), 0x123u) << "a presentation screen keeps its own ambient";
}

}  // namespace
}  // namespace halvex::render
