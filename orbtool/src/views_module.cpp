// The commands that show or analyse pictures, loaded by orbtool only when
// one is asked for: the player's window and sound libraries and the
// picture codecs stay out of every other command's start.
extern "C" {
#include <libavutil/log.h>
}
#include <common/debug_trace.h>

#include <cstring>

#include "views_module.h"

namespace orb::tool {
int play_main(int argc, char** argv);
int calibrate_main(int argc, char** argv);
int inspect_main(int argc, char** argv);
int render_main(int argc, char** argv);
}  // namespace orb::tool

extern "C" __attribute__((visibility("default"))) int orbtool_views_main(const char* command, int argc, char** argv) {
  // This module has its own copy of the suite's static parts: set up as main() does.
  av_log_set_level(AV_LOG_ERROR);
  orb::trace_only_when_asked();
  if (!std::strcmp(command, "play")) return orb::tool::play_main(argc, argv);
  if (!std::strcmp(command, "calibrate")) return orb::tool::calibrate_main(argc, argv);
  if (!std::strcmp(command, "inspect")) return orb::tool::inspect_main(argc, argv);
  if (!std::strcmp(command, "render")) return orb::tool::render_main(argc, argv);
  return 2;
}
