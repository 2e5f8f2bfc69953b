// orbtool convert: the views of a fisheye video into an ordinary H.265
// video, with progress; exit 0 only when the output is complete.
#include <libOrbVideoConverter/ISS_OrbVideoConverter.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include <unistd.h>

#include <av/media_open.h>

#include "args.h"
#include "view_options.h"

namespace orb::tool {
namespace {

std::atomic<bool> g_interrupted{false};
void on_interrupt(int) { g_interrupted = true; }

struct ConverterDeleter {
  void operator()(ISS_OrbVideoConverter* c) const { DestroyOrbVideoConverter(c); }
};

// The library's text as one "error: ..." line.
void print_error(const char* text) {
  std::string line(text ? text : "");
  line = line.substr(0, line.find('\n'));
  while (!line.empty() && (line.back() == ' ' || line.back() == ';' || line.back() == '\r')) line.pop_back();
  if (line.rfind("error:", 0) != 0) line = "error: " + (line.empty() ? std::string("conversion failed") : line);
  std::fprintf(stderr, "%s\n", line.c_str());
}

void show_progress(const RenderingStatistics& s, bool terminal, int recorded_seconds) {
  if (recorded_seconds >= 0) {  // a live stream without an end: how much so far
    std::printf(terminal ? "\rrecording  %5.1f fps  %02d:%02d recorded " : "recording  %.1f fps  %02d:%02d recorded\n",
                s.frames_per_second, recorded_seconds / 60, recorded_seconds % 60);
    std::fflush(stdout);
    return;
  }
  const int remaining = s.remaining_minutes * 60 + s.remaining_seconds;
  if (terminal) {
    const int filled = static_cast<int>(s.percent / 100 * 30);
    std::printf("\r[%-30.*s] %6.2f%%  %5.1f fps  %02d:%02d left ", std::max(0, std::min(30, filled)),
                "##############################", s.percent, s.frames_per_second, remaining >= 0 ? remaining / 60 : 0,
                remaining >= 0 ? remaining % 60 : 0);
  } else {
    std::printf("progress %.2f%%  %.1f fps  %02d:%02d left\n", s.percent, s.frames_per_second,
                remaining >= 0 ? remaining / 60 : 0, remaining >= 0 ? remaining % 60 : 0);
  }
  std::fflush(stdout);
}

}  // namespace

int convert_main(int argc, char** argv) {
  std::string error;
  const Args args =
      parse_args(argc, argv, {"calib", "layout", "mount", "size", "bitrate", "view", "from", "to", "seconds", "keyint"},
                 {}, error);
  if (error.empty() && args.positional.size() != 2) error = "error: convert needs an input video and an output file";
  ConverterInitParams params{};
  if (error.empty()) fill_view_params(args, params, error);
  int from = 0, to = -1;
  if (error.empty() && args.get("from") && !parse_time(*args.get("from"), from)) error = "error: --from must be MM:SS";
  if (error.empty() && args.get("to") && !parse_time(*args.get("to"), to)) error = "error: --to must be MM:SS";
  int64_t length_ms = -1;  // --seconds: how long, from --from
  if (error.empty() && args.get("seconds")) {
    const auto n = to_number(*args.get("seconds"));
    if (!n || !(*n > 0) || *n > 1e7)
      error = "error: --seconds must be a positive number of seconds";
    else
      length_ms = static_cast<int64_t>(*n * 1000 + 0.5);
  }
  if (error.empty() && length_ms >= 0 && to >= 0) error = "error: give --to or --seconds, not both";
  int keyint = 12;  // as the conversion dialog writes
  if (error.empty() && args.get("keyint")) {
    const auto n = to_number(*args.get("keyint"));
    if (!n || *n != static_cast<int>(*n) || *n < 1 || *n > 1000)
      error = "error: --keyint must be a whole number of pictures from 1 to 1000";
    else
      keyint = static_cast<int>(*n);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const std::string input = args.positional[0];
  const std::string output = args.positional[1];
  const std::string calibration = find_calibration(args, input);
  if (calibration.empty()) return 1;
  params.input_path = input.c_str();
  params.calib_filename = calibration.c_str();
  params.output_path = output.c_str();

  // Caught from here on: an interrupt while the input opens stops the
  // conversion as soon as it starts (opening itself is bounded).
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);
  std::unique_ptr<ISS_OrbVideoConverter, ConverterDeleter> converter(CreateOrbVideoConverter());
  if (!converter) {
    std::fprintf(stderr, "error: cannot create a converter\n");
    return 1;
  }
  if (converter->SetKeyFrameInterval(keyint) != 0 || converter->Init(&params) != 0) {
    print_error(converter->GetLastErrorText());
    return 1;
  }
  TimeParts duration{};
  if (g_interrupted) {  // while the input opened: nothing started, nothing written
    std::fprintf(stderr, "error: interrupted before the conversion began\n");
    return 130;
  }
  if (const char* notice = converter->GetNoticeText(); notice[0] != '\0') std::fprintf(stderr, "%s\n", notice);
  converter->GetDuration(&duration);
  // Without --to or --seconds, the whole clip to the millisecond (a clip may
  // be shorter than a second); a live stream has no length: until interrupted.
  const bool live =
      is_network_source(input.c_str()) && duration.minutes == 0 && duration.seconds == 0 && duration.milliseconds == 0;
  TimeParts end = to < 0 ? duration : TimeParts{to / 60, to % 60, 0};
  if (length_ms >= 0) {
    const int64_t e = int64_t{from} * 1000 + length_ms;
    end =
        TimeParts{static_cast<int32_t>(e / 60000), static_cast<int32_t>(e / 1000 % 60), static_cast<int32_t>(e % 1000)};
  }
  const bool until_interrupted = live && to < 0 && length_ms < 0;
  if (until_interrupted) std::fprintf(stderr, "converting the live stream until interrupted (Ctrl+C)\n");
  if (converter->Start(TimeParts{from / 60, from % 60, 0}, end) != 0) {
    print_error(converter->GetLastErrorText());
    return 1;
  }
  const bool terminal = isatty(STDOUT_FILENO) != 0;
  const auto started = std::chrono::steady_clock::now();
  auto last = started;
  // A short look: the end of a conversion is noticed within 10 ms, not a
  // tenth of a second later.
  while (converter->IsConverting()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (g_interrupted) {
      converter->Stop();
      break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last >= std::chrono::seconds(terminal ? 1 : 5)) {
      RenderingStatistics s{};
      const auto recorded = std::chrono::duration_cast<std::chrono::seconds>(now - started).count();
      show_progress(*converter->GetStatistics(&s), terminal, until_interrupted ? static_cast<int>(recorded) : -1);
      last = now;
    }
  }
  RenderingStatistics s{};
  converter->GetStatistics(&s);
  converter->Stop();
  if (terminal) std::printf("\n");
  if (g_interrupted && until_interrupted && converter->GetLastErrorText()[0] == '\0') {
    std::printf("wrote %s (%dx%d, %d view%s, recorded until interrupted)\n", output.c_str(), params.dst_width,
                params.dst_height, params.viewport_count, params.viewport_count == 1 ? "" : "s");
    return 0;
  }
  if (g_interrupted) {
    // Stopped, the converter still finishes the file: a shorter, playable video.
    std::fprintf(stderr, "error: interrupted; %s holds only what was converted before\n", output.c_str());
    return 130;
  }
  if (converter->GetLastErrorText()[0] != '\0') {
    print_error(converter->GetLastErrorText());
    return 1;
  }
  std::printf("wrote %s (%dx%d, %d view%s, %.1f fps)\n", output.c_str(), params.dst_width, params.dst_height,
              params.viewport_count, params.viewport_count == 1 ? "" : "s", s.frames_per_second);
  return 0;
}

}  // namespace orb::tool
