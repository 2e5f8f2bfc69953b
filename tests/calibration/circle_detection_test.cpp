// Finding the lens circle: the thresholds, the rim scan, the fit's limits,
// and detection on synthetic fisheye pictures whose circle is known.
#include <calibration/calibrate_picture.h>
#include <calibration/circle_detection.h>
#include <geometry/calibration_file.h>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <cmath>

#include "capture.h"
#include "synthetic_picture.h"
#include "temp_dir.h"

namespace orb {
namespace {

using test::fisheye_picture;

std::vector<RimPoint> circle_points(float cx, float cy, float r, int count) {
  std::vector<RimPoint> points;
  for (int i = 0; i < count; ++i) {
    const double t = 2 * M_PI * i / count;
    points.push_back({static_cast<int>(std::lround(cx + r * std::cos(t))), static_cast<int>(std::lround(cy + r * std::sin(t)))});
  }
  return points;
}

TEST(CircleDetection, ThresholdsComeFromTheGradientHistogram) {
  // 98 of 280 columns rise 5 levels every two pixels (|gx| = 20 under the
  // Sobel kernel); the rest is flat: 65 % of pixels at 0, the rest in bin 20.
  cv::Mat image(60, 280, CV_8UC1, cv::Scalar(245));
  for (int x = 0; x < 100; ++x) image.col(x).setTo(5 * (x / 2));
  double low = 0, high = 0;
  ComputeCannyThresholds(image, CircleDetectParams{}, low, high);
  EXPECT_DOUBLE_EQ(255 * high, 19.921875);
  EXPECT_DOUBLE_EQ(255 * low, 15.9375);
  // A flat picture has no edge bin: index 0.
  ComputeCannyThresholds(cv::Mat(60, 80, CV_8UC1, cv::Scalar(9)), CircleDetectParams{}, low, high);
  EXPECT_EQ(high, 0.0);
}

TEST(CircleDetection, RimScanKeepsOnlyTheEndsOfAVerticalLine) {
  cv::Mat edges(300, 100, CV_8UC1, cv::Scalar(0));
  edges(cv::Range(100, 201), cv::Range(50, 51)).setTo(255);
  const std::vector<RimPoint> points = CollectRimPoints(edges);
  ASSERT_EQ(points.size(), 4u);
  const int expected[4][2] = {{50, 100}, {50, 200}, {50, 100}, {50, 200}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(points[i].x, expected[i][0]) << i;
    EXPECT_EQ(points[i].y, expected[i][1]) << i;
  }
  // Left pass first (increasing rows), then the right pass.
  cv::Mat two(10, 40, CV_8UC1, cv::Scalar(0));
  two.at<std::uint8_t>(3, 5) = two.at<std::uint8_t>(3, 30) = 255;
  const std::vector<RimPoint> both = CollectRimPoints(two);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].x, 5);
  EXPECT_EQ(both[1].x, 30);
}

TEST(CircleDetection, FitHonoursTheCentreBandAndRadiusLimits) {
  // A 640 x 360 working image (a 1280 x 720 picture): centre within
  // [256, 384] x [144, 216], radius within [90, 367.15].
  float cx = 0, cy = 0, r = kNoCircleRadius;
  ASSERT_TRUE(FitCircleRansac(circle_points(320, 180, 150, 200), 640, 360, cx, cy, r, 7u));
  EXPECT_NEAR(cx, 320, 0.5);
  EXPECT_NEAR(cy, 180, 0.5);
  EXPECT_NEAR(r, 150, 0.5);
  cx = cy = 0;
  r = kNoCircleRadius;
  EXPECT_FALSE(FitCircleRansac(circle_points(400, 180, 150, 200), 640, 360, cx, cy, r, 7u));  // centre out of band
  cx = cy = 0;
  r = kNoCircleRadius;
  EXPECT_FALSE(FitCircleRansac(circle_points(320, 180, 80, 200), 640, 360, cx, cy, r, 7u));  // too small
  cx = cy = 0;
  r = kNoCircleRadius;
  EXPECT_TRUE(FitCircleRansac(circle_points(260, 150, 100, 200), 640, 360, cx, cy, r, 7u));  // near the band's corner
  // No points: no sampling at all, and no circle.
  cx = 320;
  cy = 180;
  r = 150;
  EXPECT_FALSE(FitCircleRansac({}, 640, 360, cx, cy, r, 7u));
  // Points that make non-finite models are rejected like out-of-range ones.
  const std::vector<RimPoint> collinear = {{10, 10}, {20, 20}, {30, 30}, {40, 40}};
  cx = cy = 0;
  r = kNoCircleRadius;
  EXPECT_FALSE(FitCircleRansac(collinear, 640, 360, cx, cy, r, 7u));
}

