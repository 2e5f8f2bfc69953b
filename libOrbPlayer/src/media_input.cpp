// Opening the media, the demux thread and the video decode thread.
#include "player_impl.h"

#include <av/media_open.h>
#include <common/debug_trace.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include <chrono>
#include <cmath>
#include <cstdio>

namespace orb::player {
namespace {

constexpr int kError = 21;

// Network reads give up after 5 s, or at once when playback stops.
struct ReadDeadline {
  std::chrono::steady_clock::time_point until;
  const std::atomic<bool>* stop;
};

int interrupt_read(void* opaque) {
  const auto* d = static_cast<const ReadDeadline*>(opaque);
  return d->stop->load() || std::chrono::steady_clock::now() > d->until ? 1 : 0;
}

}  // namespace

int ISS_OrbPlayerImpl::open_input(const char* path) {
  // A FIFO or a folder named like a video would block the demuxer or mislead it.
  if (const std::string refused = refuse_special_file(path); !refused.empty()) return fail(15, "%s;\n", refused.c_str());
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) return fail(kError, "error: couldn't allocate formate contex;\n");
  AVDictionary* options = nullptr;
  av_dict_set(&options, "timeout", "5000000", 0);  // microseconds, network protocols only
  int ret = avformat_open_input(&raw, path, nullptr, &options);  // frees `raw` on failure
  av_dict_free(&options);
  if (ret < 0) return fail(15, "error: couldn't open input stream, code: %d;\n", ret);
  input_.reset(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) return fail(kError, "error: couldn't find stream information;\n");

  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    AVStream* stream = raw->streams[i];
    const AVCodecParameters* par = stream->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_AUDIO && par->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;  // cover art is not the video
    const bool audio = par->codec_type == AVMEDIA_TYPE_AUDIO;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return fail(kError, audio ? "error: codec not found for audio.\n" : "error: codec not found for video.\n");
    AvCodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), par) < 0) {
      return fail(kError, audio ? "error: can not open codec for audio.\n" : "error: can not open codec for video.\n");
    }
    context->pkt_timebase = stream->time_base;
    if (!audio) {
      context->pix_fmt = limited_range_format(context->pix_fmt);
      context->thread_count = 0;  // as many as the machine has
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
      return fail(kError, audio ? "error: can not open codec for audio.\n" : "error: can not open codec for video.\n");
    }
    if (audio) {
      audio_index_ = static_cast<int>(i);
      audio_stream_ = stream;
      audio_codec_ = std::move(context);
    } else {
      video_index_ = static_cast<int>(i);
      video_stream_ = stream;
      video_codec_ = std::move(context);
      const AVRational rate = stream->r_frame_rate;
      frame_rate_ = rate.den ? static_cast<float>(av_q2d(rate)) : 0;
    }
  }
  if (video_index_ < 0) return fail(16, "error: can not find a video stream.\n");
  video_width_ = video_codec_->width;
  video_height_ = video_codec_->height;
  if (video_width_ <= 0 || video_height_ <= 0) return fail(kError, "error: the video has no picture size;\n");

  clock_base_ = audio_stream_ ? audio_stream_->time_base : av_d2q(0.001, 9000);

  // Duration: the audio track's for fast video with sound, else frames over
  // rate, else the container's.
  int64_t ms = -1;
  if (frame_rate_ > 30 && audio_stream_ && audio_stream_->duration > 0) {
    ms = av_rescale_q(audio_stream_->duration, audio_stream_->time_base, AVRational{1, 1000});
  } else if (video_stream_->nb_frames > 0 && frame_rate_ > 0) {
    ms = static_cast<int64_t>(static_cast<double>(video_stream_->nb_frames) / frame_rate_ * 1000);
  } else if (audio_stream_ && audio_stream_->duration > 0) {
    ms = av_rescale_q(audio_stream_->duration, audio_stream_->time_base, AVRational{1, 1000});
  }
  if (ms < 0 && raw->duration > 0) ms = raw->duration / (AV_TIME_BASE / 1000);
  if (ms < 0) ms = 0;
  const int64_t seconds = ms / 1000;
  duration_ = TimeParts{static_cast<int32_t>(seconds / 60), static_cast<int32_t>(seconds % 60),
                        static_cast<int32_t>(ms - seconds * 1000)};

  ring_.reset();
  return audio_stream_ ? setup_audio() : 0;
}

