#include "audio_transcoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <vector>

namespace orb::converter {
namespace {

// The nearest rate the encoder lists (or 48 kHz when it lists none).
int supported_rate(const AVCodec* codec, int wanted) {
  if (!codec->supported_samplerates) return wanted > 0 ? wanted : 48000;
  int best = 0;
  for (const int* r = codec->supported_samplerates; *r; ++r) {
    if (*r == wanted) return wanted;
    if (best == 0 || std::abs(*r - wanted) < std::abs(best - wanted)) best = *r;
  }
  return best;
}

}  // namespace

bool AudioTranscoder::container_takes(const AVFormatContext* output, AVCodecID codec) {
  // 0 is a plain no; a muxer without a codec list (a negative answer) may
  // well take it, and copying is always preferred.
  return avformat_query_codec(output->oformat, codec, FF_COMPLIANCE_NORMAL) != 0;
}

std::string AudioTranscoder::open(const AVCodecContext* decoder, AVFormatContext* output, AVStream* stream) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) return "error: no AAC encoder to re-encode the sound with";
  encoder_.reset(avcodec_alloc_context3(codec));
  if (!encoder_) return "error: out of memory for the sound encoder";
  AVCodecContext* c = encoder_.get();
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;  // the only layout FFmpeg's AAC encoder takes
  c->sample_rate = supported_rate(codec, decoder->sample_rate);
  // More than 5.1 is folded to stereo: the encoder's layouts end there.
  if (decoder->ch_layout.nb_channels >= 1 && decoder->ch_layout.nb_channels <= 6) {
    av_channel_layout_default(&c->ch_layout, decoder->ch_layout.nb_channels);
  } else {
    av_channel_layout_default(&c->ch_layout, 2);
  }
  c->bit_rate = 64000 * std::min(c->ch_layout.nb_channels, 2) + 32000 * std::max(c->ch_layout.nb_channels - 2, 0);
  c->time_base = AVRational{1, c->sample_rate};
  if (output->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(c, codec, nullptr) < 0) return "error: cannot open the AAC encoder for the sound";
  if (avcodec_parameters_from_context(stream->codecpar, c) < 0) return "error: could not copy the stream parameters";
  stream->time_base = c->time_base;
  stream_ = stream;

  SwrContext* swr = nullptr;
  AVChannelLayout in_layout{};
  if (decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoder->ch_layout.nb_channels == 0) {
    av_channel_layout_default(&in_layout, std::max(decoder->ch_layout.nb_channels, 1));
  } else {
    av_channel_layout_copy(&in_layout, &decoder->ch_layout);
  }
  const int made = swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, c->sample_rate, &in_layout,
                                       decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in_layout);
  resampler_.reset(swr);
  if (made < 0 || swr_init(swr) < 0) return "error: cannot convert the sound for the AAC encoder";
  fifo_.reset(av_audio_fifo_alloc(c->sample_fmt, c->ch_layout.nb_channels, c->frame_size > 0 ? c->frame_size : 1024));
  decoded_ = make_frame();
  if (!fifo_ || !decoded_) return "error: out of memory for the sound encoder";
  return {};
}

int AudioTranscoder::push(AVCodecContext* decoder, const AVPacket* packet, AVRational time_base, const Write& write) {
  if (avcodec_send_packet(decoder, packet) < 0) return 0;  // a damaged sound packet: its gap is filled below
  return take_decoded(decoder, time_base, write);
}

int AudioTranscoder::take_decoded(AVCodecContext* decoder, AVRational time_base, const Write& write) {
  AVCodecContext* c = encoder_.get();
  while (avcodec_receive_frame(decoder, decoded_.get()) >= 0) {
    const int64_t pts = decoded_->pts;
    if (pts != AV_NOPTS_VALUE) {
      const int64_t at = av_rescale_q(std::max<int64_t>(pts, 0), time_base, c->time_base);
      if (next_pts_ == AV_NOPTS_VALUE) next_pts_ = at;
      // Sound missing in between (a damaged or lost packet) is silence, so
      // what follows stays in step with the pictures; at most 10 s of it.
      const int64_t gap = at - (next_pts_ + av_audio_fifo_size(fifo_.get()));
      if (gap > (c->frame_size > 0 ? c->frame_size : 1024) &&
          store_silence(std::min<int64_t>(gap, 10LL * c->sample_rate)) < 0) {
        av_frame_unref(decoded_.get());
        return -1;
      }
    }
    const int stored = decoded_->nb_samples > 0
                           ? store(const_cast<const std::uint8_t**>(decoded_->extended_data), decoded_->nb_samples)
                           : 0;
    av_frame_unref(decoded_.get());
    if (stored < 0) return -1;
    if (const int r = encode_available(false, write); r < 0) return r;
  }
  return 0;
}

