// Plays generated clips (1080p at 60 and 30 fps, 2880x2880 and 3840x2160 at
// 30 fps) in a real window for a fixed time and prints how many of the
// frames due in that span were shown and how many were dropped, the
// audio-video offset at display, the CPU time per shown frame and the
// peak resident memory. One row overloads the renderer on purpose (four
// views of 1080p60 at 1920x1080). Then the view-turn latency: from a mouse
// drag sent through XTEST to the return of the swap that shows the turned
// view, paused and playing (median and 95th percentile). Starts a virtual X
// display when there is none. Figures only; nothing is asserted.
#include <synth/fisheye_clip.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <algorithm>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include "player_impl.h"
#include "x11_window.h"

#include <X11/extensions/XTest.h>
#include "temp_dir.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

using namespace std::chrono_literals;

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A virtual display for the run, unless one is already there.
pid_t start_display() {
  if (std::getenv("DISPLAY")) return 0;
  for (int n = 140; n < 160; ++n) {
    if (access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0) continue;
    const pid_t pid = fork();
    if (pid == 0) {
      const std::string display = ":" + std::to_string(n);
      execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(1500ms);
    setenv("DISPLAY", (":" + std::to_string(n)).c_str(), 1);
    return pid;
  }
  return 0;
}

// Peak resident memory since the last reset, in MB (the kernel's
// high-water mark, which writing 5 to clear_refs starts again).
void reset_peak_memory() { std::ofstream("/proc/self/clear_refs") << "5"; }
double status_mb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == field) {
      double kb = 0;
      status >> kb;
      return kb / 1024;
    }
  }
  return 0;
}

struct Run {
  const char* clip;
  int fps;
  int viewports;
};

void measure(const std::string& media, const std::string& calibration, const Run& run, int window_w, int window_h,
             double seconds) {
  reset_peak_memory();
  const double before_mb = status_mb("VmRSS:");
  orb::player::ISS_OrbPlayerImpl player;
  MediaOpenParams params{media.c_str(), calibration.c_str(), "", 0, 0, -1, 0};
  if (player.OpenMedia(&params) != 0) {
    std::printf("%s: %s", run.clip, player.GetLastErrorText());
    return;
  }
  player.SetWindowRect(0, 0, window_w, window_h);
  if (run.viewports == 1) {
    player.SetViewportRect(0, 0, window_w, window_h, 0);
    player.SetDrawMode(5, 0);
  } else {
    for (int i = 0; i < 4; ++i) {
      player.SetViewportRect((i % 2) * window_w / 2, (i / 2) * window_h / 2, window_w / 2, window_h / 2, i);
      player.SetDrawMode(2, i);
    }
  }
  if (player.Play(nullptr, nullptr, nullptr, nullptr, nullptr) != 0) {
    std::printf("%s: %s", run.clip, player.GetLastErrorText());
    return;
  }
  std::this_thread::sleep_for(4000ms);  // warm-up: shaders, first key frame
  player.reset_offset_max();
  const orb::player::PlaybackStats a = player.stats();
  const int64_t clock_a = player.clock_ms();
  const double cpu_a = cpu_seconds();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const orb::player::PlaybackStats b = player.stats();
  const int64_t clock_b = player.clock_ms();
  const double cpu_b = cpu_seconds();
  player.Stop();
  const double peak_mb = status_mb("VmHWM:");

  const double due = static_cast<double>(clock_b - clock_a) / 1000.0 * run.fps;
  const auto shown = static_cast<double>(b.frames_shown - a.frames_shown);
  const double offset = shown > 0 ? (b.offset_sum_ms - a.offset_sum_ms) / shown : 0;
  std::printf(
      "%-9s %d viewport%s %4dx%-4d  shown %5.0f / %5.0f due = %5.1f %%  dropped %4llu  "
      "av offset mean %+5.1f ms max %5.1f ms  cpu %5.1f ms/frame  peak rss %4.0f MB (%.0f before)\n",
      run.clip, run.viewports, run.viewports == 1 ? " " : "s", window_w, window_h, shown, due,
      due > 0 ? 100 * shown / due : 0, static_cast<unsigned long long>(b.frames_dropped - a.frames_dropped), offset,
      b.offset_abs_max_ms, shown > 0 ? (cpu_b - cpu_a) * 1000 / shown : 0, peak_mb, before_mb);
  std::fflush(stdout);
}

