// Plays generated 1080p clips in a real window for a fixed time and prints
// how many of the frames due in that span were shown, the audio-video
// offset at display, and the CPU time per shown frame. Starts a virtual X
// display when there is none. Figures only; nothing is asserted.
#include <synth/fisheye_clip.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "player_impl.h"
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

struct Run {
  const char* clip;
  int fps;
  int viewports;
};

void measure(const std::string& media, const std::string& calibration, const Run& run, int window_w, int window_h,
             double seconds) {
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

  const double due = static_cast<double>(clock_b - clock_a) / 1000.0 * run.fps;
  const auto shown = static_cast<double>(b.frames_shown - a.frames_shown);
  const double offset = shown > 0 ? (b.offset_sum_ms - a.offset_sum_ms) / shown : 0;
  std::printf(
      "%-9s %d viewport%s %4dx%-4d  shown %5.0f / %5.0f due = %5.1f %%  dropped %4llu  "
      "av offset mean %+5.1f ms max %5.1f ms  cpu %5.1f ms/frame\n",
      run.clip, run.viewports, run.viewports == 1 ? " " : "s", window_w, window_h, shown, due,
      due > 0 ? 100 * shown / due : 0, static_cast<unsigned long long>(b.frames_dropped - a.frames_dropped), offset,
      b.offset_abs_max_ms, shown > 0 ? (cpu_b - cpu_a) * 1000 / shown : 0);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 6;
  const int window_w = argc > 2 ? std::atoi(argv[2]) : 960;
  const int window_h = argc > 3 ? std::atoi(argv[3]) : 540;
  av_log_set_level(AV_LOG_ERROR);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const pid_t xvfb = start_display();
  orb::test::TempDir dir;
  for (int fps : {60, 30}) {
    orb::synth::ClipSpec spec;
    spec.width = 1920;
    spec.height = 1080;
    spec.fps_num = fps;
    spec.seconds = seconds + 6;
    spec.fov_deg = 200;
    spec.audio = orb::synth::AudioTrack::kSine;
    const std::string media = (dir.path() / ("clip" + std::to_string(fps) + ".mp4")).string();
    const std::string calibration = (dir.path() / ("clip" + std::to_string(fps) + ".inf")).string();
    if (const std::string e = orb::synth::write_clip(media, spec); !e.empty()) {
      std::fprintf(stderr, "%s\n", e.c_str());
      return 1;
    }
    orb::write_calibration_file(calibration.c_str(), orb::synth::clip_calibration(spec));
    const std::string name = "1080p" + std::to_string(fps);
    for (int viewports : {1, 4})
      measure(media, calibration, {name.c_str(), fps, viewports}, window_w, window_h, seconds);
  }
  if (xvfb > 0) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
  return 0;
}
