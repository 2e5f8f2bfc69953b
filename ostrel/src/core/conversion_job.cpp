#include "conversion_job.h"

#include <algorithm>
#include <cmath>

namespace ostrel {

Quality quality_for_item(int item) {
  static constexpr Quality kQualities[] = {{800, 480, 10240}, {1024, 768, 10240}, {1920, 960, 10240}};
  return kQualities[item >= 0 && item < 3 ? item : 1];
}

std::string proposed_output(const std::string& source) {
  const std::size_t slash = source.find_last_of('/');
  const std::size_t dot = source.find_last_of('.');
  // A dot in a folder name is not the file's extension.
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return source.substr(0, dot) + "_out.mp4";
}

void fill_views(ConverterInitParams& p, const LayoutPlan& plan, int preview_width, int preview_height,
                const std::array<PreviewView, 4>* views, int mount_mode, const Quality& quality) {
  p.bitrate = quality.bitrate;
  p.dst_width = quality.width;
  p.dst_height = quality.height;
  p.orientation = mount_mode;
  p.viewport_count = plan.count;
  const float sx = static_cast<float>(quality.width) / static_cast<float>(std::max(1, preview_width));
  const float sy = static_cast<float>(quality.height) / static_cast<float>(std::max(1, preview_height));
  auto scaled = [](int value, float scale, int high) {
    return static_cast<std::int32_t>(std::clamp(static_cast<float>(value) * scale, 0.0f, static_cast<float>(high)));
  };
  for (int v = 0; v < 4; ++v) {
    const auto i = static_cast<std::size_t>(v);
    const bool used = v < plan.count;
    const PreviewView view = used && views ? (*views)[i] : PreviewView{};
    p.draw_mode[i] = used ? plan.draw_mode : 0;
    p.pitch[i] = view.pitch;
    p.yaw[i] = view.yaw;
    p.roll[i] = view.roll;
    p.zoom[i] = view.zoom;
    const Rect r = used ? plan.rects[i] : Rect{};
    p.x[i] = scaled(r.x, sx, quality.width - 1);
    p.y[i] = scaled(r.y, sy, quality.height - 1);
    p.width[i] = scaled(r.width, sx, quality.width);
    p.height[i] = scaled(r.height, sy, quality.height);
  }
}

ConversionJob::ConversionJob(std::string source_path, std::string calibration_path, std::string output_path)
    : source(std::move(source_path)), calibration(std::move(calibration_path)), output(std::move(output_path)) {
  params.input_path = source.c_str();
  params.calib_filename = calibration.c_str();
  params.output_path = output.c_str();
}

}  // namespace ostrel