TEST(CircleDetection, SameSeedSameCircle) {
  const cv::Mat picture = fisheye_picture(1280, 720, 650, 350, 330);
  float a[3] = {0, 0, kNoCircleRadius}, b[3] = {0, 0, kNoCircleRadius};
  ASSERT_TRUE(DetectFisheyeCircle(picture, CircleDetectParams{}, a[0], a[1], a[2], 42u));
  ASSERT_TRUE(DetectFisheyeCircle(picture, CircleDetectParams{}, b[0], b[1], b[2], 42u));
  EXPECT_EQ(a[0], b[0]);
  EXPECT_EQ(a[1], b[1]);
  EXPECT_EQ(a[2], b[2]);
}

struct Known {
  int w, h;
  float cx, cy, r;
};

TEST(CircleDetection, FindsKnownCirclesInPicturePixels) {
  const Known cases[] = {
      {1280, 720, 640, 360, 300},   // s = 2
      {1920, 1080, 1010, 520, 500},  // off centre
      {2880, 2880, 1440, 1500, 1300},
      {480, 320, 240, 160, 140},     // smaller than the working size: enlarged
      {1920, 1080, 960, 540, 620},   // cut at top and bottom
  };
  for (const Known& k : cases) {
    float cx = 0, cy = 0, r = kNoCircleRadius;
    ASSERT_TRUE(DetectFisheyeCircle(fisheye_picture(k.w, k.h, k.cx, k.cy, k.r), CircleDetectParams{}, cx, cy, r, 1u))
        << k.w << "x" << k.h;
    const float tolerance = std::max(2.0f, k.r * 0.01f);
    EXPECT_NEAR(cx, k.cx, tolerance) << k.w << "x" << k.h;
    EXPECT_NEAR(cy, k.cy, tolerance) << k.w << "x" << k.h;
    EXPECT_NEAR(r, k.r, k.r * 0.01f) << k.w << "x" << k.h;
  }
}

TEST(CircleDetection, NothingToFindInABlackOrEmptyPicture) {
  float cx = 1, cy = 2, r = kNoCircleRadius;
  EXPECT_FALSE(DetectFisheyeCircle(cv::Mat(720, 1280, CV_8UC3, cv::Scalar(0, 0, 0)), CircleDetectParams{}, cx, cy, r));
  EXPECT_FLOAT_EQ(r, kNoCircleRadius * 2);  // the caller's value, scaled back
  cx = 1;
  cy = 2;
  r = 5;
  EXPECT_FALSE(DetectFisheyeCircle(cv::Mat(), CircleDetectParams{}, cx, cy, r));
  EXPECT_EQ(r, 5.0f);  // an empty picture touches nothing
}

TEST(CalibratePicture, WritesTheFileForTheDetectedCircle) {
  test::TempDir dir;
  const auto picture = dir.path() / "frame.png";
  ASSERT_TRUE(cv::imwrite(picture.string(), fisheye_picture(1920, 1080, 960, 540, 620)));
  const auto out = dir.path() / "lens.inf";
  int result = -1;
  const std::string trace =
      test::captured_stderr([&] { result = CalcauteDingbiao(picture.c_str(), out.c_str(), 200); });
  EXPECT_EQ(result, 0);
  EXPECT_NE(trace.find("标定成功，圆不完整"), std::string::npos) << trace;  // the circle is cut
  CameraParams camera;
  ASSERT_EQ(read_calibration_file(out.c_str(), camera), 0);
  EXPECT_NEAR(camera.circle_radius, 620, 6.2);
  EXPECT_NEAR(camera.max_ray_angle_rad, M_PI * 100 / 180, 1e-6);
  EXPECT_EQ(camera.image_width, 1920);
  EXPECT_NEAR(camera.lenses[0].centre_x, 960, 3);
}

TEST(CalibratePicture, ReportsWhatWentWrong) {
  test::TempDir dir;
  const auto out = dir.path() / "lens.inf";
  std::string trace = test::captured_stderr(
      [&] { EXPECT_EQ(CalcauteDingbiao((dir.path() / "missing.jpg").c_str(), out.c_str(), 200), 398); });
  EXPECT_NE(trace.find("标定失败"), std::string::npos);
  const auto picture = dir.path() / "frame.png";
  ASSERT_TRUE(cv::imwrite(picture.string(), fisheye_picture(1280, 720, 640, 360, 300)));
  EXPECT_EQ(CalcauteDingbiao(picture.c_str(), (dir.path() / "no" / "such" / "dir.inf").c_str(), 200), 414);
  trace = test::captured_stderr([&] { EXPECT_EQ(CalcauteDingbiao(picture.c_str(), out.c_str(), 0), 414); });
  EXPECT_NE(trace.find("error: field of view"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(WriteCalibrationFile(out.c_str(), 361, 10, 10, 10, 100, 100), kCalibrationFileNotCreated);
  EXPECT_EQ(WriteCalibrationFile(out.c_str(), NAN, 10, 10, 10, 100, 100), kCalibrationFileNotCreated);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(WriteCalibrationFile(out.c_str(), 360, 10, 10, 10, 100, 100), 0);
}

}  // namespace
}  // namespace orb
