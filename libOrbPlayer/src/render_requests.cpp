// The host's side of the window: viewports and view angles set from any
// thread, handed to the render thread where GL must apply them.
#include "render_window.h"

namespace orb::player {

void RenderWindow::set_window_rect(int x, int y, int width, int height) {
  std::lock_guard lock(mutex_);
  use_native_window_ = false;
  window_x_ = x;
  window_y_ = y;
  window_width_ = width;
  window_height_ = height;
}

void RenderWindow::set_native_window(unsigned long window) {
  std::lock_guard lock(mutex_);
  use_native_window_ = true;
  native_window_ = window;
}

void RenderWindow::wait_served(std::unique_lock<std::mutex>& lock, const int& request) {
  // Bounded waits: a stop that comes meanwhile is seen within one.
  while (request != 0 && live_ && !state_.stopping()) request_cv_.wait_for(lock, std::chrono::milliseconds(10));
}

void RenderWindow::set_draw_mode(int index, int mode) {
  std::unique_lock lock(mutex_);
  viewports_[static_cast<std::size_t>(index)].draw_mode = mode;
  if (!live_) return;
  draw_request_ = index + 1;
  view_dirty_ = true;
  wait_served(lock, draw_request_);
}

void RenderWindow::set_viewport_rect(int index, int x, int y, int width, int height) {
  std::unique_lock lock(mutex_);
  ViewportState& vp = viewports_[static_cast<std::size_t>(index)];
  vp.x = x < 1 ? 0 : x;
  vp.y = y < 1 ? 0 : y;
  vp.width = width;
  vp.height = height;
  if (!live_) {
    vp.enabled = 1;
    return;
  }
  rect_request_ = index + 1;
  view_dirty_ = true;
  wait_served(lock, rect_request_);
}

void RenderWindow::disable_viewport(int index) {
  std::lock_guard lock(mutex_);
  viewports_[static_cast<std::size_t>(index)].enabled = 0;
  view_dirty_ = true;
}

void RenderWindow::set_angle_limits(int index, const std::array<AngleLimits, 3>& limits) {
  std::lock_guard lock(mutex_);
  viewports_[static_cast<std::size_t>(index)].limits = limits;
}

void RenderWindow::set_view_angles(int index, float pitch, float yaw, float roll) {
  std::lock_guard lock(mutex_);
  viewports_[static_cast<std::size_t>(index)].angles = {pitch, yaw, roll};
  apply_angles(index);
}

// Caller holds the view lock.
void RenderWindow::apply_angles(int index) {
  ViewportState& vp = viewports_[static_cast<std::size_t>(index)];
  for (std::size_t k = 0; k < 3; ++k) vp.angles[k] = normalise_angle(vp.angles[k], vp.limits[k]);
  if (renderer_) renderer_->set_view_angles(index, vp.angles[0], vp.angles[1], vp.angles[2]);
  view_dirty_ = true;
}

float RenderWindow::zoom(int index) const {
  std::lock_guard lock(mutex_);
  return renderer_ ? renderer_->viewport(index).camera().zoom() : 0;
}

std::array<float, 3> RenderWindow::view_angles(int index) const {
  std::lock_guard lock(mutex_);
  if (!renderer_) return {0, 0, 0};
  const ViewCamera& cam = renderer_->viewport(index).camera();
  return {cam.pitch(), cam.yaw(), cam.roll()};
}

void RenderWindow::set_overlay_text(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (renderer_) renderer_->set_overlay_text(text.c_str());
}

std::string RenderWindow::overlay_text() const {
  std::lock_guard lock(mutex_);
  return renderer_ ? renderer_->overlay_text() : "";
}

ViewportState RenderWindow::viewport(int index) const {
  std::lock_guard lock(mutex_);
  return viewports_[static_cast<std::size_t>(index)];
}

PlaybackStats RenderWindow::stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

void RenderWindow::reset_offset_max() {
  std::lock_guard lock(mutex_);
  stats_.offset_abs_max_ms = 0;
}

void RenderWindow::begin_playback() {
  std::lock_guard lock(mutex_);
  draw_request_ = rect_request_ = 0;
  stats_ = PlaybackStats{};
  live_ = true;
}

void RenderWindow::set_live(bool live) {
  {
    std::lock_guard lock(mutex_);
    live_ = live;
  }
  request_cv_.notify_all();  // a request waiting for the render thread waits no more
}

}  // namespace orb::player
