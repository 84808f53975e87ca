// OpenGL backend: context, state translation at draw time, programs, drawing.
#include "platform/gfx/gl_device.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace halvex::gfx {

namespace {

enum Uniform {
  kWV, kProj, kNormalMat, kViewport, kMatDiffuse, kMatAmbient, kMatSpecular, kMatEmissive, kMatPower,
  kAmbient, kLightCount, kLType, kLDiffuse, kLSpecular, kLAmbient, kLPos, kLDir, kLAtt, kLSpot,
  kLRange, kFog, kFogColor, kTFactor, kAlphaRef, kTex0, kTex1, kYFlip, kUniformCount
};
const char* kUniformNames[kUniformCount] = {
    "uWV", "uProj", "uNormalMat", "uViewport", "uMatDiffuse", "uMatAmbient", "uMatSpecular",
    "uMatEmissive", "uMatPower", "uAmbient", "uLightCount", "uLType", "uLDiffuse", "uLSpecular",
    "uLAmbient", "uLPos", "uLDir", "uLAtt", "uLSpot", "uLRange", "uFog", "uFogColor", "uTFactor",
    "uAlphaRef", "uTex0", "uTex1", "uYFlip"};

GLenum CompareFunc(DWORD f) {
  static const GLenum kMap[] = {GL_NEVER, GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER,
                                GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
  return f >= 1 && f <= 8 ? kMap[f] : GL_ALWAYS;
}

GLenum StencilOp(DWORD op) {
  static const GLenum kMap[] = {GL_KEEP, GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR,
                                GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
  return op >= 1 && op <= 8 ? kMap[op] : GL_KEEP;
}

GLenum BlendFactor(DWORD b) {
  static const GLenum kMap[] = {GL_ONE, GL_ZERO, GL_ONE, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA,
                                GL_ONE_MINUS_DST_ALPHA, GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR,
                                GL_SRC_ALPHA_SATURATE};
  return b >= 1 && b <= 11 ? kMap[b] : GL_ONE;
}

GLenum BlendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE t) {
  switch (t) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

void SetEnabled(GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); }

void ColorToFloats(D3DCOLOR c, float out[4]) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  out[3] = (c >> 24) / 255.0f;
}

// Row-vector product a * b of two D3D matrices.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
  return r;
}

// (M^-1)^T of the upper 3x3, kept in D3D row layout.
void NormalMatrix(const D3DMATRIX& m, float out[9]) {
  const float(*a)[4] = m.m;
  float c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1], c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2],
        c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
  float det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
  float inv = std::fabs(det) > 1e-20f ? 1.0f / det : 0.0f;
  // The cofactor matrix divided by det is exactly (M^-1)^T.
  out[0] = c00 * inv;
  out[1] = c01 * inv;
  out[2] = c02 * inv;
  out[3] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * inv;
  out[4] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * inv;
  out[5] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * inv;
  out[6] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * inv;
  out[7] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * inv;
  out[8] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * inv;
}

D3DVECTOR TransformPoint(const D3DVECTOR& v, const D3DMATRIX& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]};
}

D3DVECTOR TransformNormalized(const D3DVECTOR& v, const D3DMATRIX& m, float sign) {
  D3DVECTOR r{v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
              v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
              v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
  float len = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
  float s = len > 0 ? sign / len : 0.0f;
  return {r.x * s, r.y * s, r.z * s};
}

// A driver's info log, folded onto one line for the report.
std::string OneLine(const char* log) {
  std::string s;
  for (const char* c = log; *c; ++c) s += *c == '\n' || *c == '\r' ? ' ' : *c;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s.empty() ? "no log" : s;
}

// The shader, or 0 with why in error.
unsigned Compile(GLenum kind, const std::string& source, std::string* error) {
  unsigned shader = glCreateShader(kind);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  char log[1024] = {};
  glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  *error = std::string(kind == GL_VERTEX_SHADER ? "vertex" : "fragment") + " shader does not compile: " + OneLine(log);
  glDeleteShader(shader);
  return 0;
}

}  // namespace

