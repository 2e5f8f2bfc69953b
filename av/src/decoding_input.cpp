#include <av/decoding_input.h>

namespace orb {
namespace {

bool is_picture(const AVStream* stream) {
  return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

// The demuxer's pick, unless it is cover art: then the first real video.
int video_stream_of(AVFormatContext* input) {
  const int best = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (best >= 0 && is_picture(input->streams[best])) return best;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    if (is_picture(input->streams[i])) return static_cast<int>(i);
  }
  return -1;
}

InputFailure open_decoder(AVStream* stream, bool video, bool threads, AvCodecContextPtr& out) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return InputFailure::no_decoder;
  AvCodecContextPtr context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0) {
    return InputFailure::decoder_not_opened;
  }
  context->pkt_timebase = stream->time_base;
  if (video) {
    context->pix_fmt = limited_range_format(context->pix_fmt);
    context->thread_count = threads ? 0 : 1;  // 0: as many as the machine has
  }
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return InputFailure::decoder_not_opened;
  out = std::move(context);
  return InputFailure::none;
}

}  // namespace

DecodingInput DecodingInput::open(const char* path, const InputOptions& options, std::string& error) {
  DecodingInput in;
  in.input_ = open_media(path, error, options.stop, options.timeout_ms, options.io);
  if (!in.input_) {
    const bool read_failed = error.find("cannot read the streams") != std::string::npos;
    in.failure_ = read_failed ? InputFailure::no_streams : InputFailure::not_opened;
    return in;
  }
  AVFormatContext* raw = in.input_.get();
  in.video.index = video_stream_of(raw);
  if (in.video.index < 0) {
    in.failure_ = InputFailure::no_video;
    error = "error: can not find a video stream";
    return in;
  }
  in.video.stream = raw->streams[in.video.index];
  if (options.audio) {
    in.audio.index = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, in.video.index, nullptr, 0);
    if (in.audio.index >= 0) in.audio.stream = raw->streams[in.audio.index];
  }
  for (StreamDecoder* s : {&in.video, &in.audio}) {
    if (!s->stream) continue;
    const bool video = s == &in.video;
    const InputFailure failed = open_decoder(s->stream, video, options.threads, s->decoder);
    if (failed == InputFailure::none) continue;
    in.failure_ = failed;
    error = std::string("error: ") +
            (failed == InputFailure::no_decoder ? "codec not found for " : "can not open codec for ") +
            (video ? "video" : "audio");
    return in;
  }
  in.packet_ = make_packet();
  if (!in.packet_) {
    in.failure_ = InputFailure::not_opened;
    error = "error: out of memory opening the input";
    return in;
  }
  in.failure_ = InputFailure::none;
  return in;
}

bool DecodingInput::seek(double seconds) {
  if (!*this) return false;
  const AVStream* stream = video.stream;
  const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  const std::int64_t target = start + static_cast<std::int64_t>(seconds / av_q2d(stream->time_base));
  if (av_seek_frame(format(), video.index, target, AVSEEK_FLAG_BACKWARD) < 0) return false;
  avcodec_flush_buffers(video.decoder.get());
  if (audio.decoder) avcodec_flush_buffers(audio.decoder.get());
  skip_before_ = target;
  draining_ = false;
  return true;
}

int DecodingInput::next_picture(AVFrame* picture) {
  if (!*this) return AVERROR(EINVAL);
  AVCodecContext* decoder = video.decoder.get();
  for (;;) {
    const int got = avcodec_receive_frame(decoder, picture);
    if (got == 0) {
      const std::int64_t pts = picture->best_effort_timestamp;
      if (skip_before_ != AV_NOPTS_VALUE && pts != AV_NOPTS_VALUE && pts < skip_before_) {
        av_frame_unref(picture);  // decoded from the key frame, but before the time sought
        continue;
      }
      skip_before_ = AV_NOPTS_VALUE;
      return 0;
    }
    if (got == AVERROR_INVALIDDATA) {
      ++damaged_;  // threaded decoders report a damaged packet here
      continue;
    }
    if (got != AVERROR(EAGAIN)) return got;  // AVERROR_EOF once drained
    if (draining_) return AVERROR_EOF;
    const int read = av_read_frame(format(), packet_.get());
    if (read == AVERROR_EOF) {
      draining_ = true;
      avcodec_send_packet(decoder, nullptr);  // the pictures it still holds
      continue;
    }
    if (read < 0) return read;
    if (packet_->stream_index == video.index) {
      const int sent = avcodec_send_packet(decoder, packet_.get());
      if (sent == AVERROR_INVALIDDATA) {
        ++damaged_;
      } else if (sent < 0) {
        av_packet_unref(packet_.get());
        return sent;
      }
    }
    av_packet_unref(packet_.get());
  }
}

}  // namespace orb
