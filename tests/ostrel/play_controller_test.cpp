// The play controller driving the real player in a host window: first-run
// calibration, layouts with their presets, stops that are lost or wait,
// and the end hook.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "clips.h"
#include "play_controller.h"
#include "temp_dir.h"
#include "x11_window.h"

namespace ostrel {
namespace {

using namespace std::chrono_literals;

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

class Controller : public testing::Test {
 protected:
  void SetUp() override {
    host_ = std::make_unique<orb::test::X11Host>(800, 600);
    ASSERT_TRUE(host_->ok());
    controller_ = std::make_unique<PlayController>(dir_.path(), [] { return std::pair{800, 600}; });
    controller_->set_end_hook([this] { ++ends_; });
  }
  void TearDown() override {
    controller_.reset();  // stops and destroys the player before the window goes
    host_.reset();
  }
  const orb::test::Clip& clip(double seconds = 3) {
    return orb::test::clip("ctl" + std::to_string(static_cast<int>(seconds)) + ".mp4",
                           orb::test::clip_spec(320, 240, 25, seconds, orb::synth::AudioTrack::kNone));
  }

  orb::test::TempDir dir_;
  std::unique_ptr<orb::test::X11Host> host_;
  std::unique_ptr<PlayController> controller_;
  std::atomic<int> ends_{0};
};

TEST_F(Controller, FirstRunPlaysWithTheVideosLensAndTheLayout) {
  ASSERT_TRUE(controller_->start_playback(host_->child(), clip().media.string()));
  controller_->wait_idle();
  ASSERT_TRUE(controller_->is_playing());
  // No "varozod.cfg" yet: the shipped defaults are written. The video plays
  // with the calibration beside it; the configured file is not made from it,
  // so no other video inherits this camera's lens.
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "varozod.cfg"));
  EXPECT_EQ(controller_->calibration_path(), clip().calibration.string());
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / kDefaultCalibrationName));
  // The default layout: four views with the presets of a camera facing down.
  EXPECT_EQ(controller_->current_plan().count, 4);
  float p = 0, y = 0, r = 0;
  controller_->player()->GetViewAngles(2, &p, &y, &r);
  EXPECT_EQ(p, -31.0f);
  EXPECT_EQ(y, -91.0f);
  controller_->set_mount_mode(2);
  controller_->apply_layout(kLayoutSplit2);
  EXPECT_EQ(controller_->current_plan().rects[1].y, 300);
  controller_->player()->GetViewAngles(1, &p, &y, &r);
  EXPECT_EQ(p, 15.0f);
  EXPECT_EQ(y, -90.0f);
  EXPECT_EQ(controller_->total_seconds(), 3);
  EXPECT_GE(controller_->current_seconds(), 1);
  controller_->set_volume_percent(60);
  controller_->stop_playback();
  controller_->wait_idle();
  EXPECT_FALSE(controller_->is_playing());
  EXPECT_EQ(ends_, 0);  // a stop the user asked for is not an end of file
}

TEST_F(Controller, AStopBeforePlayingIsLostAndOneAfterWaits) {
  controller_->start_playback(host_->child(), clip(5).media.string());
  controller_->stop_playback();  // the player is not playing yet: nothing happens
  controller_->wait_idle();
  EXPECT_TRUE(controller_->is_playing());
  controller_->stop_playback();
  controller_->wait_idle();
  EXPECT_FALSE(controller_->is_playing());
}

TEST_F(Controller, TheEndHookRunsWhenAFileEndsByItself) {
  controller_->start_playback(host_->child(), clip(1).media.string());
  ASSERT_TRUE(wait_until([&] { return ends_ > 0; }, 15s));
  EXPECT_FALSE(controller_->is_playing());
}

TEST_F(Controller, SeekingFromTheSliderKeepsAPause) {
  controller_->start_playback(host_->child(), clip(5).media.string());
  controller_->wait_idle();
  ASSERT_TRUE(controller_->is_playing());
  controller_->pause();
  // 601/1000 of 5 s asks for 0:03 less a millisecond, and the player seeks
  // in whole seconds: second 2.
  controller_->seek_to_slider(601);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(controller_->current_seconds(), 3);  // position 2, plus one
  EXPECT_TRUE(controller_->paused());
}

}  // namespace
}  // namespace ostrel
