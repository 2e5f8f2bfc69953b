// orbtool synth: a synthetic fisheye clip with its calibration file.
#include <synth/fisheye_clip.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "args.h"

namespace orb::tool {

int synth_main(int argc, char** argv) {
  std::string error;
  const Args args = parse_args(argc, argv, {"size", "fps", "seconds", "audio", "fov"}, {}, error);
  if (error.empty() && args.positional.size() != 1) error = "error: synth needs one output path";
  synth::ClipSpec spec;
  spec.seconds = 10;
  if (error.empty() && args.get("size") && !parse_size(*args.get("size"), spec.width, spec.height)) {
    error = "error: --size must look like 1920x1080";
  }
  if (error.empty() && args.get("fps")) {
    const auto fps = to_int(*args.get("fps"));
    if (!fps || *fps <= 0 || *fps > 240)
      error = "error: --fps must be a whole number from 1 to 240";
    else
      spec.fps_num = *fps;
  }
  if (error.empty() && args.get("seconds")) {
    const auto s = to_number(*args.get("seconds"));
    if (!s || *s <= 0 || *s > 3600)
      error = "error: --seconds must be above 0 and at most 3600";
    else
      spec.seconds = *s;
  }
  if (error.empty() && args.get("fov")) {
    const auto f = to_number(*args.get("fov"));
    if (!f || *f <= 0 || *f > 360)
      error = "error: --fov must be above 0 and at most 360 degrees";
    else
      spec.fov_deg = static_cast<float>(*f);
  }
  static const std::map<std::string, synth::AudioTrack> kTracks = {
      {"sine", synth::AudioTrack::kSine}, {"click", synth::AudioTrack::kClick}, {"none", synth::AudioTrack::kNone}};
  if (const auto audio = args.options.find("audio"); error.empty() && audio != args.options.end()) {
    const auto track = kTracks.find(audio->second);
    if (track == kTracks.end())
      error = "error: --audio must be sine, click or none";
    else
      spec.audio = track->second;
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const std::filesystem::path out = args.positional[0];
  if (std::string e = synth::write_clip(out.string(), spec); !e.empty()) {
    std::error_code ec;
    std::filesystem::remove(out, ec);  // no partial file left behind
    std::fprintf(stderr, "%s\n", e.c_str());
    return 1;
  }
  std::filesystem::path calibration = out;
  calibration.replace_extension(".inf");
  if (write_calibration_file(calibration.c_str(), synth::clip_calibration(spec)) != 0) {
    std::fprintf(stderr, "error: cannot write %s\n", calibration.c_str());
    return 1;
  }
  std::printf("wrote %s (%dx%d, %d fps, %.1f s) and %s\n", out.c_str(), spec.width, spec.height, spec.fps_num,
              spec.seconds, calibration.c_str());
  return 0;
}

}  // namespace orb::tool
