// A playback's course: Play starts the workers, Pause, Resume and Seek hold
// and release them, Stop and the end of the media let them go, and the
// last worker out reports the end.
#include <common/debug_trace.h>

#include <algorithm>
#include <chrono>

#include "player_impl.h"

namespace orb::player {

int ISS_OrbPlayerImpl::Play(OrbReservedCallback /*reserved*/, void* /*reserved_context*/, OrbEndCallback on_end,
                            void* user_context, OrbErrorCallback on_error) {
  std::lock_guard control(control_mutex_);
  if (playing_) return 0;
  if (!input_.is_open()) return error_.format(ORB_ERROR, "error: no media is open;\n");
  join_workers();  // threads of a playback that ended by itself
  // Played before: start again from the beginning.
  if (!input_.prepare_playback(needs_rewind_)) {
    return error_.format(ORB_ERROR, "error: can not go back to the start of the media;\n");
  }
  needs_rewind_ = true;
  end_callback_ = on_end;
  user_context_ = user_context;
  error_callback_ = on_error;
  state_.change({.stop = false, .paused = false, .flushing = false});
  view_.begin_playback();
  {
    std::lock_guard lock(workers_mutex_);
    start_states_.fill(kStarting);
    start_states_[kClock] = kRunning;  // a clock has nothing to start
    running_ = {true, true, true, audio_.silent()};
  }
  playing_ = 1;  // from here until the last worker exits
  if (audio_.silent()) {
    threads_[kClock] = std::thread([this] {
      audio_.run_silent_clock(input_.start_ms());
      worker_exit(kClock);
    });
  }
  threads_[kDemux] = std::thread([this] {
    report_start(kDemux, kRunning);
    input_.demux_loop();
    worker_exit(kDemux);
  });
  threads_[kVideoDecode] = std::thread([this] {
    report_start(kVideoDecode, kRunning);
    input_.decode_loop();
    worker_exit(kVideoDecode);
  });
  threads_[kRender] = std::thread(&ISS_OrbPlayerImpl::render_main, this);
  if (wait_for_start()) return 0;
  Stop();
  return ORB_ERROR;
}

void ISS_OrbPlayerImpl::render_main() {
  int code = 0;
  if (!keep_sdl_video())
    code = error_.format(ORB_ERROR_WINDOW_SYSTEM, "Could not initialize SDL - %s\n", SDL_GetError());
  if (code == 0 && !audio_.silent() && !audio_.open_output()) {
    code = error_.format(ORB_ERROR, "error: can't open audio for SDL;\n");
  }
  if (code == 0) code = view_.start(*params_, input_.width(), input_.height());
  if (code == 0) {
    report_start(kRender, kRunning);
    code = view_.run(input_.ring(), audio_, input_.frame_interval_ms());
  }
  view_.release();
  audio_.close_output();
  if (code != 0) {
    report_start(kRender, kFailed);
    // Without a picture there is no playback: the other workers end too.
    state_.change({.stop = true});
    if (error_callback_) error_callback_(user_context_, code);
  }
  view_.set_live(false);
  worker_exit(kRender);
}

void ISS_OrbPlayerImpl::report_start(Worker w, StartState s) {
  {
    std::lock_guard lock(workers_mutex_);
    start_states_[w] = s;
  }
  start_cv_.notify_all();
}

// Each worker reports running or failed; the render thread's window and GL
// start are the slow part.
bool ISS_OrbPlayerImpl::wait_for_start() {
  std::unique_lock lock(workers_mutex_);
  const auto count = [&](StartState s) { return std::count(start_states_.begin(), start_states_.end(), s); };
  while (count(kRunning) < kWorkerCount && count(kFailed) == 0)
    start_cv_.wait_for(lock, std::chrono::milliseconds(100));
  return count(kFailed) == 0;
}

int ISS_OrbPlayerImpl::Stop() {
  std::lock_guard control(control_mutex_);
  state_.change({.stop = true, .paused = false});
  input_.wake();
  join_workers();
  return 0;
}

void ISS_OrbPlayerImpl::join_workers() {
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
}

void ISS_OrbPlayerImpl::worker_exit(Worker w) {
  OrbEndCallback callback = nullptr;
  bool last = false;
  {
    // One lock decides which exit is the last: only that one reports the end.
    std::lock_guard lock(workers_mutex_);
    running_[w] = false;
    last = std::none_of(running_.begin(), running_.end(), [](bool r) { return r; });
    if (last) {
      playing_ = 0;
      state_.change({.stop = false});
      callback = end_callback_;
    }
  }
  if (!last) return;
  // An input lost before its end is an error, not an end: said first.
  if (input_.lost() && error_callback_) error_callback_(user_context_, ORB_ERROR);
  if (callback) callback(user_context_);
}

int ISS_OrbPlayerImpl::Pause() {
  if (!playing_) return 0;
  state_.change({.paused = true}, [&] { audio_.pause_output(true); });
  return 0;
}

int ISS_OrbPlayerImpl::Resume() {
  if (!playing_) return 0;
  state_.change({.paused = false}, [&] { audio_.pause_output(false); });
  return 0;
}

int ISS_OrbPlayerImpl::Seek(int minutes, int seconds, int milliseconds) {
  std::lock_guard control(control_mutex_);
  if (!playing_ || !input_.is_open()) return error_.format(ORB_ERROR, "error: the player is not playing;\n");
  const int64_t target = int64_t{minutes} * 60000 + int64_t{seconds} * 1000 + milliseconds;
  const TimeParts d = input_.duration();
  const int64_t length = int64_t{d.minutes} * 60000 + int64_t{d.seconds} * 1000 + d.milliseconds;
  if (target >= length) return error_.format(ORB_ERROR, "error: invalid seeking time: out of video time duration;\n");
  // The workers let go of what they hold while the input moves.
  state_.change({.paused = true, .flushing = true}, [&] { audio_.pause_output(true); });
  input_.wake();
  const int ret = input_.seek(target);
  state_.change({.paused = false, .flushing = false}, [&] { audio_.pause_output(false); });
  if (ret < 0) {
    return error_.format(ORB_ERROR, "error: can not seek to %d s: %s;\n", static_cast<int>(target / 1000),
                         av_error_text(ret).c_str());
  }
  if (!audio_.silent()) return 0;
  // Silent media: the clock goes on from the first new picture (a bounded
  // wait, so a seek near the end never hangs).
  FrameRing& ring = input_.ring();
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!state_.stopping() && std::chrono::steady_clock::now() < give_up) {
    const std::uint64_t seen = ring.generation();
    if (std::optional<int64_t> head = ring.head_pts()) {
      audio_.restart_at(*head);
      break;
    }
    ring.wait_for_change(seen, std::chrono::milliseconds(50));  // woken by the first new picture
  }
  return 0;
}

}  // namespace orb::player
