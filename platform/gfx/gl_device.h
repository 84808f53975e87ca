// The OpenGL 3.3 core backend. Targets are offscreen framebuffers stored top
// row first; Present blits the back buffer into the window (letterboxed into
// the drawable) and keeps a copy as the front buffer for screenshots.
//
// An application that gives up the front buffer (kPresentFlagNoFrontBuffer)
// gets its back buffer and automatic depth surface drawn straight into the
// window's own framebuffer, bottom row first, when the window matches them:
// Present then only swaps. On a software rasteriser the blit costs as much as
// a full-screen layer of the scene. Anything the window cannot hold (another
// size, another pairing of the two surfaces) moves them offscreen for good.
// Internal to platform/gfx.
#pragma once

#include <array>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/gfx/device_base.h"
#include "platform/gfx/gl_shaders.h"

namespace halvex::gfx {

// The states a program's uniforms were last set from, group by group, so a
// draw sends only the groups whose states changed since that program's last
// draw.
struct GlUniformInputs {
  std::array<D3DMATRIX, 3> transforms{};  // world, view, projection
  D3DVIEWPORT8 viewport{};
  D3DMATERIAL8 material{};
  DWORD ambient = 0;
  // Lights are sent in camera space: the view is one of their inputs. Only
  // the enabled lights are kept current.
  std::array<BOOL, kMaxLights> lightEnabled{};
  std::array<D3DLIGHT8, kMaxLights> lights{};
  D3DMATRIX lightView{};
  std::array<DWORD, 3> fog{};        // start, end, density
  std::array<DWORD, 3> constants{};  // fog colour, texture factor, alpha reference
  float yFlip = 0.0f;                // -1 offscreen (top row first), 1 in the window
};

struct GlProgram {
  unsigned program = 0;
  bool failed = false;  // did not compile or link: draws with it are refused
  int loc[64] = {};
  GlUniformInputs sent;
  bool fresh = true;  // nothing sent yet
};

// The sampler states a stage's GL sampler was last set from; the first
// comparison never matches.
struct GlSamplerKey {
  DWORD addressU = ~0u, addressV = ~0u, border = ~0u, mag = ~0u, min = ~0u, mip = ~0u, maxMip = ~0u,
        lodBias = ~0u;
  bool operator==(const GlSamplerKey&) const = default;
};

// The GL state the backend last sent, so unchanged states are skipped.
struct GlCache {
  DWORD renderStates[kMaxRenderState];
  unsigned program = ~0u;
  unsigned arrayBuffer = ~0u, elementBuffer = ~0u;
  unsigned framebuffer = ~0u;
  unsigned textures[kMaxTextureStages] = {~0u, ~0u};
  GlSamplerKey samplers[kMaxTextureStages];
  DWORD attribFvf = ~0u, attribStride = ~0u;
  unsigned attribBuffer = ~0u;
  D3DVIEWPORT8 viewport{~0u, ~0u, ~0u, ~0u, -1.0f, -1.0f};
  bool valid = false;
};

struct GlFramebuffer {
  unsigned name = 0;
  bool complete = false;  // GL's verdict when it was made; its attachments never change
};

// Drops errors earlier calls left pending, so that TakeGlError answers for
// the calls made after it only.
void ClearGlErrors();
// "GL error 0x..." for the oldest pending error, or empty when none is.
std::string TakeGlError();

// Where a back buffer of srcW x srcH goes in a window of dstW x dstH: as
// large as fits without changing its shape, centred, the rest left black.
// A window of the back buffer's size takes it whole.
struct PresentRect {
  int x, y, width, height;
  bool operator==(const PresentRect&) const = default;
};
PresentRect LetterboxRect(int srcW, int srcH, int dstW, int dstH);

class GlDevice final : public DeviceBase {
 public:
  // Makes a context on window (current on the calling thread). ok() tells
  // whether that worked.
  GlDevice(SDL_Window* window, const D3DPRESENT_PARAMETERS& params, DWORD behaviour);
  ~GlDevice() override;
  // Whether the context and a back buffer GL can draw into were made.
  bool ok() const { return context_ != nullptr && backBufferOk_; }
  bool hasContext() const { return context_ != nullptr; }
  const std::string& renderer() const { return renderer_; }