void ClearGlErrors() {
  // Each call takes one recorded error; a few are all a driver keeps.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

std::string TakeGlError() {
  GLenum error = glGetError();
  if (error == GL_NO_ERROR) return {};
  char text[32];
  std::snprintf(text, sizeof text, "GL error %#x", error);
  return text;
}

void GlDevice::Report(const std::string& line) {
  if (reported_.insert(line).second) std::fprintf(stderr, "gfx: %s\n", line.c_str());
}

// Full screen waits for the display at interval one; a window only when it
// asks for a vsynced copy.
static bool WaitsForDisplay(const D3DPRESENT_PARAMETERS& params) {
  if (params.Windowed) return params.SwapEffect == D3DSWAPEFFECT_COPY_VSYNC;
  return params.FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_ONE;
}

GlDevice::GlDevice(SDL_Window* window, const D3DPRESENT_PARAMETERS& params, DWORD behaviour)
    : DeviceBase(params, behaviour), window_(window) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  context_ = SDL_GL_CreateContext(window);
  if (!context_) return;
  SDL_GL_MakeCurrent(window, context_);
  SDL_GL_SetSwapInterval(WaitsForDisplay(params));
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  renderer_ = renderer ? renderer : "OpenGL";
  GLint max = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
  maxTextureSize_ = static_cast<UINT>(max > 0 ? max : 2048);
  hasS3tc_ = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
  // Debug switch: send every state before each draw, to check the cache.
  const char* noCache = std::getenv("HALVEX_GL_NO_STATE_CACHE");
  bypassCache = noCache && *noCache && *noCache != '0';
  // Debug switch: keep the back buffer offscreen, to compare the two ways.
  const char* offscreen = std::getenv("HALVEX_GL_OFFSCREEN_BACK_BUFFER");
  keepOffscreen_ = offscreen && *offscreen && *offscreen != '0';
  // Debug switch: draw even what lies wholly outside the view volume.
  const char* everything = std::getenv("HALVEX_GL_NO_VIEW_CULLING");
  drawEverything_ = everything && *everything && *everything != '0';

  glGenVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  glGenBuffers(1, &streamVbo_);
  glBindBuffer(GL_ARRAY_BUFFER, streamVbo_);
  glBufferData(GL_ARRAY_BUFFER, kStreamBytes, nullptr, GL_STREAM_DRAW);
  glGenBuffers(1, &streamIbo_);
  glGenSamplers(kMaxTextureStages, samplers_);
  for (DWORD s = 0; s < kMaxTextureStages; ++s) glBindSampler(s, samplers_[s]);
  glGenTextures(1, &whiteTexture_);
  glBindTexture(GL_TEXTURE_2D, whiteTexture_);
  const std::uint32_t white = 0xFFFFFFFFu;
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat shading takes the first vertex, as D3D
  backBufferOk_ = CreateBackBuffer();
  windowBacked_ = backBufferOk_ && WindowCanHoldBackBuffer();
  CreateImplicitSurfaces();
}

GlDevice::~GlDevice() {
  if (!context_) return;
  SDL_GL_MakeCurrent(window_, context_);
  ReleaseImplicitSurfaces();
  // Textures the game still holds outlive their GL copies: bring back the
  // pixels that live there only, so a later lock still finds them.
  for (ResourceLink* link : resources_)
    if (link->texture) BackendRestoreTexture(link->texture);
  for (ResourceLink* link : resources_) BackendForget(link);
  for (auto& [key, p] : programs_) glDeleteProgram(p.program);
  for (auto& [key, fbo] : fbos_) glDeleteFramebuffers(1, &fbo.name);
  DestroyBackBuffer();
  glDeleteSamplers(kMaxTextureStages, samplers_);
  glDeleteTextures(1, &whiteTexture_);
  glDeleteBuffers(1, &streamVbo_);
  glDeleteBuffers(1, &streamIbo_);
  glDeleteVertexArrays(1, &vao_);
  SDL_GL_DeleteContext(context_);
}

