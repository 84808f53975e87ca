#include "render/scene/draw_helpers.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

namespace halvex::render {

using namespace gfx;

namespace {


void DrawSubsetWith(Device* d, const CVarnMesh& mesh, DWORD i, bool ownTexture) {
  if (i < mesh.materials.size()) d->SetMaterial(&mesh.materials[i]);
  if (ownTexture) d->SetTexture(0, i < mesh.textures.size() ? mesh.textures[i] : nullptr);
  mesh.deviceMesh->DrawSubset(d, i);
}

float Alpha(const CVarnMesh& mesh, DWORD i) {
  return i < mesh.materials.size() ? mesh.materials[i].Diffuse.a : 1.0f;
}

}  // namespace

D3DMATRIX ToD3D(const Matrix& m) {
  D3DMATRIX out;
  std::memcpy(out.m, m.data(), sizeof out.m);
  return out;
}

Matrix BuildOrientation(float ax, float ay, float az, float sx, float sy, float sz) {
  return MatrixOrientation(ax, ay, az, sx, sy, sz);
}

void SetBillboardWorld(Device* d, const Camera& cam, const Vec3& position, const Matrix& m) {
  D3DMATRIX w = ToD3D(m * MatrixTranslation(position.x, position.y, position.z) * cam.view);
  d->SetTransform(D3DTS_WORLD, &w);
}

Matrix SetObjectWorld(Device* d, const Camera& cam, const Vec3& angles, const Vec3& position,
                      const Vec3& scale) {
  Matrix object = MatrixOrientation(angles.x, angles.y, angles.z, scale.x, scale.y, scale.z) *
                  MatrixTranslation(position.x, position.y, position.z);
  D3DMATRIX w = ToD3D(object * cam.view);
  d->SetTransform(D3DTS_WORLD, &w);
  return object;
}

void SetCamera(Camera& cam, const Vec3& eye, const Vec3& target) {
  cam.view = MatrixLookAtLH(eye, target, cam.up);
}

float FacingDot(const Vec3& from, const Vec3& to, const Vec3& direction) {
  return Vec3Dot(Vec3Normalize(to - from), Vec3Normalize(direction));
}

void FillQuad(VertexBuffer* quad, float left, float top, float right, float bottom) {
  if (!quad) return;
  BYTE* data = nullptr;
  if (FAILED(quad->Lock(0, 4 * sizeof(QuadVertex), &data, D3DLOCK_DISCARD)) || !data) return;
  const QuadVertex v[4] = {{left, bottom, 0, 0xffffffff, 0, 1},
                           {left, top, 0, 0xffffffff, 0, 0},
                           {right, bottom, 0, 0xffffffff, 1, 1},
                           {right, top, 0, 0xffffffff, 1, 0}};
  std::memcpy(data, v, sizeof v);
  quad->Unlock();
}

void DrawQuadAt(Device* d, const Camera& cam, const Vec3& position, const Matrix& m) {
  SetBillboardWorld(d, cam, position, m);
  d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
}

QuadBatch::QuadBatch(Device* d, const Camera& cam, const Matrix& m) : device_(d), cam_(cam), m_(m) {
  static const D3DMATRIX kIdentity = ToD3D(MatrixIdentity());
  d->SetTransform(D3DTS_WORLD, &kIdentity);
}

QuadBatch::~QuadBatch() { Flush(); }

void QuadBatch::Add(const Vec3& position) {
  // The corners of the shared quad at half-size 1, as its strip orders them,
  // through the world matrix the quad's own draw would have had.
  static const QuadVertex kCorners[4] = {{-1, -1, 0, 0xffffffff, 0, 1},
                                         {-1, 1, 0, 0xffffffff, 0, 0},
                                         {1, -1, 0, 0xffffffff, 1, 1},
                                         {1, 1, 0, 0xffffffff, 1, 0}};
  static const int kStripAsList[6] = {0, 1, 2, 2, 1, 3};
  if (count_ == kQuads) Flush();
  const Matrix world = m_ * MatrixTranslation(position.x, position.y, position.z) * cam_.view;
  QuadVertex placed[4];
  for (int i = 0; i < 4; ++i) {
    const Vec4 p = Vec3Transform(Vec3(kCorners[i].x, kCorners[i].y, kCorners[i].z), world);
    placed[i] = kCorners[i];
    placed[i].x = p.x;
    placed[i].y = p.y;
    placed[i].z = p.z;
  }
  QuadVertex* out = vertices_ + 6 * count_++;
  for (int i = 0; i < 6; ++i) out[i] = placed[kStripAsList[i]];
}

void QuadBatch::Flush() {
  if (count_ == 0) return;
  device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(2 * count_), vertices_, sizeof(QuadVertex));
  count_ = 0;
}

void DrawSplit(Device* d, const CVarnMesh& mesh, bool opaque, bool translucent) {
  if (!mesh.deviceMesh) return;
  for (DWORD i = 0; i < mesh.materialCount; ++i) {
    float a = Alpha(mesh, i);
    if (a == 0.0f) continue;
    if ((opaque && a >= 1.0f) || (translucent && a != 1.0f)) DrawSubsetWith(d, mesh, i, true);
  }
}

