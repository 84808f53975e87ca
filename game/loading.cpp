// InitDeviceObjects: the full load behind the loading screen, the device
// check that follows it, and the device-object part every restore runs.
#include <cstring>
#include <chrono>
#include <optional>
#include <thread>

#include "content/data_files.h"
#include "content/loading_files.h"
#include "game/game.h"
#include "game/loading_screen.h"
#include "platform/memory/memory.h"
#include "platform/window/message_box.h"

namespace halvex::game {

using namespace gfx;

namespace {

constexpr int kFlushSize = 512, kDiscardSize = 2048;
constexpr float kParticleRadius = 0.03f;

const char* const kSwitchAppsText =
    "Please do not switch applications during the initial loading process\nbefore the intro 3D logo "
    "appears, especially in fullscreen mode.";

}  // namespace

HRESULT Game::InitDeviceObjects(bool reloadAll) {
  if (!options_.recordDrawCalls) gfx::SetCallRecording(dev_.device, false);
  if (reloadAll) fullLoad_ = true;
  if (fullLoad_) {
    HRESULT hr = FullLoad();
    if (hr != S_OK) return hr;
  }
  return RestoreObjects();
}

void Game::CreateFontsAndParticles() {
  fonts_.messageFont = new render::BitmapFont("MS Sans Serif", 8, 0);
  fonts_.titleFont = new render::BitmapFont("Impact", 16, 0);
  fonts_.bannerFont = new render::BitmapFont("Impact", 12, 0);
  fonts_.statusFont = new render::BitmapFont("Diploma", 16, 0);
  for (render::BitmapFont* f : {fonts_.messageFont, fonts_.titleFont, fonts_.bannerFont, fonts_.statusFont}) {
    f->softwareProcessing = dev_.vertexProcessing == device::kSoftwareVertexProcessing;
    f->CreateGlyphTexture(dev_.device);
  }
  const int used = settings_.multiplayer ? kMaxCombatants : std::clamp(settings_.botCount, 0, kMaxCombatants);
  particles_.clear();
  blood_ = render::BloodSystems{};
  auto make = [this] {
    particles_.push_back(std::make_unique<render::ParticleSystem>(kFlushSize, kDiscardSize, kParticleRadius));
    return particles_.back().get();
  };
  for (int i = 0; i < used; ++i) {
    blood_.combatants[i] = make();
    blood_.corpses[i] = make();
  }
  blood_.global = make();
  make();  // the second global system: the presentation screens' fountain
}

void Game::DeleteFontsAndParticles() {
  for (render::BitmapFont** f : {&fonts_.statusFont, &fonts_.bannerFont, &fonts_.titleFont, &fonts_.messageFont}) {
    delete *f;
    *f = nullptr;
  }
  blood_ = render::BloodSystems{};
  particles_.clear();
}

HRESULT Game::CreateScreenQuads() {
  const float w = static_cast<float>(settings_.screenWidth), h = static_cast<float>(settings_.screenHeight);
  struct Plain {
    float x, y, z, rhw;
    D3DCOLOR c;
  };
  struct Textured {
    float x, y, z, rhw;
    D3DCOLOR c;
    float u, v;
  };
  const Plain plain[4] = {{0, h, 0, 1, 0x7f000000}, {0, 0, 0, 1, 0x7f000000}, {w, h, 0, 1, 0x7f000000},
                          {w, 0, 0, 1, 0x7f000000}};
  const Textured banner[4] = {{0, h, 0, 1, 0xff0000ff, 0, 1}, {0, 0, 0, 1, 0xff0000ff, 0, 0},
                              {w, h, 0, 1, 0x000000ff, 1, 1}, {w, 0, 0, 1, 0x000000ff, 1, 0}};
  auto make = [this](const void* data, UINT bytes, DWORD fvf, VertexBuffer** out) {
    if (FAILED(dev_.device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, fvf, D3DPOOL_SYSTEMMEM, out)) || !*out)
      return false;
    BYTE* p = nullptr;
    if (SUCCEEDED((*out)->Lock(0, bytes, &p, 0)) && p) {
      std::memcpy(p, data, bytes);
      (*out)->Unlock();
    }
    return true;
  };
  if (!make(plain, sizeof plain, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, &overdrawQuad_)) return E_FAIL;
  if (!make(banner, sizeof banner, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, &bannerQuad_)) return E_FAIL;
  return S_OK;
}

