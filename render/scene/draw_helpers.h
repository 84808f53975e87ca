// The drawing helpers every pass uses: world transforms that fold in the
// camera (the device's view transform stays identity), the shared quad and
// the mesh subset drawers.
#pragma once

#include "content/varn_mesh.h"
#include "d3dutil/effect/effect.h"
#include "d3dutil/math/math.h"
#include "platform/gfx/device.h"

namespace halvex::render {

// The camera matrices the frame keeps; every world transform is
// object x view.
struct Camera {
  Matrix view = MatrixIdentity();
  Vec3 up{0.0f, 1.0f, 0.0f};
};

gfx::D3DMATRIX ToD3D(const Matrix& m);

// The shared quad's vertex: position, colour, texture coordinates.
struct QuadVertex {
  float x, y, z;
  gfx::D3DCOLOR colour;
  float u, v;
};
static_assert(sizeof(QuadVertex) == 24);

// out = Rx * Ry * Rz * S.
Matrix BuildOrientation(float ax, float ay, float az, float sx, float sy, float sz);
void SetBillboardWorld(gfx::Device* d, const Camera& cam, const Vec3& position, const Matrix& m);
// world = Rx * Ry * Rz * S * T * view; returns the object part (before view).
Matrix SetObjectWorld(gfx::Device* d, const Camera& cam, const Vec3& angles, const Vec3& position,
                      const Vec3& scale);
void SetCamera(Camera& cam, const Vec3& eye, const Vec3& target);

// Many copies of the shared quad at half-size 1, each through m at its own
// position, drawn together: the corners are placed on the CPU and the world
// transform is left at identity. What is added is drawn by the destructor.
class QuadBatch {
 public:
  QuadBatch(gfx::Device* d, const Camera& cam, const Matrix& m);
  ~QuadBatch();
  QuadBatch(const QuadBatch&) = delete;
  QuadBatch& operator=(const QuadBatch&) = delete;
  void Add(const Vec3& position);

 private:
  void Flush();
  static constexpr int kQuads = 256;  // a draw's worth, kept on the stack
  gfx::Device* device_;
  const Camera& cam_;
  const Matrix& m_;
  int count_ = 0;
  QuadVertex vertices_[6 * kQuads];
};
float FacingDot(const Vec3& from, const Vec3& to, const Vec3& direction);

// Rewrites the shared quad's corners (z = 0), white, with the usual
// texture coordinates; the strip order is left-bottom, left-top,
// right-bottom, right-top.
void FillQuad(gfx::VertexBuffer* quad, float left, float top, float right, float bottom);
void DrawQuadAt(gfx::Device* d, const Camera& cam, const Vec3& position, const Matrix& m);

// Subset drawers. A subset whose diffuse alpha is exactly 0 is never drawn
// by the drawers that set materials.
void DrawSplit(gfx::Device* d, const CVarnMesh& mesh, bool opaque, bool translucent);
void DrawOpaque(gfx::Device* d, const CVarnMesh& mesh);
void DrawPlain(gfx::Device* d, const CVarnMesh& mesh);
void DrawListed(gfx::Device* d, const CVarnMesh& mesh, int count, const int* subsets);
void DrawListedWith(gfx::Device* d, const CVarnMesh& mesh, int count, const int* subsets,
                    gfx::Texture* const* textures);

// A tile through the light-map effect: materials flagged non-zero in
// lightMapFlags (16 entries) run every pass of the technique with their own
// texture as tex0 and `second` (the caustics frame) as tex1; the others are
// drawn once with their own texture.
void DrawLightMapped(gfx::Device* d, const CVarnMesh& mesh, d3dutil::Effect* effect,
                     d3dutil::Technique* technique, gfx::Texture* second, const int* lightMapFlags,
                     bool opaque, bool translucent);

// The debug overdraw view: every drawn pixel counts up in the stencil
// buffer, then the low three bits of the count show as blue, green and red
// over the screen (through the pre-transformed, coloured overdraw quad).
void BeginOverdrawCount(gfx::Device* d);
void ShowOverdraw(gfx::Device* d, gfx::VertexBuffer* overdrawQuad);

// The scan's read-out: the fewest and the most times any pixel was drawn
// (the count saturates at 255) and the increments over the whole screen,
// i.e. every pixel drawn, visible or hidden. False, leaving counts alone,
// when the stencil cannot be read.
struct OverdrawCounts {
  int minimum = 0, maximum = 0, increments = 0;
};
bool CountOverdraw(gfx::Device* d, OverdrawCounts* counts);

// A looping texture-sequence counter (caustics, shine): it advances by
// rate x timeScale a frame and starts again at 0 on reaching its frame
// count. The fraction is kept between frames, so the sequence plays at the
// same speed at any frame rate (a truncated step would stand still once a
// frame's step drops below 1).
class AnimationCounter {
 public:
  AnimationCounter(float rate, int frames) : rate_(rate), frames_(frames) {}
  void Advance(float timeScale) {
    value_ += rate_ * timeScale;
    if (!(value_ >= 0.0f && value_ < static_cast<float>(frames_))) value_ = 0.0f;
  }
  int Frame() const { return static_cast<int>(value_); }

 private:
  float rate_;
  int frames_;
  float value_ = 0.0f;
};

// Material with diffuse = ambient = (r, g, b, a).
gfx::D3DMATERIAL8 ColourMaterial(float r, float g, float b, float a);

}  // namespace halvex::render
