#include "screens/closing/closing.h"

#include <algorithm>
#include <thread>

#include "render/scene/draw_helpers.h"

namespace halvex::screens {

using namespace gfx;

const std::array<Credit, kCredits> kCreditList = {{
    {"Producer", "The Halvex team"},
    {"Director", "The Halvex team"},
    {"Game Design", "The Halvex designers"},
    {"Program Code", "The Halvex programmers"},
    {"Varn3DB Engine", "The engine crew"},
    {"Graphics/3D Modeling", "The Halvex artists"},
    {"Texture Graphics", "Our procedural texture tools"},
    {"Sound Effects", "Our synthesiser patches"},
    {"Debug and Quality Assurance", "Every bot that fell in the sea"},
    {"Special Thanks", "Everyone who played"},
    {"Executive Producer", "Varnholt"},
    {"", "See you in the arena"},
}};

bool ClosingState::Advance() {
  spotX = SweepSpot(spotX);
  // t shows 0..30 (31 frames), then holds at 30 while the hold counter runs
  // to 151.
  ++frame;
  grow = std::min(frame, kCreditGrowFrames);
  hold = std::max(0, frame - kCreditGrowFrames - 1);
  if (frame >= kCreditGrowFrames + 1 + kCreditHoldFrames + 1) {
    frame = grow = hold = 0;
    if (++credit >= kCredits) return false;
  }
  return true;
}

namespace {


void DrawCredit(const IntroInputs& in, const render::Camera& cam, const ClosingState& s) {
  if (!in.font || s.credit >= kCredits) return;
  Device* d = in.device;
  const float t = static_cast<float>(s.grow);
  const Credit& c = kCreditList[s.credit];
  d->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
  d->SetTexture(0, in.font->texture);
  auto line = [&](const char* text, float y, const D3DMATERIAL8& m) {
    if (!*text) return;
    d->SetMaterial(&m);
    render::SetObjectWorld(d, cam, Vec3(0.0f), Vec3(0, y, 100), Vec3(0.05f * t, 0.1f * t, 0.05f * t));
    in.font->DrawText3D(text, render::kTextCentered | render::kTextTwoSided);
  };
  line(c.heading, 20.0f, render::ColourMaterial(1, 0, 0, 1));
  line(c.names, 15.0f, render::ColourMaterial(1, 1, 1, 1));
}

}  // namespace

int RunClosing(const IntroInputs& in, GameRandom& random, const std::atomic<int>* gameRunning) {
  Device* d = in.device;
  if (!d || in.nonInteractive) return 0;
  for (DWORD i = 0; i < 12; ++i) d->LightEnable(i, FALSE);
  d->SetRenderState(D3DRS_LIGHTING, TRUE);
  d->SetRenderState(D3DRS_ZENABLE, TRUE);
  BeginPresentationStates(in);
  const Matrix billboard = MatrixOrientation(0, 3.14159265f, 0, 0.5f, 0.5f, 0.5f);
  ClosingState s;
  render::Camera cam;
  int frames = 0;
  FramePacer pacer(in.paceFrames);
  for (bool running = true; running;) {
    pacer.Wait();
    if (in.exitRequested && *in.exitRequested) return frames;
    if (gameRunning && !*gameRunning) {
      if (in.waitWhileInactive) {
        in.waitWhileInactive();
      } else {
        std::this_thread::yield();
      }
      continue;
    }
    const bool enter = EnterHeld(in, nullptr);
    if (!DeviceReadyForFrame(in)) continue;
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
    if (enter) break;
    ++frames;
    running = s.Advance();
    d->BeginScene();
    render::SetCamera(cam, Vec3(0, 20, 0), Vec3(0, 20, 100));
    if (in.setupLights) in.setupLights();
    SetSpotlight(d, cam.view, s.spotX);
    FeedBloodFountain(in, random);
    d->SetRenderState(D3DRS_AMBIENT, 0xffffffff);
    d->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    d->SetStreamSource(0, in.quad, 24);
    d->SetTexture(0, in.bloodTexture);
    render::DrawQuadAt(d, cam, Vec3(0, 10, 0), MatrixIdentity());
    if (in.particles) in.particles->Draw(d, cam, billboard);
    d->SetRenderState(D3DRS_AMBIENT, 0xff000000);
    if (in.logo) {
      render::SetObjectWorld(d, cam, Vec3(-1.5707964f, 0, 0), Vec3(0, 30, 100), Vec3(0.25f));
      render::DrawOpaque(d, *in.logo);
    }
    d->SetRenderState(D3DRS_AMBIENT, render::AmbientColour(in.sceneAmbient ? *in.sceneAmbient : render::AmbientLevels{0, 0, 0}, 80.0f));
    DrawCredit(in, cam, s);
    DrawCentredText(in, "Thank You For Playing Varnholt!", 40,
                0xff000000u | static_cast<D3DCOLOR>(random.random(64, 255)) << 16 |
                    static_cast<D3DCOLOR>(random.random(64, 255)) << 8 |
                    static_cast<D3DCOLOR>(random.random(64, 255)));
    DrawCentredText(in, "Press Enter to Return to Windows.", 20, 0xffffffff);
    d->EndScene();
    d->Present(nullptr, nullptr, nullptr, nullptr);
  }
  d->Present(nullptr, nullptr, nullptr, nullptr);
  return frames;
}

}  // namespace halvex::screens