HRESULT Game::FullLoad() {
  MarkStartup("device created, loading");
  Device* d = dev_.device;
  Sleep(2000);
  const std::string deviceLine = DeviceLine(dev_.adapterDescription, dev_.vertexProcessing);
  const char* notice = NoticeLine(retryCounter_);
  MeshDefaults().specularHighlights = settings_.specularHighlights;
  CreateFontsAndParticles();
  if (CreateScreenQuads() != S_OK) return E_FAIL;

  {
    // The load from CreateDevices finds its files being read ahead already;
    // a reload shares textures all the same.
    std::optional<LoadingFiles> ownFiles;
    LoadingFiles* files = LoadingFiles::Open();
    if (!files) files = &ownFiles.emplace();
    LoadingScreen screen(d, settings_.screenWidth, settings_.screenHeight, deviceLine, notice, links.statusText);
    MarkStartup("loading screen up");
    screen.Redraw("Initializing and Receiving Options");
    const std::string area = settings_.areaPath;
    content_.area = ReadAreaOptions(area + "\\options.txt");
    content_.pickups = ReadPickupLists(area + "\\items.txt");
    content_.trees = ReadTreePositions(area + "\\trees.txt");
    // Each stage's decoded images and model files go back to the system
    // before the next stage allocates its own: held on to, the freed pages
    // would add up to the load's, and so the game's, peak memory.
    const auto stageDone = [](const char* what) {
      platform::ReleaseFreedMemory();
      MarkStartup(what);
    };
    LoadTextureDatabase(d, content_.database, &screen);
    screen.ShowPending();  // the full bar stays up while the silent loads below run
    stageDone("texture database loaded");
    LoadFixedTextures(d, content_.fixed);
    stageDone("fixed textures loaded");
    content_.LoadModels(d, [] {});
    stageDone("models loaded");
    if (settings_.renderDetail) LoadMultiTexTable(area, content_.multiTex, &screen);
    BuildCollisionMap(d, area, content_.tiles, &screen);
    stageDone("collision map built");
    BuildWorldMap(d, area, settings_.renderDetail, content_.database, content_.tiles, &screen);
    stageDone("world map built");
    content_.LinkCollision();
    state_->player.weaponIndex = 0;
    screen.Redraw("Loading Complete, Starting Game");
    files->Close();
  }
  platform::ReleaseFreedMemory();
  MarkStartup("loading done");
  if (links.setStatusText) links.setStatusText("");
  // Hold the match back until the player is here, sleeping rather than spinning.
  while (flags_.appInactive && !flags_.exitRequested) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return DeviceCheck();
}

HRESULT Game::DeviceCheck() {
  for (int countdown = 5;;) {
    HRESULT hr = dev_.device->TestCooperativeLevel();
    if (SUCCEEDED(hr)) return S_OK;
    Sleep(1000);
    --countdown;
    if (flags_.exitRequested) {
      if (links.postApplicationExit) links.postApplicationExit();
      return E_FAIL;
    }
    if ((hr == D3DERR_DEVICENOTRESET && retryCounter_ == 0) || countdown == 0) {
      platform::ShowMessageBox("Varnholt - Halvex : Initialization Failure", kSwitchAppsText,
                               platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
      flags_.initFailed = 1;
      flags_.exitRequested = 1;  // the box above is the only one the player sees
      if (links.postApplicationExit) links.postApplicationExit();
      return E_FAIL;
    }
    if (hr == D3DERR_DEVICENOTRESET) {
      --retryCounter_;
      return D3DERR_DEVICENOTRESET;
    }
  }
}

HRESULT Game::RestoreObjects() {
  content_.copyOptions.softwareVertexProcessing = dev_.vertexProcessing == device::kSoftwareVertexProcessing;
  content_.copyOptions.alternateMemory = settings_.alternateMemory;
  for (int i = 0; i < 3; ++i) {
    CVarnMesh* w = content_.scene.weapons[i];
    if (w && !w->materials.empty()) blockContent_.weaponMaterial[i] = w->materials[0];
    blockContent_.weaponTexture[i] = w && !w->textures.empty() ? w->textures[0] : nullptr;
  }
  blockContent_.bloodTexture = content_.fixed.blood;
  render::DeviceObjectOptions o;
  o.lighting = settings_.lighting;
  o.specularHighlights = settings_.specularHighlights;
  o.textureFiltering = settings_.textureFiltering;
  o.mipMapping = settings_.mipMapping;
  o.fieldOfView = 0.785398f;
  o.aspect = render::ProjectionAspect(settings_.comfort.correctAspect, settings_.screenWidth,
                                      settings_.screenHeight);
  HRESULT hr = render::RestoreDeviceObjects(dev_.device, fonts_, &content_, blockContent_, o, &objects_);
  MarkStartup("device objects restored");
  fullLoad_ = false;
  return hr;
}

void Game::InvalidateDeviceObjects(bool) {
  render::InvalidateDeviceObjects(dev_.device, fonts_, &content_, &objects_);
}

void Game::DeleteDeviceObjects() {
  // The screen goes black before the content it showed is freed, so the
  // last picture does not stay up at exit or during a full reload.
  if (Device* d = dev_.device) {
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    d->BeginScene();
    d->EndScene();
    d->Present(nullptr, nullptr, nullptr, nullptr);
  }
  for (VertexBuffer** q : {&bannerQuad_, &overdrawQuad_}) {
    if (*q) (*q)->Release();
    *q = nullptr;
  }
  for (render::BitmapFont* f : {fonts_.messageFont, fonts_.titleFont, fonts_.bannerFont, fonts_.statusFont})
    if (f) f->ReleaseTexture();
  DeleteFontsAndParticles();
  content_.Release();
}

}  // namespace halvex::game
