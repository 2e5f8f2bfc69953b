// A room around the camera: four coloured walls with a dark mark at each
// wall's centre, a pale ceiling with a cross, and a floor grid, seen
// through an ideal equidistant fisheye looking at the ceiling.
#include <synth/fisheye_clip.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace orb::synth {
namespace {

struct Rgb {
  double r, g, b;
};

Rgb scene_colour(double dx, double dy, double dz, int variant) {
  // Box of half extents 2 x 2 x 1.5 around the camera.
  const double tx = dx != 0 ? 2.0 / std::abs(dx) : 1e9;
  const double ty = dy != 0 ? 2.0 / std::abs(dy) : 1e9;
  const double tz = dz != 0 ? 1.5 / std::abs(dz) : 1e9;
  const double t = std::min({tx, ty, tz});
  const double px = dx * t, py = dy * t, pz = dz * t;
  auto near_zero = [](double v, double width) { return std::abs(v) < width; };
  if (t == tz) {
    if (dz > 0) {  // ceiling: a cross along the axes
      if (near_zero(px, 0.08) || near_zero(py, 0.08)) return {60, 60, 60};
      return {230, 225, 210};
    }
    const double gx = px - std::floor(px * 2) / 2, gy = py - std::floor(py * 2) / 2;  // floor grid
    if (gx < 0.04 || gy < 0.04) return {30, 30, 30};
    return {150, 150, 150};
  }
  // Walls: +x red, -x green, +y blue, -y yellow; a dark square at each centre.
  const bool on_x = t == tx;
  const double u = on_x ? py : px;
  if (near_zero(u, 0.3) && near_zero(pz, 0.3)) return {20, 20, 20};
  const double shade = 0.75 + 0.25 * (pz + 1.5) / 3.0;
  static const Rgb kWalls[] = {{220, 40, 40},  {40, 200, 60},  {50, 70, 220},  {230, 210, 40},
                               {200, 120, 30}, {150, 60, 170}, {90, 190, 200}, {120, 110, 100}};
  const int wall = on_x ? (dx > 0 ? 0 : 1) : (dy > 0 ? 2 : 3);
  Rgb c = kWalls[(wall + variant * 3) % 8];
  return {c.r * shade, c.g * shade, c.b * shade};
}

std::uint8_t clamp8(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// BT.601 limited range.
std::array<double, 3> to_yuv(const Rgb& c) {
  const double r = c.r / 255, g = c.g / 255, b = c.b / 255;
  return {16 + 65.481 * r + 128.553 * g + 24.966 * b, 128 - 37.797 * r - 74.203 * g + 112.0 * b,
          128 + 112.0 * r - 93.786 * g - 18.214 * b};
}

}  // namespace

int ClipSpec::frame_count() const { return static_cast<int>(std::floor(seconds * fps_num / fps_den + 1e-9)); }

CalibrationFile clip_calibration(const ClipSpec& spec) {
  return single_lens_calibration(spec.circle_centre_x(), spec.circle_centre_y(), spec.circle_radius(), spec.width,
                                 spec.height, spec.fov_deg);
}

Picture render_scene(const ClipSpec& spec) {
  Picture p;
  p.width = spec.width;
  p.height = spec.height;
  p.y.assign(static_cast<std::size_t>(p.width) * p.height, 16);
  p.u.assign(static_cast<std::size_t>(p.chroma_width()) * p.chroma_height(), 128);
  p.v.assign(p.u.size(), 128);
  const double cx = spec.circle_centre_x(), cy = spec.circle_centre_y(), radius = spec.circle_radius();
  const double theta_max = spec.fov_deg * 0.5 * M_PI / 180;
  const double turn = spec.scene_variant * 37.0 * M_PI / 180;  // the room turned about the lens axis
  std::vector<std::array<double, 3>> row_yuv(static_cast<std::size_t>(p.width));
  std::vector<bool> inside(static_cast<std::size_t>(p.width));
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      // Pixel-centre coordinates: (0, 0) is the middle of the top-left pixel.
      const double dx = x - cx, dy = y - cy;
      const double r = std::sqrt(dx * dx + dy * dy);
      inside[x] = r < radius;
      if (!inside[x]) continue;
      const double theta = r / radius * theta_max;
      const double phi = std::atan2(dy, dx) + turn;
      row_yuv[x] = to_yuv(scene_colour(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                                       std::cos(theta), spec.scene_variant));
      p.y[static_cast<std::size_t>(y) * p.width + x] = clamp8(row_yuv[x][0]);
    }
    if (y % 2 == 0) {  // chroma from the top-left sample of each 2x2 block
      for (int x = 0; x < p.width; x += 2) {
        if (!inside[x]) continue;
        const std::size_t c = static_cast<std::size_t>(y / 2) * p.chroma_width() + x / 2;
        p.u[c] = clamp8(row_yuv[x][1]);
        p.v[c] = clamp8(row_yuv[x][2]);
      }
    }
  }
  return p;
}

void stamp_frame(const ClipSpec& spec, const Picture& scene, int number, Picture& out) {
  out = scene;
  const int block = frame_code_block(out.width);
  const int origin = block / 2;
  auto fill_luma = [&](int x0, int y0, int size, std::uint8_t value) {
    for (int y = std::max(0, y0); y < std::min(out.height, y0 + size); ++y)
      for (int x = std::max(0, x0); x < std::min(out.width, x0 + size); ++x)
        out.y[static_cast<std::size_t>(y) * out.width + x] = value;
  };
  for (int bit = 0; bit < 16; ++bit) fill_luma(origin + bit * block, origin, block, (number >> bit) & 1 ? 235 : 16);
  // A white mark circling just inside the rim, once per second.
  const double fps = static_cast<double>(spec.fps_num) / spec.fps_den;
  const double angle = 2 * M_PI * number / fps;
  const double r = spec.circle_radius() * 0.9;
  const int size = std::max(4, block);
  fill_luma(static_cast<int>(spec.circle_centre_x() + r * std::cos(angle)) - size / 2,
            static_cast<int>(spec.circle_centre_y() + r * std::sin(angle)) - size / 2, size, 235);
}

}  // namespace orb::synth
