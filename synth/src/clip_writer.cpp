// Encodes the synthetic clip: H.264 (FFV1 for odd picture sizes, which
// 4:2:0 H.264 cannot hold) and AAC audio, interleaved by timestamp.
#include <synth/fisheye_clip.h>

#include <av/av_ptr.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cmath>

namespace orb::synth {
namespace {

struct Encoder {
  AvCodecContextPtr context;
  AVStream* stream = nullptr;
  int64_t next_pts = 0;
};

std::string fail(const std::string& what, int code = 0) {
  return "error: " + what + (code ? ": " + av_error_text(code) : std::string());
}

std::string write_packets(AVFormatContext* out, Encoder& enc, AVFrame* frame) {
  int ret = avcodec_send_frame(enc.context.get(), frame);
  if (ret < 0) return fail("cannot encode", ret);
  AvPacketPtr packet = make_packet();
  while ((ret = avcodec_receive_packet(enc.context.get(), packet.get())) >= 0) {
    av_packet_rescale_ts(packet.get(), enc.context->time_base, enc.stream->time_base);
    packet->stream_index = enc.stream->index;
    if ((ret = av_interleaved_write_frame(out, packet.get())) < 0) return fail("cannot write packet", ret);
  }
  return ret == AVERROR(EAGAIN) || ret == AVERROR_EOF ? std::string() : fail("encoder failed", ret);
}

std::string open_video(AVFormatContext* out, const ClipSpec& spec, Encoder& enc) {
  const bool odd = (spec.width | spec.height) & 1;
  const AVCodec* codec = avcodec_find_encoder_by_name(odd ? "ffv1" : "libx264");
  if (!codec) return fail(odd ? "no FFV1 encoder" : "no libx264 encoder");
  enc.context.reset(avcodec_alloc_context3(codec));
  if (!enc.context) return fail("out of memory for an encoder");
  AVCodecContext* c = enc.context.get();
  c->width = spec.width;
  c->height = spec.height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{spec.fps_den, spec.fps_num};
  c->framerate = AVRational{spec.fps_num, spec.fps_den};
  c->gop_size = std::max(1, spec.fps_num / spec.fps_den);  // a key frame every second
  c->max_b_frames = spec.b_frames;
  c->thread_count = 2;
  if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (!odd) {
    av_opt_set(c->priv_data, "preset", spec.b_frames > 0 ? "veryfast" : "ultrafast", 0);
    av_opt_set(c->priv_data, "crf", "23", 0);
  }
  if (int ret = avcodec_open2(c, codec, nullptr); ret < 0) return fail("cannot open the video encoder", ret);
  enc.stream = avformat_new_stream(out, nullptr);
  if (!enc.stream) return fail("cannot add a video stream");
  enc.stream->time_base = c->time_base;
  enc.stream->avg_frame_rate = c->framerate;
  avcodec_parameters_from_context(enc.stream->codecpar, c);
  return {};
}

std::string open_audio(AVFormatContext* out, const ClipSpec& spec, Encoder& enc) {
  const AVCodec* codec = avcodec_find_encoder(spec.pcm_audio ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_AAC);
  if (!codec) return fail("no audio encoder");
  enc.context.reset(avcodec_alloc_context3(codec));
  if (!enc.context) return fail("out of memory for an encoder");
  AVCodecContext* c = enc.context.get();
  c->sample_rate = spec.sample_rate;
  c->sample_fmt = spec.pcm_audio ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLTP;
  av_channel_layout_default(&c->ch_layout, spec.audio_channels);
  c->bit_rate = 96000;
  c->time_base = AVRational{1, spec.sample_rate};
  if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (int ret = avcodec_open2(c, codec, nullptr); ret < 0) return fail("cannot open the audio encoder", ret);
  enc.stream = avformat_new_stream(out, nullptr);
  if (!enc.stream) return fail("cannot add an audio stream");
  enc.stream->time_base = c->time_base;
  avcodec_parameters_from_context(enc.stream->codecpar, c);
  return {};
}

// One audio frame of the chosen track starting at sample `first`.
void fill_audio(const ClipSpec& spec, AVFrame* frame, int64_t first) {
  const int channels = frame->ch_layout.nb_channels;
  const bool interleaved = frame->format == AV_SAMPLE_FMT_S16;
  for (int ch = 0; ch < channels; ++ch) {
    auto* samples = reinterpret_cast<float*>(frame->data[ch]);
    auto* pcm = reinterpret_cast<std::int16_t*>(frame->data[0]);
    for (int i = 0; i < frame->nb_samples; ++i) {
      const int64_t n = first + i;
      const double t = static_cast<double>(n) / spec.sample_rate;
      double value = 0;
      if (spec.audio == AudioTrack::kSine) {
        value = 0.3 * std::sin(2 * M_PI * 440 * t);
      } else {
        // A 10 ms click at the start of every second.
        const int64_t in_second = n % spec.sample_rate;
        if (in_second < spec.sample_rate / 100) value = 0.8 * std::sin(2 * M_PI * 1000 * t);
      }
      if (interleaved) {
        pcm[i * channels + ch] = static_cast<std::int16_t>(value * 32767);
      } else {
        samples[i] = static_cast<float>(value);
      }
    }
  }
}

}  // namespace

std::string write_clip(const std::string& path, const ClipSpec& spec) {
  if (spec.width <= 0 || spec.height <= 0 || spec.fps_num <= 0 || spec.fps_den <= 0) return fail("invalid clip size");
  AVFormatContext* raw = nullptr;
  if (int ret = avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()); ret < 0 || !raw) {
    return fail("cannot choose a container for " + path, ret);
  }
  AvOutputPtr out(raw);
  Encoder video, audio;
  if (std::string e = open_video(out.get(), spec, video); !e.empty()) return e;
  const bool with_audio = spec.audio != AudioTrack::kNone;
  if (with_audio) {
    if (std::string e = open_audio(out.get(), spec, audio); !e.empty()) return e;
  }
  if (int ret = avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE); ret < 0) return fail("cannot create " + path, ret);
  if (int ret = avformat_write_header(out.get(), nullptr); ret < 0) return fail("cannot write the header", ret);

  const Picture scene = render_scene(spec);
  Picture picture;
  AvFramePtr vframe = make_frame();
  vframe->format = AV_PIX_FMT_YUV420P;
  vframe->width = spec.width;
  vframe->height = spec.height;
  if (av_frame_get_buffer(vframe.get(), 0) < 0) return fail("out of memory");
  AvFramePtr aframe = make_frame();
  if (with_audio) {
    aframe->format = audio.context->sample_fmt;
    aframe->nb_samples = audio.context->frame_size > 0 ? audio.context->frame_size : 1024;
    av_channel_layout_copy(&aframe->ch_layout, &audio.context->ch_layout);
    aframe->sample_rate = spec.sample_rate;
    if (av_frame_get_buffer(aframe.get(), 0) < 0) return fail("out of memory");
  }

  const int frames = spec.frame_count();
  for (int n = 0; n < frames; ++n) {
    // Audio up to this frame's time first, so the muxer interleaves evenly.
    const double video_time = static_cast<double>(n) * spec.fps_den / spec.fps_num;
    while (with_audio && static_cast<double>(audio.next_pts) / spec.sample_rate <= video_time) {
      if (av_frame_make_writable(aframe.get()) < 0) return fail("out of memory");
      fill_audio(spec, aframe.get(), audio.next_pts);
      aframe->pts = audio.next_pts;
      audio.next_pts += aframe->nb_samples;
      if (std::string e = write_packets(out.get(), audio, aframe.get()); !e.empty()) return e;
    }
    stamp_frame(spec, scene, n, picture);
    if (const double fade = spec.fade_in_seconds * spec.fps_num / spec.fps_den; n < fade) {
      // Towards black (luma 16, neutral chroma) in proportion to what is left of the fade.
      const double k = n / fade;
      for (auto& y : picture.y) y = static_cast<std::uint8_t>(16 + (y - 16) * k);
      for (auto* plane : {&picture.u, &picture.v})
        for (auto& c : *plane) c = static_cast<std::uint8_t>(128 + (c - 128) * k);
    }
    if (spec.overlay) spec.overlay(n, picture);
    if (av_frame_make_writable(vframe.get()) < 0) return fail("out of memory");
    const int widths[3] = {picture.width, picture.chroma_width(), picture.chroma_width()};
    const int heights[3] = {picture.height, picture.chroma_height(), picture.chroma_height()};
    const std::vector<std::uint8_t>* planes[3] = {&picture.y, &picture.u, &picture.v};
    for (int p = 0; p < 3; ++p)
      for (int row = 0; row < heights[p]; ++row)
        std::copy_n(planes[p]->data() + static_cast<std::size_t>(row) * widths[p], widths[p],
                    vframe->data[p] + static_cast<std::ptrdiff_t>(row) * vframe->linesize[p]);
    vframe->pts = n;
    if (std::string e = write_packets(out.get(), video, vframe.get()); !e.empty()) return e;
  }
  // Audio to the end of the last frame, then drain both encoders.
  const double end_time = static_cast<double>(frames) * spec.fps_den / spec.fps_num;
  while (with_audio && static_cast<double>(audio.next_pts) / spec.sample_rate < end_time) {
    if (av_frame_make_writable(aframe.get()) < 0) return fail("out of memory");
    fill_audio(spec, aframe.get(), audio.next_pts);
    aframe->pts = audio.next_pts;
    audio.next_pts += aframe->nb_samples;
    if (std::string e = write_packets(out.get(), audio, aframe.get()); !e.empty()) return e;
  }
  if (std::string e = write_packets(out.get(), video, nullptr); !e.empty()) return e;
  if (with_audio) {
    if (std::string e = write_packets(out.get(), audio, nullptr); !e.empty()) return e;
  }
  if (int ret = av_write_trailer(out.get()); ret < 0) return fail("cannot finish " + path, ret);
  return {};
}

}  // namespace orb::synth