  HRESULT BackendReadBack(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) override;
  HRESULT BackendReadStencil(std::vector<BYTE>* values, UINT* width, UINT* height) override;
  HRESULT BackendReadFront(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) override;
  void BackendForget(ResourceLink* link) override;
  void BackendTextureChanged(TextureImpl* texture) override;
  bool BackendBackBufferInWindow() const override { return windowBacked_; }
  bool BackendRestoreTexture(TextureImpl* texture) override;
  std::uint64_t BackendDrawsOutsideView() const override { return drawsOutsideView_; }

 protected:
  void BackendClear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  HRESULT BackendDraw(const DrawRequest& request) override;
  void BackendPresent() override;
  HRESULT BackendReset(const D3DPRESENT_PARAMETERS& params) override;
  void BackendSetTarget() override;
  HRESULT BackendCanTarget(SurfaceImpl* target, SurfaceImpl* depth) override;
  UINT BackendMaxTextureSize() override { return maxTextureSize_; }

 private:
  // gl_device.cpp
  void ApplyFixedState();
  void ApplyViewport();
  // GL's y of a rectangle that D3D gives from the target's top.
  int GlY(DWORD y, DWORD height) const;
  // Blits the offscreen back buffer into the window (and to the front copy).
  void ShowBackBuffer(int drawableWidth, int drawableHeight);
  // Prints a failure once: the same line again (the same object failing each
  // frame) stays quiet.
  void Report(const std::string& line);
  GlProgram& ProgramFor(const DeviceState& state);
  void UploadUniforms(GlProgram& p, const DeviceState& state);
  void BindVertices(const DrawRequest& r);
  // Whether the draw's triangles all lie outside the view volume (see
  // view_culling.h), so that drawing them would show nothing.
  bool OutsideView(const DrawRequest& r);
  bool BindTextures();  // false when a bound texture could not be uploaded

  // gl_targets.cpp
  bool CreateBackBuffer();  // false (and reported) when GL cannot draw into it
  void DestroyBackBuffer();
  // The framebuffer of a colour and depth pair, or 0 when GL finds it
  // incomplete (reported when first made).
  unsigned FramebufferFor(SurfaceImpl* target, SurfaceImpl* depth);
  unsigned ColorNameOf(SurfaceImpl* target);
  unsigned DepthNameOf(SurfaceImpl* depth);
  bool BindTarget();
  // Whether the back buffer may live in the window now: asked for, and the
  // window's size and buffers match it and the automatic depth surface.
  bool WindowCanHoldBackBuffer();
  // Whether the current target and depth pair is the window's framebuffer.
  // A pair that includes one of the two but not both moves them offscreen.
  bool TargetInWindow();
  void LeaveWindow();  // copies both offscreen; later frames draw there
  // fbo 0 reads the window's back buffer, whose rows are bottom first.
  HRESULT ReadFramebuffer(unsigned fbo, UINT w, UINT h, std::vector<D3DCOLOR>* pixels, const char* what);

  // gl_textures.cpp
  void UploadTexture(TextureImpl* texture);  // a refusal is reported and kept in link.glFailed
  void UploadBuffer(ResourceLink& link, const std::vector<BYTE>& bytes, unsigned target);
  void ApplySampler(DWORD stage, TextureImpl* texture);

  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  std::string renderer_;
  std::set<std::string> reported_;
  UINT maxTextureSize_ = 2048;
  bool hasS3tc_ = false;

  GlCache cache_;
  std::map<std::string, GlProgram> programs_;
  static constexpr long kStreamBytes = 64 << 10;
  unsigned vao_ = 0, streamVbo_ = 0, streamIbo_ = 0;
  long streamOffset_ = 0;      // next free byte of the stream ring
  unsigned streamBase_ = 0;    // first vertex of the last stream draw
  unsigned whiteTexture_ = 0;
  unsigned samplers_[kMaxTextureStages] = {};

  unsigned backColor_ = 0, backFbo_ = 0;  // the back buffer, unless it is in the window
  bool windowBacked_ = false;               // the back buffer is the window's framebuffer
  bool keepOffscreen_ = false;              // debug switch: never in the window
  bool drawEverything_ = false;             // debug switch: no skipping of draws outside the view
  std::uint64_t drawsOutsideView_ = 0;
  bool windowDepthMatches_ = false;         // the window's depth bits are the surface's own
  bool targetInWindow_ = false;             // the bound framebuffer is the window's
  unsigned frontColor_ = 0, frontFbo_ = 0;
  bool backBufferOk_ = false;
  // (colour texture * 16 + level, depth renderbuffer)
  std::map<std::pair<unsigned, unsigned>, GlFramebuffer> fbos_;
};

}  // namespace halvex::gfx
