#pragma once
// The video window's layouts, and the small conversions the controls need
// (seek slider, volume, time text).
#include <geometry/view_layout.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

// The layouts, their plans and presets are the suite's (geometry/view_layout.h).
using orb::kLayoutBall;
using orb::kLayoutSplit2;
using orb::kLayoutSplit4;
using orb::kLayoutWide;
using orb::kMountDown;
using orb::kMountRight;
using orb::kMountSide;
using orb::kMountUp;
using orb::LayoutPlan;
using orb::plan_layout;
using orb::preset_angles;
using orb::source_picture_plan;
using orb::ViewLayout;
using Rect = orb::ViewRect;

// A file named "...B.ext" / "...b.ext" is shown as its plain source picture.
bool is_source_picture(std::string_view path);

struct SeekTarget {
  int minutes, seconds, milliseconds;
};
// Slider value in thousandths of the duration (whole seconds of it).
SeekTarget seek_target(int slider_value, int duration_minutes, int duration_seconds);
// A 0..100 slider to the player's 0..128.
int volume_from_percent(int percent);
// "HH:MM:SS / HH:MM:SS", current first.
std::string time_text(std::int64_t current_seconds, std::int64_t total_seconds);

}  // namespace ostrel
