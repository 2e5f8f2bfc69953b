#include "view_layout.h"

#include <geometry/draw_mode.h>
#include <geometry/view_camera.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

namespace orb::tool {

namespace {

struct Rect {
  int x, y, w, h;  // y from the bottom
};

// Preset (pitch, yaw) per viewport for mount up, down and sideways.
constexpr float kPresets1[3][2] = {{50, 0}, {-41, -87}, {0, -91}};
constexpr float kPresets2[2][3][2] = {{{42, 174}, {-31, 99}, {-132, 92}}, {{42, 0}, {-31, -91}, {15, -90}}};
constexpr float kPresets4[4][3][2] = {{{42, 91}, {-31, -15}, {15, -57}},
                                      {{42, -84}, {-31, 176}, {15, -111}},
                                      {{42, 0}, {-31, -91}, {20, -86}},
                                      {{42, 174}, {-31, 99}, {-132, 92}}};

}  // namespace

bool parse_time(const std::string& text, int& seconds) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) {
    const auto s = to_int(text);
    if (!s || *s < 0) return false;
    seconds = *s;
    return true;
  }
  const auto m = to_int(text.substr(0, colon));
  const auto s = to_int(text.substr(colon + 1));
  // Minutes beyond a million (about two years) would overflow the seconds.
  if (!m || !s || *m < 0 || *m > 1000000 || *s < 0 || *s > 59) return false;
  seconds = *m * 60 + *s;
  return true;
}

std::string find_calibration(const Args& args, const std::string& media) {
  if (auto given = args.get("calib")) return *given;
  std::error_code ec;
  std::vector<std::filesystem::path> found;
  const std::filesystem::path dir = std::filesystem::absolute(media, ec).parent_path();
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path().extension() == ".inf") found.push_back(entry.path());
  }
  if (found.empty()) {
    std::fprintf(stderr, "error: no calibration file beside %s (give one with --calib)\n", media.c_str());
    return {};
  }
  // The one named like the video first, else the first by name.
  std::sort(found.begin(), found.end());
  for (const auto& p : found) {
    if (p.stem() == std::filesystem::path(media).stem()) return p.string();
  }
  return found.front().string();
}

bool fill_view_params(const Args& args, ConverterInitParams& params, std::string& error) {
  int width = 1920, height = 960;
  if (auto size = args.get("size"); size && !parse_size(*size, width, height)) {
    error = "error: --size must look like 1920x960";
    return false;
  }
  params.dst_width = width;
  params.dst_height = height;
  params.bitrate = 10240;
  if (auto bitrate = args.get("bitrate")) {
    const auto b = to_int(*bitrate);
    if (!b || *b <= 0 || *b > 2000000) {
      error = "error: --bitrate must be a positive number of kbit/s";
      return false;
    }
    params.bitrate = *b;
  }
  static const std::map<std::string, int> kMounts = {{"up", 0}, {"down", 1}, {"side", 2}};
  const auto mount = kMounts.find(args.get("mount").value_or("up"));
  if (mount == kMounts.end()) {
    error = "error: --mount must be up, down or side";
    return false;
  }
  params.orientation = mount->second;
  const std::string layout = args.get("layout").value_or("wide");
  std::vector<Rect> rects;
  int mode = DRAW_MODE_PERSPECTIVE;
  const int w = width, h = height;
  if (layout == "wide") {
    mode = DRAW_MODE_WIDE_ANGLE;
    rects = {{0, 0, w, h}};
  } else if (layout == "ball") {
    rects = {{0, 0, w, h}};
  } else if (layout == "panorama") {
    mode = DRAW_MODE_PANORAMA;
    rects = {{0, 0, w, h}};
  } else if (layout == "split2") {
    rects = {{w / 4, 0, w / 2, h / 2}, {w / 4, h / 2, w / 2, h / 2}};
  } else if (layout == "split4") {
    rects = {{0, 0, w / 2, h / 2}, {w / 2, 0, w / 2, h / 2}, {0, h / 2, w / 2, h / 2}, {w / 2, h / 2, w / 2, h / 2}};
  } else {
    error = "error: --layout must be wide, ball, split2, split4 or panorama";
    return false;
  }
  params.viewport_count = static_cast<int32_t>(rects.size());
  for (std::size_t i = 0; i < rects.size(); ++i) {
    params.x[i] = rects[i].x;
    params.y[i] = rects[i].y;
    params.width[i] = rects[i].w;
    params.height[i] = rects[i].h;
    params.draw_mode[i] = mode;
    const int m = params.orientation;
    const float* preset = rects.size() == 1 ? kPresets1[m] : rects.size() == 2 ? kPresets2[i][m] : kPresets4[i][m];
    params.pitch[i] = mode == DRAW_MODE_PANORAMA ? 0 : preset[0];
    params.yaw[i] = mode == DRAW_MODE_PANORAMA ? 0 : preset[1];
    params.roll[i] = 0;
    ViewCamera camera;  // the mode's own zoom for this viewport's shape
    bool changed = false;
    camera.select_draw_mode(mode, rects[i].w, rects[i].h, 1920, 1080, changed);
    params.zoom[i] = camera.default_zoom();
  }
  // --view v:pitch,yaw,roll[,zoom]
  for (const std::string& view : args.repeated("view")) {
    const std::size_t colon = view.find(':');
    const auto v = colon == std::string::npos ? std::nullopt : to_int(view.substr(0, colon));
    std::vector<double> values;
    if (v && colon != std::string::npos) {
      std::string rest = view.substr(colon + 1);
      for (std::size_t start = 0; start <= rest.size();) {
        const std::size_t comma = rest.find(',', start);
        const auto n = to_number(rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!n) break;
        values.push_back(*n);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
    if (!v || *v < 0 || *v >= params.viewport_count || values.size() < 3 || values.size() > 4) {
      error = "error: --view takes VIEWPORT:PITCH,YAW,ROLL[,ZOOM] for one of the layout's viewports";
      return false;
    }
    // "nan", "inf" and numbers beyond a float would reach the renderer as such.
    bool sane = values.size() < 4 || values[3] > 0;
    for (double value : values) sane = sane && std::isfinite(value) && std::abs(value) <= 1e6;
    if (!sane) {
      error = "error: --view angles must be finite degrees and the zoom a number above 0";
      return false;
    }
    params.pitch[*v] = static_cast<float>(values[0]);
    params.yaw[*v] = static_cast<float>(values[1]);
    params.roll[*v] = static_cast<float>(values[2]);
    if (values.size() == 4) params.zoom[*v] = static_cast<float>(values[3]);
  }
  return true;
}

}  // namespace orb::tool
