#pragma once
// Why a file or stream could not be played, in words a user can act on.
#include <string>

namespace ostrel {

// `path` is what was opened, `code` the player's result and `library_text`
// its error text. Returns "cannot open: no such file", "not a video",
// "no video stream", "network timeout after 10 s" and the like.
std::string play_failure_reason(const std::string& path, int code, const std::string& library_text);

// The library's text as one tidy line: no trailing ";", "." or new lines.
std::string one_line(const std::string& library_text);

}  // namespace ostrel
