#pragma once
// Sound the output's container cannot hold as it is (PCM in MP4, for one)
// re-encoded as AAC: decoded, converted to the encoder's sample layout,
// cut into the encoder's frame size and encoded, with timestamps counted
// in samples from the first one so the track stays continuous.
#include <av/av_ptr.h>

#include <functional>
#include <string>

extern "C" {
#include <libavutil/audio_fifo.h>
}

namespace orb::converter {

class AudioTranscoder {
 public:
  using Write = std::function<int(AVPacket*)>;  // < 0 stops the transcoding

  // True when `output` can take `codec` copied as it is.
  static bool container_takes(const AVFormatContext* output, AVCodecID codec);

  // Sets `stream` (new, in `output`) up for AAC of the decoder's sound; an
  // "error: ..." line when it cannot.
  std::string open(const AVCodecContext* decoder, AVFormatContext* output, AVStream* stream);

  // One input packet, its pts already counted from the conversion's start
  // in `time_base`; encoded packets go to `write` in the stream's time base.
  int push(AVCodecContext* decoder, const AVPacket* packet, AVRational time_base, const Write& write);
  // What the decoder, the resampler and the encoder still hold, at the end.
  int finish(AVCodecContext* decoder, AVRational time_base, const Write& write);

 private:
  int take_decoded(AVCodecContext* decoder, AVRational time_base, const Write& write);
  int store(const std::uint8_t** data, int samples);
  int store_silence(int64_t samples);
  int encode_available(bool flush, const Write& write);
  int send(AVFrame* frame, const Write& write);

  struct FifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
  };
  AvCodecContextPtr encoder_;
  SwrPtr resampler_;
  std::unique_ptr<AVAudioFifo, FifoDeleter> fifo_;
  AVStream* stream_ = nullptr;
  AvFramePtr decoded_;
  int64_t next_pts_ = AV_NOPTS_VALUE;  // in samples
};

}  // namespace orb::converter
