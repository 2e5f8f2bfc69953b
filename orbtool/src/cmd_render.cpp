// orbtool render: one still (a picture, or a video frame at a time) through
// the converter's offscreen renderer, written losslessly.
#include <render/headless_gl.h>
#include <render/offscreen_renderer.h>

#include <av/av_ptr.h>
#include <av/frame_convert.h>
#include <av/decoding_input.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>

#include "args.h"
#include "view_options.h"

namespace orb::tool {
namespace {

// The frame at (or just after) `seconds` of a video, as RGBA; empty with
// `error` set when the input cannot be opened.
cv::Mat video_frame(const std::string& path, double seconds, std::string& error) {
  DecodingInput media = DecodingInput::open(path.c_str(), InputOptions{}, error);
  if (media.failure() == InputFailure::no_video) error.clear();  // the caller's message names the file
  if (!media) return {};
  media.seek(seconds);  // a source that cannot seek gives its first picture
  AvFramePtr frame = make_frame();
  if (!frame || media.next_picture(frame.get()) != 0) return {};
  const std::vector<std::uint8_t> pixels = packed_pixels(frame.get(), AV_PIX_FMT_RGBA);
  if (pixels.empty()) return {};
  return cv::Mat(frame->height, frame->width, CV_8UC4, const_cast<std::uint8_t*>(pixels.data())).clone();
}

}  // namespace

int render_main(int argc, char** argv) {
  std::string error;
  const Args args = parse_args(argc, argv, {"calib", "layout", "mount", "size", "view", "time"}, {}, error);
  if (error.empty() && args.positional.size() != 2) error = "error: render needs an input and an output picture";
  ConverterInitParams params{};
  if (error.empty()) fill_view_params(args, params, error);
  double time = 0;
  if (error.empty() && args.get("time")) {
    const auto t = to_number(*args.get("time"));
    if (!t || *t < 0)
      error = "error: --time must be a number of seconds";
    else
      time = *t;
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const std::string input = args.positional[0];
  const std::string output = args.positional[1];
  const std::string calibration = find_calibration(args, input);
  if (calibration.empty()) return 1;
  // A FIFO or a folder would block or mislead both readers below.
  if (const std::string refused = refuse_special_file(input.c_str()); !refused.empty()) {
    std::fprintf(stderr, "%s\n", refused.c_str());
    return 1;
  }
  cv::Mat rgba;
  std::string open_error;
  if (cv::Mat bgr = is_network_source(input.c_str()) ? cv::Mat() : cv::imread(input, cv::IMREAD_COLOR); !bgr.empty()) {
    cv::cvtColor(bgr, rgba, cv::COLOR_BGR2RGBA);
  } else {
    rgba = video_frame(input, time, open_error);
  }
  if (!rgba.empty() && !rgba.isContinuous()) rgba = rgba.clone();
  if (rgba.empty()) {
    if (!open_error.empty())
      std::fprintf(stderr, "%s\n", open_error.c_str());
    else
      std::fprintf(stderr, "error: %s is neither a picture nor a video with a frame at %.3f s\n", input.c_str(), time);
    return 1;
  }
  params.calib_filename = calibration.c_str();
  std::unique_ptr<HeadlessGlContext> context = HeadlessGlContext::create(error);
  if (!context) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<std::uint8_t> composed(static_cast<std::size_t>(params.dst_width) * params.dst_height * 4);
  {
    OffscreenViews views = offscreen_views(params);  // outlives the renderer
    OffscreenRenderer renderer;
    RemapPlan plan;
    if (renderer.init(views, rgba.cols, rgba.rows, error) != 0 || renderer.build_remap(plan, error) != 0) {
      std::fprintf(stderr, "%s", error.c_str());
      return 1;
    }
    plan.apply_rgba(rgba.data, rgba.cols, composed.data());
  }
  cv::Mat out(params.dst_height, params.dst_width, CV_8UC4, composed.data()), bgr;
  cv::cvtColor(out, bgr, cv::COLOR_RGBA2BGR);
  bool written = false;
  try {
    written = cv::imwrite(output, bgr, {cv::IMWRITE_PNG_COMPRESSION, 3});
  } catch (const cv::Exception&) {
    written = false;
  }
  if (!written) {
    std::fprintf(stderr, "error: cannot write %s (use a .png name)\n", output.c_str());
    return 1;
  }
  std::printf("wrote %s (%dx%d)\n", output.c_str(), params.dst_width, params.dst_height);
  return 0;
}

}  // namespace orb::tool