// Converts `samples` of the decoder's layout (null: what the resampler
// still holds) into the queue the encoder is fed from.
int AudioTranscoder::store(const std::uint8_t** data, int samples) {
  AVCodecContext* c = encoder_.get();
  const int room = swr_get_out_samples(resampler_.get(), samples);
  if (room <= 0) return 0;
  std::vector<std::uint8_t*> planes(static_cast<std::size_t>(c->ch_layout.nb_channels));
  if (av_samples_alloc(planes.data(), nullptr, c->ch_layout.nb_channels, room, c->sample_fmt, 0) < 0) return -1;
  const int converted = swr_convert(resampler_.get(), planes.data(), room, data, data ? samples : 0);
  const int stored =
      converted > 0 ? av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(planes.data()), converted) : 0;
  av_freep(&planes[0]);
  return converted < 0 || stored < converted ? -1 : 0;
}

int AudioTranscoder::store_silence(int64_t samples) {
  AVCodecContext* c = encoder_.get();
  std::vector<std::uint8_t*> planes(static_cast<std::size_t>(c->ch_layout.nb_channels));
  const int n = static_cast<int>(samples);
  if (av_samples_alloc(planes.data(), nullptr, c->ch_layout.nb_channels, n, c->sample_fmt, 0) < 0) return -1;
  av_samples_set_silence(planes.data(), 0, n, c->ch_layout.nb_channels, c->sample_fmt);
  const int stored = av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(planes.data()), n);
  av_freep(&planes[0]);
  return stored < n ? -1 : 0;
}

int AudioTranscoder::finish(AVCodecContext* decoder, AVRational time_base, const Write& write) {
  if (!encoder_) return 0;
  // What the decoder and the resampler still hold, then the encoder's own.
  if (avcodec_send_packet(decoder, nullptr) >= 0 && take_decoded(decoder, time_base, write) < 0) return -1;
  if (store(nullptr, 0) < 0) return -1;
  if (const int r = encode_available(true, write); r < 0) return r;
  return send(nullptr, write);
}

int AudioTranscoder::encode_available(bool flush, const Write& write) {
  AVCodecContext* c = encoder_.get();
  const int size = c->frame_size > 0 ? c->frame_size : 1024;
  while (av_audio_fifo_size(fifo_.get()) >= size || (flush && av_audio_fifo_size(fifo_.get()) > 0)) {
    AvFramePtr frame = make_frame();
    if (!frame) return -1;
    frame->nb_samples = std::min(size, av_audio_fifo_size(fifo_.get()));
    frame->format = c->sample_fmt;
    frame->sample_rate = c->sample_rate;
    if (av_channel_layout_copy(&frame->ch_layout, &c->ch_layout) < 0 || av_frame_get_buffer(frame.get(), 0) < 0)
      return -1;
    if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->extended_data), frame->nb_samples) < 0)
      return -1;
    frame->pts = next_pts_;
    next_pts_ += frame->nb_samples;
    if (const int r = send(frame.get(), write); r < 0) return r;
  }
  return 0;
}

int AudioTranscoder::send(AVFrame* frame, const Write& write) {
  AVCodecContext* c = encoder_.get();
  if (avcodec_send_frame(c, frame) < 0) return -1;
  AvPacketPtr packet = make_packet();
  while (avcodec_receive_packet(c, packet.get()) >= 0) {
    av_packet_rescale_ts(packet.get(), c->time_base, stream_->time_base);
    packet->stream_index = stream_->index;
    const int r = write(packet.get());
    av_packet_unref(packet.get());
    if (r < 0) return r;
  }
  return 0;
}

}  // namespace orb::converter
