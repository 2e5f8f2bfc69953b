#pragma once
// Opening a media input the one way the suite does: local files must be
// regular files or devices (a FIFO or a folder named like a video would
// block or mislead the demuxer), network sources get a socket timeout, and
// every blocking call is interruptible: by a deadline while opening and by
// the caller's stop flag throughout.
#include <av/av_ptr.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace orb {

inline constexpr int kNetworkTimeoutMs = 10000;

class OpenedInput {
 public:
  OpenedInput() = default;
  OpenedInput(OpenedInput&&) noexcept = default;
  // Closing an input (an RTSP teardown) may still ask its interrupt state:
  // the old input goes before the state it points at.
  OpenedInput& operator=(OpenedInput&& other) noexcept {
    input_.reset();
    state_ = std::move(other.state_);
    input_ = std::move(other.input_);
    code_ = other.code_;
    return *this;
  }

  AVFormatContext* get() const { return input_.get(); }
  AVFormatContext* operator->() const { return input_.get(); }
  explicit operator bool() const { return input_ != nullptr; }
  // FFmpeg's code when opening failed (AVERROR_EXIT: no answer or stopped;
  // 0 when it was refused before FFmpeg saw it).
  int error_code() const { return code_; }

  // The reads from here on give up after `timeout_ms` (0: no deadline) or
  // once `stop` is set, replacing the flag given at opening; for a reader
  // whose stop flag means "stop" only while it reads.
  void bound_reads(int timeout_ms, const std::atomic<bool>* stop);

  struct Interrupt {
    std::atomic<std::int64_t> deadline_ms{0};  // steady clock; 0: none
    const std::atomic<bool>* stop = nullptr;   // the caller's stop flag, may be null
  };

 private:
  friend OpenedInput open_media(const char*, std::string&, const std::atomic<bool>*, int, AVIOContext*);
  std::unique_ptr<Interrupt> state_;  // outlives the context that points at it
  AvInputPtr input_;
  int code_ = 0;
};

// Opens `path` and reads its stream information. An empty OpenedInput with
// an "error: ..." line in `error` when it cannot: not found, not a regular
// file or device, no answer within `timeout_ms`, stopped, or unreadable.
// With `io`, the bytes come from it (the caller keeps and frees it) and
// `path` only names them.
OpenedInput open_media(const char* path, std::string& error, const std::atomic<bool>* stop = nullptr,
                       int timeout_ms = kNetworkTimeoutMs, AVIOContext* io = nullptr);

// An "error: ..." line when `path` names a local file that is not a regular
// file or a device (a FIFO, a folder, a socket); empty otherwise (also when
// it does not exist: opening it says that).
std::string refuse_special_file(const char* path);

// True for "proto://..." inputs FFmpeg opens over a network.
bool is_network_source(const char* path);

}  // namespace orb
