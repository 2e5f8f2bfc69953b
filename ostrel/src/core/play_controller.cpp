#include "play_controller.h"

#include <av/media_open.h>
#include <common/debug_trace.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

namespace ostrel {

PlayController::PlayController(std::filesystem::path data_dir, std::function<std::pair<int, int>()> window_size)
    : data_dir_(std::move(data_dir)), window_size_(std::move(window_size)) {}

PlayController::~PlayController() {
  closing_ = true;
  join_threads();
  stop_requested_ = true;
  if (auto p = player()) p->Stop();
}

std::shared_ptr<ISS_OrbPlayer> PlayController::player() const {
  std::lock_guard lock(state_mutex_);
  return player_;
}

LayoutPlan PlayController::current_plan() const {
  std::lock_guard lock(state_mutex_);
  return plan_;
}

void PlayController::join_threads() {
  if (play_.joinable()) play_.join();
  if (stop_.joinable()) stop_.join();
}

void PlayController::wait_idle() { join_threads(); }

void PlayController::close() {
  closing_ = true;
  join_threads();  // a start in flight gives up or gets the player playing first
  stop_playback();
  join_threads();
}

bool PlayController::start_playback(unsigned long window, const std::string& path) {
  if (play_.joinable()) play_.join();  // an earlier start has finished or finishes now
  media_path_ = path;
  window_ = window;
  started_ = false;
  ++threads_in_flight_;
  play_ = std::thread([this] {
    play_thread();
    --threads_in_flight_;
  });
  return true;
}

void PlayController::stop_playback() {
  if (std::shared_ptr<ISS_OrbPlayer> victim = player(); victim && victim->IsPlaying()) {
    stop_requested_ = true;
    if (stop_.joinable()) stop_.join();
    ++threads_in_flight_;
    // The player playing now: a start queued behind this stop must not be
    // the one it stops.
    stop_ = std::thread([this, victim = std::move(victim)] {
      stop_thread(*victim);
      --threads_in_flight_;
    });
  }
}

bool PlayController::is_playing() const {
  const auto p = player();
  return p && p->IsPlaying() != 0;
}

std::int64_t PlayController::total_seconds() const {
  const auto p = player();
  if (!p) return 1;
  TimeParts d{};
  p->GetDuration(&d);
  return std::int64_t{d.minutes} * 60 + d.seconds;
}

std::int64_t PlayController::current_seconds() const {
  const auto p = player();
  return p ? p->GetPlayTime() : 1;
}

void PlayController::set_volume_percent(int percent) {
  if (const auto p = player(); p && p->IsPlaying()) p->SetVolume(volume_from_percent(percent));
}

void PlayController::seek_to_slider(int slider_value) {
  const auto p = player();
  if (!p) return;
  TimeParts d;
  {
    std::lock_guard lock(state_mutex_);
    d = duration_;
  }
  const SeekTarget t = seek_target(slider_value, d.minutes, d.seconds);
  if (p->Seek(t.minutes, t.seconds, t.milliseconds) != 0) orb::debug_trace("%s", p->GetLastErrorText());
  if (paused_) p->Pause();  // a seek resumes; the user had paused
}

void PlayController::seek_by(int delta_seconds) {
  if (!is_playing()) return;
  seek_to_seconds(current_seconds() - 1 + delta_seconds);  // the player counts from 1
}

void PlayController::seek_to_seconds(std::int64_t seconds) {
  const auto p = player();
  if (!p || !p->IsPlaying()) return;
  const std::int64_t total = total_seconds();
  if (total <= 0) return;  // a live stream has nowhere to seek to
  const std::int64_t target = std::clamp<std::int64_t>(seconds, 0, total - 1);
  if (p->Seek(static_cast<int>(target / 60), static_cast<int>(target % 60), 0) != 0) {
    orb::debug_trace("%s", p->GetLastErrorText());
  }
  if (paused_) p->Pause();  // a seek resumes; the user had paused
}

void PlayController::pause() {
  paused_ = true;
  if (const auto p = player()) p->Pause();
}

void PlayController::resume() {
  paused_ = false;
  if (const auto p = player()) p->Resume();
}

void PlayController::on_end(void* self) {
  auto* c = static_cast<PlayController*>(self);
  // A stream that stopped or a file cut short ends like any file, with the reason kept.
  if (const auto p = c->player()) {
    const std::string text = p->GetLastErrorText();
    if (text.rfind("error: the input was lost", 0) == 0) {
      std::lock_guard state(c->state_mutex_);
      c->failure_ = {ORB_ERROR, text};
    }
  }
  if (!c->stop_requested_ && c->end_hook_) c->end_hook_();
}

void PlayController::on_error(void* self, int code) {
  auto* c = static_cast<PlayController*>(self);
  if (code != ORB_ERROR_WINDOW) return;
  const auto p = c->player();
  const std::string text = p ? p->GetLastErrorText() : "";
  orb::debug_trace(
      "/************************************Error*****************\n%s\n"
      "/***************************************r*****************\n",
      text.c_str());
  if (c->fatal_hook_) c->fatal_hook_(text);
}

void PlayController::play_thread() {
  std::lock_guard lock(mutex_);
  const std::filesystem::path varozod = data_dir_ / "varozod.cfg";
  if (!std::filesystem::exists(varozod)) write_default_varozod(varozod);  // a first run
  // The previous player goes first: it may still read its open parameters,
  // and its stop is one the user asked for, never the end of a file.
  if (std::shared_ptr<ISS_OrbPlayer> old = player()) {
    stop_requested_ = true;
    old->Stop();
  }
  play_param_ = read_play_param(varozod, data_dir_);
  params_ = std::make_unique<MediaOpenParams>();
  params_->logo_path = play_param_.logo_path.c_str();
  params_->no_calibration = 0;
  params_->logo_enabled = play_param_.need_logo;
  params_->logo_angle = play_param_.logo_fov;
  params_->mount_mode = mount_mode_;
  params_->media_path = media_path_.c_str();
  std::shared_ptr<ISS_OrbPlayer> fresh(CreateOrbPlayer(), [](ISS_OrbPlayer* p) { DestroyOrbPlayer(p); });
  {
    std::lock_guard state(state_mutex_);
    player_ = fresh;
  }
  if (!fresh) {
    orb::debug_trace("Create Player Error.\n");
    return;
  }
  ISS_OrbPlayer* const player_now = fresh.get();
  {
    std::lock_guard state(state_mutex_);
    failure_ = {};
  }
  auto log_failure = [&](int result) {
    if (result != 0) orb::debug_trace("%s", player_now->GetLastErrorText());
  };
  auto keep_failure = [&](int result) {
    log_failure(result);
    std::lock_guard state(state_mutex_);
    if (result != 0 && failure_.code == 0) failure_ = {result, player_now->GetLastErrorText()};
  };
  // This video's own lens; a video that cannot be probed still gets a file
  // (the player then reports what is wrong with the video itself).
  std::string probe_error;
  const auto probed = probe_video_size(media_path_, &closing_, &probe_error);
  if (closing_) return;  // the application is ending: the start's other waits are not waited out
  // A camera that did not answer in time is not asked again: one timeout, then the reason.
  if (!probed && orb::is_network_source(media_path_.c_str()) &&
      probe_error.find("no answer in time") != std::string::npos) {
    std::lock_guard state(state_mutex_);
    failure_ = {ORB_ERROR_OPEN, probe_error};
    return;
  }
  const auto size = probed.value_or(std::pair{1920, 1080});
  const CalibrationChoice lens = choose_calibration(
      media_path_, size.first, size.second, play_param_.calibration_path, data_dir_,
      [&](const char* media, const char* out) { return player_now->CreateCalibrationFile(media, out); });
  calibration_path_ = lens.path;
  {
    std::lock_guard state(state_mutex_);
    chosen_calibration_ = lens.path;
  }
  orb::debug_trace("%s", calibration_path_.c_str());
  params_->calibration_path = calibration_path_.c_str();
  // Not even a default lens could be written (a full disk): the plain picture, never a renderer failure.
  std::error_code missing;
  if (!std::filesystem::is_regular_file(calibration_path_, missing)) params_->no_calibration = 1;
  if (calibration_hook_) calibration_hook_(media_path_, lens);
  if (closing_) return;
  keep_failure(player_now->OpenMedia(params_.get()));
  TimeParts duration{};
  player_now->GetDuration(&duration);
  {
    std::lock_guard state(state_mutex_);
    duration_ = duration;
  }
  const auto [w, h] = window_size_();
  log_failure(player_now->SetNativeWindow(window_));
  log_failure(player_now->SetViewportRect(0, 0, w, h, 0));
  stop_requested_ = false;
  paused_ = false;
  const int played = player_now->Play(nullptr, this, &PlayController::on_end, this, &PlayController::on_error);
  keep_failure(played);
  started_ = played == 0;
  if (const std::int64_t at = start_at_.exchange(0); at > 0) seek_to_seconds(at);
  if (start_paused_.exchange(false) && started_) pause();
  log_failure(player_now->SetViewportRect(0, 0, w, h, 0));
  apply_layout(layout_);
}

void PlayController::stop_thread(ISS_OrbPlayer& victim) {
  std::lock_guard lock(mutex_);
  if (victim.Stop() != 0) orb::debug_trace("%s", victim.GetLastErrorText());
}

void PlayController::apply_layout(std::int32_t layout) {
  layout_ = layout;
  const std::shared_ptr<ISS_OrbPlayer> player_ref = player();
  if (!player_ref || !player_ref->IsPlaying()) return;
  const auto [w, h] = window_size_();
  const std::array<CameraParam, 4> cameras = read_camera_params(data_dir_ / "varozod.cfg");
  ISS_OrbPlayer* p = player_ref.get();
  auto log_failure = [&](int result) {
    if (result != 0) orb::debug_trace("%s", p->GetLastErrorText());
  };
  if (is_source_picture(media_path_)) {
    {
      std::lock_guard state(state_mutex_);
      plan_ = source_picture_plan(w, h);
    }
    for (int v = 1; v < 4; ++v) log_failure(p->DisableViewport(v));
    log_failure(p->SetDrawMode(orb::DRAW_MODE_SOURCE, 0));
    log_failure(p->SetViewportRect(0, 0, w, h, 0));
    return;
  }
  const std::optional<LayoutPlan> planned = plan_layout(layout, w, h);
  if (!planned) return;
  const LayoutPlan plan = *planned;
  {
    std::lock_guard state(state_mutex_);
    plan_ = plan;
  }
  for (int v = plan.count; v < 4; ++v) log_failure(p->DisableViewport(v));
  for (int v = 0; v < plan.count; ++v) {
    const Rect& r = plan.rects[static_cast<std::size_t>(v)];
    log_failure(p->SetViewportRect(r.x, r.y, r.width, r.height, v));
    log_failure(p->SetDrawMode(plan.draw_mode, v));
  }
  for (int v = 0; v < plan.count; ++v) {
    if (const auto angles = preset_angles(plan.count, v, mount_mode_)) {
      log_failure(p->SetViewAngles((*angles)[0], (*angles)[1], (*angles)[2], v));
    }
    const auto& l = cameras[static_cast<std::size_t>(plan.limits_record)].limits;
    log_failure(p->SetAngleLimits(l[0], l[1], l[2], l[3], l[4], l[5], v));
  }
}

}  // namespace ostrel
