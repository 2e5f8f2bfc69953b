// The operations of the player interface, its lifecycle and the exports.
#include "player_impl.h"

#include <calibration/calibrate_picture.h>
#include <calibration/frame_capture.h>
#include <calibration/frame_samples.h>
#include <common/debug_trace.h>
#include <common/paths.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace orb::player {
namespace {}  // namespace

ISS_OrbPlayerImpl::ISS_OrbPlayerImpl() {
  for (auto& r : running_) r = 0;
  avformat_network_init();
}

ISS_OrbPlayerImpl::~ISS_OrbPlayerImpl() {
  std::lock_guard control(control_mutex_);
  Stop();
  close_input();
  avformat_network_deinit();
}

int ISS_OrbPlayerImpl::fail(int code, const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  const int result = error_.vformat(code, fmt, args);
  va_end(args);
  return result;
}

bool ISS_OrbPlayerImpl::index_ok(int index) {
  if (static_cast<unsigned>(index) < kViewports) return true;
  fail(ORB_ERROR, "error: invalid viewport index: %d: we support at most %d viewports;\n", index, kViewports);
  return false;
}

const char* ISS_OrbPlayerImpl::GetLastErrorText() {
  // The buffer lives as long as the player; the text is that of the last failure.
  return error_.c_str();
}

int ISS_OrbPlayerImpl::OpenMedia(const MediaOpenParams* params) {
  std::lock_guard control(control_mutex_);
  if (playing_) return fail(ORB_ERROR, "error: the player is playing video, please stop it first;\n");
  if (params == nullptr || params->media_path == nullptr) return fail(15, "error: no media path given;\n");
  join_workers();
  close_input();
  params_ = params;
  volume_ = 64;
  set_clock(0);
  const int result = open_input(params->media_path);
  if (result != 0) close_input();  // nothing half-open stays behind for Play
  recording_start_ = parse_recording_start(params->media_path);
  needs_rewind_ = false;
  return result;
}

int ISS_OrbPlayerImpl::SetDrawMode(int mode, int index) {
  if (!index_ok(index)) return ORB_ERROR;
  std::unique_lock lock(viewport_mutex_);
  viewports_[static_cast<std::size_t>(index)].draw_mode = mode;
  if (!playing_) return 0;
  draw_request_ = index + 1;
  view_dirty_ = true;
  // The render thread owns GL: wait until it has served the request (or is gone).
  while (draw_request_ != 0 && running_[kRender] && !stopping())
    request_cv_.wait_for(lock, std::chrono::milliseconds(10));
  return 0;
}

int ISS_OrbPlayerImpl::SetWindowRect(int x, int y, int width, int height) {
  if (playing_) return fail(ORB_ERROR, "error: can not create window while playing;\n");
  std::lock_guard lock(viewport_mutex_);
  use_native_window_ = false;
  window_x_ = x;
  window_y_ = y;
  window_width_ = width;
  window_height_ = height;
  return 0;
}

int ISS_OrbPlayerImpl::SetNativeWindow(unsigned long native_window) {
  if (playing_) return fail(ORB_ERROR, "error: can not create window while playing;\n");
  std::lock_guard lock(viewport_mutex_);
  use_native_window_ = true;
  native_window_ = native_window;
  return 0;
}

int ISS_OrbPlayerImpl::SetViewportRect(int x, int y, int width, int height, int index) {
  if (!index_ok(index)) return ORB_ERROR;
  std::unique_lock lock(viewport_mutex_);
  ViewportState& vp = viewports_[static_cast<std::size_t>(index)];
  vp.x = x < 1 ? 0 : x;
  vp.y = y < 1 ? 0 : y;
  vp.width = width;
  vp.height = height;
  if (!playing_) {
    vp.enabled = 1;
    return 0;
  }
  rect_request_ = index + 1;
  view_dirty_ = true;
  while (rect_request_ != 0 && running_[kRender] && !stopping())
    request_cv_.wait_for(lock, std::chrono::milliseconds(10));
  return 0;
}

