#pragma once
// The circle's values as the panel shows them, through the language
// file's format. The format comes from a file a user may edit, so only a
// format with exactly three floating-point conversions is used.
#include <string>

namespace dioptra {

// `format` with (cx, cy, radius); the built-in format when `format` takes
// anything else (a string, an integer, a count of written characters, too
// few or too many values).
std::string info_text(const std::string& format, double cx, double cy, double radius);

}  // namespace dioptra