HRESULT GlDevice::BackendReset(const D3DPRESENT_PARAMETERS& params) {
  DestroyBackBuffer();
  const D3DPRESENT_PARAMETERS old = params_;
  params_ = params;  // the back buffer takes the new size
  if (!CreateBackBuffer()) {
    // Keep the size that worked, so the device stays whole for the next try.
    DestroyBackBuffer();
    params_ = old;
    backBufferOk_ = CreateBackBuffer();
    windowBacked_ = backBufferOk_ && WindowCanHoldBackBuffer();
    cache_.valid = false;
    return D3DERR_INVALIDCALL;
  }
  windowBacked_ = WindowCanHoldBackBuffer();
  SDL_GL_SetSwapInterval(WaitsForDisplay(params));
  cache_.valid = false;
  return S_OK;
}

void GlDevice::BackendClear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  if (!BindTarget()) return;  // reported when the framebuffer was made
  ApplyViewport();
  // Clears obey the scissor-free viewport and the write masks, as on D3D.
  glDisable(GL_SCISSOR_TEST);
  const auto& v = state().viewport;
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(v.X), GlY(v.Y, v.Height), static_cast<GLsizei>(v.Width),
            static_cast<GLsizei>(v.Height));
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    float c[4];
    ColorToFloats(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if ((flags & D3DCLEAR_ZBUFFER) && currentDepth()) {
    glClearDepth(z);
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if ((flags & D3DCLEAR_STENCIL) && currentDepth()) {
    glClearStencil(static_cast<GLint>(stencil));
    glStencilMask(0xFFFFFFFFu);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  if (mask) glClear(mask);
  glDisable(GL_SCISSOR_TEST);
  cache_.valid = false;  // write masks were changed behind the cache
}

int GlDevice::GlY(DWORD y, DWORD height) const {
  if (!targetInWindow_) return static_cast<int>(y);  // top row first: D3D's y is GL's
  return static_cast<int>(params_.BackBufferHeight) - static_cast<int>(y) - static_cast<int>(height);
}

void GlDevice::ApplyViewport() {
  const auto& v = state().viewport;
  if (cache_.valid && !bypassCache && std::memcmp(&v, &cache_.viewport, sizeof v) == 0) return;
  glViewport(static_cast<GLint>(v.X), GlY(v.Y, v.Height), static_cast<GLsizei>(v.Width),
             static_cast<GLsizei>(v.Height));
  glDepthRange(v.MinZ, v.MaxZ);
  cache_.viewport = v;
}

// Sends the render states that map onto GL's own fixed state.
void GlDevice::ApplyFixedState() {
  const auto& rs = state().renderStates;
  auto changed = [&](std::initializer_list<D3DRENDERSTATETYPE> list) {
    if (!cache_.valid || bypassCache) return true;
    for (auto s : list)
      if (cache_.renderStates[s] != rs[s]) return true;
    return false;
  };
  if (changed({D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_ZFUNC})) {
    bool depth = rs[D3DRS_ZENABLE] != D3DZB_FALSE && currentDepth();
    SetEnabled(GL_DEPTH_TEST, depth);
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
  }
  if (changed({D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_BLENDOP})) {
    SetEnabled(GL_BLEND, rs[D3DRS_ALPHABLENDENABLE] != 0);
    GLenum src = BlendFactor(rs[D3DRS_SRCBLEND]), dst = BlendFactor(rs[D3DRS_DESTBLEND]);
    if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) {
      src = GL_SRC_ALPHA;
      dst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) {
      src = GL_ONE_MINUS_SRC_ALPHA;
      dst = GL_SRC_ALPHA;
    }
    glBlendFunc(src, dst);
    glBlendEquation(BlendEquation(rs[D3DRS_BLENDOP]));
  }
  if (changed({D3DRS_STENCILENABLE, D3DRS_STENCILFUNC, D3DRS_STENCILREF, D3DRS_STENCILMASK,
               D3DRS_STENCILWRITEMASK, D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL, D3DRS_STENCILPASS})) {
    SetEnabled(GL_STENCIL_TEST, rs[D3DRS_STENCILENABLE] != 0);
    glStencilFunc(CompareFunc(rs[D3DRS_STENCILFUNC]), static_cast<GLint>(rs[D3DRS_STENCILREF]),
                  rs[D3DRS_STENCILMASK]);
    glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
    glStencilOp(StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]),
                StencilOp(rs[D3DRS_STENCILPASS]));
  }
  if (changed({D3DRS_CULLMODE})) {
    // D3D front faces are clockwise on screen; offscreen targets are drawn
    // upside down in GL's eyes, which turns clockwise into counter-clockwise.
    DWORD cull = rs[D3DRS_CULLMODE];
    SetEnabled(GL_CULL_FACE, cull != D3DCULL_NONE);
    glFrontFace(targetInWindow_ ? GL_CW : GL_CCW);
    glCullFace(cull == D3DCULL_CW ? GL_FRONT : GL_BACK);
  }
  if (changed({D3DRS_FILLMODE})) {
    DWORD fill = rs[D3DRS_FILLMODE];
    glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
  }
  if (changed({D3DRS_COLORWRITEENABLE})) {
    DWORD m = rs[D3DRS_COLORWRITEENABLE];
    glColorMask((m & 1) != 0, (m & 2) != 0, (m & 4) != 0, (m & 8) != 0);
  }
  if (changed({D3DRS_DITHERENABLE})) SetEnabled(GL_DITHER, rs[D3DRS_DITHERENABLE] != 0);
  std::memcpy(cache_.renderStates, rs.data(), sizeof cache_.renderStates);
  ApplyViewport();
  cache_.valid = true;
}

