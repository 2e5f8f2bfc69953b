// The player's pure parts: overlay date arithmetic, angle normalisation,
// the order of pending pictures, which picture is shown when, and the logo
// loader.
#include <gtest/gtest.h>

#include <cstring>

#include <cmath>

#include "frame_choice.h"
#include "frame_ring.h"
#include "logo_picture.h"
#include "recording_date.h"
#include "temp_dir.h"
#include "view_angles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

namespace orb::player {
namespace {

std::string shown(const std::string& path, long long seconds) {
  return format_date_time(add_seconds(parse_recording_start(path), seconds));
}

TEST(RecordingDate, PositionIsAddedToTheDateInTheFileName) {
  EXPECT_EQ(shown("/media/cam/20170305235958A.MP4", 3), "2017-03-06 00:00:01");
  EXPECT_EQ(shown("20170228235959A.MP4", 1), "2017-03-01 00:00:00");
  EXPECT_EQ(shown("20160228235959A.MP4", 1), "2016-02-29 00:00:00");  // leap year
  EXPECT_EQ(shown("20161231235959A.MP4", 1), "2017-01-01 00:00:00");
  EXPECT_EQ(shown("C:\\DCIM\\20170430235959B.mov", 1), "2017-05-01 00:00:00");
  EXPECT_EQ(shown("20170305120000A.MP4", 3723), "2017-03-05 13:02:03");
  // No date in a short name: zeros plus the position.
  EXPECT_EQ(shown("/videos/short.mp4", 5), "0-00-00 00:00:05");
  // A day or more, or a broken time of day, leaves the date as it is.
  EXPECT_EQ(shown("20170305120000A.MP4", 86400), "2017-03-05 12:00:00");
  EXPECT_EQ(shown("20170305256000A.MP4", 10), "2017-03-05 25:60:00");
}

TEST(ViewAngles, WrapToWholeDegreesThenClamp) {
  const AngleLimits full;
  EXPECT_EQ(normalise_angle(190.7f, full), -170.0f);
  EXPECT_EQ(normalise_angle(-181.0f, full), 179.0f);
  EXPECT_EQ(normalise_angle(180.0f, full), -180.0f);
  EXPECT_EQ(normalise_angle(45.9f, full), 45.0f);
  EXPECT_EQ(normalise_angle(-540.0f, full), -180.0f);
  EXPECT_EQ(normalise_angle(-530.0f, full), -170.0f);
  EXPECT_EQ(normalise_angle(120.0f, AngleLimits{-90, 90}), 90.0f);
  EXPECT_EQ(normalise_angle(-120.0f, AngleLimits{-90, 90}), -90.0f);
  for (float a : {-100000.5f, -1000.0f, -541.0f, 3.0e9f, NAN, INFINITY}) {
    const float n = normalise_angle(a, full);
    EXPECT_GE(n, -180.0f) << a;
    EXPECT_LT(n, 180.0f) << a;
  }
}

TEST(FrameRing, SmallestTimestampIsDueFirst) {
  FrameRing ring;
  AvFramePtr frame = make_frame();
  ring.push(frame, 3000);
  frame = make_frame();
  ring.push(frame, 2000);
  frame = make_frame();
  ring.push(frame, 2000);
  EXPECT_EQ(ring.head_pts(), 2000);
  EXPECT_EQ(ring.count(), 3);
  EXPECT_NE(ring.take(), nullptr);
  EXPECT_EQ(ring.head_pts(), 2000);
  EXPECT_NE(ring.take(), nullptr);
  EXPECT_EQ(ring.head_pts(), 3000);
  ring.reset();
  EXPECT_EQ(ring.count(), 0);
  EXPECT_EQ(ring.head_pts(), std::nullopt);
  EXPECT_EQ(ring.take(), nullptr);
}

TEST(FrameRing, HoldsTwentyPicturesOfHdAndFewerOfLargerOnes) {
  FrameRing ring;
  for (int i = 0; i < FrameRing::kSlots; ++i) {
    EXPECT_FALSE(ring.full());
    AvFramePtr frame = make_frame();
    ring.push(frame, i);
  }
  EXPECT_TRUE(ring.full());
  EXPECT_EQ(FrameRing::slots_for(1920, 1080), 20);
  EXPECT_EQ(FrameRing::slots_for(2880, 2880), 5);
  EXPECT_EQ(FrameRing::slots_for(7680, 7680), FrameRing::kMinSlots);
  EXPECT_EQ(FrameRing::slots_for(0, 0), 20);
  // A smaller ring fills at its size and keeps its order across the wrap.
  ring.set_capacity(5);
  EXPECT_EQ(ring.count(), 0);
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 5; ++i) {
      AvFramePtr frame = make_frame();
      frame->pts = round * 10 + i;
      ring.push(frame, round * 10 + i);
    }
    EXPECT_TRUE(ring.full());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ring.take()->pts, round * 10 + i);
  }
}

