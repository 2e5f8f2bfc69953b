#pragma once
// Headless GL for the tests: one EGL context per test program, render
// targets, a manager set up from a calibration file, pictures read back.
#include <render/headless_gl.h>
#include <render/offscreen_target.h>
#include <render/ogl_rendererMgr.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "calibration_samples.h"
#include "image_compare.h"
#include "temp_dir.h"
#include "yuv_frame.h"

namespace orb::test {

// Set ORB_ALLOW_GL_SKIP=1 to skip the GL tests on a machine that cannot make
// a headless context; otherwise they fail, so CI never passes them unrun.
inline bool gl_skip_allowed() {
  const char* allowed = std::getenv("ORB_ALLOW_GL_SKIP");
  return allowed != nullptr && std::string(allowed) == "1";
}

class GlTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!context_) context_ = HeadlessGlContext::create(context_error_);
  }

  void SetUp() override {
    if (!context_) {
      // A machine without GL is a failure unless the developer said to skip.
      if (gl_skip_allowed()) GTEST_SKIP() << "no headless GL context: " << context_error_;
      FAIL() << "no headless GL context (ORB_ALLOW_GL_SKIP=1 skips): " << context_error_;
    }
    ASSERT_TRUE(context_->make_current());
    while (glGetError() != GL_NO_ERROR) {
    }
  }

  std::unique_ptr<OffscreenTarget> make_target(int width, int height) {
    std::string error;
    auto target = OffscreenTarget::create(width, height, error);
    EXPECT_NE(target, nullptr) << error;
    if (target) target->bind();
    return target;
  }

  // Initialises `mgr` for a video of the given size with `calibration`.
  int init_manager(ogl_rendererMgr& mgr, const CalibrationFile& calibration, int video_width, int video_height,
                   const std::vector<std::uint8_t>* logo_bgr = nullptr, int logo_size = 0) {
    const auto path = write_calibration(dir_, "lens.inf", calibration);
    RendererInit init;
    init.calibration_path = path.c_str();
    init.video_width = video_width;
    init.video_height = video_height;
    init.logo_enabled = logo_bgr != nullptr;
    init.logo_bgr = logo_bgr ? logo_bgr->data() : nullptr;
    init.logo_width = init.logo_height = logo_size;
    return mgr.init(init);
  }

  static int upload(ogl_rendererMgr& mgr, const YuvFrame& f) {
    return mgr.upload_frame(f.y.data(), f.u.data(), f.v.data(), f.width, f.height);
  }

  static Image read_back(const OffscreenTarget& target) {
    return Image::from_gl_rgba(target.read_rgba(), target.width(), target.height());
  }

  TempDir dir_;
  static inline std::unique_ptr<HeadlessGlContext> context_;
  static inline std::string context_error_;
};

}  // namespace orb::test
