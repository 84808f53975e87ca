#include "d3dutil/math/math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace halvex {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectNear(const Vec3& a, const Vec3& b, float eps = 1e-5f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

TEST(MathMatrix, StorageIsRowMajorWithTranslationInRowThree) {
  Matrix t = MatrixTranslation(1, 2, 3);
  EXPECT_EQ(t.data()[12], 1.0f);
  EXPECT_EQ(t.data()[13], 2.0f);
  EXPECT_EQ(t.data()[14], 3.0f);
  ExpectNear(Vec3TransformCoord(Vec3(1, 1, 1), t), Vec3(2, 3, 4));
  // Directions ignore translation.
  ExpectNear(Vec3TransformNormal(Vec3(1, 1, 1), t), Vec3(1, 1, 1));
}

TEST(MathMatrix, ProductsApplyLeftOperandFirst) {
  // Scale then translate: (1,0,0) -> (2,0,0) -> (2,5,0).
  Matrix st = MatrixScaling(2, 2, 2) * MatrixTranslation(0, 5, 0);
  ExpectNear(Vec3TransformCoord(Vec3(1, 0, 0), st), Vec3(2, 5, 0));
  // Translate then scale: (1,0,0) -> (1,5,0) -> (2,10,0).
  Matrix ts = MatrixTranslation(0, 5, 0) * MatrixScaling(2, 2, 2);
  ExpectNear(Vec3TransformCoord(Vec3(1, 0, 0), ts), Vec3(2, 10, 0));
}

TEST(MathMatrix, RotationsTurnTheLeftHandedWay) {
  // Left-handed: a quarter turn about y carries +z (ahead) to +x (right)...
  ExpectNear(Vec3TransformCoord(Vec3(0, 0, 1), MatrixRotationY(kPi / 2)), Vec3(1, 0, 0));
  // ... about x carries +y to +z, about z carries +x to +y.
  ExpectNear(Vec3TransformCoord(Vec3(0, 1, 0), MatrixRotationX(kPi / 2)), Vec3(0, 0, 1));
  ExpectNear(Vec3TransformCoord(Vec3(1, 0, 0), MatrixRotationZ(kPi / 2)), Vec3(0, 1, 0));
  // The tile models (z up) turned by -pi/2 about x come out y up.
  ExpectNear(Vec3TransformCoord(Vec3(0, 0, 1), MatrixRotationX(-kPi / 2)), Vec3(0, 1, 0));
}

TEST(MathMatrix, YawPitchRollAndOrientationCompose) {
  Matrix ypr = MatrixRotationYawPitchRoll(0.3f, 0.7f, -0.4f);
  Matrix expect = MatrixRotationZ(-0.4f) * MatrixRotationX(0.7f) * MatrixRotationY(0.3f);
  Vec3 p(1, 2, 3);
  ExpectNear(Vec3TransformCoord(p, ypr), Vec3TransformCoord(p, expect));
  Matrix o = MatrixOrientation(0.1f, 0.2f, 0.3f, 2, 3, 4);
  Vec3 manual = Vec3TransformCoord(
      Vec3TransformCoord(Vec3TransformCoord(Vec3TransformCoord(p, MatrixRotationX(0.1f)),
                                            MatrixRotationY(0.2f)),
                         MatrixRotationZ(0.3f)),
      MatrixScaling(2, 3, 4));
  ExpectNear(Vec3TransformCoord(p, o), manual, 1e-4f);
  // An axis rotation about y equals the y rotation.
  ExpectNear(Vec3TransformCoord(p, MatrixRotationAxis(Vec3(0, 2, 0), 0.9f)),
             Vec3TransformCoord(p, MatrixRotationY(0.9f)));
}

