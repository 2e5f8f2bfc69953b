// The lens path end to end through orbtool, judged against geometry worked
// out here from first principles: a calibration found by `calibrate` puts
// every point of a rendered view where an ideal equidistant lens says;
// a frame that cuts the circle hides only what it does not hold; and a
// panorama has the sky at the top whichever way the camera was mounted.
#include <geometry/calibration_file.h>
#include <synth/fisheye_clip.h>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdlib>
#include <string>

#include "temp_dir.h"

namespace orb {
namespace {

int orbtool(const std::string& arguments) {
  const std::string command = std::string(ORBTOOL) + " " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Where a source pixel lands in a panorama of an upward lens (centre cx, cy,
// radius r for theta_max): rows run from the lens axis at the top down
// through 180 degrees, columns once round, turning against the picture's
// angle. Pixel-centre coordinates on both sides.
cv::Point2d panorama_position(double x, double y, double cx, double cy, double r, double theta_max, int out_w,
                              int out_h) {
  const double theta = std::hypot(x - cx, y - cy) / r * theta_max;
  const double b = std::fmod(M_PI / 2 - std::atan2(y - cy, x - cx) + 4 * M_PI, 2 * M_PI);
  return {b / (2 * M_PI) * out_w - 0.5, theta / M_PI * out_h - 0.5};
}

TEST(LensPipeline, CalibrateThenRenderPutsEveryPointWhereTheLensDoes) {
  test::TempDir dir;
  // A grey disc with small bright dots at known places, centred off the
  // pixel grid on purpose.
  const double cx = 641.3, cy = 357.8, radius = 330;
  cv::Mat picture(720, 1280, CV_32F, cv::Scalar(0));
  struct Dot {
    double x, y;
  };
  std::vector<Dot> dots;
  for (double ring : {100.0, 165.0, 230.0, 290.0}) {
    for (int k = 0; k < 12; ++k) {
      // Every 30 degrees plus a ring offset, all on whole 3-degree steps.
      const double angle = (30.0 * k + 3.0 * static_cast<int>(ring / 60)) * M_PI / 180;
      dots.push_back({cx + ring * std::cos(angle), cy + ring * std::sin(angle)});
    }
  }
  for (int y = 0; y < picture.rows; ++y) {
    for (int x = 0; x < picture.cols; ++x) {
      // Anti-aliased rim: coverage over a pixel's width.
      const double coverage = std::clamp(radius - std::hypot(x - cx, y - cy) + 0.5, 0.0, 1.0);
      double value = 110 * coverage;
      for (const Dot& d : dots) {
        const double d2 = (x - d.x) * (x - d.x) + (y - d.y) * (y - d.y);
        if (d2 < 64) value += 120 * std::exp(-d2 / (2 * 1.6 * 1.6));
      }
      picture.at<float>(y, x) = static_cast<float>(value);
    }
  }
  cv::Mat eight;
  picture.convertTo(eight, CV_8U);
  const auto source = dir.path() / "dots.png";
  ASSERT_TRUE(cv::imwrite(source.string(), eight));

  const auto calibration = dir.path() / "dots.inf";
  ASSERT_EQ(orbtool("calibrate " + source.string() + " --fov 180 -o " + calibration.string()), 0);
  CameraParams camera;
  ASSERT_EQ(read_calibration_file(calibration.c_str(), camera), 0);
  EXPECT_NEAR(camera.lenses[0].centre_x, cx, 0.1);
  EXPECT_NEAR(camera.lenses[0].centre_y, cy, 0.1);
  EXPECT_NEAR(camera.circle_radius, radius, 0.2);

  const auto view = dir.path() / "view.png";
  constexpr int kW = 1440, kH = 720;  // a quarter degree a pixel
  ASSERT_EQ(orbtool("render " + source.string() + " " + view.string() + " --calib " + calibration.string() +
                    " --layout panorama --size 1440x720"),
            0);
  const cv::Mat rendered = cv::imread(view.string(), cv::IMREAD_GRAYSCALE);
  ASSERT_EQ(rendered.cols, kW);

  // Each dot's centre of brightness against where the ideal lens puts it.
  double sum = 0, sum_x = 0, sum_y = 0;
  int measured = 0;
  for (const Dot& d : dots) {
    const cv::Point2d expected = panorama_position(d.x, d.y, cx, cy, radius, M_PI / 2, kW, kH);
    const int x0 = static_cast<int>(std::lround(expected.x)), y0 = static_cast<int>(std::lround(expected.y));
    if (x0 < 8 || x0 >= kW - 8 || y0 < 8 || y0 >= kH - 8) continue;  // split by the panorama's seam
    double w_sum = 0, mx = 0, my = 0;
    for (int y = y0 - 7; y <= y0 + 7; ++y) {
      for (int x = x0 - 7; x <= x0 + 7; ++x) {
        const double w = std::max(0.0, rendered.at<std::uint8_t>(y, x) - 110.0 - 6);
        w_sum += w;
        mx += w * x;
        my += w * y;
      }
    }
    ASSERT_GT(w_sum, 0) << "no dot near " << expected;
    const double dx = mx / w_sum - expected.x, dy = my / w_sum - expected.y;
    sum += std::hypot(dx, dy);
    sum_x += dx;
    sum_y += dy;
    ++measured;
  }
  ASSERT_GE(measured, 40);
  EXPECT_LE(sum / measured, 0.1) << "mean offset " << sum_x / measured << ", " << sum_y / measured;
}

TEST(LensPipeline, AFrameThatCutsTheCircleHidesOnlyWhatItDoesNotHold) {
  test::TempDir dir;
  // 200 degrees in a circle taller than the frame: cut at top and bottom.
  synth::ClipSpec spec;
  spec.width = 1280;
  spec.height = 720;
  spec.centre_x = 639.5f;
  spec.centre_y = 359.5f;
  spec.radius = 450;
  spec.fov_deg = 200;
  spec.seconds = 0.2;
  spec.audio = synth::AudioTrack::kNone;
  const auto clip = dir.path() / "cut.mp4";
  ASSERT_EQ(synth::write_clip(clip.string(), spec), "");
  ASSERT_EQ(write_calibration_file((dir.path() / "cut.inf").c_str(), synth::clip_calibration(spec)), 0);
  const auto view = dir.path() / "view.png";
  constexpr int kW = 1440, kH = 720;
  ASSERT_EQ(orbtool("render " + clip.string() + " " + view.string() + " --layout panorama --size 1440x720"), 0);
  const cv::Mat rendered = cv::imread(view.string(), cv::IMREAD_GRAYSCALE);
  ASSERT_EQ(rendered.rows, kH);

  // Every output pixel whose direction the frame holds (well inside the
  // frame and the lens's field) shows picture; the rest is black.
  const double theta_max = 100 * M_PI / 180;
  int held = 0, held_black = 0, missing = 0, missing_shown = 0;
  for (int y = 0; y < kH; y += 3) {
    for (int x = 0; x < kW; x += 3) {
      const double a = -M_PI / 2 + (y + 0.5) / kH * M_PI, b = (x + 0.5) / kW * 2 * M_PI;
      const double theta = a + M_PI / 2, r = theta / theta_max * spec.radius;
      const double phi = M_PI / 2 - b;
      const double sx = spec.centre_x + r * std::cos(phi), sy = spec.centre_y + r * std::sin(phi);
      const double inside = std::min({sx, sy, spec.width - 1 - sx, spec.height - 1 - sy});
      const bool black = rendered.at<std::uint8_t>(y, x) < 8;
      if (inside > 12 && theta < theta_max - 0.06) {
        ++held;
        held_black += black;
      } else if (inside < -12 || theta > theta_max + 0.06) {
        ++missing;
        missing_shown += !black;
      }
    }
  }
  ASSERT_GT(held, 10000);
  EXPECT_LT(held_black, held / 200) << held_black << " of " << held << " pixels the frame holds are black";
  EXPECT_LT(missing_shown, missing / 200) << missing_shown << " of " << missing << " unseen pixels show picture";
}

// A fisheye picture of a world with sky above the horizon and earth below,
// taken by a camera facing up, facing down, or on a wall with the picture's
// top up.
cv::Mat sky_and_earth(int mount, int w, int h, double radius, double fov_deg) {
  cv::Mat picture(h, w, CV_8UC3, cv::Scalar(0, 0, 0));
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, theta_max = fov_deg / 2 * M_PI / 180;
  // World up in the lens's frame (x right, y down the picture, z the axis).
  const cv::Vec3d up = mount == 0 ? cv::Vec3d(0, 0, 1) : mount == 1 ? cv::Vec3d(0, 0, -1) : cv::Vec3d(0, -1, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double r = std::hypot(x - cx, y - cy);
      if (r >= radius) continue;
      const double theta = r / radius * theta_max, phi = std::atan2(y - cy, x - cx);
      const cv::Vec3d ray(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
      picture.at<cv::Vec3b>(y, x) = ray.dot(up) > 0 ? cv::Vec3b(230, 140, 60) : cv::Vec3b(40, 90, 150);  // BGR
    }
  }
  return picture;
}

TEST(LensPipeline, APanoramaHasTheSkyAtTheTopForEveryMount) {
  test::TempDir dir;
  const char* mounts[] = {"up", "down", "side"};
  for (int mount = 0; mount < 3; ++mount) {
    const auto source = dir.path() / (std::string(mounts[mount]) + ".png");
    ASSERT_TRUE(cv::imwrite(source.string(), sky_and_earth(mount, 960, 960, 470, 200)));
    const auto calibration = dir.path() / "lens.inf";
    ASSERT_EQ(write_calibration_file(calibration.c_str(), single_lens_calibration(479.5f, 479.5f, 470, 960, 960, 200)),
              0);
    const auto view = dir.path() / "view.png";
    ASSERT_EQ(orbtool("render " + source.string() + " " + view.string() + " --calib " + calibration.string() +
                      " --layout panorama --size 720x360 --mount " + mounts[mount]),
              0);
    const cv::Mat rendered = cv::imread(view.string(), cv::IMREAD_COLOR);
    ASSERT_FALSE(rendered.empty());
    // In every column that shows both, the sky lies above the earth.
    auto is_sky = [](const cv::Vec3b& p) { return p[0] > 150 && p[2] < 110; };
    auto is_earth = [](const cv::Vec3b& p) { return p[2] > 110 && p[0] < 90; };
    int both = 0, upright = 0;
    for (int x = 0; x < rendered.cols; x += 4) {
      double sky_row = 0, earth_row = 0;
      int sky = 0, earth = 0;
      for (int y = 0; y < rendered.rows; ++y) {
        const cv::Vec3b& p = rendered.at<cv::Vec3b>(y, x);
        if (is_sky(p)) sky_row += y, ++sky;
        if (is_earth(p)) earth_row += y, ++earth;
      }
      if (sky < 5 || earth < 5) continue;
      ++both;
      upright += sky_row / sky < earth_row / earth;
    }
    EXPECT_GT(both, 40) << mounts[mount];
    EXPECT_EQ(upright, both) << mounts[mount];
  }
}

}  // namespace
}  // namespace orb
