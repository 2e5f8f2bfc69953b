// The render thread: window and GL context, the renderer, host requests,
// frame choice against the clock, mouse input, and presenting.
#include "render_window.h"

#include "frame_choice.h"
#include "logo_picture.h"

#include <common/debug_trace.h>
#include <common/host_message.h>

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace orb::player {
namespace {

constexpr auto kIdleRedraw = std::chrono::milliseconds(250);

}  // namespace

int RenderWindow::run(FrameRing& ring, const AudioClock& clock, double frame_interval_ms) {
  int code = 0;
  auto last_draw = std::chrono::steady_clock::now();
  std::vector<SDL_Event> events;
  const std::uint32_t window_id = SDL_GetWindowID(window_.get());
  while (!state_.stopping() && code == 0) {
    code = serve_requests();
    if (code != 0) break;
    std::chrono::milliseconds wait{0};
    const std::uint64_t seen = ring.generation();
    const bool shown = show_due_frame(ring, clock, frame_interval_ms, wait);
    take_window_events(window_id, events);
    bool dirty = shown;
    for (const SDL_Event& e : events) handle_event(e, dirty);
    const auto now = std::chrono::steady_clock::now();
    {
      std::lock_guard lock(mutex_);
      ++stats_.passes;
      dirty = dirty || view_dirty_ || now - last_draw >= kIdleRedraw;
      if (dirty) {
        view_dirty_ = false;
        const std::array<int, kMaxViewports> enabled = {viewports_[0].enabled, viewports_[1].enabled,
                                                        viewports_[2].enabled, viewports_[3].enabled};
        renderer_->draw_all(enabled);
      }
    }
    if (dirty) {
      SDL_GL_SwapWindow(window_.get());
      last_draw = now;
      if (turned_) {
        turned_ = false;
        const auto shown_at = std::chrono::steady_clock::now().time_since_epoch();
        std::lock_guard lock(mutex_);
        ++stats_.turns_shown;
        stats_.last_turn_shown_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(shown_at).count();
      }
    }
    // Late pictures: one per pass, straight on. Otherwise sleep until the
    // next one is due (or arrives), never holding a lock.
    if (!shown && wait.count() > 0) idle(ring, seen, wait);
  }
  return code;
}

int RenderWindow::start(const MediaOpenParams& params, int width, int height) {
  frame_width_ = width;
  frame_height_ = height;
  bool native;
  unsigned long native_window;
  int x, y, w, h;
  {
    std::lock_guard lock(mutex_);
    native = use_native_window_;
    native_window = native_window_;
    x = window_x_;
    y = window_y_;
    w = window_width_;
    h = window_height_;
  }
  // Attributes, window and context are process-wide SDL state.
  std::unique_lock sdl_lock(sdl_mutex());
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_EventState(SDL_DROPFILE, SDL_DISABLE);  // hosts take drops on their own widget
  SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
  if (native) {
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    window_.reset(SDL_CreateWindowFrom(reinterpret_cast<void*>(native_window)));
    if (!window_) {
      const int code = error_.format(ORB_ERROR_WINDOW, "error: unable to create sdl window from native window: %s\n",
                                     SDL_GetError());
      debug_trace("%s", error_.c_str());
      return code;
    }
  } else {
    window_.reset(
        SDL_CreateWindow("Orbivue VR Player", x, y, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE));
    if (!window_) {
      const int code = error_.format(ORB_ERROR_WINDOW, "error: unable to create sdl window: %s\n", SDL_GetError());
      debug_trace("%s", error_.c_str());
      return code;
    }
  }
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (SDL_GetWindowWMInfo(window_.get(), &wm) && wm.subsystem == SDL_SYSWM_X11) {
    x_display_ = wm.info.x11.display;
    input_fd_ = ConnectionNumber(x_display_);
    if (native) {
      // SDL selects no input on a foreign window; without this no mouse event
      // arrives. Keys are left to pass up to the host's window: the player
      // has none of its own, and the host's keys must work over the picture.
      XSelectInput(x_display_, wm.info.x11.window,
                   ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                       EnterWindowMask | LeaveWindowMask | FocusChangeMask | PropertyChangeMask);
    }
  }
  SDL_GetWindowSize(window_.get(), &w, &h);
  SDL_GetWindowPosition(window_.get(), &x, &y);
  {
    std::lock_guard lock(mutex_);
    window_width_ = w;
    window_height_ = h;
    window_x_ = x;
    window_y_ = y;
  }
  SDL_GLContext context = SDL_GL_CreateContext(window_.get());
  if (!context) {
    const int code = error_.format(ORB_ERROR_WINDOW, "error: fail to create gl context: %s\n", SDL_GetError());
    debug_trace("%s", error_.c_str());
    return code;
  }
  gl_context_ = std::make_unique<SdlGlContext>(context);
  if (SDL_GL_MakeCurrent(window_.get(), context) != 0) {
    const int code = error_.format(ORB_ERROR_WINDOW, "error: fail to make current gl context: %s\n", SDL_GetError());
    debug_trace("%s", error_.c_str());
    return code;
  }
  if (SDL_GL_SetSwapInterval(1) != 0) debug_trace("swap interval refused (%s); pacing from the clock", SDL_GetError());
  sdl_lock.unlock();

  auto renderer = std::make_unique<ogl_rendererMgr>();
  std::vector<std::uint8_t> logo;
  RendererInit init;
  init.calibration_path = params.calibration_path;
  init.logo_enabled = params.logo_enabled != 0;
  init.logo_angle_deg = params.logo_angle;
  init.no_calibration = params.no_calibration != 0;
  init.video_width = frame_width_;
  init.video_height = frame_height_;
  init.mount_mode = params.mount_mode;
  if (init.logo_enabled) {
    std::string error;
    if (!load_logo_picture(params.logo_path, logo, init.logo_width, init.logo_height, error)) {
      error_.format(ORB_ERROR, "%s", error.c_str());
      debug_trace("%s", error.c_str());
      return ORB_ERROR;
    }
    init.logo_bgr = logo.data();
  }
  if (renderer->init(init) != 0) {
    return error_.format(ORB_ERROR_WINDOW, "error: in OGL renderer, line: %d: %s\n", 570,
                         renderer->error_text().c_str());
  }
  std::lock_guard lock(mutex_);
  renderer_ = std::move(renderer);
  return apply_initial_viewports();
}

// Caller holds the view lock.
int RenderWindow::apply_initial_viewports() {
  for (int i = 0; i < kViewports; ++i) {
    ViewportState& vp = viewports_[static_cast<std::size_t>(i)];
    if (!vp.enabled) continue;
    if (renderer_->set_viewport_rect(i, vp.x, vp.y, vp.width, vp.height) != 0) {
      return error_.format(ORB_ERROR_WINDOW, "error: in OGL renderer, line: %d: %s", 584,
                           renderer_->error_text().c_str());
    }
    if (renderer_->set_draw_mode(i, vp.draw_mode) != 0) {
      return error_.format(ORB_ERROR_WINDOW, "error: in OGL renderer, line: %d: %s", 590,
                           renderer_->error_text().c_str());
    }
    vp.zoom = renderer_->viewport(i).camera().default_zoom();
    renderer_->set_zoom(i, vp.zoom);
    apply_angles(i);
  }
  view_dirty_ = true;
  return 0;
}

int RenderWindow::serve_requests() {
  std::lock_guard lock(mutex_);
  if (draw_request_ != 0) {
    const int i = draw_request_ - 1;
    if (static_cast<unsigned>(i) >= kViewports) {
      debug_trace("error: invalid viewport index %d;\n", i);
    } else {
      ViewportState& vp = viewports_[static_cast<std::size_t>(i)];
      renderer_->set_draw_mode(i, vp.draw_mode);
      vp.zoom = renderer_->viewport(i).camera().default_zoom();
      renderer_->set_zoom(i, vp.zoom);
      vp.angles = {0, 0, 0};
      apply_angles(i);
    }
    draw_request_ = 0;
    view_dirty_ = true;
    request_cv_.notify_all();
  }
  if (rect_request_ != 0) {
    const int i = rect_request_ - 1;
    if (static_cast<unsigned>(i) >= kViewports) {
      return error_.format(ORB_ERROR_WINDOW, "error: in OGL renderer, line: %d: %s\n", 659,
                           renderer_->error_text().c_str());
    }
    ViewportState& vp = viewports_[static_cast<std::size_t>(i)];
    if (renderer_->set_viewport_rect(i, vp.x, vp.y, vp.width, vp.height) != 0) {
      return error_.format(ORB_ERROR_WINDOW, "error: in OGL renderer, line: %d: %s\n", 659,
                           renderer_->error_text().c_str());
    }
    rect_request_ = 0;
    request_cv_.notify_all();
    vp.enabled = 1;
    view_dirty_ = true;
    if (!renderer_->viewport(i).mesh_uploaded()) {
      // A viewport enabled before its draw mode was applied starts with the
      // mode it holds, rather than failing every draw.
      renderer_->set_draw_mode(i, vp.draw_mode);
      vp.zoom = renderer_->viewport(i).camera().default_zoom();
      renderer_->set_zoom(i, vp.zoom);
      apply_angles(i);
    }
  }
  return 0;
}

// Uploads the picture due now, past any the lag lets go (choose_frame).
// Otherwise sets `wait` to the time until the next is due, or 20 ms.
bool RenderWindow::show_due_frame(FrameRing& ring, const AudioClock& clock, double frame_interval_ms,
                                  std::chrono::milliseconds& wait) {
  wait = std::chrono::milliseconds(20);
  if (state_.paused()) return false;
  ring.pending_pts(pending_);
  const int64_t now = clock.read();
  ahead_ms_.clear();
  for (const int64_t pts : pending_) ahead_ms_.push_back(clock.units_to_ms(pts - now));
  const FrameChoice choice = choose_frame(ahead_ms_, frame_interval_ms);
  if (!choice.show) {
    wait = std::chrono::milliseconds(std::clamp(static_cast<int>(std::ceil(choice.wait_ms)), 1, 20));
    return false;
  }
  for (int i = 0; i < choice.drop; ++i) ring.take();
  AvFramePtr frame = ring.take();
  if (!frame) return false;
  const std::uint8_t* const planes[3] = {frame->data[0], frame->data[1], frame->data[2]};
  const double ahead_ms = ahead_ms_[static_cast<std::size_t>(choice.drop)];
  std::lock_guard lock(mutex_);
  renderer_->upload_frame(planes, frame->linesize, frame_width_, frame_height_);
  stats_.frames_dropped += static_cast<std::uint64_t>(choice.drop);
  ++stats_.frames_shown;
  stats_.last_shown_ms = clock.units_to_ms(pending_[static_cast<std::size_t>(choice.drop)]);
  stats_.offset_sum_ms += ahead_ms;
  stats_.offset_abs_max_ms = std::max(stats_.offset_abs_max_ms, std::abs(ahead_ms));
  return true;
}

// Caller holds the view lock.
int RenderWindow::viewport_at(int px, int py) const {
  for (int i = 0; i < kViewports; ++i) {
    const ViewportState& vp = viewports_[static_cast<std::size_t>(i)];
    const int dx = px - vp.x;
    const int dy = window_height_ - vp.y - py;
    if (vp.enabled && dx >= 0 && dx < vp.width && dy >= 0 && dy < vp.height) return i;
  }
  return 0;
}

void RenderWindow::handle_event(const SDL_Event& e, bool& dirty) {
  std::lock_guard lock(mutex_);
  if (state_.stopping()) return;
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
      double_click_latch_ = false;
      if (e.button.clicks == 2) {
        double_click_latch_ = true;
        if (use_native_window_) send_host_message(x_display_, native_window_, ORB_HOST_MESSAGE_DOUBLE_CLICK);
      }
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.state == SDL_BUTTON_LMASK && !double_click_latch_) {
        const int i = viewport_at(e.motion.x, e.motion.y);
        ViewportState& vp = viewports_[static_cast<std::size_t>(i)];
        vp.angles[0] += static_cast<float>(e.motion.yrel);  // pixels taken as degrees
        vp.angles[1] += static_cast<float>(e.motion.xrel);
        apply_angles(i);
        dirty = true;
        turned_ = true;
      }
      mouse_x_ = e.motion.x;
      mouse_y_ = e.motion.y;
      break;
    case SDL_MOUSEWHEEL: {
      const int i = viewport_at(mouse_x_, mouse_y_);
      ViewportState& vp = viewports_[static_cast<std::size_t>(i)];
      vp.zoom += e.wheel.y < 1 ? -0.05f : 0.05f;
      renderer_->set_zoom(i, vp.zoom);
      dirty = true;
      break;
    }
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && window_width_ > 0 && window_height_ > 0) {
        const double sx = static_cast<double>(e.window.data1) / window_width_;
        const double sy = static_cast<double>(e.window.data2) / window_height_;
        for (int i = 0; i < kViewports; ++i) {
          ViewportState& vp = viewports_[static_cast<std::size_t>(i)];
          if (!vp.enabled) continue;
          vp.x = static_cast<int>(vp.x * sx);
          vp.y = static_cast<int>(vp.y * sy);
          vp.width = static_cast<int>(vp.width * sx);
          vp.height = static_cast<int>(vp.height * sy);
          renderer_->set_viewport_rect(i, vp.x, vp.y, vp.width, vp.height);
        }
        SDL_GetWindowSize(window_.get(), &window_width_, &window_height_);
        SDL_GetWindowPosition(window_.get(), &window_x_, &window_y_);
      }
      dirty = true;  // exposed, resized, shown: draw again
      break;
    default: break;
  }
}

