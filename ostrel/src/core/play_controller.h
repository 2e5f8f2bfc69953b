#pragma once
// The application's one owner of a player: starts and stops it on short
// threads of their own (serialised by one mutex, never on the UI thread),
// applies the view layouts, and does the small conversions of the controls.
#include <libOrbPlayer/ISS_OrbPlayer.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "app_files.h"
#include "calibration_choice.h"
#include "layouts.h"

namespace ostrel {

class PlayController {
 public:
  // `data_dir` holds "varozod.cfg"; `window_size` reports the video window's
  // size in pixels when asked.
  PlayController(std::filesystem::path data_dir, std::function<std::pair<int, int>()> window_size);
  ~PlayController();
  PlayController(const PlayController&) = delete;
  PlayController& operator=(const PlayController&) = delete;

  // Called on a player thread when a file ends by itself (not after a stop
  // the user asked for): post to the UI, do not call back in.
  void set_end_hook(std::function<void()> hook) { end_hook_ = std::move(hook); }
  // Called on a player thread for a window or renderer failure (code 20),
  // with the player's message. The application shows it and ends.
  void set_fatal_hook(std::function<void(const std::string&)> hook) { fatal_hook_ = std::move(hook); }
  // Called on the play thread with the lens a start chose for its video.
  void set_calibration_hook(std::function<void(const std::string&, const CalibrationChoice&)> hook) {
    calibration_hook_ = std::move(hook);
  }

  // Starts `path` in `window` (an X11 window ID) on a play thread; returns at once.
  bool start_playback(unsigned long window, const std::string& path);
  // Stops on a stop thread; a stop while the player is not yet playing is lost.
  void stop_playback();
  // Waits for play and stop threads in flight (tests, shutdown).
  void wait_idle();
  // The application ends: a start in flight gives up at its next step (its
  // opening at once), playback stops, and the threads are waited for.
  void close();
  // True while a play or stop thread has not finished.
  bool busy() const { return threads_in_flight_ != 0; }
  // The last start has finished without the player playing (a file that
  // cannot be opened); false while it runs and after a good start.
  bool start_failed() const { return !busy() && !started_; }
  // Why the last start failed, or why the last file ended early (a lost
  // stream): the player's result and error text; code 0 when neither.
  struct Failure {
    int code = 0;
    std::string text;
  };
  Failure failure() const {
    std::lock_guard state(state_mutex_);
    return failure_;
  }

  bool is_playing() const;
  std::int64_t total_seconds() const;
  std::int64_t current_seconds() const;
  void set_volume_percent(int percent);
  void seek_to_slider(int slider_value);
  // Moves the position by `delta` seconds, held within the file; nothing
  // for a live stream.
  void seek_by(int delta_seconds);
  // Seeks to `seconds` into the file, held within it.
  void seek_to_seconds(std::int64_t seconds);
  void pause();
  void resume();
  bool paused() const { return paused_; }
  // The next start begins `seconds` into the file (0: the beginning), and
  // paused when asked: a restart keeps the user's place and pause.
  void set_start_at(std::int64_t seconds, bool paused = false) {
    start_at_ = seconds;
    start_paused_ = paused;
  }

  void set_mount_mode(int mode) { mount_mode_ = mode; }
  int mount_mode() const { return mount_mode_; }
  void apply_layout(std::int32_t layout);
  std::int32_t layout() const { return layout_; }
  LayoutPlan current_plan() const;

  // The lens file the last start chose (empty before one); call when no
  // start is in flight (after wait_idle).
  std::string calibration_path() const {
    std::lock_guard state(state_mutex_);
    return chosen_calibration_;
  }

  // The current player (null before the first start); shared, so a start
  // replacing it never pulls it from under a caller.
  std::shared_ptr<ISS_OrbPlayer> player() const;

 private:
  void play_thread();
  void stop_thread(ISS_OrbPlayer& victim);
  static void on_end(void* self);
  static void on_error(void* self, int code);
  void join_threads();

  const std::filesystem::path data_dir_;
  const std::function<std::pair<int, int>()> window_size_;
  std::function<void()> end_hook_;
  std::function<void(const std::string&)> fatal_hook_;
  std::function<void(const std::string&, const CalibrationChoice&)> calibration_hook_;

  std::mutex mutex_;                       // serialises the play and stop threads
  std::thread play_;                       // owned by the UI thread
  std::thread stop_;                       // owned by the UI thread
  mutable std::mutex state_mutex_;         // guards player_, duration_ and plan_ (held only briefly)
  std::shared_ptr<ISS_OrbPlayer> player_;  // replaced by the play thread
  TimeParts duration_{-1, -1, -1};
  std::string chosen_calibration_;
  Failure failure_;
  LayoutPlan plan_;
  // Play thread only (under mutex_); media_path_ and window_ are set by the
  // UI thread before it starts one.
  std::unique_ptr<MediaOpenParams> params_;  // kept alive while the media is open
  std::string media_path_;
  std::string calibration_path_;  // the chosen lens, kept alive while the media is open
  unsigned long window_ = 0;
  PlayParam play_param_;
  std::atomic<int> threads_in_flight_{0};
  std::atomic<bool> started_{false};  // the last start got the player playing
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> closing_{false};  // the application is ending
  std::atomic<bool> paused_{false};
  std::atomic<std::int64_t> start_at_{0};
  std::atomic<bool> start_paused_{false};
  std::atomic<int> mount_mode_{kMountDown};
  std::atomic<std::int32_t> layout_{kLayoutSplit4};
};

}  // namespace ostrel
