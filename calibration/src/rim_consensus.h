#pragma once
// Which circle the rays' edges agree on. Each ray votes once. A rim is an
// outward-dark circle that most rays reaching it see, with the surround's
// darkness outside it (text or a glow over part of it outvoted); of those
// the one most rays see wins, unless a ring without the scene's texture
// lies just inside it around the same centre: a lens housing, a
// reflection halo or a glow outside the picture, which ends at the ring's
// inner edge.
#include <opencv2/core.hpp>

#include <optional>
#include <vector>

#include "circle_fit.h"
#include "rim_profile.h"

namespace orb::lens {

struct RimCircle {
  Circle circle;
  int support = 0;          // rays with an edge on the circle
  int in_view = 0;          // rays that reach the circle inside the frame
  double contrast = 0;      // median brightness lost across the rim
  double dark_outside = 0;  // share of the band just outside at the surround's level
};

struct ConsensusLimits {
  double r_min = 0, r_max = 0;
  double x_max = 0, y_max = 0;  // the centre lies in [0, x_max] x [0, y_max]
  double surround_level = 0;    // at most this is the surround
  double noise = 0;             // the surround's noise
  double min_ring = 0;          // narrower rings than this are the picture's own fringe, not a housing or halo
};

// Rays from (ox, oy) with their edges, over `picture` (the image they were
// taken from); nothing when no circle has the support of enough rays.
std::optional<RimCircle> rim_consensus(const cv::Mat& picture, const std::vector<RayProfile>& rays, double ox,
                                       double oy, const ConsensusLimits& limits);

}  // namespace orb::lens
