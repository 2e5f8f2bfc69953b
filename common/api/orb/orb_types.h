#pragma once
// What the player and converter interfaces share: their result codes and
// the time record. Included by both public headers; plain C layout.
#include <cstdint>

// Result codes of the player's and the converter's operations. The numbers
// are part of the interface and never change.
enum OrbResult : int {
  ORB_OK = 0,
  ORB_ERROR_OPEN = 15,           // the input cannot be opened
  ORB_ERROR_NO_VIDEO = 16,       // the input has no video stream
  ORB_ERROR_WINDOW_SYSTEM = 19,  // the window system could not be initialised
  ORB_ERROR_WINDOW = 20,         // window, GL context or renderer failure
  ORB_ERROR = 21,                // any other failure; GetLastErrorText says which
};

// A short English description of a result code, for logs and messages; the
// object's GetLastErrorText says what exactly failed.
inline const char* orb_result_text(int code) {
  switch (code) {
    case ORB_OK: return "success";
    case ORB_ERROR_OPEN: return "the input cannot be opened";
    case ORB_ERROR_NO_VIDEO: return "the input has no video stream";
    case ORB_ERROR_WINDOW_SYSTEM: return "the window system could not be initialised";
    case ORB_ERROR_WINDOW: return "window, GL context or renderer failure";
    case ORB_ERROR: return "failure";
    default: return "unknown result code";
  }
}

#ifndef ORB_TIME_PARTS_DEFINED
#define ORB_TIME_PARTS_DEFINED  // older callers test for it
struct TimeParts {
  int32_t minutes;
  int32_t seconds;
  int32_t milliseconds;
};
#endif
