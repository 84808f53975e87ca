// The device's shared logic through the recording backend: state blocks,
// the call log, argument checks, resources and the lost/reset cycle.
#include <gmock/gmock.h>
#include <cstring>
#include <gtest/gtest.h>

#include "platform/gfx/device.h"

namespace halvex::gfx {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    pp_.BackBufferWidth = 800;
    pp_.BackBufferHeight = 600;
    pp_.Windowed = TRUE;
    pp_.EnableAutoDepthStencil = TRUE;
    pp_.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &pp_, &dev_), S_OK);
    ASSERT_NE(RecordedCalls(dev_), nullptr);
  }
  void TearDown() override {
    dev_->Release();
    d3d_->Release();
  }
  DWORD Rs(D3DRENDERSTATETYPE s) {
    DWORD v = 0;
    dev_->GetRenderState(s, &v);
    return v;
  }

  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
  D3DPRESENT_PARAMETERS pp_{};
};

TEST(DeviceCreation, WrongSdkVersionGivesNoObject) { EXPECT_EQ(Direct3DCreate8(119), nullptr); }

TEST(FvfTest, VertexSizesOfTheGameLayouts) {
  EXPECT_EQ(FvfVertexSize(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1), 24u);
  EXPECT_EQ(FvfVertexSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1), 32u);
  EXPECT_EQ(FvfVertexSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2), 40u);
  EXPECT_EQ(FvfVertexSize(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), 20u);
  EXPECT_EQ(FvfVertexSize(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1), 28u);
  EXPECT_EQ(FvfVertexSize(0x144), 28u);
  EXPECT_EQ(FvfVertexSize(D3DFVF_DIFFUSE), 0u) << "no position";
}

