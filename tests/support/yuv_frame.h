#pragma once
// Synthetic YUV 4:2:0 pictures and the CPU reference of their colours.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace orb::test {

struct YuvFrame {
  int width = 0, height = 0;
  std::vector<std::uint8_t> y, u, v;  // tightly packed; chroma (w/2) x (h/2)
};

struct Yuv {
  double y, u, v;  // 8-bit levels, fractional allowed
};

// Fills every plane from `at`, evaluated at each sample's centre in picture
// pixels (x right, y down). Chroma samples sit at the centre of their 2x2 block.
YuvFrame make_frame(int width, int height, const std::function<Yuv(double x, double y)>& at);

// BT.601 limited range to 8-bit RGB, clamped.
std::array<double, 3> yuv_to_rgb(const Yuv& c);

}  // namespace orb::test
