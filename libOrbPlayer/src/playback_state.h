#pragma once
// What every part of a playback reads: stopping, paused, or held by a seek
// that empties the pipeline; and the waits that end when that changes.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace orb::player {

struct StateChange {
  std::optional<bool> stop = std::nullopt, paused = std::nullopt, flushing = std::nullopt;
};

class PlaybackState {
 public:
  bool stopping() const { return stop_.load(); }
  bool paused() const { return paused_.load(); }
  bool flushing() const { return flushing_.load(); }
  // For a blocking read that gives up when the playback stops.
  const std::atomic<bool>* stop_flag() const { return &stop_; }

  // Changes under the lock, then wakes the waits: a waiter between its
  // check and its wait still sees the change. `also` runs under the same
  // lock (the audio device follows a pause with no gap a worker could see).
  void change(const StateChange& c, const std::function<void()>& also = {}) {
    {
      std::lock_guard lock(mutex_);
      if (c.stop) stop_ = *c.stop;
      if (c.paused) paused_ = *c.paused;
      if (c.flushing) flushing_ = *c.flushing;
      if (also) also();
    }
    changed_.notify_all();
  }

  // Up to `ms`, ending early on a stop.
  void nap(int ms) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop_.load(); });
  }
  // Up to `ms` while paused or seeking, ending early on a stop, a resume or
  // the end of the seek.
  void wait_while_held(int ms) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms),
                      [&] { return stop_.load() || (!paused_.load() && !flushing_.load()); });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  // Written under mutex_, read anywhere.
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> flushing_{false};
};

}  // namespace orb::player
