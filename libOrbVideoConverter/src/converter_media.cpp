// The converter's input (decoding to RGBA, audio packets passed through)
// and output (H.265 encoding, audio stream copy, the container).
#include "converter_impl.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include <av/media_open.h>

namespace orb::converter {
namespace {

bool wants_hvc1(const AVOutputFormat* format) {
  // mp4 and mov players expect H.265 tagged "hvc1".
  return std::strstr(format->name, "mp4") != nullptr || std::strstr(format->name, "mov") != nullptr;
}

}  // namespace

int ISS_OrbVideoConverterImpl::open_input() {
  // Writing onto the input would destroy it: the same file under any name
  // (a link, another path) is refused before anything is opened.
  struct stat in {
  }, out{};
  if (params_->input_path && params_->output_path && ::stat(params_->input_path, &in) == 0 &&
      ::stat(params_->output_path, &out) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
    return fail(ORB_ERROR, "error: the output %s is the input itself; choose another file;\n", params_->output_path);
  }
  std::string error;
  // Bounded, and Stop cuts it short.
  DecodingInput media = DecodingInput::open(params_->input_path, InputOptions{.audio = true, .stop = &stop_}, error);
  switch (media.failure()) {
    case InputFailure::none: break;
    case InputFailure::not_opened: return fail_text(15, error + ";\n");
    case InputFailure::no_video: return fail_text(16, error + ";\n");
    case InputFailure::no_streams: return fail(ORB_ERROR, "error: couldn't find stream information;\n");
    default: return fail_text(ORB_ERROR, error + (error.ends_with("audio") ? ".\n" : ";\n"));
  }
  video_in_ = media.video.stream;
  video_index_ = media.video.index;
  video_decoder_ = std::move(media.video.decoder);
  audio_in_ = media.audio.stream;
  audio_index_ = media.audio.index;
  audio_decoder_ = std::move(media.audio.decoder);
  input_ = std::move(media.input());
  AVFormatContext* raw = input_.get();
  frame_rate_ = video_in_->r_frame_rate.den ? static_cast<float>(av_q2d(video_in_->r_frame_rate)) : 0;
  if (video_decoder_->width < 4 || video_decoder_->height < 4 || frame_rate_ <= 0) {
    return fail(ORB_ERROR, "error: the video has no usable picture size or frame rate;\n");
  }
  total_frames_ = video_in_->nb_frames;
  if (total_frames_ <= 0 && raw->duration > 0) {
    // No frame count in the container: from its duration.
    total_frames_ = static_cast<int64_t>(static_cast<double>(raw->duration) / AV_TIME_BASE * frame_rate_);
  }
  // A stream without a length is live: it has no duration to give.
  live_ = is_network_source(params_->input_path) && total_frames_ <= 0;
  // To the millisecond: a clip shorter than a second still has a span.
  const auto ms = static_cast<int64_t>(static_cast<double>(total_frames_) / frame_rate_ * 1000);
  duration_ = TimeParts{static_cast<int32_t>(ms / 60000), static_cast<int32_t>(ms / 1000 % 60),
                        static_cast<int32_t>(ms % 1000)};
  decoded_ = make_frame();
  packet_ = make_packet();
  if (!decoded_ || !packet_) return fail(ORB_ERROR, "error: fail to fill image arrays;\n");
  return 0;
}

int ISS_OrbVideoConverterImpl::prepare_output() {
  if (params_->output_path == nullptr || *params_->output_path == '\0')
    return fail(ORB_ERROR, "error: no output file;\n");
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, nullptr, nullptr, params_->output_path) < 0 || !raw) {
    return fail(ORB_ERROR, "error: failed to allocate output context for video %s;\n",
                params_->output_path ? params_->output_path : "");
  }
  output_.reset(raw);
  if (int r = add_video_stream(); r != 0) return r;
  if (audio_in_) {
    if (int r = add_audio_stream(); r != 0) return r;
  }
  // The container comes from the output's name; the bytes go beside it
  // until the file is finished.
  const std::string part = std::string(params_->output_path) + ".part";
  if (!(raw->oformat->flags & AVFMT_NOFILE)) {
    if (avio_open(&raw->pb, part.c_str(), AVIO_FLAG_WRITE) < 0) {
      return fail(ORB_ERROR, "error: failed to open output file for video! \n");
    }
    part_path_ = part;
  }
  if (avformat_write_header(raw, nullptr) < 0) return fail(ORB_ERROR, "error: fail to write header for output file;\n");
  return 0;
}

