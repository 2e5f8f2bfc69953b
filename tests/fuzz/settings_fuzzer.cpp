// Hostile settings files through ostrel's readers: the playback and camera
// parameters ("varozod.cfg"), the settings ("ZOD.cfg"), the playlist and
// the memory of positions and recent files ("Memory.cfg").
// Whatever the bytes, the readers give usable values.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app_files.h"
#include "play_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path dir = [] {
    char name[] = "/tmp/orb-settings-fuzz-XXXXXX";
    return std::filesystem::path(mkdtemp(name) ? name : "/tmp");
  }();
  const std::filesystem::path file = dir / "varozod.cfg";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const ostrel::PlayParam p = ostrel::read_play_param(file, dir);
  if (p.calibration_path.empty()) std::abort();  // always a name to look for
  for (const ostrel::CameraParam& c : ostrel::read_camera_params(file)) {
    for (float limit : c.limits) {
      if (!std::isfinite(limit) && !std::isinf(limit)) std::abort();
    }
  }
  (void)ostrel::read_settings(file);
  for (const std::string& line : ostrel::read_playlist(file)) {
    if (line.empty() || line.find('\n') != std::string::npos) std::abort();
  }
  // The memory file: what it reads, it writes back the same way.
  const ostrel::PlayMemory memory =
      ostrel::PlayMemory::parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (memory.volume < 0 || memory.volume > 100 || memory.recent().size() > ostrel::PlayMemory::kRecentCount)
    std::abort();
  const std::string written = memory.serialise();
  if (ostrel::PlayMemory::parse(written).serialise() != written) std::abort();
  return 0;
}
