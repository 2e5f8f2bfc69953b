#include "frame_ring.h"

#include <av/picture_budget.h>

#include <algorithm>

namespace orb::player {

FrameRing::FrameRing() {
  for (AvFramePtr& slot : slots_) slot = make_frame();
}

void FrameRing::reset() {
  {
    std::lock_guard lock(mutex_);
    for (AvFramePtr& slot : slots_) av_frame_unref(slot.get());
    filled_.fill(false);
    count_ = write_ = read_ = 0;
    ++generation_;
    std::lock_guard pts_lock(pts_mutex_);
    pts_.clear();
  }
  changed_.notify_all();
}

int FrameRing::slots_for(int width, int height) {
  return pictures_within(kBudgetBytes, width, height, kMinSlots, kSlots);
}

void FrameRing::set_capacity(int slots) {
  reset();
  std::lock_guard lock(mutex_);
  capacity_ = std::clamp(slots, 1, kSlots);
}

int FrameRing::capacity() const {
  std::lock_guard lock(mutex_);
  return capacity_;
}

bool FrameRing::full() const {
  std::lock_guard lock(mutex_);
  return count_ >= capacity_;
}

int FrameRing::count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

void FrameRing::push(AvFramePtr& frame, int64_t pts) {
  {
    std::lock_guard lock(mutex_);
    AVFrame* slot = slots_[static_cast<std::size_t>(write_)].get();
    av_frame_unref(slot);
    av_frame_move_ref(slot, frame.get());
    filled_[static_cast<std::size_t>(write_)] = true;
    ++count_;
    {
      std::lock_guard pts_lock(pts_mutex_);
      pts_.insert(pts);
    }
    write_ = (write_ + 1) % capacity_;
    ++generation_;
  }
  changed_.notify_all();
}

std::optional<int64_t> FrameRing::head_pts() const {
  std::lock_guard lock(pts_mutex_);
  if (pts_.empty()) return std::nullopt;
  return *pts_.begin();
}

void FrameRing::pending_pts(std::vector<int64_t>& out) const {
  std::lock_guard lock(pts_mutex_);
  out.assign(pts_.begin(), pts_.end());
}

AvFramePtr FrameRing::take() {
  {
    std::lock_guard pts_lock(pts_mutex_);
    if (!pts_.empty()) pts_.erase(pts_.begin());
  }
  AvFramePtr out;
  {
    std::lock_guard lock(mutex_);
    if (count_ == 0) return nullptr;
    out = make_frame();
    av_frame_move_ref(out.get(), slots_[static_cast<std::size_t>(read_)].get());
    filled_[static_cast<std::size_t>(read_)] = false;
    --count_;
    read_ = (read_ + 1) % capacity_;
  }
  changed_.notify_all();  // a decoder waiting for room
  return out;
}

std::uint64_t FrameRing::generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

void FrameRing::wait_for_change(std::uint64_t seen, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return generation_ != seen; });
}

}  // namespace orb::player

namespace orb::player {

void FrameRing::wait_for_room(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const std::uint64_t seen = wakes_;
  changed_.wait_for(lock, timeout, [&] { return count_ < capacity_ || wakes_ != seen; });
}

void FrameRing::wake() {
  {
    std::lock_guard lock(mutex_);
    ++wakes_;
  }
  changed_.notify_all();
}

}  // namespace orb::player