int ISS_OrbVideoConverterImpl::add_video_stream() {
  const AVCodec* codec = avcodec_find_encoder_by_name("libx265");
  if (!codec) return fail(ORB_ERROR, "error: could not find encoder for '%s'\n", avcodec_get_name(AV_CODEC_ID_HEVC));
  if (params_->dst_width < 16 || params_->dst_height < 16 || params_->dst_width % 2 || params_->dst_height % 2) {
    return fail(ORB_ERROR, "error: the encoder cannot take a %dx%d picture (even sizes of at least 16);\n",
                params_->dst_width, params_->dst_height);
  }
  video_out_ = avformat_new_stream(output_.get(), nullptr);
  if (!video_out_) return fail(ORB_ERROR, "Could not allocate stream\n");
  video_out_->id = static_cast<int>(output_->nb_streams) - 1;
  video_out_->r_frame_rate = video_in_->r_frame_rate;
  video_out_->avg_frame_rate = video_in_->r_frame_rate;
  encoder_.reset(avcodec_alloc_context3(codec));
  if (!encoder_) return fail(ORB_ERROR, "Could not alloc an encoding context\n");
  AVCodecContext* c = encoder_.get();
  const int64_t bit_rate = params_->bitrate;  // already in bits per second
  c->codec_id = AV_CODEC_ID_HEVC;
  c->bit_rate = bit_rate;
  c->width = params_->dst_width;
  c->height = params_->dst_height;
  c->time_base = av_inv_q(video_in_->r_frame_rate);  // one tick per frame
  c->framerate = video_in_->r_frame_rate;
  c->gop_size = key_frame_interval_ > 0        ? key_frame_interval_
                : video_decoder_->gop_size > 0 ? video_decoder_->gop_size
                                               : 12;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->rc_max_rate = bit_rate;
  c->rc_min_rate = bit_rate;
  c->bit_rate_tolerance = static_cast<int>(std::min<int64_t>(bit_rate, INT32_MAX));
  c->rc_buffer_size = static_cast<int>(std::min<int64_t>(bit_rate, INT32_MAX));
  c->rc_initial_buffer_occupancy = static_cast<int>(int64_t{c->rc_buffer_size} * 3 / 4);
  if (output_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  video_out_->time_base = video_in_->time_base;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "x265-params", "qp=20:log-level=error", 0);
  av_dict_set(&options, "preset", "ultrafast", 0);
  av_dict_set(&options, "tune", "zero-latency", 0);
  const int opened = avcodec_open2(c, codec, &options);  // private options fail only here
  av_dict_free(&options);
  if (opened < 0) return fail(ORB_ERROR, "error: could not open video codec;\n");
  if (avcodec_parameters_from_context(video_out_->codecpar, c) < 0) {
    return fail(ORB_ERROR, "error: could not copy the stream parameters\n");
  }
  if (wants_hvc1(output_->oformat)) video_out_->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
  return 0;
}

