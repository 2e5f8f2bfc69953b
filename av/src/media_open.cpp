#include <av/media_open.h>
#include <common/clock.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>

#include <sys/stat.h>

namespace orb {
namespace {

int interrupted(void* opaque) {
  const auto* state = static_cast<const OpenedInput::Interrupt*>(opaque);
  if (state->stop && state->stop->load()) return 1;
  const std::int64_t deadline = state->deadline_ms.load();
  return deadline > 0 && now_ms() > deadline ? 1 : 0;
}

}  // namespace

bool is_network_source(const char* path) {
  if (path == nullptr) return false;
  const std::string_view p(path);
  const std::size_t scheme = p.find("://");
  return scheme != std::string_view::npos && scheme > 1 && p.substr(0, scheme) != "file";
}

std::string refuse_special_file(const char* path) {
  struct stat info {};
  if (path == nullptr || is_network_source(path) || ::stat(path, &info) != 0) return {};
  if (S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return {};
  return std::string("error: ") + path + (S_ISDIR(info.st_mode) ? " is a folder" : " is not a regular file") +
         ", not a video";
}

void OpenedInput::bound_reads(int timeout_ms, const std::atomic<bool>* stop) {
  if (!state_) return;
  state_->stop = stop;
  state_->deadline_ms = timeout_ms > 0 ? now_ms() + timeout_ms : 0;
}

OpenedInput open_media(const char* path, std::string& error, const std::atomic<bool>* stop, int timeout_ms,
                       AVIOContext* io) {
  OpenedInput out;
  if (path == nullptr || *path == '\0') {
    error = "error: no input given";
    return out;
  }
  if (std::string refused = io ? std::string() : refuse_special_file(path); !refused.empty()) {
    error = refused;
    return out;
  }
  struct stat info {};
  if (!io && !is_network_source(path) && std::strchr(path, ':') == nullptr && ::stat(path, &info) != 0) {
    out.code_ = AVERROR(ENOENT);
    error = std::string("error: ") + path + " does not exist";  // "pipe:0" and the like are FFmpeg's to open
    return out;
  }
  out.state_ = std::make_unique<OpenedInput::Interrupt>();
  out.state_->stop = stop;
  out.state_->deadline_ms = now_ms() + timeout_ms;
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) {
    error = "error: out of memory opening the input";
    return out;
  }
  if (io) {
    raw->pb = io;
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;  // closing the input leaves it to the caller
  }
  raw->interrupt_callback.callback = interrupted;
  raw->interrupt_callback.opaque = out.state_.get();
  AVDictionary* options = nullptr;
  const std::string timeout_us = std::to_string(std::int64_t{timeout_ms} * 1000);
  if (is_network_source(path)) {
    av_dict_set(&options, "rw_timeout", timeout_us.c_str(), 0);  // every read and write on the socket
    av_dict_set(&options, "timeout", timeout_us.c_str(), 0);     // rtsp and tcp sockets
  }
  const int opened = avformat_open_input(&raw, path, nullptr, &options);  // frees raw on failure
  av_dict_free(&options);
  if (opened < 0) {
    out.code_ = opened;
    error = std::string("error: cannot open ") + path + ": " +
            (opened == AVERROR_EXIT ? std::string(stop && stop->load() ? "stopped" : "no answer in time")
                                    : av_error_text(opened));
    return out;
  }
  out.input_.reset(raw);
  if (const int found = avformat_find_stream_info(raw, nullptr); found < 0) {
    out.code_ = found;
    error = std::string("error: cannot read the streams of ") + path + ": " +
            (found == AVERROR_EXIT ? std::string("no answer in time") : av_error_text(found));
    out.input_.reset();
    return out;
  }
  // Opened: from here the socket timeout and the stop flag bound each read.
  out.state_->deadline_ms = 0;
  return out;
}

}  // namespace orb
