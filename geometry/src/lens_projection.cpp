// The fisheye lens model: directions to picture points, and the per-vertex
// texture data of a mesh built from it.
#include <geometry/vertex_factory.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orb {
namespace {

constexpr double kPi = 3.14159265359;
constexpr float kInvTwoPi = 0.15915494f;   // angles are fractions of a turn / this
constexpr double kLogoPi = 3.1415925;      // degrees of the field for the automatic logo cap

struct Corner {
  float a, b;
};

}  // namespace

ProjectedRay VertexFactory::project_ray(float a, float b) const {
  const LensParams& lens = camera_.lenses[0];
  const auto& r = lens.rotation;
  const float ca = static_cast<float>(std::cos(a));
  const float p[3] = {kReferenceRadius * ca * static_cast<float>(std::sin(b)),
                      kReferenceRadius * static_cast<float>(std::sin(a)),
                      kReferenceRadius * ca * static_cast<float>(std::cos(b))};
  const float x = r[0] * p[0] + r[1] * p[1] + r[2] * p[2];
  const float y = r[3] * p[0] + r[4] * p[1] + r[5] * p[2];
  const float z = r[6] * p[0] + r[7] * p[1] + r[8] * p[2];

  const float l = std::min(std::sqrt(x * x + y * y) / kReferenceRadius, 1.0f);
  float theta = static_cast<float>(std::asin(l));
  if (z < 0) theta = static_cast<float>(kPi - theta);  // behind the lens plane

  const float radius = static_cast<float>(
      kReferenceRadius * (lens.c1 * theta + lens.c3 * std::pow(theta, 3.0) + lens.c5 * std::pow(theta, 5.0)));
  const double phi = std::atan2(y, x);
  const float px = lens.centre_x + radius * static_cast<float>(std::cos(phi));
  const float py = lens.centre_y + radius * static_cast<float>(std::sin(phi));
  const float dx = px - lens.centre_x;
  const float dy = py - lens.centre_y;
  const float distance = std::sqrt(dx * dx + dy * dy);

  const auto width = static_cast<float>(camera_.image_width);
  const auto height = static_cast<float>(camera_.image_height);
  ProjectedRay out;
  if (!std::isfinite(px) || !std::isfinite(py)) return out;  // absurd lens values: unseen, coordinates 0
  out.u = px / width;
  out.v = 1.0f - py / height;
  const float tx = std::trunc(px);
  const float ty = std::trunc(py);
  out.visible = theta < camera_.max_ray_angle_rad && distance < camera_.circle_radius && 0 < tx &&
                tx < width && 0 < ty && ty < height;
  out.margin = std::max(0.0f, std::min({px, py, width - px, height - py, camera_.circle_radius - distance}));
  return out;
}

void VertexFactory::compute_texture_coords(int cols, int rows) {
  if (cols <= 0 || rows <= 0) {
    clear_texture_data();
    return;
  }
  const std::size_t cells = static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows);
  texture_coords_.assign(cells * 24, 0.0f);
  texture_indices_.assign(cells * 6, 0.0f);
  blend_weights_.assign(cells * 6, 0.0f);
  const float du = 1.0f / static_cast<float>(cols);
  const float dv = 1.0f / static_cast<float>(rows);

  auto set_vertex = [&](std::size_t cell, int vertex, float x, float y, float index) {
    const std::size_t v = cell * 6 + static_cast<std::size_t>(vertex);
    texture_coords_[v * 4] = x;
    texture_coords_[v * 4 + 1] = y;
    texture_indices_[v] = index;
  };

  int cap_rows = 0;
  if (logo_flag_) {
    if (logo_angle_deg_ < 0) {
      if (camera_.camera_count == 1) {
        // 180 minus half the field of view in whole degrees; clamped so that
        // absurd angles cannot overflow the conversion.
        const auto fov_deg = static_cast<float>(camera_.max_ray_angle_rad * 2 / kLogoPi * 180);
        const float half = std::clamp(fov_deg * 0.5f, -1e6f, 1e6f);
        logo_angle_deg_ = 180 - static_cast<int>(std::trunc(half));
      } else {
        logo_angle_deg_ = 2 * kStepDeg;
      }
    }
    const std::int64_t angle = logo_angle_deg_;
    const std::int64_t rounded = (kStepDeg + angle - angle % kStepDeg) / kStepDeg;
    // A negative cap (a field above 360 degrees) would run the lens rows past
    // the mesh; no cap at all is the sound reading.
    cap_rows = static_cast<int>(std::clamp<std::int64_t>(rounded, 0, rows));
  }
  const int lens_rows = rows - cap_rows;

  int cut_row = -1;
  for (int k = 0; k < lens_rows && cut_row < 0; ++k) {
    const float kv = static_cast<float>(k) * dv;
    const auto a0 = static_cast<float>((0.5 * kv - 0.25) / kInvTwoPi);
    const auto a1 = static_cast<float>((0.5 * (kv + dv) - 0.25) / kInvTwoPi);
    for (int l = 0; l < cols; ++l) {
      const float lu = static_cast<float>(l) * du;
      const float b0 = lu / kInvTwoPi;
      const float b1 = (lu + du) / kInvTwoPi;
      const ProjectedRay p00 = project_ray(a0, b0);
      const ProjectedRay p01 = project_ray(a0, b1);
      const ProjectedRay p10 = project_ray(a1, b0);
      const ProjectedRay p11 = project_ray(a1, b1);
      if (p00.visible + p01.visible + p10.visible + p11.visible < 2) {
        const std::size_t first = static_cast<std::size_t>(k) * cols * 6;
        std::fill_n(texture_indices_.begin() + static_cast<std::ptrdiff_t>(first), cols * 6, 0.0f);
        cut_row = k;
        break;
      }
      // Same corner order as the mesh cell: two triangles sharing the (a1,b0)-(a0,b1) edge.
      const ProjectedRay* projected[6] = {&p00, &p01, &p10, &p10, &p01, &p11};
      const std::size_t cell = static_cast<std::size_t>(k) * cols + l;
      for (int v = 0; v < 6; ++v) set_vertex(cell, v, projected[v]->u, projected[v]->v, 1.0f);
    }
  }

  if (!logo_flag_) return;
  const int cap_start = cut_row >= 0 ? cut_row : lens_rows;
  const int cap_count = rows - cap_start;
  if (cap_count <= 0) return;
  const float dc = 1.0f / static_cast<float>(cap_count);
  auto logo_at = [](float p, float r) {
    return Corner{0.5f + r * static_cast<float>(std::cos(p)), 1.0f - (0.5f + r * static_cast<float>(std::sin(p)))};
  };
  for (int j = 0; j < cap_count; ++j) {
    const float outer = 0.5f * (1.0f - static_cast<float>(j) * dc);
    const float inner = 0.5f * (1.0f - static_cast<float>(j + 1) * dc);
    for (int c = 0; c < cols; ++c) {
      const float p0 = (static_cast<float>(c) * du - 0.5f) / kInvTwoPi;
      const float p1 = (static_cast<float>(c + 1) * du - 0.5f) / kInvTwoPi;
      const Corner t[6] = {logo_at(p0, outer), logo_at(p1, outer), logo_at(p0, inner),
                           logo_at(p0, inner), logo_at(p1, outer), logo_at(p1, inner)};
      const std::size_t cell = static_cast<std::size_t>(cap_start + j) * cols + c;
      for (int v = 0; v < 6; ++v) set_vertex(cell, v, t[v].a, t[v].b, 4.0f);
    }
  }
}

}  // namespace orb
