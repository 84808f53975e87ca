// OpenGL backend: framebuffers for the back buffer and render-target
// textures, depth surfaces, read-back.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>

#include "platform/gfx/gl_device.h"

namespace halvex::gfx {

namespace {

// GL's status of the bound framebuffer: GL_FRAMEBUFFER_COMPLETE or why not.
GLenum Completeness(std::string* why) {
  GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  switch (status) {
    case GL_FRAMEBUFFER_COMPLETE: break;
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT: *why = "an attachment has no usable image"; break;
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT: *why = "nothing is attached"; break;
    case GL_FRAMEBUFFER_UNSUPPORTED: *why = "this GL cannot draw into these formats together"; break;
    default: {
      char text[48];
      std::snprintf(text, sizeof text, "status %#x", status);
      *why = text;
    }
  }
  return status;
}

std::string Size(UINT w, UINT h) { return std::to_string(w) + "x" + std::to_string(h); }

// Empty when GL can draw into it.
std::string MakeColorTarget(UINT w, UINT h, unsigned* tex, unsigned* fbo) {
  glGenTextures(1, tex);
  glActiveTexture(GL_TEXTURE7);  // a unit the stages never use, so their bindings stay cached
  glBindTexture(GL_TEXTURE_2D, *tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, GL_BGRA,
               GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glGenFramebuffers(1, fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, *fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, *tex, 0);
  std::string why;
  Completeness(&why);
  return why;
}

bool HasStencil(D3DFORMAT f) { return f == D3DFMT_D24S8 || f == D3DFMT_D15S1; }

std::string Describe(SurfaceImpl* target, SurfaceImpl* depth) {
  std::string s = target->kind == SurfaceKind::BackBuffer ? "back buffer " : "render target ";
  s += Size(target->width, target->height) + " " + FormatName(target->format);
  if (target->kind == SurfaceKind::TextureLevel) s += " level " + std::to_string(target->level);
  if (depth) s += std::string(" with depth ") + Size(depth->width, depth->height) + " " + FormatName(depth->format);
  return s;
}

}  // namespace

PresentRect LetterboxRect(int srcW, int srcH, int dstW, int dstH) {
  if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return {0, 0, std::max(dstW, 0), std::max(dstH, 0)};
  // Compare dstW/srcW with dstH/srcH in integers: no rounding decides the side.
  const long long wide = static_cast<long long>(dstW) * srcH, tall = static_cast<long long>(dstH) * srcW;
  if (wide == tall) return {0, 0, dstW, dstH};
  if (wide > tall) {  // bars left and right
    const int w = static_cast<int>((static_cast<long long>(srcW) * dstH + srcH / 2) / srcH);
    return {(dstW - w) / 2, 0, w, dstH};
  }
  const int h = static_cast<int>((static_cast<long long>(srcH) * dstW + srcW / 2) / srcW);
  return {0, (dstH - h) / 2, dstW, h};
}

bool GlDevice::CreateBackBuffer() {
  UINT w = params_.BackBufferWidth, h = params_.BackBufferHeight;
  std::string why = MakeColorTarget(w, h, &backColor_, &backFbo_);
  const bool front = (params_.Flags & kPresentFlagNoFrontBuffer) == 0;
  if (why.empty() && front) why = MakeColorTarget(w, h, &frontColor_, &frontFbo_);
  cache_.framebuffer = ~0u;
  if (!why.empty()) {
    Report("back buffer " + Size(w, h) + " is refused: GL cannot draw into it (" + why + ")");
    return false;
  }
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);  // a fresh front buffer shows black
  return true;
}

void GlDevice::DestroyBackBuffer() {
  for (auto it = fbos_.begin(); it != fbos_.end();) {
    if (it->first.first == backColor_ * 16u) {
      glDeleteFramebuffers(1, &it->second.name);
      it = fbos_.erase(it);
    } else {
      ++it;
    }
  }
  glDeleteFramebuffers(1, &backFbo_);
  glDeleteFramebuffers(1, &frontFbo_);
  glDeleteTextures(1, &backColor_);
  glDeleteTextures(1, &frontColor_);
  backFbo_ = frontFbo_ = backColor_ = frontColor_ = 0;
  cache_.framebuffer = ~0u;
}

unsigned GlDevice::ColorNameOf(SurfaceImpl* target) {
  if (target->kind == SurfaceKind::BackBuffer) return backColor_;
  TextureImpl* t = target->parent;
  if (!t->link.glName) UploadTexture(t);
  return t->link.glName;
}

unsigned GlDevice::DepthNameOf(SurfaceImpl* depth) {
  if (!depth) return 0;
  if (!depth->link.glName) {
    glGenRenderbuffers(1, &depth->link.glName);
    depth->link.glKind = 3;
    glBindRenderbuffer(GL_RENDERBUFFER, depth->link.glName);
    GLenum format = HasStencil(depth->format) ? GL_DEPTH24_STENCIL8
                    : depth->format == D3DFMT_D16 || depth->format == D3DFMT_D16_LOCKABLE ? GL_DEPTH_COMPONENT16
                                                                                           : GL_DEPTH_COMPONENT24;
    ClearGlErrors();
    glRenderbufferStorage(GL_RENDERBUFFER, format, static_cast<GLsizei>(depth->width),
                          static_cast<GLsizei>(depth->height));
    // Left without storage; the framebuffers it joins are refused as incomplete.
    if (std::string error = TakeGlError(); !error.empty())
      Report("depth surface " + Size(depth->width, depth->height) + " " + FormatName(depth->format) +
             " has no storage (" + error + ")");
  }
  return depth->link.glName;
}

unsigned GlDevice::FramebufferFor(SurfaceImpl* target, SurfaceImpl* depth) {
  unsigned level = target->kind == SurfaceKind::TextureLevel ? target->level : 0;
  std::pair<unsigned, unsigned> key{ColorNameOf(target) * 16u + level, DepthNameOf(depth)};
  auto it = fbos_.find(key);
  if (it == fbos_.end()) {
    GlFramebuffer fb;
    glGenFramebuffers(1, &fb.name);
    glBindFramebuffer(GL_FRAMEBUFFER, fb.name);
    cache_.framebuffer = fb.name;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, key.first / 16u,
                           static_cast<GLint>(level));
    if (depth) {
      GLenum attachment = HasStencil(depth->format) ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, key.second);
    }
    std::string why;
    fb.complete = Completeness(&why) == GL_FRAMEBUFFER_COMPLETE;
    if (!fb.complete) Report(Describe(target, depth) + " is refused: GL cannot draw into it (" + why + ")");
    it = fbos_.emplace(key, fb).first;
  }
  return it->second.complete ? it->second.name : 0;
}

