#include <calibration/frame_samples.h>

#include <av/av_ptr.h>
#include <av/frame_convert.h>
#include <av/media_open.h>
#include <calibration/circle_detection.h>

#include <opencv2/imgcodecs.hpp>

#include <chrono>

namespace orb {
namespace {

using Clock = std::chrono::steady_clock;

// A decoded picture as BGR (converted through FFmpeg's own padded buffers).
cv::Mat to_bgr(const AVFrame* frame) {
  const AvFramePtr bgr = convert_frame(frame, AV_PIX_FMT_BGR24);
  if (!bgr) return {};
  return cv::Mat(frame->height, frame->width, CV_8UC3, bgr->data[0], static_cast<std::size_t>(bgr->linesize[0])).clone();
}

}  // namespace

std::vector<cv::Mat> sample_frames(const char* media_path, int count, double span_seconds) {
  std::vector<cv::Mat> out;
  if (media_path == nullptr || count <= 0) return out;
  std::string error;
  const OpenedInput input = open_media(media_path, error);
  if (!input) return out;
  AVFormatContext* raw = input.get();
  const auto started = Clock::now();
  const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return out;
  const AVStream* stream = raw->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return out;
  AvCodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0 ||
      avcodec_open2(decoder.get(), codec, nullptr) < 0) {
    return out;
  }
  const double base = av_q2d(stream->time_base);
  const double step = count > 1 ? span_seconds / (count - 1) : span_seconds;
  double first = -1, next = 0;
  bool done = false;
  AvFramePtr frame = make_frame();
  AvPacketPtr packet = make_packet();
  auto take = [&] {
    while (!done && avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      const int64_t pts = frame->best_effort_timestamp;
      const double t = pts == AV_NOPTS_VALUE ? next : static_cast<double>(pts) * base;
      if (first < 0) first = t;
      if (t - first >= next - 1e-6) {  // the k-th picture at or just after k steps
        if (cv::Mat bgr = to_bgr(frame.get()); !bgr.empty()) out.push_back(std::move(bgr));
        next = static_cast<double>(out.size()) * step;
      }
      done = static_cast<int>(out.size()) >= count || t - first > span_seconds + 1e-6;
      av_frame_unref(frame.get());
    }
  };
  // Ten seconds of wall time at most, whatever the source does.
  while (!done && Clock::now() - started < std::chrono::seconds(10) && av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(decoder.get(), packet.get()) >= 0) take();
    av_packet_unref(packet.get());
  }
  if (!done && avcodec_send_packet(decoder.get(), nullptr) >= 0) take();
  return out;
}

LensCircle detect_video_circle(const char* media_path) {
  if (media_path == nullptr) return {};
  if (std::string refused = refuse_special_file(media_path); !refused.empty()) {
    LensCircle none;  // a FIFO would block the picture reader for good
    none.reason = refused;
    return none;
  }
  const cv::Mat picture = is_network_source(media_path) ? cv::Mat() : cv::imread(media_path, cv::IMREAD_COLOR);
  if (!picture.empty()) return detect_lens_circle(picture);
  // The first picture usually shows the circle: the next seconds are
  // decoded only when it does not.
  const std::vector<cv::Mat> first_frame = sample_frames(media_path, 1, 0);
  if (first_frame.empty()) {
    LensCircle none;
    none.reason = "no picture could be decoded";
    return none;
  }
  LensCircle first = detect_lens_circle(first_frame.front());
  if (first.found) return first;
  const std::vector<cv::Mat> frames = sample_frames(media_path, 8, 8.0);
  if (frames.size() < 2) return first;
  LensCircle combined = detect_lens_circle(combine_frames(frames));
  return combined.found ? combined : first;
}

}  // namespace orb