TEST_F(RecordingTest, DefaultsAreDirect3DsOwn) {
  EXPECT_EQ(Rs(D3DRS_ZENABLE), 1u);
  EXPECT_EQ(Rs(D3DRS_LIGHTING), 1u);
  EXPECT_EQ(Rs(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
  EXPECT_EQ(Rs(D3DRS_ZFUNC), DWORD(D3DCMP_LESSEQUAL));
  EXPECT_EQ(Rs(D3DRS_TEXTUREFACTOR), 0xFFFFFFFFu);
  DWORD op = 0;
  dev_->GetTextureStageState(1, D3DTSS_COLOROP, &op);
  EXPECT_EQ(op, DWORD(D3DTOP_DISABLE));
  D3DVIEWPORT8 vp{};
  dev_->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 800u);
  EXPECT_EQ(vp.Height, 600u);
}

TEST_F(RecordingTest, RecordedBlockHoldsOnlyItsStatesAndRecordingChangesNothing) {
  dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
  dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);
  ASSERT_EQ(dev_->BeginStateBlock(), S_OK);
  dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  dev_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  DWORD block = 0;
  ASSERT_EQ(dev_->EndStateBlock(&block), S_OK);
  EXPECT_NE(block, 0u);
  EXPECT_EQ(Rs(D3DRS_SRCBLEND), DWORD(D3DBLEND_ZERO)) << "recording must not change the device";

  ASSERT_EQ(dev_->ApplyStateBlock(block), S_OK);
  EXPECT_EQ(Rs(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
  EXPECT_EQ(Rs(D3DRS_DESTBLEND), DWORD(D3DBLEND_ONE));
  EXPECT_EQ(Rs(D3DRS_FOGENABLE), 1u) << "a state outside the block is untouched";
  DWORD u = 0;
  dev_->GetTextureStageState(0, D3DTSS_ADDRESSU, &u);
  EXPECT_EQ(u, DWORD(D3DTADDRESS_CLAMP));

  // Capture takes the current values of the block's states only.
  dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev_->SetRenderState(D3DRS_FOGENABLE, FALSE);
  ASSERT_EQ(dev_->CaptureStateBlock(block), S_OK);
  dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
  dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);
  dev_->ApplyStateBlock(block);
  EXPECT_EQ(Rs(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
  EXPECT_EQ(Rs(D3DRS_FOGENABLE), 1u);

  ASSERT_EQ(dev_->DeleteStateBlock(block), S_OK);
  EXPECT_EQ(dev_->ApplyStateBlock(block), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev_->DeleteStateBlock(block), D3DERR_INVALIDCALL);
}

TEST_F(RecordingTest, AllStateBlockRestoresEverythingItCaptured) {
  Texture* tex = nullptr;
  ASSERT_EQ(dev_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), S_OK);
  D3DLIGHT8 light{};
  light.Type = D3DLIGHT_POINT;
  light.Range = 7;
  dev_->SetLight(4, &light);
  dev_->LightEnable(4, TRUE);
  dev_->SetTexture(1, tex);
  D3DMATRIX world{};
  world.m[0][0] = 2;
  dev_->SetTransform(D3DTS_WORLD, &world);
  DWORD all = 0;
  ASSERT_EQ(dev_->CreateStateBlock(D3DSBT_ALL, &all), S_OK);

  dev_->LightEnable(4, FALSE);
  dev_->SetTexture(1, nullptr);
  D3DMATRIX identity{};
  dev_->SetTransform(D3DTS_WORLD, &identity);
  dev_->SetRenderState(D3DRS_AMBIENT, 0x123456);
  dev_->ApplyStateBlock(all);

  BOOL on = FALSE;
  dev_->GetLightEnable(4, &on);
  EXPECT_TRUE(on);
  D3DLIGHT8 got{};
  dev_->GetLight(4, &got);
  EXPECT_EQ(got.Range, 7.0f);
  Texture* bound = nullptr;
  dev_->GetTexture(1, &bound);
  EXPECT_EQ(bound, tex);
  if (bound) bound->Release();
  D3DMATRIX w{};
  dev_->GetTransform(D3DTS_WORLD, &w);
  EXPECT_EQ(w.m[0][0], 2.0f);
  EXPECT_EQ(Rs(D3DRS_AMBIENT), 0u);

  // The block keeps the texture alive after the game lets go of it.
  dev_->SetTexture(1, nullptr);
  EXPECT_EQ(tex->Release(), 1u);
  dev_->DeleteStateBlock(all);
}

TEST_F(RecordingTest, LogShowsWhatADrawingRoutineDid) {
  RecordedCalls(dev_)->clear();
  struct V {
    float x, y, z, rhw;
    D3DCOLOR c;
  } quad[4] = {};
  dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  dev_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
  EXPECT_THAT(*RecordedCalls(dev_),
              ElementsAre("SetRenderState 27 1", "SetVertexShader 44", "DrawPrimitiveUP 5 2 20"));
}

TEST_F(RecordingTest, DrawsOutsideTheirBuffersAreRefused) {
  VertexBuffer* vb = nullptr;
  ASSERT_EQ(dev_->CreateVertexBuffer(4 * 24, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_MANAGED, &vb), S_OK);
  BYTE* data = nullptr;
  EXPECT_EQ(vb->Lock(90, 10, &data, 0), D3DERR_INVALIDCALL) << "past the end";
  ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_DISCARD), S_OK);
  EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL) << "locked twice";
  vb->Unlock();
  dev_->SetStreamSource(0, vb, 24);
  dev_->SetVertexShader(0x142);
  EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
  EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);

  IndexBuffer* ib = nullptr;
  ASSERT_EQ(dev_->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), S_OK);
  ib->Lock(0, 0, &data, 0);
  const WORD indices[6] = {0, 1, 2, 2, 1, 4};  // 4 is past the four vertices
  std::memcpy(data, indices, sizeof indices);
  ib->Unlock();
  dev_->SetIndices(ib, 0);
  EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), S_OK);
  EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  dev_->SetIndices(ib, 2);  // base vertex pushes index 2 past the end too
  EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3DERR_INVALIDCALL);
  // Mended, then spoilt again: each unlock's contents are what is checked.
  dev_->SetIndices(ib, 0);
  ib->Lock(0, 0, &data, 0);
  reinterpret_cast<WORD*>(data)[5] = 3;
  ib->Unlock();
  EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), S_OK);
  ib->Lock(0, 0, &data, 0);
  reinterpret_cast<WORD*>(data)[0] = 9;
  ib->Unlock();
  EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  dev_->SetIndices(nullptr, 0);
  dev_->SetStreamSource(0, nullptr, 0);
  ib->Release();
  vb->Release();
}