int ISS_OrbVideoConverterImpl::add_audio_stream() {
  audio_out_ = avformat_new_stream(output_.get(), nullptr);
  if (!audio_out_) return fail(ORB_ERROR, "Could not allocate stream\n");
  audio_out_->id = static_cast<int>(output_->nb_streams) - 1;
  const AVCodecID codec = audio_in_->codecpar->codec_id;
  if (!AudioTranscoder::container_takes(output_.get(), codec)) {
    // The container cannot hold this sound: it is re-encoded, and the user told.
    transcoder_ = std::make_unique<AudioTranscoder>();
    if (const std::string refused = transcoder_->open(audio_decoder_.get(), output_.get(), audio_out_);
        !refused.empty()) {
      return fail_text(ORB_ERROR, refused + ";\n");
    }
    std::snprintf(notice_, sizeof notice_, "note: the %s sound is re-encoded as AAC: %s files cannot hold it as it is",
                  avcodec_get_name(codec), output_->oformat->name);
    return 0;
  }
  // The audio is copied packet for packet: the stream takes the input's parameters.
  if (avcodec_parameters_copy(audio_out_->codecpar, audio_in_->codecpar) < 0) {
    return fail(ORB_ERROR, "error: could not copy the stream parameters;\n");
  }
  audio_out_->codecpar->codec_tag = 0;
  audio_out_->time_base = audio_in_->time_base;
  return 0;
}

void ISS_OrbVideoConverterImpl::close_input() {
  to_source_yuv_ = FrameScaler();
  map_width_ = map_height_ = 0;
  video_decoder_.reset();
  audio_decoder_.reset();
  input_ = OpenedInput();
  video_in_ = audio_in_ = nullptr;
  video_index_ = audio_index_ = -1;
  frame_rate_ = 0;
  total_frames_ = 0;
  input_ended_ = false;
  live_ = open_ended_ = false;
}

void ISS_OrbVideoConverterImpl::close_output() { finish_output(Fate::kDiscard); }

void ISS_OrbVideoConverterImpl::finish_output(Fate fate) {
  encoder_.reset();
  transcoder_.reset();
  output_.reset();  // closes the file
  video_out_ = audio_out_ = nullptr;
  if (part_path_.empty()) return;
  if (fate == Fate::kCommit && std::rename(part_path_.c_str(), params_->output_path) != 0) {
    fail(ORB_ERROR, "error: cannot replace %s with the converted file: %s;\n", params_->output_path,
         std::strerror(errno));
    fate = Fate::kKeepPart;
  }
  if (fate == Fate::kDiscard) std::remove(part_path_.c_str());
  part_path_.clear();
}

int ISS_OrbVideoConverterImpl::write_packet(AVPacket* packet) {
  std::lock_guard lock(write_mutex_);
  return av_interleaved_write_frame(output_.get(), packet);
}

int ISS_OrbVideoConverterImpl::write_audio(AVPacket* packet) {
  if (!audio_out_ || packet->pts == AV_NOPTS_VALUE) return 0;  // nothing to place it by
  // The conversion's audio starts at 0 where its video does.
  if (video_start_pts_ == AV_NOPTS_VALUE) return 0;  // live, and before the first picture
  if (audio_base_ == AV_NOPTS_VALUE)
    audio_base_ = av_rescale_q(video_start_pts_, video_in_->time_base, audio_in_->time_base);
  int64_t pts = packet->pts - audio_base_;
  // Joined segments overlap by a packet or so: the container takes each
  // moment of sound once, in order, so a packet that goes back is left out.
  // A live source whose clock steps well back (a wrap, a restart) is
  // re-based to go on from where its sound was.
  const int64_t second = av_rescale_q(1, AVRational{1, 1}, audio_in_->time_base);
  if (live_ && last_audio_pts_ >= 0 && pts + second < last_audio_pts_) {
    audio_base_ = packet->pts - (last_audio_pts_ + 1);
    pts = last_audio_pts_ + 1;
  }
  if (pts < 0 || pts <= last_audio_pts_) return 0;  // from before the start, or sound already written
  last_audio_pts_ = pts;
  if (transcoder_) {
    packet->pts = packet->dts = pts;
    if (transcoder_->push(audio_decoder_.get(), packet, audio_in_->time_base,
                          [this](AVPacket* p) { return write_packet(p); }) < 0) {
      return fail(ORB_ERROR, "error: failed to write one audio frame;\n");
    }
    return 0;
  }
  packet->pts = packet->dts = av_rescale_q(pts, audio_in_->time_base, audio_out_->time_base);
  packet->duration = av_rescale_q(packet->duration, audio_in_->time_base, audio_out_->time_base);
  packet->stream_index = audio_out_->index;
  packet->pos = -1;
  if (write_packet(packet) < 0) return fail(ORB_ERROR, "error: failed to write one audio frame;\n");
  return 0;
}

