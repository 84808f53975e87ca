#include "render/device_objects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace halvex::render {

using namespace gfx;

namespace {

constexpr DWORD kQuadFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x142

// Float render states travel as their bit patterns.
DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, sizeof d);
  return d;
}

// Records one block the way the game always has: capture the font's saved
// states, record, then put the saved states back, so nothing leaks out.
template <class F>
void RecordBlock(Device* device, const GameFonts& fonts, DWORD* handle, F&& issue) {
  DWORD saved = fonts.messageFont ? fonts.messageFont->savedBlock : 0;
  if (saved) device->CaptureStateBlock(saved);
  DWORD all = 0;
  device->CreateStateBlock(D3DSBT_ALL, &all);
  // The recorded block replaces the all-state one; delete that rather than
  // leak one block per reset.
  if (all) device->DeleteStateBlock(all);
  device->BeginStateBlock();
  issue();
  device->EndStateBlock(handle);
  if (saved) device->ApplyStateBlock(saved);
}

void RecordStateBlocks(Device* d, const GameFonts& fonts, const BlockContent& c, const DeviceObjectOptions& o,
                       DeviceObjects* s) {
  RecordBlock(d, fonts, &s->baseBlock, [&] {
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, TRUE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    d->SetRenderState(D3DRS_LIGHTING, o.lighting ? TRUE : FALSE);
  });
  RecordBlock(d, fonts, &s->alphaBlendBlock, [&] {
    d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    d->SetVertexShader(kQuadFvf);
  });
  DWORD* weapons[3] = {&s->pistolBlock, &s->rocketBlock, &s->shotgunBlock};
  for (int i = 0; i < 3; ++i)
    RecordBlock(d, fonts, weapons[i], [&] {
      d->SetMaterial(&c.weaponMaterial[i]);
      d->SetTexture(0, c.weaponTexture[i]);
    });
  RecordBlock(d, fonts, &s->glowBlock, [&] {
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  });
  RecordBlock(d, fonts, &s->additiveBlock, [&] {
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  });
  RecordBlock(d, fonts, &s->multiplyBlock, [&] {
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR);
  });
  RecordBlock(d, fonts, &s->clampBlock, [&] {
    d->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
  });
  RecordBlock(d, fonts, &s->wrapBlock, [&] {
    d->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    d->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
  });
  RecordBlock(d, fonts, &s->bloodBlock, [&] {
    d->SetVertexShader(kQuadFvf);
    d->SetTexture(0, c.bloodTexture);
  });
  RecordBlock(d, fonts, &s->fogOffBlock, [&] { d->SetRenderState(D3DRS_FOGENABLE, FALSE); });
}

void CreateEnvironmentTarget(Device* d, DeviceObjects* s) {
  if (FAILED(d->CreateTexture(128, 128, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5, D3DPOOL_DEFAULT,
                              &s->environmentTexture)))
    return;
  if (FAILED(d->CreateDepthStencilSurface(128, 128, D3DFMT_D16, D3DMULTISAMPLE_NONE, &s->environmentDepth))) return;
  Surface *oldTarget = nullptr, *oldDepth = nullptr, *level = nullptr;
  d->GetRenderTarget(&oldTarget);
  d->GetDepthStencilSurface(&oldDepth);
  s->environmentTexture->GetSurfaceLevel(0, &level);
  d->SetRenderTarget(level, s->environmentDepth);
  d->BeginScene();
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
  d->EndScene();
  d->SetRenderTarget(oldTarget, oldDepth);
  for (Surface* surface : {level, oldTarget, oldDepth})
    if (surface) surface->Release();
}

void SetGlobalStates(Device* d, const DeviceObjectOptions& o) {
  if (o.specularHighlights) d->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  d->SetRenderState(D3DRS_ZENABLE, TRUE);
  d->SetRenderState(D3DRS_LIGHTING, TRUE);
  d->SetRenderState(D3DRS_DITHERENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 8);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  d->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  d->SetRenderState(D3DRS_FOGSTART, FloatBits(kFogStart));
  d->SetRenderState(D3DRS_FOGEND, FloatBits(kFogEnd));
  d->SetRenderState(D3DRS_FOGDENSITY, FloatBits(0.0f));
  d->SetRenderState(D3DRS_FOGCOLOR, 0xff000014);
  d->SetRenderState(D3DRS_FOGENABLE, FALSE);
  if (o.textureFiltering) {
    d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  }
  if (o.mipMapping) {
    d->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    d->SetTextureStageState(0, D3DTSS_MIPMAPLODBIAS, 5);  // the raw value: no effective bias
  }
}

D3DVECTOR ToCamera(const D3DVECTOR& v, const D3DMATRIX& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0], v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

}  // namespace

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

float ProjectionAspect(bool correctAspect, int screenWidth, int screenHeight) {
  if (!correctAspect || screenWidth <= 0 || screenHeight <= 0) return 1.0f;
  return static_cast<float>(screenWidth) / static_cast<float>(screenHeight);
}

