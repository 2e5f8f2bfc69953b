#pragma once
// The suite's one diagnostic channel: a formatted line on stderr.
#include <cstdarg>
#include <string>

namespace orb {

// Longest line the writer keeps; longer text is cut there.
inline constexpr std::size_t kTraceMaxChars = 4089;

// Formats like printf, keeps at most kTraceMaxChars characters and strips
// trailing white space. Separate from the writer so the rules can be tested.
std::string format_trace(const char* fmt, std::va_list args);

// Formats as above and writes the line, ended by a newline, to stderr.
void debug_trace(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The channel is quiet while the environment variable ORB_QUIET is set
// (command-line tools set it unless asked for the trace); it is read once,
// at the first line, so every library in the process follows it.
bool debug_trace_enabled();

// For programs, first thing in main: the channel stays quiet unless the
// user asked for it with ORB_TRACE=1.
void trace_only_when_asked();

}  // namespace orb
