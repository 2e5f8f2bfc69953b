#pragma once
// Brightness along rays from a point inside the image circle, and the
// places where it steps down going outward: where the picture ends and the
// dark surround begins.
#include <opencv2/core.hpp>

#include <vector>

#include "circle_fit.h"

namespace orb::lens {

// Bilinear brightness of a one-channel 32-bit float picture at a
// pixel-centre position; the caller keeps (x, y) inside [0, cols-1] x [0, rows-1].
float sample(const cv::Mat& picture, double x, double y);

// The picture on the circle of radius `rho` around (cx, cy) at `count`
// angles from angle 0; NaN where it lies outside the frame (or within
// `border` of its edge).
std::vector<float> ring_samples(const cv::Mat& picture, double cx, double cy, double rho, int count,
                                double border = 1.5);

// How closely the picture at `rho` follows the picture just inside the
// circle, around it (correlation over angles; NaN when too little of
// either is in the frame): a lens's colour fringe is the picture's own edge
// and follows it, a halo or a housing does not.
double ring_correlation(const cv::Mat& picture, const Circle& inner, double rho);

struct RimEdge {
  double t = 0;             // distance from the ray's origin, pixels, sub-pixel
  double strength = 0;      // brightness lost across two pixels
  bool ends_scene = false;  // the ray stays at the surround's level after it, for a while or to the frame
};

struct RayProfile {
  double dx = 0, dy = 0;       // unit direction
  double t0 = 0, step = 0.5;   // first sample's distance, spacing
  std::vector<float> values;   // brightness, ending where the ray meets the frame's border band
  std::vector<RimEdge> edges;  // strongest outward-dark steps first
  double t_end() const { return t0 + step * static_cast<double>(values.empty() ? 0 : values.size() - 1); }
  // Mean brightness over [from, to] (distances), clipped to the samples; NaN when empty.
  double mean(double from, double to) const;
  // Median change of the brightness's slope over [from, to]: small where the
  // picture is plain or falls off smoothly, even when one step crosses it.
  double roughness(double from, double to) const;
};

struct RayOptions {
  int rays = 360;
  double t_from = 0, t_to = 0;  // distances to search
  double border = 1.5;          // samples closer than this to the frame's edge are not taken
  double min_strength = 2;      // weaker steps are not edges
  int max_edges = 3;           // the strongest; and besides them the outermost two and the first two that end the scene
  double surround_level = -1;  // at most this is the surround (below 0: not judged)
  double plain_share = 0.03;   // how far, as a share of the distance, the surround must last after an edge
};

// Profiles along `options.rays` directions from (cx, cy); each lists its
// outward-dark edges: the strongest, the outermost, and the first after
// which the ray stays dark (where the scene ends, whatever text or glow
// lies further out). A ray that leaves the frame ends there: the frame's
// own border is never an edge.
std::vector<RayProfile> ray_profiles(const cv::Mat& picture, double cx, double cy, const RayOptions& options);

}  // namespace orb::lens
