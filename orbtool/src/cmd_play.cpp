// orbtool play: a small host on the player engine, in a window of its own.
#include <av/media_open.h>
#include <libOrbPlayer/ISS_OrbPlayer.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "args.h"

namespace orb::tool {

namespace {

struct PlayerDeleter {
  void operator()(ISS_OrbPlayer* p) const {
    p->Stop();
    DestroyOrbPlayer(p);
  }
};

std::atomic<bool> g_ended{false};
std::atomic<int> g_error{0};

void on_end(void*) { g_ended = true; }
void on_error(void*, int code) {
  g_error = code;
  g_ended = true;
}

struct Layout {
  int viewports;
  int draw_mode;
};

}  // namespace

int play_main(int argc, char** argv) {
  std::string error;
  const Args args = parse_args(argc, argv, {"calib", "layout", "mount", "seconds", "size"}, {}, error);
  if (error.empty() && args.positional.size() != 1) error = "error: play needs one media path";
  int width = 1280, height = 720;
  if (error.empty() && args.get("size") && !parse_size(*args.get("size"), width, height)) {
    error = "error: --size must look like 1280x720";
  }
  Layout layout{1, 5};
  const std::string layout_name = args.get("layout").value_or("wide");
  if (layout_name == "wide")
    layout = {1, 5};
  else if (layout_name == "ball")
    layout = {1, 2};
  else if (layout_name == "split2")
    layout = {2, 2};
  else if (layout_name == "split4")
    layout = {4, 2};
  else if (error.empty())
    error = "error: --layout must be wide, ball, split2 or split4";
  int mount = 0;
  const std::string mount_name = args.get("mount").value_or("up");
  if (mount_name == "up")
    mount = 0;
  else if (mount_name == "down")
    mount = 1;
  else if (mount_name == "side")
    mount = 2;
  else if (error.empty())
    error = "error: --mount must be up, down or side";
  double seconds = 0;
  if (error.empty() && args.get("seconds")) {
    const auto s = to_number(*args.get("seconds"));
    if (!s || *s <= 0)
      error = "error: --seconds must be a positive number";
    else
      seconds = *s;
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }

  const std::string media = args.positional[0];
  // Streams (rtsp://, http://...) are the player's to open; local files are checked here.
  const bool stream = is_network_source(media.c_str());
  if (!stream && !std::filesystem::exists(media)) {
    std::fprintf(stderr, "error: %s does not exist\n", media.c_str());
    return 1;
  }
  if (const std::string refused = refuse_special_file(media.c_str()); !refused.empty()) {
    std::fprintf(stderr, "%s\n", refused.c_str());
    return 1;
  }
  std::string calibration = args.get("calib").value_or("");
  if (calibration.empty() && !stream) calibration = std::filesystem::path(media).replace_extension(".inf").string();
  const bool calibrated = std::filesystem::exists(calibration);
  if (!calibrated) {
    if (args.get("calib")) {
      std::fprintf(stderr, "error: calibration file %s does not exist\n", calibration.c_str());
      return 1;
    }
    std::fprintf(stderr, "note: no calibration file beside the video; showing the source picture\n");
    layout = {1, 0};
  }

  std::unique_ptr<ISS_OrbPlayer, PlayerDeleter> player(CreateOrbPlayer());
  if (!player) {
    std::fprintf(stderr, "error: cannot create a player\n");
    return 1;
  }
  MediaOpenParams params{media.c_str(), calibration.c_str(), nullptr, calibrated ? 0 : 1, 0, -1, mount};
  if (player->OpenMedia(&params) != 0) {
    std::fprintf(stderr, "%s", player->GetLastErrorText());
    return 1;
  }
  TimeParts duration{};
  player->GetDuration(&duration);
  player->SetWindowRect(64, 64, width, height);
  // Viewports tile the window: one, two side by side, or four quarters.
  const int cols = layout.viewports >= 2 ? 2 : 1;
  const int rows = layout.viewports == 4 ? 2 : 1;
  for (int i = 0; i < layout.viewports; ++i) {
    const int w = width / cols, h = height / rows;
    player->SetViewportRect((i % cols) * w, (rows - 1 - i / cols) * h, w, h, i);
    player->SetDrawMode(layout.draw_mode, i);
  }
  if (player->Play(nullptr, nullptr, on_end, nullptr, on_error) != 0) {
    std::fprintf(stderr, "%s", player->GetLastErrorText());
    return 1;
  }
  for (int i = 0; i < layout.viewports; ++i)
    player->SetViewAngles(0, static_cast<float>(i * 360 / layout.viewports), 0, i);
  std::printf("playing %s (%d:%02d.%03d) layout %s, mount %s\n", media.c_str(), duration.minutes, duration.seconds,
              duration.milliseconds, layout_name.c_str(), mount_name.c_str());
  const auto start = std::chrono::steady_clock::now();
  while (!g_ended) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds > 0 && elapsed >= seconds) break;
  }
  player->Stop();
  if (g_error != 0) {
    std::fprintf(stderr, "%s", player->GetLastErrorText());
    return 1;
  }
  std::printf("stopped at %lld s\n", static_cast<long long>(player->GetPlayTime() - 1));
  return 0;
}

}  // namespace orb::tool
