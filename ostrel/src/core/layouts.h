#pragma once
// View layouts of the video window (wide, ball, two and four views), their
// preset angles by mount direction, and the small conversions the controls
// need (seek slider, volume, time text).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

enum ViewLayout : std::int32_t { kLayoutWide = 0, kLayoutBall = 1, kLayoutSplit2 = 2, kLayoutSplit4 = 4 };

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;  // y from the bottom, as the player takes it
};

struct LayoutPlan {
  int draw_mode = 2;
  int count = 1;
  std::array<Rect, 4> rects{};
  int limits_record = 0;  // which angle-limit record of "varozod.cfg" applies
};

// Nothing for an unknown layout value.
std::optional<LayoutPlan> plan_layout(std::int32_t layout, int width, int height);
// The one full-window source picture of a file named "...B.ext" / "...b.ext".
LayoutPlan source_picture_plan(int width, int height);
bool is_source_picture(std::string_view path);

// Preset (pitch, yaw, roll) of viewport `v` with `count` viewports for mount
// mode 0, 1 or 2; nothing for other mount modes (no presets).
std::optional<std::array<float, 3>> preset_angles(int count, int v, int mount_mode);

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
