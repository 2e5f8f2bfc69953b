#include "app_files.h"

#include <common/debug_trace.h>
#include <common/file_replace.h>
#include <common/ini_file.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

bool replace_or_say(const fs::path& file, std::string_view contents) {
  std::string error;
  if (orb::replace_file(file, contents, &error)) return true;
  orb::debug_trace("error: %s", error.c_str());
  return false;
}

// A settings problem is said once on the diagnostic output, not on every read.
void say_once(const std::string& text) {
  static std::mutex mutex;
  static std::set<std::string> said;
  std::lock_guard lock(mutex);
  if (said.insert(text).second) orb::debug_trace("%s", text.c_str());
}

}  // namespace

PlayerSettings read_settings(const fs::path& file) {
  PlayerSettings s;
  std::ifstream in(file, std::ios::binary);
  unsigned char bytes[8];
  in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
  const auto got = in.gcount();
  auto word = [&](int at) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
        static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24);
  };
  if (got >= 4) s.play_mode = word(0);
  if (got >= 8) s.current_index = word(4);
  return s;
}

bool write_settings(const fs::path& file, const PlayerSettings& s) {
  char bytes[8];
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>(static_cast<std::uint32_t>(s.play_mode) >> (8 * i));
    bytes[4 + i] = static_cast<char>(static_cast<std::uint32_t>(s.current_index) >> (8 * i));
  }
  return replace_or_say(file, std::string_view(bytes, sizeof bytes));
}

std::vector<std::string> read_playlist(const fs::path& file) {
  std::vector<std::string> paths;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) paths.push_back(line);
  }
  return paths;
}

bool write_playlist(const fs::path& file, const std::vector<std::string>& paths) {
  std::string text;
  for (const std::string& p : paths) text += p + '\n';
  return replace_or_say(file, text);
}

bool write_default_varozod(const fs::path& file) { return replace_or_say(file, default_varozod()); }

std::array<float, 2> parse_pair(const std::string& value) {
  const std::size_t comma = value.find(',');
  if (comma == std::string::npos) return {0, 0};
  return {static_cast<float>(std::atof(value.substr(0, comma).c_str())),
          static_cast<float>(std::atof(value.substr(comma + 1).c_str()))};
}

PlayParam read_play_param(const fs::path& varozod, const fs::path& data_dir) {
  const orb::IniFile ini = orb::IniFile::load(varozod).value_or(orb::IniFile{});
  PlayParam p;
  // A file that is empty, junk or names no file (".", a folder) keeps the
  // default name; playback never depends on this key being sound.
  std::string name = ini.get_string("play_param", "calib_filename");
  std::error_code ec;
  if (name.empty() || name.find('\0') != std::string::npos || fs::is_directory(data_dir / name, ec)) {
    say_once("varozod.cfg names no usable calibration file (\"" + name + "\"); using " + kDefaultCalibrationName);
    name = kDefaultCalibrationName;
  }
  p.calibration_path = (data_dir / name).string();
  p.logo_path = (data_dir / ini.get_string("play_param", "logon_fn")).string();
  p.need_logo = ini.get_int("play_param", "need_logo", 0);
  p.logo_fov = ini.get_int("play_param", "logo_fov", 0);
  return p;
}

std::array<CameraParam, 4> read_camera_params(const fs::path& varozod) {
  const orb::IniFile ini = orb::IniFile::load(varozod).value_or(orb::IniFile{});
  std::array<CameraParam, 4> params{};
  for (int i = 0; i < 4; ++i) {
    const std::string section = "camera_param_" + std::to_string(i);
    // A missing key (an empty or cut file) keeps the default, full turn.
    auto pair = [&](const char* key) {
      const auto v = ini.value(section, key);
      if (!v) say_once("varozod.cfg has no [" + section + "] " + key + "; the view turns freely");
      return v ? parse_pair(*v) : std::array<float, 2>{-180, 180};
    };
    const auto pitch = pair("picth");  // the key is spelled so
    const auto yaw = pair("yaw");
    const auto roll = pair("roll");
    params[static_cast<std::size_t>(i)].limits = {pitch[0], pitch[1], yaw[0], yaw[1], roll[0], roll[1]};
  }
  return params;
}

std::string default_varozod() {
  return std::string(
             "[play_param]\n"
             "calib_filename=") +
         kDefaultCalibrationName +
         "\n"
         "logon_fn=\n"
         "need_logo=0\n"
         "logo_fov=0\n"
         "\n"
         "[camera_param_0]\npicth=-180,180\nyaw=-180,180\nroll=-180,180\n"
         "[camera_param_1]\npicth=-180,180\nyaw=-180,180\nroll=-180,180\n"
         "[camera_param_2]\npicth=-180,180\nyaw=-180,180\nroll=-180,180\n"
         "[camera_param_3]\npicth=-180,180\nyaw=-180,180\nroll=-180,180\n";
}

WindowSize window_size_for_monitor(int w) {
  int width = 1224, panel = 225;
  if (w <= 1024) {
    width = 775;
  } else if (w <= 1280) {
    width = 968;
  } else if (w <= 1366) {
    width = 1058;
    panel = 246;
  }
  return {width, width * 4 / 9 + 114, panel};
}

std::string language_file_version(const fs::path& osd) {
  const auto ini = orb::IniFile::load(osd);
  return ini ? ini->get_string("option", "version") : std::string();
}

}  // namespace ostrel
