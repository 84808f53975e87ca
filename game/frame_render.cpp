// One rendered frame: the device check, the scene, the effects and the HUD
// in one BeginScene/EndScene pair, then Present.
#include "game/game.h"

namespace halvex::game {

using namespace gfx;

namespace {
constexpr int kScanF1 = 0x3B, kScanTab = 0x0F, kScanLeftShift = 0x2A, kScanBackspace = 0x0E;
}

render::LightInputs Game::Lights() const {
  render::LightInputs in;
  const Vec3& sun = state_->clocks.sun;
  in.sunVector = {sun.x, sun.y, sun.z};
  in.sunHeight = sun.y;
  in.gameState = state_->flags.gameState;
  in.cameraView = render::ToD3D(camera_.view);
  const float ms = static_cast<float>(clock_->NowMs() % 3600000u);
  in.t1 = ms / 350.0f;
  in.t2 = (ms + 1.0f) / 350.0f;
  return in;
}

render::SceneInputs Game::MakeSceneInputs(float ts) {
  render::SceneInputs in;
  in.device = dev_.device;
  in.quad = dev_.quadVertexBuffer;
  in.objects = &objects_;
  in.models = &content_.scene;
  in.textures = &content_.fixed;
  in.tiles = &content_.tiles;
  in.world = &content_.world;
  in.blood = &blood_;
  in.timeScale = ts;
  in.ambient = ambient_;
  in.environmentMapping = settings_.environmentMapping;
  in.lighting = settings_.lighting;
  in.backgroundExtras = backgroundExtras_ != 0;
  for (int i = 0; i < 2; ++i) {
    in.lightMapEffect[i] = dev_.lightMapEffect[i];
    in.lightMapTechnique[i] = dev_.lightMapTechniqueIndex[i] != -1 ? dev_.lightMapTechnique[i] : nullptr;
  }
  in.multiTex = &content_.multiTex;
  in.lightMapEnvironment = lightMapEnvironment_;
  in.meshScan = meshScan_;
  in.overdrawQuad = overdrawQuad_;
  return in;
}

// The environment texture, refreshed while the camera faces the centre.
void Game::RefreshEnvironment() {
  Device* d = dev_.device;
  MatchState& s = *state_;
  if (!settings_.environmentMapping || s.clocks.environmentCountdown == 0 || !objects_.environmentTexture ||
      !render::FacesEnvironmentModel(s.player.view))
    return;
  Surface *target = nullptr, *depth = nullptr, *level = nullptr;
  d->GetRenderTarget(&target);
  d->GetDepthStencilSurface(&depth);
  objects_.environmentTexture->GetSurfaceLevel(0, &level);
  d->SetRenderTarget(level, objects_.environmentDepth);
  render::Camera mirror;
  render::SceneInputs in = MakeSceneInputs(frame_ ? frame_->timeScale : 0.0f);
  const render::LightInputs lights = Lights();
  if (sceneFrame_.lightSetup) in.lights = &lights;
  render::DrawEnvironmentMap(in, s, mirror, sceneFrame_);
  d->SetRenderTarget(target, depth);
  for (Surface* surface : {level, target, depth})
    if (surface) surface->Release();
}

void Game::RenderFrame() {
  Device* d = dev_.device;
  if (!d) return;
  content_.UploadMorphs();
  const HRESULT hr = d->TestCooperativeLevel();
  if (hr == D3DERR_DEVICENOTRESET) {
    device::ResetDevice(dev_, *this, false);
  } else if (hr != D3DERR_DEVICELOST) {
    RefreshEnvironment();
    DrawScene();
    // The picture is the frame about to be shown, read before Present.
    if (ScreenshotDue()) TakeScreenshot();
  }
  d->Present(nullptr, nullptr, nullptr, nullptr);
}

void Game::DrawScene() {
  Device* d = dev_.device;
  MatchState& s = *state_;
  const float ts = frame_ ? frame_->timeScale : 0.0f;
  TickHudTimers(s, ts);
  d->BeginScene();
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
  render::PlaceCamera(camera_, s, sceneFrame_);
  if (sceneFrame_.lightSetup) ambient_ = render::SetupLights(d, Lights());
  d->LightEnable(5, s.flags.lightningFlash ? TRUE : FALSE);

  const render::SceneInputs in = MakeSceneInputs(ts);
  render::DrawWorld(in, s, camera_, sceneFrame_);

  render::EffectInputs fx;
  fx.device = d;
  fx.quad = dev_.quadVertexBuffer;
  fx.bannerQuad = bannerQuad_;
  fx.textures = &content_.fixed;
  fx.world = &content_.world;
  fx.visibleTiles = &sceneFrame_.visibleTiles;
  fx.savedBlock = fonts_.messageFont ? fonts_.messageFont->savedBlock : 0;
  fx.drawBlock = fonts_.messageFont ? fonts_.messageFont->drawBlock : 0;
  fx.timeScale = ts;
  if (objects_.alphaBlendBlock) d->ApplyStateBlock(objects_.alphaBlendBlock);
  d->SetStreamSource(0, dev_.quadVertexBuffer, 24);
  if (s.settings.renderProjectiles) render::DrawProjectiles(fx, s, camera_, sceneFrame_.billboardFull);
  render::DrawLensFlare(fx, s, camera_, effects_, s.clocks.sun);
  render::DrawShadowsAndChatIcons(in, s, camera_, sceneFrame_);
  render::DrawWorldBlood(in, s, camera_, sceneFrame_);
  DrawHudLayer();
  d->EndScene();
}

void Game::DrawHudLayer() {
  Device* d = dev_.device;
  render::BitmapFont* font = fonts_.messageFont;
  if (font && font->savedBlock) d->CaptureStateBlock(font->savedBlock);
  if (font && font->drawBlock) d->ApplyStateBlock(font->drawBlock);
  d->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  render::HudInputs h;
  h.device = d;
  h.fonts = fonts_;
  h.chatFont = objects_.chatFont;
  h.bannerQuad = bannerQuad_;
  h.bandTexture = content_.fixed.band;
  h.width = settings_.screenWidth;
  h.height = settings_.screenHeight;
  h.frameRate = frame_ ? frame_->frameRate : 60.0f;
  h.matchMs = static_cast<std::uint32_t>(clock_->NowMs() - matchStartMs_);
  h.systemMs = clock_->NowMs();
  if (state_->flags.chatActive && links.chatLine) h.chatLine = links.chatLine();
  h.chatTyping = links.chatTyping && links.chatTyping();
  h.areaName = settings_.areaName.c_str();
  h.f1Held = input_.KeyDown(kScanF1);
  if (!keyboardHelp_.empty()) h.keyboardHelp = keyboardHelp_.c_str();
  if (!mouseHelp_.empty()) h.mouseHelp = mouseHelp_.c_str();
  h.tabHeld = input_.KeyDown(kScanTab);
  h.shiftHeld = input_.KeyDown(kScanLeftShift);
  h.backspaceHeld = input_.KeyDown(kScanBackspace);
  h.meshScanReadout = meshScanReadout_;
  h.meshScanMin = sceneFrame_.overdraw.minimum;
  h.meshScanMax = sceneFrame_.overdraw.maximum;
  h.meshScanInc = sceneFrame_.overdraw.increments;
  if (network_ && state_->flags.multiplayer) {
    h.network = true;
    h.sessionName = network_->SessionName();
    h.players = network_->PlayerCount();
    h.netStatus = network_->StatusText();
    // Asked only while the scoreboard shows.
    if (h.tabHeld || state_->flags.gameState >= 10)
      for (int i = 0; i < state_->combatantCount; ++i) h.pingMs[i] = network_->PingMs(state_->playerIds[i]);
  }
  render::DrawHud(h, *state_, frameRate_);
  if (font && font->savedBlock) d->ApplyStateBlock(font->savedBlock);
}

}  // namespace halvex::game
