// OpenGL backend: texture and buffer uploads, per-stage samplers.
#include <epoxy/gl.h>

#include <cstdio>

#include "platform/gfx/gl_device.h"

namespace halvex::gfx {

namespace {

struct GlFormat {
  GLenum internal, format, type;
  bool opaque;  // X formats: alpha reads as one
};

GlFormat FormatOf(D3DFORMAT f) {
  switch (f) {
    case D3DFMT_A8R8G8B8: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, false};
    case D3DFMT_X8R8G8B8: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, true};
    // GL_RGB565 is a GL 4.1 / ES texture format; in 3.3 the 5_6_5 texels go
    // into eight bits a channel, which holds every value they can have.
    case D3DFMT_R5G6B5: return {GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false};
    case D3DFMT_A1R5G5B5: return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
    case D3DFMT_X1R5G5B5: return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true};
    case D3DFMT_A4R4G4B4: return {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false};
    case D3DFMT_DXT1: return {0x83F1, 0, 0, false};  // COMPRESSED_RGBA_S3TC_DXT1
    case D3DFMT_DXT3: return {0x83F2, 0, 0, false};
    case D3DFMT_DXT5: return {0x83F3, 0, 0, false};
    default: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, false};
  }
}

GLenum AddressMode(DWORD a) {
  switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRRORED_REPEAT;  // no core 3.3 equivalent
    default: return GL_REPEAT;
  }
}

GLenum MinFilter(DWORD min, DWORD mip) {
  bool linear = min == D3DTEXF_LINEAR || min == D3DTEXF_ANISOTROPIC;
  if (mip == D3DTEXF_NONE) return linear ? GL_LINEAR : GL_NEAREST;
  if (mip == D3DTEXF_POINT) return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

}  // namespace

void GlDevice::UploadTexture(TextureImpl* t) {
  bool target = (t->usage & D3DUSAGE_RENDERTARGET) != 0;
  if (target && t->link.glName) return;  // its pixels live on the device only
  if (t->bytesOnDevice) {
    // GL holds exactly these pixels already, so a discard changes nothing.
    if (t->link.glName) t->link.dirty = false;
    return;
  }
  if (!t->link.glName) {
    glGenTextures(1, &t->link.glName);
    t->link.glKind = 2;
  }
  glActiveTexture(GL_TEXTURE7);  // leave the stages' bindings alone
  glBindTexture(GL_TEXTURE_2D, t->link.glName);
  GlFormat f = FormatOf(t->format);
  bool compressed = IsCompressedFormat(t->format);
  ClearGlErrors();  // only the upload's own errors count
  for (size_t i = 0; i < t->levels.size(); ++i) {
    const auto& l = t->levels[i];
    auto w = static_cast<GLsizei>(l.width), h = static_cast<GLsizei>(l.height);
    if (compressed) {
      glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), f.internal, w, h, 0,
                             static_cast<GLsizei>(l.bytes.size()), l.bytes.data());
    } else {
      glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(f.internal), w, h, 0, f.format,
                   f.type, target ? nullptr : l.bytes.data());
    }
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(t->levels.size() - 1));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, f.opaque ? GL_ONE : GL_ALPHA);
  // Not dirty even when refused: the same pixels would be refused again each
  // frame. A new lock and unlock tries again.
  t->link.dirty = false;
  for (unsigned& name : cache_.textures)
    if (name == t->link.glName) name = ~0u;
  std::string error = TakeGlError();
  t->link.glFailed = !error.empty();
  // GL has the pixels now: keep them there only, as a hardware device does
  // with managed textures. Locks read them back (BackendRestoreTexture). A refused
  // upload keeps its bytes for the next try; system-memory textures are
  // never drawn from, and a level locked right now still needs its pointer.
  bool anyLocked = false;
  for (const auto& l : t->levels) anyLocked |= l.locked;
  if (!target && !t->link.glFailed && !anyLocked && t->link.pool != D3DPOOL_SYSTEMMEM) {
    for (auto& l : t->levels) std::vector<BYTE>().swap(l.bytes);
    t->bytesOnDevice = true;
  }
  if (t->link.glFailed) {
    char what[96];
    std::snprintf(what, sizeof what, "texture %ux%u %s (%zu levels%s)", t->levels[0].width, t->levels[0].height,
                  FormatName(t->format), t->levels.size(), target ? ", render target" : "");
    Report(std::string(what) + " is refused by GL (" + error +
           (compressed && !hasS3tc_ ? ", no block-compressed textures here)" : ")"));
  }
}

