#pragma once
// The converter's renderer: each viewport drawn through the lens model and
// view into a framebuffer of its own size, once, recording where every
// output pixel samples the source picture; the views are then a RemapPlan
// that each frame goes through. Lives inside a headless context: its GL
// names go when it does, while the context is current.
#include <libOrbVideoConverter/ISS_OrbVideoConverter.h>

#include <render/gl_handles.h>

#include "remap_plan.h"
#include <render/ogl_renderer.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orb::converter {

class OffscreenRenderer {
 public:
  OffscreenRenderer() = default;
  OffscreenRenderer(const OffscreenRenderer&) = delete;
  OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

  // 0, or 21 with "error: ..." in `error`. Writes each viewport's clamped
  // zoom back into `params`.
  int init(ConverterInitParams& params, int input_width, int input_height, std::string& error);
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

  const ConverterInitParams* params_ = nullptr;
  int input_width_ = 0, input_height_ = 0;
  GlProgram program_;
  StitchUniforms uniforms_;
  StitchAttributes attributes_;
  std::array<Viewport, 4> viewports_;
  int count_ = 0;
};

}  // namespace orb::converter
