// The one way from a path to decoded pictures, and the one pixel scaler.
#include <av/decoding_input.h>
#include <av/frame_convert.h>
#include <synth/fisheye_clip.h>

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "temp_dir.h"

namespace orb {
namespace {

AvFramePtr blank_frame(AVPixelFormat format, int width, int height) {
  AvFramePtr frame = make_frame();
  frame->format = format;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
  for (int p = 0; p < AV_NUM_DATA_POINTERS && frame->buf[p]; ++p) {
    std::memset(frame->buf[p]->data, 0x80, frame->buf[p]->size);
  }
  return frame;
}

// Every layout FFmpeg can convert from, at sizes down to a single pixel:
// each comes out at the size asked for and the padding swscale writes
// stays inside the buffer (the sanitizer build checks the last part).
TEST(FrameScaler, TinyAndOddPicturesOfEveryLayout) {
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 5}, {7, 3}, {17, 9}, {16, 16}};
  const AVPixelFormat targets[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_BGR24, AV_PIX_FMT_RGBA};
  int tried = 0;
  for (const AVPixFmtDescriptor* d = av_pix_fmt_desc_next(nullptr); d; d = av_pix_fmt_desc_next(d)) {
    const AVPixelFormat format = av_pix_fmt_desc_get_id(d);
    if (!sws_isSupportedInput(format) || (d->flags & AV_PIX_FMT_FLAG_HWACCEL)) continue;
    for (const auto& size : sizes) {
      const AvFramePtr source = blank_frame(format, size[0], size[1]);
      if (!source) continue;
      FrameScaler scaler;
      for (const AVPixelFormat target : targets) {
        for (const int scale : {1, 3}) {
          const int w = size[0] * scale, h = size[1] * scale;
          const AvFramePtr out = scaler.scale(source.get(), target, w, h);
          if (!out) {
            // Only a Bayer mosaic needs whole 2x2 cells to be converted at all.
            EXPECT_TRUE(d->flags & AV_PIX_FMT_FLAG_BAYER && size[0] % 2 != 0) << d->name << " " << w << "x" << h;
            continue;
          }
          EXPECT_EQ(out->width, w);
          EXPECT_EQ(out->height, h);
          EXPECT_EQ(out->format, target);
          ++tried;
        }
      }
    }
  }
  EXPECT_GT(tried, 1000);  // FFmpeg reads well over a hundred layouts
}

TEST(FrameScaler, FittingPicturesAreSharedAndOthersKeepOneBuffer) {
  const AvFramePtr yuvj = blank_frame(AV_PIX_FMT_YUVJ420P, 33, 17);
  FrameScaler scaler;
  // The JPEG layout is the plain one to the suite: no copy, no range change.
  const AvFramePtr shared = scaler.scale(yuvj.get(), AV_PIX_FMT_YUV420P, 33, 17);
  ASSERT_TRUE(shared);
  EXPECT_EQ(shared->data[0], yuvj->data[0]);
  EXPECT_EQ(shared->format, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(scaler.scale_reused(yuvj.get(), AV_PIX_FMT_YUV420P, 33, 17), yuvj.get());

  const AvFramePtr rgb = blank_frame(AV_PIX_FMT_RGB24, 33, 17);
  const AVFrame* first = scaler.scale_reused(rgb.get(), AV_PIX_FMT_YUV420P, 64, 32);
  ASSERT_NE(first, nullptr);
  const std::uint8_t* buffer = first->data[0];
  EXPECT_EQ(scaler.scale_reused(rgb.get(), AV_PIX_FMT_YUV420P, 64, 32)->data[0], buffer);
  const AVFrame* other = scaler.scale_reused(rgb.get(), AV_PIX_FMT_YUV420P, 32, 16);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->width, 32);

  // A mid-grey picture stays mid-grey through the packed layouts.
  const std::vector<std::uint8_t> bgr = packed_pixels(yuvj.get(), AV_PIX_FMT_BGR24);
  ASSERT_EQ(bgr.size(), 33u * 17u * 3u);
  for (const std::uint8_t v : bgr) ASSERT_NEAR(v, 130, 6);

  EXPECT_FALSE(scaler.scale(nullptr, AV_PIX_FMT_YUV420P));
  AvFramePtr empty = make_frame();
  EXPECT_FALSE(scaler.scale(empty.get(), AV_PIX_FMT_YUV420P));
}