void ISS_OrbPlayerImpl::close_input() {
  {
    std::lock_guard lock(state_mutex_);
    stop_ = true;
    paused_ = true;
  }
  duration_ = TimeParts{};
  ring_.reset();
  audio_queue_.clear();
  video_queue_.clear();
  scaler_.reset();
  resampler_.reset();
  audio_out_.clear();
  audio_out_.shrink_to_fit();
  video_codec_.reset();
  audio_codec_.reset();
  input_.reset();
  video_stream_ = audio_stream_ = nullptr;
  video_index_ = audio_index_ = -1;
  video_width_ = video_height_ = 0;
  frame_rate_ = 0;
}

void ISS_OrbPlayerImpl::demux_main() {
  {
    std::lock_guard lock(start_mutex_);
    start_states_[2] = kRunning;
  }
  AvPacketPtr packet = make_packet();
  bool end_queued = false;
  while (!stopping()) {
    if (paused_ || flushing_) {
      nap(paused_ ? 100 : 10);
      continue;
    }
    // The input lock spans read to queue, so a seek never sees a packet
    // from before it arrive after it.
    std::unique_lock input_lock(input_mutex_);
    ReadDeadline deadline{std::chrono::steady_clock::now() + std::chrono::seconds(5), &stop_};
    input_->interrupt_callback = AVIOInterruptCB{interrupt_read, &deadline};
    const int ret = av_read_frame(input_.get(), packet.get());
    input_->interrupt_callback = AVIOInterruptCB{nullptr, nullptr};
    if (ret < 0) {
      // End of input: an empty packet tells the decoder to hand out the
      // pictures it still holds; playback ends once they have been shown.
      // A read error ends playback too, once everything read is shown.
      const bool end = ret == AVERROR_EOF;
      // Anything else, unless it is our own stop or a live source saying
      // "later", is a lost input: a dead or frozen server, a read error.
      if (!end && ret != AVERROR(EAGAIN) && !stopping() && !input_lost_.exchange(true)) {
        fail(kError, "error: the input was lost: %s;\n",
             ret == AVERROR_EXIT ? "no data for 5 seconds" : av_error_text(ret).c_str());
      }
      if (end && !end_queued) {
        video_queue_.push(make_packet());
        end_queued = true;
      }
      input_lock.unlock();
      if (video_queue_.empty() && ring_.count() == 0 && (no_audio_ || audio_queue_.empty()) &&
          (!end || drained_)) {
        {
          std::lock_guard lock(state_mutex_);
          stop_ = true;
        }
        state_cv_.notify_all();
        break;
      }
      nap(30);
      continue;
    }
    end_queued = false;  // a seek back from the end reads again
    PacketQueue* queue = nullptr;
    int wait_ms = 0;
    if (packet->stream_index == audio_index_) {
      queue = &audio_queue_;
      wait_ms = 20;
    } else if (packet->stream_index == video_index_) {
      queue = &video_queue_;
      wait_ms = 50;
    } else {
      av_packet_unref(packet.get());
      continue;
    }
    // A full queue is waited out, paused or not: a packet thrown away would
    // damage every picture up to the next key frame. Only a seek or a stop
    // lets go of it.
    while (queue->full() && !stopping() && !flushing_) nap(wait_ms);
    if (stopping()) break;
    if (flushing_) {
      av_packet_unref(packet.get());
      continue;
    }
    AvPacketPtr queued = make_packet();
    av_packet_move_ref(queued.get(), packet.get());
    queue->push(std::move(queued));
  }
  worker_exit(kDemux);
}

