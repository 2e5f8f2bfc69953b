// Audio output (decode, convert, mix in the device callback), the playback
// clock it drives, the clock thread of silent media, and seeking.
#include "player_impl.h"

#include <common/clock.h>
#include <common/debug_trace.h>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <chrono>
#include <cstring>

namespace orb::player {
namespace {

constexpr std::size_t kAudioOutBytes = 768000;
constexpr int kOutChannels = 2;
constexpr int kBytesPerSample = 2;  // signed 16-bit

}  // namespace

int64_t ISS_OrbPlayerImpl::read_clock() const {
  std::lock_guard lock(clock_mutex_);
  return clock_;
}

void ISS_OrbPlayerImpl::set_clock(int64_t value) {
  std::lock_guard lock(clock_mutex_);
  clock_ = value;
}

double ISS_OrbPlayerImpl::clock_units_to_ms(int64_t units) const {
  return static_cast<double>(units) * av_q2d(clock_base_) * 1000;
}

int ISS_OrbPlayerImpl::setup_audio() {
  AVCodecContext* c = audio_codec_.get();
  audio_out_.assign(kAudioOutBytes, 0);
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  AVChannelLayout in_layout{};
  av_channel_layout_default(&in_layout, c->ch_layout.nb_channels > 0 ? c->ch_layout.nb_channels : 2);
  SwrContext* swr = nullptr;
  const int ret = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, c->sample_rate, &in_layout, c->sample_fmt,
                                      c->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in_layout);
  if (ret < 0 || !swr) return fail(ORB_ERROR, "error: can not create audio converter;\n");
  resampler_.reset(swr);
  if (swr_init(swr) < 0) return fail(ORB_ERROR, "error: can not init audio converter;\n");
  audio_spec_ = SDL_AudioSpec{};
  audio_spec_.freq = c->sample_rate;
  audio_spec_.format = AUDIO_S16SYS;
  audio_spec_.channels = kOutChannels;
  audio_spec_.silence = 0;
  audio_spec_.samples = static_cast<Uint16>(c->frame_size > 0 ? std::min(c->frame_size, 8192) : 1024);
  audio_spec_.callback = &ISS_OrbPlayerImpl::audio_callback;
  audio_spec_.userdata = this;
  return 0;
}

void ISS_OrbPlayerImpl::audio_callback(void* self, Uint8* stream, int len) {
  static_cast<ISS_OrbPlayerImpl*>(self)->fill_audio(stream, len);
}

