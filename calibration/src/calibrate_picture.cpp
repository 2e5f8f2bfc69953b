#include <calibration/calibrate_picture.h>

#include <calibration/circle_detection.h>
#include <common/debug_trace.h>
#include <geometry/calibration_file.h>

#include <opencv2/imgcodecs.hpp>

#include <cmath>

namespace orb {

bool circle_is_complete(float cx, float cy, float radius, int width, int height) {
  return !(cx - radius < 0 || cx + radius > static_cast<float>(width) || cy - radius < 0 ||
           cy + radius > static_cast<float>(height));
}

int WriteCalibrationFile(const char* path, float fov_deg, float cx, float cy, float radius, int width, int height) {
  // A field of view outside (0, 360] would give an infinite or negative
  // lens coefficient: refuse rather than write it.
  if (!(fov_deg > 0 && fov_deg <= 360)) {
    debug_trace("error: field of view %g is not above 0 and at most 360 degrees", static_cast<double>(fov_deg));
    return kCalibrationFileNotCreated;
  }
  if (!std::isfinite(cx) || !std::isfinite(cy) || !(radius > 0 && std::isfinite(radius))) {
    debug_trace("error: no valid circle to write (centre %g, %g, radius %g)", static_cast<double>(cx),
                static_cast<double>(cy), static_cast<double>(radius));
    return kCalibrationFileNotCreated;
  }
  if (write_calibration_file(path, single_lens_calibration(cx, cy, radius, width, height, fov_deg)) != 0) {
    return kCalibrationFileNotCreated;
  }
  return 0;
}

int CalcauteDingbiao(const char* picture_path, const char* calibration_path, float fov_deg) {
  const cv::Mat picture = picture_path ? cv::imread(picture_path, cv::IMREAD_COLOR) : cv::Mat();
  const CircleDetectParams params;
  float cx = 0, cy = 0, radius = kNoCircleRadius;
  if (!DetectFisheyeCircle(picture, params, cx, cy, radius)) {
    debug_trace("标定失败");  // calibration failed
    return kCalibrationNoCircle;
  }
  debug_trace(circle_is_complete(cx, cy, radius, picture.cols, picture.rows)
                  ? "标定成功，完整圆"      // calibrated, the whole circle
                  : "标定成功，圆不完整");  // calibrated, the circle is cut
  if (WriteCalibrationFile(calibration_path, fov_deg, cx, cy, radius, picture.cols, picture.rows) != 0) {
    return kCalibrationNotWritten;
  }
  return 0;
}

}  // namespace orb