void DrawOpaque(Device* d, const CVarnMesh& mesh) {
  if (!mesh.deviceMesh) return;
  for (DWORD i = 0; i < mesh.materialCount; ++i)
    if (Alpha(mesh, i) != 0.0f) DrawSubsetWith(d, mesh, i, true);
}

void DrawPlain(Device* d, const CVarnMesh& mesh) {
  if (!mesh.deviceMesh) return;
  DWORD n = mesh.materialCount ? mesh.materialCount : 1;
  for (DWORD i = 0; i < n; ++i) mesh.deviceMesh->DrawSubset(d, i);
}

void DrawListed(Device* d, const CVarnMesh& mesh, int count, const int* subsets) {
  if (!mesh.deviceMesh) return;
  for (int k = 0; k < count; ++k) {
    DWORD i = static_cast<DWORD>(subsets[k]);
    if (i < mesh.materialCount && Alpha(mesh, i) != 0.0f) DrawSubsetWith(d, mesh, i, true);
  }
}

void DrawListedWith(Device* d, const CVarnMesh& mesh, int count, const int* subsets,
                    Texture* const* textures) {
  if (!mesh.deviceMesh) return;
  for (int k = 0; k < count; ++k) {
    DWORD i = static_cast<DWORD>(subsets[k]);
    if (i >= mesh.materialCount || Alpha(mesh, i) == 0.0f) continue;
    d->SetMaterial(&mesh.materials[i]);
    d->SetTexture(0, textures[k]);
    mesh.deviceMesh->DrawSubset(d, i);
  }
}

void DrawLightMapped(Device* d, const CVarnMesh& mesh, d3dutil::Effect* effect, d3dutil::Technique* technique,
                     Texture* second, const int* flags, bool opaque, bool translucent) {
  if (!mesh.deviceMesh || !effect || !technique) return;
  constexpr DWORD kTex0 = d3dutil::MakeFourCC("tex0"), kTex1 = d3dutil::MakeFourCC("tex1");
  auto wanted = [&](DWORD i) {
    const float a = Alpha(mesh, i);
    return a != 0.0f && ((opaque && a >= 1.0f) || (translucent && a != 1.0f));
  };
  auto lightMapped = [&](DWORD i) { return i < 16 && flags && flags[i] != 0; };
  // The plain subsets first, outside the technique: a pass leaves its second
  // stage on until End, and a plain subset drawn then would wear the
  // caustics too.
  for (DWORD i = 0; i < mesh.materialCount; ++i) {
    if (!wanted(i) || lightMapped(i)) continue;
    d->SetMaterial(&mesh.materials[i]);
    d->SetTexture(0, i < mesh.textures.size() ? mesh.textures[i] : nullptr);
    mesh.deviceMesh->DrawSubset(d, i);
  }
  effect->SetTexture(kTex1, second);
  UINT passes = 0;
  technique->Begin(&passes);
  for (DWORD i = 0; i < mesh.materialCount; ++i) {
    if (!wanted(i) || !lightMapped(i)) continue;
    d->SetMaterial(&mesh.materials[i]);
    for (UINT p = 0; p < passes; ++p) {
      effect->SetTexture(kTex0, i < mesh.textures.size() ? mesh.textures[i] : nullptr);
      technique->Pass(p);
      mesh.deviceMesh->DrawSubset(d, i);
    }
  }
  technique->End();
  effect->SetTexture(kTex1, nullptr);
  d->SetTexture(1, nullptr);
}

void BeginOverdrawCount(Device* d) {
  d->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0);
  d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
  d->SetRenderState(D3DRS_STENCILREF, 0);
  d->SetRenderState(D3DRS_STENCILMASK, 0);
  d->SetRenderState(D3DRS_STENCILWRITEMASK, 0xffffffff);
  d->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
  d->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_INCRSAT);
  d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCRSAT);
}

void ShowOverdraw(Device* d, VertexBuffer* overdrawQuad) {
  if (!overdrawQuad) return;
  d->SetRenderState(D3DRS_ZENABLE, FALSE);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR);
  d->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
  d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NOTEQUAL);
  d->SetRenderState(D3DRS_STENCILREF, 0);
  d->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  d->SetStreamSource(0, overdrawQuad, 20);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  const DWORD masks[3] = {1, 2, 4};
  const D3DCOLOR colours[3] = {0xff0000bb, 0xff00bb00, 0xffbb0000};
  for (int i = 0; i < 3; ++i) {
    d->SetRenderState(D3DRS_STENCILMASK, masks[i]);
    d->SetRenderState(D3DRS_TEXTUREFACTOR, colours[i]);
    d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
  }
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  d->SetRenderState(D3DRS_ZENABLE, TRUE);
  d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

bool CountOverdraw(Device* d, OverdrawCounts* counts) {
  std::vector<BYTE> stencil;
  UINT width = 0, height = 0;
  if (ReadBackStencil(d, &stencil, &width, &height) != S_OK || stencil.empty()) return false;
  const auto [low, high] = std::minmax_element(stencil.begin(), stencil.end());
  counts->minimum = *low;
  counts->maximum = *high;
  counts->increments = std::accumulate(stencil.begin(), stencil.end(), 0);
  return true;
}

D3DMATERIAL8 ColourMaterial(float r, float g, float b, float a) {
  D3DMATERIAL8 m{};
  m.Diffuse = {r, g, b, a};
  m.Ambient = {r, g, b, a};
  return m;
}

}  // namespace halvex::render
