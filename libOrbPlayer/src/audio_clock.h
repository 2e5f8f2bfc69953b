#pragma once
// The sound of a playback and the clock it drives: audio packets decoded,
// converted and mixed in the device's callback, which stamps the clock; for
// silent media a clock thread counts time instead. Everything the pictures
// are timed against lives here.
#include <av/av_ptr.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "packet_queue.h"
#include "playback_state.h"
#include "sdl_support.h"

namespace orb::player {

class AudioClock {
 public:
  explicit AudioClock(PlaybackState& state) : state_(state) {}

  // Takes the media's sound (none: a silent clock) and sets the clock's
  // base to its time base. False, with `error`, when it cannot be converted.
  bool open(AvCodecContextPtr decoder, const AVStream* stream, std::string& error);
  void close();
  bool silent() const { return !decoder_; }
  AVRational base() const { return base_; }

  // --- the clock, in base units
  int64_t read() const;
  void set(int64_t value);
  double units_to_ms(int64_t units) const;
  // Silent media: the clock continues from `position` now.
  void restart_at(int64_t position);
  // The clock thread of silent media: counts from `first_ms` (the video's
  // first timestamp) and holds while paused, until the playback stops.
  void run_silent_clock(int64_t first_ms);

  // --- the sound
  PacketQueue& queue() { return queue_; }
  void set_volume(int volume) { volume_ = volume; }
  // Forgets what a playback left half played (a new playback).
  void reset();
  // A seek: the decoder forgets its packets, and so do the queue and the
  // carried-over audio.
  void flush();
  // Opens the output device (render thread: SDL's audio runs beside its
  // video), started or paused as the playback is. False when it cannot.
  bool open_output();
  void close_output();
  // Caller holds the playback state's lock (PlaybackState::change).
  void pause_output(bool pause);

 private:
  static void audio_callback(void* self, Uint8* stream, int len);
  void fill(Uint8* stream, int len);

  PlaybackState& state_;
  AVRational base_{1, 1000};  // set by open, while nothing plays

  // --- decoding and mixing: the device callback's, once the device runs
  std::mutex decoder_mutex_;  // decoding against a seek's flush
  AvCodecContextPtr decoder_;
  PacketQueue queue_;
  SwrPtr resampler_;
  std::vector<std::uint8_t> out_;  // converted audio
  int carry_ = 0;                  // bytes of out_ not yet mixed; guarded by decoder_mutex_
  const std::uint8_t* read_ = nullptr;
  std::atomic<int> volume_{64};

  // --- the device: opened and closed by the render thread, paused and
  // resumed under the playback state's lock
  SDL_AudioSpec spec_{};
  std::unique_ptr<SdlSubsystem> subsystem_;
  SdlAudioDevice device_;

  // --- the clock
  mutable std::mutex clock_mutex_;  // guards everything below
  int64_t clock_ = 0;
  int64_t start_ms_ = 0;   // silent media: the start tick
  int64_t paused_ms_ = 0;  // silent media: the paused total
  int64_t epoch_ = 0;      // bumped by every restart of the base
};

}  // namespace orb::player
