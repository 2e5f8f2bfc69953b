#pragma once
// The input side of a playback: the opened media, the demux thread that
// reads its packets into the two queues, and the video decode thread that
// turns them into pictures in the ring. Sound packets go to the audio part.
#include <common/error_buffer.h>
#include <libOrbPlayer/ISS_OrbPlayer.h>

#include <av/av_ptr.h>
#include <av/frame_convert.h>
#include <av/media_open.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "audio_clock.h"
#include "frame_ring.h"
#include "packet_queue.h"
#include "playback_state.h"

namespace orb::player {

class MediaInput {
 public:
  MediaInput(PlaybackState& state, AudioClock& audio, ErrorBuffer<1024>& error)
      : state_(state), audio_(audio), error_(error) {}

  // Opens `path` and hands its sound to the audio part. 0, or the failure's
  // code with the message buffer written.
  int open(const char* path);
  void close();
  bool is_open() const { return input_ && video_stream_; }

  // --- what was opened (fixed while a playback runs)
  int width() const { return width_; }
  int height() const { return height_; }
  // One picture's duration (40 ms when the stream does not say).
  double frame_interval_ms() const { return frame_interval_ms_; }
  TimeParts duration() const { return duration_; }
  // The video's first timestamp, in the clock's units and in ms.
  int64_t start_in_clock() const;
  int64_t start_ms() const;

  FrameRing& ring() { return ring_; }
  // Pictures decoded behind the clock and discarded, this playback.
  std::uint64_t frames_dropped() const { return dropped_; }
  // A read failed before the end of the input (said through the buffer).
  bool lost() const { return lost_; }

  // Ready for a new playback: back to the start when played before.
  bool prepare_playback(bool rewind);
  // Lets go of every wait on a queue or the ring (a stop, a seek).
  void wake();
  // Moves the input to `target_ms` (whole seconds) and empties everything
  // read before; the clock starts there. Caller holds the pipeline still
  // (flushing). Returns FFmpeg's result.
  int seek(int64_t target_ms);

  // The thread bodies; each returns when the playback stops.
  void demux_loop();
  void decode_loop();

 private:
  void note_packet_end(const AVPacket* packet);
  std::string cut_short() const;
  int decode_packet(const AVPacket* packet);
  bool store_picture(AVFrame* picture);
  int64_t picture_pts(const AVFrame* picture) const;

  PlaybackState& state_;
  AudioClock& audio_;
  ErrorBuffer<1024>& error_;

  // --- opened and closed by the host thread while nothing plays
  OpenedInput input_;
  std::mutex input_mutex_;  // reading (demux) against seeking
  int video_index_ = -1;
  int audio_index_ = -1;
  AVStream* video_stream_ = nullptr;
  AvCodecContextPtr decoder_;
  std::mutex decoder_mutex_;  // decoding against a seek's flush
  int width_ = 0, height_ = 0;
  double frame_interval_ms_ = 40;
  TimeParts duration_{};
  int64_t opened_size_ = -1;  // bytes of a local file when opened

  // --- a playback's progress
  std::atomic<int64_t> read_end_ms_{0};  // demux thread: how far the packets read reach
  std::atomic<bool> lost_{false};        // demux thread: a read failed before the end
  std::atomic<bool> drained_{false};     // the decoder has handed out its last picture
  std::atomic<std::uint64_t> dropped_{0};

  PacketQueue video_queue_;
  FrameRing ring_;
  FrameScaler scaler_;  // decode thread only
};

}  // namespace orb::player
