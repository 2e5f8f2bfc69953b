#include <geometry/matrix.h>

#include <cassert>
#include <cmath>

namespace orb {
namespace {

constexpr float kDegToRad = 0.017453292f;

Vec3 normalised(const Vec3& v) {
  const float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len == 0) return v;
  return {v[0] / len, v[1] / len, v[2] / len};
}

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

bool all_finite(std::initializer_list<float> values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

void set_identity(Mat4& m) {
  m.fill(0.0f);
  m[0] = m[5] = m[10] = m[15] = 1.0f;
}

Mat4 identity_matrix() {
  Mat4 m;
  set_identity(m);
  return m;
}

void multiply(Mat4& result, const Mat4& left, const Mat4& right) {
  assert(&result != &left);
  for (int j = 0; j < 4; ++j) {
    const float c0 = right[j * 4], c1 = right[j * 4 + 1], c2 = right[j * 4 + 2], c3 = right[j * 4 + 3];
    for (int r = 0; r < 4; ++r) {
      result[j * 4 + r] = left[r] * c0 + left[4 + r] * c1 + left[8 + r] * c2 + left[12 + r] * c3;
    }
  }
}

void set_rotate(Mat4& m, float angle_deg, float x, float y, float z) {
  const float a = angle_deg * kDegToRad;
  const float s = std::sin(a);
  const float c = std::cos(a);
  m.fill(0.0f);
  m[15] = 1.0f;
  if (x == 1 && y == 0 && z == 0) {
    m[0] = 1;
    m[5] = c;
    m[6] = s;
    m[9] = -s;
    m[10] = c;
  } else if (x == 0 && y == 1 && z == 0) {
    m[0] = c;
    m[2] = -s;
    m[8] = s;
    m[10] = c;
    m[5] = 1;
  } else if (x == 0 && y == 0 && z == 1) {
    m[0] = c;
    m[1] = s;
    m[4] = -s;
    m[5] = c;
    m[10] = 1;
  } else {
    const float len = std::sqrt(x * x + y * y + z * z);
    if (len != 1.0f && len != 0.0f) {
      x /= len;
      y /= len;
      z /= len;
    }
    const float nc = 1.0f - c;
    m[0] = x * x * nc + c;
    m[1] = x * y * nc + z * s;
    m[2] = x * z * nc - y * s;
    m[4] = x * y * nc - z * s;
    m[5] = y * y * nc + c;
    m[6] = y * z * nc + x * s;
    m[8] = x * z * nc + y * s;
    m[9] = y * z * nc - x * s;
    m[10] = z * z * nc + c;
  }
}

void rotate(Mat4& m, float angle_deg, float x, float y, float z) {
  Mat4 r;
  set_rotate(r, angle_deg, x, y, z);
  multiply(r, m, r);
  m = r;
}

void translate(Mat4& m, float x, float y, float z) {
  for (int i = 0; i < 4; ++i) m[12 + i] += m[i] * x + m[4 + i] * y + m[8 + i] * z;
}

void look_at(Mat4& m, const Vec3& eye, const Vec3& centre, const Vec3& up) {
  const Vec3 f = normalised({centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]});
  const Vec3 s = normalised(cross(f, up));
  const Vec3 u = cross(s, f);
  m.fill(0.0f);
  m[0] = s[0];
  m[4] = s[1];
  m[8] = s[2];
  m[1] = u[0];
  m[5] = u[1];
  m[9] = u[2];
  m[2] = -f[0];
  m[6] = -f[1];
  m[10] = -f[2];
  m[15] = 1.0f;
  translate(m, -eye[0], -eye[1], -eye[2]);
}

bool ortho(Mat4& m, float left, float right, float bottom, float top, float near, float far) {
  if (top == bottom || near == far || right == left) return false;
  if (!all_finite({left, right, bottom, top, near, far})) return false;
  m.fill(0.0f);
  m[0] = 2 / (right - left);
  m[5] = 2 / (top - bottom);
  m[10] = -2 / (far - near);
  m[12] = -(right + left) / (right - left);
  m[13] = -(top + bottom) / (top - bottom);
  m[14] = -(far + near) / (far - near);
  m[15] = 1;
  return true;
}

bool frustum(Mat4& m, float left, float right, float bottom, float top, float near, float far) {
  if (top == bottom || near == far || near <= 0 || far <= 0 || right == left) return false;
  if (!all_finite({left, right, bottom, top, near, far})) return false;
  m.fill(0.0f);
  m[0] = 2 * near / (right - left);
  m[5] = 2 * near / (top - bottom);
  m[8] = (right + left) / (right - left);
  m[9] = (top + bottom) / (top - bottom);
  m[10] = (far + near) / (near - far);
  m[11] = -1;
  m[14] = 2 * far * near / (near - far);
  return true;
}

}  // namespace orb
