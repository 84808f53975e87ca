// Draw calls and state changes per second through the device layer, on the
// OpenGL backend (llvmpipe under Xvfb in CI) and on the recorder (the cost of
// the layer itself). Run: bench_gfx [--benchmark_filter=...]
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "platform/gfx/device.h"

namespace halvex::gfx {
namespace {

struct Vertex {
  float x, y, z, rhw;
  D3DCOLOR c;
};

struct Fixture {
  SDL_Window* window = nullptr;
  Direct3D* d3d = nullptr;
  Device* dev = nullptr;
  VertexBuffer* vb = nullptr;

  explicit Fixture(bool gl) {
    if (gl) {
      SDL_InitSubSystem(SDL_INIT_VIDEO);
      window = SDL_CreateWindow("bench", 0, 0, 256, 256, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    }
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = pp.BackBufferHeight = 256;
    pp.Windowed = TRUE;
    pp.hDeviceWindow = window;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0, &pp, &dev))) dev = nullptr;
    if (!dev) return;
    // 64 small quads, 4 vertices each, spread over the target.
    dev->CreateVertexBuffer(64 * 4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, D3DFVF_XYZRHW | D3DFVF_DIFFUSE,
                            D3DPOOL_MANAGED, &vb);
    BYTE* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    auto* v = reinterpret_cast<Vertex*>(data);
    for (int q = 0; q < 64; ++q) {
      float x = float(q % 8) * 32, y = float(q / 8) * 32;
      v[q * 4 + 0] = {x, y, 0.5f, 1, 0xFF808080u + q};
      v[q * 4 + 1] = {x + 8, y, 0.5f, 1, 0xFF808080u + q};
      v[q * 4 + 2] = {x, y + 8, 0.5f, 1, 0xFF808080u + q};
      v[q * 4 + 3] = {x + 8, y + 8, 0.5f, 1, 0xFF808080u + q};
    }
    vb->Unlock();
    dev->SetStreamSource(0, vb, sizeof(Vertex));
    dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    dev->SetTexture(0, nullptr);
  }
  ~Fixture() {
    if (dev) {
      dev->SetStreamSource(0, nullptr, 0);
      if (vb) vb->Release();
      dev->Release();
    }
    if (d3d) d3d->Release();
    if (window) SDL_DestroyWindow(window);
  }
  void Finish() {
    std::vector<D3DCOLOR> px;
    UINT w, h;
    ReadBackPixels(dev, &px, &w, &h);  // waits for the GL pipeline to drain
  }
};

void DrawCalls(benchmark::State& state) {
  Fixture f(state.range(0) != 0);
  if (!f.dev) {
    state.SkipWithError("no device");
    return;
  }
  int64_t draws = 0;
  for (auto _ : state) {
    for (int q = 0; q < 64; ++q) f.dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, q * 4, 2);
    draws += 64;
  }
  f.Finish();
  state.counters["draws_per_s"] = benchmark::Counter(double(draws), benchmark::Counter::kIsRate);
}

// Each draw follows a change of blend, alpha test and a texture-stage state,
// as the scene drawing switches between its state blocks.
void StateChangesAndDraws(benchmark::State& state) {
  Fixture f(state.range(0) != 0);
  if (!f.dev) {
    state.SkipWithError("no device");
    return;
  }
  int64_t changes = 0;
  int q = 0;
  for (auto _ : state) {
    DWORD odd = q & 1;
    f.dev->SetRenderState(D3DRS_ALPHABLENDENABLE, odd);
    f.dev->SetRenderState(D3DRS_SRCBLEND, odd ? D3DBLEND_ONE : D3DBLEND_SRCALPHA);
    f.dev->SetRenderState(D3DRS_ALPHATESTENABLE, odd);
    f.dev->SetTextureStageState(0, D3DTSS_COLOROP, odd ? D3DTOP_SELECTARG2 : D3DTOP_MODULATE);
    f.dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, (q % 64) * 4, 2);
    changes += 4;
    ++q;
  }
  f.Finish();
  state.counters["state_changes_per_s"] = benchmark::Counter(double(changes), benchmark::Counter::kIsRate);
  state.counters["draws_per_s"] = benchmark::Counter(double(q), benchmark::Counter::kIsRate);
}

// Each draw has its own world matrix under a few lights, as the scene draws
// its models: only the transforms change between draws.
void WorldMatrixAndDraws(benchmark::State& state) {
  Fixture f(state.range(0) != 0);
  if (!f.dev) {
    state.SkipWithError("no device");
    return;
  }
  for (DWORD i = 0; i < 4; ++i) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1, 1, 1, 1};
    light.Position = {float(i), 10, 0};
    light.Range = 100;
    light.Attenuation0 = 1;
    f.dev->SetLight(i, &light);
    f.dev->LightEnable(i, TRUE);
  }
  int64_t q = 0;
  for (auto _ : state) {
    D3DMATRIX world{};
    for (int i = 0; i < 4; ++i) world.m[i][i] = 1;
    world.m[3][0] = float(q % 64);
    f.dev->SetTransform(D3DTS_WORLD, &world);
    f.dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, (q % 64) * 4, 2);
    ++q;
  }
  f.Finish();
  state.counters["draws_per_s"] = benchmark::Counter(double(q), benchmark::Counter::kIsRate);
}

BENCHMARK(DrawCalls)->Arg(0)->Arg(1)->ArgName("gl")->UseRealTime();
BENCHMARK(WorldMatrixAndDraws)->Arg(0)->Arg(1)->ArgName("gl")->UseRealTime();
BENCHMARK(StateChangesAndDraws)->Arg(0)->Arg(1)->ArgName("gl")->UseRealTime();

}  // namespace
}  // namespace halvex::gfx

BENCHMARK_MAIN();
