#include <calibration/frame_samples.h>

#include <av/av_ptr.h>
#include <av/frame_convert.h>
#include <av/decoding_input.h>
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
  return cv::Mat(frame->height, frame->width, CV_8UC3, bgr->data[0], static_cast<std::size_t>(bgr->linesize[0]))
      .clone();
}

}  // namespace

std::vector<cv::Mat> sample_frames(const char* media_path, int count, double span_seconds) {
  std::vector<cv::Mat> out;
  if (media_path == nullptr || count <= 0) return out;
  std::string error;
  DecodingInput media = DecodingInput::open(media_path, InputOptions{}, error);
  if (!media) return out;
  const auto started = Clock::now();
  const double base = av_q2d(media.video.stream->time_base);
  const double step = count > 1 ? span_seconds / (count - 1) : span_seconds;
  double first = -1, next = 0;
  AvFramePtr frame = make_frame();
  // Ten seconds of wall time at most, whatever the source does.
  while (frame && Clock::now() - started < std::chrono::seconds(10) && media.next_picture(frame.get()) == 0) {
    const int64_t pts = frame->best_effort_timestamp;
    const double t = pts == AV_NOPTS_VALUE ? next : static_cast<double>(pts) * base;
    if (first < 0) first = t;
    if (t - first >= next - 1e-6) {  // the k-th picture at or just after k steps
      if (cv::Mat bgr = to_bgr(frame.get()); !bgr.empty()) out.push_back(std::move(bgr));
      next = static_cast<double>(out.size()) * step;
    }
    av_frame_unref(frame.get());
    if (static_cast<int>(out.size()) >= count || t - first > span_seconds + 1e-6) break;
  }
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
  // The lens stays where it is while the scene moves: the brightest value
  // of pictures spread over the first seconds shows the whole lit disc even
  // where one picture is dark (a dark start, a shadow over the rim).
  const std::vector<cv::Mat> frames = sample_frames(media_path, kJudgedFrames, kJudgedSeconds);
  if (frames.empty()) {
    LensCircle none;
    none.reason = "no picture could be decoded";
    return none;
  }
  LensCircle combined = detect_lens_circle(combine_frames(frames));
  combined.frames = static_cast<int>(frames.size());
  if (combined.found || combined.dual_lens || frames.size() == 1) return combined;
  // Something bright that moved through the surround: the first picture alone.
  LensCircle first = detect_lens_circle(frames.front());
  return first.found || first.dual_lens ? first : combined;
}

}  // namespace orb
