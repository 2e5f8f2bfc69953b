#pragma once
// SDL pieces shared by every player in the process: reference-counted
// subsystems, owners for windows, contexts and audio devices, and one event
// pump that hands each render thread the events of its own window.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace orb::player {

// SDL's video state is process-wide: players on several render threads
// create and destroy windows, contexts and subsystems under this lock.
std::recursive_mutex& sdl_mutex();

// Video, once up, stays up for the rest of the process: each
// re-initialisation opens a new display connection, and the GL driver keeps
// a little state per connection until exit (a few KB every playback).
// False while SDL cannot reach a display; a later call tries again.
bool keep_sdl_video();

// SDL_InitSubSystem / SDL_QuitSubSystem: one player ending never shuts SDL
// down under another.
class SdlSubsystem {
 public:
  explicit SdlSubsystem(std::uint32_t flags) : flags_(flags) {
    std::lock_guard lock(sdl_mutex());
    ok_ = SDL_InitSubSystem(flags) == 0;
  }
  ~SdlSubsystem() {
    std::lock_guard lock(sdl_mutex());
    if (ok_) SDL_QuitSubSystem(flags_);
  }
  SdlSubsystem(const SdlSubsystem&) = delete;
  SdlSubsystem& operator=(const SdlSubsystem&) = delete;
  bool ok() const { return ok_; }

 private:
  std::uint32_t flags_;
  bool ok_ = false;
};

struct SdlWindowDeleter {
  void operator()(SDL_Window* w) const {
    std::lock_guard lock(sdl_mutex());
    SDL_DestroyWindow(w);
  }
};
using SdlWindowPtr = std::unique_ptr<SDL_Window, SdlWindowDeleter>;

class SdlGlContext {
 public:
  SdlGlContext() = default;
  explicit SdlGlContext(SDL_GLContext c) : context_(c) {}
  ~SdlGlContext() {
    std::lock_guard lock(sdl_mutex());
    if (context_) SDL_GL_DeleteContext(context_);
  }
  SdlGlContext(const SdlGlContext&) = delete;
  SdlGlContext& operator=(const SdlGlContext&) = delete;
  SDL_GLContext get() const { return context_; }

 private:
  SDL_GLContext context_ = nullptr;
};

class SdlAudioDevice {
 public:
  SdlAudioDevice() = default;
  explicit SdlAudioDevice(SDL_AudioDeviceID id) : id_(id) {}
  ~SdlAudioDevice() { reset(); }
  SdlAudioDevice(const SdlAudioDevice&) = delete;
  SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;
  SDL_AudioDeviceID id() const { return id_; }
  void reset(SDL_AudioDeviceID id = 0);

 private:
  SDL_AudioDeviceID id_ = 0;
};

// The audio subsystem; when no driver starts (an unknown SDL_AUDIODRIVER,
// no sound system at all), SDL's silent "dummy" driver, chosen through an
// SDL hint rather than the process environment, which other threads read.
std::unique_ptr<SdlSubsystem> start_audio_subsystem();

// Opens the default output device; when none opens (no sound card, no
// server), switches SDL to its "dummy" driver, says so on the diagnostic
// channel and opens that, so the video still plays on an audio clock.
SDL_AudioDeviceID open_audio_output(const SDL_AudioSpec& wanted, SDL_AudioSpec& obtained);

// Pumps SDL's queue and returns the events that belong to `window_id`
// (events of other players' windows are kept for them).
void take_window_events(std::uint32_t window_id, std::vector<SDL_Event>& out);
// Forgets events still queued for a window that is going away.
void drop_window_events(std::uint32_t window_id);

}  // namespace orb::player