void ISS_OrbPlayerImpl::video_decode_main() {
  {
    std::lock_guard lock(start_mutex_);
    start_states_[1] = kRunning;
  }
  while (!stopping()) {
    if (paused_ || flushing_) {
      nap(paused_ ? 100 : 10);
      continue;
    }
    // The codec lock spans taking a packet to storing its pictures, so a
    // seek's flush never meets a packet or picture from before it.
    std::unique_lock codec_lock(video_codec_mutex_);
    AvPacketPtr packet = video_queue_.pop();
    if (!packet) {
      codec_lock.unlock();
      nap(10);
      continue;
    }
    decode_packet(packet->data == nullptr && packet->size == 0 ? nullptr : packet.get());
  }
  worker_exit(kVideoDecode);
}

// Sends one packet (null: end of input) and stores the pictures it gives.
// Caller holds video_codec_mutex_. Pictures behind the clock are decoded
// all the same (later pictures depend on them) and discarded.
int ISS_OrbPlayerImpl::decode_packet(const AVPacket* packet) {
  AvFramePtr picture = make_frame();
  for (;;) {
    const int sent = avcodec_send_packet(video_codec_.get(), packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) {
      std::printf("caution: decode video error;\n");
      return sent;
    }
    int received;
    while ((received = avcodec_receive_frame(video_codec_.get(), picture.get())) >= 0) {
      if (picture_pts(picture.get()) < read_clock()) {
        av_frame_unref(picture.get());
        std::lock_guard lock(viewport_mutex_);
        ++stats_.frames_dropped;
      } else if (!store_picture(picture.get())) {
        av_frame_unref(picture.get());
        return 0;  // stopping or seeking: the rest is not wanted
      }
    }
    if (received == AVERROR_EOF) drained_ = true;
    if (sent != AVERROR(EAGAIN) || received == AVERROR(EAGAIN)) return 0;
    // The decoder was full: its pictures are out now, so the packet goes in.
  }
}

// Presentation time of a decoded picture in clock units (0 when unknown).
int64_t ISS_OrbPlayerImpl::picture_pts(const AVFrame* picture) const {
  int64_t pts = picture->best_effort_timestamp != AV_NOPTS_VALUE ? picture->best_effort_timestamp : picture->pts;
  if (pts == AV_NOPTS_VALUE) return 0;
  return av_rescale_q(pts, video_stream_->time_base, clock_base_);
}

// Waits for room in the ring and stores the picture as YUV 4:2:0 of the
// opened size. False when playback stops or a seek starts meanwhile (then
// the picture is discarded).
bool ISS_OrbPlayerImpl::store_picture(AVFrame* picture) {
  while (ring_.full() && !stopping() && !flushing_) nap(10);
  if (stopping() || flushing_) return false;
  const int64_t pts = picture_pts(picture);
  const auto format = static_cast<AVPixelFormat>(picture->format);
  AvFramePtr slot = make_frame();
  if ((format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) && picture->width == video_width_ &&
      picture->height == video_height_) {
    av_frame_move_ref(slot.get(), picture);  // the decoder's own buffer: no copy
  } else {
    // Another layout or a size that differs from the one opened: scale into
    // a buffer of the opened size, never past it.
    slot->format = AV_PIX_FMT_YUV420P;
    slot->width = video_width_;
    slot->height = video_height_;
    if (av_frame_get_buffer(slot.get(), 0) < 0) return false;
    scaler_.reset(sws_getCachedContext(scaler_.release(), picture->width, picture->height, format, video_width_,
                                       video_height_, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler_) return false;
    sws_scale(scaler_.get(), picture->data, picture->linesize, 0, picture->height, slot->data, slot->linesize);
    av_frame_unref(picture);
  }
  ring_.push(slot, pts);
  return true;
}

// Back to the start of the media for a new playback. Host thread, no
// workers running.
bool ISS_OrbPlayerImpl::rewind_input() {
  const int64_t start = video_stream_->start_time != AV_NOPTS_VALUE ? video_stream_->start_time : 0;
  if (av_seek_frame(input_.get(), video_index_, start, AVSEEK_FLAG_BACKWARD) < 0) return false;
  avcodec_flush_buffers(video_codec_.get());
  if (audio_codec_) avcodec_flush_buffers(audio_codec_.get());
  set_clock(av_rescale_q(start, video_stream_->time_base, clock_base_));
  return true;
}

}  // namespace orb::player
