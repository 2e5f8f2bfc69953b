#include "info_text.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace dioptra {
namespace {

constexpr const char* kBuiltIn = "Centre (%.1f, %.1f)  radius %.1f";

// True when every conversion is %f, %F, %e, %E, %g or %G (flags, width and
// precision as short digit runs only) or "%%", and there are exactly three.
bool takes_three_floats(const std::string& format) {
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (++i >= format.size()) return false;
    if (format[i] == '%') continue;
    while (i < format.size() && std::strchr("-+ #0", format[i])) ++i;
    // Widths and precisions of up to two digits: a huge one would pad for ages.
    auto digits = [&] {
      int n = 0;
      while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) ++i, ++n;
      return n <= 2;
    };
    if (!digits()) return false;
    if (i < format.size() && format[i] == '.') {
      ++i;
      if (!digits()) return false;
    }
    if (i >= format.size() || !std::strchr("fFeEgG", format[i])) return false;
    ++conversions;
  }
  return conversions == 3;
}

}  // namespace

std::string info_text(const std::string& format, double cx, double cy, double radius) {
  const char* use = takes_three_floats(format) && format.size() < 512 ? format.c_str() : kBuiltIn;
  char text[1024];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(text, sizeof text, use, cx, cy, radius);
#pragma GCC diagnostic pop
  return text;
}

}  // namespace dioptra
