#pragma once
// The last failure of a library object, as the "error: ..." text its
// interface's GetLastErrorText returns: written by any thread (the last
// failure wins), cut to the buffer, and traced.
#include <common/debug_trace.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

namespace orb {

template <std::size_t Size>
class ErrorBuffer {
 public:
  // Keeps `text` and returns `code`, so a failure is one statement.
  int set(int code, std::string_view text) {
    {
      std::lock_guard lock(mutex_);
      const std::size_t n = std::min(text.size(), Size - 1);
      std::memcpy(text_, text.data(), n);
      text_[n] = '\0';
    }
    debug_trace("%.*s", static_cast<int>(std::min<std::size_t>(text.size(), Size - 1)), text.data());
    return code;
  }
  int vformat(int code, const char* fmt, std::va_list args) {
    char text[Size];
    std::vsnprintf(text, sizeof text, fmt, args);
    return set(code, text);
  }
  int format(int code, const char* fmt, ...) __attribute__((format(printf, 3, 4))) {
    std::va_list args;
    va_start(args, fmt);
    const int result = vformat(code, fmt, args);
    va_end(args);
    return result;
  }
  // The caller's pointer stays valid; a later failure rewrites what it shows.
  const char* c_str() const { return text_; }

 private:
  std::mutex mutex_;
  char text_[Size] = {};
};

}  // namespace orb
