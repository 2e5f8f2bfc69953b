// Opening the media, the demux thread and the video decode thread.
#include "media_input.h"

#include <av/decoding_input.h>
#include <common/debug_trace.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include <chrono>
#include <cmath>
#include <cstdio>

namespace orb::player {
namespace {

constexpr int kReadTimeoutMs = 5000;  // a frozen source ends playback after this

}  // namespace

int MediaInput::open(const char* path) {
  close();
  std::string error;
  DecodingInput media = DecodingInput::open(path, InputOptions{.audio = true}, error);
  switch (media.failure()) {
    case InputFailure::none: break;
    case InputFailure::not_opened:
      // FFmpeg's refusals keep their code; ours (a FIFO, no answer) say why.
      if (media.error_code() != 0 && media.error_code() != AVERROR_EXIT) {
        return error_.format(15, "error: couldn't open input stream, code: %d;\n", media.error_code());
      }
      return error_.format(15, "%s;\n", error.c_str());
    case InputFailure::no_streams: return error_.format(ORB_ERROR, "error: couldn't find stream information;\n");
    case InputFailure::no_video: return error_.format(16, "%s.\n", error.c_str());
    default: return error_.format(ORB_ERROR, "%s.\n", error.c_str());  // no decoder, or it did not open
  }
  video_index_ = media.video.index;
  video_stream_ = media.video.stream;
  decoder_ = std::move(media.video.decoder);
  audio_index_ = media.audio.index;
  const AVStream* audio_stream = media.audio.stream;
  input_ = std::move(media.input());
  AVFormatContext* raw = input_.get();
  opened_size_ = raw->pb && !is_network_source(path) ? avio_size(raw->pb) : -1;
  read_end_ms_ = 0;
  const AVRational rate = video_stream_->r_frame_rate;
  const float frame_rate = rate.den ? static_cast<float>(av_q2d(rate)) : 0;
  frame_interval_ms_ = frame_rate > 0 && frame_rate < 1000 ? 1000.0 / frame_rate : 40;
  width_ = decoder_->width;
  height_ = decoder_->height;
  if (width_ <= 0 || height_ <= 0) return error_.format(ORB_ERROR, "error: the video has no picture size;\n");

  // Duration: the audio track's for fast video with sound, else frames over
  // rate, else the container's.
  int64_t ms = -1;
  if (frame_rate > 30 && audio_stream && audio_stream->duration > 0) {
    ms = av_rescale_q(audio_stream->duration, audio_stream->time_base, AVRational{1, 1000});
  } else if (video_stream_->nb_frames > 0 && frame_rate > 0) {
    ms = static_cast<int64_t>(static_cast<double>(video_stream_->nb_frames) / frame_rate * 1000);
  } else if (audio_stream && audio_stream->duration > 0) {
    ms = av_rescale_q(audio_stream->duration, audio_stream->time_base, AVRational{1, 1000});
  }
  if (ms < 0 && raw->duration > 0) ms = raw->duration / (AV_TIME_BASE / 1000);
  if (ms < 0) ms = 0;
  const int64_t seconds = ms / 1000;
  duration_ = TimeParts{static_cast<int32_t>(seconds / 60), static_cast<int32_t>(seconds % 60),
                        static_cast<int32_t>(ms - seconds * 1000)};

  ring_.set_capacity(FrameRing::slots_for(width_, height_));
  if (!audio_.open(std::move(media.audio.decoder), audio_stream, error))
    return error_.format(ORB_ERROR, "%s", error.c_str());
  return 0;
}

int64_t MediaInput::start_in_clock() const {
  if (!video_stream_ || video_stream_->start_time == AV_NOPTS_VALUE) return 0;
  return av_rescale_q(video_stream_->start_time, video_stream_->time_base, audio_.base());
}

int64_t MediaInput::start_ms() const {
  if (!video_stream_ || video_stream_->start_time == AV_NOPTS_VALUE) return 0;
  return av_rescale_q(video_stream_->start_time, video_stream_->time_base, AVRational{1, 1000});
}

// The furthest point of the media a packet has reached, in ms from its start.
void MediaInput::note_packet_end(const AVPacket* packet) {
  const AVStream* stream = input_->streams[packet->stream_index];
  if (packet->pts == AV_NOPTS_VALUE) return;
  const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  const int64_t end = av_rescale_q(packet->pts - start + std::max<int64_t>(packet->duration, 0), stream->time_base,
                                   AVRational{1, 1000});
  read_end_ms_ = std::max(read_end_ms_.load(), end);
}

// Why the input's end is not the end of its media (empty when it is): a
// local file shorter now than when it was opened; packets that stop well
// before the duration the header gives; or a live stream (one without a
// length) ending at all, which FFmpeg reports alike for a server that ends
// the stream and one that dies.
std::string MediaInput::cut_short() const {
  if (!input_) return {};
  const bool network = is_network_source(input_->url);
  const int64_t size = !network && input_->pb ? avio_size(input_->pb) : -1;  // asks the file system again
  if (opened_size_ > 0 && size >= 0 && size < opened_size_) {
    return "error: the input was lost: the file was cut short while playing (" + std::to_string(size) + " of " +
           std::to_string(opened_size_) + " bytes)";
  }
  const int64_t total = (int64_t{duration_.minutes} * 60 + duration_.seconds) * 1000 + duration_.milliseconds;
  if (network && total <= 0) return "error: the input was lost: the stream ended";
  const int64_t reached = read_end_ms_;
  if (total <= 0 || reached <= 0 || reached + std::max<int64_t>(2000, total / 20) >= total) return {};
  // A length guessed from the bit rate (MPEG streams without an index) is
  // no measure to hold the end against.
  if (input_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) return {};
  char text[96];
  std::snprintf(text, sizeof text, "error: the input ended at %02lld:%02lld of %02lld:%02lld",
                static_cast<long long>(reached / 60000), static_cast<long long>(reached / 1000 % 60),
                static_cast<long long>(total / 60000), static_cast<long long>(total / 1000 % 60));
  return text;
}

void MediaInput::close() {
  duration_ = TimeParts{};
  ring_.reset();
  video_queue_.clear();
  scaler_ = FrameScaler();
  decoder_.reset();
  audio_.close();
  input_ = OpenedInput();
  video_stream_ = nullptr;
  video_index_ = audio_index_ = -1;
  width_ = height_ = 0;
}

bool MediaInput::prepare_playback(bool rewind) {
  if (rewind) {
    const int64_t start = video_stream_->start_time != AV_NOPTS_VALUE ? video_stream_->start_time : 0;
    if (av_seek_frame(input_.get(), video_index_, start, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(decoder_.get());
    audio_.flush();
    audio_.set(av_rescale_q(start, video_stream_->time_base, audio_.base()));
  }
  drained_ = false;
  lost_ = false;
  dropped_ = 0;
  ring_.reset();
  video_queue_.clear();
  audio_.reset();
  return true;
}

void MediaInput::wake() {
  video_queue_.wake();
  audio_.queue().wake();
  ring_.wake();
}

int MediaInput::seek(int64_t target_ms) {
  // Whole seconds only, in the video stream's units.
  const int64_t start = video_stream_->start_time != AV_NOPTS_VALUE ? video_stream_->start_time : 0;
  const int64_t seek_ts = av_rescale_q(target_ms / 1000, AVRational{1, 1}, video_stream_->time_base) + start;
  // Input, then decoders: the demux and decode threads hold these while
  // they move a packet, so nothing from before the seek survives it.
  std::lock_guard input_lock(input_mutex_);
  const int ret = av_seek_frame(input_.get(), video_index_, seek_ts, AVSEEK_FLAG_BACKWARD);
  debug_trace("now trace %d %d\n", static_cast<int>(target_ms / 1000), ret);
  if (ret < 0) return ret;
  video_queue_.clear();
  {
    std::lock_guard lock(decoder_mutex_);
    avcodec_flush_buffers(decoder_.get());
    ring_.reset();
    drained_ = false;
  }
  audio_.flush();
  // Pictures before the target are decoded but not shown: the clock starts there.
  audio_.restart_at(av_rescale_q(seek_ts, video_stream_->time_base, audio_.base()));
  return ret;
}

void MediaInput::demux_loop() {
  AvPacketPtr packet = make_packet();
  bool end_queued = false;
  std::chrono::steady_clock::time_point lost_at{};
  while (!state_.stopping()) {
    if (state_.paused() || state_.flushing()) {
      state_.wait_while_held(state_.paused() ? 100 : 10);
      continue;
    }
    // The input lock spans read to queue, so a seek never sees a packet
    // from before it arrive after it.
    std::unique_lock input_lock(input_mutex_);
    // A lost input is not read again (each try could wait out the timeout):
    // what was read drains, and the loss is said once.
    int ret = AVERROR(EIO);
    if (!lost_) {
      input_.bound_reads(kReadTimeoutMs, state_.stop_flag());  // "stopped" cuts a read short only here
      ret = av_read_frame(input_.get(), packet.get());
      input_.bound_reads(0, nullptr);
    }
    if (ret < 0) {
      // End of input: an empty packet tells the decoder to hand out the
      // pictures it still holds; playback ends once they have been shown.
      // A read error ends playback too, once everything read is shown.
      const bool end = ret == AVERROR_EOF;
      // Anything else, unless it is our own stop or a live source saying
      // "later", is a lost input: a dead or frozen server, a read error.
      if (!end && ret != AVERROR(EAGAIN) && !state_.stopping() && !lost_.exchange(true)) {
        error_.format(ORB_ERROR, "error: the input was lost: %s;\n",
                      ret == AVERROR_EXIT ? "no data for 5 seconds" : av_error_text(ret).c_str());
      }
      if (end && !end_queued && !state_.stopping() && !lost_) {
        // A file can end early: cut while it plays, or damaged before.
        if (const std::string cut = cut_short(); !cut.empty() && !lost_.exchange(true)) {
          error_.format(ORB_ERROR, "%s;\n", cut.c_str());
        }
      }
      if (end && !end_queued) {
        video_queue_.push(make_packet());
        end_queued = true;
      }
      input_lock.unlock();
      // What was read before a loss is shown, but not waited for without a
      // bound: a clock that stalled with its source must not hold the end.
      if (lost_ && lost_at == std::chrono::steady_clock::time_point{}) lost_at = std::chrono::steady_clock::now();
      const bool lost_long_ago = lost_ && std::chrono::steady_clock::now() - lost_at > std::chrono::seconds(3);
      if ((video_queue_.empty() && ring_.count() == 0 && audio_.queue().empty() && (!end || drained_)) ||
          lost_long_ago) {
        state_.change({.stop = true});
        break;
      }
      state_.nap(30);
      continue;
    }
    end_queued = false;  // a seek back from the end reads again
    note_packet_end(packet.get());
    PacketQueue* queue = nullptr;
    int wait_ms = 0;
    if (packet->stream_index == audio_index_) {
      queue = &audio_.queue();
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
    while (queue->full() && !state_.stopping() && !state_.flushing())
      queue->wait_for_room(std::chrono::milliseconds(wait_ms));
    if (state_.stopping()) break;
    if (state_.flushing()) {
      av_packet_unref(packet.get());
      continue;
    }
    AvPacketPtr queued = make_packet();
    av_packet_move_ref(queued.get(), packet.get());
    queue->push(std::move(queued));
  }
}

void MediaInput::decode_loop() {
  while (!state_.stopping()) {
    if (state_.paused() || state_.flushing()) {
      state_.wait_while_held(state_.paused() ? 100 : 10);
      continue;
    }
    // The codec lock spans taking a packet to storing its pictures, so a
    // seek's flush never meets a packet or picture from before it.
    std::unique_lock codec_lock(decoder_mutex_);
    AvPacketPtr packet = video_queue_.pop();
    if (!packet) {
      codec_lock.unlock();
      video_queue_.wait_for_packet(std::chrono::milliseconds(10));
      continue;
    }
    decode_packet(packet->data == nullptr && packet->size == 0 ? nullptr : packet.get());
  }
}

// Sends one packet (null: end of input) and stores the pictures it gives.
// Caller holds decoder_mutex_. Pictures behind the clock are decoded
// all the same (later pictures depend on them) and discarded.
int MediaInput::decode_packet(const AVPacket* packet) {
  AvFramePtr picture = make_frame();
  for (;;) {
    const int sent = avcodec_send_packet(decoder_.get(), packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) {
      debug_trace("caution: decode video error;\n");
      return sent;
    }
    int received;
    while ((received = avcodec_receive_frame(decoder_.get(), picture.get())) >= 0) {
      if (picture_pts(picture.get()) < audio_.read()) {
        av_frame_unref(picture.get());
        ++dropped_;
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
int64_t MediaInput::picture_pts(const AVFrame* picture) const {
  int64_t pts = picture->best_effort_timestamp != AV_NOPTS_VALUE ? picture->best_effort_timestamp : picture->pts;
  if (pts == AV_NOPTS_VALUE) return 0;
  return av_rescale_q(pts, video_stream_->time_base, audio_.base());
}

// Waits for room in the ring and stores the picture as YUV 4:2:0 of the
// opened size. False when playback stops or a seek starts meanwhile (then
// the picture is discarded).
bool MediaInput::store_picture(AVFrame* picture) {
  while (ring_.full() && !state_.stopping() && !state_.flushing()) ring_.wait_for_room(std::chrono::milliseconds(10));
  if (state_.stopping() || state_.flushing()) return false;
  const int64_t pts = picture_pts(picture);
  // Another layout or a size that differs from the one opened is scaled
  // into a buffer of the opened size; a fitting picture is kept as it is.
  AvFramePtr slot = scaler_.scale(picture, AV_PIX_FMT_YUV420P, width_, height_);
  av_frame_unref(picture);
  if (!slot) return false;
  ring_.push(slot, pts);
  return true;
}

}  // namespace orb::player