TEST(MathMatrix, InverseUndoesAndSingularIsReported) {
  Matrix m = MatrixOrientation(0.4f, -1.1f, 2.0f, 2, 1, 0.5f) * MatrixTranslation(4, -3, 7);
  bool ok = false;
  Matrix inv = MatrixInverse(m, &ok);
  EXPECT_TRUE(ok);
  Vec3 p(3, -8, 1.5f);
  ExpectNear(Vec3TransformCoord(Vec3TransformCoord(p, m), inv), p, 1e-4f);
  MatrixInverse(MatrixScaling(1, 0, 1), &ok);
  EXPECT_FALSE(ok);
  Matrix tr = MatrixTranspose(MatrixTranslation(1, 2, 3));
  EXPECT_EQ(tr(0, 3), 1.0f);
  EXPECT_EQ(tr(3, 0), 0.0f);
}

TEST(MathView, LookAtPutsTargetOnPositiveZ) {
  Vec3 eye(10, 5, -20), at(10, 5, 30);
  Matrix v = MatrixLookAtLH(eye, at, Vec3(0, 1, 0));
  ExpectNear(Vec3TransformCoord(at, v), Vec3(0, 0, 50), 1e-4f);
  // Something to the right of the viewer (+x when looking down +z) is at +x.
  EXPECT_GT(Vec3TransformCoord(Vec3(20, 5, 0), v).x, 0.0f);
  EXPECT_GT(Vec3TransformCoord(Vec3(10, 9, 0), v).y, 0.0f);
}

TEST(MathView, PerspectiveMapsNearAndFarToZeroAndOne) {
  Matrix p = MatrixPerspectiveFovLH(kPi / 4, 1.0f, 1.0f, 20000.0f);
  EXPECT_NEAR(Vec3TransformCoord(Vec3(0, 0, 1), p).z, 0.0f, 1e-6f);
  EXPECT_NEAR(Vec3TransformCoord(Vec3(0, 0, 20000), p).z, 1.0f, 1e-5f);
  // The top edge of a 45 degree field of view lands on y = 1.
  float t = std::tan(kPi / 8);
  EXPECT_NEAR(Vec3TransformCoord(Vec3(0, 10 * t, 10), p).y, 1.0f, 1e-5f);
  Matrix o = MatrixOrthoLH(800, 600, 0, 1);
  ExpectNear(Vec3TransformCoord(Vec3(400, -300, 1), o), Vec3(1, -1, 1));
}

TEST(MathVector, NormalizeKeepsZeroFinite) {
  ExpectNear(Vec3Normalize(Vec3(3, 0, 4)), Vec3(0.6f, 0, 0.8f));
  Vec3 z = Vec3Normalize(Vec3(0, 0, 0));
  EXPECT_EQ(z, Vec3(0, 0, 0));
  ExpectNear(Vec3Cross(Vec3(1, 0, 0), Vec3(0, 1, 0)), Vec3(0, 0, 1));
  ExpectNear(Vec3Lerp(Vec3(0, 0, 0), Vec3(2, 4, 6), 0.25f), Vec3(0.5f, 1, 1.5f));
}

TEST(MathRay, IntersectTriReportsDistanceAndBarycentrics) {
  Vec3 a(0, 0, 0), b(10, 0, 0), c(0, 10, 0);
  float u = -1, v = -1, d = -1;
  ASSERT_TRUE(IntersectTri(a, b, c, Vec3(2, 3, -5), Vec3(0, 0, 2), &u, &v, &d));
  EXPECT_NEAR(u, 0.2f, 1e-6f);
  EXPECT_NEAR(v, 0.3f, 1e-6f);
  EXPECT_NEAR(d, 2.5f, 1e-6f);  // in units of the direction's length
  // Both faces count; behind the origin and outside the edges do not.
  EXPECT_TRUE(IntersectTri(a, b, c, Vec3(2, 3, 5), Vec3(0, 0, -1), &u, &v, &d));
  EXPECT_FALSE(IntersectTri(a, b, c, Vec3(2, 3, 5), Vec3(0, 0, 1), &u, &v, &d));
  EXPECT_FALSE(IntersectTri(a, b, c, Vec3(8, 8, -5), Vec3(0, 0, 1), &u, &v, &d));
  EXPECT_FALSE(IntersectTri(a, b, c, Vec3(2, 3, -5), Vec3(1, 0, 0), &u, &v, &d));
}

}  // namespace
}  // namespace halvex
