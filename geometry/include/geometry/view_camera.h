#pragma once
// The camera of one viewport: eye and extents per draw mode, zoom (the near
// plane) with its limits, the user's pitch/yaw/roll and the matrices.
#include <geometry/matrix.h>

namespace orb {

class ViewCamera {
 public:
  static constexpr float kMaxZoom = 3.0f;
  static constexpr float kMinZoom = 0.05f;
  static constexpr float kFar = 50.0f;

  ViewCamera();

  // Sets eye, extents and default zoom of `mode` for a viewport of
  // rect_w x rect_h pixels showing a video_w x video_h picture. Prints and
  // returns 7 for an invalid mode (nothing changes); else 0, `changed`
  // telling whether the mode differs from the previous one.
  int select_draw_mode(int mode, int rect_w, int rect_h, int video_w, int video_h, bool& changed);

  // View matrix from the fixed look-at and the current eye.
  void rebuild_view();
  // Clamps to [kMinZoom, kMaxZoom], rebuilds the projection, returns the
  // clamped value.
  float set_zoom(float zoom);
  float reset_zoom() { return set_zoom(default_zoom_); }
  // Flat modes (0, 1) keep an identity model and do not store the angles.
  void set_view_angles(float pitch_deg, float yaw_deg, float roll_deg);
  void set_roll_offset(float deg) { roll_offset_deg_ = deg; }
  void reset_model() { set_identity(model_); }

  // projection x (view x model)
  Mat4 mvp() const;

  int draw_mode() const { return draw_mode_; }
  float zoom() const { return zoom_; }
  float default_zoom() const { return default_zoom_; }
  float pitch() const { return pitch_deg_; }
  float yaw() const { return yaw_deg_; }
  float roll() const { return roll_deg_; }
  float roll_offset() const { return roll_offset_deg_; }
  const Vec3& eye() const { return eye_; }
  float frustum_right() const { return frustum_right_; }
  float frustum_top() const { return frustum_top_; }
  float ortho_half_width() const { return ortho_half_width_; }
  float ortho_half_height() const { return ortho_half_height_; }
  const Mat4& view() const { return view_; }
  const Mat4& model() const { return model_; }
  const Mat4& projection() const { return projection_; }

 private:
  void set_perspective_extents(float right, int rect_w, int rect_h);

  Vec3 eye_{0, 0, 2};
  Vec3 centre_{0, 0, -4};
  Vec3 up_{0, 1, 0};
  // Perspective half extents at the near plane (right = left, top = bottom).
  float frustum_right_ = 0, frustum_left_ = 0, frustum_top_ = 0, frustum_bottom_ = 0;
  float ortho_half_width_ = 0, ortho_half_height_ = 0;
  float zoom_ = 1;
  float default_zoom_ = 1;
  float pitch_deg_ = 0, yaw_deg_ = 0, roll_deg_ = 0;
  float roll_offset_deg_ = 0;
  int draw_mode_ = 0;
  Mat4 view_, model_, projection_;
};

}  // namespace orb
