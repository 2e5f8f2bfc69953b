#pragma once
// An opened input with decoders for its video (and, when asked, its audio):
// the one place the suite goes from a path to decoded pictures. It inherits
// open_media's bounds (no FIFOs or folders, network timeouts, the stop flag)
// and sets every decoder up the same way.
#include <av/media_open.h>

#include <atomic>
#include <string>

namespace orb {

struct StreamDecoder {
  int index = -1;
  AVStream* stream = nullptr;
  AvCodecContextPtr decoder;
};

enum class InputFailure { none, not_opened, no_streams, no_video, no_decoder, decoder_not_opened };

struct InputOptions {
  bool audio = false;   // open the audio stream's decoder as well
  bool threads = true;  // decode video on every core (a single picture needs none)
  const std::atomic<bool>* stop = nullptr;
  int timeout_ms = kNetworkTimeoutMs;
  AVIOContext* io = nullptr;  // bytes from here instead of the path (kept by the caller)
};

class DecodingInput {
 public:
  // Never null: a failed opening says why in failure() and `error` (an
  // "error: ..." line without its end of line).
  static DecodingInput open(const char* path, const InputOptions& options, std::string& error);

  explicit operator bool() const { return failure_ == InputFailure::none; }
  InputFailure failure() const { return failure_; }
  int error_code() const { return input_.error_code(); }
  AVFormatContext* format() const { return input_.get(); }
  OpenedInput& input() { return input_; }

  StreamDecoder video;
  StreamDecoder audio;  // index -1 when not asked for or absent

  // To the key frame before `seconds` of the video; the pictures before it
  // are then decoded but not handed out. False when the input cannot seek.
  bool seek(double seconds);

  // The next video picture: 0, AVERROR_EOF once everything is out, or the
  // read error that ended the input early. Damaged packets are passed over
  // and counted, as a player would.
  int next_picture(AVFrame* picture);
  int damaged_packets() const { return damaged_; }

 private:
  OpenedInput input_;
  InputFailure failure_ = InputFailure::not_opened;
  AvPacketPtr packet_;
  std::int64_t skip_before_ = AV_NOPTS_VALUE;
  bool draining_ = false;
  int damaged_ = 0;
};

}  // namespace orb
