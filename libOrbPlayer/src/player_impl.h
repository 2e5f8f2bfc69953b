#pragma once
// The player: one media at a time, played by a demux thread, a video decode
// thread, a render thread (the only one touching SDL video and GL), and the
// audio device's callback (or a clock thread for silent media). This class
// is the façade: it checks the host's calls, starts and ends the threads,
// and leaves the state to the three parts that own it.
//
// Lock order, outermost first; a lock is never taken while a later one is
// held:
//   control (host operations)  → workers (who is running)
//   → playback state (stop, pause, seek hold; the audio device follows it under this lock)
//   → input (read against seek) → video decoder (decode against flush) → ring
//   → audio decoder (device callback against flush) → clock.
// The view lock (viewports, renderer, statistics) is taken alone.
#include <libOrbPlayer/ISS_OrbPlayer.h>
#include <common/error_buffer.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "audio_clock.h"
#include "media_input.h"
#include "playback_state.h"
#include "recording_date.h"
#include "render_window.h"

namespace orb::player {

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

  // For tests and the benchmark.
  PlaybackStats stats() const;
  // Starts a new window for the largest offset (benchmarks measure spans).
  void reset_offset_max() { view_.reset_offset_max(); }
  ViewportState viewport_state(int index) const { return view_.viewport(index); }
  // Clock in milliseconds since the start of the media.
  int64_t clock_ms() const { return static_cast<int64_t>(audio_.units_to_ms(audio_.read())); }
  std::string overlay_text() const { return view_.overlay_text(); }

 private:
  enum Worker { kDemux, kVideoDecode, kRender, kClock, kWorkerCount };
  enum StartState { kStarting, kRunning, kFailed };

  bool index_ok(int index);
  void close_media();
  void render_main();
  // Each worker says once that it runs (or failed to start).
  void report_start(Worker w, StartState s);
  bool wait_for_start();
  void worker_exit(Worker w);
  void join_workers();

  ErrorBuffer<1024> error_;  // written by any thread; the last failure wins
  PlaybackState state_;
  AudioClock audio_{state_};
  MediaInput input_{state_, audio_, error_};
  RenderWindow view_{state_, error_};

  // --- host operations that change what is open or playing run one at a time
  std::recursive_mutex control_mutex_;
  const MediaOpenParams* params_ = nullptr;
  DateTime recording_start_;
  bool needs_rewind_ = false;  // a Play after a playback starts over

  // --- the workers
  std::atomic<int> playing_{0};  // from Play until the last worker exits
  std::mutex workers_mutex_;     // guards the two arrays below
  std::condition_variable start_cv_;
  std::array<bool, kWorkerCount> running_{};
  std::array<StartState, kWorkerCount> start_states_{};
  std::array<std::thread, kWorkerCount> threads_;  // owned by the host thread (Play/Stop)

  // --- callbacks (set by Play before the workers start)
  OrbEndCallback end_callback_ = nullptr;
  OrbErrorCallback error_callback_ = nullptr;
  void* user_context_ = nullptr;
};

}  // namespace orb::player