int ISS_OrbPlayerImpl::DisableViewport(int index) {
  if (!index_ok(index)) return ORB_ERROR;
  std::lock_guard lock(viewport_mutex_);
  viewports_[static_cast<std::size_t>(index)].enabled = 0;
  view_dirty_ = true;
  return 0;
}

TimeParts* ISS_OrbPlayerImpl::GetPositionParts(TimeParts* out) {
  if (out) *out = TimeParts{0, 0, 0};
  return out;
}

TimeParts* ISS_OrbPlayerImpl::GetDuration(TimeParts* out) {
  if (out) *out = duration_;
  return out;
}

int64_t ISS_OrbPlayerImpl::GetReservedValue() { return 0; }

int64_t ISS_OrbPlayerImpl::GetPlayTime() {
  int64_t start = 0;
  if (video_stream_ && video_stream_->start_time != AV_NOPTS_VALUE) {
    start = av_rescale_q(video_stream_->start_time, video_stream_->time_base, clock_base_);
  }
  const int64_t position = static_cast<int64_t>(static_cast<double>(read_clock() - start) * av_q2d(clock_base_));
  position_s_ = position;
  std::lock_guard lock(viewport_mutex_);
  if (renderer_) {
    renderer_->set_overlay_text(format_date_time(add_seconds(recording_start_, position)).c_str());
  }
  return position + 1;
}

std::string ISS_OrbPlayerImpl::overlay_text() const {
  std::lock_guard lock(viewport_mutex_);
  return renderer_ ? renderer_->overlay_text() : "";
}

float ISS_OrbPlayerImpl::GetZoom(int index) {
  std::lock_guard lock(viewport_mutex_);
  if (static_cast<unsigned>(index) >= kViewports || !renderer_) return 0;
  return renderer_->viewport(index).camera().zoom();
}

int ISS_OrbPlayerImpl::GetViewAngles(int index, float* pitch, float* yaw, float* roll) {
  std::lock_guard lock(viewport_mutex_);
  float p = 0, y = 0, r = 0;
  if (static_cast<unsigned>(index) < kViewports && renderer_) {
    const ViewCamera& cam = renderer_->viewport(index).camera();
    p = cam.pitch();
    y = cam.yaw();
    r = cam.roll();
  }
  if (pitch) *pitch = p;
  if (yaw) *yaw = y;
  if (roll) *roll = r;
  return 0;
}

int ISS_OrbPlayerImpl::SetAngleLimits(float min_pitch, float max_pitch, float min_yaw, float max_yaw, float min_roll,
                                      float max_roll, int index) {
  if (static_cast<unsigned>(index) >= kViewports) return 0;
  std::lock_guard lock(viewport_mutex_);
  auto& limits = viewports_[static_cast<std::size_t>(index)].limits;
  limits = {AngleLimits{min_pitch, max_pitch}, AngleLimits{min_yaw, max_yaw}, AngleLimits{min_roll, max_roll}};
  return 0;
}

int ISS_OrbPlayerImpl::SetViewAngles(float pitch, float yaw, float roll, int index) {
  if (static_cast<unsigned>(index) >= kViewports) {
    debug_trace("error: invalid viewport index %d;\n", index);
    return 0;
  }
  std::lock_guard lock(viewport_mutex_);
  viewports_[static_cast<std::size_t>(index)].angles = {pitch, yaw, roll};
  apply_angles(index);
  return 0;
}

// Caller holds viewport_mutex_.
void ISS_OrbPlayerImpl::apply_angles(int index) {
  ViewportState& vp = viewports_[static_cast<std::size_t>(index)];
  for (int k = 0; k < 3; ++k) {
    vp.angles[static_cast<std::size_t>(k)] =
        normalise_angle(vp.angles[static_cast<std::size_t>(k)], vp.limits[static_cast<std::size_t>(k)]);
  }
  if (renderer_) renderer_->set_view_angles(index, vp.angles[0], vp.angles[1], vp.angles[2]);
  view_dirty_ = true;
}

