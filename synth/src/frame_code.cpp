#include <synth/fisheye_clip.h>

namespace orb::synth {
namespace {
constexpr int kBits = 16;
}

int frame_code_block(int width) { return std::max(4, (width / 80) & ~1); }

int read_frame_code(const std::uint8_t* luma, int stride, int width, int height) {
  const int block = frame_code_block(width);
  const int origin = block / 2;
  if (origin + block * kBits > width || origin + block > height) return -1;
  int value = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    const int x = origin + bit * block + block / 2;
    const int y = origin + block / 2;
    if (luma[static_cast<std::size_t>(y) * stride + x] > 128) value |= 1 << bit;
  }
  return value;
}

}  // namespace orb::synth
