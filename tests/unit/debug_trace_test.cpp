#include <common/debug_trace.h>

#include <gtest/gtest.h>

#include "capture.h"

namespace orb {
namespace {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::string s = format_trace(fmt, args);
  va_end(args);
  return s;
}

TEST(DebugTrace, FormatsAndStripsTrailingWhiteSpace) {
  EXPECT_EQ(format("now trace %d %d\n", 3, -4), "now trace 3 -4");
  EXPECT_EQ(format("  keep leading\t \r\n"), "  keep leading");
  EXPECT_EQ(format(" \r\n\t"), "");
  EXPECT_EQ(format("%s", "a\nb \n"), "a\nb");
}

TEST(DebugTrace, LongTextIsCutAt4089Characters) {
  const std::string long_text(10000, 'x');
  const std::string line = format("%s", long_text.c_str());
  EXPECT_EQ(line.size(), kTraceMaxChars);
  EXPECT_EQ(line, long_text.substr(0, kTraceMaxChars));
  // Cut first, then stripped: white space at the cut disappears too.
  const std::string spaced = std::string(4000, 'y') + std::string(200, ' ') + "z";
  EXPECT_EQ(format("%s", spaced.c_str()), std::string(4000, 'y'));
}

TEST(DebugTrace, WritesOneLineToStandardError) {
  const std::string out = test::captured_stderr([] { debug_trace("error: code %d   \r\n", 21); });
  EXPECT_EQ(out, "error: code 21\n");
}

}  // namespace
}  // namespace orb
