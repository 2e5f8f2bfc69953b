#pragma once
// A bounded queue of demuxed packets (one for audio, one for video). The
// demux thread appends while fewer than kLimit are queued; the decoders take
// from the head.
#include <av/av_ptr.h>

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
    std::lock_guard lock(mutex_);
    packets_.push_back(std::move(packet));
  }
  // The head packet, or null when the queue is empty.
  AvPacketPtr pop() {
    std::lock_guard lock(mutex_);
    if (packets_.empty()) return nullptr;
    AvPacketPtr p = std::move(packets_.front());
    packets_.pop_front();
    return p;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    packets_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::deque<AvPacketPtr> packets_;  // guarded by mutex_
};

}  // namespace orb::player
