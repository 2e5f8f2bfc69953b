#pragma once
// The suite's view layouts: how one, two or four viewports share a picture,
// the angles each viewport starts at for the camera's mount direction, and
// where a video's lens calibration is looked for beside it. The player
// application and the command line both lay views out from here.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <geometry/draw_mode.h>

namespace orb {

// Values are stored in settings files and passed through the libraries'
// interfaces: they never change.
enum ViewLayout : std::int32_t {
  kLayoutWide = 0,      // one wide-angle view
  kLayoutBall = 1,      // one perspective view
  kLayoutSplit2 = 2,    // two perspective views, one above the other
  kLayoutSplit4 = 4,    // four perspective views in a square
  kLayoutPanorama = 5,  // the flat unwrapped panorama
};

// Which way the camera looks; the player's and converter's "mount mode".
enum MountMode : int { kMountUp = 0, kMountDown = 1, kMountSide = 2, kMountRight = 3 };

struct ViewRect {
  int x = 0, y = 0, width = 0, height = 0;  // y from the bottom, as GL counts
};

struct LayoutPlan {
  DrawMode draw_mode = DRAW_MODE_PERSPECTIVE;
  int count = 1;
  std::array<ViewRect, 4> rects{};
  int limits_record = 0;  // which angle-limit record of the player's settings applies
};

// The viewports of `layout` in a width x height picture; nothing for an
// unknown value.
std::optional<LayoutPlan> plan_layout(std::int32_t layout, int width, int height);
// The one full-picture source view.
LayoutPlan source_picture_plan(int width, int height);

// Preset (pitch, yaw, roll) of viewport `v` of `count` for the mount; nothing
// for a camera facing right, which has no presets, or a view out of range.
std::optional<std::array<float, 3>> preset_angles(int count, int v, int mount);

// The lens calibrations ("*.inf") in the video's folder, the one named like
// the video first, the rest by name.
std::vector<std::filesystem::path> calibrations_beside(const std::string& media);

}  // namespace orb
