#include "yuv_frame.h"

#include <algorithm>
#include <cmath>

namespace orb::test {
namespace {

std::uint8_t level(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

YuvFrame make_frame(int width, int height, const std::function<Yuv(double, double)>& at) {
  YuvFrame f;
  f.width = width;
  f.height = height;
  const int cw = (width + 1) / 2, ch = (height + 1) / 2;  // 4:2:0 of an odd size rounds up
  f.y.resize(static_cast<std::size_t>(width) * height);
  f.u.resize(static_cast<std::size_t>(cw) * ch);
  f.v.resize(f.u.size());
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col)
      f.y[static_cast<std::size_t>(row) * width + col] = level(at(col + 0.5, row + 0.5).y);
  for (int row = 0; row < ch; ++row)
    for (int col = 0; col < cw; ++col) {
      // The chroma plane is stretched over the whole picture by the sampler.
      const double x = (col + 0.5) * width / cw, y = (row + 0.5) * height / ch;
      const Yuv c = at(x, y);
      f.u[static_cast<std::size_t>(row) * cw + col] = level(c.u);
      f.v[static_cast<std::size_t>(row) * cw + col] = level(c.v);
    }
  return f;
}

std::array<double, 3> yuv_to_rgb(const Yuv& c) {
  const double y = c.y / 255 - 16.0 / 255, u = c.u / 255 - 0.5, v = c.v / 255 - 0.5;
  auto to8 = [](double x) { return std::clamp(x, 0.0, 1.0) * 255; };
  return {to8(1.164 * y + 1.596 * v), to8(1.164 * y - 0.392 * u - 0.813 * v), to8(1.164 * y + 2.017 * u)};
}

}  // namespace orb::test