int ISS_OrbVideoConverterImpl::decode_picture() {
  for (;;) {
    // Pictures the decoder already holds come first.
    av_frame_unref(decoded_.get());
    if (avcodec_receive_frame(video_decoder_.get(), decoded_.get()) >= 0) {
      const int64_t pts = decoded_->best_effort_timestamp;
      if (live_) {
        // Nothing was sought: every picture counts, even if the source's
        // clock steps back (a wrap, an encoder restart).
        if (video_start_pts_ == AV_NOPTS_VALUE) video_start_pts_ = pts != AV_NOPTS_VALUE ? pts : 0;
        return 0;
      }
      // The seek lands on a key frame before the start: those pictures are not wanted.
      if (pts != AV_NOPTS_VALUE && pts < video_start_pts_) continue;
      return 0;
    }
    if (input_ended_) return kEndOfInput;
    if (const int ret = av_read_frame(input_.get(), packet_.get()); ret < 0) {
      // A read cut short by Stop is the end the user chose, not a failure.
      if (ret != AVERROR_EOF && !live_ && !stop_) {
        return fail(ORB_ERROR, "error: couldn't read the input: %s;\n", av_error_text(ret).c_str());
      }
      // A live stream has no end of its own: FFmpeg says "end" alike for a
      // server that dies and one that closes the stream. What was recorded
      // is finished and kept, and the user told.
      if (live_ && !stop_) {
        lost_ = ret == AVERROR_EOF ? "the stream ended" : ret == AVERROR_EXIT ? "no data in time" : av_error_text(ret);
      }
      // End of input: the decoder hands out the pictures it still holds.
      avcodec_send_packet(video_decoder_.get(), nullptr);
      input_ended_ = true;
      continue;
    }
    int result = 0;
    if (packet_->stream_index == audio_index_) {
      result = write_audio(packet_.get());
    } else if (packet_->stream_index == video_index_) {
      // A damaged packet costs its picture, not the conversion (as in playback).
      if (const int sent = avcodec_send_packet(video_decoder_.get(), packet_.get()); sent == AVERROR_INVALIDDATA) {
        ++skipped_packets_;
      } else if (sent < 0) {
        result = fail(ORB_ERROR, "error: decode video error;\n");
      }
    }
    av_packet_unref(packet_.get());
    if (result != 0) return result;
  }
}

const AVFrame* ISS_OrbVideoConverterImpl::as_yuv420(const AVFrame* frame) {
  // Another layout or size: converted to the size the views were mapped for.
  return to_source_yuv_.scale_reused(frame, AV_PIX_FMT_YUV420P, map_width_, map_height_);
}

int ISS_OrbVideoConverterImpl::encode_frame(AVFrame* frame) {
  if (frame) frame->pts = encoded_.fetch_add(1);
  if (avcodec_send_frame(encoder_.get(), frame) < 0)
    return fail(ORB_ERROR, "error: failed to encode one video frame! \n");
  AvPacketPtr packet = make_packet();
  int ret;
  while ((ret = avcodec_receive_packet(encoder_.get(), packet.get())) >= 0) {
    av_packet_rescale_ts(packet.get(), encoder_->time_base, video_out_->time_base);
    packet->stream_index = video_out_->index;
    if (write_packet(packet.get()) < 0) return fail(ORB_ERROR, "error: failed to write one video frame;\n");
  }
  if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
    return fail(ORB_ERROR, "error: failed to encode one video frame! \n");
  return 0;
}

}  // namespace orb::converter
