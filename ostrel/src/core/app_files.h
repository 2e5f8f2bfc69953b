#pragma once
// The files ostrel keeps between runs, all in its data directory: the
// settings ("ZOD.cfg"), the playlist ("Playlist.osp"), the playback and
// camera parameters ("varozod.cfg"), and the version line of its
// language file.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ostrel {

struct PlayerSettings {
  std::int32_t play_mode = 0;       // 0 sequence, 1 random, 2 single loop
  std::int32_t current_index = -1;  // list index of the item last started
};

// Missing or short files leave the defaults for what was not read.
PlayerSettings read_settings(const std::filesystem::path& file);
// 8 bytes, little-endian. False (with a diagnostic line) when not written.
bool write_settings(const std::filesystem::path& file, const PlayerSettings& settings);

// One UTF-8 path per line (CR LF or LF); blank lines are skipped.
std::vector<std::string> read_playlist(const std::filesystem::path& file);
// Written beside and renamed, so a failed write never loses the old list.
bool write_playlist(const std::filesystem::path& file, const std::vector<std::string>& paths);

struct PlayParam {
  std::string calibration_path;  // data directory + "calib_filename"
  std::string logo_path;         // data directory + "logon_fn"
  std::int32_t need_logo = 0;
  std::int32_t logo_fov = 0;
};

// Angle limits of one view layout: pitch a, b; yaw a, b; roll a, b.
struct CameraParam {
  std::array<float, 6> limits{};
};

PlayParam read_play_param(const std::filesystem::path& varozod, const std::filesystem::path& data_dir);
std::array<CameraParam, 4> read_camera_params(const std::filesystem::path& varozod);
// "a,b" -> (atof(a), atof(b)); no comma or empty -> (0, 0).
std::array<float, 2> parse_pair(const std::string& value);

// The "varozod.cfg" shipped for a first run: a calibration file name in the
// data directory, which the first playback creates from the video.
std::string default_varozod();
// Writes the defaults in one piece; false (said on the diagnostic output) when it cannot.
bool write_default_varozod(const std::filesystem::path& file);
inline constexpr const char* kDefaultCalibrationName = "ostrel_lens.inf";

// The window for a monitor `monitor_width` pixels wide.
struct WindowSize {
  int width, height, playlist_width;
};
WindowSize window_size_for_monitor(int monitor_width);

// Key "version" of section "option" of the language file, or "".
std::string language_file_version(const std::filesystem::path& osd);

}  // namespace ostrel
