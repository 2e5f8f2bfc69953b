#include <geometry/vertex_factory.h>

namespace orb {
namespace {

// R x M with M = rows (1,0,0), (0,0,1), (0,-1,0): the lens axis becomes the
// pole of the panorama sphere.
void reorient(std::array<float, 9>& r) {
  for (int row = 0; row < 3; ++row) {
    float* m = &r[3 * row];
    const float second = m[1];
    m[1] = -m[2];
    m[2] = second;
  }
}

float roll_offset_for(int mount_mode) {
  switch (mount_mode) {
    case 1: return 180.0f;  // facing down
    case 2: return 90.0f;   // facing sideways
    default: return 0.0f;
  }
}

}  // namespace

int VertexFactory::load_calibration(bool no_calibration, int mount_mode, const char* path) {
  camera_.roll_offset_deg = 0;
  camera_.mount_mode = mount_mode;
  camera_.no_calibration = no_calibration;
  if (no_calibration) {
    camera_.calibration_loaded = true;
    return 0;
  }
  if (int result = read_calibration_file(path, camera_); result != 0) return result;
  if (camera_.camera_count == 1) {
    for (LensParams& lens : camera_.lenses) reorient(lens.rotation);
    camera_.roll_offset_deg = roll_offset_for(mount_mode);
  } else if (mount_mode != 2) {
    for (LensParams& lens : camera_.lenses) reorient(lens.rotation);
  }
  camera_.calibration_loaded = true;
  return 0;
}

void VertexFactory::set_image_size(int width, int height) {
  camera_.image_width = width;
  camera_.image_height = height;
}

}  // namespace orb