GlProgram& GlDevice::ProgramFor(const DeviceState& state) {
  ShaderKey key = ShaderKey::From(state);
  auto [it, inserted] = programs_.try_emplace(key.Bytes());
  GlProgram& p = it->second;
  if (inserted) {
    std::string error;
    unsigned vs = Compile(GL_VERTEX_SHADER, VertexShaderSource(key), &error);
    unsigned fs = vs ? Compile(GL_FRAGMENT_SHADER, FragmentShaderSource(key), &error) : 0;
    if (vs && fs) {
      p.program = glCreateProgram();
      glAttachShader(p.program, vs);
      glAttachShader(p.program, fs);
      glLinkProgram(p.program);
      GLint linked = 0;
      glGetProgramiv(p.program, GL_LINK_STATUS, &linked);
      if (!linked) {
        char log[1024] = {};
        glGetProgramInfoLog(p.program, sizeof log, nullptr, log);
        error = "program does not link: " + OneLine(log);
        glDeleteProgram(p.program);
        p.program = 0;
      }
    }
    glDeleteShader(vs);
    glDeleteShader(fs);
    if (!error.empty()) {
      // Kept as failed: the same states draw nothing without asking GL again.
      p.failed = true;
      Report(error + " (" + key.Describe() + ")");
      return p;
    }
    for (int i = 0; i < kUniformCount; ++i) p.loc[i] = glGetUniformLocation(p.program, kUniformNames[i]);
    glUseProgram(p.program);
    glUniform1i(p.loc[kTex0], 0);
    glUniform1i(p.loc[kTex1], 1);
    cache_.program = p.program;
  }
  return p;
}

namespace {

// Keeps now as kept and answers whether they differed, bit for bit as GL
// would receive them; always true when every group is due.
template <class T>
bool Changed(bool all, T& kept, const T& now) {
  if (!all && std::memcmp(&kept, &now, sizeof(T)) == 0) return false;
  kept = now;
  return true;
}

}  // namespace

