#pragma once
// The player library's boundary: an abstract player created and destroyed
// by two exported C functions. Operations return int status codes:
// 0 success, 15 input cannot be opened, 16 no video stream, 19 window system
// initialisation failed, 20 window, GL context or renderer failure, 21 any
// other failure. GetLastErrorText() holds the "error: ..." text of the last
// failure.
#include <cstdint>

#include <orb/orb_types.h>

// Kept by pointer (not copied) by OpenMedia: the caller keeps it alive
// while the media is open.
struct MediaOpenParams {
  const char* media_path;        // file path or URL
  const char* calibration_path;  // lens calibration (.inf)
  const char* logo_path;         // picture for the cap over the unseen pole
  int32_t no_calibration;        // nonzero: draw without a calibration file
  int32_t logo_enabled;
  int32_t logo_angle;  // degrees; negative: from the lens's field of view
  int32_t mount_mode;  // 0 facing up, 1 facing down, 2 facing sideways
};

// Called on a player thread; post to your own thread rather than calling
// the player back from inside.
typedef void (*OrbReservedCallback)(void* context);
typedef void (*OrbEndCallback)(void* context);
typedef void (*OrbErrorCallback)(void* context, int code);

// Messages sent to the parent of the native window (X11 ClientMessage,
// format 32, atom "_ORB_HOST_MESSAGE", l[0] = the number).
enum OrbHostMessage {
  ORB_HOST_MESSAGE_FILE_DROPPED = 1024 + 101,
  ORB_HOST_MESSAGE_DOUBLE_CLICK = 1024 + 200,
};

class ISS_OrbPlayer {
 public:
  virtual int OpenMedia(const MediaOpenParams* params) = 0;
  virtual int SetDrawMode(int mode, int index) = 0;
  virtual int SetWindowRect(int x, int y, int width, int height) = 0;
  // An X11 window ID (the host's child window the player draws into). The
  // host keeps the window until Stop has returned.
  virtual int SetNativeWindow(unsigned long native_window) = 0;
  virtual int SetViewportRect(int x, int y, int width, int height, int index) = 0;
  virtual int DisableViewport(int index) = 0;
  virtual const char* GetLastErrorText() = 0;
  virtual TimeParts* GetPositionParts(TimeParts* out) = 0;
  virtual int64_t GetPlayTime() = 0;
  virtual TimeParts* GetDuration(TimeParts* out) = 0;
  virtual int64_t GetReservedValue() = 0;
  virtual int Seek(int minutes, int seconds, int milliseconds) = 0;
  virtual int Play(OrbReservedCallback reserved, void* reserved_context, OrbEndCallback on_end, void* user_context,
                   OrbErrorCallback on_error) = 0;
  virtual float GetZoom(int index) = 0;
  virtual int GetViewAngles(int index, float* pitch, float* yaw, float* roll) = 0;
  virtual int SetAngleLimits(float min_pitch, float max_pitch, float min_yaw, float max_yaw, float min_roll,
                             float max_roll, int index) = 0;
  virtual int SetViewAngles(float pitch, float yaw, float roll, int index) = 0;
  virtual int SetVolume(int volume) = 0;
  virtual int IsPlaying() = 0;
  virtual int Stop() = 0;
  virtual int Pause() = 0;
  virtual int Resume() = 0;
  virtual int CreateCalibrationFile(const char* media_path, const char* calibration_path) = 0;
  virtual ~ISS_OrbPlayer() = default;
};

extern "C" {
__attribute__((visibility("default"))) ISS_OrbPlayer* CreateOrbPlayer();
// Always 0. Call Stop first.
__attribute__((visibility("default"))) int DestroyOrbPlayer(ISS_OrbPlayer* player);
}
