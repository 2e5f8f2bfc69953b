#pragma once
// The picture side of a playback: the window (the player's own or the
// host's), its GL context and renderer, the viewports and the host's
// requests for them, mouse turning, and the render thread's loop that shows
// each picture when the clock reaches it. Only the render thread touches
// SDL video and GL; host threads change the viewports under the view lock
// and wait for the render thread to apply what needs GL.
#include <common/error_buffer.h>
#include <libOrbPlayer/ISS_OrbPlayer.h>
#include <render/ogl_rendererMgr.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio_clock.h"
#include "frame_ring.h"
#include "playback_state.h"
#include "sdl_support.h"
#include "view_angles.h"

typedef struct _XDisplay Display;

namespace orb::player {

inline constexpr int kViewports = 4;

struct ViewportState {
  int draw_mode = 0;
  int x = 0, y = 0, width = 0, height = 0;  // window pixels, origin bottom-left
  float zoom = 0;
  std::array<float, 3> angles{};  // pitch, yaw, roll (degrees)
  std::array<AngleLimits, 3> limits{};
  int enabled = 0;
};

// What the render thread saw, for tests and the benchmark.
struct PlaybackStats {
  std::uint64_t frames_shown = 0;
  std::uint64_t frames_dropped = 0;  // decoded behind the clock, or superseded while late; never shown
  double offset_sum_ms = 0;          // frame timestamp minus clock when shown
  double offset_abs_max_ms = 0;
  double last_shown_ms = -1;  // timestamp of the picture shown last
  std::uint64_t passes = 0;
  std::uint64_t turns_shown = 0;   // swaps that showed a view turned by the mouse
  int64_t last_turn_shown_ns = 0;  // steady clock, when the last of them returned
};

class RenderWindow {
 public:
  RenderWindow(PlaybackState& state, ErrorBuffer<1024>& error) : state_(state), error_(error) {}

  // --- host side (any thread)
  // The window is made when playback starts: these hold for the next one.
  void set_window_rect(int x, int y, int width, int height);
  void set_native_window(unsigned long window);
  // While the render thread runs (`live`), these wait until it has applied
  // the change with GL.
  void set_draw_mode(int index, int mode);
  void set_viewport_rect(int index, int x, int y, int width, int height);
  void disable_viewport(int index);
  void set_angle_limits(int index, const std::array<AngleLimits, 3>& limits);
  void set_view_angles(int index, float pitch, float yaw, float roll);
  float zoom(int index) const;
  std::array<float, 3> view_angles(int index) const;
  void set_overlay_text(const std::string& text);
  std::string overlay_text() const;
  ViewportState viewport(int index) const;
  PlaybackStats stats() const;
  void reset_offset_max();

  // --- a playback's course
  // Before the render thread starts: requests and statistics start afresh,
  // and host changes wait for the thread. set_live(false) when it ends.
  void begin_playback();
  void set_live(bool live);

  // --- the render thread
  // Window, context and renderer for pictures of `width` x `height`.
  // 0, or the failure's code with the message buffer written.
  int start(const MediaOpenParams& params, int width, int height);
  // Serves requests, shows pictures from `ring` as `clock` reaches them,
  // handles the window's events and draws, until the playback stops or the
  // renderer fails (its code).
  int run(FrameRing& ring, const AudioClock& clock, double frame_interval_ms);
  void release();

 private:
  void idle(FrameRing& ring, std::uint64_t seen, std::chrono::milliseconds wait);
  int apply_initial_viewports();
  int serve_requests();
  bool show_due_frame(FrameRing& ring, const AudioClock& clock, double frame_interval_ms,
                      std::chrono::milliseconds& wait);
  void handle_event(const SDL_Event& e, bool& dirty);
  int viewport_at(int px, int py) const;
  void apply_angles(int index);
  // Waits while `request` is pending and the render thread can serve it.
  void wait_served(std::unique_lock<std::mutex>& lock, const int& request);

  PlaybackState& state_;
  ErrorBuffer<1024>& error_;

  mutable std::mutex mutex_;            // the view lock: guards everything in this group
  std::condition_variable request_cv_;  // the render thread served a request or ended
  bool live_ = false;                   // the render thread serves requests
  std::array<ViewportState, kViewports> viewports_;
  int draw_request_ = 0;  // 0 or index + 1
  int rect_request_ = 0;  // 0 or index + 1
  bool use_native_window_ = false;
  unsigned long native_window_ = 0;
  int window_x_ = 0, window_y_ = 0, window_width_ = 0, window_height_ = 0;
  std::unique_ptr<ogl_rendererMgr> renderer_;  // the render thread creates and destroys it
  bool view_dirty_ = true;                     // something to redraw
  PlaybackStats stats_;

  // --- the render thread's alone
  SdlWindowPtr window_;
  std::unique_ptr<SdlGlContext> gl_context_;
  Display* x_display_ = nullptr;  // SDL's connection: host messages go out on it, its input ends an idle wait
  int input_fd_ = -1;
  int frame_width_ = 0, frame_height_ = 0;
  int mouse_x_ = 0, mouse_y_ = 0;
  bool double_click_latch_ = false;
  bool turned_ = false;           // a drag turned a view since the last swap
  std::vector<int64_t> pending_;  // the ring's timestamps, each pass
  std::vector<double> ahead_ms_;
};

}  // namespace orb::player
