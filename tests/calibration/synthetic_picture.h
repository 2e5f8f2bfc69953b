#pragma once
// Synthetic fisheye pictures as the detection sees them: BGR, any geometry.
#include <synth/fisheye_clip.h>

#include <opencv2/imgproc.hpp>

namespace orb::test {

inline cv::Mat to_bgr(const synth::Picture& p) {
  // I420 wants even sizes; the scene's planes are (w+1)/2 wide, so copy by plane.
  cv::Mat i420(p.height * 3 / 2, p.width, CV_8UC1);
  std::copy(p.y.begin(), p.y.end(), i420.data);
  std::copy(p.u.begin(), p.u.end(), i420.data + p.y.size());
  std::copy(p.v.begin(), p.v.end(), i420.data + p.y.size() + p.u.size());
  cv::Mat bgr;
  cv::cvtColor(i420, bgr, cv::COLOR_YUV2BGR_I420);
  return bgr;
}

inline synth::ClipSpec circle_spec(int width, int height, float cx, float cy, float radius, float fov = 200) {
  synth::ClipSpec spec;
  spec.width = width;
  spec.height = height;
  spec.centre_x = cx;
  spec.centre_y = cy;
  spec.radius = radius;
  spec.fov_deg = fov;
  return spec;
}

inline cv::Mat fisheye_picture(int width, int height, float cx, float cy, float radius) {
  return to_bgr(synth::render_scene(circle_spec(width, height, cx, cy, radius)));
}

}  // namespace orb::test
