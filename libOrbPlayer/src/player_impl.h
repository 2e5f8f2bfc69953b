#pragma once
// The player: one media at a time, played by a demux thread, a video decode
// thread, a render thread (the only one touching SDL video and GL), the
// audio device's callback (or a clock thread for silent media).
#include <libOrbPlayer/ISS_OrbPlayer.h>
#include <common/error_buffer.h>

#include <av/av_ptr.h>
#include <av/frame_convert.h>
#include <av/media_open.h>
#include <render/ogl_rendererMgr.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame_ring.h"
#include "packet_queue.h"
#include "recording_date.h"
#include "sdl_support.h"
#include "view_angles.h"

namespace orb::player {

inline constexpr int kViewports = 4;

enum Worker { kDemux, kVideoDecode, kRender, kClock, kWorkerCount };
enum StartState { kStarting = 0, kRunning = 1, kFailed = 2 };

struct ViewportState {
  int draw_mode = 0;
  int x = 0, y = 0, width = 0, height = 0;  // window pixels, origin bottom-left
  float zoom = 0;
  std::array<float, 3> angles{};  // pitch, yaw, roll (degrees)
  std::array<AngleLimits, 3> limits{};
  int enabled = 0;
};

// What the render thread saw, for tests and the benchmark.
struct PlaybackStats {
  std::uint64_t frames_shown = 0;
  std::uint64_t frames_dropped = 0;  // decoded behind the clock, never shown
  double offset_sum_ms = 0;          // frame timestamp minus clock when shown
  double offset_abs_max_ms = 0;
  double last_shown_ms = -1;  // timestamp of the picture shown last
  std::uint64_t passes = 0;
};

class ISS_OrbPlayerImpl final : public ISS_OrbPlayer {
 public:
  ISS_OrbPlayerImpl();
  ~ISS_OrbPlayerImpl() override;

  int OpenMedia(const MediaOpenParams* params) override;
  int SetDrawMode(int mode, int index) override;
  int SetWindowRect(int x, int y, int width, int height) override;
  int SetNativeWindow(unsigned long native_window) override;
  int SetViewportRect(int x, int y, int width, int height, int index) override;
  int DisableViewport(int index) override;
  const char* GetLastErrorText() override;
  TimeParts* GetPositionParts(TimeParts* out) override;
  int64_t GetPlayTime() override;
  TimeParts* GetDuration(TimeParts* out) override;
  int64_t GetReservedValue() override;
  int Seek(int minutes, int seconds, int milliseconds) override;
  int Play(OrbReservedCallback reserved, void* reserved_context, OrbEndCallback on_end, void* user_context,
           OrbErrorCallback on_error) override;
  float GetZoom(int index) override;
  int GetViewAngles(int index, float* pitch, float* yaw, float* roll) override;
  int SetAngleLimits(float min_pitch, float max_pitch, float min_yaw, float max_yaw, float min_roll, float max_roll,
                     int index) override;
  int SetViewAngles(float pitch, float yaw, float roll, int index) override;
  int SetVolume(int volume) override;
  int IsPlaying() override;
  int Stop() override;
  int Pause() override;
  int Resume() override;
  int CreateCalibrationFile(const char* media_path, const char* calibration_path) override;

  PlaybackStats stats() const;
  // Starts a new window for the largest offset (benchmarks measure spans).
  void reset_offset_max();
  ViewportState viewport_state(int index) const;
  // Clock in milliseconds since the start of the media (tests).
  int64_t clock_ms() const;
  std::string overlay_text() const;

