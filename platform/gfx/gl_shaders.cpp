// GLSL generation for the fixed-function emulation. The arithmetic follows the
// Direct3D 8 pipeline: per-vertex lighting in camera space, vertex fog, the
// texture-stage cascade, specular add, fog blend, alpha test in 8 bits.
#include "platform/gfx/gl_shaders.h"

#include <cstdio>
#include <cstring>

namespace halvex::gfx {

namespace {

std::uint8_t B(DWORD v) { return static_cast<std::uint8_t>(v); }

bool HasFvf(const ShaderKey& k, DWORD bit) { return (k.fvf & bit) != 0; }
bool IsRhw(const ShaderKey& k) { return (k.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW; }
int TexSets(const ShaderKey& k) { return static_cast<int>((k.fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT); }

const char* kVertexHeader = R"(#version 330 core
layout(location = 0) in vec4 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aDiffuse;
layout(location = 3) in vec4 aSpecular;
layout(location = 4) in vec4 aTex0;
layout(location = 5) in vec4 aTex1;
uniform mat4 uWV;
uniform mat4 uProj;
uniform mat3 uNormalMat;
uniform vec4 uViewport;
uniform vec4 uMatDiffuse, uMatAmbient, uMatSpecular, uMatEmissive;
uniform float uMatPower;
uniform vec4 uAmbient;
uniform int uLightCount;
uniform int uLType[12];
uniform vec4 uLDiffuse[12], uLSpecular[12], uLAmbient[12];
uniform vec3 uLPos[12], uLDir[12], uLAtt[12], uLSpot[12];
uniform float uLRange[12];
uniform vec3 uFog;
uniform float uYFlip;
)";

// Vertex colour chosen by a material source, or the material's own.
std::string ColorSource(const ShaderKey& k, int source, const char* material) {
  if (k.colorVertex && source == D3DMCS_COLOR1 && HasFvf(k, D3DFVF_DIFFUSE)) return "aDiffuse";
  if (k.colorVertex && source == D3DMCS_COLOR2 && HasFvf(k, D3DFVF_SPECULAR)) return "aSpecular";
  return material;
}

std::string LightingCode(const ShaderKey& k) {
  std::string s;
  s += "  vec4 Cd = " + ColorSource(k, k.diffuseSource, "uMatDiffuse") + ";\n";
  s += "  vec4 Ca = " + ColorSource(k, k.ambientSource, "uMatAmbient") + ";\n";
  s += "  vec4 Cs = " + ColorSource(k, k.specularSource, "uMatSpecular") + ";\n";
  s += "  vec4 Ce = " + ColorSource(k, k.emissiveSource, "uMatEmissive") + ";\n";
  if (HasFvf(k, D3DFVF_NORMAL)) {
    s += k.normalize ? "  vec3 N = normalize(uNormalMat * aNormal);\n" : "  vec3 N = uNormalMat * aNormal;\n";
  } else {
    s += "  vec3 N = vec3(0.0);\n";  // no normal: N.L is zero everywhere
  }
  s += R"(  vec3 A = vec3(0.0), D = vec3(0.0), S = vec3(0.0);
  for (int i = 0; i < uLightCount; ++i) {
    vec3 L;
    float att = 1.0, spot = 1.0;
    if (uLType[i] == 3) {
      L = uLDir[i];
    } else {
      vec3 v = uLPos[i] - P;
      float d = length(v);
      if (d > uLRange[i]) continue;
      L = d > 0.0 ? v / d : vec3(0.0, 0.0, -1.0);
      att = 1.0 / (uLAtt[i].x + uLAtt[i].y * d + uLAtt[i].z * d * d);
      if (uLType[i] == 2) {
        float rho = dot(uLDir[i], L);
        if (rho > uLSpot[i].x) spot = 1.0;
        else if (rho <= uLSpot[i].y) spot = 0.0;
        else spot = pow((rho - uLSpot[i].y) / (uLSpot[i].x - uLSpot[i].y), uLSpot[i].z);
      }
    }
    float NdL = max(dot(N, L), 0.0);
    A += uLAmbient[i].rgb * att * spot;
    D += uLDiffuse[i].rgb * NdL * att * spot;
)";
  if (k.specularEnable) {
    s += k.localViewer ? "    vec3 H = normalize(normalize(-P) + L);\n"
                       : "    vec3 H = normalize(vec3(0.0, 0.0, -1.0) + L);\n";
    s += "    float NdH = max(dot(N, H), 0.0);\n";
    s += "    if (NdL > 0.0 && NdH > 0.0) S += uLSpecular[i].rgb * pow(NdH, uMatPower) * att * spot;\n";
  }
  s += "  }\n";
  s += "  vDiffuse = vec4(clamp(Ce.rgb + Ca.rgb * (uAmbient.rgb + A) + Cd.rgb * D, 0.0, 1.0), Cd.a);\n";
  s += "  vSpecular = vec4(clamp(Cs.rgb * S, 0.0, 1.0), aSpecular.a);\n";
  return s;
}

std::string FogFactor(int mode, const char* d) {
  std::string ds = d;
  switch (mode) {
    case D3DFOG_LINEAR: return "clamp((uFog.y - " + ds + ") / (uFog.y - uFog.x), 0.0, 1.0)";
    case D3DFOG_EXP: return "clamp(exp(-uFog.z * " + ds + "), 0.0, 1.0)";
    case D3DFOG_EXP2: return "clamp(exp(-(uFog.z * " + ds + ") * (uFog.z * " + ds + ")), 0.0, 1.0)";
    default: return "1.0";
  }
}

std::string Varyings(const ShaderKey& k, const char* dir) {
  std::string q = k.flat ? "flat " : "";
  std::string d = dir;
  return q + d + " vec4 vDiffuse;\n" + q + d + " vec4 vSpecular;\n" + d + " vec4 vTex0;\n" + d +
         " vec4 vTex1;\n" + d + " float vFog;\n" + d + " float vFogDepth;\n";
}

// ---- fragment: texture stages ----

std::string Arg(DWORD arg, int stage) {
  std::string base;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: base = "diffuse"; break;
    case D3DTA_CURRENT: base = "cur"; break;
    case D3DTA_TEXTURE: base = "tex" + std::to_string(stage); break;
    case D3DTA_TFACTOR: base = "uTFactor"; break;
    case D3DTA_SPECULAR: base = "specular"; break;
    case D3DTA_TEMP: base = "temp"; break;
    default: base = "cur"; break;
  }
  if (arg & D3DTA_ALPHAREPLICATE) base = base + ".aaaa";
  if (arg & D3DTA_COMPLEMENT) base = "(vec4(1.0) - " + base + ")";
  return base;
}

std::string Op(DWORD op, const std::string& a0, const std::string& a1, const std::string& a2, int stage) {
  std::string t = "tex" + std::to_string(stage);
  switch (op) {
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE2X: return "(" + a1 + " * " + a2 + " * 2.0)";
    case D3DTOP_MODULATE4X: return "(" + a1 + " * " + a2 + " * 4.0)";
    case D3DTOP_ADD: return "(" + a1 + " + " + a2 + ")";
    case D3DTOP_ADDSIGNED: return "(" + a1 + " + " + a2 + " - 0.5)";
    case D3DTOP_ADDSIGNED2X: return "((" + a1 + " + " + a2 + " - 0.5) * 2.0)";
    case D3DTOP_SUBTRACT: return "(" + a1 + " - " + a2 + ")";
    case D3DTOP_ADDSMOOTH: return "(" + a1 + " + " + a2 + " - " + a1 + " * " + a2 + ")";
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + a2 + ", " + a1 + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + a2 + ", " + a1 + ", " + t + ".a)";
    case D3DTOP_BLENDFACTORALPHA: return "mix(" + a2 + ", " + a1 + ", uTFactor.a)";
    case D3DTOP_BLENDCURRENTALPHA: return "mix(" + a2 + ", " + a1 + ", cur.a)";
    case D3DTOP_MULTIPLYADD: return "(" + a0 + " + " + a1 + " * " + a2 + ")";
    case D3DTOP_LERP: return "(" + a0 + " * " + a1 + " + (vec4(1.0) - " + a0 + ") * " + a2 + ")";
    default: return "(" + a1 + " * " + a2 + ")";  // MODULATE and anything not emulated
  }
}

std::string StageCode(const ShaderKey& k, int s) {
  const auto& st = k.stages[s];
  std::string code;
  int set = st.texCoordIndex;
  std::string coord = set < TexSets(k) && set < 2 ? "vTex" + std::to_string(set) + ".xy" : "vec2(0.0)";
  std::string tex = "tex" + std::to_string(s);
  code += "  vec4 " + tex + " = texture(uTex" + std::to_string(s) + ", " + coord + ");\n";
  std::string color = Op(st.colorOp, Arg(st.colorArg0, s), Arg(st.colorArg1, s), Arg(st.colorArg2, s), s);
  std::string alpha = st.alphaOp == D3DTOP_DISABLE
                          ? std::string("cur")
                          : Op(st.alphaOp, Arg(st.alphaArg0, s), Arg(st.alphaArg1, s), Arg(st.alphaArg2, s), s);
  std::string target = st.resultArg == D3DTA_TEMP ? "temp" : "cur";
  code += "  " + target + " = clamp(vec4((" + color + ").rgb, (" + alpha + ").a), 0.0, 1.0);\n";
  return code;
}

const char* CompareOp(int func) {
  switch (func) {
    case D3DCMP_NEVER: return "false";
    case D3DCMP_LESS: return "a8 < uAlphaRef";
    case D3DCMP_EQUAL: return "a8 == uAlphaRef";
    case D3DCMP_LESSEQUAL: return "a8 <= uAlphaRef";
    case D3DCMP_GREATER: return "a8 > uAlphaRef";
    case D3DCMP_NOTEQUAL: return "a8 != uAlphaRef";
    case D3DCMP_GREATEREQUAL: return "a8 >= uAlphaRef";
    default: return "true";
  }
}

}  // namespace

ShaderKey ShaderKey::From(const DeviceState& state) {
  const auto& rs = state.renderStates;
  ShaderKey k;
  k.fvf = state.fvf;
  bool rhw = (state.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  k.lighting = B(!rhw && rs[D3DRS_LIGHTING]);
  if (k.lighting) {
    k.colorVertex = B(rs[D3DRS_COLORVERTEX] != 0);
    k.localViewer = B(rs[D3DRS_LOCALVIEWER] != 0);
    k.normalize = B(rs[D3DRS_NORMALIZENORMALS] != 0);
    k.diffuseSource = B(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
    k.ambientSource = B(rs[D3DRS_AMBIENTMATERIALSOURCE]);
    k.specularSource = B(rs[D3DRS_SPECULARMATERIALSOURCE]);
    k.emissiveSource = B(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
  }
  k.specularEnable = B(rs[D3DRS_SPECULARENABLE] != 0);
  k.fogEnable = B(rs[D3DRS_FOGENABLE] != 0);
  if (k.fogEnable) {
    k.fogVertexMode = B(rs[D3DRS_FOGVERTEXMODE]);
    k.fogTableMode = B(rs[D3DRS_FOGTABLEMODE]);
    k.rangeFog = B(rs[D3DRS_RANGEFOGENABLE] != 0);
  }
  k.alphaFunc = rs[D3DRS_ALPHATESTENABLE] ? B(rs[D3DRS_ALPHAFUNC]) : 0;
  k.flat = B(rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT);
  bool enabled = true;
  for (DWORD s = 0; s < kMaxTextureStages; ++s) {
    const auto& ts = state.stageStates[s];
    enabled = enabled && ts[D3DTSS_COLOROP] != D3DTOP_DISABLE;
    Stage& st = k.stages[s];
    if (!enabled) {
      st.colorOp = D3DTOP_DISABLE;
      continue;
    }
    st = {B(ts[D3DTSS_COLOROP]),   B(ts[D3DTSS_COLORARG0]), B(ts[D3DTSS_COLORARG1]),
          B(ts[D3DTSS_COLORARG2]), B(ts[D3DTSS_ALPHAOP]),   B(ts[D3DTSS_ALPHAARG0]),
          B(ts[D3DTSS_ALPHAARG1]), B(ts[D3DTSS_ALPHAARG2]), B(ts[D3DTSS_RESULTARG]),
          B(ts[D3DTSS_TEXCOORDINDEX] & 0xFFFF)};
  }
  return k;
}

std::string ShaderKey::Bytes() const {
  std::string bytes(sizeof(ShaderKey), '\0');
  ShaderKey copy{};  // zeroed padding
  std::memset(static_cast<void*>(&copy), 0, sizeof copy);
  copy.fvf = fvf;
  copy.lighting = lighting; copy.colorVertex = colorVertex; copy.localViewer = localViewer;
  copy.normalize = normalize; copy.specularEnable = specularEnable;
  copy.diffuseSource = diffuseSource; copy.ambientSource = ambientSource;
  copy.specularSource = specularSource; copy.emissiveSource = emissiveSource;
  copy.fogEnable = fogEnable; copy.fogVertexMode = fogVertexMode; copy.fogTableMode = fogTableMode;
  copy.rangeFog = rangeFog; copy.alphaFunc = alphaFunc; copy.flat = flat;
  copy.stages = stages;
  std::memcpy(bytes.data(), &copy, sizeof copy);
  return bytes;
}

std::string ShaderKey::Describe() const {
  char text[256];
  std::snprintf(text, sizeof text,
                "fvf %#x lighting %u (colour vertex %u, sources %u/%u/%u/%u) specular %u fog %u/%u/%u "
                "alpha test %u flat %u",
                static_cast<unsigned>(fvf), lighting, colorVertex, diffuseSource, ambientSource, specularSource,
                emissiveSource, specularEnable, fogEnable, fogVertexMode, fogTableMode, alphaFunc, flat);
  std::string s = text;
  for (size_t i = 0; i < stages.size(); ++i) {
    const Stage& st = stages[i];
    std::snprintf(text, sizeof text, ", stage %zu colour %u(%u,%u,%u) alpha %u(%u,%u,%u) to %u from %u", i,
                  st.colorOp, st.colorArg0, st.colorArg1, st.colorArg2, st.alphaOp, st.alphaArg0,
                  st.alphaArg1, st.alphaArg2, st.resultArg, st.texCoordIndex);
    s += text;
  }
  return s;
}

std::string VertexShaderSource(const ShaderKey& k) {
  std::string s = kVertexHeader + Varyings(k, "out");
  s += "void main() {\n";
  if (IsRhw(k)) {
    // Pre-transformed: x, y in target pixels with D3D's integer pixel centres.
    s += R"(  float w = 1.0 / aPos.w;
  vec2 ndc = vec2((aPos.x + 0.5 - uViewport.x) * 2.0 / uViewport.z - 1.0,
                  1.0 - (aPos.y + 0.5 - uViewport.y) * 2.0 / uViewport.w);
  gl_Position = vec4(ndc * w, (2.0 * aPos.z - 1.0) * w, w);
  vDiffuse = aDiffuse;
  vSpecular = aSpecular;
  vFog = aSpecular.a;
  vFogDepth = w;
)";
  } else {
    s += R"(  vec4 P4 = uWV * vec4(aPos.xyz, 1.0);
  vec3 P = P4.xyz;
  vec4 clip = uProj * P4;
  vFogDepth = clip.w;
  clip.z = 2.0 * clip.z - clip.w;          // D3D clip depth 0..w into GL's -w..w
  clip.x += clip.w / uViewport.z;          // D3D pixel centres sit half a pixel off GL's
  clip.y -= clip.w / uViewport.w;
  gl_Position = clip;
)";
    if (k.lighting) {
      s += LightingCode(k);
    } else {
      s += "  vDiffuse = aDiffuse;\n  vSpecular = aSpecular;\n";
    }
    if (k.fogEnable && k.fogTableMode == D3DFOG_NONE && k.fogVertexMode != D3DFOG_NONE) {
      s += k.rangeFog ? "  float fogD = length(P);\n" : "  float fogD = abs(P.z);\n";
      s += "  vFog = " + FogFactor(k.fogVertexMode, "fogD") + ";\n";
    } else {
      s += "  vFog = aSpecular.a;\n";
    }
  }
  // Offscreen targets are stored top row first (-1); the window is not (1).
  s += "  gl_Position.y *= uYFlip;\n";
  s += "  vTex0 = aTex0;\n  vTex1 = aTex1;\n}\n";
  return s;
}

std::string FragmentShaderSource(const ShaderKey& k) {
  std::string s = "#version 330 core\n" + Varyings(k, "in");
  s += R"(uniform sampler2D uTex0, uTex1;
uniform vec4 uTFactor;
uniform float uAlphaRef;
uniform vec3 uFogColor;
uniform vec3 uFog;
out vec4 oColor;
void main() {
  vec4 diffuse = vDiffuse;
  vec4 specular = vSpecular;
  vec4 cur = diffuse;
  vec4 temp = vec4(0.0);
)";
  for (DWORD st = 0; st < kMaxTextureStages && k.stages[st].colorOp != D3DTOP_DISABLE; ++st)
    s += StageCode(k, static_cast<int>(st));
  if (k.specularEnable) s += "  cur.rgb = min(cur.rgb + specular.rgb, vec3(1.0));\n";
  if (k.fogEnable) {
    if (k.fogTableMode != D3DFOG_NONE)
      s += "  float f = " + FogFactor(k.fogTableMode, "vFogDepth") + ";\n";
    else
      s += "  float f = clamp(vFog, 0.0, 1.0);\n";
    s += "  cur.rgb = mix(uFogColor, cur.rgb, f);\n";
  }
  if (k.alphaFunc) {
    s += "  float a8 = floor(cur.a * 255.0 + 0.5);\n";
    s += std::string("  if (!(") + CompareOp(k.alphaFunc) + ")) discard;\n";
  }
  s += "  oColor = cur;\n}\n";
  return s;
}

}  // namespace halvex::gfx