HRESULT RestoreDeviceObjects(Device* d, const GameFonts& fonts, DeviceCopies* copies, const BlockContent& content,
                             const DeviceObjectOptions& options, DeviceObjects* s) {
  if (!d || !s) return E_FAIL;
  for (BitmapFont* f : {fonts.messageFont, fonts.titleFont, fonts.bannerFont, fonts.statusFont})
    if (f) f->RestoreBuffers(d);
  if (copies) copies->RestoreMeshes(d);
  CreateEnvironmentTarget(d, s);
  RecordStateBlocks(d, fonts, content, options, s);
  d3dutil::LogFont lf;
  lf.height = 24;
  std::snprintf(lf.faceName, sizeof lf.faceName, "%s", "Impact");
  d3dutil::TextFont::Create(d, lf, &s->chatFont);
  SetGlobalStates(d, options);
  s->projection = PerspectiveFovLH(options.fieldOfView, options.aspect, kNearPlane, kFarPlane);
  d->SetTransform(D3DTS_PROJECTION, &s->projection);
  D3DMATRIX identity{};
  for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
  d->SetTransform(D3DTS_VIEW, &identity);
  return S_OK;
}

void InvalidateDeviceObjects(Device* d, const GameFonts& fonts, DeviceCopies* copies, DeviceObjects* s) {
  if (!s) return;
  if (s->chatFont) s->chatFont->Release();
  s->chatFont = nullptr;
  for (DWORD* block : {&s->fogOffBlock, &s->bloodBlock, &s->wrapBlock, &s->clampBlock, &s->multiplyBlock,
                       &s->additiveBlock, &s->glowBlock, &s->shotgunBlock, &s->rocketBlock, &s->pistolBlock,
                       &s->alphaBlendBlock, &s->baseBlock}) {
    if (*block && d) d->DeleteStateBlock(*block);
    *block = 0;
  }
  if (s->environmentDepth) s->environmentDepth->Release();
  s->environmentDepth = nullptr;
  if (s->environmentTexture) s->environmentTexture->Release();
  s->environmentTexture = nullptr;
  if (copies) copies->ReleaseMeshes();
  for (BitmapFont* f : {fonts.statusFont, fonts.bannerFont, fonts.titleFont, fonts.messageFont})
    if (f) f->ReleaseBuffers();
  if (!d) return;
  d->ResourceManagerDiscardBytes(0);
  d->SetTexture(1, nullptr);
  d->SetTexture(0, nullptr);
}

AmbientLevels SetupLights(Device* d, const LightInputs& in) {
  const bool dead = in.gameState >= 10;
  D3DLIGHT8 sun{};
  sun.Type = D3DLIGHT_DIRECTIONAL;
  sun.Range = 1000.0f;
  sun.Diffuse = in.sunHeight >= 0 ? D3DCOLORVALUE{1.0f, 1.0f, 0.6f, 0} : D3DCOLORVALUE{0.2f, 0.2f, 0.6f, 0};
  sun.Direction = ToCamera({-in.sunVector.x, -in.sunVector.y, -in.sunVector.z}, in.cameraView);
  d->SetLight(0, &sun);
  d->LightEnable(0, dead ? FALSE : TRUE);

  D3DLIGHT8 fill{};
  fill.Type = D3DLIGHT_DIRECTIONAL;
  fill.Range = 1000.0f;
  fill.Diffuse = dead ? D3DCOLORVALUE{0.25f, 0, 0, 0} : D3DCOLORVALUE{0.6f, 0.6f, 0.6f, 0};
  fill.Direction = ToCamera({std::cos(in.t1), 1.0f, std::sin(in.t2)}, in.cameraView);
  d->SetLight(6, &fill);
  d->LightEnable(6, TRUE);

  AmbientLevels levels;
  if (in.debugMeshScan) {
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    d->SetRenderState(D3DRS_AMBIENT, 0);
    return levels;
  }
  if (in.presentationScreen) return levels;
  levels.red = levels.green = std::clamp(in.sunHeight / 25 + 40, 40.0f, 255.0f);
  levels.blue = std::clamp(in.sunHeight / 25 + 60, 40.0f, 255.0f);
  DWORD ambient = dead ? 0xffb40000u
                       : D3DCOLOR_XRGB(static_cast<DWORD>(levels.red), static_cast<DWORD>(levels.green),
                                       static_cast<DWORD>(levels.blue));
  d->SetRenderState(D3DRS_AMBIENT, ambient);
  return levels;
}

DWORD AmbientColour(const AmbientLevels& a, float add) {
  auto c = [add](float v) { return static_cast<DWORD>(std::clamp(v + add, 0.0f, 255.0f)); };
  return 0xff000000u | c(a.red) << 16 | c(a.green) << 8 | c(a.blue);
}

}  // namespace halvex::render
