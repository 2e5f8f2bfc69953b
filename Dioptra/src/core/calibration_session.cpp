#include "calibration_session.h"

#include <calibration/calibrate_picture.h>
#include <calibration/circle_detection.h>
#include <calibration/frame_capture.h>
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

std::filesystem::path CalibrationSession::picture_for(const std::filesystem::path& media,
                                                      const std::filesystem::path& work_dir, std::string& error) {
  std::string lower = media.string();
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.find(".jpg") != std::string::npos) return media;
  const std::filesystem::path picture = work_dir / "onframe.jpg";
  if (orb::CaptureFrame2Jpg(media.c_str(), picture.c_str()) != 0) {
    error = "error: no picture could be taken from " + media.string();
    return {};
  }
  return picture;
}

bool CalibrationSession::analyse(const std::filesystem::path& picture, Variant variant, std::string& error) {
  const cv::Mat image = cv::imread(picture.string(), cv::IMREAD_COLOR);
  if (image.empty()) {
    error = "error: cannot read the picture " + picture.string();
    return false;
  }
  columns_ = image.cols;
  rows_ = image.rows;
  CircleValues found = current_;
  found.radius = orb::kNoCircleRadius;
  orb::DetectFisheyeCircle(image, orb::CircleDetectParams{}, found.cx, found.cy, found.radius);
  detected_ = found;
  ratio_ = display_ratio(columns_, rows_);
  orb::debug_trace("The ratio = %.2f col = %d row =%d", static_cast<double>(ratio_), columns_, rows_);
  if (variant == Variant::kSelect) {
    found.radius = std::min(found.radius, found.cx);
    found.radius = std::min(found.radius, found.cy);
  }
  current_ = found;
  const Box box = circle_box(found.cx, found.cy, found.radius, ratio_);
  tracker_.SetCircleBox(box);
  tracker_.SetBounds(box);
  detected_box_ = box;
  loaded_ = true;
  return true;
}

void CalibrationSession::reset_to_detected() {
  CircleValues values = detected_;
  values.radius = std::min(values.radius, values.cx);
  values.radius = std::min(values.radius, values.cy);
  current_ = values;
  tracker_.SetCircleBox(circle_box(values.cx, values.cy, values.radius, ratio_));
}

void CalibrationSession::end_drag(const Box& box) {
  tracker_.SetCircleBox(box);
  current_.radius = static_cast<float>((box.right - box.left) / 2) * ratio_;
  current_.cx = static_cast<float>((box.right + box.left) / 2) * ratio_;
  current_.cy = static_cast<float>((box.top + box.bottom) / 2 - kTitleHeight) * ratio_;
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