void GlDevice::UploadUniforms(GlProgram& p, const DeviceState& s) {
  const bool all = p.fresh || bypassCache;
  p.fresh = false;
  GlUniformInputs& sent = p.sent;
  const auto& rs = s.renderStates;
  const D3DMATRIX& view = s.transforms[1];
  float c[4];

  if (Changed(all, sent.transforms, {s.transforms[0], s.transforms[1], s.transforms[2]})) {
    D3DMATRIX wv = Multiply(s.transforms[0], view);
    glUniformMatrix4fv(p.loc[kWV], 1, GL_FALSE, &wv.m[0][0]);
    glUniformMatrix4fv(p.loc[kProj], 1, GL_FALSE, &s.transforms[2].m[0][0]);
    float nm[9];
    NormalMatrix(wv, nm);
    glUniformMatrix3fv(p.loc[kNormalMat], 1, GL_FALSE, nm);
  }
  if (Changed(all, sent.yFlip, targetInWindow_ ? 1.0f : -1.0f)) glUniform1f(p.loc[kYFlip], sent.yFlip);
  if (Changed(all, sent.viewport, s.viewport))
    glUniform4f(p.loc[kViewport], float(s.viewport.X), float(s.viewport.Y), float(s.viewport.Width),
                float(s.viewport.Height));
  if (Changed(all, sent.material, s.material)) {
    glUniform4fv(p.loc[kMatDiffuse], 1, &s.material.Diffuse.r);
    glUniform4fv(p.loc[kMatAmbient], 1, &s.material.Ambient.r);
    glUniform4fv(p.loc[kMatSpecular], 1, &s.material.Specular.r);
    glUniform4fv(p.loc[kMatEmissive], 1, &s.material.Emissive.r);
    glUniform1f(p.loc[kMatPower], s.material.Power);
  }
  if (Changed(all, sent.ambient, rs[D3DRS_AMBIENT])) {
    ColorToFloats(rs[D3DRS_AMBIENT], c);
    glUniform4fv(p.loc[kAmbient], 1, c);
  }

  // A program without lighting has no light uniforms to keep current.
  bool lightsDue = all || sent.lightEnabled != s.lightEnabled;
  if (p.loc[kLightCount] >= 0 && !lightsDue) {
    for (DWORD i = 0; i < kMaxLights && !lightsDue; ++i)
      lightsDue = s.lightEnabled[i] &&
                  (std::memcmp(&sent.lights[i], &s.lights[i], sizeof s.lights[i]) != 0 ||
                   std::memcmp(&sent.lightView, &view, sizeof view) != 0);
  }
  if (p.loc[kLightCount] >= 0 && lightsDue) {
    sent.lightEnabled = s.lightEnabled;
    sent.lightView = view;
    // Enabled lights, turned into camera space once per change.
    int types[kMaxLights];
    float diffuse[kMaxLights][4], specular[kMaxLights][4], ambient[kMaxLights][4];
    float pos[kMaxLights][3], dir[kMaxLights][3], att[kMaxLights][3], spot[kMaxLights][3], range[kMaxLights];
    int n = 0;
    for (DWORD i = 0; i < kMaxLights; ++i) {
      if (!s.lightEnabled[i]) continue;
      const D3DLIGHT8& l = s.lights[i];
      sent.lights[i] = l;
      types[n] = static_cast<int>(l.Type);
      std::memcpy(diffuse[n], &l.Diffuse, 16);
      std::memcpy(specular[n], &l.Specular, 16);
      std::memcpy(ambient[n], &l.Ambient, 16);
      D3DVECTOR p3 = TransformPoint(l.Position, view);
      D3DVECTOR d3 = TransformNormalized(l.Direction, view, -1.0f);  // toward the light
      std::memcpy(pos[n], &p3, 12);
      std::memcpy(dir[n], &d3, 12);
      att[n][0] = l.Attenuation0;
      att[n][1] = l.Attenuation1;
      att[n][2] = l.Attenuation2;
      spot[n][0] = std::cos(l.Theta / 2);
      spot[n][1] = std::cos(l.Phi / 2);
      spot[n][2] = l.Falloff;
      range[n] = l.Range;
      ++n;
    }
    glUniform1i(p.loc[kLightCount], n);
    if (n > 0) {
      glUniform1iv(p.loc[kLType], n, types);
      glUniform4fv(p.loc[kLDiffuse], n, &diffuse[0][0]);
      glUniform4fv(p.loc[kLSpecular], n, &specular[0][0]);
      glUniform4fv(p.loc[kLAmbient], n, &ambient[0][0]);
      glUniform3fv(p.loc[kLPos], n, &pos[0][0]);
      glUniform3fv(p.loc[kLDir], n, &dir[0][0]);
      glUniform3fv(p.loc[kLAtt], n, &att[0][0]);
      glUniform3fv(p.loc[kLSpot], n, &spot[0][0]);
      glUniform1fv(p.loc[kLRange], n, range);
    }
  }

  if (Changed(all, sent.fog, {rs[D3DRS_FOGSTART], rs[D3DRS_FOGEND], rs[D3DRS_FOGDENSITY]}))
    glUniform3f(p.loc[kFog], DwordToFloat(rs[D3DRS_FOGSTART]), DwordToFloat(rs[D3DRS_FOGEND]),
                DwordToFloat(rs[D3DRS_FOGDENSITY]));
  if (Changed(all, sent.constants, {rs[D3DRS_FOGCOLOR], rs[D3DRS_TEXTUREFACTOR], rs[D3DRS_ALPHAREF]})) {
    ColorToFloats(rs[D3DRS_FOGCOLOR], c);
    glUniform3fv(p.loc[kFogColor], 1, c);
    ColorToFloats(rs[D3DRS_TEXTUREFACTOR], c);
    glUniform4fv(p.loc[kTFactor], 1, c);
    glUniform1f(p.loc[kAlphaRef], static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF));
  }
}