// A two-picture raw video of `format` in a NUT file (the container that
// takes raw pictures of nearly every layout); false when it cannot.
bool write_raw_video(const std::string& path, AVPixelFormat format, int width, int height) {
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, nullptr, "nut", path.c_str()) < 0) return false;
  const AvOutputPtr out(raw);
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
  AvCodecContextPtr encoder(avcodec_alloc_context3(codec));
  encoder->pix_fmt = format;
  encoder->width = width;
  encoder->height = height;
  encoder->time_base = AVRational{1, 5};
  AVStream* stream = avformat_new_stream(raw, nullptr);
  if (!stream || avcodec_open2(encoder.get(), codec, nullptr) < 0 ||
      avcodec_parameters_from_context(stream->codecpar, encoder.get()) < 0) {
    return false;
  }
  stream->time_base = encoder->time_base;
  if (avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(raw, nullptr) < 0) return false;
  const AvFramePtr picture = blank_frame(format, width, height);
  AvPacketPtr packet = make_packet();
  for (int i = 0; i <= 2; ++i) {
    if (i < 2) picture->pts = i;
    if (avcodec_send_frame(encoder.get(), i < 2 ? picture.get() : nullptr) < 0) return false;
    while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
      av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(raw, packet.get()) < 0) return false;
    }
  }
  return av_write_trailer(raw) == 0;
}

// Every layout that can be stored raw, at an odd size, read back through
// the suite's input and stored as the player stores pictures.
TEST(DecodingInput, DecodesEveryRawLayoutAtAnOddSize) {
  av_log_set_level(AV_LOG_FATAL);
  test::TempDir dir;
  int decoded = 0;
  for (const AVPixFmtDescriptor* d = av_pix_fmt_desc_next(nullptr); d; d = av_pix_fmt_desc_next(d)) {
    const AVPixelFormat format = av_pix_fmt_desc_get_id(d);
    if ((d->flags & AV_PIX_FMT_FLAG_HWACCEL) || (d->flags & AV_PIX_FMT_FLAG_BAYER)) continue;
    const std::string path = (dir.path() / (std::string(d->name) + ".nut")).string();
    if (!write_raw_video(path, format, 17, 9)) continue;  // not storable raw
    std::string error;
    DecodingInput media = DecodingInput::open(path.c_str(), InputOptions{}, error);
    if (!media) continue;  // written, but not read back by FFmpeg either
    AvFramePtr picture = make_frame();
    if (media.next_picture(picture.get()) != 0) continue;
    ASSERT_EQ(picture->width, 17) << d->name;
    FrameScaler scaler;
    if (!sws_isSupportedInput(static_cast<AVPixelFormat>(picture->format))) continue;
    const AvFramePtr stored = scaler.scale(picture.get(), AV_PIX_FMT_YUV420P, 17, 9);
    ASSERT_TRUE(stored) << d->name;
    ++decoded;
  }
  EXPECT_GT(decoded, 60);
}

AvFramePtr filled(AVPixelFormat format, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  AvFramePtr frame = blank_frame(format, 16, 8);
  const std::uint8_t values[3] = {a, b, c};
  if (format == AV_PIX_FMT_RGB24) {
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 16; ++x) std::memcpy(frame->data[0] + y * frame->linesize[0] + 3 * x, values, 3);
    return frame;
  }
  for (int p = 0; p < 3; ++p)
    for (int y = 0; y < 8; ++y) std::memset(frame->data[p] + y * frame->linesize[p], values[p], p == 0 ? 16 : 8);
  return frame;
}

// Into the JPEG layout the capture writes: a JPEG-range source keeps its
// samples; a plain-range or RGB source gets the full range JPEG declares.
TEST(FrameScaler, JpegRangeOnlyWhereTheSourceHasIt) {
  const struct {
    AVPixelFormat source;
    std::uint8_t a, b, c;
    int luma;
  } cases[] = {
      {AV_PIX_FMT_YUVJ422P, 200, 128, 128, 200},  // kept as it is
      {AV_PIX_FMT_YUV422P, 235, 128, 128, 255},   // limited white becomes full white
      {AV_PIX_FMT_RGB24, 255, 255, 255, 255},     // white
  };
  for (const auto& c : cases) {
    const AvFramePtr source = filled(c.source, c.a, c.b, c.c);
    const AvFramePtr out = convert_frame(source.get(), AV_PIX_FMT_YUVJ420P);
    ASSERT_TRUE(out);
    EXPECT_NEAR(out->data[0][0], c.luma, 2) << av_get_pix_fmt_name(c.source);
  }
}

