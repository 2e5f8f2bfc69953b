#include "recording_date.h"

#include <cstdio>

namespace orb::player {
namespace {

// atoi on just these characters: leading digits only, 0 when none.
int field(std::string_view text, std::size_t at, std::size_t length) {
  int value = 0;
  for (std::size_t i = at; i < at + length && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

int days_in_month(int month, int year) {
  switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12: return 31;
    case 2: return year % 4 == 0 ? 29 : 28;
    default: return 30;
  }
}

}  // namespace

DateTime parse_recording_start(std::string_view media_path) {
  DateTime t;
  const std::size_t slash = media_path.find_last_of("/\\");
  std::string_view name = slash == std::string_view::npos ? media_path : media_path.substr(slash + 1);
  if (name.size() < 5) return t;
  name.remove_suffix(5);  // extension and the trailing letter
  if (name.size() < 14) return t;
  t.year = field(name, 0, 4);
  t.month = field(name, 4, 2);
  t.day = field(name, 6, 2);
  t.hour = field(name, 8, 2);
  t.minute = field(name, 10, 2);
  t.second = field(name, 12, 2);
  return t;
}

DateTime add_seconds(DateTime t, long long seconds) {
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59 || seconds < 0 ||
      seconds >= 24 * 3600) {
    return t;
  }
  const int s = static_cast<int>(seconds);
  t.second += s % 60;
  t.minute += (s / 60) % 60;
  t.hour += s / 3600;
  if (t.second >= 60) {
    t.second -= 60;
    ++t.minute;
  }
  if (t.minute >= 60) {
    t.minute -= 60;
    ++t.hour;
  }
  if (t.hour >= 24) {
    t.hour -= 24;
    if (++t.day > days_in_month(t.month, t.year)) {
      t.day = 1;
      if (++t.month > 12) {
        t.month = 1;
        ++t.year;
      }
    }
  }
  return t;
}

std::string format_date_time(const DateTime& t) {
  char text[72];
  std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

}  // namespace orb::player
