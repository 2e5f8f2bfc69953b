// Playback in real windows under X: end of media, pausing, seeking, the
// refusals while playing, view angles, the host's child window with its
// double-click message and resizing, and many Play/Stop cycles.
#include <synth/fisheye_clip.h>

#include <malloc.h>

#include <cmath>
#include <cstdlib>

#include "capture.h"
#include "player_fixture.h"
#include "x11_window.h"

namespace orb::test {
namespace {

using synth::AudioTrack;
using namespace std::chrono_literals;

const Clip& silent25() { return clip("silent25.mp4", clip_spec(320, 240, 25, 3, AudioTrack::kNone)); }
const Clip& sound30() { return clip("sound30.mp4", clip_spec(320, 240, 30, 3, AudioTrack::kSine)); }

using Playback = PlayerTest;

TEST_F(Playback, PlaysToTheEndAndCallsEndOnce) {
  for (const Clip* c : {&silent25(), &sound30()}) {
    ends_ = 0;
    ASSERT_EQ(open(*c), 0) << player_->GetLastErrorText();
    source_layout(*c);
    ASSERT_EQ(play(), 0) << player_->GetLastErrorText();
    EXPECT_EQ(player_->IsPlaying(), 1);
    ASSERT_TRUE(wait_until([&] { return ends_ > 0; }, 15s)) << c->media;
    sleep_ms(300);
    EXPECT_EQ(ends_, 1);
    EXPECT_EQ(player_->IsPlaying(), 0);
    const player::PlaybackStats s = player_->stats();
    const int frames = c->spec.frame_count();
    EXPECT_GE(s.frames_shown + s.frames_dropped, static_cast<std::uint64_t>(frames - 2)) << c->media;
    EXPECT_GT(s.frames_shown, 0u) << c->media;
    EXPECT_EQ(errors_, 0);
  }
}

// Tiny and odd pictures go through the decoder, the scaler and the textures
// without writing past a buffer (the sanitizer build checks) and play out.
TEST_F(Playback, TinyAndOddPicturesPlayToTheEnd) {
  for (const auto& [w, h] : {std::pair{2, 2}, {1, 1}, {3, 5}, {8, 8}, {17, 9}}) {
    const std::string name = "tiny" + std::to_string(w) + "x" + std::to_string(h) + ".mkv";
    const Clip& c = clip(name, clip_spec(w, h, 25, 0.4, AudioTrack::kNone));
    ends_ = 0;
    errors_ = 0;
    ASSERT_EQ(open(c), 0) << name << ": " << player_->GetLastErrorText();
    player_->SetWindowRect(0, 0, 160, 120);
    player_->SetViewportRect(0, 0, 160, 120, 0);
    player_->SetDrawMode(0, 0);
    if (w == 1) {
      // A lens half a pixel across is no calibration: refused, saying so.
      EXPECT_NE(play(), 0);
      EXPECT_NE(std::string(player_->GetLastErrorText()).find("calibration file"), std::string::npos)
          << player_->GetLastErrorText();
      continue;
    }
    ASSERT_EQ(play(), 0) << name << ": " << player_->GetLastErrorText();
    ASSERT_TRUE(wait_until([&] { return ends_ > 0; }, 15s)) << name;
    EXPECT_EQ(errors_, 0) << name;
    EXPECT_GT(player_->stats().frames_shown, 0u) << name;
    player_->Stop();
  }
}

TEST_F(Playback, PlayingAgainStartsFromTheBeginning) {
  const Clip& c = silent25();
  ASSERT_EQ(open(c), 0);
  source_layout(c);
  ASSERT_EQ(play(), 0);
  ASSERT_TRUE(wait_until([&] { return ends_ == 1; }, 15s));
  const auto again = std::chrono::steady_clock::now();
  ASSERT_EQ(play(), 0);  // the media stays open
  sleep_ms(500);
  const player::PlaybackStats s = player_->stats();
  // No further in than the time since the new start (slow sanitizer builds
  // stretch that well past the sleep), and nowhere near the end.
  const auto since_start =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - again).count();
  EXPECT_GT(s.frames_shown, 5u);
  EXPECT_LE(s.last_shown_ms, since_start + 100);
  EXPECT_EQ(player_->IsPlaying(), 1);
  player_->Stop();
  EXPECT_EQ(ends_, 2);
}

TEST_F(Playback, PauseWithoutAudioHoldsThePosition) {
  ASSERT_EQ(open(silent25()), 0);
  source_layout(silent25());
  ASSERT_EQ(play(), 0);
  sleep_ms(500);
  ASSERT_EQ(player_->Pause(), 0);
  sleep_ms(150);
  const int64_t held = player_->clock_ms();
  const auto shown = player_->stats().frames_shown;
  sleep_ms(1000);
  EXPECT_NEAR(static_cast<double>(player_->clock_ms()), static_cast<double>(held), 20);
  EXPECT_EQ(player_->stats().frames_shown, shown);
  ASSERT_EQ(player_->Resume(), 0);
  sleep_ms(500);
  EXPECT_GT(player_->clock_ms(), held + 300);
  EXPECT_GT(player_->stats().frames_shown, shown);
}

TEST_F(Playback, SeeksToWholeSecondsWithinTheDuration) {
  for (const Clip* c : {&silent25(), &sound30()}) {
    ASSERT_EQ(open(*c), 0);
    source_layout(*c);
    ASSERT_EQ(play(), 0);
    sleep_ms(300);
    ASSERT_EQ(player_->Seek(0, 1, 900), 0) << c->media;  // 1.9 s goes to 1 s
    sleep_ms(400);
    const player::PlaybackStats s = player_->stats();
    EXPECT_GE(s.last_shown_ms, 1000) << c->media;
    // A seek to 1.9 s would show 1900 at once; a loaded machine may
    // oversleep, so only that line separates right from wrong.
    EXPECT_LT(s.last_shown_ms, 1900) << c->media;
    EXPECT_EQ(player_->Seek(0, 0, -1), 0);  // to the start
    sleep_ms(300);
    EXPECT_LE(player_->stats().last_shown_ms, 600) << c->media;
    EXPECT_EQ(player_->Seek(0, 3, 0), 21);  // the duration itself
    EXPECT_STREQ(player_->GetLastErrorText(), "error: invalid seeking time: out of video time duration;\n");
    EXPECT_EQ(player_->Seek(5, 0, 0), 21);
    player_->Stop();
  }
}

TEST_F(Playback, RefusesToChangeMediaOrWindowWhilePlaying) {
  ASSERT_EQ(open(silent25()), 0);
  source_layout(silent25());
  ASSERT_EQ(play(), 0);
  EXPECT_EQ(play(), 0);  // already playing: nothing new starts
  MediaOpenParams other = params_;
  EXPECT_EQ(player_->OpenMedia(&other), 21);
  EXPECT_STREQ(player_->GetLastErrorText(), "error: the player is playing video, please stop it first;\n");
  EXPECT_EQ(player_->SetWindowRect(0, 0, 10, 10), 21);
  EXPECT_STREQ(player_->GetLastErrorText(), "error: can not create window while playing;\n");
  EXPECT_EQ(player_->SetNativeWindow(1234), 21);
  EXPECT_EQ(player_->IsPlaying(), 1);
  player_->Stop();
  EXPECT_EQ(player_->IsPlaying(), 0);
  EXPECT_EQ(ends_, 1);
}

TEST_F(Playback, ViewRequestsWhilePlaying) {
  ASSERT_EQ(open(silent25()), 0);
  player_->SetWindowRect(0, 0, 320, 240);
  player_->SetViewportRect(0, 0, 320, 240, 0);
  player_->SetDrawMode(2, 0);
  ASSERT_EQ(play(), 0);
  EXPECT_FLOAT_EQ(player_->GetZoom(0), 1.75f);
  player_->SetAngleLimits(-90, 90, -180, 180, -180, 180, 0);
  player_->SetViewAngles(120, 190.7f, -181, 0);
  float p = 0, y = 0, r = 0;
  EXPECT_EQ(player_->GetViewAngles(0, &p, &y, &r), 0);
  EXPECT_EQ(p, 90.0f);
  EXPECT_EQ(y, -170.0f);
  EXPECT_EQ(r, 179.0f);
  // A new draw mode starts from the mode's zoom and straight ahead.
  EXPECT_EQ(player_->SetDrawMode(5, 0), 0);
  player_->GetViewAngles(0, &p, &y, &r);
  EXPECT_EQ(p, 0.0f);
  EXPECT_EQ(y, 0.0f);
  EXPECT_NE(player_->GetZoom(0), 1.75f);
  // A second viewport appears once the render thread has applied its rectangle.
  EXPECT_EQ(player_->SetViewportRect(160, 0, 160, 120, 1), 0);
  EXPECT_EQ(player_->viewport_state(1).enabled, 1);
}

TEST_F(Playback, OverlayShowsTheRecordingTimeOfThePosition) {
  const Clip& named = clip("20170305235958A.mp4", clip_spec(160, 120, 25, 5, AudioTrack::kNone));
  ASSERT_EQ(open(named), 0);
  source_layout(named);
  EXPECT_EQ(player_->GetPlayTime(), 1);
  ASSERT_EQ(play(), 0);
  ASSERT_TRUE(wait_until([&] { return player_->clock_ms() >= 3100; }, 10s));
  EXPECT_EQ(player_->GetPlayTime(), 4);
  EXPECT_EQ(player_->overlay_text(), "2017-03-06 00:00:01");
}

TEST_F(Playback, MissingLogoStopsTheStartWithItsMessage) {
  ASSERT_EQ(open(silent25(), "/nonexistent/logo.png"), 0);
  source_layout(silent25());
  EXPECT_EQ(play(), 21);
  EXPECT_EQ(std::string(player_->GetLastErrorText()).rfind("error: couldn't open input picture file", 0), 0u)
      << player_->GetLastErrorText();
  EXPECT_EQ(errors_, 1);
  EXPECT_EQ(error_code_, 21);
  EXPECT_EQ(player_->IsPlaying(), 0);
}

TEST_F(Playback, DrawsIntoTheHostsChildWindowAndReportsDoubleClicks) {
  X11Host host(320, 240);
  ASSERT_TRUE(host.ok());
  ASSERT_EQ(open(silent25()), 0);
  ASSERT_EQ(player_->SetNativeWindow(host.child()), 0);
  player_->SetViewportRect(0, 0, 320, 240, 0);
  player_->SetDrawMode(0, 0);
  ASSERT_EQ(play(), 0) << player_->GetLastErrorText();
  sleep_ms(800);
  // The source picture fills the window 1:1: its frame code can be read back.
  const std::vector<std::uint8_t> red = host.child_red(320, 240);
  ASSERT_EQ(red.size(), 320u * 240u);
  const int code = synth::read_frame_code(red.data(), 320, 320, 240);
  EXPECT_GE(code, 10);
  EXPECT_LE(code, 40);

  const std::string command =
      "xdotool mousemove --window " + std::to_string(host.child()) + " 100 100 click --repeat 2 --delay 60 1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::vector<long> messages = host.host_messages(1500ms);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), 1224L), 1);
  player_->Stop();  // before the host's window goes
}

TEST_F(Playback, ResizingTheWindowScalesTheViewports) {
  X11Host host(400, 200);
  ASSERT_TRUE(host.ok());
  ASSERT_EQ(open(silent25()), 0);
  player_->SetNativeWindow(host.child());
  player_->SetViewportRect(0, 0, 200, 200, 0);
  player_->SetViewportRect(200, 0, 200, 200, 1);
  player_->SetDrawMode(2, 0);
  player_->SetDrawMode(2, 1);
  ASSERT_EQ(play(), 0);
  sleep_ms(300);
  host.resize_child(200, 200);
  ASSERT_TRUE(wait_until([&] { return player_->viewport_state(1).width == 100; }, 3s));
  const player::ViewportState vp1 = player_->viewport_state(1);
  EXPECT_EQ(vp1.x, 100);
  EXPECT_EQ(vp1.y, 0);
  EXPECT_EQ(vp1.height, 200);
  EXPECT_EQ(player_->viewport_state(0).width, 100);
  player_->Stop();  // before the host's window goes
}

TEST_F(Playback, MouseTurnsAndZoomsTheViewUnderThePointer) {
  X11Host host(400, 200);
  ASSERT_TRUE(host.ok());
  ASSERT_EQ(open(silent25()), 0);
  player_->SetNativeWindow(host.child());
  player_->SetViewportRect(0, 0, 200, 200, 0);
  player_->SetViewportRect(200, 0, 200, 200, 1);
  player_->SetDrawMode(2, 0);
  player_->SetDrawMode(2, 1);
  ASSERT_EQ(play(), 0);
  sleep_ms(300);
  const std::string window = std::to_string(host.child());
  // Drag 40 px right and 20 px down inside the right-hand viewport.
  ASSERT_EQ(std::system(("xdotool mousemove --window " + window + " 300 100 mousedown 1 mousemove --window " + window +
                         " 320 110 mousemove --window " + window + " 340 120 mouseup 1")
                            .c_str()),
            0);
  float p = 0, y = 0, r = 0;
  ASSERT_TRUE(wait_until(
      [&] {
        player_->GetViewAngles(1, &p, &y, &r);
        return y != 0;
      },
      2s));
  sleep_ms(200);
  player_->GetViewAngles(1, &p, &y, &r);
  EXPECT_EQ(y, 40.0f);
  EXPECT_EQ(p, 20.0f);
  player_->GetViewAngles(0, &p, &y, &r);
  EXPECT_EQ(y, 0.0f);  // the other viewport stays
  // The wheel over the left viewport zooms it, in steps of 0.05.
  const float before = player_->GetZoom(0);
  ASSERT_EQ(std::system(("xdotool mousemove --window " + window + " 50 50 click 4").c_str()), 0);
  ASSERT_TRUE(wait_until([&] { return player_->GetZoom(0) != before; }, 2s));
  EXPECT_NEAR(player_->GetZoom(0), before + 0.05f, 1e-5);
  ASSERT_EQ(std::system(("xdotool mousemove --window " + window + " 50 50 click 5 click 5").c_str()), 0);
  ASSERT_TRUE(wait_until([&] { return std::abs(player_->GetZoom(0) - (before - 0.05f)) < 1e-4; }, 2s));
  player_->Stop();  // before the host's window goes
}

TEST_F(Playback, SoundWithoutAnAudioDeviceStillPlays) {
  // An audio driver that does not exist: the player falls back to SDL's
  // silent one and the video plays on its clock.
  const char* before = std::getenv("SDL_AUDIODRIVER");
  const std::string saved = before ? before : "";
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ASSERT_EQ(open(sound30()), 0);
  source_layout(sound30());
  const int result = play();
  ::setenv("SDL_AUDIODRIVER", saved.empty() ? "dummy" : saved.c_str(), 1);
  ASSERT_EQ(result, 0) << player_->GetLastErrorText();
  sleep_ms(600);
  EXPECT_GT(player_->clock_ms(), 300);
  EXPECT_GT(player_->stats().frames_shown, 5u);
}

TEST_F(Playback, OnePlayerEndingLeavesAnotherPlaying) {
  player::ISS_OrbPlayerImpl second;
  const Clip& c = sound30();
  MediaOpenParams params{c.media.c_str(), c.calibration.c_str(), "", 0, 0, -1, 0};
  ASSERT_EQ(second.OpenMedia(&params), 0);
  second.SetWindowRect(400, 0, 320, 240);
  second.SetViewportRect(0, 0, 320, 240, 0);
  ASSERT_EQ(open(silent25()), 0);
  source_layout(silent25());
  ASSERT_EQ(second.Play(nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  ASSERT_EQ(play(), 0);
  sleep_ms(400);
  player_->Stop();  // SDL stays up for the other one
  const auto shown = second.stats().frames_shown;
  sleep_ms(500);
  EXPECT_GT(second.stats().frames_shown, shown + 5);
  EXPECT_EQ(second.IsPlaying(), 1);
  second.Stop();
}

// Bytes the allocator has handed out and not had back. Unlike resident
// memory this ignores freed pages the allocator keeps, so it moves only with
// live allocations. Whole when one arena serves every thread
// (MALLOC_ARENA_MAX=1, set by the test's environment).
long heap_in_use_kib() {
  const struct mallinfo2 mi = mallinfo2();
  return static_cast<long>((mi.uordblks + mi.hblkhd) / 1024);
}

TEST_F(Playback, ManyPlayStopCyclesNeitherHangNorLeak) {
  const Clip& c = sound30();
  ASSERT_EQ(open(c), 0);
  source_layout(c);
  // The heap settles within the first few dozen cycles (driver caches);
  // after that a cycle may not keep anything near a frame's size.
  constexpr int kWarmUp = 40, kCycles = 60;
  long after_warmup = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    if (player_->IsPlaying() == 0) {
      ASSERT_EQ(open(c), 0);  // a playback that ended by itself leaves the media to reopen
    }
    ASSERT_EQ(play(), 0) << "cycle " << cycle << ": " << player_->GetLastErrorText();
    sleep_ms(cycle % 3 == 0 ? 60 : 5);
    ASSERT_EQ(player_->Stop(), 0);
    ASSERT_EQ(player_->IsPlaying(), 0);
    if (cycle == kWarmUp - 1) after_warmup = heap_in_use_kib();
  }
  EXPECT_EQ(ends_, kCycles);
  EXPECT_LT(heap_in_use_kib() - after_warmup, 2 * 1024)
      << "the heap grew over the last " << kCycles - kWarmUp << " cycles";
}

}  // namespace
}  // namespace orb::test
