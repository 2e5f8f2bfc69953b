// A video's first picture as a JPEG, and the player's calibration from it.
#include <calibration/circle_detection.h>
#include <calibration/frame_capture.h>
#include <calibration/frame_samples.h>
#include <common/paths.h>
#include <geometry/calibration_file.h>
#include <libOrbPlayer/ISS_OrbPlayer.h>
#include <synth/fisheye_clip.h>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "camera_clips.h"
#include "camera_pictures.h"
#include "temp_dir.h"

extern "C" {
#include <libavutil/log.h>
}

namespace orb {
namespace {

struct Clip {
  test::TempDir dir;
  std::filesystem::path media;
  synth::ClipSpec spec;
  Clip() {
    av_log_set_level(AV_LOG_ERROR);
    spec.width = 640;
    spec.height = 360;
    spec.fps_num = 25;
    spec.seconds = 1;
    spec.fov_deg = 200;
    spec.audio = synth::AudioTrack::kNone;
    media = dir.path() / "clip.mp4";
    EXPECT_EQ(synth::write_clip(media.string(), spec), "");
  }
};

int frame_code_of(const std::filesystem::path& jpeg) {
  const cv::Mat picture = cv::imread(jpeg.string(), cv::IMREAD_GRAYSCALE);
  if (picture.empty()) return -1;
  return synth::read_frame_code(picture.data, static_cast<int>(picture.step), picture.cols, picture.rows);
}

std::string contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FrameCapture, FirstPictureBecomesAJpeg) {
  Clip clip;
  const auto jpeg = clip.dir.path() / "first.jpg";
  ASSERT_EQ(CaptureFrame2Jpg(clip.media.c_str(), jpeg.c_str()), 0);
  const cv::Mat picture = cv::imread(jpeg.string(), cv::IMREAD_COLOR);
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(picture.cols, 640);
  EXPECT_EQ(picture.rows, 360);
  EXPECT_EQ(frame_code_of(jpeg), 0);
  EXPECT_FALSE(std::filesystem::exists(jpeg.string() + ".part"));
}

TEST(FrameCapture, APictureThatFailsToEncodeIsRetriedWithTheNext) {
  Clip clip;
  const auto jpeg = clip.dir.path() / "second.jpg";
  int attempts = 0;
  auto flaky = [&](const char* path, const AVFrame* picture) {
    return ++attempts == 1 ? 242 : WriteJpegPicture(path, picture);
  };
  ASSERT_EQ(CaptureFrame2Jpg(clip.media.c_str(), jpeg.c_str(), flaky), 0);
  EXPECT_EQ(attempts, 2);
  EXPECT_EQ(frame_code_of(jpeg), 1);
  // Never encodable: a failure, and nothing written.
  const auto none = clip.dir.path() / "none.jpg";
  EXPECT_EQ(CaptureFrame2Jpg(clip.media.c_str(), none.c_str(), [](const char*, const AVFrame*) { return 242; }),
            kCaptureNoWrite);
  EXPECT_FALSE(std::filesystem::exists(none));
}

TEST(FrameCapture, MediaWithoutPicturesIsRefused) {
  test::TempDir dir;
  const auto jpeg = dir.path() / "x.jpg";
  EXPECT_EQ(CaptureFrame2Jpg((dir.path() / "missing.mp4").c_str(), jpeg.c_str()), kCaptureOpenFailed);
  const auto text = dir.write("text.txt", "plain words");
  EXPECT_NE(CaptureFrame2Jpg(text.c_str(), jpeg.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(jpeg));
}

TEST(CreateCalibrationFile, CalibratesFromTheFirstFrame) {
  Clip clip;
  const auto out = clip.dir.path() / "lens.inf";
  ISS_OrbPlayer* player = CreateOrbPlayer();
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(player->CreateCalibrationFile(clip.media.c_str(), out.c_str()), 0);
  CameraParams camera;
  ASSERT_EQ(read_calibration_file(out.c_str(), camera), 0);
  EXPECT_NEAR(camera.lenses[0].centre_x, 319.5, 0.5);
  EXPECT_NEAR(camera.lenses[0].centre_y, 179.5, 0.5);
  EXPECT_NEAR(camera.circle_radius, 180, 1);
  EXPECT_NEAR(camera.max_ray_angle_rad, M_PI * 100 / 180, 1e-6);  // a 200-degree lens
  EXPECT_TRUE(std::filesystem::exists(data_dir(program_name()) / "onframe.jpg"));
  DestroyOrbPlayer(player);
}

TEST(CreateCalibrationFile, ADarkFirstPictureIsMadeUpForByTheNextSeconds) {
  test::TempDir dir;
  synth::ClipSpec spec;
  spec.width = 640;
  spec.height = 360;
  spec.fps_num = 25;
  spec.seconds = 3;
  spec.fade_in_seconds = 1.5;  // the first picture is black
  spec.audio = synth::AudioTrack::kNone;
  const auto media = dir.path() / "fade.mp4";
  ASSERT_EQ(synth::write_clip(media.string(), spec), "");
  const LensCircle first_only = detect_lens_circle(sample_frames(media.c_str(), 1, 0).at(0));
  EXPECT_FALSE(first_only.found);
  EXPECT_EQ(sample_frames(media.c_str(), 8, 2.0).size(), 8u);
  const LensCircle seen = detect_video_circle(media.c_str());
  ASSERT_TRUE(seen.found) << seen.reason;
  EXPECT_NEAR(seen.radius, 180, 1);

  ISS_OrbPlayer* player = CreateOrbPlayer();
  const auto out = dir.path() / "lens.inf";
  ASSERT_EQ(player->CreateCalibrationFile(media.c_str(), out.c_str()), 0);
  CameraParams camera;
  ASSERT_EQ(read_calibration_file(out.c_str(), camera), 0);
  EXPECT_NEAR(camera.circle_radius, 180, 1);
  EXPECT_EQ(camera.image_width, 640);
  DestroyOrbPlayer(player);
  EXPECT_TRUE(sample_frames((dir.path() / "missing.mp4").c_str(), 4, 1).empty());
}

bool right(const LensCircle& c, const test::CameraClip& clip) {
  return c.found && test::circle_within(c.cx, c.cy, c.radius, clip.cx, clip.cy, clip.radius);
}

// Clips as cameras record them: a clock ticking in a corner and the
// camera's name in another, a reflection halo and a colour fringe at the
// rim, the first two seconds in the dark, a shadow moving over the rim.
// Judged over their first seconds, each gives its circle.
TEST(VideoCircle, CameraRecordingsAreJudgedOverTheirFirstSeconds) {
  test::TempDir dir;
  std::mt19937 rng(2026);
  const std::pair<test::ClipKind, cv::Size> clips[] = {{test::ClipKind::kHaloFringe, {1920, 1080}},
                                                       {test::ClipKind::kDarkStart, {1280, 720}},
                                                       {test::ClipKind::kClock, {1280, 720}},
                                                       {test::ClipKind::kMovingShade, {1280, 720}}};
  for (const auto& [kind, size] : clips) {
    const auto media = dir.path() / (std::string(test::clip_kind_name(kind)) + ".mp4");
    std::string error;
    const test::CameraClip clip = test::write_camera_clip(media.string(), kind, size.width, size.height, rng, error);
    ASSERT_GT(clip.radius, 0) << error;
    const LensCircle c = detect_video_circle(media.c_str());
    EXPECT_TRUE(right(c, clip)) << test::clip_kind_name(kind) << ": " << c.reason << " found " << c.cx << ", " << c.cy
                                << " r " << c.radius << " for " << clip.cx << ", " << clip.cy << " r " << clip.radius;
    EXPECT_EQ(c.frames, kJudgedFrames) << test::clip_kind_name(kind);
    if (kind == test::ClipKind::kHaloFringe) {
      // The player calibrates the same way.
      ISS_OrbPlayer* player = CreateOrbPlayer();
      const auto out = dir.path() / "halo.inf";
      ASSERT_EQ(player->CreateCalibrationFile(media.c_str(), out.c_str()), 0);
      CameraParams camera;
      ASSERT_EQ(read_calibration_file(out.c_str(), camera), 0);
      EXPECT_NEAR(camera.circle_radius, clip.radius, 0.01 * clip.radius);
      EXPECT_NEAR(camera.lenses[0].centre_x, clip.cx, 0.01 * clip.radius);
      DestroyOrbPlayer(player);
    }
  }
}

TEST(FrameCapture, TinyAndOddPicturesAreCapturedWithoutOverruns) {
  // Odd sizes and layouts the JPEG path must convert (AddressSanitizer
  // watches the buffers in its leg).
  test::TempDir dir;
  for (const char* size : {"1x1", "2x2", "3x5", "17x9"}) {
    for (const char* format : {"yuv444p", "bgr0", "gray"}) {
      const auto media = dir.path() / (std::string(size) + format + ".mkv");
      const std::string make = std::string("ffmpeg -v error -f lavfi -i testsrc=size=") + size +
                               ":rate=5 -frames:v 2 -pix_fmt " + format + " -c:v ffv1 -y " + media.string();
      ASSERT_EQ(std::system(make.c_str()), 0) << make;
      const auto jpeg = dir.path() / "tiny.jpg";
      ASSERT_EQ(CaptureFrame2Jpg(media.c_str(), jpeg.c_str()), 0) << media;
      const cv::Mat picture = cv::imread(jpeg.string(), cv::IMREAD_COLOR);
      ASSERT_FALSE(picture.empty()) << media;
      EXPECT_EQ(std::to_string(picture.cols) + "x" + std::to_string(picture.rows), size) << format;
    }
  }
}

TEST(CreateCalibrationFile, NoVideoLeavesTheEarlierCaptureAlone) {
  const auto capture = data_dir(program_name()) / "onframe.jpg";
  { std::ofstream(capture, std::ios::binary) << "an earlier capture"; }
  test::TempDir dir;
  const auto text = dir.write("notes.txt", "no video in here");
  ISS_OrbPlayer* player = CreateOrbPlayer();
  EXPECT_EQ(player->CreateCalibrationFile(text.c_str(), (dir.path() / "lens.inf").c_str()), 21);
  EXPECT_EQ(player->CreateCalibrationFile(nullptr, (dir.path() / "lens.inf").c_str()), 21);
  EXPECT_EQ(contents(capture), "an earlier capture");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "lens.inf"));
  DestroyOrbPlayer(player);
  std::filesystem::remove(capture);
}

}  // namespace
}  // namespace orb
