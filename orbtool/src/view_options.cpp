#include "view_options.h"

#include <geometry/draw_mode.h>
#include <geometry/view_camera.h>
#include <geometry/view_layout.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

namespace orb::tool {

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
  const std::vector<std::filesystem::path> beside = calibrations_beside(media);
  if (beside.empty()) {
    std::fprintf(stderr, "error: no calibration file beside %s (give one with --calib)\n", media.c_str());
    return {};
  }
  return beside.front().string();
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
  static const std::map<std::string, MountMode> kMounts = {
      {"up", kMountUp}, {"down", kMountDown}, {"side", kMountSide}};
  const auto mount = kMounts.find(args.get("mount").value_or("up"));
  if (mount == kMounts.end()) {
    error = "error: --mount must be up, down or side";
    return false;
  }
  params.orientation = mount->second;
  static const std::map<std::string, ViewLayout> kLayouts = {{"wide", kLayoutWide},
                                                             {"ball", kLayoutBall},
                                                             {"panorama", kLayoutPanorama},
                                                             {"split2", kLayoutSplit2},
                                                             {"split4", kLayoutSplit4}};
  const auto layout = kLayouts.find(args.get("layout").value_or("wide"));
  if (layout == kLayouts.end()) {
    error = "error: --layout must be wide, ball, split2, split4 or panorama";
    return false;
  }
  const LayoutPlan plan = *plan_layout(layout->second, width, height);
  params.viewport_count = plan.count;
  for (int i = 0; i < plan.count; ++i) {
    const ViewRect& r = plan.rects[static_cast<std::size_t>(i)];
    params.x[i] = r.x;
    params.y[i] = r.y;
    params.width[i] = r.width;
    params.height[i] = r.height;
    params.draw_mode[i] = plan.draw_mode;
    const auto preset = preset_angles(plan.count, i, params.orientation);
    const bool flat = plan.draw_mode == DRAW_MODE_PANORAMA;
    params.pitch[i] = flat || !preset ? 0 : (*preset)[0];
    params.yaw[i] = flat || !preset ? 0 : (*preset)[1];
    params.roll[i] = 0;
    ViewCamera camera;  // the mode's own zoom for this viewport's shape
    bool changed = false;
    camera.select_draw_mode(plan.draw_mode, r.width, r.height, 1920, 1080, changed);
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