 private:
  // Message buffer: every failure writes "error: ..." here and to the
  // diagnostic channel. Returns `code`.
  int fail(int code, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  bool index_ok(int index);

  // Media input (media_input.cpp).
  int open_input(const char* path);
  void close_input();
  void note_packet_end(const AVPacket* packet);
  std::string cut_short() const;
  void demux_main();
  void video_decode_main();
  int decode_packet(const AVPacket* packet);
  bool rewind_input();
  bool store_picture(AVFrame* picture);
  int64_t picture_pts(const AVFrame* picture) const;

  // Audio and clock (audio_clock.cpp).
  int setup_audio();
  static void audio_callback(void* self, Uint8* stream, int len);
  void fill_audio(Uint8* stream, int len);
  void clock_main();
  int64_t read_clock() const;
  void set_clock(int64_t value);
  double clock_units_to_ms(int64_t units) const;
  void restart_clock_at(int64_t position);

  // Render thread (render_loop.cpp).
  void render_main();
  int render_startup();
  int apply_initial_viewports();
  int serve_requests();
  bool show_due_frame(std::chrono::milliseconds& wait);
  void handle_event(const SDL_Event& e, bool& dirty);
  int viewport_at(int px, int py) const;
  void apply_angles(int index);
  void release_window_resources();

  // Threads (player_api.cpp).
  void worker_exit(Worker w);
  void join_workers();
  bool stopping() const { return stop_.load(); }
  // Sleeps up to `ms`, waking early when playback stops.
  void nap(int ms);
  // Sleeps up to `ms` while paused or seeking, waking early when playback
  // stops, resumes or the seek is done.
  void wait_while_held(int ms);
  // Wakes the waits above after paused_ or flushing_ changed.
  void announce_state();
  // Ends the queue and ring waits at once: a stop or a seek lets go.
  void wake_hand_offs();

  // --- message buffer: written by any thread (last failure wins); a fixed
  // buffer, so the pointer GetLastErrorText hands out stays valid
  ErrorBuffer<1024> error_;

  // --- host operations that change what is open or playing run one at a time
  std::recursive_mutex control_mutex_;

  // --- lifecycle flags
  std::atomic<int> playing_{0};
  std::array<std::atomic<int>, kWorkerCount> running_{};
  std::atomic<bool> no_audio_{false};
  std::atomic<bool> stop_{false};                  // written under state_mutex_
  std::atomic<bool> paused_{false};                // written under state_mutex_
  std::atomic<bool> flushing_{false};              // a seek is emptying the pipeline: waits give up
  std::atomic<bool> drained_{false};               // the decoder has handed out its last picture
  int64_t opened_size_ = -1;                       // bytes of a local file when opened
  std::atomic<int64_t> read_end_ms_{0};            // demux thread: how far the packets read reach
  std::atomic<bool> input_lost_{false};            // demux thread: a read failed before the end of the input
  bool needs_rewind_ = false;                      // host thread: a Play after a playback starts over
  std::mutex state_mutex_;                         // stop/pause changes and the common exit step
  std::condition_variable state_cv_;               // wakes naps on stop
  std::mutex start_mutex_;                         // guards start_states_
  std::condition_variable start_cv_;               // a worker reached running or failed
  std::array<int, 3> start_states_{};              // render, video decode, demux
  std::array<std::thread, kWorkerCount> threads_;  // owned by the host thread (Play/Stop)

  // --- callbacks (set by Play before the workers start)
  OrbReservedCallback reserved_callback_ = nullptr;
  void* reserved_context_ = nullptr;
  OrbEndCallback end_callback_ = nullptr;
  OrbErrorCallback error_callback_ = nullptr;
  void* user_context_ = nullptr;

  // --- media: opened and closed by the host thread while not playing
  const MediaOpenParams* params_ = nullptr;
  OpenedInput input_;
  std::mutex input_mutex_;  // av_read_frame (demux) against av_seek_frame (Seek)
  int video_index_ = -1;
  int audio_index_ = -1;
  AVStream* video_stream_ = nullptr;
  AVStream* audio_stream_ = nullptr;
  AvCodecContextPtr video_codec_;
  std::mutex video_codec_mutex_;  // decoding against the flush of a seek
  AvCodecContextPtr audio_codec_;
  std::mutex audio_codec_mutex_;
  float frame_rate_ = 0;
  int video_width_ = 0, video_height_ = 0;
  TimeParts duration_{};
  DateTime recording_start_;
  std::atomic<int64_t> position_s_{0};

  // --- packets and pictures
  PacketQueue audio_queue_;
  PacketQueue video_queue_;
  FrameRing ring_;
  FrameScaler scaler_;  // video decode thread only

  // --- audio output (the callback's thread, once the device runs)
  SwrPtr resampler_;
  std::vector<std::uint8_t> audio_out_;  // 768000 bytes of converted audio
  int audio_carry_ = 0;                  // guarded by audio_codec_mutex_
  const std::uint8_t* audio_read_ = nullptr;
  std::atomic<int> volume_{64};
  SDL_AudioSpec audio_spec_{};
  SdlAudioDevice audio_device_;  // render thread opens and closes it

  // --- clock, in clock time-base units
  mutable std::mutex clock_mutex_;
  int64_t clock_ = 0;  // guarded by clock_mutex_
  AVRational clock_base_{1, 1000};
  int64_t clock_start_ms_ = 0;   // silent media: start tick, guarded by clock_mutex_
  int64_t clock_paused_ms_ = 0;  // silent media: paused total, guarded by clock_mutex_
  int64_t clock_epoch_ = 0;      // bumped by every restart of the base, guarded by clock_mutex_

  // --- window and viewports
  mutable std::mutex viewport_mutex_;   // guards everything in this group
  std::condition_variable request_cv_;  // the render thread served a request or ended
  std::array<ViewportState, kViewports> viewports_;
  int draw_request_ = 0;  // 0 or index + 1
  int rect_request_ = 0;  // 0 or index + 1
  bool use_native_window_ = false;
  unsigned long native_window_ = 0;
  int window_x_ = 0, window_y_ = 0, window_width_ = 0, window_height_ = 0;
  std::unique_ptr<ogl_rendererMgr> renderer_;  // render thread creates and destroys it
  bool view_dirty_ = true;                     // something to redraw
  PlaybackStats stats_;

  // --- render thread only
  SdlWindowPtr window_;
  std::unique_ptr<SdlGlContext> gl_context_;
  void* x_display_ = nullptr;
  int mouse_x_ = 0, mouse_y_ = 0;
  bool double_click_latch_ = false;
};

}  // namespace orb::player
