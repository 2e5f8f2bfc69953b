#pragma once
// What the conversion dialog hands the converter: the paths, the quality
// chosen, and the preview's views scaled to the output picture.
#include <libOrbVideoConverter/ISS_OrbVideoConverter.h>

#include <array>
#include <string>

#include "layouts.h"

namespace ostrel {

struct Quality {
  int width, height, bitrate;  // bitrate in kbit/s
};
// Items of the quality list: 800×480, 1024×768 (the default), 1920×960.
Quality quality_for_item(int item);

// "<source without its extension>_out.mp4"; "" when the file name has no '.'.
std::string proposed_output(const std::string& source);

// One preview viewport's view.
struct PreviewView {
  float pitch = 0, yaw = 0, roll = 0, zoom = 0;
};

// The preview's layout (`plan`, in a preview of `preview_width` ×
// `preview_height` pixels) as the converter's viewports: draw modes,
// angles (all 0 without `views`, when the preview does not play) and the
// rectangles scaled to the quality's size, each within the picture.
void fill_views(ConverterInitParams& params, const LayoutPlan& plan, int preview_width, int preview_height,
                const std::array<PreviewView, 4>* views, int mount_mode, const Quality& quality);

// The strings a converter's record points to live here, with the record.
struct ConversionJob {
  ConversionJob(std::string source_path, std::string calibration_path, std::string output_path);
  ConversionJob(const ConversionJob&) = delete;
  ConversionJob& operator=(const ConversionJob&) = delete;

  const std::string source, calibration, output;
  ConverterInitParams params{};
};

}  // namespace ostrel
