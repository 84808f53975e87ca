// Vertex lighting, material sources and fog, checked against colours worked
// out by hand from the fixed-function formulas.
#include "tests/gfx/gl_fixture.h"

namespace halvex::gfx::test {
namespace {

constexpr float kPi = 3.14159265f;

D3DLIGHT8 PointLight(D3DVECTOR pos, float att0, float att1, float att2, float range) {
  D3DLIGHT8 l{};
  l.Type = D3DLIGHT_POINT;
  l.Diffuse = {1, 1, 1, 1};
  l.Position = pos;
  l.Attenuation0 = att0;
  l.Attenuation1 = att1;
  l.Attenuation2 = att2;
  l.Range = range;
  return l;
}

D3DMATRIX PerspectiveFovLH(float fovY, float aspect, float zn, float zf) {
  float ys = 1.0f / std::tan(fovY / 2), xs = ys / aspect;
  D3DMATRIX m{};
  m.m[0][0] = xs;
  m.m[1][1] = ys;
  m.m[2][2] = zf / (zf - zn);
  m.m[2][3] = 1;
  m.m[3][2] = -zn * zf / (zf - zn);
  return m;
}

using LightingTest = GlDeviceTest;

TEST_F(LightingTest, PointLightAttenuatesByDistanceSquaredAndStopsAtRange) {
  D3DMATERIAL8 m = Material({1, 1, 1, 1});
  dev_->SetMaterial(&m);
  D3DLIGHT8 l = PointLight({0, 0, -1.5f}, 1, 0, 0.5f, 100);
  dev_->SetLight(0, &l);
  dev_->LightEnable(0, TRUE);
  DrawLitQuad();
  EXPECT_TRUE(Near(Pixel(32, 32), {52, 52, 52, 0}, 2));

  l.Range = 2.0f;  // every corner lies at sqrt(6) > 2
  dev_->SetLight(0, &l);
  DrawLitQuad();
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, 0}, 1));
}

// A draw sends only the uniforms whose states changed since its program last
// drew: a view change alone still carries the lights into the new camera
// space, and a program drawn again gets what changed while another drew.
TEST_F(LightingTest, UniformsFollowStatesThatChangeAlone) {
  D3DMATERIAL8 m = Material({1, 1, 1, 1});
  dev_->SetMaterial(&m);
  D3DLIGHT8 l = PointLight({0, 0, 0.3f}, 1, 5, 0, 10);  // corners at 0.245: 0.449 * N.L 0.816
  dev_->SetLight(0, &l);
  dev_->LightEnable(0, TRUE);
  DrawLitQuad(0.1f);
  EXPECT_TRUE(Near(Pixel(32, 32), {93, 93, 93, 0}, 2));
  D3DMATRIX view{};
  for (int i = 0; i < 4; ++i) view.m[i][i] = 1;
  view.m[3][2] = 0.2f;  // the camera backs off: quad and light move away together
  dev_->SetTransform(D3DTS_VIEW, &view);
  dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  DrawLitQuad(0.1f);
  EXPECT_TRUE(Near(Pixel(32, 32), {93, 93, 93, 0}, 2));

  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);  // the vertices' alpha
  dev_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  dev_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  dev_->SetRenderState(D3DRS_ALPHAREF, 0x40);
  DrawColorQuad(0x8000FF00);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 255, 0, 0}, 1));
  dev_->SetRenderState(D3DRS_ALPHAREF, 0xC0);
  DrawScreenQuad(0x80FF0000, 0, 0, 64, 64);  // another program
  DrawColorQuad(0x800000FF);                 // the first one again
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 255, 0, 0}, 1)) << "both refused by the new reference";
}

TEST_F(LightingTest, DirectionalLightScalesWithNormalAndDisabledLightGivesNothing) {
  D3DMATERIAL8 m = Material({1, 0.5f, 0.25f, 1});
  dev_->SetMaterial(&m);
  D3DLIGHT8 l{};
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Diffuse = {1, 1, 1, 1};
  l.Direction = {0, -1, 1};  // 45 degrees onto a surface facing -z: N.L = 0.7071
  dev_->SetLight(3, &l);
  dev_->LightEnable(3, TRUE);
  DrawLitQuad();
  EXPECT_TRUE(Near(Pixel(32, 32), {180, 90, 45, 0}, 2));
  dev_->LightEnable(3, FALSE);
  DrawLitQuad();
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, 0}, 1));
}

