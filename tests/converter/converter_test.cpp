// Conversions of generated clips, checked by decoding what was written.
#include <libOrbVideoConverter/ISS_OrbVideoConverter.h>

#include <av/av_ptr.h>
#include <common/paths.h>
#include <synth/fisheye_clip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "exported_symbols.h"
#include "temp_dir.h"

extern "C" {
#include <libavutil/log.h>
}

namespace orb {
namespace {

using namespace std::chrono_literals;

struct ClipFile {
  std::filesystem::path media, calibration;
};

const ClipFile& clip(const std::string& name, int fps, double seconds, synth::AudioTrack audio, bool pcm = false) {
  static test::TempDir dir;
  static std::map<std::string, ClipFile> made;
  if (auto it = made.find(name); it != made.end()) return it->second;
  av_log_set_level(AV_LOG_ERROR);
  synth::ClipSpec spec;
  spec.width = 320;
  spec.height = 240;
  spec.fps_num = fps;
  spec.seconds = seconds;
  spec.audio = audio;
  spec.pcm_audio = pcm;
  spec.fov_deg = 200;
  ClipFile f{dir.path() / name, dir.path() / (name + ".inf")};
  EXPECT_EQ(synth::write_clip(f.media.string(), spec), "");
  EXPECT_EQ(write_calibration_file(f.calibration.c_str(), synth::clip_calibration(spec)), 0);
  return made.emplace(name, f).first->second;
}

const ClipFile& long25() { return clip("long25.mp4", 25, 40, synth::AudioTrack::kSine); }
const ClipFile& silent() { return clip("silent.mp4", 25, 2, synth::AudioTrack::kNone); }

// What a written file holds.
struct Written {
  int first_frame_code = -1;  // the synthetic clip's frame number, when the source picture is shown
  int video_frames = 0;
  int width = 0, height = 0;
  int streams = 0;
  int64_t first_audio_pts = -1;
  std::string video_codec;
};

Written inspect(const std::filesystem::path& path) {
  Written w;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return w;
  AvInputPtr input(raw);
  avformat_find_stream_info(raw, nullptr);
  w.streams = static_cast<int>(raw->nb_streams);
  const int v = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (v < 0) return w;
  w.width = raw->streams[v]->codecpar->width;
  w.height = raw->streams[v]->codecpar->height;
  w.video_codec = avcodec_get_name(raw->streams[v]->codecpar->codec_id);
  // Count decoded pictures: the file must decode, not merely hold packets.
  const AVCodec* codec = avcodec_find_decoder(raw->streams[v]->codecpar->codec_id);
  AvCodecContextPtr dec(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(dec.get(), raw->streams[v]->codecpar);
  avcodec_open2(dec.get(), codec, nullptr);
  AvPacketPtr packet = make_packet();
  AvFramePtr frame = make_frame();
  while (av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == v) {
      avcodec_send_packet(dec.get(), packet.get());
      while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
        if (w.video_frames++ == 0) {
          w.first_frame_code = synth::read_frame_code(frame->data[0], frame->linesize[0], frame->width, frame->height);
        }
      }
    } else if (w.first_audio_pts < 0 &&
               raw->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
      w.first_audio_pts = packet->pts;
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(dec.get(), nullptr);
  while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) ++w.video_frames;
  return w;
}

class Converter : public testing::Test {
 protected:
  void SetUp() override { converter_ = CreateOrbVideoConverter(); }
  void TearDown() override { DestroyOrbVideoConverter(converter_); }

  // One full-picture wide view at `w` x `h`.
  ConverterInitParams params_for(const ClipFile& c, const std::filesystem::path& out, int w = 256, int h = 128) {
    input_ = c.media.string();
    calib_ = c.calibration.string();
    output_ = out.string();
    ConverterInitParams p{};
    p.input_path = input_.c_str();
    p.calib_filename = calib_.c_str();
    p.output_path = output_.c_str();
    p.bitrate = 1000;
    p.dst_width = w;
    p.dst_height = h;
    p.viewport_count = 1;
    p.draw_mode[0] = 5;
    p.zoom[0] = 1;
    p.width[0] = w;
    p.height[0] = h;
    return p;
  }

