#pragma once
// Which lens calibration a video plays with. Each video gets its own: a
// calibration beside it, the configured one when it fits, one found for it
// earlier, one found now, or a default lens. Calibrating one video never
// changes how another plays.
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace ostrel {

enum class CalibrationSource {
  kBeside,      // "<video name>.inf" or the first "*.inf" beside the video
  kConfigured,  // the file "varozod.cfg" names
  kRemembered,  // found for this video before, kept in the data directory
  kDetected,    // found just now in the video's first picture
  kDefault,     // nothing found: a centred 180-degree circle in the shorter side
};

struct CalibrationChoice {
  std::string path;  // the file to play with
  CalibrationSource source = CalibrationSource::kDefault;
  bool scaled = false;  // made for the same camera at another resolution
  // The lens as found (kDetected) or assumed (kDefault), picture pixels.
  float cx = 0, cy = 0, radius = 0, fov_deg = 0;
};

// The frame size of a video's first video stream; nothing when it cannot
// be read within the network timeout (`error` then says why).
std::optional<std::pair<int, int>> probe_video_size(const std::string& media_path,
                                                    const std::atomic<bool>* stop = nullptr,
                                                    std::string* error = nullptr);

// Where this video's own calibration is kept in `data_dir`: keyed by the
// video's absolute path, so two videos never share one.
std::filesystem::path remembered_calibration(const std::filesystem::path& data_dir, const std::string& media_path);

// Where the calibration tool saves a calibration for this video:
// "<video name>.inf" beside it when that folder is writable, else the
// remembered one. Either is the first place the next playback looks.
std::filesystem::path calibration_target(const std::filesystem::path& data_dir, const std::string& media_path);

// Chooses, in order: "<video name>.inf" beside the video, the first "*.inf"
// beside it, the configured file, the remembered one — each only when it was
// made for a picture of the video's shape (another resolution is scaled by
// the renderer). Otherwise `detect(media, out)` (0 on success) writes a new
// one for this video; when that fails a default lens is written. Files that
// cannot be read are passed over.
CalibrationChoice choose_calibration(const std::string& media_path, int width, int height,
                                     const std::filesystem::path& configured, const std::filesystem::path& data_dir,
                                     const std::function<int(const char* media, const char* out)>& detect);

}  // namespace ostrel
