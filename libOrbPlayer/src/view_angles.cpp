#include "view_angles.h"

#include <cmath>

namespace orb::player {

float normalise_angle(float angle_deg, AngleLimits limits) {
  // Beyond +-2^30 degrees nothing meaningful is left; keep the conversion defined.
  const double shifted = std::trunc(std::fmod(static_cast<double>(angle_deg), 360.0 * (1 << 20)) + 180.0);
  long long n = std::isfinite(shifted) ? static_cast<long long>(shifted) : 180;  // NaN looks straight ahead
  // A true modulo: the same as adding 360 once for angles from -540 up, and
  // still inside -180..179 below that.
  n = (n % 360 + 360) % 360 - 180;
  const auto value = static_cast<float>(n);
  if (value >= limits.max) return limits.max;
  if (value < limits.min) return limits.min;
  return value;
}

}  // namespace orb::player
