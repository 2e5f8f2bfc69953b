#include <common/debug_trace.h>

#include <cstdio>
#include <cstdlib>

namespace orb {

std::string format_trace(const char* fmt, std::va_list args) {
  char buffer[kTraceMaxChars + 1];
  int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
  if (n < 0) return {};  // a formatting failure keeps nothing
  std::string line(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), kTraceMaxChars));
  std::size_t end = line.find_last_not_of(" \t\r\n\v\f");
  line.erase(end == std::string::npos ? 0 : end + 1);
  return line;
}

bool debug_trace_enabled() {
  static const bool enabled = std::getenv("ORB_QUIET") == nullptr;
  return enabled;
}

void trace_only_when_asked() {
  if (std::getenv("ORB_TRACE") == nullptr) setenv("ORB_QUIET", "1", 1);
}

void debug_trace(const char* fmt, ...) {
  if (!debug_trace_enabled()) return;
  std::va_list args;
  va_start(args, fmt);
  std::string line = format_trace(fmt, args);
  va_end(args);
  line += '\n';
  // One write per line so lines of different threads do not interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace orb
