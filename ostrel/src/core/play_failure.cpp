#include "play_failure.h"

#include <av/media_open.h>
#include <orb/orb_types.h>

#include <filesystem>
#include <string_view>

namespace ostrel {
namespace {

bool has(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

}  // namespace

std::string one_line(const std::string& library_text) {
  std::string line;
  for (char c : library_text) line += (c == '\n' || c == '\r') ? ' ' : c;
  while (!line.empty() && (line.back() == ' ' || line.back() == ';' || line.back() == '.')) line.pop_back();
  return line;
}

std::string play_failure_reason(const std::string& path, int code, const std::string& library_text) {
  const std::string text = one_line(library_text);
  if (orb::is_network_source(path.c_str())) {
    const int seconds = orb::kNetworkTimeoutMs / 1000;
    if (has(text, "no answer in time") || has(text, "timed out") || has(text, "no data for") ||
        has(text, "code: -110")) {
      return "network timeout after " + std::to_string(seconds) + " s";
    }
    if (code == ORB_ERROR_NO_VIDEO) return "no video stream";
    if (has(text, "Connection refused") || has(text, "code: -111"))
      return "cannot open: the server refused the connection";
    if (has(text, "the input was lost")) return "the stream stopped";
    return "cannot open the stream";
  }
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return "cannot open: no such file";
  if (std::filesystem::is_directory(status)) return "cannot open: a folder, not a file";
  if (has(text, "Permission denied") || has(text, "code: -13")) return "cannot open: permission denied";
  if (code == ORB_ERROR_NO_VIDEO) return "no video stream";
  if (has(text, "the input was lost")) return "the file was cut short";
  if (code == ORB_ERROR_OPEN || has(text, "stream information") || has(text, "Invalid data")) return "not a video";
  return "cannot play it";
}

}  // namespace ostrel
