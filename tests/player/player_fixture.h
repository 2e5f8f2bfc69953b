#pragma once
// A player on a generated clip, with its callbacks counted.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "clips.h"
#include "player_impl.h"

namespace orb::test {

class PlayerTest : public testing::Test {
 protected:
  void SetUp() override { player_ = std::make_unique<player::ISS_OrbPlayerImpl>(); }
  void TearDown() override {
    if (player_) player_->Stop();
  }

  int open(const Clip& c, const char* logo = nullptr) {
    media_ = c.media.string();
    calibration_ = c.calibration.string();
    logo_ = logo ? logo : "";
    params_ = MediaOpenParams{media_.c_str(), calibration_.c_str(), logo_.c_str(), 0, logo ? 1 : 0, -1, 0};
    return player_->OpenMedia(&params_);
  }

  // A player-owned window showing the source picture at its own size.
  void source_layout(const Clip& c) {
    player_->SetWindowRect(0, 0, c.spec.width, c.spec.height);
    player_->SetViewportRect(0, 0, c.spec.width, c.spec.height, 0);
    player_->SetDrawMode(0, 0);
  }

  int play() { return player_->Play(nullptr, nullptr, &PlayerTest::on_end, this, &PlayerTest::on_error); }

  static bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  static void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  static void on_end(void* self) { ++static_cast<PlayerTest*>(self)->ends_; }
  static void on_error(void* self, int code) {
    auto* t = static_cast<PlayerTest*>(self);
    t->error_code_ = code;
    ++t->errors_;
  }

  std::unique_ptr<player::ISS_OrbPlayerImpl> player_;
  MediaOpenParams params_{};
  std::string media_, calibration_, logo_;
  std::atomic<int> ends_{0};
  std::atomic<int> errors_{0};
  std::atomic<int> error_code_{0};
};

}  // namespace orb::test
