// The calibration tool without its window: the circle tracker's hit tests
// and drag rules, where the picture sits, analysing, saving, and the info
// format taken from the language file.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "calibration_session.h"
#include "circle_tracker.h"
#include "display_geometry.h"
#include "info_text.h"
#include "synthetic_picture.h"
#include "temp_dir.h"

namespace dioptra {
namespace {

CCircleTracker tracker(Box box, Box bounds) {
  CCircleTracker t;
  t.SetCircleBox(box);
  t.SetBounds(bounds);
  return t;
}

TEST(Tracker, HitsWithinThirtyPixelsAndLowerIndexFirst) {
  CCircleTracker t = tracker({100, 100, 300, 300}, {0, 0, 800, 632});
  EXPECT_EQ(t.handle(HANDLE_TOP), (Point{200, 100}));
  EXPECT_EQ(t.handle(HANDLE_RIGHT), (Point{300, 200}));
  EXPECT_EQ(t.HitTest(200 + 30, 100 - 30), HANDLE_TOP);
  EXPECT_EQ(t.HitTest(200 + 31, 100), -1);
  EXPECT_EQ(t.HitTest(200, 100 + 31), -1);
  EXPECT_EQ(t.current_handle(), HANDLE_TOP);  // a miss keeps the last handle
  EXPECT_EQ(t.HitTest(200, 200), HANDLE_CENTRE);
  // A tiny circle: every handle is in reach, the top one wins.
  CCircleTracker small = tracker({195, 195, 205, 205}, {0, 0, 800, 632});
  EXPECT_EQ(small.HitTest(200, 200), HANDLE_TOP);
  EXPECT_EQ(small.HitTest(210, 201), HANDLE_TOP);
  EXPECT_EQ(small.HitTest(206, 226), HANDLE_RIGHT);  // out of the top's reach, in the right's
}

TEST(Tracker, ACircleGrowsPastThePictureAndMovesWithoutShrinking) {
  CCircleTracker t = tracker({150, 150, 250, 250}, {100, 100, 300, 300});
  t.SetMaxRadius(250);
  t.DragHandle(HANDLE_RIGHT, 420, 200);  // past the picture's edge: a cut circle may
  EXPECT_EQ(t.GetBox(), (Box{-20, -20, 420, 420}));
  t.DragHandle(HANDLE_RIGHT, 900, 200);  // but never beyond the largest radius
  EXPECT_EQ(t.GetBox(), (Box{-50, -50, 450, 450}));
  t.DragHandle(HANDLE_BOTTOM, 200, 240);
  EXPECT_EQ(t.GetBox(), (Box{160, 160, 240, 240}));
  // The centre moves within the picture and keeps its radius.
  t.DragHandle(HANDLE_CENTRE, 120, 200);
  EXPECT_EQ(t.GetBox(), (Box{80, 160, 160, 240}));
  t.DragHandle(HANDLE_CENTRE, 20, 500);  // off the picture: stops at its corner
  EXPECT_EQ(t.centre(), (Point{100, 300}));
  EXPECT_EQ(t.GetBox(), (Box{60, 260, 140, 340}));
  // The top handle pulled below the centre: a point, not a negative radius.
  t.DragHandle(HANDLE_TOP, 100, 390);
  EXPECT_EQ(t.GetBox(), (Box{100, 300, 100, 300}));
  // And it grows again from there.
  t.HitTest(100, 300);
  t.DragHandle(HANDLE_TOP, 100, 270);
  EXPECT_EQ(t.GetBox(), (Box{70, 270, 130, 330}));
  const CCircleTracker clone = t.CloneForDrag();
  EXPECT_EQ(clone.GetBox(), t.GetBox());
  CCircleTracker dragged = clone;
  dragged.DragHandle(HANDLE_CENTRE, 0, 0);  // the clone keeps the bounds
  EXPECT_EQ(dragged.centre(), (Point{100, 100}));
}

TEST(Display, RatioAndCircleBoxInPixelCentreCoordinates) {
  EXPECT_FLOAT_EQ(display_ratio(1600, 1200), 2.0f);
  EXPECT_FLOAT_EQ(display_ratio(400, 300), 0.5f);  // small pictures are enlarged
  // Pixel 0's middle is half a picture pixel in: display pixel 0.
  EXPECT_EQ(to_display(-0.5f, -0.5f, 2.0f), (Point{0, 32}));
  EXPECT_EQ(to_display(1.6f, 1.6f, 2.0f), (Point{1, 33}));
  EXPECT_EQ(circle_box(799.5f, 599.5f, 500, 2.0f), (Box{150, 182 - 100, 650, 582}));
  EXPECT_FLOAT_EQ(from_display_x(400, 2.0f), 799.5f);
  EXPECT_FLOAT_EQ(from_display_y(332, 2.0f), 599.5f);
  EXPECT_EQ(picture_box(1600, 1200, 2.0f), (Box{0, 32, 800, 632}));
}

class Session : public testing::Test {
 protected:
  orb::test::TempDir dir_;
};

TEST_F(Session, WithoutACircleACentredOneWaitsToBeDraggedOrTyped) {
  const auto picture = dir_.path() / "dark.jpg";
  cv::imwrite(picture.string(), cv::Mat(1200, 1600, CV_8UC3, cv::Scalar(0, 0, 0)));
  std::string error;
  CalibrationSession s;
  ASSERT_TRUE(s.analyse(picture, error)) << error;
  EXPECT_FALSE(s.found());
  EXPECT_FLOAT_EQ(s.current().cx, 799.5f);
  EXPECT_FLOAT_EQ(s.current().cy, 599.5f);
  EXPECT_FLOAT_EQ(s.current().radius, 600);
  EXPECT_EQ(s.tracker().GetBox(), circle_box(799.5f, 599.5f, 600, 2.0f));

  // Typed numbers become the circle, beyond the picture's edges too; values
  // off the picture or past its diagonal are refused.
  EXPECT_TRUE(s.set_circle({812.25f, 590.5f, 1100}));
  EXPECT_FLOAT_EQ(s.current().cx, 812.25f);
  EXPECT_FLOAT_EQ(s.current().radius, 1100);
  EXPECT_EQ(s.tracker().GetBox(), circle_box(812.25f, 590.5f, 1100, 2.0f));
  EXPECT_FALSE(s.set_circle({-3, 590, 500}));
  EXPECT_FALSE(s.set_circle({800, 600, 0}));
  EXPECT_FALSE(s.set_circle({800, 600, 2001}));
  EXPECT_FALSE(s.set_circle({800, NAN, 500}));
  EXPECT_FLOAT_EQ(s.current().cx, 812.25f);
  s.reset_to_detected();
  EXPECT_FLOAT_EQ(s.current().radius, 600);

  EXPECT_FALSE(s.analyse(dir_.path() / "missing.jpg", error));
  EXPECT_NE(error.find("error:"), std::string::npos);
  CalibrationSession empty;
  EXPECT_FALSE(empty.set_circle({10, 10, 10}));
}

TEST_F(Session, ACircleCutByTheFrameKeepsItsRadius) {
  const auto picture = dir_.path() / "cut.png";
  cv::imwrite(picture.string(), orb::test::fisheye_picture(1920, 1080, 959.5f, 539.5f, 620));
  std::string error;
  CalibrationSession s;
  ASSERT_TRUE(s.analyse(picture, error)) << error;
  ASSERT_TRUE(s.found());
  EXPECT_NEAR(s.current().radius, 620, 1);
  EXPECT_NEAR(s.current().cy, 539.5f, 0.5);
}

TEST_F(Session, ADragBecomesTheCircleAndSavingWritesIt) {
  const auto picture = dir_.path() / "whole.jpg";
  cv::imwrite(picture.string(), orb::test::fisheye_picture(1600, 1200, 800, 600, 500));
  std::string error;
  CalibrationSession s;
  ASSERT_TRUE(s.analyse(picture, error)) << error;
  // The bottom handle 50 display pixels up: 100 picture pixels less radius.
  CCircleTracker drag = s.tracker().CloneForDrag();
  const Point bottom = drag.handle(HANDLE_BOTTOM);
  ASSERT_EQ(drag.HitTest(bottom.x, bottom.y), HANDLE_BOTTOM);
  drag.DragHandle(HANDLE_BOTTOM, bottom.x, bottom.y - 50);
  const float before = s.current().radius;
  s.end_drag(drag.GetBox());
  EXPECT_NEAR(s.current().radius, before - 100, 4);
  EXPECT_NEAR(s.current().cx, 800, 6);
  EXPECT_NEAR(s.current().cy, 600, 6);

  const auto out = dir_.path() / "lens.inf";
  EXPECT_EQ(s.save(out, "abc"), "fov");
  EXPECT_EQ(s.save(out, "0"), "fov");
  EXPECT_EQ(s.save(out, "361"), "fov");
  EXPECT_EQ(s.save(out, ""), "fov");
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(s.save(dir_.path() / "no" / "such" / "dir.inf", "190"), "file");
  ASSERT_EQ(s.save(out, " 190 "), "");
  const std::string command =
      std::string(ORBTOOL) + " inspect " + out.string() + " > " + (dir_.path() / "i.txt").string();
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(dir_.path() / "i.txt");
  const std::string inspected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // What the window shows is what the file holds.
  const std::size_t at = inspected.find("circle radius");
  ASSERT_NE(at, std::string::npos) << inspected;
  EXPECT_NEAR(std::stod(inspected.substr(at + 13)), s.current().radius, 0.05) << inspected;
  char centre[64];
  std::snprintf(centre, sizeof centre, "centre %.2f, %.2f", static_cast<double>(s.current().cx),
                static_cast<double>(s.current().cy));
  EXPECT_NE(inspected.find(centre), std::string::npos) << inspected;
  EXPECT_NE(inspected.find("field of view 190.00 degrees"), std::string::npos) << inspected;
  EXPECT_NE(inspected.find("image size       1600 x 1200"), std::string::npos) << inspected;

  CalibrationSession empty;
  EXPECT_EQ(empty.save(out, "200"), "radius");
}

TEST(StartFiles, OneFileIsSavedBesideItTwoAsGiven) {
  const auto one = start_files({"/v/cam 1/clip.MP4"});
  ASSERT_TRUE(one);
  EXPECT_EQ(one->media, "/v/cam 1/clip.MP4");
  EXPECT_EQ(one->calibration, "/v/cam 1/clip.inf");
  const auto two = start_files({"/v/clip.mp4", "/data/lens.inf"});
  ASSERT_TRUE(two);
  EXPECT_EQ(two->calibration, "/data/lens.inf");
  EXPECT_FALSE(start_files({}));
  EXPECT_FALSE(start_files({"a", "b", "c"}));
}

TEST(InfoText, UsesOnlyThreeFloatConversions) {
  EXPECT_EQ(info_text("c=(%.2f, %.2f) r=%g", 1.5, 2.25, 3), "c=(1.50, 2.25) r=3");
  EXPECT_EQ(info_text("100%% %f %f %f", 1, 2, 3), "100% 1.000000 2.000000 3.000000");
  for (const char* hostile : {"%s %s %s", "%n%f%f", "%d %d %d", "%f %f", "%f %f %f %f", "%999999999f %f %f", "%", ""}) {
    EXPECT_EQ(info_text(hostile, 1, 2, 3), "Centre (1.0, 2.0)  radius 3.0") << hostile;
  }
}

}  // namespace
}  // namespace dioptra
