#pragma once
// Which circle the rays' edges agree on. Each ray votes once; among the
// well-supported circles around the same centre the innermost whose
// outside is plain wins: a lens housing or a ring of vignetting outside the
// picture has an outward-dark step of its own, but the picture ends at the
// first one.
#include <optional>
#include <vector>

#include "circle_fit.h"
#include "rim_profile.h"

namespace orb::lens {

struct RimCircle {
  Circle circle;
  int support = 0;       // rays with an edge on the circle
  int in_view = 0;       // rays that reach the circle inside the frame
  double roughness = 0;  // median brightness change just outside the circle
  double contrast = 0;   // median brightness lost across the rim
};

struct ConsensusLimits {
  double r_min = 0, r_max = 0;
  double x_max = 0, y_max = 0;  // the centre lies in [0, x_max] x [0, y_max]
  double plain_roughness = 0;   // at most this much change outside counts as plain
};

// Rays from (ox, oy) with their edges; nothing when no circle has the
// support of at least a few rays.
std::optional<RimCircle> rim_consensus(const std::vector<RayProfile>& rays, double ox, double oy,
                                       const ConsensusLimits& limits);

}  // namespace orb::lens
