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

TEST(Tracker, DragsStayInsideTheBoundsAndNeverTurnInsideOut) {
  const Box bounds{100, 100, 300, 300};
  CCircleTracker t = tracker({150, 150, 250, 250}, bounds);
  t.DragHandle(HANDLE_RIGHT, 420, 200);  // past max x: stops there
  EXPECT_EQ(t.GetBox(), (Box{100, 100, 300, 300}));
  EXPECT_EQ(t.centre(), (Point{200, 200}));
  t.DragHandle(HANDLE_BOTTOM, 200, 240);
  EXPECT_EQ(t.GetBox(), (Box{160, 160, 240, 240}));
  // The centre dragged toward the left bound: the circle shrinks to fit.
  t.DragHandle(HANDLE_CENTRE, 120, 200);
  EXPECT_EQ(t.centre(), (Point{120, 200}));
  EXPECT_EQ(t.GetBox(), (Box{100, 180, 140, 220}));
  // The top handle pulled below the centre: a point, not a negative radius.
  t.DragHandle(HANDLE_TOP, 120, 290);
  EXPECT_EQ(t.GetBox(), (Box{120, 200, 120, 200}));
  // And it grows again from there.
  t.HitTest(120, 200);
  t.DragHandle(HANDLE_TOP, 120, 170);
  EXPECT_EQ(t.GetBox(), (Box{100, 180, 140, 220}));
  const CCircleTracker clone = t.CloneForDrag();
  EXPECT_EQ(clone.GetBox(), t.GetBox());
}

TEST(Display, RatioAndCircleBox) {
  EXPECT_FLOAT_EQ(display_ratio(1600, 1200), 2.0f);
  EXPECT_FLOAT_EQ(display_ratio(400, 300), 0.5f);  // small pictures are enlarged
  EXPECT_EQ(circle_box(800, 600, 500, 2.0f), (Box{150, 82, 650, 582}));
  EXPECT_EQ(to_display(0, 0, 2.0f), (Point{0, 32}));
}

class Session : public testing::Test {
 protected:
  orb::test::TempDir dir_;
};

TEST_F(Session, SelectedPicturesKeepTheCircleInsideTheCommandLineDoesNot) {
  // A picture without a circle: what the detection leaves reaches far past
  // the centre it leaves, as a circle cut by the frame would.
  const auto picture = dir_.path() / "dark.jpg";
  cv::imwrite(picture.string(), cv::Mat(1200, 1600, CV_8UC3, cv::Scalar(0, 0, 0)));
  std::string error;
  CalibrationSession start;
  ASSERT_TRUE(start.analyse(picture, Variant::kStart, error)) << error;
  const CircleValues found = start.detected();
  ASSERT_GT(found.radius, found.cx);
  EXPECT_FLOAT_EQ(start.current().radius, found.radius);
  EXPECT_FLOAT_EQ(start.ratio(), 2.0f);
  EXPECT_EQ(start.detected_box(), circle_box(found.cx, found.cy, found.radius, 2.0f));

  CalibrationSession select;
  ASSERT_TRUE(select.analyse(picture, Variant::kSelect, error));
  EXPECT_FLOAT_EQ(select.current().radius, std::min(found.cx, found.cy));
  EXPECT_FLOAT_EQ(select.detected().radius, found.radius);  // the detection itself is kept
  // Going back to the detected circle keeps it inside as well.
  start.reset_to_detected();
  EXPECT_FLOAT_EQ(start.current().radius, std::min(found.cx, found.cy));

  EXPECT_FALSE(start.analyse(dir_.path() / "missing.jpg", Variant::kStart, error));
  EXPECT_NE(error.find("error:"), std::string::npos);
}

TEST_F(Session, ADragBecomesTheCircleAndSavingWritesIt) {
  const auto picture = dir_.path() / "whole.jpg";
  cv::imwrite(picture.string(), orb::test::fisheye_picture(1600, 1200, 800, 600, 500));
  std::string error;
  CalibrationSession s;
  ASSERT_TRUE(s.analyse(picture, Variant::kStart, error)) << error;
  // The bottom handle 50 display pixels up: 100 picture pixels less radius.
  CCircleTracker drag = s.tracker().CloneForDrag();
  drag.SetBounds(s.detected_box());
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
  const std::string command = std::string(ORBTOOL) + " inspect " + out.string() + " > " + (dir_.path() / "i.txt").string();
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

TEST(InfoText, UsesOnlyThreeFloatConversions) {
  EXPECT_EQ(info_text("c=(%.2f, %.2f) r=%g", 1.5, 2.25, 3), "c=(1.50, 2.25) r=3");
  EXPECT_EQ(info_text("100%% %f %f %f", 1, 2, 3), "100% 1.000000 2.000000 3.000000");
  for (const char* hostile : {"%s %s %s", "%n%f%f", "%d %d %d", "%f %f", "%f %f %f %f", "%999999999f %f %f", "%", ""}) {
    EXPECT_EQ(info_text(hostile, 1, 2, 3), "Centre (1.0, 2.0)  radius 3.0") << hostile;
  }
}

}  // namespace
}  // namespace dioptra
