#pragma once
// The views of a conversion or a still, drawn offscreen: each viewport
// through the lens model and view into a framebuffer of its own size, once,
// recording where every output pixel samples the source picture; the views
// are then a RemapPlan that each picture goes through. Lives inside a
// headless context: its GL names go when it does, while the context is
// current.
#include <render/gl_handles.h>
#include <render/ogl_renderer.h>
#include <render/remap_plan.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orb {

// The views to draw: the output size, the lens, the mount and up to four
// viewports (rectangles from the bottom left, draw mode, angles, zoom).
struct OffscreenViews {
  const char* calibration_path = nullptr;
  int width = 0, height = 0;
  int mount_mode = 0;
  int count = 0;
  int x[4] = {}, y[4] = {}, view_width[4] = {}, view_height[4] = {};
  int draw_mode[4] = {};
  float pitch[4] = {}, yaw[4] = {}, roll[4] = {}, zoom[4] = {};
};

// The views of a record with the converter's field names (its
// ConverterInitParams), so the converter and a still render read one the
// same way.
template <class Record>
OffscreenViews offscreen_views(const Record& r) {
  OffscreenViews v;
  v.calibration_path = r.calib_filename;
  v.width = r.dst_width;
  v.height = r.dst_height;
  v.mount_mode = r.orientation;
  v.count = r.viewport_count;
  for (int i = 0; i < 4; ++i) {
    v.x[i] = r.x[i];
    v.y[i] = r.y[i];
    v.view_width[i] = r.width[i];
    v.view_height[i] = r.height[i];
    v.draw_mode[i] = r.draw_mode[i];
    v.pitch[i] = r.pitch[i];
    v.yaw[i] = r.yaw[i];
    v.roll[i] = r.roll[i];
    v.zoom[i] = r.zoom[i];
  }
  return v;
}

class OffscreenRenderer {
 public:
  OffscreenRenderer() = default;
  OffscreenRenderer(const OffscreenRenderer&) = delete;
  OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

  // 0, or 21 with "error: ..." in `error`. Writes each viewport's clamped
  // zoom back into `views`, which must outlive the renderer.
  int init(OffscreenViews& views, int input_width, int input_height, std::string& error);
  // The views as a map into the source picture (see RemapPlan). 0 or 21.
  int build_remap(RemapPlan& plan, std::string& error);

 private:
  struct Viewport {
    ogl_renderer view;
    GlFramebuffer framebuffer;
    GlRenderbuffer colour;
    GlRenderbuffer depth;
    int x = 0, y = 0, width = 0, height = 0;
  };

  int create_framebuffer(Viewport& vp, std::string& error);

  const OffscreenViews* views_ = nullptr;
  int input_width_ = 0, input_height_ = 0;
  GlProgram program_;
  StitchPrograms shared_;
  StitchAttributes attributes_;
  std::array<Viewport, 4> viewports_;
  int count_ = 0;
};

}  // namespace orb
