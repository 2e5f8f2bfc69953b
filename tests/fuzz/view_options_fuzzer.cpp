// Hostile command lines through orbtool's option reader and the view
// options of convert and render: either an "error: ..." text or views the
// converter can take, never anything in between.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "args.h"
#include "view_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The bytes are the arguments, separated by NUL.
  std::vector<std::string> words{"convert"};
  std::string word;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word.push_back(static_cast<char>(data[i]));
    }
  }
  words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  std::string error;
  const orb::tool::Args args =
      orb::tool::parse_args(static_cast<int>(argv.size()), argv.data(),
                            {"calib", "layout", "mount", "size", "bitrate", "view", "from", "to"}, {}, error);
  if (!error.empty()) {
    if (error.rfind("error: ", 0) != 0) std::abort();
    return 0;
  }
  ConverterInitParams params{};
  if (!orb::tool::fill_view_params(args, params, error)) {
    if (error.rfind("error: ", 0) != 0) std::abort();
    return 0;
  }
  if (params.viewport_count < 1 || params.viewport_count > 4 || params.dst_width <= 0 || params.dst_height <= 0) {
    std::abort();
  }
  for (int i = 0; i < params.viewport_count; ++i) {
    if (!std::isfinite(params.pitch[i]) || !std::isfinite(params.yaw[i]) || !std::isfinite(params.zoom[i]))
      std::abort();
  }
  int seconds = 0;
  if (const auto to = args.get("to"); to && orb::tool::parse_time(*to, seconds) && seconds < 0) std::abort();
  return 0;
}