int ISS_OrbPlayerImpl::SetVolume(int volume) {
  volume_ = volume;
  return 0;
}

int ISS_OrbPlayerImpl::IsPlaying() { return playing_; }

int ISS_OrbPlayerImpl::Pause() {
  if (!playing_) return 0;
  std::lock_guard lock(state_mutex_);
  paused_ = true;
  if (!no_audio_ && audio_device_.id()) SDL_PauseAudioDevice(audio_device_.id(), 1);
  return 0;
}

int ISS_OrbPlayerImpl::Resume() {
  if (!playing_) return 0;
  {
    std::lock_guard lock(state_mutex_);
    paused_ = false;
    if (!no_audio_ && audio_device_.id()) SDL_PauseAudioDevice(audio_device_.id(), 0);
  }
  announce_state();
  return 0;
}

int ISS_OrbPlayerImpl::Play(OrbReservedCallback reserved, void* reserved_context, OrbEndCallback on_end,
                            void* user_context, OrbErrorCallback on_error) {
  std::lock_guard control(control_mutex_);
  if (playing_) return 0;
  if (!input_ || video_index_ < 0) return fail(ORB_ERROR, "error: no media is open;\n");
  join_workers();  // threads of a playback that ended by itself
  // Played before: start again from the beginning.
  if (needs_rewind_ && !rewind_input()) return fail(ORB_ERROR, "error: can not go back to the start of the media;\n");
  needs_rewind_ = true;
  drained_ = false;
  input_lost_ = false;
  flushing_ = false;
  reserved_callback_ = reserved;
  reserved_context_ = reserved_context;
  end_callback_ = on_end;
  user_context_ = user_context;
  error_callback_ = on_error;
  ring_.reset();
  {
    std::lock_guard lock(state_mutex_);
    stop_ = false;
    paused_ = false;
  }
  {
    std::lock_guard lock(viewport_mutex_);
    draw_request_ = rect_request_ = 0;
    stats_ = PlaybackStats{};
  }
  {
    std::lock_guard lock(audio_codec_mutex_);
    audio_carry_ = 0;
    audio_read_ = nullptr;
  }
  audio_queue_.clear();
  video_queue_.clear();
  {
    std::lock_guard lock(start_mutex_);
    start_states_ = {kStarting, kStarting, kStarting};
  }
  no_audio_ = audio_index_ < 0;
  playing_ = 1;  // from here until the last worker exits
  if (no_audio_) {
    debug_trace("The Audio_stream = -1\n");
    running_[kClock] = 1;
    threads_[kClock] = std::thread(&ISS_OrbPlayerImpl::clock_main, this);
  }
  running_[kDemux] = running_[kVideoDecode] = running_[kRender] = 1;
  threads_[kDemux] = std::thread(&ISS_OrbPlayerImpl::demux_main, this);
  threads_[kVideoDecode] = std::thread(&ISS_OrbPlayerImpl::video_decode_main, this);
  threads_[kRender] = std::thread(&ISS_OrbPlayerImpl::render_main, this);
  {
    std::unique_lock lock(start_mutex_);
    const auto all = [&](int state) {
      return start_states_[0] == state && start_states_[1] == state && start_states_[2] == state;
    };
    const auto any_failed = [&] {
      return start_states_[0] == kFailed || start_states_[1] == kFailed || start_states_[2] == kFailed;
    };
    // Each worker reports running or failed; the render thread's window and
    // GL start are the slow part.
    while (!all(kRunning) && !any_failed()) start_cv_.wait_for(lock, std::chrono::milliseconds(100));
    if (!any_failed()) return 0;
  }
  Stop();
  return ORB_ERROR;
}

