#include <common/debug_trace.h>
#include <geometry/view_camera.h>

#include <geometry/draw_mode.h>

#include <cmath>
#include <cstdio>

namespace orb {
namespace {

// Half-width of the sphere seen from `eye_z` on the axis, for the sphere
// points within alpha of the view axis (as seen from the centre).
struct InsideView {
  float right;
  float t;
};
InsideView inside_view(double alpha_rad, float eye_z) {
  const float d = static_cast<float>(4 * std::cos(alpha_rad) + eye_z);
  const float t = static_cast<float>(std::tan(std::atan(4 * std::sin(alpha_rad) / d)));
  return {d * t * 0.5f, t};
}

}  // namespace

ViewCamera::ViewCamera() {
  set_identity(view_);
  set_identity(model_);
  set_identity(projection_);
}

void ViewCamera::set_perspective_extents(float right, int rect_w, int rect_h) {
  frustum_right_ = frustum_left_ = right;
  frustum_top_ = frustum_bottom_ = right / (static_cast<float>(rect_w) / static_cast<float>(rect_h));
}

int ViewCamera::select_draw_mode(int mode, int rect_w, int rect_h, int video_w, int video_h, bool& changed) {
  if (!is_valid_draw_mode(mode)) {
    debug_trace("error: invalid draw mode %d;\n", mode);
    changed = false;
    return 7;
  }
  changed = mode != draw_mode_;
  draw_mode_ = mode;
  const auto w = static_cast<float>(rect_w);
  const auto h = static_cast<float>(rect_h);
  switch (static_cast<DrawMode>(mode)) {
    case DRAW_MODE_SOURCE: {
      eye_[2] = 2;
      const float r = static_cast<float>(video_h) / static_cast<float>(video_w);
      const float q = 1 / r;
      const float m = std::trunc(w / q);
      ortho_half_height_ = m < h ? r * h / m : r;
      const float n = std::trunc(h * q);
      ortho_half_width_ = n < w ? w / n : 1;
      default_zoom_ = 1;
      break;
    }
    case DRAW_MODE_PANORAMA: {
      eye_[2] = 2;
      const float m = std::trunc(w * 0.5f);
      ortho_half_height_ = m < h ? 0.5f * h / m : 0.5f;
      const float n = 2 * h;
      ortho_half_width_ = n < w ? w / n : 1;
      default_zoom_ = 1;
      break;
    }
    case DRAW_MODE_PERSPECTIVE: {
      eye_[2] = 1.5f;
      const InsideView v = inside_view(1.0471975803375244, eye_[2]);  // 60 degrees
      set_perspective_extents(v.right, rect_w, rect_h);
      default_zoom_ = v.right / v.t;
      break;
    }
    case DRAW_MODE_LITTLE_PLANET: {
      eye_[2] = 4;
      const float right = static_cast<float>(std::sin(0.43633231299861114) * 4 * 0.5);  // 25 degrees
      set_perspective_extents(right, rect_w, rect_h);
      // 155 degrees across the width at the default zoom.
      default_zoom_ = static_cast<float>(right / std::tan(1.3526301383972168));
      break;
    }
    case DRAW_MODE_ORTHOGRAPHIC:
      eye_[2] = 2;
      ortho_half_width_ = h < w ? 4 * w / h : 4;
      ortho_half_height_ = w < h ? 4 * h / w : 4;
      default_zoom_ = 1;
      break;
    case DRAW_MODE_WIDE_ANGLE: {
      eye_[2] = 3;
      // 180 degrees would span the viewport's diagonal.
      const float alpha_deg = static_cast<float>(180 / std::sqrt(w * w + h * h) * w) * 0.5f;
      const InsideView v = inside_view(alpha_deg * 3.14159265359 / 180, eye_[2]);
      set_perspective_extents(v.right, rect_w, rect_h);
      default_zoom_ = v.right / v.t;
      break;
    }
  }
  return 0;
}

void ViewCamera::rebuild_view() { look_at(view_, eye_, centre_, up_); }

float ViewCamera::set_zoom(float zoom) {
  float z = zoom < kMaxZoom ? zoom : kMaxZoom;  // NaN becomes the maximum
  if (z <= kMinZoom) z = kMinZoom;
  zoom_ = z;
  switch (static_cast<DrawMode>(draw_mode_)) {
    case DRAW_MODE_SOURCE:
    case DRAW_MODE_PANORAMA:
    case DRAW_MODE_ORTHOGRAPHIC:
      if (ortho_half_width_ != 0) {
        ortho(projection_, -ortho_half_width_, ortho_half_width_, -ortho_half_height_, ortho_half_height_, zoom_, kFar);
      }
      break;
    case DRAW_MODE_PERSPECTIVE:
    case DRAW_MODE_LITTLE_PLANET:
    case DRAW_MODE_WIDE_ANGLE:
      if (frustum_left_ + frustum_right_ != 0) {
        frustum(projection_, -frustum_left_, frustum_right_, -frustum_bottom_, frustum_top_, zoom_, kFar);
      }
      break;
  }
  return zoom_;
}

void ViewCamera::set_view_angles(float pitch_deg, float yaw_deg, float roll_deg) {
  set_identity(model_);
  if (draw_mode_ == DRAW_MODE_SOURCE || draw_mode_ == DRAW_MODE_PANORAMA) return;
  pitch_deg_ = pitch_deg;
  yaw_deg_ = yaw_deg;
  roll_deg_ = roll_deg;
  const float sgn = draw_mode_ == DRAW_MODE_ORTHOGRAPHIC ? 1.0f : -1.0f;
  rotate(model_, sgn * pitch_deg, 1, 0, 0);
  if (draw_mode_ == DRAW_MODE_LITTLE_PLANET) rotate(model_, 90, 1, 0, 0);
  rotate(model_, sgn * yaw_deg, 0, 1, 0);
  rotate(model_, sgn * roll_deg - roll_offset_deg_, 0, 0, 1);
}

Mat4 ViewCamera::mvp() const {
  Mat4 result;
  multiply(result, view_, model_);
  multiply(result, projection_, result);
  return result;
}

}  // namespace orb