bool GlDevice::BackendRestoreTexture(TextureImpl* t) {
  if (!t->bytesOnDevice) return true;
  if (!context_ || !t->link.glName) return false;
  glActiveTexture(GL_TEXTURE7);  // leave the stages' bindings alone
  glBindTexture(GL_TEXTURE_2D, t->link.glName);
  for (unsigned& name : cache_.textures)
    if (name == t->link.glName) name = ~0u;
  GlFormat f = FormatOf(t->format);
  bool compressed = IsCompressedFormat(t->format);
  ClearGlErrors();  // only the read's own errors count
  for (size_t i = 0; i < t->levels.size(); ++i) {
    auto& l = t->levels[i];
    l.bytes.resize(FormatLevelSize(t->format, l.width, l.height));
    // Read in the upload's own format and type, so the bytes come back as
    // they went in (GL's swizzle applies to sampling only).
    if (compressed)
      glGetCompressedTexImage(GL_TEXTURE_2D, static_cast<GLint>(i), l.bytes.data());
    else
      glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(i), f.format, f.type, l.bytes.data());
  }
  if (std::string error = TakeGlError(); !error.empty()) {
    for (auto& l : t->levels) std::vector<BYTE>().swap(l.bytes);
    char what[80];
    std::snprintf(what, sizeof what, "texture %ux%u %s", t->levels[0].width, t->levels[0].height,
                  FormatName(t->format));
    Report(std::string("reading back ") + what + " failed (" + error + ")");
    return false;
  }
  t->bytesOnDevice = false;
  return true;
}

void GlDevice::BackendTextureChanged(TextureImpl* texture) {
  if (texture->link.dirty || !texture->link.glName) UploadTexture(texture);
}

void GlDevice::UploadBuffer(ResourceLink& link, const std::vector<BYTE>& bytes, unsigned target) {
  if (!link.glName) {
    glGenBuffers(1, &link.glName);
    link.glKind = 1;
  }
  glBindBuffer(target, link.glName);
  glBufferData(target, static_cast<GLsizeiptr>(bytes.size()), bytes.data(), GL_DYNAMIC_DRAW);
  link.dirty = false;
  if (target == GL_ARRAY_BUFFER) cache_.attribFvf = ~0u;
}

// The filter and address states of D3D8 are per stage; a GL sampler object
// per stage carries them.
void GlDevice::ApplySampler(DWORD stage, TextureImpl* texture) {
  const auto& ts = state().stageStates[stage];
  bool mips = texture && texture->levels.size() > 1;
  DWORD mip = mips ? ts[D3DTSS_MIPFILTER] : D3DTEXF_NONE;
  const GlSamplerKey key{ts[D3DTSS_ADDRESSU],  ts[D3DTSS_ADDRESSV],  ts[D3DTSS_BORDERCOLOR],
                         ts[D3DTSS_MAGFILTER], ts[D3DTSS_MINFILTER], mip,
                         ts[D3DTSS_MAXMIPLEVEL], ts[D3DTSS_MIPMAPLODBIAS]};
  if (!bypassCache && cache_.samplers[stage] == key) return;
  cache_.samplers[stage] = key;
  unsigned s = samplers_[stage];
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(ts[D3DTSS_ADDRESSU])));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(ts[D3DTSS_ADDRESSV])));
  D3DCOLOR b = ts[D3DTSS_BORDERCOLOR];
  float border[4] = {((b >> 16) & 0xFF) / 255.0f, ((b >> 8) & 0xFF) / 255.0f, (b & 0xFF) / 255.0f,
                     (b >> 24) / 255.0f};
  glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
  DWORD mag = ts[D3DTSS_MAGFILTER];
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER,
                      mag == D3DTEXF_LINEAR || mag == D3DTEXF_ANISOTROPIC ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MinFilter(ts[D3DTSS_MINFILTER], mip)));
  glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, static_cast<float>(ts[D3DTSS_MAXMIPLEVEL]));
  glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, DwordToFloat(ts[D3DTSS_MIPMAPLODBIAS]));
}

}  // namespace halvex::gfx
