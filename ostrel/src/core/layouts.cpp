#include "layouts.h"

#include <cstdio>

namespace ostrel {
namespace {

// (pitch, yaw) per mount mode 0 (up), 1 (down), 2 (sideways).
constexpr float kOne[3][2] = {{50, 0}, {-41, -87}, {0, -91}};
constexpr float kTwo[2][3][2] = {{{42, 174}, {-31, 99}, {-132, 92}}, {{42, 0}, {-31, -91}, {15, -90}}};
constexpr float kFour[4][3][2] = {{{42, 91}, {-31, -15}, {15, -57}},
                                  {{42, -84}, {-31, 176}, {15, -111}},
                                  {{42, 0}, {-31, -91}, {20, -86}},
                                  {{42, 174}, {-31, 99}, {-132, 92}}};

std::string clock_text(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600 % 24),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace

std::optional<LayoutPlan> plan_layout(std::int32_t layout, int w, int h) {
  LayoutPlan p;
  switch (layout) {
    case kLayoutWide:
    case kLayoutBall:
      p.draw_mode = layout == kLayoutWide ? 5 : 2;
      p.count = 1;
      p.rects[0] = {0, 0, w, h};
      p.limits_record = layout;
      return p;
    case kLayoutSplit2:
      p.count = 2;
      p.rects[0] = {w / 4, 0, w / 2, h / 2};
      p.rects[1] = {w / 4, h / 2, w / 2, h / 2};
      p.limits_record = 2;
      return p;
    case kLayoutSplit4:
      p.count = 4;
      p.rects[0] = {0, 0, w / 2, h / 2};
      p.rects[1] = {w / 2, 0, w / 2, h / 2};
      p.rects[2] = {0, h / 2, w / 2, h / 2};
      p.rects[3] = {w / 2, h / 2, w / 2, h / 2};
      p.limits_record = 3;
      return p;
    default:
      return std::nullopt;
  }
}

LayoutPlan source_picture_plan(int w, int h) {
  LayoutPlan p;
  p.draw_mode = 0;
  p.count = 1;
  p.rects[0] = {0, 0, w, h};
  return p;
}

bool is_source_picture(std::string_view path) {
  if (path.size() < 5) return false;
  const char c = path[path.size() - 5];  // just before ".ext"
  return c == 'B' || c == 'b';
}

std::optional<std::array<float, 3>> preset_angles(int count, int v, int mount_mode) {
  if (mount_mode < 0 || mount_mode > 2 || v < 0 || v >= count) return std::nullopt;
  const float* a = count == 1 ? kOne[mount_mode] : count == 2 ? kTwo[v][mount_mode] : count == 4 ? kFour[v][mount_mode] : nullptr;
  if (a == nullptr) return std::nullopt;
  return std::array<float, 3>{a[0], a[1], 0};
}

SeekTarget seek_target(int slider_value, int duration_minutes, int duration_seconds) {
  const std::int64_t t = std::int64_t{slider_value} * (std::int64_t{duration_minutes} * 60 + duration_seconds);
  return {static_cast<int>(t / 60000), static_cast<int>(t / 1000 - (t / 60000) * 60), -1};
}

int volume_from_percent(int percent) { return static_cast<int>(static_cast<double>(percent) / 100 * 128); }

std::string time_text(std::int64_t current_seconds, std::int64_t total_seconds) {
  return clock_text(current_seconds) + " / " + clock_text(total_seconds);
}

}  // namespace ostrel
