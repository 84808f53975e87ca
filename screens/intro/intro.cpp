#include "screens/intro/intro.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "render/scene/draw_helpers.h"

namespace halvex::screens {

using namespace gfx;

namespace {

constexpr int kEnter = 0x1C;
constexpr float kStep = 3.14159265f / 64.0f;

D3DCOLOR RandomColour(GameRandom& r) {
  auto c = [&r] { return static_cast<D3DCOLOR>(r.random(64, 255)); };
  return 0xff000000u | c() << 16 | c() << 8 | c();
}


// Mouse look around the logo: left button turns the eye, the wheel moves it.
void TurnEye(Vec3& eye, const input::DIMOUSESTATE& m) {
  if (m.rgbButtons[0]) {
    if (m.lX != 0) eye = Vec3TransformCoord(eye, MatrixRotationY(m.lX > 0 ? kStep : -kStep));
    if (m.lY != 0) eye = Vec3TransformCoord(eye, MatrixRotationX(m.lY > 0 ? kStep : -kStep));
  }
  if (m.lZ != 0) eye.z += m.lZ > 0 ? 20.0f : -20.0f;
}

}  // namespace

void FramePacer::Wait() {
  if (!active_) return;
  using namespace std::chrono;
  const long long now = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
  if (nextUs_ > now) std::this_thread::sleep_for(microseconds(nextUs_ - now));
  nextUs_ = std::max(now, nextUs_) + 16667;
}

bool IntroState::Advance() {
  if (phase == 0) {
    z += 0.25f;
    rotation += 0.014279967f;
    if (z >= 100.0f) phase = 1;
  } else if (phase == 1) {
    y += 0.05f;
    if (y >= 30.0f) {
      phase = 2;
      return true;
    }
  }
  return false;
}

float SweepSpot(float x) {
  x += 0.5f;
  return x >= 50.0f ? -50.0f : x;
}

void DrawCentredText(const IntroInputs& in, const char* text, float fromBottom, D3DCOLOR colour) {
  if (!in.font) return;
  render::TextSize size{0, 0};
  in.font->MeasureText(text, &size);
  // Screen text needs the font's own states; the scene's come back after.
  if (in.font->savedBlock) in.device->CaptureStateBlock(in.font->savedBlock);
  if (in.font->drawBlock) in.device->ApplyStateBlock(in.font->drawBlock);
  in.device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  in.device->SetTexture(0, in.font->texture);
  in.font->DrawText2D(in.width / 2.0f - size.cx / 2.0f, in.height - fromBottom, colour, text, 0);
  if (in.font->savedBlock) in.device->ApplyStateBlock(in.font->savedBlock);
}

void BeginPresentationStates(const IntroInputs& in) {
  Device* d = in.device;
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_AMBIENT, 0xffffffff);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR);
  d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 8);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  render::FillQuad(in.quad, -1, 1, 1, -1);
}

void EndPresentationStates(const IntroInputs& in) {
  Device* d = in.device;
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  d->SetRenderState(D3DRS_AMBIENT, 0xff000000);
  for (DWORD i = 0; i < 8; ++i) d->LightEnable(i, FALSE);
  d->SetRenderState(D3DRS_LIGHTING, TRUE);
  if (in.setupLights) in.setupLights();
}

bool DeviceReadyForFrame(const IntroInputs& in) {
  const HRESULT coop = in.device->TestCooperativeLevel();
  if (coop == D3DERR_DEVICENOTRESET && in.resetDevice) in.resetDevice();
  return coop != D3DERR_DEVICELOST && coop != D3DERR_DEVICENOTRESET;
}

void FeedBloodFountain(const IntroInputs& in, GameRandom& random) {
  if (!in.particles) return;
  render::EmitParams e;
  e.count = 1;
  e.colour = e.fadeColour = Vec4(1.0f);
  e.position = Vec3(0, 10, 0);
  e.spread = 22.0f;
  e.type = render::kEmitFountain;
  in.particles->Update(0.05f, e, random);
}

