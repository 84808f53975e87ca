#include "platform/gfx/device_state.h"

#include "platform/gfx/device.h"

namespace halvex::gfx {

int TransformSlot(D3DTRANSFORMSTATETYPE kind) {
  switch (kind) {
    case D3DTS_WORLD: return 0;
    case D3DTS_VIEW: return 1;
    case D3DTS_PROJECTION: return 2;
    case D3DTS_TEXTURE0: return 3;
    case D3DTS_TEXTURE1: return 4;
    default: return -1;
  }
}

void DeviceState::SetDefaults(UINT targetWidth, UINT targetHeight) {
  renderStates.fill(0);
  auto& rs = renderStates;
  rs[D3DRS_ZENABLE] = D3DZB_TRUE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGEND] = FloatToDword(1.0f);
  rs[D3DRS_FOGDENSITY] = FloatToDword(1.0f);
  rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
  rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_POINTSIZE] = FloatToDword(1.0f);
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;

  for (DWORD s = 0; s < kMaxTextureStages; ++s) {
    auto& ts = stageStates[s];
    ts.fill(0);
    ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = s;
    ts[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
    ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    ts[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
    ts[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
    ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
    ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
    ts[D3DTSS_MAXANISOTROPY] = 1;
  }
  transforms.fill(IdentityMatrix());
  for (auto& light : lights) {
    light = D3DLIGHT8{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 0};
    light.Direction = {0, 0, 1};
  }
  lightEnabled.fill(FALSE);
  material = D3DMATERIAL8{};
  viewport = {0, 0, targetWidth, targetHeight, 0.0f, 1.0f};
  fvf = 0;
}

void StateMask::SetAll() {
  renderStates.set();
  for (auto& s : stageStates) s.set();
  transforms.set();
  lights.set();
  lightEnabled.set();
  textures.set();
  material = viewport = fvf = true;
}

void CopyMaskedState(const StateMask& mask, const DeviceState& from, DeviceState* to) {
  for (DWORD i = 0; i < kMaxRenderState; ++i)
    if (mask.renderStates[i]) to->renderStates[i] = from.renderStates[i];
  for (DWORD s = 0; s < kMaxTextureStages; ++s) {
    for (DWORD i = 0; i < kMaxTextureStageState; ++i)
      if (mask.stageStates[s][i]) to->stageStates[s][i] = from.stageStates[s][i];
    if (mask.textures[s] && to->textures[s] != from.textures[s]) {
      if (from.textures[s]) from.textures[s]->AddRef();
      if (to->textures[s]) to->textures[s]->Release();
      to->textures[s] = from.textures[s];
    }
  }
  for (DWORD i = 0; i < kTransformSlots; ++i)
    if (mask.transforms[i]) to->transforms[i] = from.transforms[i];
  for (DWORD i = 0; i < kMaxLights; ++i) {
    if (mask.lights[i]) to->lights[i] = from.lights[i];
    if (mask.lightEnabled[i]) to->lightEnabled[i] = from.lightEnabled[i];
  }
  if (mask.material) to->material = from.material;
  if (mask.viewport) to->viewport = from.viewport;
  if (mask.fvf) to->fvf = from.fvf;
}

}  // namespace halvex::gfx