bool GlDevice::BindTarget() {
  targetInWindow_ = TargetInWindow();
  const unsigned fbo = targetInWindow_ ? 0 : FramebufferFor(currentTarget(), currentDepth());
  if (!fbo && !targetInWindow_) return false;
  if (bypassCache || cache_.framebuffer != fbo) {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    cache_.framebuffer = fbo;
  }
  return true;
}

namespace {

// A size of the bound framebuffer's attachment, or 0 where it has none.
GLint AttachmentBits(GLenum attachment, GLenum size) {
  GLint type = GL_NONE, bits = 0;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
  if (type != GL_NONE) glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, size, &bits);
  return bits;
}

}  // namespace

bool GlDevice::WindowCanHoldBackBuffer() {
  if (!window_ || keepOffscreen_ || !(params_.Flags & kPresentFlagNoFrontBuffer) || !params_.EnableAutoDepthStencil)
    return false;
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (dw != static_cast<int>(params_.BackBufferWidth) || dh != static_cast<int>(params_.BackBufferHeight))
    return false;
  const DepthStencilBits wanted = DepthStencilBitsOf(params_.AutoDepthStencilFormat);
  ClearGlErrors();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  cache_.framebuffer = 0;
  // The colour and stencil bits of the offscreen pair, so that blending with
  // the destination's alpha and stencil tests give the same pictures. GLX
  // takes depth bits as a least and offers deeper buffers first: a deeper
  // one only settles near ties more finely.
  const GLint depthBits = AttachmentBits(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE);
  windowDepthMatches_ = depthBits == wanted.depth;
  const bool fits = AttachmentBits(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE) == 8 &&
                    AttachmentBits(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE) == 8 &&
                    depthBits >= wanted.depth &&
                    AttachmentBits(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE) == wanted.stencil;
  return fits && TakeGlError().empty();
}

bool GlDevice::TargetInWindow() {
  if (!windowBacked_) return false;
  const bool back = currentTarget() == backBufferSurface(), autoDepth = currentDepth() == autoDepthSurface();
  if (back && autoDepth) return true;
  if (back || autoDepth) LeaveWindow();
  return false;
}

void GlDevice::LeaveWindow() {
  windowBacked_ = false;
  targetInWindow_ = false;
  cache_.framebuffer = ~0u;
  cache_.valid = false;
  SurfaceImpl* depth = autoDepthSurface();
  const unsigned fbo = FramebufferFor(backBufferSurface(), depth);
  if (!fbo) return;  // reported when the framebuffer was made
  const GLint w = static_cast<GLint>(params_.BackBufferWidth), h = static_cast<GLint>(params_.BackBufferHeight);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFFFFFFFFu);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
  // Bottom row first in the window, top row first offscreen.
  ClearGlErrors();
  glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  // GL blits depth only between equal formats: a deeper window depth is
  // left behind, and the surface starts undefined, as after a Reset.
  if (windowDepthMatches_)
    glBlitFramebuffer(0, 0, w, h, 0, h, w, 0,
                      GL_DEPTH_BUFFER_BIT | (depth && HasStencil(depth->format) ? GL_STENCIL_BUFFER_BIT : 0),
                      GL_NEAREST);
  if (std::string error = TakeGlError(); !error.empty())
    Report("the back buffer could not be moved out of the window whole (" + error + ")");
}

