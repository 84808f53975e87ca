#include "d3dutil/math/math.h"

#include <cmath>

namespace halvex {

Vec4 Vec4Transform(const Vec4& v, const Matrix& m) {
  // Row vector times matrix: GLM's matrix * column vector over our storage.
  return m.g * v;
}

Vec4 Vec3Transform(const Vec3& v, const Matrix& m) { return Vec4Transform(Vec4(v, 1.0f), m); }

Vec3 Vec3TransformCoord(const Vec3& v, const Matrix& m) {
  Vec4 r = Vec3Transform(v, m);
  if (r.w == 0.0f) return Vec3(r);
  return Vec3(r) / r.w;
}

Vec3 Vec3TransformNormal(const Vec3& v, const Matrix& m) { return Vec3(m.g * Vec4(v, 0.0f)); }

Vec3 Vec3Normalize(const Vec3& v) {
  float len = glm::length(v);
  if (len == 0.0f) return Vec3(0.0f);
  return v / len;
}

float Vec3Length(const Vec3& v) { return glm::length(v); }
float Vec3Dot(const Vec3& a, const Vec3& b) { return glm::dot(a, b); }
Vec3 Vec3Cross(const Vec3& a, const Vec3& b) { return glm::cross(a, b); }
Vec3 Vec3Lerp(const Vec3& a, const Vec3& b, float s) { return a + s * (b - a); }

Matrix MatrixIdentity() { return Matrix{}; }

Matrix MatrixTranslation(float x, float y, float z) {
  Matrix m;
  m(3, 0) = x;
  m(3, 1) = y;
  m(3, 2) = z;
  return m;
}

Matrix MatrixScaling(float x, float y, float z) {
  Matrix m;
  m(0, 0) = x;
  m(1, 1) = y;
  m(2, 2) = z;
  return m;
}

Matrix MatrixRotationX(float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  Matrix m;
  m(1, 1) = c;
  m(1, 2) = s;
  m(2, 1) = -s;
  m(2, 2) = c;
  return m;
}

Matrix MatrixRotationY(float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  Matrix m;
  m(0, 0) = c;
  m(0, 2) = -s;
  m(2, 0) = s;
  m(2, 2) = c;
  return m;
}

Matrix MatrixRotationZ(float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  Matrix m;
  m(0, 0) = c;
  m(0, 1) = s;
  m(1, 0) = -s;
  m(1, 1) = c;
  return m;
}

Matrix MatrixRotationYawPitchRoll(float yaw, float pitch, float roll) {
  return MatrixRotationZ(roll) * MatrixRotationX(pitch) * MatrixRotationY(yaw);
}

Matrix MatrixRotationAxis(const Vec3& axis, float angle) {
  Vec3 n = Vec3Normalize(axis);
  float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
  Matrix m;
  m(0, 0) = t * n.x * n.x + c;
  m(0, 1) = t * n.x * n.y + s * n.z;
  m(0, 2) = t * n.x * n.z - s * n.y;
  m(1, 0) = t * n.x * n.y - s * n.z;
  m(1, 1) = t * n.y * n.y + c;
  m(1, 2) = t * n.y * n.z + s * n.x;
  m(2, 0) = t * n.x * n.z + s * n.y;
  m(2, 1) = t * n.y * n.z - s * n.x;
  m(2, 2) = t * n.z * n.z + c;
  return m;
}

Matrix MatrixOrientation(float ax, float ay, float az, float sx, float sy, float sz) {
  return MatrixRotationX(ax) * MatrixRotationY(ay) * MatrixRotationZ(az) * MatrixScaling(sx, sy, sz);
}

Matrix MatrixMultiply(const Matrix& a, const Matrix& b) { return a * b; }

// Transposing or inverting the stored GLM matrix transposes or inverts ours
// as well, since the storage is just the transpose of GLM's reading.
Matrix MatrixTranspose(const Matrix& m) { return Matrix{glm::transpose(m.g)}; }

Matrix MatrixInverse(const Matrix& m, bool* ok) {
  float det = glm::determinant(m.g);
  bool good = det != 0.0f && std::isfinite(det);
  if (ok) *ok = good;
  if (!good) return Matrix{};
  return Matrix{glm::inverse(m.g)};
}

Matrix MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
  Vec3 z = Vec3Normalize(at - eye);
  Vec3 x = Vec3Normalize(glm::cross(up, z));
  Vec3 y = glm::cross(z, x);
  Matrix m;
  for (int i = 0; i < 3; ++i) {
    m(i, 0) = x[i];
    m(i, 1) = y[i];
    m(i, 2) = z[i];
  }
  m(3, 0) = -glm::dot(x, eye);
  m(3, 1) = -glm::dot(y, eye);
  m(3, 2) = -glm::dot(z, eye);
  return m;
}

Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zn, float zf) {
  float yScale = 1.0f / std::tan(fovY / 2.0f);
  Matrix m{glm::mat4(0.0f)};
  m(0, 0) = yScale / aspect;
  m(1, 1) = yScale;
  m(2, 2) = zf / (zf - zn);
  m(2, 3) = 1.0f;
  m(3, 2) = -zn * zf / (zf - zn);
  return m;
}

Matrix MatrixOrthoLH(float width, float height, float zn, float zf) {
  Matrix m;
  m(0, 0) = 2.0f / width;
  m(1, 1) = 2.0f / height;
  m(2, 2) = 1.0f / (zf - zn);
  m(3, 2) = zn / (zn - zf);
  return m;
}

bool IntersectTri(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& origin,
                  const Vec3& dir, float* u, float* v, float* dist) {
  Vec3 e1 = p1 - p0, e2 = p2 - p0;
  Vec3 pv = glm::cross(dir, e2);
  float det = glm::dot(e1, pv);
  if (det == 0.0f) return false;
  float inv = 1.0f / det;
  Vec3 tv = origin - p0;
  float uu = glm::dot(tv, pv) * inv;
  if (uu < 0.0f || uu > 1.0f) return false;
  Vec3 qv = glm::cross(tv, e1);
  float vv = glm::dot(dir, qv) * inv;
  if (vv < 0.0f || uu + vv > 1.0f) return false;
  float t = glm::dot(e2, qv) * inv;
  if (t < 0.0f) return false;
  if (u) *u = uu;
  if (v) *v = vv;
  if (dist) *dist = t;
  return true;
}

}  // namespace halvex
