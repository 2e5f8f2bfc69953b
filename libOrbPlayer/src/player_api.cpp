// The player interface's host operations: opening, viewports, view angles,
// volume, position, and the calibration file.
#include "player_impl.h"

#include <calibration/calibrate_picture.h>
#include <calibration/frame_capture.h>
#include <calibration/frame_samples.h>
#include <common/debug_trace.h>
#include <common/paths.h>

namespace orb::player {

ISS_OrbPlayerImpl::ISS_OrbPlayerImpl() { avformat_network_init(); }

ISS_OrbPlayerImpl::~ISS_OrbPlayerImpl() {
  std::lock_guard control(control_mutex_);
  Stop();
  close_media();
  avformat_network_deinit();
}

bool ISS_OrbPlayerImpl::index_ok(int index) {
  if (static_cast<unsigned>(index) < kViewports) return true;
  error_.format(ORB_ERROR, "error: invalid viewport index: %d: we support at most %d viewports;\n", index, kViewports);
  return false;
}

const char* ISS_OrbPlayerImpl::GetLastErrorText() {
  // The buffer lives as long as the player; the text is that of the last failure.
  return error_.c_str();
}

void ISS_OrbPlayerImpl::close_media() {
  state_.change({.stop = true, .paused = true});
  input_.close();
}

int ISS_OrbPlayerImpl::OpenMedia(const MediaOpenParams* params) {
  std::lock_guard control(control_mutex_);
  if (playing_) return error_.format(ORB_ERROR, "error: the player is playing video, please stop it first;\n");
  if (params == nullptr || params->media_path == nullptr) return error_.format(15, "error: no media path given;\n");
  join_workers();
  close_media();
  params_ = params;
  const int result = input_.open(params->media_path);
  if (result != 0) close_media();  // nothing half-open stays behind for Play
  recording_start_ = parse_recording_start(params->media_path);
  needs_rewind_ = false;
  return result;
}

int ISS_OrbPlayerImpl::SetDrawMode(int mode, int index) {
  if (!index_ok(index)) return ORB_ERROR;
  view_.set_draw_mode(index, mode);
  return 0;
}

int ISS_OrbPlayerImpl::SetWindowRect(int x, int y, int width, int height) {
  if (playing_) return error_.format(ORB_ERROR, "error: can not create window while playing;\n");
  view_.set_window_rect(x, y, width, height);
  return 0;
}

int ISS_OrbPlayerImpl::SetNativeWindow(unsigned long native_window) {
  if (playing_) return error_.format(ORB_ERROR, "error: can not create window while playing;\n");
  view_.set_native_window(native_window);
  return 0;
}

int ISS_OrbPlayerImpl::SetViewportRect(int x, int y, int width, int height, int index) {
  if (!index_ok(index)) return ORB_ERROR;
  view_.set_viewport_rect(index, x, y, width, height);
  return 0;
}

int ISS_OrbPlayerImpl::DisableViewport(int index) {
  if (!index_ok(index)) return ORB_ERROR;
  view_.disable_viewport(index);
  return 0;
}

TimeParts* ISS_OrbPlayerImpl::GetPositionParts(TimeParts* out) {
  if (out) *out = TimeParts{0, 0, 0};
  return out;
}

TimeParts* ISS_OrbPlayerImpl::GetDuration(TimeParts* out) {
  if (out) *out = input_.duration();
  return out;
}

int64_t ISS_OrbPlayerImpl::GetReservedValue() { return 0; }

int64_t ISS_OrbPlayerImpl::GetPlayTime() {
  const int64_t units = audio_.read() - input_.start_in_clock();
  const auto position = static_cast<int64_t>(static_cast<double>(units) * av_q2d(audio_.base()));
  view_.set_overlay_text(format_date_time(add_seconds(recording_start_, position)));
  return position + 1;
}

float ISS_OrbPlayerImpl::GetZoom(int index) {
  if (static_cast<unsigned>(index) >= kViewports) return 0;
  return view_.zoom(index);
}

int ISS_OrbPlayerImpl::GetViewAngles(int index, float* pitch, float* yaw, float* roll) {
  std::array<float, 3> angles{};
  if (static_cast<unsigned>(index) < kViewports) angles = view_.view_angles(index);
  if (pitch) *pitch = angles[0];
  if (yaw) *yaw = angles[1];
  if (roll) *roll = angles[2];
  return 0;
}

int ISS_OrbPlayerImpl::SetAngleLimits(float min_pitch, float max_pitch, float min_yaw, float max_yaw, float min_roll,
                                      float max_roll, int index) {
  if (static_cast<unsigned>(index) >= kViewports) return 0;
  view_.set_angle_limits(
      index, {AngleLimits{min_pitch, max_pitch}, AngleLimits{min_yaw, max_yaw}, AngleLimits{min_roll, max_roll}});
  return 0;
}

int ISS_OrbPlayerImpl::SetViewAngles(float pitch, float yaw, float roll, int index) {
  if (static_cast<unsigned>(index) >= kViewports) {
    debug_trace("error: invalid viewport index %d;\n", index);
    return 0;
  }
  view_.set_view_angles(index, pitch, yaw, roll);
  return 0;
}

int ISS_OrbPlayerImpl::SetVolume(int volume) {
  audio_.set_volume(volume);
  return 0;
}

int ISS_OrbPlayerImpl::IsPlaying() { return playing_; }

PlaybackStats ISS_OrbPlayerImpl::stats() const {
  PlaybackStats s = view_.stats();
  s.frames_dropped += input_.frames_dropped();
  return s;
}

int ISS_OrbPlayerImpl::CreateCalibrationFile(const char* media_path, const char* calibration_path) {
  // The first picture goes beside the program (or to its data directory);
  // the lens circle is judged over the video's first seconds, for a
  // 200-degree lens.
  const std::string capture = (data_dir(program_name()) / "onframe.jpg").string();
  if (CaptureFrame2Jpg(media_path, capture.c_str()) != 0) return ORB_ERROR;
  const LensCircle circle = detect_video_circle(media_path);
  if (circle.dual_lens) {
    return error_.format(ORB_ERROR, "error: two lens circles found in %s: a dual-lens 360° picture\n", media_path);
  }
  if (!circle.found) {
    debug_trace("标定失败");  // calibration failed
    return error_.format(ORB_ERROR, "error: no lens circle found in %s (%s)\n", media_path, circle.reason.c_str());
  }
  debug_trace(circle_is_complete(circle.cx, circle.cy, circle.radius, circle.picture_width, circle.picture_height)
                  ? "标定成功，完整圆"      // calibrated, the whole circle
                  : "标定成功，圆不完整");  // calibrated, the circle is cut
  if (WriteCalibrationFile(calibration_path, 200.0f, circle.cx, circle.cy, circle.radius, circle.picture_width,
                           circle.picture_height) != 0) {
    return error_.format(ORB_ERROR, "error: cannot write %s\n", calibration_path);
  }
  return 0;
}

}  // namespace orb::player