  bool run(TimeParts from, TimeParts to) {
    if (converter_->Start(from, to) != 0) return false;
    const auto end = std::chrono::steady_clock::now() + 120s;
    while (converter_->IsConverting() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
    converter_->Stop();
    return converter_->GetLastErrorText()[0] == '\0';
  }

  ISS_OrbVideoConverter* converter_ = nullptr;
  test::TempDir dir_;
  std::string input_, calib_, output_;
};

TEST_F(Converter, EncodesExactlyTheFramesOfTheSpan) {
  ConverterInitParams p = params_for(long25(), dir_.path() / "span.mp4");
  ASSERT_EQ(converter_->Init(&p), 0) << converter_->GetLastErrorText();
  TimeParts d{};
  converter_->GetDuration(&d);
  EXPECT_EQ(d.minutes * 60 + d.seconds, 40);
  ASSERT_TRUE(run({0, 0, 0}, {0, 30, 0})) << converter_->GetLastErrorText();
  RenderingStatistics s{};
  converter_->GetStatistics(&s);
  EXPECT_FLOAT_EQ(s.percent, 100.0f);
  EXPECT_EQ(s.is_rendering, 0);
  const Written w = inspect(dir_.path() / "span.mp4");
  EXPECT_EQ(w.video_frames, 750);
  EXPECT_EQ(w.width, 256);
  EXPECT_EQ(w.height, 128);
  EXPECT_EQ(w.video_codec, "hevc");
  EXPECT_EQ(w.streams, 2);
  EXPECT_EQ(w.first_audio_pts, 0);  // audio copied, rebased to the start
}

TEST_F(Converter, ASpanStartsAtItsFirstSecond) {
  // The source picture at its own size, so the clip's frame numbers show.
  ConverterInitParams p = params_for(long25(), dir_.path() / "from.mp4", 320, 240);
  p.draw_mode[0] = 0;
  ASSERT_EQ(converter_->Init(&p), 0);
  ASSERT_TRUE(run({0, 10, 0}, {0, 12, 0})) << converter_->GetLastErrorText();
  const Written w = inspect(dir_.path() / "from.mp4");
  EXPECT_EQ(w.video_frames, 50);
  EXPECT_EQ(w.first_frame_code, 250);  // not the key frame before it
  // Audio in step with the pictures: its first packet starts within one
  // audio frame (1024 samples) of the first picture.
  EXPECT_GE(w.first_audio_pts, 0);
  EXPECT_LT(w.first_audio_pts, 1024);
}

TEST_F(Converter, WholeClipAndSilentClip) {
  ConverterInitParams p = params_for(long25(), dir_.path() / "all.mp4");
  ASSERT_EQ(converter_->Init(&p), 0);
  ASSERT_TRUE(run({0, 0, 0}, {0, 40, 0})) << converter_->GetLastErrorText();
  EXPECT_EQ(inspect(dir_.path() / "all.mp4").video_frames, 1000);

  ISS_OrbVideoConverter* second = CreateOrbVideoConverter();
  ConverterInitParams q = params_for(silent(), dir_.path() / "silent.mp4");
  ASSERT_EQ(second->Init(&q), 0) << second->GetLastErrorText();
  ASSERT_EQ(second->Start({0, 0, 0}, {0, 2, 0}), 0) << second->GetLastErrorText();
  while (second->IsConverting()) std::this_thread::sleep_for(20ms);
  EXPECT_STREQ(second->GetLastErrorText(), "");
  DestroyOrbVideoConverter(second);
  const Written w = inspect(dir_.path() / "silent.mp4");
  EXPECT_EQ(w.streams, 1);
  EXPECT_EQ(w.video_frames, 50);
}

TEST_F(Converter, InitTakesAnySoundAndRefusesWhatItCannotWrite) {
  const ClipFile& pcm = clip("pcm.mov", 25, 1, synth::AudioTrack::kSine, true);
  ConverterInitParams p = params_for(pcm, dir_.path() / "pcm.mp4");
  // Sound the container cannot hold is re-encoded, and the caller told;
  // a container that holds it gets it as it is.
  EXPECT_EQ(converter_->Init(&p), 0) << converter_->GetLastErrorText();
  EXPECT_EQ(std::string(converter_->GetNoticeText()).rfind("note: the pcm_s16le sound is re-encoded as AAC", 0), 0u);
  ConverterInitParams mov = params_for(pcm, dir_.path() / "pcm_out.mov");
  EXPECT_EQ(converter_->Init(&mov), 0) << converter_->GetLastErrorText();
  EXPECT_STREQ(converter_->GetNoticeText(), "");

  ConverterInitParams odd = params_for(silent(), dir_.path() / "odd.mp4", 255, 128);
  EXPECT_EQ(converter_->Init(&odd), 21);
  EXPECT_EQ(std::string(converter_->GetLastErrorText()).rfind("error: ", 0), 0u);

  ConverterInitParams unwritable = params_for(silent(), dir_.path() / "no" / "dir" / "x.mp4");
  EXPECT_EQ(converter_->Init(&unwritable), 21);
  EXPECT_STREQ(converter_->GetLastErrorText(), "error: failed to open output file for video! \n");

  ConverterInitParams missing = params_for(silent(), dir_.path() / "y.mp4");
  const std::string nowhere = (dir_.path() / "missing.mp4").string();
  missing.input_path = nowhere.c_str();
  EXPECT_EQ(converter_->Init(&missing), 15);

  ConverterInitParams twice = params_for(silent(), dir_.path() / "twice.mp4");
  ASSERT_EQ(converter_->Init(&twice), 0);
  ASSERT_EQ(converter_->Init(&twice), 0);
  EXPECT_EQ(twice.bitrate, 1000 * 1024 * 1024);  // each Init scales it again
}

TEST_F(Converter, ViewportsMustFitTheOutputAndZoomIsClamped) {
  ConverterInitParams wide = params_for(silent(), dir_.path() / "wide.mp4", 256, 128);
  wide.x[0] = 10;
  ASSERT_EQ(converter_->Init(&wide), 0);
  EXPECT_EQ(converter_->Start({0, 0, 0}, {0, 1, 0}), 21);
  EXPECT_STREQ(converter_->GetLastErrorText(),
               "error: invalid viewport size for viewport 0;width 266 _init_param->dst_width = 256 \n");
  EXPECT_EQ(converter_->IsConverting(), 0);

  ConverterInitParams flat = params_for(silent(), dir_.path() / "flat.mp4", 256, 128);
  flat.height[0] = 0;
  ASSERT_EQ(converter_->Init(&flat), 0);
  EXPECT_EQ(converter_->Start({0, 0, 0}, {0, 1, 0}), 21);
  EXPECT_STREQ(converter_->GetLastErrorText(), "error: invalid viewport size for viewport 0;\n");

  ConverterInitParams zoomed = params_for(silent(), dir_.path() / "zoom.mp4", 256, 128);
  zoomed.zoom[0] = 0.01f;
  ASSERT_EQ(converter_->Init(&zoomed), 0);
  ASSERT_EQ(converter_->Start({0, 0, 0}, {0, 1, 0}), 0);
  EXPECT_FLOAT_EQ(zoomed.zoom[0], 0.05f);
  converter_->Stop();
}

TEST_F(Converter, StartAndStopRefusals) {
  EXPECT_EQ(converter_->Stop(), 0);                        // idle
  EXPECT_EQ(converter_->Start({0, 0, 0}, {0, 1, 0}), 21);  // nothing initialised
  ConverterInitParams p = params_for(long25(), dir_.path() / "refusals.mp4");
  ASSERT_EQ(converter_->Init(&p), 0);
  EXPECT_EQ(converter_->Start({2, 0, 0}, {2, 10, 0}), 21);
  EXPECT_STREQ(converter_->GetLastErrorText(), "error: invalid seeking time: out of video time duration;\n");
  EXPECT_EQ(converter_->Start({0, 10, 0}, {0, 10, 0}), 21);
  EXPECT_STREQ(converter_->GetLastErrorText(), "error: invalid converting video span;\n");
  EXPECT_EQ(converter_->Start({0, 10, 0}, {0, 41, 0}), 21);
  EXPECT_STREQ(converter_->GetLastErrorText(), "error: invalid converting video span;\n");
  ASSERT_EQ(converter_->Start({0, 0, 0}, {0, 40, 0}), 0);
  EXPECT_EQ(converter_->Start({0, 0, 0}, {0, 40, 0}), 21);
  EXPECT_STREQ(converter_->GetLastErrorText(), "error: converter is working, please stop first;\n");
  EXPECT_EQ(converter_->IsConverting(), 1);
  EXPECT_EQ(converter_->Stop(), 0);
  EXPECT_EQ(converter_->IsConverting(), 0);
  // A stopped conversion still leaves a finished, decodable file.
  EXPECT_GT(inspect(dir_.path() / "refusals.mp4").video_frames, 0);
}

// A stop cuts the read in flight short; that is the end the user chose, so
// the file is finished and kept, never reported as a read failure.
TEST_F(Converter, AStopAtAnyMomentFinishesTheFile) {
  for (int i = 0; i < 8; ++i) {
    const auto out = dir_.path() / ("stopped" + std::to_string(i) + ".mp4");
    ConverterInitParams p = params_for(long25(), out, 256, 128);
    ASSERT_EQ(converter_->Init(&p), 0);
    ASSERT_EQ(converter_->Start({0, 0, 0}, {0, 40, 0}), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(60 * i));
    EXPECT_EQ(converter_->Stop(), 0);
    EXPECT_STREQ(converter_->GetLastErrorText(), "") << "stopped after " << 60 * i << " ms";
    EXPECT_GT(inspect(out).video_frames, 0) << "stopped after " << 60 * i << " ms";
  }
}

TEST(ConverterLibrary, ExportsOnlyItsFactoryFunctions) {
  std::vector<std::string> symbols = test::exported_functions((executable_dir() / "libOrbVideoConverter.so").string());
  std::sort(symbols.begin(), symbols.end());
  EXPECT_EQ(symbols, (std::vector<std::string>{"CreateOrbVideoConverter", "DestroyOrbVideoConverter"}));
  EXPECT_EQ(DestroyOrbVideoConverter(nullptr), 0);
}

}  // namespace
}  // namespace orb