// The device pulls `len` bytes: carried-over audio first, then as many
// packets as it takes to fill the buffer, each decoded, converted and
// mixed. The clock is stamped here: the timestamp of a packet, less what
// of this buffer plays before it.
void ISS_OrbPlayerImpl::fill_audio(Uint8* stream, int len) {
  std::memset(stream, 0, static_cast<std::size_t>(len));  // silence unless mixed below
  if (stopping() || paused_) return;
  std::lock_guard codec_lock(audio_codec_mutex_);
  constexpr int kFrameBytes = kOutChannels * kBytesPerSample;
  const int volume = std::clamp(volume_.load(), 0, SDL_MIX_MAXVOLUME);
  int filled = 0;
  while (filled < len) {
    if (audio_carry_ == 0) {
      AvPacketPtr packet = audio_queue_.pop();
      if (!packet) {
        // A stall: the clock goes on by what this buffer lacks.
        std::lock_guard lock(clock_mutex_);
        clock_ += av_rescale_q((len - filled) / kFrameBytes, AVRational{1, audio_spec_.freq}, clock_base_);
        return;
      }
      if (avcodec_send_packet(audio_codec_.get(), packet.get()) < 0) continue;  // a damaged packet is lost alone
      AvFramePtr frame = make_frame();
      int converted = 0;
      const int capacity = static_cast<int>(audio_out_.size()) / kFrameBytes;
      while (avcodec_receive_frame(audio_codec_.get(), frame.get()) >= 0) {
        std::uint8_t* out = audio_out_.data() + static_cast<std::ptrdiff_t>(converted) * kFrameBytes;
        const int n = swr_convert(resampler_.get(), &out, capacity - converted,
                                  const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
        if (n > 0) converted += n;
        av_frame_unref(frame.get());
      }
      if (converted == 0) continue;
      if (packet->pts != AV_NOPTS_VALUE) {
        set_clock(packet->pts - av_rescale_q(filled / kFrameBytes, AVRational{1, audio_spec_.freq}, clock_base_));
      }
      audio_carry_ = converted * kFrameBytes;
      audio_read_ = audio_out_.data();
    }
    const int n = std::min(len - filled, audio_carry_);
    SDL_MixAudioFormat(stream + filled, audio_read_, AUDIO_S16SYS, static_cast<Uint32>(n), volume);
    audio_read_ += n;
    audio_carry_ -= n;
    filled += n;
  }
}

void ISS_OrbPlayerImpl::clock_main() {
  // The clock starts at the video's first timestamp and holds while paused.
  int64_t first_ms = 0;
  if (video_stream_ && video_stream_->start_time != AV_NOPTS_VALUE) {
    first_ms = av_rescale_q(video_stream_->start_time, video_stream_->time_base, AVRational{1, 1000});
  }
  {
    std::lock_guard lock(clock_mutex_);
    clock_start_ms_ = now_ms();
    clock_paused_ms_ = -first_ms;
  }
  while (!stopping()) {
    if (paused_) {
      int64_t t, epoch;
      {
        std::lock_guard lock(clock_mutex_);
        t = now_ms();
        epoch = clock_epoch_;
      }
      wait_while_held(100);
      std::lock_guard lock(clock_mutex_);
      // A seek meanwhile set a new base, which already counts this pause.
      if (epoch == clock_epoch_) clock_paused_ms_ += now_ms() - t;
      continue;
    }
    nap(5);
    std::lock_guard lock(clock_mutex_);
    clock_ = av_rescale_q(now_ms() - clock_start_ms_ - clock_paused_ms_, AVRational{1, 1000}, clock_base_);
  }
  worker_exit(kClock);
}

// Silent media: the clock continues from `position` (clock units) now.
void ISS_OrbPlayerImpl::restart_clock_at(int64_t position) {
  std::lock_guard lock(clock_mutex_);
  ++clock_epoch_;
  clock_ = position;
  clock_start_ms_ = now_ms();
  clock_paused_ms_ = -static_cast<int64_t>(clock_units_to_ms(position));
}

int ISS_OrbPlayerImpl::Seek(int minutes, int seconds, int milliseconds) {
  std::lock_guard control(control_mutex_);
  if (!playing_ || !input_) return fail(ORB_ERROR, "error: the player is not playing;\n");
  const int64_t target = int64_t{minutes} * 60000 + int64_t{seconds} * 1000 + milliseconds;
  const int64_t length =
      int64_t{duration_.minutes} * 60000 + int64_t{duration_.seconds} * 1000 + duration_.milliseconds;
  if (target >= length) return fail(ORB_ERROR, "error: invalid seeking time: out of video time duration;\n");
  // Whole seconds only, in the video stream's units.
  const int64_t start = video_stream_->start_time != AV_NOPTS_VALUE ? video_stream_->start_time : 0;
  const int64_t seek_ts = av_rescale_q(target / 1000, AVRational{1, 1}, video_stream_->time_base) + start;
  {
    std::lock_guard lock(state_mutex_);
    if (!no_audio_ && audio_device_.id()) SDL_PauseAudioDevice(audio_device_.id(), 1);
    paused_ = true;
    flushing_ = true;  // the workers let go of what they hold
  }
  wake_hand_offs();
  int ret;
  {
    // Input, then decoders: the demux and decode threads hold these while
    // they move a packet, so nothing from before the seek survives it.
    std::lock_guard input_lock(input_mutex_);
    ret = av_seek_frame(input_.get(), video_index_, seek_ts, AVSEEK_FLAG_BACKWARD);
    debug_trace("now trace %d %d\n", static_cast<int>(target / 1000), ret);
    if (ret >= 0) {
      video_queue_.clear();
      {
        std::lock_guard lock(video_codec_mutex_);
        avcodec_flush_buffers(video_codec_.get());
        ring_.reset();
        drained_ = false;
      }
      if (!no_audio_) {
        std::lock_guard lock(audio_codec_mutex_);
        avcodec_flush_buffers(audio_codec_.get());
        audio_queue_.clear();
        audio_carry_ = 0;
      }
      // Pictures before the target are decoded but not shown: the clock starts there.
      restart_clock_at(av_rescale_q(seek_ts, video_stream_->time_base, clock_base_));
    }
  }
  {
    std::lock_guard lock(state_mutex_);
    flushing_ = false;
    paused_ = false;
    if (!no_audio_ && audio_device_.id()) SDL_PauseAudioDevice(audio_device_.id(), 0);
  }
  announce_state();
  if (ret < 0)
    return fail(ORB_ERROR, "error: can not seek to %d s: %s;\n", static_cast<int>(target / 1000),
                av_error_text(ret).c_str());
  if (!no_audio_) return 0;
  // Silent media: the clock goes on from the first new picture (a bounded
  // wait, so a seek near the end never hangs).
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!stopping() && std::chrono::steady_clock::now() < give_up) {
    const std::uint64_t seen = ring_.generation();
    if (std::optional<int64_t> head = ring_.head_pts()) {
      restart_clock_at(*head);
      break;
    }
    ring_.wait_for_change(seen, std::chrono::milliseconds(50));  // woken by the first new picture
  }
  return 0;
}

}  // namespace orb::player
