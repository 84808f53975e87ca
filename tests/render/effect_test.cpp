// Effect files: compile, techniques by index, validation and passes that set
// states and textures and give the caller's states back.
#include <gtest/gtest.h>

#include "d3dutil/effect/effect.h"

namespace halvex::d3dutil {
namespace {

using namespace gfx;

const char* kLightMap =
    "# light-mapped surfaces\n"
    "texture tex0\ntexture tex1\n\n"
    "technique OnePass\n"
    "pass P0\n"
    "  stage 0 texture tex0 colorop modulate colorarg1 texture colorarg2 diffuse texcoord 0\n"
    "  stage 1 texture tex1 colorop add colorarg1 texture colorarg2 current texcoord 1\n"
    "  state alphablendenable true\n  state srcblend srcalpha\n  state destblend invsrcalpha\n"
    "end\n"
    "technique TwoPass\n"
    "pass P0\n  stage 0 texture tex0 colorop modulate\nend\n"
    "pass P1\n  stage 0 texture tex1 colorop selectarg1\n  state zwriteenable false\nend\n";

class EffectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = pp.BackBufferHeight = 64;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &dev_), S_OK);
  }
  void TearDown() override {
    dev_->Release();
    d3d_->Release();
  }
  Effect* Make(const char* text) {
    EffectBuffer* buffer = nullptr;
    EXPECT_EQ(CompileEffect(text, &buffer), S_OK);
    Effect* effect = nullptr;
    EXPECT_EQ(Effect::Create(dev_, buffer->GetBufferPointer(), buffer->GetBufferSize(), 0, &effect), S_OK);
    buffer->Release();
    return effect;
  }
  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
};

TEST_F(EffectTest, CompileErrorsNameTheLine) {
  EffectBuffer* buffer = nullptr;
  std::string errors;
  EXPECT_EQ(CompileEffect("technique A\npass P\n  stage 0 colorop frobnicate\nend\n", &buffer, &errors), E_FAIL);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_NE(errors.find("line 3"), std::string::npos) << errors;
  EXPECT_EQ(CompileEffect("# nothing\n", &buffer, &errors), E_FAIL) << "no technique";
  EXPECT_EQ(CompileEffect("state zenable true\n", &buffer, &errors), E_FAIL) << "state outside a pass";
  EXPECT_EQ(CompileEffectFromFile("/nonexistent/multitex.fxz", &buffer, &errors), E_FAIL);
}

TEST_F(EffectTest, TechniquesByIndexValidateOnTwoStages) {
  Effect* effect = Make(kLightMap);
  EXPECT_EQ(effect->GetTechniqueCount(), 2u);
  Technique* t = nullptr;
  ASSERT_EQ(effect->GetTechnique(0, &t), S_OK);
  EXPECT_EQ(t->Validate(), S_OK);
  t->Release();
  EXPECT_EQ(effect->GetTechnique(2, &t), E_FAIL);
  effect->Release();

  Effect* threeStages = Make("texture tex0\ntechnique T\npass P\n stage 2 texture tex0 colorop modulate\nend\n");
  ASSERT_EQ(threeStages->GetTechnique(0, &t), S_OK);
  EXPECT_EQ(t->Validate(), E_FAIL) << "the device blends two stages only";
  t->Release();
  threeStages->Release();
}

TEST_F(EffectTest, PassesSetStatesAndTexturesAndEndRestores) {
  Effect* effect = Make(kLightMap);
  Texture *surface = nullptr, *caustics = nullptr;
  dev_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &surface);
  dev_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &caustics);
  EXPECT_EQ(effect->SetTexture(MakeFourCC("tex0"), surface), S_OK);
  EXPECT_EQ(effect->SetTexture(MakeFourCC("tex1"), caustics), S_OK);
  EXPECT_EQ(effect->SetTexture(MakeFourCC("tex9"), caustics), D3DERR_INVALIDCALL);

  Technique* t = nullptr;
  effect->GetTechnique(0, &t);
  UINT passes = 0;
  ASSERT_EQ(t->Begin(&passes), S_OK);
  EXPECT_EQ(passes, 1u);
  ASSERT_EQ(t->Pass(0), S_OK);
  Texture* bound = nullptr;
  dev_->GetTexture(1, &bound);
  EXPECT_EQ(bound, caustics);
  if (bound) bound->Release();
  DWORD v = 0;
  dev_->GetTextureStageState(1, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, DWORD(D3DTOP_ADD));
  dev_->GetRenderState(D3DRS_SRCBLEND, &v);
  EXPECT_EQ(v, DWORD(D3DBLEND_SRCALPHA));
  EXPECT_EQ(t->Pass(1), D3DERR_INVALIDCALL);
  ASSERT_EQ(t->End(), S_OK);
  dev_->GetTextureStageState(1, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, DWORD(D3DTOP_DISABLE));
  dev_->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
  EXPECT_EQ(v, 0u);
  t->Release();
  effect->Release();  // lets go of the bound textures
  EXPECT_EQ(surface->Release(), 0u);
  EXPECT_EQ(caustics->Release(), 0u);
}

}  // namespace
}  // namespace halvex::d3dutil
