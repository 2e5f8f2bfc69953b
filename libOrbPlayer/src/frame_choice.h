#pragma once
// Which waiting picture the render thread shows, and when. A picture is
// shown once the clock is at most kShowAheadMs before it. Late pictures go
// one per pass while the lag is small; once the head trails the clock by
// more than two frame intervals, every picture a later one already
// supersedes is dropped (it was decoded, so nothing after it is damaged),
// and the picture shown is back on time with the sound.
#include <span>

namespace orb::player {

inline constexpr double kShowAheadMs = 30;

struct FrameChoice {
  int drop = 0;         // pictures at the head to discard unshown
  bool show = false;    // then show the new head
  double wait_ms = 20;  // nothing to show: until the head is due (or 20 ms)
};

// `ahead_ms`: each waiting picture's timestamp minus the clock, in
// presentation order. `frame_interval_ms`: the video's frame duration.
FrameChoice choose_frame(std::span<const double> ahead_ms, double frame_interval_ms);

}  // namespace orb::player