struct ClipDir {
  test::TempDir dir;
  synth::ClipSpec spec;
  std::string media;
  explicit ClipDir(synth::AudioTrack audio) {
    av_log_set_level(AV_LOG_ERROR);
    spec.width = 320;
    spec.height = 240;
    spec.fps_num = 25;
    spec.seconds = 3;
    spec.audio = audio;
    media = (dir.path() / "clip.mp4").string();
    EXPECT_EQ(synth::write_clip(media, spec), "");
  }
};

int frame_code(const AVFrame* picture) {
  return synth::read_frame_code(picture->data[0], picture->linesize[0], picture->width, picture->height);
}

TEST(DecodingInput, OpensVideoAndSoundAndSeeksToThePictureAsked) {
  ClipDir clip(synth::AudioTrack::kSine);
  std::string error;
  DecodingInput media = DecodingInput::open(clip.media.c_str(), InputOptions{.audio = true}, error);
  ASSERT_TRUE(media) << error;
  ASSERT_TRUE(media.video.decoder);
  ASSERT_TRUE(media.audio.decoder);
  EXPECT_NE(media.video.index, media.audio.index);

  AvFramePtr picture = make_frame();
  ASSERT_EQ(media.next_picture(picture.get()), 0);
  EXPECT_EQ(frame_code(picture.get()), 0);
  av_frame_unref(picture.get());

  // The key frame is further back: the pictures before 1.6 s are not handed out.
  ASSERT_TRUE(media.seek(1.6));
  ASSERT_EQ(media.next_picture(picture.get()), 0);
  EXPECT_EQ(frame_code(picture.get()), 40);
  av_frame_unref(picture.get());

  // To the end: every picture, then the end, and the end again.
  int count = 0;
  while (media.next_picture(picture.get()) == 0) {
    ++count;
    av_frame_unref(picture.get());
  }
  EXPECT_EQ(count, clip.spec.frame_count() - 41);
  EXPECT_EQ(media.next_picture(picture.get()), AVERROR_EOF);

  // Without sound asked for, none is opened.
  DecodingInput picture_only = DecodingInput::open(clip.media.c_str(), InputOptions{}, error);
  ASSERT_TRUE(picture_only);
  EXPECT_FALSE(picture_only.audio.decoder);
}

TEST(DecodingInput, SaysWhyItCannotOpen) {
  ClipDir clip(synth::AudioTrack::kNone);
  std::string error;
  const std::string missing = (clip.dir.path() / "missing.mp4").string();
  DecodingInput none = DecodingInput::open(missing.c_str(), InputOptions{}, error);
  EXPECT_EQ(none.failure(), InputFailure::not_opened);
  EXPECT_EQ(none.error_code(), AVERROR(ENOENT));
  EXPECT_EQ(error, "error: " + missing + " does not exist");

  // A FIFO named like a video is refused at once instead of blocking.
  const std::string fifo = (clip.dir.path() / "pipe.mp4").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto started = std::chrono::steady_clock::now();
  DecodingInput pipe = DecodingInput::open(fifo.c_str(), InputOptions{}, error);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_EQ(pipe.failure(), InputFailure::not_opened);
  EXPECT_EQ(pipe.error_code(), 0);
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;

  const std::string text = clip.dir.write("words.mp4", "not a video, only words").string();
  DecodingInput words = DecodingInput::open(text.c_str(), InputOptions{}, error);
  EXPECT_EQ(words.failure(), InputFailure::not_opened);
  EXPECT_LT(words.error_code(), 0);
  AvFramePtr picture = make_frame();
  EXPECT_LT(words.next_picture(picture.get()), 0);  // a failed input hands out nothing
  EXPECT_FALSE(words.seek(1));

  // A stop flag already set cuts the opening short.
  std::atomic<bool> stop{true};
  DecodingInput stopped = DecodingInput::open("http://127.0.0.1:9/none.mp4", InputOptions{.stop = &stop}, error);
  EXPECT_EQ(stopped.failure(), InputFailure::not_opened);
}

}  // namespace
}  // namespace orb
