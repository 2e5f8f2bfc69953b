#pragma once
// The converter: Init opens the input and prepares the output; Start runs
// a conversion thread (the views drawn once offscreen into a per-pixel map,
// then every decoded frame laid through it) handing frames to an encode
// thread (H.265, write), audio packets copied.
#include <libOrbVideoConverter/ISS_OrbVideoConverter.h>
#include <common/error_buffer.h>

#include <av/av_ptr.h>
#include <av/decoding_input.h>
#include <av/frame_convert.h>
#include <av/picture_budget.h>

#include "audio_transcoder.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orb::converter {

// Internal result: the input has no more pictures (never returned to callers).
inline constexpr int kEndOfInput = 18;

class ISS_OrbVideoConverterImpl final : public ISS_OrbVideoConverter {
 public:
  ISS_OrbVideoConverterImpl();
  ~ISS_OrbVideoConverterImpl() override;

  int Init(ConverterInitParams* params) override;
  int Start(TimeParts start, TimeParts end) override;
  int Stop() override;
  RenderingStatistics* GetStatistics(RenderingStatistics* out) override;
  TimeParts* GetDuration(TimeParts* out) override;
  int IsConverting() override;
  const char* GetLastErrorText() override;
  const char* GetNoticeText() override { return notice_; }
  int SetKeyFrameInterval(int frames) override;

  int64_t frames_encoded() const { return encoded_; }
  int64_t frames_to_encode() const { return to_encode_; }

 private:
  int fail(int code, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  int fail_text(int code, const std::string& text);

  // Input and output (converter_media.cpp).
  int open_input();
  int prepare_output();
  int add_video_stream();
  int add_audio_stream();
  void close_input();
  void close_output();
  // What becomes of the file written: the user's output is only ever
  // replaced by a finished file; it is written beside it until then.
  enum class Fate { kDiscard, kCommit, kKeepPart };
  void finish_output(Fate fate);
  // 0 with the next picture in decoded_, 18 at the end of input, or 21.
  int decode_picture();
  const AVFrame* as_yuv420(const AVFrame* frame);  // null when it cannot be converted
  int write_audio(AVPacket* packet);
  int encode_frame(AVFrame* frame);  // null: drain
  int write_packet(AVPacket* packet);
  AvFramePtr take_output_frame();  // a YUV frame of the output size, reused when possible

  // Threads (converter_thread.cpp).
  void conversion_main();
  void encode_main();

  // --- message buffer (any thread); fixed, so the pointer handed out stays valid
  ErrorBuffer<2048> error_;

  ConverterInitParams* params_ = nullptr;

  // --- input: opened by Init; read by the conversion thread while converting
  OpenedInput input_;
  AvCodecContextPtr video_decoder_;
  AvCodecContextPtr audio_decoder_;
  AVStream* video_in_ = nullptr;
  AVStream* audio_in_ = nullptr;
  int video_index_ = -1;
  int audio_index_ = -1;
  float frame_rate_ = 0;
  int64_t total_frames_ = 0;
  bool live_ = false;        // a network stream without a length
  bool open_ended_ = false;  // live, converting until Stop
  std::string lost_;         // conversion thread: why a live stream broke off
  TimeParts duration_{-1, -1, -1};
  FrameScaler to_source_yuv_;
  AvFramePtr decoded_;
  AvPacketPtr packet_;
  bool input_ended_ = false;            // conversion thread: the decoder has been drained
  int64_t skipped_packets_ = 0;         // conversion thread: damaged video packets passed over
  int64_t video_start_pts_ = 0;         // the conversion's first picture, video stream units
  int map_width_ = 0, map_height_ = 0;  // the source size the views' map is built for

  // --- output: prepared by Init, finished by the encode thread
  AvOutputPtr output_;
  AvCodecContextPtr encoder_;
  AVStream* video_out_ = nullptr;
  AVStream* audio_out_ = nullptr;
  std::unique_ptr<AudioTranscoder> transcoder_;  // when the sound cannot be copied
  int key_frame_interval_ = 0;                   // 0: the decoder's, else 12
  char notice_[256] = {};                        // said once the output is set up
  std::mutex write_mutex_;                       // every write to the output file
  int64_t audio_base_ = AV_NOPTS_VALUE;          // first audio timestamp of the conversion
  int64_t last_audio_pts_ = -1;                  // the last one written, counted from the base
  std::string part_path_;                        // the file being written, beside the output; empty when none
  std::atomic<bool> trailer_written_{false};     // encode thread: the file is finished
  int64_t span_start_ms_ = 0, span_end_ms_ = 0;  // the span asked for

  // --- hand-over from the conversion thread to the encode thread
  std::mutex queue_mutex_;
  std::condition_variable queue_cv_;
  std::deque<AvFramePtr> queue_;   // output pictures (YUV 4:2:0), guarded by queue_mutex_
  std::vector<AvFramePtr> spare_;  // frames to reuse, guarded by queue_mutex_
  bool producer_done_ = false;     // guarded by queue_mutex_
  static constexpr std::size_t kQueueLimit = 3;
  // Pictures decoded while the views are drawn: what 64 MB holds, 4 to 24
  // (20 of 1080p, 5 of 2880x2880).
  static std::size_t prebuffer_for(int width, int height) {
    return static_cast<std::size_t>(pictures_within(std::size_t{64} << 20, width, height, 4, 24));
  }

  // --- flags and counters shared with the caller's thread
  std::atomic<bool> stop_{false};
  std::atomic<int> converting_{0};
  std::atomic<int> start_result_{0};  // 0 pending, 1 started, -1 failed
  // Start and Stop wait for the conversion thread's hand-off: it announces
  // every change of the two values above.
  std::mutex progress_mutex_;
  std::condition_variable progress_cv_;
  void announce_progress() {
    { std::lock_guard lock(progress_mutex_); }  // a waiter between its check and its wait sees the change
    progress_cv_.notify_all();
  }
  template <class Done>
  void wait_for_progress(Done done) {
    std::unique_lock lock(progress_mutex_);
    while (!done()) progress_cv_.wait_for(lock, std::chrono::milliseconds(100));
  }
  std::atomic<int64_t> encoded_{0};
  std::atomic<int64_t> to_encode_{0};
  std::atomic<int64_t> start_tick_ms_{0};
  std::atomic<bool> failed_{false};
  std::thread thread_;
};

}  // namespace orb::converter
