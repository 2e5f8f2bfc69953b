#pragma once
// The converter library's boundary: a fisheye video turned into an
// ordinary H.265 video of up to four views, audio copied. Operations return
// 0 on success, 15 when the input cannot be opened, 16 without a video
// stream, 21 for anything else; GetLastErrorText holds the last failure.
#include <cstdint>

#include <orb/orb_types.h>

// Owned by the caller and kept alive while the converter exists: the
// converter keeps the pointer, multiplies `bitrate` by 1024 in Init, and
// writes each viewport's clamped zoom back.
struct ConverterInitParams {
  const char* input_path;
  const char* calib_filename;
  const char* output_path;  // its extension chooses the container
  int32_t bitrate;          // kbit/s (1024-bit units)
  int32_t dst_width;
  int32_t dst_height;
  int32_t orientation;  // mount mode 0, 1 or 2
  int32_t draw_mode[4];
  float pitch[4];
  float yaw[4];
  float roll[4];
  float zoom[4];
  int32_t viewport_count;  // 1..4
  int32_t x[4];            // left edge in the output picture
  int32_t y[4];            // bottom edge, counted from the bottom of the output picture
  int32_t width[4];
  int32_t height[4];
};

struct RenderingStatistics {
  int32_t is_rendering;
  float frames_per_second;
  float percent;
  int32_t remaining_minutes;
  int32_t remaining_seconds;
  int32_t reserved;
};

class ISS_OrbVideoConverter {
 public:
  virtual int Init(ConverterInitParams* params) = 0;
  // Converts from `start` to `end` (whole seconds; milliseconds ignored).
  virtual int Start(TimeParts start, TimeParts end) = 0;
  virtual int Stop() = 0;
  virtual RenderingStatistics* GetStatistics(RenderingStatistics* out) = 0;
  virtual TimeParts* GetDuration(TimeParts* out) = 0;
  virtual int IsConverting() = 0;
  virtual const char* GetLastErrorText() = 0;
  virtual ~ISS_OrbVideoConverter() = default;
  // What Init chose that the user should know (the sound re-encoded, say);
  // empty when nothing. Added last, so earlier callers keep their layout.
  virtual const char* GetNoticeText() = 0;
  // A key frame every `frames` pictures (1 to 1000; 12 unless set), for the
  // next Init. Added last, like GetNoticeText. 0, or 21 out of range.
  virtual int SetKeyFrameInterval(int frames) = 0;
};

extern "C" {
__attribute__((visibility("default"))) ISS_OrbVideoConverter* CreateOrbVideoConverter();
// Always 0.
__attribute__((visibility("default"))) int DestroyOrbVideoConverter(ISS_OrbVideoConverter* converter);
}
