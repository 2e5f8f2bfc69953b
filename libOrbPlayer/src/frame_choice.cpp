#include "frame_choice.h"

#include <algorithm>
#include <cstddef>

namespace orb::player {

FrameChoice choose_frame(std::span<const double> ahead_ms, double frame_interval_ms) {
  FrameChoice choice;
  if (ahead_ms.empty()) return choice;
  if (ahead_ms[0] > kShowAheadMs) {
    choice.wait_ms = std::min(ahead_ms[0] - kShowAheadMs, 20.0);
    return choice;
  }
  choice.show = true;
  const double tolerated_lag = 2 * std::max(frame_interval_ms, 1.0);
  std::size_t head = 0;
  // The head goes while it is too late and the next picture is due too.
  while (head + 1 < ahead_ms.size() && -ahead_ms[head] > tolerated_lag && ahead_ms[head + 1] <= kShowAheadMs) ++head;
  choice.drop = static_cast<int>(head);
  return choice;
}

}  // namespace orb::player
