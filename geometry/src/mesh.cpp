// Positions of the three mesh shapes: the source quad, the flat panorama
// grid and the sphere. Texture data comes from the lens model.
#include <common/debug_trace.h>
#include <geometry/vertex_factory.h>

#include <cmath>
#include <cstdio>

namespace orb {
namespace {

constexpr double kPi = 3.14159265359;

void push(std::vector<float>& v, float x, float y, float z) {
  v.push_back(x);
  v.push_back(y);
  v.push_back(z);
}

// Two triangles, corners (top, first), (top, second), (bottom, first),
// (bottom, first), (top, second), (bottom, second).
template <typename Point>
void push_cell(std::vector<float>& v, Point top_first, Point top_second, Point bottom_first, Point bottom_second) {
  for (const Point& p : {top_first, top_second, bottom_first, bottom_first, top_second, bottom_second}) {
    push(v, p[0], p[1], p[2]);
  }
}

std::array<float, 3> sphere_point(int lat_deg, int lon_deg) {
  const double phi = lat_deg * kPi / 180;
  const double lambda = lon_deg * kPi / 180;
  constexpr double r = VertexFactory::kSphereRadius;
  return {static_cast<float>(r * std::cos(phi) * std::cos(lambda)), static_cast<float>(r * std::sin(phi)),
          static_cast<float>(r * std::cos(phi) * std::sin(lambda))};
}

}  // namespace

void VertexFactory::clear_texture_data() {
  // Released rather than cleared: an old mesh's data must not linger.
  std::vector<float>().swap(texture_coords_);
  std::vector<float>().swap(texture_indices_);
  std::vector<float>().swap(blend_weights_);
}

const float* VertexFactory::generate_mesh(int mode, bool logo, int logo_angle_deg) {
  if (!camera_.calibration_loaded && !camera_.no_calibration) {
    debug_trace("error: calibration file path is not set yet;\n");
    return nullptr;
  }
  // A panorama always shows the sky at the top: a ceiling mount's is turned
  // half round, a wall mount's is taken along its horizon. The wall mount
  // has no unseen cap for a logo.
  upright_panorama_ = mode == DRAW_MODE_PANORAMA && camera_.mount_mode == 2;
  logo_flag_ = logo && !upright_panorama_ ? 1 : 0;
  logo_angle_deg_ = logo_angle_deg;
  switch (mode) {
    case DRAW_MODE_SOURCE: build_quad(); return positions_.data();
    case DRAW_MODE_PANORAMA: build_panorama_grid(); break;
    case DRAW_MODE_PERSPECTIVE:
    case DRAW_MODE_LITTLE_PLANET:
    case DRAW_MODE_ORTHOGRAPHIC:
    case DRAW_MODE_WIDE_ANGLE: build_sphere(); break;
    default: debug_trace("error: invalid projection model %d;\n", mode); return nullptr;
  }
  if (!camera_.no_calibration && camera_.camera_count == 1) {
    compute_texture_coords(kLongitudeSpanDeg / kStepDeg, kLatitudeSpanDeg / kStepDeg);
  } else {
    clear_texture_data();  // positions only: the viewport reports an incomplete mesh
  }
  return positions_.data();
}

void VertexFactory::build_quad() {
  float half_height = 0.5f;
  if (!camera_.no_calibration) {
    half_height = static_cast<float>(camera_.image_height) /
                  (static_cast<float>(camera_.image_width) * static_cast<float>(camera_.camera_count));
  }
  const float c = half_height;
  positions_ = {-1, c,  kFlatDepth, 1, c, kFlatDepth, -1, -c, kFlatDepth,
                -1, -c, kFlatDepth, 1, c, kFlatDepth, 1,  -c, kFlatDepth};
  texture_coords_ = {0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0};
  texture_indices_.assign(6, 1.0f);
  blend_weights_.assign(6, 0.0f);
}

void VertexFactory::build_panorama_grid() {
  const float h = static_cast<float>(2 * kStepDeg) / 360.0f;
  std::vector<float> v;
  v.reserve(static_cast<std::size_t>(kColumns) * kRows * 18);
  using P = std::array<float, 3>;
  for (int c = kRows; c >= 1; --c) {
    const float top = h * static_cast<float>(c) - 0.5f;
    const float bottom = h * static_cast<float>(c - 1) - 0.5f;
    for (int i = 0; i < kColumns; ++i) {
      const float left = h * static_cast<float>(i) - 1.0f;
      const float right = h * static_cast<float>(i + 1) - 1.0f;
      push_cell(v, P{left, top, kFlatDepth}, P{right, top, kFlatDepth}, P{left, bottom, kFlatDepth},
                P{right, bottom, kFlatDepth});
    }
  }
  if (camera_.mount_mode == 1) {  // facing down: the lens axis (the floor) goes to the bottom
    for (std::size_t i = 0; i + 2 < v.size(); i += 3) {
      v[i] = -v[i];
      v[i + 1] = -v[i + 1];
    }
  }
  positions_ = std::move(v);
}

void VertexFactory::build_sphere() {
  std::vector<float> v;
  v.reserve(static_cast<std::size_t>(kColumns) * kRows * 18);
  int lat = 90;
  do {
    for (int lon = kStepDeg; lon <= kLongitudeSpanDeg; lon += kStepDeg) {
      push_cell(v, sphere_point(lat, lon), sphere_point(lat, lon + kStepDeg), sphere_point(lat - kStepDeg, lon),
                sphere_point(lat - kStepDeg, lon + kStepDeg));
    }
    lat -= kStepDeg;
  } while (lat > -90);
  positions_ = std::move(v);
}

}  // namespace orb