void SetSpotlight(Device* d, const Matrix& view, float x) {
  D3DLIGHT8 l{};
  l.Type = D3DLIGHT_SPOT;
  l.Ambient = {10, 10, 10, 0};
  l.Range = 1000.0f;
  l.Attenuation0 = 1.0f;
  l.Theta = 0.0327f;
  l.Phi = 0.0490874f;
  const Vec3 origin = Vec3TransformCoord(Vec3(0.0f), view);
  const Vec3 target = Vec3TransformCoord(Vec3(x, 33.0f, 100.0f), view);
  const Vec3 dir = Vec3Normalize(target - origin);
  l.Position = {origin.x, origin.y, origin.z};
  l.Direction = {dir.x, dir.y, dir.z};
  d->SetLight(1, &l);
  d->LightEnable(1, TRUE);
}

bool EnterHeld(const IntroInputs& in, input::DIMOUSESTATE* mouse) {
  std::uint8_t keys[256] = {};
  if (in.keyboard) {
    in.keyboard->Acquire();
    in.keyboard->GetDeviceState(sizeof keys, keys);
  }
  if (in.mouse && mouse) {
    in.mouse->Acquire();
    in.mouse->GetDeviceState(sizeof *mouse, mouse);
  }
  return (keys[kEnter] & 0x80) != 0;
}

int RunIntro(const IntroInputs& in, GameRandom& random) {
  Device* d = in.device;
  if (!d) return 0;
  BeginPresentationStates(in);
  const Matrix billboard = MatrixOrientation(0, 3.14159265f, 0, 0.5f, 0.5f, 0.5f);
  IntroState s;
  render::Camera cam;
  Vec3 eye(0, 20, 0);
  int frames = 0;
  FramePacer pacer(in.paceFrames && !in.nonInteractive);
  while (!in.multiplayer) {
    pacer.Wait();
    if (in.exitRequested && *in.exitRequested) return frames;
    if (in.gameRunning && !*in.gameRunning) {
      if (in.waitWhileInactive) {
        in.waitWhileInactive();
      } else {
        std::this_thread::yield();
      }
      continue;
    }
    input::DIMOUSESTATE mouse{};
    const bool enter = EnterHeld(in, &mouse);
    if (!DeviceReadyForFrame(in)) continue;
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
    if (enter || (in.nonInteractive && s.phase == 2)) break;
    ++frames;
    if (s.Advance()) {
      if (in.playSound) in.playSound(kSoundThunder);
      d->LightEnable(5, TRUE);
    }
    if (static_cast<int>(random.random(0, 1000)) < 2 && in.playSound) in.playSound(kSoundAmbientA);
    d->BeginScene();
    render::SetCamera(cam, eye, Vec3(0, 20, 100));
    if (in.setupLights) in.setupLights();
    d->SetRenderState(D3DRS_AMBIENT, 0xffffffff);
    if (s.phase == 2) {
      s.spotX = SweepSpot(s.spotX);
      SetSpotlight(d, cam.view, s.spotX);
      FeedBloodFountain(in, random);
      d->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
      d->SetStreamSource(0, in.quad, 24);
      d->SetTexture(0, in.bloodTexture);
      render::DrawQuadAt(d, cam, Vec3(0, 10, 0), MatrixIdentity());
      if (in.particles) in.particles->Draw(d, cam, billboard);
    }
    d->SetRenderState(D3DRS_AMBIENT, 0xff000000);
    if (in.logo) {
      render::SetObjectWorld(d, cam, Vec3(s.rotation, 0, 0), Vec3(0, s.y, s.z), Vec3(0.25f));
      render::DrawOpaque(d, *in.logo);
    }
    if (s.phase == 2) DrawCentredText(in, "Press Enter to Begin Battle!", 20, RandomColour(random));
    d->EndScene();
    d->Present(nullptr, nullptr, nullptr, nullptr);
    TurnEye(eye, mouse);
  }
  d->Present(nullptr, nullptr, nullptr, nullptr);
  EndPresentationStates(in);
  return frames;
}

}  // namespace halvex::screens
