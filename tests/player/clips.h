#pragma once
// Synthetic clips for the player tests, made once per test program in a
// scratch directory.
#include <synth/fisheye_clip.h>

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include <filesystem>
#include <map>
#include <string>

#include "temp_dir.h"

namespace orb::test {

struct Clip {
  std::filesystem::path media;
  std::filesystem::path calibration;
  synth::ClipSpec spec;
};

inline synth::ClipSpec clip_spec(int width, int height, int fps, double seconds, synth::AudioTrack audio) {
  synth::ClipSpec spec;
  spec.width = width;
  spec.height = height;
  spec.fps_num = fps;
  spec.seconds = seconds;
  spec.audio = audio;
  return spec;
}

// The clip for `spec`, written on first use.
inline const Clip& clip(const std::string& name, const synth::ClipSpec& spec) {
  static TempDir dir;
  static std::map<std::string, Clip> made;
  auto it = made.find(name);
  if (it != made.end()) return it->second;
  av_log_set_level(AV_LOG_ERROR);
  Clip c{dir.path() / name, dir.path() / (name + ".inf"), spec};
  const std::string error = synth::write_clip(c.media.string(), spec);
  EXPECT_EQ(error, "");
  EXPECT_EQ(write_calibration_file(c.calibration.c_str(), synth::clip_calibration(spec)), 0);
  return made.emplace(name, c).first->second;
}

}  // namespace orb::test