TEST_F(RecordingTest, TextureLevelsHalveAndLockBounds) {
  Texture* t = nullptr;
  ASSERT_EQ(dev_->CreateTexture(64, 16, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &t), S_OK);
  EXPECT_EQ(t->GetLevelCount(), 7u);  // 64x16 down to 1x1
  D3DSURFACE_DESC d{};
  t->GetLevelDesc(3, &d);
  EXPECT_EQ(d.Width, 8u);
  EXPECT_EQ(d.Height, 2u);
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), S_OK);
  EXPECT_EQ(lr.Pitch, 128);
  t->UnlockRect(0);
  RECT outside{0, 0, 65, 1};
  EXPECT_EQ(t->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(t->LockRect(7, &lr, nullptr, 0), D3DERR_INVALIDCALL);
  t->Release();
  EXPECT_EQ(dev_->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t),
            D3DERR_INVALIDCALL)
      << "render targets live in the default pool";
}

TEST_F(RecordingTest, LostDeviceResetsOnlyAfterDefaultPoolObjectsAreReleased) {
  EXPECT_EQ(dev_->TestCooperativeLevel(), S_OK);
  Texture* target = nullptr;
  ASSERT_EQ(dev_->CreateTexture(128, 128, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &target),
            S_OK);
  Texture* managed = nullptr;
  ASSERT_EQ(dev_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed), S_OK);
  D3DLOCKED_RECT lr{};
  managed->LockRect(0, &lr, nullptr, 0);
  static_cast<D3DCOLOR*>(lr.pBits)[0] = 0xFF112233;
  managed->UnlockRect(0);
  dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);

  dev_->SimulateDeviceLost();
  EXPECT_EQ(dev_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(dev_->Reset(&pp_), D3DERR_INVALIDCALL) << "a default-pool texture is still alive";
  target->Release();
  ASSERT_EQ(dev_->Reset(&pp_), S_OK);
  EXPECT_EQ(dev_->TestCooperativeLevel(), S_OK);
  EXPECT_EQ(Rs(D3DRS_FOGENABLE), 0u) << "a reset brings the default states back";
  managed->LockRect(0, &lr, nullptr, D3DLOCK_READONLY);
  EXPECT_EQ(static_cast<D3DCOLOR*>(lr.pBits)[0], 0xFF112233u) << "managed pixels survive";
  managed->UnlockRect(0);
  managed->Release();
}

TEST_F(RecordingTest, FrontBufferHoldsThePresentedClear) {
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
  dev_->Present(nullptr, nullptr, nullptr, nullptr);
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);  // the next frame, not shown yet
  D3DDISPLAYMODE mode{};
  dev_->GetDisplayMode(&mode);
  Surface* image = nullptr;
  ASSERT_EQ(dev_->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &image), S_OK);
  ASSERT_EQ(dev_->GetFrontBuffer(image), S_OK);
  D3DLOCKED_RECT lr{};
  image->LockRect(&lr, nullptr, D3DLOCK_READONLY);
  EXPECT_EQ(static_cast<D3DCOLOR*>(lr.pBits)[799 + 599 * 800] & 0xFFFFFF, 0x336699u);
  image->UnlockRect();
  image->Release();
  Surface* small = nullptr;
  dev_->CreateImageSurface(16, 16, D3DFMT_A8R8G8B8, &small);
  EXPECT_EQ(dev_->GetFrontBuffer(small), D3DERR_INVALIDCALL);
  small->Release();
}

}  // namespace
}  // namespace halvex::gfx