HRESULT GlDevice::BackendCanTarget(SurfaceImpl* target, SurfaceImpl* depth) {
  return FramebufferFor(target, depth) ? S_OK : D3DERR_INVALIDCALL;
}

void GlDevice::BackendSetTarget() {
  cache_.framebuffer = ~0u;
  cache_.valid = false;  // depth testing depends on whether a depth surface is bound
}

namespace {

// Reads the bound read framebuffer whole, top row first; the window's own
// framebuffer (0) keeps its bottom row first and is turned over.
template <class T>
std::string ReadRows(unsigned fbo, UINT w, UINT h, GLenum format, GLenum type, std::vector<T>* values) {
  values->resize(size_t(w) * h);
  ClearGlErrors();  // only the read's own error counts
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glReadPixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), format, type, values->data());
  if (fbo == 0)
    for (UINT y = 0; y < h / 2; ++y)
      std::swap_ranges(values->begin() + ptrdiff_t(y) * w, values->begin() + ptrdiff_t(y + 1) * w,
                       values->begin() + ptrdiff_t(h - 1 - y) * w);
  return TakeGlError();
}

}  // namespace

HRESULT GlDevice::ReadFramebuffer(unsigned fbo, UINT w, UINT h, std::vector<D3DCOLOR>* pixels, const char* what) {
  // BGRA bytes are 0xAARRGGBB words on a little-endian host.
  std::string error = ReadRows(fbo, w, h, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
  cache_.framebuffer = ~0u;
  if (error.empty()) return S_OK;
  Report(std::string("reading ") + what + " " + Size(w, h) + " failed (" + error + ")");
  return E_FAIL;
}

HRESULT GlDevice::BackendReadBack(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) {
  SurfaceImpl* target = currentTarget();
  *width = target->width;
  *height = target->height;
  const bool window = TargetInWindow();
  const unsigned fbo = window ? 0 : FramebufferFor(target, nullptr);
  if (!fbo && !window) {
    pixels->assign(size_t(*width) * *height, 0);
    return E_FAIL;  // reported when the framebuffer was made
  }
  return ReadFramebuffer(fbo, *width, *height, pixels, "the render target");
}

HRESULT GlDevice::BackendReadStencil(std::vector<BYTE>* values, UINT* width, UINT* height) {
  SurfaceImpl* target = currentTarget();
  SurfaceImpl* depth = currentDepth();
  if (!depth || !HasStencil(depth->format)) return D3DERR_NOTAVAILABLE;
  *width = target->width;
  *height = target->height;
  const bool window = TargetInWindow();
  const unsigned fbo = window ? 0 : FramebufferFor(target, depth);
  if (!fbo && !window) {
    values->assign(size_t(*width) * *height, 0);
    return E_FAIL;  // reported when the framebuffer was made
  }
  std::string error = ReadRows(fbo, *width, *height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, values);
  cache_.framebuffer = ~0u;
  if (error.empty()) return S_OK;
  Report("reading the stencil of " + Describe(target, depth) + " failed (" + error + ")");
  return E_FAIL;
}

HRESULT GlDevice::BackendReadFront(std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height) {
  *width = params_.BackBufferWidth;
  *height = params_.BackBufferHeight;
  if (!frontFbo_) return D3DERR_NOTAVAILABLE;  // given up with kPresentFlagNoFrontBuffer
  return ReadFramebuffer(frontFbo_, *width, *height, pixels, "the front buffer");
}

void GlDevice::BackendForget(ResourceLink* link) {
  if (!link->glName || !context_) return;
  unsigned name = link->glName;
  // Drop framebuffers that used it.
  for (auto it = fbos_.begin(); it != fbos_.end();) {
    bool uses = (link->glKind == 2 && it->first.first / 16u == name) || (link->glKind == 3 && it->first.second == name);
    if (uses) {
      glDeleteFramebuffers(1, &it->second.name);
      it = fbos_.erase(it);
    } else {
      ++it;
    }
  }
  switch (link->glKind) {
    case 1: glDeleteBuffers(1, &name); break;
    case 2:
      glDeleteTextures(1, &name);
      for (unsigned& t : cache_.textures)
        if (t == name) t = ~0u;
      break;
    case 3: glDeleteRenderbuffers(1, &name); break;
    default: break;
  }
  cache_.framebuffer = ~0u;
  cache_.arrayBuffer = cache_.elementBuffer = ~0u;
  cache_.attribFvf = ~0u;
  link->glName = 0;
  link->glKind = 0;
  link->dirty = true;
}

}  // namespace halvex::gfx
