#include <geometry/matrix.h>

#include <gtest/gtest.h>

#include <cmath>

namespace orb {
namespace {

std::array<float, 4> apply(const Mat4& m, std::array<float, 4> p) {
  std::array<float, 4> out{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r] += m[c * 4 + r] * p[c];
  return out;
}

void expect_near(const Mat4& a, const Mat4& b, float tol = 1e-6f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tol) << "element " << i;
}

Mat4 sample(float base) {
  Mat4 m;
  for (int i = 0; i < 16; ++i) m[i] = base + static_cast<float>(i * i % 7) - 2.0f * static_cast<float>(i % 3);
  return m;
}

TEST(Matrix, MultiplyIsColumnMajorAndMayWriteIntoItsRightOperand) {
  const Mat4 a = sample(1), b = sample(-2);
  Mat4 expected;
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a[k * 4 + r] * b[c * 4 + k];
      expected[c * 4 + r] = s;
    }
  Mat4 result;
  multiply(result, a, b);
  EXPECT_EQ(result, expected);
  Mat4 in_place = b;
  multiply(in_place, a, in_place);
  EXPECT_EQ(in_place, expected);
  multiply(result, identity_matrix(), a);
  EXPECT_EQ(result, a);
}

TEST(Matrix, RotationsAreOrthonormalAndTurnCounterClockwise) {
  const std::array<float, 3> axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 3}, {0, 0.6f, 0.8f}};
  for (const auto& axis : axes) {
    for (float angle : {-170.0f, -30.0f, 0.0f, 45.0f, 90.0f, 333.0f}) {
      Mat4 r;
      set_rotate(r, angle, axis[0], axis[1], axis[2]);
      Mat4 rt;
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) rt[i * 4 + j] = r[j * 4 + i];
      Mat4 product;
      multiply(product, r, rt);
      expect_near(product, identity_matrix(), 1e-5f);
      const float det = r[0] * (r[5] * r[10] - r[9] * r[6]) - r[4] * (r[1] * r[10] - r[9] * r[2]) +
                        r[8] * (r[1] * r[6] - r[5] * r[2]);
      EXPECT_NEAR(det, 1.0f, 1e-5f);
    }
  }
  Mat4 z;
  set_rotate(z, 90, 0, 0, 1);
  const auto p = apply(z, {1, 0, 0, 1});
  EXPECT_NEAR(p[0], 0, 1e-6);
  EXPECT_NEAR(p[1], 1, 1e-6);
}

TEST(Matrix, GeneralAxisAgreesWithTheDedicatedAxes) {
  // (0, 0, 2) is not an exact unit axis: it goes through the general formula.
  for (float angle : {-75.0f, 20.0f, 135.0f}) {
    Mat4 general, dedicated;
    set_rotate(general, angle, 0, 0, 2);
    set_rotate(dedicated, angle, 0, 0, 1);
    expect_near(general, dedicated);
    set_rotate(general, angle, 3, 0, 0);
    set_rotate(dedicated, angle, 1, 0, 0);
    expect_near(general, dedicated);
    set_rotate(general, angle, 0, 0.5f, 0);
    set_rotate(dedicated, angle, 0, 1, 0);
    expect_near(general, dedicated);
  }
}

TEST(Matrix, RotateAndTranslatePostMultiply) {
  const Mat4 base = sample(0.5f);
  Mat4 rotated = base, r, expected;
  rotate(rotated, 37, 0, 1, 0);
  set_rotate(r, 37, 0, 1, 0);
  multiply(expected, base, r);
  expect_near(rotated, expected, 1e-5f);

  Mat4 translated = base, t = identity_matrix();
  translate(translated, 1.5f, -2, 3);
  t[12] = 1.5f;
  t[13] = -2;
  t[14] = 3;
  multiply(expected, base, t);
  expect_near(translated, expected, 1e-5f);
}

TEST(Matrix, LookAtAlongTheAxisIsATranslation) {
  Mat4 view;
  look_at(view, {0, 0, 1.5f}, {0, 0, -4}, {0, 1, 0});
  Mat4 expected = identity_matrix();
  expected[14] = -1.5f;
  expect_near(view, expected);
}

TEST(Matrix, ProjectionsMapTheirBoxToClipSpace) {
  Mat4 m;
  ASSERT_TRUE(ortho(m, -2, 2, -1, 1, 1, 50));
  auto p = apply(m, {2, -1, -1, 1});
  EXPECT_NEAR(p[0], 1, 1e-6);
  EXPECT_NEAR(p[1], -1, 1e-6);
  EXPECT_NEAR(p[2], -1, 1e-6);

  ASSERT_TRUE(frustum(m, -1.7f, 1.7f, -0.9f, 0.9f, 1.75f, 50));
  p = apply(m, {1.7f, 0.9f, -1.75f, 1});
  EXPECT_NEAR(p[0] / p[3], 1, 1e-6);
  EXPECT_NEAR(p[1] / p[3], 1, 1e-6);
  EXPECT_NEAR(p[2] / p[3], -1, 1e-5);
  p = apply(m, {0, 0, -50, 1});
  EXPECT_NEAR(p[2] / p[3], 1, 1e-5);
}

TEST(Matrix, DegenerateProjectionsLeaveTheMatrixAlone) {
  const Mat4 before = sample(3);
  Mat4 m = before;
  EXPECT_FALSE(ortho(m, -1, 1, 2, 2, 1, 50));
  EXPECT_FALSE(ortho(m, -1, 1, -1, 1, 5, 5));
  EXPECT_FALSE(frustum(m, -1, 1, -1, 1, 0, 50));
  EXPECT_FALSE(frustum(m, -1, 1, -1, 1, 1, -50));
  EXPECT_FALSE(frustum(m, -1, 1, 1, 1, 1, 50));
  EXPECT_FALSE(frustum(m, -1, 1, -NAN, NAN, 1, 50));
  EXPECT_EQ(m, before);
}

}  // namespace
}  // namespace orb
