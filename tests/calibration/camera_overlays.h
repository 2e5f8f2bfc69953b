#pragma once
// What real cameras and lenses add to a fisheye picture around its image
// circle: burned-in text, reflection halos, chromatic fringes, lens
// softness, shadowed stretches of the rim, and contents that make the rim
// hard to see (a test pattern, dark sea). All work on 32-bit float BGR
// pictures in 0..255; every random choice comes from the generator given.
#include <opencv2/core.hpp>

#include <random>
#include <string>

namespace orb::test {

struct Rim {
  float cx = 0, cy = 0, radius = 0;
};

float uniform(std::mt19937& rng, float lo, float hi);

// Distance of every pixel centre from (cx, cy).
cv::Mat distance_map(int width, int height, float cx, float cy);

// A camera's date and time and its name in two or three corners, in one of
// OpenCV's fonts at 2-5 % of the picture's height, white or yellow, some on
// a dark box; with `across_rim` a further line that starts in the surround
// and runs over the rim into the picture.
void burn_text(cv::Mat& picture, const Rim& rim, bool across_rim, std::mt19937& rng);
// Text drawn for one clock second: the time of `second` after a random start.
void burn_clock(cv::Mat& picture, int second, const std::string& name, float size_share);

// A bright bluish glow 1-4 % of the radius wide just outside the rim,
// sometimes after a dark gap of a pixel or two.
void add_halo(cv::Mat& picture, const Rim& rim, std::mt19937& rng);
// A lens's lateral colour: blue and red reach 2-3 px further out than
// green, a purple or blue fringe at the picture's outer edge (inside r).
void add_fringe(cv::Mat& picture, const Rim& rim, std::mt19937& rng);
// Shadow over 100-140 degrees of the rim: the picture there is as dark as
// the surround from 0.7 r outwards (a roof, a road in shadow, a night sky).
void darken_rim_sector(cv::Mat& picture, const Rim& rim, std::mt19937& rng);
// Dark blue water over the lower half of the circle near the rim.
void add_sea(cv::Mat& picture, const Rim& rim, std::mt19937& rng);
// Colour bars, a checkerboard and grey ramps filling the circle.
cv::Mat test_pattern(int width, int height, const Rim& rim, std::mt19937& rng);
// A busy scene: shapes and lines of many colours and sizes inside the
// circle, as streets, shelves and people give, so that the rim is far from
// the strongest edge along most rays.
void add_clutter(cv::Mat& picture, const Rim& rim, std::mt19937& rng);
// The lens's softness: a Gaussian blur of 0.5-1.5 px.
void soften(cv::Mat& picture, std::mt19937& rng);

}  // namespace orb::test
