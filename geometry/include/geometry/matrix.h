#pragma once
// 4x4 single-precision matrices in column-major (OpenGL) order: element
// (row r, column c) at index c*4 + r, translation at 12, 13, 14.
#include <array>

namespace orb {

using Mat4 = std::array<float, 16>;
using Vec3 = std::array<float, 3>;

void set_identity(Mat4& m);
Mat4 identity_matrix();

// result = left x right. `result` may be `right` itself (each result column
// reads only the same column of `right`), never `left`.
void multiply(Mat4& result, const Mat4& left, const Mat4& right);

// Rotation by angle_deg counter-clockwise about (x, y, z).
void set_rotate(Mat4& m, float angle_deg, float x, float y, float z);
// m = m x rotation
void rotate(Mat4& m, float angle_deg, float x, float y, float z);
// m = m x translation, computed in place on column 3.
void translate(Mat4& m, float x, float y, float z);

void look_at(Mat4& m, const Vec3& eye, const Vec3& centre, const Vec3& up);
// Both leave m unchanged and return false for degenerate extents.
bool ortho(Mat4& m, float left, float right, float bottom, float top, float near, float far);
bool frustum(Mat4& m, float left, float right, float bottom, float top, float near, float far);

}  // namespace orb
