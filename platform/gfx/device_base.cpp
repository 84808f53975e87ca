// Shared device: life, fixed-function state and state blocks.
#include "platform/gfx/device_base.h"

#include <cstdio>

namespace halvex::gfx {

namespace {

void AssignTexture(Texture*& slot, Texture* texture) {
  if (slot == texture) return;
  if (texture) texture->AddRef();
  if (slot) slot->Release();
  slot = texture;
}

UINT SerialOf(Texture* texture) {
  return texture ? static_cast<TextureImpl*>(texture)->link.serial : 0;
}

}  // namespace

DeviceBase::DeviceBase(const D3DPRESENT_PARAMETERS& params, DWORD behaviour)
    : params_(params), behaviour_(behaviour) {
  state_.SetDefaults(params.BackBufferWidth, params.BackBufferHeight);
}

DeviceBase::~DeviceBase() {
  for (auto& block : blocks_)
    for (auto*& t : block.second.values.textures) AssignTexture(t, nullptr);
  for (auto*& t : recording_.values.textures) AssignTexture(t, nullptr);
  for (auto*& t : state_.textures) AssignTexture(t, nullptr);
  if (stream_) stream_->Release();
  if (indices_) indices_->Release();
  ReleaseImplicitSurfaces();
  // Whatever the game still holds outlives us: cut its link back.
  for (ResourceLink* link : resources_) link->device = nullptr;
}

void DeviceBase::Register(ResourceLink* link) {
  link->device = this;
  link->serial = nextSerial_++;
  resources_.insert(link);
}

void DeviceBase::Unregister(ResourceLink* link) {
  BackendForget(link);
  resources_.erase(link);
  link->device = nullptr;
}

void DeviceBase::CreateImplicitSurfaces() {
  backBuffer_ = new SurfaceImpl(this, SurfaceKind::BackBuffer, params_.BackBufferWidth,
                                params_.BackBufferHeight, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
  target_ = backBuffer_;
  target_->AddRef();
  if (params_.EnableAutoDepthStencil) {
    autoDepth_ = new SurfaceImpl(this, SurfaceKind::DepthStencil, params_.BackBufferWidth,
                                 params_.BackBufferHeight, params_.AutoDepthStencilFormat, D3DPOOL_DEFAULT);
    depth_ = autoDepth_;
    depth_->AddRef();
  }
  BackendSetTarget();
}

void DeviceBase::ReleaseImplicitSurfaces() {
  for (SurfaceImpl** s : {&target_, &depth_, &backBuffer_, &autoDepth_}) {
    if (*s) (*s)->Release();
    *s = nullptr;
  }
}

// ---- life ----

HRESULT DeviceBase::TestCooperativeLevel() { return lost_ ? D3DERR_DEVICENOTRESET : S_OK; }

HRESULT DeviceBase::Reset(D3DPRESENT_PARAMETERS* params) {
  if (!params || params->BackBufferWidth == 0 || params->BackBufferHeight == 0) return D3DERR_INVALIDCALL;
  Log("Reset %u %u", params->BackBufferWidth, params->BackBufferHeight);
  // As on the original device: every default-pool object must be gone first.
  for (ResourceLink* link : resources_) {
    bool implicit = (backBuffer_ && link == &backBuffer_->link) || (autoDepth_ && link == &autoDepth_->link);
    if (link->pool == D3DPOOL_DEFAULT && !implicit) return D3DERR_INVALIDCALL;
  }
  for (auto*& t : state_.textures) AssignTexture(t, nullptr);
  for (auto& block : blocks_)
    for (auto*& t : block.second.values.textures) AssignTexture(t, nullptr);
  blocks_.clear();
  isRecording_ = false;
  SetStreamSource(0, nullptr, 0);
  SetIndices(nullptr, 0);
  ReleaseImplicitSurfaces();
  HRESULT hr = BackendReset(*params);
  if (FAILED(hr)) {
    // The backend kept the old back buffer: give it its surfaces back, and
    // stay lost until a reset the backend can take.
    CreateImplicitSurfaces();
    lost_ = true;
    return hr;
  }
  params_ = *params;
  state_.SetDefaults(params_.BackBufferWidth, params_.BackBufferHeight);
  CreateImplicitSurfaces();
  lost_ = false;
  inScene_ = false;
  return S_OK;
}

HRESULT DeviceBase::GetDeviceCaps(D3DCAPS8* caps) {
  if (!caps) return D3DERR_INVALIDCALL;
  *caps = {};
  caps->DeviceType = D3DDEVTYPE_HAL;
  caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
  caps->MaxTextureWidth = caps->MaxTextureHeight = BackendMaxTextureSize();
  caps->MaxActiveLights = kMaxLights;
  caps->MaxStreams = 1;
  caps->MaxSimultaneousTextures = kMaxTextureStages;
  return S_OK;
}

// The device's picture is its back buffer: a screenshot reads the game's own
// picture at its own size, not the desktop around a window.
HRESULT DeviceBase::GetDisplayMode(D3DDISPLAYMODE* mode) {
  if (!mode) return D3DERR_INVALIDCALL;
  *mode = {params_.BackBufferWidth, params_.BackBufferHeight, params_.Windowed ? 0u : 60u, D3DFMT_X8R8G8B8};
  return S_OK;
}

HRESULT DeviceBase::ResourceManagerDiscardBytes(DWORD bytes) {
  Log("ResourceManagerDiscardBytes %u", bytes);
  // Marking managed resources dirty makes the backend upload them again from
  // system memory on next use; a texture whose pixels live on the device
  // only (TextureImpl::bytesOnDevice) keeps them there.
  for (ResourceLink* link : resources_)
    if (link->pool == D3DPOOL_MANAGED) link->dirty = true;
  return S_OK;
}

HRESULT DeviceBase::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) {
  if (count && !rects) return D3DERR_INVALIDCALL;
  Log("Clear %u %08X %g %u", flags, color, z, stencil);
  if (!lost_) BackendClear(flags, color, z, stencil);
  return S_OK;
}

HRESULT DeviceBase::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  Log("BeginScene");
  return S_OK;
}

