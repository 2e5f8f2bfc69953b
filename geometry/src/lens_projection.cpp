// The fisheye lens model: directions to picture points, and the per-vertex
// texture data of a mesh built from it.
#include <geometry/vertex_factory.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orb {
namespace {

constexpr double kPi = 3.14159265359;
constexpr float kInvTwoPi = 0.15915494f;  // angles are fractions of a turn / this
constexpr double kLogoPi = 3.1415925;     // degrees of the field for the automatic logo cap

struct Corner {
  float a, b;
};

}  // namespace

ProjectedRay VertexFactory::project_ray(float a, float b) const {
  const float ca = static_cast<float>(std::cos(a));
  return project_direction(ca * static_cast<float>(std::sin(b)), static_cast<float>(std::sin(a)),
                           ca * static_cast<float>(std::cos(b)));
}

ProjectedRay VertexFactory::project_upright(float elevation, float azimuth) const {
  // The lens looks along the horizon with the picture's top up: a direction
  // (right, up, forward) is (x, -y, z) in the lens, and the slot rotation's
  // fixed re-orientation M maps (dx, -dz, dy) to it.
  const float ce = std::cos(elevation);
  const float right = ce * std::sin(azimuth), up = std::sin(elevation), forward = ce * std::cos(azimuth);
  return project_direction(right, -forward, -up);
}

ProjectedRay VertexFactory::project_direction(float ray_x, float ray_y, float ray_z) const {
  const LensParams& lens = camera_.lenses[0];
  const auto& r = lens.rotation;
  const float p[3] = {kReferenceRadius * ray_x, kReferenceRadius * ray_y, kReferenceRadius * ray_z};
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
  // Calibration centres are pixel-centre coordinates (0 = the middle of the
  // first pixel); texture coordinates put that pixel's middle at 0.5 / width.
  out.u = (px + 0.5f) / width;
  out.v = 1.0f - (py + 0.5f) / height;
  const float left = px + 0.5f, top = py + 0.5f;  // from the picture's edges
  out.visible = theta < camera_.max_ray_angle_rad && distance < camera_.circle_radius && 0 < left && left < width &&
                0 < top && top < height;
  out.margin = std::max(0.0f, std::min({left, top, width - left, height - top, camera_.circle_radius - distance}));
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

  // Each cell on its own: a frame that cuts the circle hides some cells of
  // a row, never the rows beyond them. Rows are rings around the lens axis,
  // so once a whole ring is unseen every ring beyond it is too; the logo's
  // cap may begin there.
  // A wall camera's panorama runs along the horizon: row angles are
  // elevations from +90 (top) down, column angles azimuths from -180.
  const bool upright = upright_panorama_;
  auto corner = [&](float a, float b) {
    return upright ? project_upright(-a, b - static_cast<float>(kPi)) : project_ray(a, b);
  };
  int dark_row = lens_rows;
  for (int k = 0; k < lens_rows && dark_row == lens_rows; ++k) {
    bool any_seen = false;
    const float kv = static_cast<float>(k) * dv;
    const auto a0 = static_cast<float>((0.5 * kv - 0.25) / kInvTwoPi);
    const auto a1 = static_cast<float>((0.5 * (kv + dv) - 0.25) / kInvTwoPi);
    for (int l = 0; l < cols; ++l) {
      const float lu = static_cast<float>(l) * du;
      const float b0 = lu / kInvTwoPi;
      const float b1 = (lu + du) / kInvTwoPi;
      const ProjectedRay p00 = corner(a0, b0), p01 = corner(a0, b1), p10 = corner(a1, b0), p11 = corner(a1, b1);
      if (p00.visible + p01.visible + p10.visible + p11.visible < 2) continue;  // stays index 0: black
      any_seen = true;
      // Same corner order as the mesh cell: two triangles sharing the (a1,b0)-(a0,b1) edge.
      const ProjectedRay* projected[6] = {&p00, &p01, &p10, &p10, &p01, &p11};
      const std::size_t cell = static_cast<std::size_t>(k) * cols + l;
      for (int v = 0; v < 6; ++v) set_vertex(cell, v, projected[v]->u, projected[v]->v, 1.0f);
    }
    if (!any_seen) dark_row = k;
  }

  if (!logo_flag_) return;
  const int cap_start = dark_row;
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
