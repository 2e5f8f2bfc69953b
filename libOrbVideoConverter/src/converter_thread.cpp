// The conversion: one thread decodes and lays each picture through the
// views; a second encodes and writes. A short queue between them lets both
// cores work. The views are drawn once, offscreen, into a per-pixel map
// (RemapPlan) that every frame then goes through.
#include "converter_impl.h"

#include <common/clock.h>
#include <common/debug_trace.h>
#include <render/headless_gl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>

#include <sys/resource.h>
#include <unistd.h>

#include <render/offscreen_renderer.h>
#include <render/remap_plan.h>

namespace orb::converter {
namespace {

// x265 lowers its workers by 10 (nice); the encoder sets the pace of a
// conversion, so decoding and the map stand no higher than its workers and
// fill their idle moments instead of pre-empting them.
void stand_with_encoder_workers() {
  errno = 0;
  const int now = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  if (errno == 0) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), now + 10);
}

}  // namespace

AvFramePtr ISS_OrbVideoConverterImpl::take_output_frame() {
  {
    std::lock_guard lock(queue_mutex_);
    if (!spare_.empty()) {
      AvFramePtr frame = std::move(spare_.back());
      spare_.pop_back();
      if (av_frame_make_writable(frame.get()) >= 0) return frame;
    }
  }
  AvFramePtr frame = make_frame();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = params_->dst_width;
  frame->height = params_->dst_height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
  return frame;
}

void ISS_OrbVideoConverterImpl::conversion_main() {
  // The views are drawn into the map on a thread of their own (a GL context
  // and its first draw take a while); the first pictures are decoded
  // meanwhile and wait.
  RemapPlan plan;
  std::string error;
  std::atomic<bool> plan_done{false};
  int plan_result = ORB_ERROR;
  std::thread builder([&] {
    std::unique_ptr<HeadlessGlContext> context = HeadlessGlContext::create(error);
    if (context) {
      // The renderer's GL names go before the context does.
      OffscreenViews views = offscreen_views(*params_);  // outlives the renderer
      OffscreenRenderer renderer;
      if (renderer.init(views, map_width_, map_height_, error) == 0 && renderer.build_remap(plan, error) == 0) {
        plan_result = 0;
      }
      for (int i = 0; i < 4; ++i) params_->zoom[i] = views.zoom[i];  // clamped, as the caller reads it back
    }
    plan_done = true;
  });
  std::deque<AvFramePtr> waiting;
  int decoded = 0;
  // At least one picture is decoded before the start counts as made: a stop
  // right after Start still finishes a file with a picture in it.
  const std::size_t prebuffer = prebuffer_for(map_width_, map_height_);
  while ((!plan_done || waiting.empty()) && waiting.size() < prebuffer && !stop_) {
    decoded = decode_picture();
    if (decoded != 0) break;
    AvFramePtr frame = make_frame();
    av_frame_move_ref(frame.get(), decoded_.get());
    waiting.push_back(std::move(frame));
  }
  builder.join();
  if (plan_result != 0 || (decoded != 0 && decoded != kEndOfInput)) {
    if (plan_result != 0) fail_text(ORB_ERROR, error);
    close_output();
    converting_ = 0;
    start_result_ = -1;
    announce_progress();
    return;
  }
  start_tick_ms_ = now_ms();
  std::thread encoder(&ISS_OrbVideoConverterImpl::encode_main, this);
  stand_with_encoder_workers();  // the encoding thread keeps its standing
  start_result_ = 1;
  announce_progress();

  bool ended = decoded == kEndOfInput;
  int64_t produced = 0;
  for (; (!stop_ || produced == 0) && !failed_ && produced < to_encode_; ++produced) {
    AvFramePtr held;
    const AVFrame* picture = nullptr;
    if (!waiting.empty()) {
      held = std::move(waiting.front());
      waiting.pop_front();
      picture = held.get();
    } else {
      if (ended) break;
      const int result = decode_picture();
      if (result == kEndOfInput) break;
      if (result != 0) {
        failed_ = true;
        break;
      }
      picture = decoded_.get();
    }
    {
      std::unique_lock lock(queue_mutex_);
      queue_cv_.wait(lock, [&] { return queue_.size() < kQueueLimit || stop_ || failed_; });
      if ((stop_ && produced > 0) || failed_) break;  // the first picture goes in whatever happens
    }
    AvFramePtr out = take_output_frame();
    const AVFrame* source = out ? as_yuv420(picture) : nullptr;
    if (!source) {
      fail(ORB_ERROR, "error: on createing converter context for video;\n");
      failed_ = true;
      break;
    }
    plan.apply(source, out.get());
    {
      std::lock_guard lock(queue_mutex_);
      queue_.push_back(std::move(out));
    }
    queue_cv_.notify_all();
  }
  {
    std::lock_guard lock(queue_mutex_);
    producer_done_ = true;
  }
  queue_cv_.notify_all();
  encoder.join();
  // An input that ends well before the span asked for is a damaged or
  // truncated file, not a finished conversion: what was converted is kept
  // beside the output under its temporary name, the output is left alone.
  const bool stopped = stop_;
  const int64_t shortfall = to_encode_ - produced;
  const bool short_input =
      !stopped && !open_ended_ && shortfall > std::max<int64_t>(3, static_cast<int64_t>(frame_rate_ / 2));
  Fate fate = Fate::kCommit;
  const auto at =
      static_cast<int64_t>(static_cast<double>(span_start_ms_) / 1000 + static_cast<double>(produced) / frame_rate_);
  if (failed_ || !trailer_written_) {
    fate = Fate::kDiscard;
  } else if (!stopped && !lost_.empty()) {
    fate = Fate::kKeepPart;
    fail(ORB_ERROR, "error: the stream was lost at %02lld:%02lld (%s); %s is incomplete (kept as %s);\n",
         static_cast<long long>(at / 60), static_cast<long long>(at % 60), lost_.c_str(), params_->output_path,
         part_path_.c_str());
  } else if (short_input) {
    fate = Fate::kKeepPart;
    const int64_t end = span_end_ms_ / 1000;
    fail(ORB_ERROR, "error: input ended at %02lld:%02lld of %02lld:%02lld; %s is incomplete (kept as %s);\n",
         static_cast<long long>(at / 60), static_cast<long long>(at % 60), static_cast<long long>(end / 60),
         static_cast<long long>(end % 60), params_->output_path, part_path_.c_str());
  }
  if (skipped_packets_ > 0)
    debug_trace("%lld damaged video packets were passed over", static_cast<long long>(skipped_packets_));
  finish_output(fate);
  stop_ = false;
  converting_ = 0;
  announce_progress();
}

