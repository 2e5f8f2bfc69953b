// Opening media: durations by the three rules, and the refusals.
#include "capture.h"
#include "player_fixture.h"

namespace orb::test {
namespace {

using synth::AudioTrack;

int total_ms(const TimeParts& t) { return t.minutes * 60000 + t.seconds * 1000 + t.milliseconds; }

using PlayerOpen = PlayerTest;

TEST_F(PlayerOpen, DurationFollowsFrameCountOrAudioOrContainer) {
  struct Case {
    const char* name;
    synth::ClipSpec spec;
    int min_ms, max_ms;
  };
  const Case cases[] = {
      // 30 fps: frames over rate.
      {"c30.mp4", clip_spec(320, 240, 30, 2, AudioTrack::kSine), 2000, 2000},
      // Above 30 fps with sound: the audio track's own length.
      {"c60.mp4", clip_spec(320, 240, 60, 2, AudioTrack::kSine), 2000, 2100},
      // Silent 25 fps: frames over rate.
      {"c25.mp4", clip_spec(320, 240, 25, 2, AudioTrack::kNone), 2000, 2000},
      // Odd size, no frame count in the container, no audio: the container's length.
      {"odd.mkv", clip_spec(321, 241, 30, 2, AudioTrack::kNone), 1950, 2100},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(open(clip(c.name, c.spec)), 0) << c.name << ": " << player_->GetLastErrorText();
    TimeParts d{};
    EXPECT_EQ(player_->GetDuration(&d), &d);
    EXPECT_GE(total_ms(d), c.min_ms) << c.name;
    EXPECT_LE(total_ms(d), c.max_ms) << c.name;
    EXPECT_LT(d.seconds, 60);
    EXPECT_LT(d.milliseconds, 1000);
  }
}

TEST_F(PlayerOpen, RefusesWhatItCannotPlay) {
  TempDir dir;
  MediaOpenParams params{};
  const std::string missing = (dir.path() / "missing.mp4").string();
  params.media_path = missing.c_str();
  EXPECT_EQ(player_->OpenMedia(&params), 15);
  EXPECT_EQ(std::string(player_->GetLastErrorText()).rfind("error: couldn't open input stream, code: -", 0), 0u);

  const auto text = dir.write("text.mp4", "not a video at all, just some words in a file");
  params.media_path = text.c_str();
  EXPECT_EQ(player_->OpenMedia(&params), 15);

  // A wave file: sound but no picture.
  std::string wav = "RIFF";
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) wav += static_cast<char>(v >> (8 * i));
  };
  auto u16 = [&](std::uint16_t v) {
    wav += static_cast<char>(v & 0xFF);
    wav += static_cast<char>(v >> 8);
  };
  u32(36 + 8000);
  wav += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(1);
  u32(8000);
  u32(16000);
  u16(2);
  u16(16);
  wav += "data";
  u32(8000);
  wav += std::string(8000, '\0');
  const auto sound = dir.write("sound.wav", wav);
  params.media_path = sound.c_str();
  EXPECT_EQ(player_->OpenMedia(&params), 16);
  EXPECT_STREQ(player_->GetLastErrorText(), "error: can not find a video stream.\n");

  EXPECT_EQ(player_->OpenMedia(nullptr), 15);
  EXPECT_EQ(play(), 21);  // nothing open
}

TEST_F(PlayerOpen, QuietOperationsBeforePlay) {
  ASSERT_EQ(open(clip("c25.mp4", clip_spec(320, 240, 25, 2, AudioTrack::kNone))), 0);
  EXPECT_EQ(player_->GetPlayTime(), 1);
  EXPECT_EQ(player_->Pause(), 0);
  EXPECT_EQ(player_->Resume(), 0);
  EXPECT_EQ(player_->IsPlaying(), 0);
  EXPECT_EQ(player_->GetReservedValue(), 0);
  TimeParts p{7, 7, 7};
  EXPECT_EQ(player_->GetPositionParts(&p), &p);
  EXPECT_EQ(p.minutes + p.seconds + p.milliseconds, 0);
  EXPECT_EQ(player_->GetZoom(0), 0.0f);
}

TEST_F(PlayerOpen, ViewportRequestsAreCheckedAndClamped) {
  const std::string message = "error: invalid viewport index: 4: we support at most 4 viewports;\n";
  EXPECT_EQ(player_->SetDrawMode(2, 4), 21);
  EXPECT_EQ(player_->GetLastErrorText(), message);
  EXPECT_EQ(player_->SetViewportRect(0, 0, 10, 10, 4), 21);
  EXPECT_EQ(player_->DisableViewport(-1), 21);
  EXPECT_EQ(std::string(player_->GetLastErrorText()),
            "error: invalid viewport index: -1: we support at most 4 viewports;\n");
  const std::string out = captured_stderr([&] { EXPECT_EQ(player_->SetViewAngles(1, 2, 3, 4), 0); });
  EXPECT_EQ(out, "error: invalid viewport index 4;\n");

  EXPECT_EQ(player_->SetViewportRect(-5, -1, 100, 80, 2), 0);
  const player::ViewportState vp = player_->viewport_state(2);
  EXPECT_EQ(vp.x, 0);
  EXPECT_EQ(vp.y, 0);
  EXPECT_EQ(vp.width, 100);
  EXPECT_EQ(vp.enabled, 1);
  EXPECT_EQ(player_->DisableViewport(2), 0);
  EXPECT_EQ(player_->viewport_state(2).enabled, 0);
}

}  // namespace
}  // namespace orb::test
