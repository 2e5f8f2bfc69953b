#include "sdl_support.h"

#include <common/debug_trace.h>

#include <cstring>
#include <map>
#include <mutex>

namespace orb::player {
namespace {

std::map<std::uint32_t, std::vector<SDL_Event>> g_pending;  // by window ID, guarded by sdl_mutex()
int g_open_devices = 0;                                     // audio devices open, guarded by sdl_mutex()

std::uint32_t window_of(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_DROPFILE:
    case SDL_DROPBEGIN:
    case SDL_DROPCOMPLETE: return e.drop.windowID;
    default: return 0;
  }
}

}  // namespace

std::recursive_mutex& sdl_mutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

bool keep_sdl_video() {
  std::lock_guard lock(sdl_mutex());
  static bool up = false;
  if (!up) up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  return up;
}

void SdlAudioDevice::reset(SDL_AudioDeviceID id) {
  std::lock_guard lock(sdl_mutex());
  if (id_) {
    SDL_CloseAudioDevice(id_);
    --g_open_devices;
  }
  id_ = id;
}

std::unique_ptr<SdlSubsystem> start_audio_subsystem() {
  auto audio = std::make_unique<SdlSubsystem>(SDL_INIT_AUDIO);
  if (audio->ok()) return audio;
  debug_trace("audio: SDL audio unavailable (%s); using the dummy driver", SDL_GetError());
  {
    std::lock_guard lock(sdl_mutex());
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
  }
  return std::make_unique<SdlSubsystem>(SDL_INIT_AUDIO);
}

SDL_AudioDeviceID open_audio_output(const SDL_AudioSpec& wanted, SDL_AudioSpec& obtained) {
  std::lock_guard lock(sdl_mutex());
  SDL_AudioSpec want = wanted;
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &obtained, 0);
  if (id == 0) {
    const char* driver = SDL_GetCurrentAudioDriver();
    debug_trace("audio: no output device (%s); playing on the silent dummy driver", SDL_GetError());
    // Switching drivers closes every device: only when no other player has one.
    if (driver == nullptr || std::strcmp(driver, "dummy") != 0) {
      if (g_open_devices > 0 || SDL_AudioInit("dummy") != 0) return 0;
    }
    want = wanted;
    id = SDL_OpenAudioDevice(nullptr, 0, &want, &obtained, 0);
  }
  if (id != 0) ++g_open_devices;
  return id;
}

void take_window_events(std::uint32_t window_id, std::vector<SDL_Event>& out) {
  out.clear();
  std::lock_guard lock(sdl_mutex());
  SDL_PumpEvents();
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    if (e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT) SDL_free(e.drop.file);  // never used: hosts take drops
    const std::uint32_t owner = window_of(e);
    if (owner == 0 || e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT) continue;
    g_pending[owner].push_back(e);
  }
  auto it = g_pending.find(window_id);
  if (it != g_pending.end()) {
    out.swap(it->second);
    it->second.clear();
  }
}

void drop_window_events(std::uint32_t window_id) {
  std::lock_guard lock(sdl_mutex());
  g_pending.erase(window_id);
}

}  // namespace orb::player
