#pragma once
// Decoded pictures waiting to be shown: up to 20 slots filled by the video
// decode thread and emptied by the render thread, with the pending
// presentation timestamps kept in ascending order (smallest first).
#include <av/av_ptr.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace orb::player {

class FrameRing {
 public:
  static constexpr int kSlots = 20;
  static constexpr int kMinSlots = 4;
  // What the pictures waiting may take: 20 slots of 1080p; fewer of larger
  // pictures (2880x2880 would take 250 MB in 20).
  static constexpr std::size_t kBudgetBytes = std::size_t{64} << 20;

  FrameRing();

  // Slots for pictures of `width` x `height` (YUV 4:2:0) within the budget.
  static int slots_for(int width, int height);
  // Empties the ring and sets how many pictures it holds (open, while
  // nothing plays).
  void set_capacity(int slots);
  int capacity() const;

  // Empties the ring and the timestamp list (seek, play, open).
  void reset();
  int count() const;
  bool full() const;

  // Stores a decoded picture at the write index: the frame's buffers are
  // moved in (no copy). The caller has checked that the ring is not full.
  void push(AvFramePtr& frame, int64_t pts);

  // Smallest pending timestamp.
  std::optional<int64_t> head_pts() const;
  // Every pending timestamp, smallest first.
  void pending_pts(std::vector<int64_t>& out) const;
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
  int capacity_ = kSlots;
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
