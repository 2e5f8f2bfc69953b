#pragma once
// Milliseconds of the monotonic clock: deadlines and elapsed times that a
// change of the wall clock cannot move.
#include <chrono>
#include <cstdint>

namespace orb {

inline std::int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace orb