// A picture file written with FFmpeg's own PNG (or JPEG) encoder.
void write_png(const std::filesystem::path& path, int width, int height, bool jpeg = false) {
  const AVCodec* codec = avcodec_find_encoder(jpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_PNG);
  ASSERT_NE(codec, nullptr);
  AvCodecContextPtr enc(avcodec_alloc_context3(codec));
  enc->width = width;
  enc->height = height;
  enc->pix_fmt = jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_RGB24;
  enc->time_base = {1, 1};
  ASSERT_EQ(avcodec_open2(enc.get(), codec, nullptr), 0);
  AvFramePtr frame = make_frame();
  frame->format = enc->pix_fmt;
  frame->width = width;
  frame->height = height;
  ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = frame->data[0] + y * frame->linesize[0] + x * (jpeg ? 1 : 3);
      p[0] = 250;  // red (or bright luma)
      if (jpeg) continue;
      p[1] = static_cast<std::uint8_t>(x % 256);
      p[2] = 10;
    }
  if (jpeg) {
    for (int plane = 1; plane <= 2; ++plane)
      for (int y = 0; y < (height + 1) / 2; ++y)
        std::memset(frame->data[plane] + y * frame->linesize[plane], 128, (width + 1) / 2);
  }
  ASSERT_EQ(avcodec_send_frame(enc.get(), frame.get()), 0);
  AvPacketPtr packet = make_packet();
  ASSERT_EQ(avcodec_receive_packet(enc.get(), packet.get()), 0);
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(packet->data, 1, static_cast<std::size_t>(packet->size), f);
  std::fclose(f);
}

// Pictures 1/60 s apart, the first `lag_ms` behind the clock.
std::vector<double> behind(double lag_ms, int count) {
  std::vector<double> ahead;
  for (int i = 0; i < count; ++i) ahead.push_back(-lag_ms + i * (1000.0 / 60));
  return ahead;
}

TEST(FrameChoice, ASmallLagShowsLatePicturesOneByOne) {
  // Under two intervals late: shown in turn, nothing dropped.
  for (double lag : {0.0, 16.0, 33.0}) {
    const FrameChoice c = choose_frame(behind(lag, 6), 1000.0 / 60);
    EXPECT_TRUE(c.show) << lag;
    EXPECT_EQ(c.drop, 0) << lag;
  }
}

TEST(FrameChoice, AClockFarAheadDropsUntilThePictureIsOnTime) {
  // Half a second behind: every superseded picture goes; the one shown
  // trails the clock by at most two intervals.
  const std::vector<double> ahead = behind(500, 40);
  const FrameChoice c = choose_frame(ahead, 1000.0 / 60);
  ASSERT_TRUE(c.show);
  EXPECT_GT(c.drop, 25);
  EXPECT_GE(ahead[static_cast<std::size_t>(c.drop)], -2 * 1000.0 / 60);
  // Only the last picture waiting, however late: shown, not dropped.
  EXPECT_EQ(choose_frame(behind(500, 1), 1000.0 / 60).drop, 0);
  // The next picture not due yet: the late head is still the best there is.
  const std::vector<double> gap = {-200, 100};
  EXPECT_EQ(choose_frame(gap, 1000.0 / 60).drop, 0);
  // 30 fps tolerates twice the lag of 60 fps.
  EXPECT_EQ(choose_frame(behind(50, 6), 1000.0 / 30).drop, 0);
  EXPECT_GT(choose_frame(behind(50, 6), 1000.0 / 60).drop, 0);
}

TEST(FrameChoice, APictureAheadOfTheClockWaitsUntilDue) {
  const std::vector<double> ahead = {45, 62};
  const FrameChoice c = choose_frame(ahead, 1000.0 / 60);
  EXPECT_FALSE(c.show);
  EXPECT_DOUBLE_EQ(c.wait_ms, 15);
  EXPECT_TRUE(choose_frame(std::vector<double>{30}, 1000.0 / 60).show);  // due up to 30 ms early
  EXPECT_FALSE(choose_frame({}, 1000.0 / 60).show);
}

TEST(LogoPicture, DecodesToPackedBgr) {
  test::TempDir dir;
  const auto path = dir.path() / "logo.png";
  write_png(path, 300, 200);
  std::vector<std::uint8_t> bgr;
  int w = 0, h = 0;
  std::string error;
  ASSERT_TRUE(load_logo_picture(path.c_str(), bgr, w, h, error)) << error;
  EXPECT_EQ(w, 300);
  EXPECT_EQ(h, 200);
  EXPECT_EQ(bgr.size(), 180000u);
  EXPECT_NEAR(bgr[2], 250, 2);  // red is the third byte of a BGR pixel
  EXPECT_NEAR(bgr[0], 10, 2);

  const auto text = dir.write("not-a-picture.png", "this is text, not a picture");
  EXPECT_FALSE(load_logo_picture(text.c_str(), bgr, w, h, error));
  EXPECT_EQ(error.rfind("error: ", 0), 0u) << error;
  EXPECT_FALSE(load_logo_picture((dir.path() / "missing.png").c_str(), bgr, w, h, error));
  EXPECT_EQ(error.rfind("error: couldn't open input picture file, code: ", 0), 0u) << error;
  EXPECT_FALSE(load_logo_picture(nullptr, bgr, w, h, error));
}

TEST(LogoPicture, TinyAndOddPicturesDecodeWithoutOverrunningAnything) {
  // The converter's SIMD rows run past the last pixel: only padded buffers
  // take them (AddressSanitizer checks this in its leg).
  test::TempDir dir;
  for (const auto& [w, h] : {std::pair{1, 1}, {2, 2}, {3, 5}, {8, 8}, {17, 9}}) {
    for (const bool jpeg : {false, true}) {
      const auto path = dir.path() / ("logo" + std::to_string(w) + "x" + std::to_string(h) + (jpeg ? ".jpg" : ".png"));
      write_png(path, w, h, jpeg);
      std::vector<std::uint8_t> bgr;
      int width = 0, height = 0;
      std::string error;
      ASSERT_TRUE(load_logo_picture(path.c_str(), bgr, width, height, error)) << path << ": " << error;
      EXPECT_EQ(width, w);
      EXPECT_EQ(height, h);
      EXPECT_EQ(bgr.size(), static_cast<std::size_t>(w * h * 3)) << path;
    }
  }
}

}  // namespace
}  // namespace orb::player
