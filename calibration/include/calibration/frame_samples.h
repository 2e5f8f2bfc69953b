#pragma once
// Pictures from the start of a video, for a lens circle that one picture
// does not show (a fade-in, a dark first second, a scene that lights up).
#include <calibration/circle_detection.h>

#include <opencv2/core.hpp>

#include <vector>

namespace orb {

// Up to `count` decoded pictures spread over the first `span_seconds`
// (the first picture included), as BGR. Empty when the media cannot be
// decoded; reading stops after `span_seconds` of video or ten seconds of
// wall time, whichever comes first.
std::vector<cv::Mat> sample_frames(const char* media_path, int count, double span_seconds);

// How a video is judged: this many pictures over its first seconds.
inline constexpr int kJudgedFrames = 7;
inline constexpr double kJudgedSeconds = 3.0;

// The lens circle of a video, judged over the brightest value of pictures
// spread across its first seconds (`frames` says how many); the first
// picture alone when that finds nothing. Also for pictures (one frame).
LensCircle detect_video_circle(const char* media_path);

}  // namespace orb