void GlDevice::BindVertices(const DrawRequest& r) {
  if (r.vertexBuffer) {
    if (r.vertexBuffer->link.dirty || !r.vertexBuffer->link.glName)
      UploadBuffer(r.vertexBuffer->link, r.vertexBuffer->bytes, GL_ARRAY_BUFFER);
    glBindBuffer(GL_ARRAY_BUFFER, r.vertexBuffer->link.glName);
    cache_.arrayBuffer = r.vertexBuffer->link.glName;
    // attributes start at the buffer's first vertex
  } else {
    // Vertices from memory go into a ring: appended without waiting for
    // draws still reading earlier parts, orphaned only when it wraps.
    GLsizeiptr bytes = GLsizeiptr(r.vertexCount) * r.stride;
    glBindBuffer(GL_ARRAY_BUFFER, streamVbo_);
    cache_.arrayBuffer = streamVbo_;
    if (bytes > kStreamBytes) {
      glBufferData(GL_ARRAY_BUFFER, bytes, r.vertices, GL_STREAM_DRAW);
      streamOffset_ = kStreamBytes;  // the next small draw starts a fresh ring
      streamBase_ = 0;
    } else {
      GLsizeiptr offset = (streamOffset_ + r.stride - 1) / r.stride * r.stride;
      GLbitfield access = GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT;
      if (offset + bytes > kStreamBytes) {
        glBufferData(GL_ARRAY_BUFFER, kStreamBytes, nullptr, GL_STREAM_DRAW);
        offset = 0;
      }
      void* dst = glMapBufferRange(GL_ARRAY_BUFFER, offset, bytes, access);
      if (dst) {
        std::memcpy(dst, r.vertices, size_t(bytes));
        glUnmapBuffer(GL_ARRAY_BUFFER);
      }
      streamOffset_ = offset + bytes;
      streamBase_ = offset / r.stride;
    }
  }
  // Attribute pointers remember the buffer bound when they were set.
  if (!bypassCache && cache_.attribFvf == r.fvf && cache_.attribStride == r.stride &&
      cache_.attribBuffer == cache_.arrayBuffer)
    return;
  cache_.attribFvf = r.fvf;
  cache_.attribStride = r.stride;
  cache_.attribBuffer = cache_.arrayBuffer;
  auto attrib = [&](GLuint loc, GLint size, GLenum type, bool norm, std::uintptr_t offset) {
    glEnableVertexAttribArray(loc);
    glVertexAttribPointer(loc, size, type, norm ? GL_TRUE : GL_FALSE, static_cast<GLsizei>(r.stride),
                          reinterpret_cast<const void*>(offset));
  };
  std::uintptr_t off = 0;
  DWORD fvf = r.fvf;
  bool rhw = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  attrib(0, rhw ? 4 : 3, GL_FLOAT, false, off);
  off += rhw ? 16 : 12;
  if (fvf & D3DFVF_NORMAL) {
    attrib(1, 3, GL_FLOAT, false, off);
    off += 12;
  } else {
    glDisableVertexAttribArray(1);
    glVertexAttrib3f(1, 0, 0, 0);
  }
  if (fvf & D3DFVF_PSIZE) off += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    attrib(2, GL_BGRA, GL_UNSIGNED_BYTE, true, off);  // D3DCOLOR bytes are B, G, R, A
    off += 4;
  } else {
    glDisableVertexAttribArray(2);
    glVertexAttrib4f(2, 1, 1, 1, 1);  // a missing diffuse reads white
  }
  if (fvf & D3DFVF_SPECULAR) {
    attrib(3, GL_BGRA, GL_UNSIGNED_BYTE, true, off);
    off += 4;
  } else {
    glDisableVertexAttribArray(3);
    glVertexAttrib4f(3, 0, 0, 0, 1);  // no highlight, and no fog from its alpha
  }
  UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  for (UINT i = 0; i < 2; ++i) {
    if (i < sets) {
      static const GLint kSize[4] = {2, 3, 4, 1};
      GLint size = kSize[(fvf >> (16 + 2 * i)) & 3];
      attrib(4 + i, size, GL_FLOAT, false, off);
      off += 4 * size;
    } else {
      glDisableVertexAttribArray(4 + i);
      glVertexAttrib4f(4 + i, 0, 0, 0, 1);
    }
  }
}

