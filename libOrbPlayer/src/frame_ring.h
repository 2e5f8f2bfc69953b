#pragma once
// Decoded pictures waiting to be shown: 20 slots filled by the video decode
// thread and emptied by the render thread, with the pending presentation
// timestamps kept in ascending order (smallest first).
#include <av/av_ptr.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>

namespace orb::player {

class FrameRing {
 public:
  static constexpr int kSlots = 20;

  FrameRing();

  // Empties the ring and the timestamp list (seek, play, open).
  void reset();
  int count() const;
  bool full() const { return count() >= kSlots; }

  // Stores a decoded picture at the write index: the frame's buffers are
  // moved in (no copy). The caller has checked that the ring is not full.
  void push(AvFramePtr& frame, int64_t pts);

  // Smallest pending timestamp.
  std::optional<int64_t> head_pts() const;
  // Removes the head timestamp and hands over the frame at the read index.
  AvFramePtr take();
  // Changes with every push and reset.
  std::uint64_t generation() const;
  // Waits up to `timeout` for the ring to change after `seen` was read.
  void wait_for_change(std::uint64_t seen, std::chrono::milliseconds timeout);
  // Waits up to `timeout` for a free slot (the render thread took a
  // picture); wake() ends the wait at once (a stop, a seek).
  void wait_for_room(std::chrono::milliseconds timeout);
  void wake();

 private:
  mutable std::mutex mutex_;  // guards everything below; taken before pts_mutex_
  std::array<AvFramePtr, kSlots> slots_;
  std::array<bool, kSlots> filled_{};
  int count_ = 0;
  int write_ = 0;
  int read_ = 0;
  std::uint64_t generation_ = 0;     // bumped by every push and reset
  std::condition_variable changed_;  // a push, a take, a reset or a wake
  std::uint64_t wakes_ = 0;

  mutable std::mutex pts_mutex_;  // guards pts_
  std::multiset<int64_t> pts_;
};

}  // namespace orb::player
