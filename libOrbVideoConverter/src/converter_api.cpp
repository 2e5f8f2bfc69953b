// The operations of the converter interface.
#include "converter_impl.h"

#include <common/clock.h>
#include <common/debug_trace.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace orb::converter {
namespace {}  // namespace

ISS_OrbVideoConverterImpl::ISS_OrbVideoConverterImpl() { debug_trace("rendering_statisticx.is_rendering = %d", 0); }

ISS_OrbVideoConverterImpl::~ISS_OrbVideoConverterImpl() {
  Stop();
  if (thread_.joinable()) thread_.join();
  close_output();  // an output prepared but never converted leaves nothing behind
}

int ISS_OrbVideoConverterImpl::fail(int code, const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  const int result = error_.vformat(code, fmt, args);
  va_end(args);
  return result;
}

int ISS_OrbVideoConverterImpl::fail_text(int code, const std::string& text) { return error_.set(code, text); }

const char* ISS_OrbVideoConverterImpl::GetLastErrorText() { return error_.c_str(); }

int ISS_OrbVideoConverterImpl::Init(ConverterInitParams* params) {
  if (params == nullptr) return fail(ORB_ERROR, "error: no conversion parameters;\n");
  if (converting_) return fail(ORB_ERROR, "error: converter is working, please stop first;\n");
  if (thread_.joinable()) thread_.join();
  debug_trace("dst_width %d \n dist_height %d\n bitrate %d\n calib_filename %s\n orientation %d \n zoom %.2f\n",
              params->dst_width, params->dst_height, params->bitrate,
              params->calib_filename ? params->calib_filename : "(null)", params->orientation,
              static_cast<double>(params->zoom[0]));
  params_ = params;
  // kbit/s to bit/s, in place; an absurd rate stops at the largest int.
  params_->bitrate = static_cast<int32_t>(std::clamp<int64_t>(int64_t{params_->bitrate} * 1024, 0, INT32_MAX));
  close_output();
  close_input();
  notice_[0] = '\0';
  int result = open_input();
  if (result == 0) result = prepare_output();
  if (result != 0) {
    // Nothing half-made stays for Start to use.
    close_output();
    close_input();
  }
  return result;
}

int ISS_OrbVideoConverterImpl::Start(TimeParts start, TimeParts end) {
  debug_trace("is_rendering = %d", converting_.load());
  if (converting_) return fail(ORB_ERROR, "error: converter is working, please stop first;\n");
  if (thread_.joinable()) thread_.join();
  if (!input_ || !output_) return fail(ORB_ERROR, "error: the converter is not initialised;\n");
  audio_base_ = AV_NOPTS_VALUE;
  last_audio_pts_ = -1;
  // Milliseconds count: a clip shorter than a second converts too.
  auto ms = [](const TimeParts& t) { return (int64_t{t.minutes} * 60 + t.seconds) * 1000 + t.milliseconds; };
  const int64_t s = ms(start), d = ms(duration_), e = ms(end);
  if (live_) {
    // A live stream converts from now: for the span asked, or until Stop
    // when the end is 0 (its duration, which a live stream does not have).
    if (s != 0) return fail(ORB_ERROR, "error: a live stream converts from now; it cannot start at a later time;\n");
    if (e < 0) return fail(ORB_ERROR, "error: invalid converting video span;\n");
    open_ended_ = e == 0;
    to_encode_ = open_ended_ ? INT64_MAX
                             : std::max<int64_t>(
                                   1, std::lround(static_cast<double>(frame_rate_) * static_cast<double>(e) / 1000));
  } else {
    if (s > d || s < 0) return fail(ORB_ERROR, "error: invalid seeking time: out of video time duration;\n");
    if (!(s < e && e <= d)) return fail(ORB_ERROR, "error: invalid converting video span;\n");
    open_ended_ = false;
    to_encode_ = std::min(
        static_cast<int64_t>(std::lround(static_cast<double>(frame_rate_) * static_cast<double>(e - s) / 1000)),
        total_frames_);
  }
  span_start_ms_ = s;
  span_end_ms_ = e;
  skipped_packets_ = 0;
  trailer_written_ = false;
  debug_trace("frm_number_to_render %lld", static_cast<long long>(to_encode_.load()));

  const int64_t first = video_in_->start_time != AV_NOPTS_VALUE ? video_in_->start_time : 0;
  if (live_) {
    video_start_pts_ = AV_NOPTS_VALUE;  // the first picture that arrives
  } else {
    video_start_pts_ = av_rescale_q(s, AVRational{1, 1000}, video_in_->time_base) + first;
    av_seek_frame(input_.get(), video_index_, video_start_pts_, AVSEEK_FLAG_BACKWARD);
  }
  lost_.clear();
  map_width_ = video_decoder_->width;
  map_height_ = video_decoder_->height;
  avcodec_flush_buffers(video_decoder_.get());
  if (audio_decoder_) avcodec_flush_buffers(audio_decoder_.get());
  input_ended_ = false;

  encoded_ = 0;
  stop_ = false;
  failed_ = false;
  start_result_ = 0;
  {
    std::lock_guard lock(queue_mutex_);
    queue_.clear();
    spare_.clear();  // frames of an earlier conversion may have another size
    producer_done_ = false;
  }
  converting_ = 1;
  thread_ = std::thread(&ISS_OrbVideoConverterImpl::conversion_main, this);
  wait_for_progress([&] { return start_result_ != 0; });
  if (start_result_ < 0) {
    thread_.join();
    return ORB_ERROR;
  }
  return 0;
}

int ISS_OrbVideoConverterImpl::Stop() {
  if (converting_) {
    {
      std::lock_guard lock(queue_mutex_);  // a waiter cannot miss it
      stop_ = true;
    }
    queue_cv_.notify_all();
    wait_for_progress([&] { return converting_ == 0; });
  }
  if (thread_.joinable()) thread_.join();
  return 0;
}

RenderingStatistics* ISS_OrbVideoConverterImpl::GetStatistics(RenderingStatistics* out) {
  if (out == nullptr) return out;
  const auto done = static_cast<float>(encoded_.load());
  const float elapsed = static_cast<float>(now_ms() - start_tick_ms_.load()) / 1000.0f;
  const auto total = static_cast<float>(std::max<int64_t>(1, to_encode_.load()));
  const float ratio = done / total;
  out->is_rendering = converting_;
  out->frames_per_second = elapsed > 0 ? done / elapsed : 0;
  out->percent = ratio * 100;
  const double remaining = static_cast<double>(elapsed) / static_cast<double>(ratio) - static_cast<double>(elapsed);
  const int32_t r = std::isfinite(remaining) && remaining >= INT32_MIN && remaining <= INT32_MAX
                        ? static_cast<int32_t>(remaining)
                        : INT32_MIN;
  out->remaining_minutes = r / 60;
  out->remaining_seconds = r % 60;
  out->reserved = 0;
  return out;
}

TimeParts* ISS_OrbVideoConverterImpl::GetDuration(TimeParts* out) {
  if (out) *out = duration_;
  return out;
}

int ISS_OrbVideoConverterImpl::IsConverting() { return converting_; }

int ISS_OrbVideoConverterImpl::SetKeyFrameInterval(int frames) {
  if (frames < 1 || frames > 1000) {
    return fail(ORB_ERROR, "error: a key-frame interval of %d pictures is out of range (1 to 1000);\n", frames);
  }
  key_frame_interval_ = frames;
  return 0;
}

}  // namespace orb::converter
