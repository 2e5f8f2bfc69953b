// Audio output (decode, convert, mix in the device callback), the playback
// clock it drives, and the clock thread of silent media.
#include "audio_clock.h"

#include <common/clock.h>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cstring>

namespace orb::player {
namespace {

constexpr std::size_t kAudioOutBytes = 768000;
constexpr int kOutChannels = 2;
constexpr int kBytesPerSample = 2;  // signed 16-bit
constexpr int kFrameBytes = kOutChannels * kBytesPerSample;

}  // namespace

int64_t AudioClock::read() const {
  std::lock_guard lock(clock_mutex_);
  return clock_;
}

void AudioClock::set(int64_t value) {
  std::lock_guard lock(clock_mutex_);
  clock_ = value;
}

double AudioClock::units_to_ms(int64_t units) const { return static_cast<double>(units) * av_q2d(base_) * 1000; }

bool AudioClock::open(AvCodecContextPtr decoder, const AVStream* stream, std::string& error) {
  close();
  if (!decoder || !stream) {
    base_ = av_d2q(0.001, 9000);
    return true;
  }
  base_ = stream->time_base;
  AVCodecContext* c = decoder.get();
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  AVChannelLayout in_layout{};
  av_channel_layout_default(&in_layout, c->ch_layout.nb_channels > 0 ? c->ch_layout.nb_channels : 2);
  SwrContext* swr = nullptr;
  const int ret = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, c->sample_rate, &in_layout, c->sample_fmt,
                                      c->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in_layout);
  SwrPtr resampler(swr);
  if (ret < 0 || !swr) {
    error = "error: can not create audio converter;\n";
    return false;
  }
  if (swr_init(swr) < 0) {
    error = "error: can not init audio converter;\n";
    return false;
  }
  resampler_ = std::move(resampler);
  decoder_ = std::move(decoder);
  out_.assign(kAudioOutBytes, 0);
  spec_ = SDL_AudioSpec{};
  spec_.freq = c->sample_rate;
  spec_.format = AUDIO_S16SYS;
  spec_.channels = kOutChannels;
  spec_.silence = 0;
  spec_.samples = static_cast<Uint16>(c->frame_size > 0 ? std::min(c->frame_size, 8192) : 1024);
  spec_.callback = &AudioClock::audio_callback;
  spec_.userdata = this;
  return true;
}

void AudioClock::close() {
  queue_.clear();
  resampler_.reset();
  out_.clear();
  out_.shrink_to_fit();
  decoder_.reset();
  carry_ = 0;
  read_ = nullptr;
  volume_ = 64;
  set(0);
}

void AudioClock::reset() {
  {
    std::lock_guard lock(decoder_mutex_);
    carry_ = 0;
    read_ = nullptr;
  }
  queue_.clear();
}

void AudioClock::flush() {
  if (!decoder_) return;
  std::lock_guard lock(decoder_mutex_);
  avcodec_flush_buffers(decoder_.get());
  queue_.clear();
  carry_ = 0;
}

bool AudioClock::open_output() {
  subsystem_ = start_audio_subsystem();
  SDL_AudioSpec obtained{};
  const SDL_AudioDeviceID id = subsystem_->ok() ? open_audio_output(spec_, obtained) : 0;
  if (id == 0) return false;
  state_.change({}, [&] {
    device_.reset(id);
    spec_.samples = obtained.samples;
    SDL_PauseAudioDevice(id, state_.paused() ? 1 : 0);
  });
  return true;
}

void AudioClock::close_output() {
  state_.change({}, [&] { device_.reset(); });
  subsystem_.reset();
}

void AudioClock::pause_output(bool pause) {
  if (device_.id()) SDL_PauseAudioDevice(device_.id(), pause ? 1 : 0);
}

void AudioClock::audio_callback(void* self, Uint8* stream, int len) {
  static_cast<AudioClock*>(self)->fill(stream, len);
}

// The device pulls `len` bytes: carried-over audio first, then as many
// packets as it takes to fill the buffer, each decoded, converted and
// mixed. The clock is stamped here: the timestamp of a packet, less what
// of this buffer plays before it.
void AudioClock::fill(Uint8* stream, int len) {
  std::memset(stream, 0, static_cast<std::size_t>(len));  // silence unless mixed below
  if (state_.stopping() || state_.paused()) return;
  std::lock_guard decoder_lock(decoder_mutex_);
  const int volume = std::clamp(volume_.load(), 0, SDL_MIX_MAXVOLUME);
  int filled = 0;
  while (filled < len) {
    if (carry_ == 0) {
      AvPacketPtr packet = queue_.pop();
      if (!packet) {
        // A stall: the clock goes on by what this buffer lacks.
        std::lock_guard lock(clock_mutex_);
        clock_ += av_rescale_q((len - filled) / kFrameBytes, AVRational{1, spec_.freq}, base_);
        return;
      }
      if (avcodec_send_packet(decoder_.get(), packet.get()) < 0) continue;  // a damaged packet is lost alone
      AvFramePtr frame = make_frame();
      int converted = 0;
      const int capacity = static_cast<int>(out_.size()) / kFrameBytes;
      while (avcodec_receive_frame(decoder_.get(), frame.get()) >= 0) {
        std::uint8_t* out = out_.data() + static_cast<std::ptrdiff_t>(converted) * kFrameBytes;
        const int n = swr_convert(resampler_.get(), &out, capacity - converted,
                                  const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
        if (n > 0) converted += n;
        av_frame_unref(frame.get());
      }
      if (converted == 0) continue;
      if (packet->pts != AV_NOPTS_VALUE) {
        set(packet->pts - av_rescale_q(filled / kFrameBytes, AVRational{1, spec_.freq}, base_));
      }
      carry_ = converted * kFrameBytes;
      read_ = out_.data();
    }
    const int n = std::min(len - filled, carry_);
    SDL_MixAudioFormat(stream + filled, read_, AUDIO_S16SYS, static_cast<Uint32>(n), volume);
    read_ += n;
    carry_ -= n;
    filled += n;
  }
}

void AudioClock::run_silent_clock(int64_t first_ms) {
  {
    std::lock_guard lock(clock_mutex_);
    start_ms_ = now_ms();
    paused_ms_ = -first_ms;
  }
  while (!state_.stopping()) {
    if (state_.paused()) {
      int64_t t, epoch;
      {
        std::lock_guard lock(clock_mutex_);
        t = now_ms();
        epoch = epoch_;
      }
      state_.wait_while_held(100);
      std::lock_guard lock(clock_mutex_);
      // A seek meanwhile set a new base, which already counts this pause.
      if (epoch == epoch_) paused_ms_ += now_ms() - t;
      continue;
    }
    state_.nap(5);  // a clock, not a hand-off: it ticks
    std::lock_guard lock(clock_mutex_);
    clock_ = av_rescale_q(now_ms() - start_ms_ - paused_ms_, AVRational{1, 1000}, base_);
  }
}

void AudioClock::restart_at(int64_t position) {
  std::lock_guard lock(clock_mutex_);
  ++epoch_;
  clock_ = position;
  start_ms_ = now_ms();
  paused_ms_ = -static_cast<int64_t>(units_to_ms(position));
}

}  // namespace orb::player
