// orbtool: the suite's command line for headless and scripted work.
extern "C" {
#include <libavutil/log.h>
}
#include <common/debug_trace.h>
#include <common/paths.h>
#include <common/version.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>

#include "views_module.h"

namespace orb::tool {
int synth_main(int argc, char** argv);
int convert_main(int argc, char** argv);
}  // namespace orb::tool

namespace {

void usage(std::FILE* out) {
  std::fprintf(
      out,
      "usage: orbtool COMMAND [ARGS]\n"
      "  play MEDIA [--calib FILE] [--layout wide|ball|split2|split4] [--mount up|down|side]\n"
      "             [--seconds N] [--size WxH]\n"
      "      plays a fisheye video in a window; --seconds ends it by itself\n"
      "  synth OUT [--size WxH] [--fps N] [--seconds N] [--audio sine|click|none] [--fov DEG]\n"
      "      writes a synthetic fisheye clip and its calibration file (OUT with .inf)\n"
      "  calibrate MEDIA [-o FILE.inf] [--fov DEG]\n"
      "      finds the lens circle in a picture or a video's first frame and writes the calibration\n"
      "  inspect FILE.inf\n"
      "      prints a calibration file's fields and whether it is valid\n"
      "  convert IN OUT [--calib FILE] [--layout wide|ball|split2|split4|panorama] [--mount up|down|side]\n"
      "          [--size WxH] [--bitrate KBIT] [--view V:PITCH,YAW,ROLL[,ZOOM] ...] [--from MM:SS] [--to MM:SS]\n"
      "          [--seconds N] [--keyint N]\n"
      "      converts the views of a fisheye video (a file or a stream URL) into an H.265 video, sound\n"
      "      copied (or re-encoded as AAC when the container cannot hold it); a live stream converts\n"
      "      for --to/--seconds, or until interrupted; --keyint: a key frame every N pictures (12)\n"
      "  render IN OUT.png [--time SECONDS] [the view options of convert]\n"
      "      renders one still of a picture or a video frame through the same views\n");
}

// play, calibrate, inspect and render, from the module beside orbtool.
int run_views_command(const std::string& command, int argc, char** argv) {
  const std::string path = (orb::executable_dir() / kViewsModuleFile).string();
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "error: cannot load %s: %s\n", path.c_str(), dlerror());
    return 1;
  }
  const auto entry = reinterpret_cast<ViewsModuleMain>(dlsym(module, kViewsModuleEntry));
  if (entry == nullptr) {
    std::fprintf(stderr, "error: %s has no %s\n", path.c_str(), kViewsModuleEntry);
    dlclose(module);
    return 1;
  }
  return entry(command.c_str(), argc, argv);  // left loaded: its threads and handlers may outlive the call
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !std::strcmp(argv[1], "--version")) {
    std::printf("orbtool %s\n", orb::kSuiteVersion);
    return 0;
  }
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  av_log_set_level(AV_LOG_ERROR);
  orb::trace_only_when_asked();
  const std::string command = argv[1];
  if (command == "synth") return orb::tool::synth_main(argc - 2, argv + 2);
  if (command == "convert") return orb::tool::convert_main(argc - 2, argv + 2);
  if (command == "play" || command == "calibrate" || command == "inspect" || command == "render") {
    return run_views_command(command, argc - 2, argv + 2);
  }
  std::fprintf(stderr, "error: unknown command '%s' (try orbtool --help)\n", command.c_str());
  return 2;
}