void RenderWindow::release() {
  if (window_ && gl_context_) SDL_GL_MakeCurrent(window_.get(), gl_context_->get());
  {
    std::lock_guard lock(mutex_);
    renderer_.reset();  // GL names go while the context is current
  }
  if (window_) {
    SDL_GL_MakeCurrent(window_.get(), nullptr);
    drop_window_events(SDL_GetWindowID(window_.get()));
  }
  gl_context_.reset();
  window_.reset();  // a wrapped host window stays: SDL only forgets it
  x_display_ = nullptr;
  input_fd_ = -1;
}

// Until `wait` passes; early when the window system has input, so a drag
// is drawn at once, paused or between pictures. While playing with no
// picture waiting, the next picture ends the wait instead.
void RenderWindow::idle(FrameRing& ring, std::uint64_t seen, std::chrono::milliseconds wait) {
  if (input_fd_ < 0 || (ring.count() == 0 && !state_.paused())) {
    ring.wait_for_change(seen, wait);
    return;
  }
  {
    std::lock_guard lock(sdl_mutex());  // SDL reads the same connection
    if (XEventsQueued(x_display_, QueuedAlready) > 0) return;
  }
  pollfd input{input_fd_, POLLIN, 0};
  poll(&input, 1, static_cast<int>(wait.count()));
}

}  // namespace orb::player
