#include <geometry/view_layout.h>

#include <algorithm>

namespace orb {
namespace {

// (pitch, yaw) per mount: up, down, sideways.
constexpr float kOne[3][2] = {{50, 0}, {-41, -87}, {0, -91}};
constexpr float kTwo[2][3][2] = {{{42, 174}, {-31, 99}, {-132, 92}}, {{42, 0}, {-31, -91}, {15, -90}}};
constexpr float kFour[4][3][2] = {{{42, 91}, {-31, -15}, {15, -57}},
                                  {{42, -84}, {-31, 176}, {15, -111}},
                                  {{42, 0}, {-31, -91}, {20, -86}},
                                  {{42, 174}, {-31, 99}, {-132, 92}}};

}  // namespace

std::optional<LayoutPlan> plan_layout(std::int32_t layout, int w, int h) {
  LayoutPlan p;
  switch (layout) {
    case kLayoutWide:
    case kLayoutBall:
    case kLayoutPanorama:
      p.draw_mode = layout == kLayoutWide   ? DRAW_MODE_WIDE_ANGLE
                    : layout == kLayoutBall ? DRAW_MODE_PERSPECTIVE
                                            : DRAW_MODE_PANORAMA;
      p.count = 1;
      p.rects[0] = {0, 0, w, h};
      p.limits_record = layout == kLayoutPanorama ? 0 : layout;
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
    default: return std::nullopt;
  }
}

LayoutPlan source_picture_plan(int w, int h) {
  LayoutPlan p;
  p.draw_mode = DRAW_MODE_SOURCE;
  p.count = 1;
  p.rects[0] = {0, 0, w, h};
  return p;
}

std::optional<std::array<float, 3>> preset_angles(int count, int v, int mount) {
  if (mount < kMountUp || mount > kMountSide || v < 0 || v >= count) return std::nullopt;
  const float* a = count == 1 ? kOne[mount] : count == 2 ? kTwo[v][mount] : count == 4 ? kFour[v][mount] : nullptr;
  if (a == nullptr) return std::nullopt;
  return std::array<float, 3>{a[0], a[1], 0};
}

std::vector<std::filesystem::path> calibrations_beside(const std::string& media) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path video = fs::absolute(media, ec);
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(video.parent_path(), ec)) {
    if (entry.path().extension() == ".inf" && entry.is_regular_file(ec)) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  const auto own =
      std::find_if(found.begin(), found.end(), [&](const fs::path& p) { return p.stem() == video.stem(); });
  if (own != found.end()) std::rotate(found.begin(), own, own + 1);
  return found;
}

}  // namespace orb