bool GlDevice::BindTextures() {
  bool ok = true;
  for (DWORD s = 0; s < kMaxTextureStages; ++s) {
    auto* t = static_cast<TextureImpl*>(state().textures[s]);
    if (t && (t->link.dirty || !t->link.glName)) UploadTexture(t);
    if (t && t->link.glFailed) ok = false;
    unsigned name = t ? t->link.glName : whiteTexture_;
    if (bypassCache || cache_.textures[s] != name) {
      glActiveTexture(GL_TEXTURE0 + s);
      glBindTexture(GL_TEXTURE_2D, name);
      cache_.textures[s] = name;
    }
    ApplySampler(s, t);
  }
  return ok;
}

bool GlDevice::OutsideView(const DrawRequest& r) {
  VertexBufferImpl* vb = r.vertexBuffer;
  IndexBufferImpl* ib = r.indices ? r.indexBuffer : nullptr;
  // Boxes come from buffers at rest; points and lines are left alone (a wide
  // point shows around a centre outside), as are vertices that the world
  // matrices blend or that come already transformed.
  if (drawEverything_ || !vb || vb->locked() || (ib && ib->locked()) || r.type < D3DPT_TRIANGLELIST) return false;
  const DeviceState& s = state();
  if ((r.fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ || s.renderStates[D3DRS_VERTEXBLEND] != D3DVBF_DISABLE)
    return false;
  CachedVertexBox key;
  key.stride = r.stride;
  key.vertexOffset = r.vertexOffset;
  key.count = r.vertexCount;
  if (ib) {
    key.indexSerial = ib->link.serial;
    key.indexVersion = ib->version;
    key.indexOffset = r.indexOffset;
    key.indices32 = r.indices32;
  }
  VertexBox box;
  if (const VertexBox* known = vb->boxes.Find(key)) {
    box = *known;
  } else {
    box = ib ? BoxOfIndexedVertices(r.vertices, r.stride, r.indices, r.indices32, r.vertexCount)
             : BoxOfVertices(r.vertices, r.stride, r.vertexCount);
    key.box = box;
    vb->boxes.Add(key);
  }
  const D3DMATRIX wvp = Multiply(Multiply(s.transforms[0], s.transforms[1]), s.transforms[2]);
  return BoxOutsideClipVolume(box, wvp, float(s.viewport.Width), float(s.viewport.Height));
}

HRESULT GlDevice::BackendDraw(const DrawRequest& r) {
  if (OutsideView(r)) {
    ++drawsOutsideView_;
    return S_OK;
  }
  if (!BindTarget()) return E_FAIL;  // reported when the framebuffer was made
  ApplyFixedState();
  const DeviceState& s = state();
  GlProgram& p = ProgramFor(s);
  if (p.failed) return E_FAIL;
  if (bypassCache || cache_.program != p.program) {
    glUseProgram(p.program);
    cache_.program = p.program;
  }
  UploadUniforms(p, s);
  if (!BindTextures()) return E_FAIL;
  BindVertices(r);
  GLenum mode = PrimitiveMode(r.type);
  if (!r.indices) {
    GLint first = r.vertexBuffer ? static_cast<GLint>(r.vertexOffset / r.stride) : static_cast<GLint>(streamBase_);
    glDrawArrays(mode, first, static_cast<GLsizei>(r.vertexCount));
    return S_OK;
  }
  IndexBufferImpl* ib = r.indexBuffer;
  if (ib->link.dirty || !ib->link.glName) UploadBuffer(ib->link, ib->bytes, GL_ELEMENT_ARRAY_BUFFER);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->link.glName);
  glDrawElementsBaseVertex(mode, static_cast<GLsizei>(r.vertexCount),
                           r.indices32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(std::uintptr_t{r.indexOffset}),
                           static_cast<GLint>(r.vertexOffset / r.stride));
  return S_OK;
}