TEST_F(LightingTest, SpecularUsesLocalViewerHalfwayVectorOnlyWhenEnabled) {
  D3DMATERIAL8 m = Material({0, 0, 0, 1}, {1, 1, 1, 1}, 4);
  dev_->SetMaterial(&m);
  D3DLIGHT8 l{};
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Specular = {1, 1, 1, 1};
  l.Direction = {0, 0, 1};
  dev_->SetLight(0, &l);
  dev_->LightEnable(0, TRUE);
  DrawLitQuad();
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, 0}, 1)) << "specular is off by default";
  dev_->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  DrawLitQuad();
  EXPECT_TRUE(Near(Pixel(32, 32), {113, 113, 113, 0}, 2));
}

TEST_F(LightingTest, SpotConeUsesHalfAngles) {
  D3DMATERIAL8 m = Material({1, 1, 1, 1});
  dev_->SetMaterial(&m);
  D3DLIGHT8 l = PointLight({0, 0, 0}, 1, 0, 0, 100);
  l.Type = D3DLIGHT_SPOT;
  l.Direction = {0, 0, 1};
  l.Theta = kPi / 3;
  l.Phi = kPi / 2;
  l.Falloff = 1;
  dev_->SetLight(0, &l);
  dev_->LightEnable(0, TRUE);
  DrawLitQuad(0.25f);
  EXPECT_TRUE(Near(Pixel(32, 32), {143, 143, 143, 0}, 2));
}

TEST_F(LightingTest, MaterialSourcesAndGlobalAmbient) {
  dev_->SetRenderState(D3DRS_AMBIENT, 0x00404040);
  D3DMATERIAL8 m{};
  m.Ambient = {1, 0.5f, 0, 1};
  m.Emissive = {0, 0, 0.5f, 1};
  dev_->SetMaterial(&m);
  DrawColorQuad(0x8000FF00);
  EXPECT_TRUE(Near(Pixel(32, 32), {64, 32, 128, 0}, 2));
  dev_->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
  DrawColorQuad(0x8000FF00);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 64, 128, 0}, 2));
}

TEST_F(LightingTest, LightingDefaultsAndVertexColourPassThrough) {
  DrawColorQuad(0xFFFF0000);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, 0}, 1)) << "lit, no lights, zero material";
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  DrawColorQuad(0xFFFF0000);
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 0, 0, 0}, 1));
  PosColor v[4] = {{-1, 1, 0.5f, 0}, {1, 1, 0.5f, 0}, {-1, -1, 0.5f, 0}, {1, -1, 0.5f, 0}};
  dev_->SetVertexShader(D3DFVF_XYZ);
  dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 255, 255, 0}, 1)) << "a missing diffuse reads white";
}

struct FogCase {
  bool range;
  Rgba centre;
};

class FogTest : public GlDeviceTest, public ::testing::WithParamInterface<FogCase> {};

TEST_P(FogTest, LinearVertexFogInCameraSpace) {
  dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
  D3DMATRIX proj = PerspectiveFovLH(kPi / 2, 1, 1, 101);
  dev_->SetTransform(D3DTS_PROJECTION, &proj);
  dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);
  dev_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  dev_->SetRenderState(D3DRS_FOGSTART, FloatBits(0.0f));
  dev_->SetRenderState(D3DRS_FOGEND, FloatBits(20.0f));
  dev_->SetRenderState(D3DRS_FOGCOLOR, 0x00FF0000);
  dev_->SetRenderState(D3DRS_RANGEFOGENABLE, GetParam().range);
  DrawColorQuad(0xFFFFFFFF, -10, -10, 10, 10, 10);
  EXPECT_TRUE(Near(Pixel(32, 32), GetParam().centre, 2));
}

INSTANTIATE_TEST_SUITE_P(DepthAndRange, FogTest,
                         ::testing::Values(FogCase{false, {255, 128, 128, 0}}, FogCase{true, {255, 34, 34, 0}}));

}  // namespace
}  // namespace halvex::gfx::test
