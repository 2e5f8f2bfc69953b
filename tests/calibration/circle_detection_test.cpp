// Finding the lens circle: the circle fits, detection on pictures as real
// cameras deliver them (and on pictures without a lens circle), and the
// calibration file written for what was found.
#include <calibration/calibrate_picture.h>
#include <calibration/circle_detection.h>
#include <geometry/calibration_file.h>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>

#include "camera_pictures.h"
#include "real_pictures.h"
#include "capture.h"
#include "circle_fit.h"
#include "synthetic_picture.h"
#include "temp_dir.h"

namespace orb {
namespace {

using test::fisheye_picture;
using test::PictureKind;

std::vector<lens::Point2> arc(double cx, double cy, double r, double from_deg, double to_deg, int count) {
  std::vector<lens::Point2> points;
  for (int i = 0; i < count; ++i) {
    const double t = (from_deg + (to_deg - from_deg) * i / (count - 1)) * M_PI / 180;
    points.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
  }
  return points;
}

TEST(CircleFit, GeometricFitOfAShortArcHasNoRadiusBias) {
  const auto exact = lens::circle_through({10, 0}, {0, 10}, {-10, 0});
  ASSERT_TRUE(exact);
  EXPECT_NEAR(exact->cx, 0, 1e-9);
  EXPECT_NEAR(exact->r, 10, 1e-9);
  EXPECT_FALSE(lens::circle_through({0, 0}, {1, 1}, {2, 2}));  // collinear

  // A 60-degree arc, as a frame that cuts the circle leaves, with +-0.3 px
  // of alternating noise: the radius comes back within 0.1 %.
  std::vector<lens::Point2> points = arc(960, 540, 620, -30, 30, 120);
  for (std::size_t i = 0; i < points.size(); ++i) points[i].x += i % 2 ? 0.3 : -0.3;
  const auto fitted = lens::fit_circle(points, {900, 500, 500});
  ASSERT_TRUE(fitted);
  EXPECT_NEAR(fitted->r, 620, 0.62);
  EXPECT_NEAR(fitted->cx, 960, 1.0);
}

TEST(CircleFit, RobustFitIgnoresEdgesOffTheRim) {
  std::vector<lens::Point2> points = arc(320, 240, 200, 0, 360, 200);
  const std::vector<lens::Point2> inner = arc(320, 240, 120, 0, 300, 80);  // content edges
  points.insert(points.end(), inner.begin(), inner.end());
  const auto fitted = lens::fit_circle_robust(points, {323, 243, 196}, 1.0);
  ASSERT_TRUE(fitted);
  EXPECT_NEAR(fitted->circle.r, 200, 0.05);
  EXPECT_EQ(fitted->inliers, 200);
  EXPECT_LT(fitted->rms, 0.01);
}

// Every kind of picture a camera gives, at three sizes: the circle within
// max(2 px, 1 % of its radius) and 1 % in radius (a pixel and 0.3 % where
// the rim is plain); pictures without one are refused.
TEST(CircleDetection, FindsTheRimOfEveryKindOfCameraPicture) {
  std::mt19937 rng(1);
  const cv::Size sizes[] = {{640, 480}, {1280, 720}, {1920, 1080}};
  for (const cv::Size& size : sizes) {
    for (int k = 0; k < static_cast<int>(PictureKind::kCount); ++k) {
      const auto pic = test::camera_picture(static_cast<PictureKind>(k), size.width, size.height, rng);
      const LensCircle c = detect_lens_circle(pic.bgr);
      const std::string what = std::string(test::kind_name(pic.kind)) + " " + std::to_string(size.width);
      ASSERT_TRUE(c.found) << what << ": " << c.reason;
      const bool plain = k <= static_cast<int>(PictureKind::kFlatDisc);
      const double centre = plain ? 1.0 : std::max(2.0, 0.01 * pic.radius);
      EXPECT_LE(std::hypot(c.cx - pic.cx, c.cy - pic.cy), centre) << what;
      EXPECT_NEAR(c.radius, pic.radius, (plain ? 0.003 : 0.01) * pic.radius) << what;
      EXPECT_GE(c.confidence, 0.5f) << what;
    }
    for (PictureKind kind :
         {PictureKind::kFullFrame, PictureKind::kOrdinary, PictureKind::kBlack, PictureKind::kGreyText}) {
      const auto pic = test::camera_picture(kind, size.width, size.height, rng);
      const LensCircle c = detect_lens_circle(pic.bgr);
      EXPECT_FALSE(c.found) << test::kind_name(kind) << " " << size.width << ": circle " << c.cx << "," << c.cy << " r "
                            << c.radius;
      EXPECT_FALSE(c.reason.empty());
    }
  }
}

// Photographs from real fisheye cameras, when the shared folder is there:
// a DSLR lens with a strong colour fringe, a 180-degree lens cut at top and
// bottom (each found within max(2 px, 1 %) and 1 %), and a dual-lens 360°
// frame, refused as such with both circles named.
TEST(CircleDetection, RealPhotographs) {
  const std::filesystem::path dir = ORB_REALDATA_DIR;
  const std::vector<test::RealPicture> pictures = test::real_pictures(dir);
  if (pictures.empty()) GTEST_SKIP() << "no real photographs in " << dir;
  auto near = [](float cx, float cy, float r, const std::array<float, 3>& truth) {
    return test::circle_within(cx, cy, r, truth[0], truth[1], truth[2]);
  };
  for (const test::RealPicture& p : pictures) {
    const cv::Mat picture = cv::imread((dir / p.file).string(), cv::IMREAD_COLOR);
    ASSERT_FALSE(picture.empty()) << p.file;
    const LensCircle c = detect_lens_circle(picture);
    if (p.circles.size() == 2) {
      EXPECT_FALSE(c.found) << p.file;
      ASSERT_TRUE(c.dual_lens) << p.file << ": " << c.reason;
      EXPECT_TRUE(near(c.cx, c.cy, c.radius, p.circles[0])) << p.file << " left: " << c.cx << ", " << c.cy;
      EXPECT_TRUE(near(c.second_cx, c.second_cy, c.second_radius, p.circles[1])) << p.file << " right";
    } else {
      ASSERT_TRUE(c.found) << p.file << ": " << c.reason;
      EXPECT_TRUE(near(c.cx, c.cy, c.radius, p.circles[0]))
          << p.file << ": " << c.cx << ", " << c.cy << " r " << c.radius;
    }
  }
}

// Two lenses side by side are never taken for one; one circle across the
// middle of a wide frame is still one lens.
TEST(CircleDetection, DualLensPicturesAreRefusedAsSuch) {
  std::mt19937 rng(77);
  for (const int width : {1280, 1920}) {
    const auto pic = test::camera_picture(PictureKind::kDualLens, width, width / 2, rng);
    const LensCircle c = detect_lens_circle(pic.bgr);
    EXPECT_FALSE(c.found);
    ASSERT_TRUE(c.dual_lens) << width << ": " << c.reason;
    EXPECT_NEAR(c.cx, pic.cx, std::max(2.0f, 0.01f * pic.radius));
    EXPECT_NEAR(c.second_cx, pic.cx2, std::max(2.0f, 0.01f * pic.radius2));
    EXPECT_NEAR(c.second_radius, pic.radius2, 0.01f * pic.radius2);
  }
  const LensCircle one = detect_lens_circle(fisheye_picture(1920, 960, 959.5f, 479.5f, 440));
  ASSERT_TRUE(one.found) << one.reason;
  EXPECT_FALSE(one.dual_lens);
  EXPECT_NEAR(one.radius, 440, 1.0);
}

TEST(CircleDetection, TheHousingRingOutsideThePictureIsNotTheRim) {
  // A picture whose content ends at radius 300, inside a grey ring to 330:
  // the ring's outer edge is the stronger step, the rim is still at 300.
  cv::Mat picture(720, 1280, CV_8UC3, cv::Scalar::all(0));
  cv::circle(picture, {640, 360}, 330, cv::Scalar::all(60), cv::FILLED, cv::LINE_AA);
  cv::Mat content = fisheye_picture(1280, 720, 640, 360, 300);
  cv::Mat mask;
  cv::inRange(content, cv::Scalar::all(1), cv::Scalar::all(255), mask);
  content.copyTo(picture, mask);
  const LensCircle c = detect_lens_circle(picture);
  ASSERT_TRUE(c.found) << c.reason;
  EXPECT_NEAR(c.radius, 300, 1.0);
}

TEST(CircleDetection, SeveralFramesShowWhatOneDarkFrameHides) {
  cv::Mat whole = fisheye_picture(1280, 720, 639.5f, 359.5f, 330);
  cv::Mat left = whole.clone(), right = whole.clone();
  left.colRange(640, 1280).setTo(cv::Scalar::all(0));
  right.colRange(0, 640).setTo(cv::Scalar::all(0));
  const LensCircle combined = detect_lens_circle(combine_frames({left, right}));
  ASSERT_TRUE(combined.found) << combined.reason;
  EXPECT_NEAR(combined.radius, 330, 1.0);
  EXPECT_TRUE(combine_frames({}).empty());
}

TEST(CircleDetection, SamePictureSameCircleAndEmptyPicturesTouchNothing) {
  const cv::Mat picture = fisheye_picture(1280, 720, 650, 350, 330);
  const LensCircle a = detect_lens_circle(picture), b = detect_lens_circle(picture);
  ASSERT_TRUE(a.found);
  EXPECT_EQ(a.cx, b.cx);
  EXPECT_EQ(a.radius, b.radius);
  float cx = 1, cy = 2, r = 5;
  EXPECT_FALSE(DetectFisheyeCircle(cv::Mat(), CircleDetectParams{}, cx, cy, r));
  EXPECT_FALSE(DetectFisheyeCircle(cv::Mat(720, 1280, CV_8UC3, cv::Scalar::all(0)), CircleDetectParams{}, cx, cy, r));
  EXPECT_EQ(cx, 1.0f);
  EXPECT_EQ(r, 5.0f);
  // A confidence asked for above what any fit reaches reports nothing.
  EXPECT_FALSE(detect_lens_circle(picture, CircleDetectParams{1.01f}).found);
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
  EXPECT_NEAR(camera.circle_radius, 620, 1.0);
  EXPECT_NEAR(camera.max_ray_angle_rad, M_PI * 100 / 180, 1e-6);
  EXPECT_EQ(camera.image_width, 1920);
  EXPECT_NEAR(camera.lenses[0].centre_x, 960, 0.5);
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
