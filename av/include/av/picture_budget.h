#pragma once
// How many decoded pictures to hold ahead: as many as a memory budget
// holds, within bounds (a 2880x2880 picture takes 12 MB, a 1080p one 3 MB).
#include <algorithm>
#include <cstddef>

namespace orb {

// YUV 4:2:0 pictures of `width` x `height` within `budget` bytes, no fewer
// than `least` and no more than `most`.
inline int pictures_within(std::size_t budget, int width, int height, int least, int most) {
  const std::size_t bytes = std::size_t(std::max(width, 1)) * std::size_t(std::max(height, 1)) * 3 / 2;
  return static_cast<int>(std::clamp(budget / bytes, static_cast<std::size_t>(least), static_cast<std::size_t>(most)));
}

}  // namespace orb