int64_t steady_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Drags across the player's window (a host's child window, as the
// applications embed it) one step at a time and times each step to the
// swap that shows it.
void measure_turns(const std::string& media, const std::string& calibration, const char* clip, bool paused) {
  constexpr int kWidth = 960, kHeight = 540, kSteps = 40;
  orb::test::X11Host host(kWidth, kHeight);
  if (!host.ok()) return;
  orb::player::ISS_OrbPlayerImpl player;
  MediaOpenParams params{media.c_str(), calibration.c_str(), "", 0, 0, -1, 0};
  if (player.OpenMedia(&params) != 0) return;
  player.SetNativeWindow(host.child());
  player.SetViewportRect(0, 0, kWidth, kHeight, 0);
  player.SetDrawMode(5, 0);
  if (player.Play(nullptr, nullptr, nullptr, nullptr, nullptr) != 0) return;
  std::this_thread::sleep_for(2000ms);
  if (paused) player.Pause();
  std::this_thread::sleep_for(500ms);
  Display* d = host.display();
  XTestFakeMotionEvent(d, -1, kWidth / 2, kHeight / 2, CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XFlush(d);
  std::this_thread::sleep_for(200ms);
  std::vector<double> latencies;
  for (int i = 0; i < kSteps; ++i) {
    const std::uint64_t before = player.stats().turns_shown;
    const int64_t sent = steady_ns();
    XTestFakeMotionEvent(d, -1, kWidth / 2 + (i % 2 ? 6 : -6), kHeight / 2, CurrentTime);
    XFlush(d);
    const auto give_up = std::chrono::steady_clock::now() + 1s;
    while (player.stats().turns_shown == before && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(100us);
    const orb::player::PlaybackStats s = player.stats();
    if (s.turns_shown != before) latencies.push_back(static_cast<double>(s.last_turn_shown_ns - sent) / 1e6);
    // Steps land at every phase of the render loop.
    std::this_thread::sleep_for(std::chrono::milliseconds(37 + 7 * (i % 5)));
  }
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  XFlush(d);
  player.Stop();
  std::sort(latencies.begin(), latencies.end());
  const auto at = [&](double q) {
    return latencies.empty() ? 0.0
                             : latencies[std::min(latencies.size() - 1,
                                                  static_cast<std::size_t>(q * static_cast<double>(latencies.size())))];
  };
  std::printf("%-9s view turn %-7s  %2zu of %d steps shown  median %5.1f ms  p95 %5.1f ms\n", clip,
              paused ? "paused" : "playing", latencies.size(), kSteps, at(0.5), at(0.95));
  std::fflush(stdout);
}

// Each run in a process of its own, so its memory figures are its own.
void measure_apart(const std::string& media, const std::string& calibration, const Run& run, int window_w, int window_h,
                   double seconds) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    measure(media, calibration, run, window_w, window_h, seconds);
    std::fflush(stdout);
    _exit(0);
  }
  if (pid > 0) waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 6;
  const int window_w = argc > 2 ? std::atoi(argv[2]) : 960;
  const int window_h = argc > 3 ? std::atoi(argv[3]) : 540;
  av_log_set_level(AV_LOG_ERROR);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const pid_t xvfb = start_display();
  // ONLY=2880 (or another part of a clip's name) runs the matching clips.
  const char* only = std::getenv("ONLY");
  struct Source {
    const char* name;
    int width, height, fps;
    std::vector<Run> runs;  // viewports; a zero window size takes the default
  };
  const std::vector<Source> sources = {
      {"1080p60", 1920, 1080, 60, {}},
      {"1080p30", 1920, 1080, 30, {}},
      {"2880sq30", 2880, 2880, 30, {}},
      {"2160p30", 3840, 2160, 30, {}},
  };
  orb::test::TempDir dir;
  for (const Source& source : sources) {
    if (only && !std::strstr(source.name, only)) continue;
    orb::synth::ClipSpec spec;
    spec.width = source.width;
    spec.height = source.height;
    spec.fps_num = source.fps;
    spec.seconds = seconds + 6;
    spec.fov_deg = 200;
    spec.audio = orb::synth::AudioTrack::kSine;
    const std::string media = (dir.path() / (std::string(source.name) + ".mp4")).string();
    const std::string calibration = (dir.path() / (std::string(source.name) + ".inf")).string();
    if (const std::string e = orb::synth::write_clip(media, spec); !e.empty()) {
      std::fprintf(stderr, "%s\n", e.c_str());
      return 1;
    }
    orb::write_calibration_file(calibration.c_str(), orb::synth::clip_calibration(spec));
    malloc_trim(0);  // the clip writer's memory goes back before the player's is measured
    for (int viewports : {1, 4})
      measure_apart(media, calibration, {source.name, source.fps, viewports}, window_w, window_h, seconds);
    // The renderer overloaded on purpose: four full-size views of 60 fps.
    if (source.fps == 60) measure_apart(media, calibration, {source.name, source.fps, 4}, 1920, 1080, seconds);
    if (source.height == 1080) {
      for (bool paused : {true, false}) {
        std::fflush(stdout);
        if (const pid_t pid = fork(); pid == 0) {
          measure_turns(media, calibration, source.name, paused);
          _exit(0);
        } else if (pid > 0) {
          waitpid(pid, nullptr, 0);
        }
      }
    }
  }
  if (xvfb > 0) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
  return 0;
}
