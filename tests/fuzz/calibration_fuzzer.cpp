// Hostile calibration files: whatever the reader accepts must give meshes
// of the right size with finite texture data and known texture indices, and
// the fault inspect names is there exactly when the reader refuses.
#include <geometry/calibration_file.h>
#include <geometry/vertex_factory.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "calibration_fuzzer: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  char path[] = "/tmp/calibration-fuzz-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return 0;
  const bool written = ::write(fd, data, size) == static_cast<ssize_t>(size);
  ::close(fd);
  if (!written) {
    ::unlink(path);
    return 0;
  }
  // The reader's refusals go to standard output; keep the fuzzer's log readable.
  static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
  (void)quiet;

  // A fault is named exactly when the file is refused.
  if (size >= orb::kCalibrationFileSize) {
    std::array<unsigned char, orb::kCalibrationFileSize> bytes{};
    std::copy_n(data, bytes.size(), bytes.begin());
    const orb::CalibrationFile decoded = orb::decode_calibration(bytes);
    orb::CameraParams camera;
    check((orb::apply_calibration(decoded, camera) == 0) == orb::calibration_fault(decoded).empty(),
          "fault named for an accepted file, or none for a refused one");
  }

  const int mount_mode = size > 0 ? data[0] % 4 : 0;
  orb::VertexFactory factory;
  const int result = factory.load_calibration(false, mount_mode, path);
  ::unlink(path);
  check(result == 0 || result == 1 || result == 2, "unexpected result");
  check(size >= orb::kCalibrationFileSize || result == 2, "short file accepted");
  if (result != 0) return 0;

  const bool logo = size > 1 && (data[1] & 1);
  for (int mode : {orb::DRAW_MODE_SOURCE, orb::DRAW_MODE_PANORAMA, orb::DRAW_MODE_WIDE_ANGLE}) {
    check(factory.generate_mesh(mode, logo, -1) != nullptr, "no mesh");
    const std::size_t vertices = factory.positions().size() / 3;
    for (float p : factory.positions()) check(std::isfinite(p), "non-finite position");
    if (factory.texture_indices().empty()) continue;
    check(factory.texture_indices().size() == vertices, "index count");
    check(factory.texture_coords().size() == vertices * 4, "coordinate count");
    for (float t : factory.texture_coords()) check(std::isfinite(t), "non-finite texture coordinate");
    for (float i : factory.texture_indices()) check(i == 0 || i == 1 || i == 4, "unknown texture index");
  }
  return 0;
}