HRESULT DeviceBase::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  Log("EndScene");
  return S_OK;
}

HRESULT DeviceBase::Present(const RECT*, const RECT*, void*, const void*) {
  Log("Present");
  if (lost_) return D3DERR_DEVICELOST;
  BackendPresent();
  return S_OK;
}

// ---- state ----

// While a block records, Set* calls go into the block only, as on the
// original device; otherwise they change the current state.
template <class F>
HRESULT DeviceBase::SetOrRecord(F&& apply) {
  static StateMask unused;
  if (isRecording_) {
    apply(recording_.values, recording_.mask);
  } else {
    apply(state_, unused);
  }
  return S_OK;
}

HRESULT DeviceBase::SetTransform(D3DTRANSFORMSTATETYPE kind, const D3DMATRIX* matrix) {
  int slot = TransformSlot(kind);
  if (slot < 0 || !matrix) return D3DERR_INVALIDCALL;
  Log("SetTransform %u", static_cast<unsigned>(kind));
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    s.transforms[slot] = *matrix;
    m.transforms.set(slot);
  });
}

HRESULT DeviceBase::GetTransform(D3DTRANSFORMSTATETYPE kind, D3DMATRIX* matrix) {
  int slot = TransformSlot(kind);
  if (slot < 0 || !matrix) return D3DERR_INVALIDCALL;
  *matrix = state_.transforms[slot];
  return S_OK;
}

HRESULT DeviceBase::SetViewport(const D3DVIEWPORT8* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  Log("SetViewport %u %u %u %u", viewport->X, viewport->Y, viewport->Width, viewport->Height);
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    s.viewport = *viewport;
    m.viewport = true;
  });
}

HRESULT DeviceBase::GetViewport(D3DVIEWPORT8* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  *viewport = state_.viewport;
  return S_OK;
}

HRESULT DeviceBase::SetMaterial(const D3DMATERIAL8* material) {
  if (!material) return D3DERR_INVALIDCALL;
  Log("SetMaterial");
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    s.material = *material;
    m.material = true;
  });
}

HRESULT DeviceBase::GetMaterial(D3DMATERIAL8* material) {
  if (!material) return D3DERR_INVALIDCALL;
  *material = state_.material;
  return S_OK;
}

HRESULT DeviceBase::SetLight(DWORD index, const D3DLIGHT8* light) {
  if (index >= kMaxLights || !light) return D3DERR_INVALIDCALL;
  if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  Log("SetLight %u %u", index, static_cast<unsigned>(light->Type));
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    s.lights[index] = *light;
    m.lights.set(index);
  });
}

HRESULT DeviceBase::GetLight(DWORD index, D3DLIGHT8* light) {
  if (index >= kMaxLights || !light) return D3DERR_INVALIDCALL;
  *light = state_.lights[index];
  return S_OK;
}

HRESULT DeviceBase::LightEnable(DWORD index, BOOL enable) {
  if (index >= kMaxLights) return D3DERR_INVALIDCALL;
  Log("LightEnable %u %d", index, enable ? 1 : 0);
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    s.lightEnabled[index] = enable ? TRUE : FALSE;
    m.lightEnabled.set(index);
  });
}

HRESULT DeviceBase::GetLightEnable(DWORD index, BOOL* enable) {
  if (index >= kMaxLights || !enable) return D3DERR_INVALIDCALL;
  *enable = state_.lightEnabled[index];
  return S_OK;
}