void ISS_OrbVideoConverterImpl::encode_main() {
  for (;;) {
    AvFramePtr picture;
    {
      std::unique_lock lock(queue_mutex_);
      queue_cv_.wait(lock, [&] { return !queue_.empty() || producer_done_ || failed_; });
      if (failed_ || queue_.empty()) break;  // done, or nothing more will come
      picture = std::move(queue_.front());
      queue_.pop_front();
    }
    queue_cv_.notify_all();
    const int result = encode_frame(picture.get());
    {
      std::lock_guard lock(queue_mutex_);
      spare_.push_back(std::move(picture));
    }
    if (result != 0) {
      {
        std::lock_guard lock(queue_mutex_);  // the producer cannot miss it
        failed_ = true;
      }
      queue_cv_.notify_all();
      return;
    }
  }
  if (failed_) return;
  // Every picture given to the encoder comes out, then the file is finished.
  if (encode_frame(nullptr) != 0) return;  // the producer is done: nobody waits
  if (transcoder_ && transcoder_->finish(audio_decoder_.get(), audio_in_->time_base,
                                         [this](AVPacket* p) { return write_packet(p); }) < 0) {
    fail(ORB_ERROR, "error: failed to write one audio frame;\n");
    return;
  }
  std::lock_guard lock(write_mutex_);
  if (av_write_trailer(output_.get()) < 0 || (output_->pb && output_->pb->error < 0)) {
    fail(ORB_ERROR, "error: fail to write trailers;\n");  // a full disk shows here at the latest
    return;
  }
  trailer_written_ = true;
}

}  // namespace orb::converter