void GlDevice::BackendPresent() {
  if (!window_) return;
  Uint32 flags = SDL_GetWindowFlags(window_);
  // A minimised full-screen window loses its device, as the original did.
  if ((flags & SDL_WINDOW_FULLSCREEN) && (flags & SDL_WINDOW_MINIMIZED)) {
    lost_ = true;
    return;
  }
  const int w = static_cast<int>(params_.BackBufferWidth), h = static_cast<int>(params_.BackBufferHeight);
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (windowBacked_ && (dw != w || dh != h)) LeaveWindow();  // resized: shown letterboxed from now on
  if (!windowBacked_) ShowBackBuffer(dw, dh);
  SDL_GL_SwapWindow(window_);
  cache_.framebuffer = ~0u;
  cache_.valid = false;
}

void GlDevice::ShowBackBuffer(int dw, int dh) {
  const int w = static_cast<int>(params_.BackBufferWidth), h = static_cast<int>(params_.BackBufferHeight);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, backFbo_);
  if (frontFbo_) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, frontFbo_);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  // A window sized otherwise than the back buffer shows it whole, in its own
  // shape, between black bars.
  const PresentRect to = LetterboxRect(w, h, dw, dh);
  if (to.width != dw || to.height != dh) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // Stored top row first: flip into the window's bottom-up framebuffer.
  glBlitFramebuffer(0, 0, w, h, to.x, dh - to.y, to.x + to.width, dh - to.y - to.height, GL_COLOR_BUFFER_BIT,
                    GL_LINEAR);
}

}  // namespace halvex::gfx