HRESULT DeviceBase::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kMaxRenderState) return D3DERR_INVALIDCALL;
  Log("SetRenderState %u %u", static_cast<unsigned>(state), value);
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    s.renderStates[state] = value;
    m.renderStates.set(state);
  });
}

HRESULT DeviceBase::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (state >= kMaxRenderState || !value) return D3DERR_INVALIDCALL;
  *value = state_.renderStates[state];
  return S_OK;
}

HRESULT DeviceBase::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
  if (stage >= kMaxTextureStages || state >= kMaxTextureStageState) return D3DERR_INVALIDCALL;
  Log("SetTextureStageState %u %u %u", stage, static_cast<unsigned>(state), value);
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    s.stageStates[stage][state] = value;
    m.stageStates[stage].set(state);
  });
}

HRESULT DeviceBase::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) {
  if (stage >= kMaxTextureStages || state >= kMaxTextureStageState || !value) return D3DERR_INVALIDCALL;
  *value = state_.stageStates[stage][state];
  return S_OK;
}

HRESULT DeviceBase::SetTexture(DWORD stage, Texture* texture) {
  if (stage >= kMaxTextureStages) return D3DERR_INVALIDCALL;
  Log("SetTexture %u T%u", stage, SerialOf(texture));
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    AssignTexture(s.textures[stage], texture);
    m.textures.set(stage);
  });
}

HRESULT DeviceBase::GetTexture(DWORD stage, Texture** texture) {
  if (stage >= kMaxTextureStages || !texture) return D3DERR_INVALIDCALL;
  *texture = state_.textures[stage];
  if (*texture) (*texture)->AddRef();
  return S_OK;
}

HRESULT DeviceBase::SetVertexShader(DWORD fvf) {
  Log("SetVertexShader %X", fvf);
  return SetOrRecord([&](DeviceState& s, StateMask& m) {
    s.fvf = fvf;
    m.fvf = true;
  });
}

HRESULT DeviceBase::GetVertexShader(DWORD* fvf) {
  if (!fvf) return D3DERR_INVALIDCALL;
  *fvf = state_.fvf;
  return S_OK;
}

// ---- state blocks ----

HRESULT DeviceBase::BeginStateBlock() {
  if (isRecording_) return D3DERR_INVALIDCALL;
  Log("BeginStateBlock");
  for (auto*& t : recording_.values.textures) AssignTexture(t, nullptr);
  recording_ = StateBlock{};
  isRecording_ = true;
  return S_OK;
}

HRESULT DeviceBase::EndStateBlock(DWORD* token) {
  if (!isRecording_ || !token) return D3DERR_INVALIDCALL;
  isRecording_ = false;
  *token = nextBlock_++;
  blocks_[*token] = recording_;  // copies texture pointers: take the references over
  recording_.values.textures.fill(nullptr);
  Log("EndStateBlock %u", *token);
  return S_OK;
}

HRESULT DeviceBase::ApplyStateBlock(DWORD token) {
  auto it = blocks_.find(token);
  if (it == blocks_.end() || isRecording_) return D3DERR_INVALIDCALL;
  Log("ApplyStateBlock %u", token);
  CopyMaskedState(it->second.mask, it->second.values, &state_);
  return S_OK;
}

HRESULT DeviceBase::CaptureStateBlock(DWORD token) {
  auto it = blocks_.find(token);
  if (it == blocks_.end() || isRecording_) return D3DERR_INVALIDCALL;
  Log("CaptureStateBlock %u", token);
  CopyMaskedState(it->second.mask, state_, &it->second.values);
  return S_OK;
}

HRESULT DeviceBase::DeleteStateBlock(DWORD token) {
  auto it = blocks_.find(token);
  if (it == blocks_.end() || isRecording_) return D3DERR_INVALIDCALL;
  Log("DeleteStateBlock %u", token);
  for (auto*& t : it->second.values.textures) AssignTexture(t, nullptr);
  blocks_.erase(it);
  return S_OK;
}

HRESULT DeviceBase::CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) {
  if (!token || isRecording_ || type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE) return D3DERR_INVALIDCALL;
  // Every kind captures the whole state here: the game only makes ALL blocks,
  // and capturing more than asked never loses a state.
  StateBlock block;
  block.mask.SetAll();
  CopyMaskedState(block.mask, state_, &block.values);
  *token = nextBlock_++;
  blocks_[*token] = block;
  block.values.textures.fill(nullptr);  // the map's copy owns the references now
  Log("CreateStateBlock %u %u", static_cast<unsigned>(type), *token);
  return S_OK;
}

}  // namespace halvex::gfx
