// Draws wholly outside the view volume are skipped, and nothing else: the
// picture is what drawing everything gives, also after buffers are rewritten
// or the world moves.
#include "tests/gfx/gl_fixture.h"

namespace halvex::gfx::test {
namespace {

class ViewCullingTest : public GlDeviceTest {
 protected:
  void SetUp() override {
    GlDeviceTest::SetUp();
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  }
  void TearDown() override {
    if (ib_) ib_->Release();
    if (vb_) vb_->Release();
    GlDeviceTest::TearDown();
  }

  void FillVertices(const std::vector<PosColor>& v) {
    if (!vb_) {
      ASSERT_EQ(dev_->CreateVertexBuffer(UINT(v.size() * sizeof v[0]), 0, D3DFVF_XYZ | D3DFVF_DIFFUSE,
                                         D3DPOOL_MANAGED, &vb_),
                S_OK);
    }
    BYTE* p = nullptr;
    ASSERT_EQ(vb_->Lock(0, 0, &p, 0), S_OK);
    std::memcpy(p, v.data(), v.size() * sizeof v[0]);
    vb_->Unlock();
    dev_->SetStreamSource(0, vb_, sizeof(PosColor));
  }

  void FillIndices(const std::vector<WORD>& i) {
    if (!ib_) {
      ASSERT_EQ(dev_->CreateIndexBuffer(UINT(i.size() * 2), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib_), S_OK);
    }
    BYTE* p = nullptr;
    ASSERT_EQ(ib_->Lock(0, 0, &p, 0), S_OK);
    std::memcpy(p, i.data(), i.size() * 2);
    ib_->Unlock();
    dev_->SetIndices(ib_, 0);
  }

  void ClearTarget() { dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0); }
  std::uint64_t Skipped() { return DrawsOutsideViewCount(dev_); }
  bool Lit(int x, int y) { return Pixel(x, y).r > 128; }

  VertexBuffer* vb_ = nullptr;
  IndexBuffer* ib_ = nullptr;
};

constexpr D3DCOLOR kRed = 0xFFFF0000;

TEST_F(ViewCullingTest, OnlyDrawsWhollyOutsideAreSkipped) {
  FillVertices({
      {-3.0f, -0.5f, 0.5f, kRed}, {-2.0f, 0.5f, 0.5f, kRed}, {-2.0f, -0.5f, 0.5f, kRed},  // left of the view
      {-1.8f, -0.5f, 0.5f, kRed}, {-0.8f, 0.5f, 0.5f, kRed}, {-0.8f, -0.5f, 0.5f, kRed},  // across its left edge
      {-0.5f, -0.5f, -0.3f, kRed}, {0.0f, 0.5f, -0.3f, kRed}, {0.5f, -0.5f, -0.3f, kRed},  // before the near plane
      {0.5f, 0.5f, 0.5f, kRed}, {1.5f, 0.5f, 0.5f, kRed}, {0.5f, 1.5f, 0.5f, kRed},  // only a corner inside
  });
  for (UINT t = 0; t < 4; ++t) EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 3 * t, 1), S_OK);
  EXPECT_EQ(Skipped(), 2u);
  EXPECT_TRUE(Lit(2, 32));    // the part of the second inside the view
  EXPECT_FALSE(Lit(32, 32));  // the clipped one left nothing
  EXPECT_TRUE(Lit(50, 14));   // the corner of the fourth
  // Points and lines are never skipped: a wide point shows around its centre.
  FillVertices({{-1.02f, 0.0f, 0.5f, kRed}, {-3, 0, 0.5f, kRed}, {-2, 0, 0.5f, kRed}});
  dev_->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
  dev_->DrawPrimitive(D3DPT_LINELIST, 1, 1);
  EXPECT_EQ(Skipped(), 2u);
}

TEST_F(ViewCullingTest, RewrittenBuffersAndMovedWorldsAreLookedAtAfresh) {
  std::vector<PosColor> v = {{-5.0f, -0.5f, 0.5f, kRed}, {-4.0f, 0.5f, 0.5f, kRed}, {-4.0f, -0.5f, 0.5f, kRed},
                             {-0.5f, -0.5f, 0.5f, kRed}, {0.0f, 0.5f, 0.5f, kRed},  {0.5f, -0.5f, 0.5f, kRed}};
  FillVertices(v);
  FillIndices({0, 1, 2});
  dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 1);
  EXPECT_EQ(Skipped(), 1u);
  EXPECT_FALSE(Lit(32, 36));

  FillIndices({3, 4, 5});  // the same draw now names the triangle in view
  dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 1);
  EXPECT_EQ(Skipped(), 1u);
  EXPECT_TRUE(Lit(32, 36));

  ClearTarget();
  for (int k = 3; k < 6; ++k) v[size_t(k)].x -= 4.0f;  // the vertices move out of view
  FillVertices(v);
  dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 1);
  EXPECT_EQ(Skipped(), 2u);
  EXPECT_FALSE(Lit(32, 36));

  D3DMATRIX back{};
  back.m[0][0] = back.m[1][1] = back.m[2][2] = back.m[3][3] = 1.0f;
  back.m[3][0] = 4.0f;  // and the world brings them back
  dev_->SetTransform(D3DTS_WORLD, &back);
  dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 1);
  EXPECT_EQ(Skipped(), 2u);
  EXPECT_TRUE(Lit(32, 36));
}

TEST_F(ViewCullingTest, ADrawFromALockedBufferIsNeverSkipped) {
  FillVertices({{-5.0f, -0.5f, 0.5f, kRed}, {-4.0f, 0.5f, 0.5f, kRed}, {-4.0f, -0.5f, 0.5f, kRed}});
  dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
  ASSERT_EQ(Skipped(), 1u);
  BYTE* p = nullptr;
  ASSERT_EQ(vb_->Lock(0, 0, &p, 0), S_OK);
  auto* v = reinterpret_cast<PosColor*>(p);
  // Written and drawn before the unlock: the box known from before is stale.
  v[0] = {-0.5f, -0.5f, 0.5f, kRed};
  v[1] = {0.0f, 0.5f, 0.5f, kRed};
  v[2] = {0.5f, -0.5f, 0.5f, kRed};
  dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
  vb_->Unlock();
  EXPECT_EQ(Skipped(), 1u);
}

}  // namespace
}  // namespace halvex::gfx::test
