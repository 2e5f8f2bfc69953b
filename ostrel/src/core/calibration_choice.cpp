#include "calibration_choice.h"

#include <av/av_ptr.h>
#include <av/media_open.h>
#include <common/debug_trace.h>
#include <geometry/calibration_file.h>
#include <geometry/view_layout.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include <unistd.h>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

std::optional<orb::CalibrationFile> read_lens(const fs::path& path) {
  std::error_code ec;
  if (path.empty() || !fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::array<unsigned char, orb::kCalibrationFileSize> bytes{};
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<std::size_t>(in.gcount()) != bytes.size()) return std::nullopt;
  return orb::decode_calibration(bytes);
}

// The file's lens fitted to width x height; nothing when it is unreadable,
// invalid or made for a picture of another shape.
std::optional<orb::CalibrationFit> fits(const fs::path& path, int width, int height) {
  std::optional<orb::CalibrationFile> file = read_lens(path);
  if (!file) return std::nullopt;
  orb::CameraParams camera;
  std::fflush(stdout);
  if (orb::apply_calibration(*file, camera) != 0) return std::nullopt;
  const orb::CalibrationFit fit = orb::fit_calibration(*file, width, height);
  if (fit == orb::CalibrationFit::kOtherCamera) return std::nullopt;
  return fit;
}

std::uint64_t fnv1a(const std::string& text) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

fs::path absolute_of(const std::string& media_path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(media_path, ec), ec);
  return p.empty() ? fs::path(media_path) : p;
}

}  // namespace

std::optional<std::pair<int, int>> probe_video_size(const std::string& media_path, const std::atomic<bool>* stop,
                                                    std::string* error) {
  std::string text;
  const orb::OpenedInput input = orb::open_media(media_path.c_str(), text, stop);  // bounded: a silent server ends it
  if (error) *error = text;
  if (!input) return std::nullopt;
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return std::nullopt;
  const AVCodecParameters* p = input->streams[index]->codecpar;
  if (p->width <= 0 || p->height <= 0) return std::nullopt;
  return std::pair{p->width, p->height};
}

fs::path remembered_calibration(const fs::path& data_dir, const std::string& media_path) {
  const fs::path media = absolute_of(media_path);
  char key[17];
  std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(fnv1a(media.string())));
  return data_dir / "calibrations" / (media.stem().string() + "-" + key + ".inf");
}

fs::path calibration_target(const fs::path& data_dir, const std::string& media_path) {
  const fs::path media = absolute_of(media_path);
  if (::access(media.parent_path().c_str(), W_OK) == 0) return fs::path(media).replace_extension(".inf");
  return remembered_calibration(data_dir, media_path);
}

CalibrationChoice choose_calibration(const std::string& media_path, int width, int height, const fs::path& configured,
                                     const fs::path& data_dir,
                                     const std::function<int(const char* media, const char* out)>& detect) {
  CalibrationChoice choice;
  auto take = [&](const fs::path& path, CalibrationSource source) {
    const auto fit = fits(path, width, height);
    if (!fit) return false;
    choice.path = path.string();
    choice.source = source;
    choice.scaled = *fit == orb::CalibrationFit::kScaled;
    return true;
  };
  // The video's own lens, else the first beside it by name.
  const std::vector<fs::path> beside = orb::calibrations_beside(absolute_of(media_path).string());
  if (!beside.empty()) {
    if (take(beside.front(), CalibrationSource::kBeside)) return choice;
    const fs::path first = *std::min_element(beside.begin(), beside.end());
    if (first != beside.front() && take(first, CalibrationSource::kBeside)) return choice;
  }
  if (take(configured, CalibrationSource::kConfigured)) return choice;
  std::error_code ec;
  const fs::path remembered = remembered_calibration(data_dir, media_path);
  if (take(remembered, CalibrationSource::kRemembered)) return choice;

  fs::create_directories(remembered.parent_path(), ec);
  if (detect && detect(media_path.c_str(), remembered.c_str()) == 0 && take(remembered, CalibrationSource::kDetected)) {
    if (const auto lens = read_lens(remembered)) {
      choice.cx = lens->centres[0][0];
      choice.cy = lens->centres[0][1];
      choice.fov_deg = static_cast<float>(lens->max_ray_angle_rad * 2 * 180 / M_PI);
      choice.radius = static_cast<float>(orb::kReferenceRadius * lens->c1 * lens->max_ray_angle_rad);
    }
    return choice;
  }
  // Nothing to go on: a default lens, never kept as this video's own.
  const orb::CalibrationFile lens = orb::default_calibration(width, height);
  const fs::path fallback =
      data_dir / "calibrations" / ("default-" + std::to_string(width) + "x" + std::to_string(height) + ".inf");
  if (orb::write_calibration_file(fallback.c_str(), lens) != 0) {
    orb::debug_trace("error: cannot write %s", fallback.c_str());
  }
  choice.path = fallback.string();
  choice.source = CalibrationSource::kDefault;
  choice.cx = lens.centres[0][0];
  choice.cy = lens.centres[0][1];
  choice.radius = static_cast<float>(std::min(width, height)) / 2;
  choice.fov_deg = 180;
  return choice;
}

}  // namespace ostrel
