#include "layouts.h"

#include <cstdio>

namespace ostrel {
namespace {

std::string clock_text(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600 % 24),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace

bool is_source_picture(std::string_view path) {
  if (path.size() < 5) return false;
  const char c = path[path.size() - 5];  // just before ".ext"
  return c == 'B' || c == 'b';
}

SeekTarget seek_target(int slider_value, int duration_minutes, int duration_seconds) {
  const std::int64_t t = std::int64_t{slider_value} * (std::int64_t{duration_minutes} * 60 + duration_seconds);
  return {static_cast<int>(t / 60000), static_cast<int>(t / 1000 - (t / 60000) * 60), -1};
}

int volume_from_percent(int percent) { return static_cast<int>(static_cast<double>(percent) / 100 * 128); }

std::string time_text(std::int64_t current_seconds, std::int64_t total_seconds) {
  return clock_text(current_seconds) + " / " + clock_text(total_seconds);
}

}  // namespace ostrel
