// Vector and matrix math with the conventions the game was written against:
// left-handed coordinates, row vectors transformed as v * M, and composite
// transforms read left to right (Rx * Ry * Rz * S * T: rotate about x first,
// translate last). GLM does the arithmetic underneath.
//
// Storage: Matrix keeps m(row, col) with the translation in row 3, laid out
// row after row in memory, which is exactly the 16 floats a shader expecting
// row vectors (or a column-major API given the transpose) wants.
#pragma once

#include <glm/glm.hpp>

namespace halvex {

using Vec2 = glm::vec2;
using Vec3 = glm::vec3;
using Vec4 = glm::vec4;

struct Matrix {
  // g[r][c] is row r, column c. GLM calls g[r] a column, so GLM's own
  // products run in the opposite order; the operators below hide that.
  glm::mat4 g{1.0f};

  float& operator()(int row, int col) { return g[row][col]; }
  float operator()(int row, int col) const { return g[row][col]; }
  const float* data() const { return &g[0][0]; }
  float* data() { return &g[0][0]; }

  // a * b applies a first, then b (row-vector order).
  friend Matrix operator*(const Matrix& a, const Matrix& b) { return Matrix{b.g * a.g}; }
  Matrix& operator*=(const Matrix& b) { return *this = *this * b; }
  friend bool operator==(const Matrix& a, const Matrix& b) { return a.g == b.g; }
};

// Row vector times matrix with w = 1, divided by the resulting w.
Vec3 Vec3TransformCoord(const Vec3& v, const Matrix& m);
// Row vector times the upper 3x3 (directions: no translation, no divide).
Vec3 Vec3TransformNormal(const Vec3& v, const Matrix& m);
// Row vector (w = 1) times matrix, all four components.
Vec4 Vec3Transform(const Vec3& v, const Matrix& m);
Vec4 Vec4Transform(const Vec4& v, const Matrix& m);

// Unit vector in the direction of v; the zero vector stays zero rather than
// turning into NaN.
Vec3 Vec3Normalize(const Vec3& v);
float Vec3Length(const Vec3& v);
float Vec3Dot(const Vec3& a, const Vec3& b);
Vec3 Vec3Cross(const Vec3& a, const Vec3& b);
Vec3 Vec3Lerp(const Vec3& a, const Vec3& b, float s);

Matrix MatrixIdentity();
Matrix MatrixTranslation(float x, float y, float z);
Matrix MatrixScaling(float x, float y, float z);
// Rotations by angle radians, clockwise when looking down the axis toward the
// origin (the left-handed sense).
Matrix MatrixRotationX(float angle);
Matrix MatrixRotationY(float angle);
Matrix MatrixRotationZ(float angle);
// Roll about z, then pitch about x, then yaw about y.
Matrix MatrixRotationYawPitchRoll(float yaw, float pitch, float roll);
// Rotation by angle about an arbitrary axis (normalised here).
Matrix MatrixRotationAxis(const Vec3& axis, float angle);
// Rx * Ry * Rz * S: the object orientation used throughout the game.
Matrix MatrixOrientation(float ax, float ay, float az, float sx, float sy, float sz);
Matrix MatrixMultiply(const Matrix& a, const Matrix& b);
Matrix MatrixTranspose(const Matrix& m);
// The inverse; a singular matrix yields the identity and *ok = false.
Matrix MatrixInverse(const Matrix& m, bool* ok = nullptr);

// Left-handed view matrix looking from eye toward at.
Matrix MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up);
// Left-handed perspective: depth 0 at zn, 1 at zf.
Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zn, float zf);
Matrix MatrixOrthoLH(float width, float height, float zn, float zf);

// Ray against triangle (p0, p1, p2), both faces. On a hit returns true with
// the barycentric u (weight of p1), v (weight of p2) and the distance along
// dir in units of dir's length (hits behind the origin are misses).
bool IntersectTri(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& origin,
                  const Vec3& dir, float* u, float* v, float* dist);

}  // namespace halvex
