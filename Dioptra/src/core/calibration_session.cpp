#include "calibration_session.h"

#include <calibration/calibrate_picture.h>
#include <calibration/circle_detection.h>
#include <calibration/frame_capture.h>
#include <calibration/frame_samples.h>
#include <common/debug_trace.h>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "display_geometry.h"

namespace dioptra {
namespace {

// The values as the window's number fields hold them: six significant digits.
float six_digits(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return std::strtof(text, nullptr);
}

}  // namespace

std::optional<StartFiles> start_files(const std::vector<std::string>& arguments) {
  if (arguments.size() == 2) return StartFiles{arguments[0], arguments[1]};
  if (arguments.size() == 1 && !arguments[0].empty()) {
    return StartFiles{arguments[0], std::filesystem::path(arguments[0]).replace_extension(".inf")};
  }
  return std::nullopt;
}

std::filesystem::path CalibrationSession::picture_for(const std::filesystem::path& media,
                                                      const std::filesystem::path& work_dir, std::string& error) {
  std::string lower = media.string();
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.find(".jpg") != std::string::npos) return media;
  const std::filesystem::path picture = work_dir / "onframe.jpg";
  if (orb::CaptureFrame2Jpg(media.c_str(), picture.c_str()) != 0) {
    error = "error: no picture could be taken from " + media.string();
    return {};
  }
  return picture;
}

bool CalibrationSession::analyse(const std::filesystem::path& picture, std::string& error,
                                 const std::filesystem::path& video) {
  const cv::Mat image = cv::imread(picture.string(), cv::IMREAD_COLOR);
  if (image.empty()) {
    error = "error: cannot read the picture " + picture.string();
    return false;
  }
  columns_ = image.cols;
  rows_ = image.rows;
  // A video is judged over its first seconds: the lens stays, the scene moves.
  orb::LensCircle circle = video.empty() ? orb::detect_lens_circle(image) : orb::detect_video_circle(video.c_str());
  if (circle.picture_width != columns_ || circle.picture_height != rows_) circle = orb::detect_lens_circle(image);
  found_ = circle.found;
  dual_lens_ = circle.dual_lens;
  detected_ = found_ ? CircleValues{circle.cx, circle.cy, circle.radius}
                     : CircleValues{static_cast<float>(columns_ - 1) / 2, static_cast<float>(rows_ - 1) / 2,
                                    static_cast<float>(std::min(columns_, rows_)) / 2};
  if (!found_) orb::debug_trace("no lens circle found (%s): a centred one to drag", circle.reason.c_str());
  ratio_ = display_ratio(columns_, rows_);
  orb::debug_trace("The ratio = %.2f col = %d row =%d", static_cast<double>(ratio_), columns_, rows_);
  // The centre stays on the picture; the circle may reach past its edges
  // (cut by the frame) up to the picture's diagonal.
  tracker_.SetBounds(picture_box(columns_, rows_, ratio_));
  tracker_.SetMaxRadius(static_cast<int>(std::hypot(columns_, rows_) / ratio_));
  show(detected_);
  loaded_ = true;
  return true;
}

void CalibrationSession::show(const CircleValues& values) {
  current_ = values;
  tracker_.SetCircleBox(circle_box(values.cx, values.cy, values.radius, ratio_));
}

void CalibrationSession::reset_to_detected() { show(detected_); }

bool CalibrationSession::set_circle(const CircleValues& v) {
  if (!loaded_ || !std::isfinite(v.cx) || !std::isfinite(v.cy) || !std::isfinite(v.radius)) return false;
  const bool on_picture = v.cx >= -0.5f && v.cy >= -0.5f && v.cx <= static_cast<float>(columns_) - 0.5f &&
                          v.cy <= static_cast<float>(rows_) - 0.5f;
  if (!on_picture || !(v.radius > 0) || v.radius > std::hypot(columns_, rows_)) return false;
  show(v);
  return true;
}

void CalibrationSession::end_drag(const Box& box) {
  tracker_.SetCircleBox(box);
  current_.radius = static_cast<float>(box.right - box.left) / 2 * ratio_;
  current_.cx = from_display_x(static_cast<float>(box.right + box.left) / 2, ratio_);
  current_.cy = from_display_y(static_cast<float>(box.top + box.bottom) / 2, ratio_);
}

std::optional<float> CalibrationSession::parse_fov(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const float fov = std::strtof(begin, &end);
  while (end && *end == ' ') ++end;
  if (end == begin || !end || *end != '\0' || !std::isfinite(fov) || fov <= 0 || fov > 360) return std::nullopt;
  return fov;
}

std::string CalibrationSession::save(const std::filesystem::path& path, const std::string& fov_text) const {
  if (current_.radius == 0) return "radius";
  const std::optional<float> fov = parse_fov(fov_text);
  if (!fov) return "fov";
  const int result = orb::WriteCalibrationFile(path.c_str(), *fov, six_digits(current_.cx), six_digits(current_.cy),
                                               six_digits(current_.radius), columns_, rows_);
  return result == 0 ? std::string() : "file";
}

}  // namespace dioptra