int ISS_OrbPlayerImpl::Stop() {
  std::lock_guard control(control_mutex_);
  {
    std::lock_guard lock(state_mutex_);
    paused_ = false;
    stop_ = true;
  }
  state_cv_.notify_all();
  wake_hand_offs();
  join_workers();
  return 0;
}

void ISS_OrbPlayerImpl::join_workers() {
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
}

void ISS_OrbPlayerImpl::nap(int ms) {
  std::unique_lock lock(state_mutex_);
  state_cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop_.load(); });
}

void ISS_OrbPlayerImpl::wait_while_held(int ms) {
  std::unique_lock lock(state_mutex_);
  state_cv_.wait_for(lock, std::chrono::milliseconds(ms),
                     [&] { return stop_.load() || (!paused_.load() && !flushing_.load()); });
}

void ISS_OrbPlayerImpl::wake_hand_offs() {
  video_queue_.wake();
  audio_queue_.wake();
  ring_.wake();
}

void ISS_OrbPlayerImpl::announce_state() {
  { std::lock_guard lock(state_mutex_); }  // a waiter between its check and its wait sees the change
  state_cv_.notify_all();
}

void ISS_OrbPlayerImpl::worker_exit(Worker w) {
  OrbEndCallback callback = nullptr;
  bool last = true;
  {
    // One lock decides which exit is the last: only that one reports the end.
    std::lock_guard lock(state_mutex_);
    running_[w] = 0;
    for (const auto& r : running_) last = last && r == 0;
    if (last) {
      playing_ = 0;
      stop_ = false;
      callback = end_callback_;
    }
  }
  if (w == kRender) {
    // A request waiting for the render thread waits no more; taking the lock
    // first means a waiter between its check and its wait still wakes.
    { std::lock_guard view_lock(viewport_mutex_); }
    request_cv_.notify_all();
  }
  if (!last) return;
  // An input lost before its end is an error, not an end: said first.
  if (input_lost_ && error_callback_) error_callback_(user_context_, ORB_ERROR);
  if (callback) callback(user_context_);
}

PlaybackStats ISS_OrbPlayerImpl::stats() const {
  std::lock_guard lock(viewport_mutex_);
  return stats_;
}

void ISS_OrbPlayerImpl::reset_offset_max() {
  std::lock_guard lock(viewport_mutex_);
  stats_.offset_abs_max_ms = 0;
}

ViewportState ISS_OrbPlayerImpl::viewport_state(int index) const {
  std::lock_guard lock(viewport_mutex_);
  return viewports_[static_cast<std::size_t>(index)];
}

int64_t ISS_OrbPlayerImpl::clock_ms() const { return static_cast<int64_t>(clock_units_to_ms(read_clock())); }

int ISS_OrbPlayerImpl::CreateCalibrationFile(const char* media_path, const char* calibration_path) {
  // The first picture goes beside the program (or to its data directory),
  // then the lens circle is found in it, for a 200-degree lens.
  const std::string capture = (data_dir(program_name()) / "onframe.jpg").string();
  if (CaptureFrame2Jpg(media_path, capture.c_str()) != 0) return ORB_ERROR;
  const int result = CalcauteDingbiao(capture.c_str(), calibration_path, 200.0f);
  if (result != kCalibrationNoCircle) return result == 0 ? 0 : ORB_ERROR;
  // A dark or empty first picture: the brightest of several from the first seconds.
  const LensCircle circle = detect_video_circle(media_path);
  if (!circle.found)
    return fail(ORB_ERROR, "error: no lens circle found in %s (%s)\n", media_path, circle.reason.c_str());
  if (WriteCalibrationFile(calibration_path, 200.0f, circle.cx, circle.cy, circle.radius, circle.picture_width,
                           circle.picture_height) != 0) {
    return fail(ORB_ERROR, "error: cannot write %s\n", calibration_path);
  }
  return 0;
}

}  // namespace orb::player
