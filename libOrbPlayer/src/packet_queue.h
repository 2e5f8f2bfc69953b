#pragma once
// A bounded queue of demuxed packets (one for audio, one for video). The
// demux thread appends while fewer than kLimit are queued; the decoders take
// from the head. Each side can wait for the other, woken by its hand-off;
// the waits are bounded so the caller also sees a stop or a seek.
#include <av/av_ptr.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace orb::player {

class PacketQueue {
 public:
  static constexpr int kLimit = 50;

  bool full() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(packets_.size()) >= kLimit;
  }
  int count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(packets_.size());
  }
  bool empty() const { return count() == 0; }
  void push(AvPacketPtr packet) {
    {
      std::lock_guard lock(mutex_);
      packets_.push_back(std::move(packet));
    }
    changed_.notify_all();
  }
  // The head packet, or null when the queue is empty.
  AvPacketPtr pop() {
    AvPacketPtr p;
    {
      std::lock_guard lock(mutex_);
      if (packets_.empty()) return nullptr;
      p = std::move(packets_.front());
      packets_.pop_front();
    }
    changed_.notify_all();
    return p;
  }
  void clear() {
    {
      std::lock_guard lock(mutex_);
      packets_.clear();
    }
    changed_.notify_all();
  }
  // Up to `timeout` for room (a decoder took a packet) or for a packet;
  // wake() ends either wait at once (a stop, a seek).
  void wait_for_room(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const std::uint64_t seen = wakes_;
    changed_.wait_for(lock, timeout, [&] { return static_cast<int>(packets_.size()) < kLimit || wakes_ != seen; });
  }
  void wait_for_packet(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const std::uint64_t seen = wakes_;
    changed_.wait_for(lock, timeout, [&] { return !packets_.empty() || wakes_ != seen; });
  }
  void wake() {
    {
      std::lock_guard lock(mutex_);
      ++wakes_;
    }
    changed_.notify_all();
  }

 private:
  mutable std::mutex mutex_;
  std::deque<AvPacketPtr> packets_;  // guarded by mutex_
  std::condition_variable changed_;  // a push, a pop, a clear or a wake
  std::uint64_t wakes_ = 0;          // guarded by mutex_
};

}  // namespace orb::player
