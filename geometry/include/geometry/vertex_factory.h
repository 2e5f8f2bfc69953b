#pragma once
// Builds the triangle meshes of the draw modes and, through the lens model,
// their per-vertex texture data. One factory per viewport.
#include <geometry/calibration_file.h>
#include <geometry/draw_mode.h>

#include <vector>

namespace orb {

// One viewing direction projected into the source picture.
struct ProjectedRay {
  float u = 0, v = 0;    // picture coordinates 0..1, v measured upwards
  bool visible = false;  // the lens sees the direction inside the picture
  float margin = 0;      // pixels to the nearest picture edge or circle rim
};

class VertexFactory {
 public:
  static constexpr int kStepDeg = 3;
  static constexpr int kLongitudeSpanDeg = 360;
  static constexpr int kLatitudeSpanDeg = 180;
  static constexpr int kColumns = kLongitudeSpanDeg / kStepDeg;  // 120
  static constexpr int kRows = kLatitudeSpanDeg / kStepDeg;      // 60
  static constexpr float kSphereRadius = 4.0f;
  static constexpr float kFlatDepth = 0.0f;

  VertexFactory() = default;
  virtual ~VertexFactory() = default;
  VertexFactory(const VertexFactory&) = delete;
  VertexFactory& operator=(const VertexFactory&) = delete;

  // Reads the calibration (unless `no_calibration`) and orients the lenses
  // for the mount mode. 0, or the reader's result.
  int load_calibration(bool no_calibration, int mount_mode, const char* path);

  // Projects direction (a, b), radians, through lens slot 0.
  ProjectedRay project_ray(float a, float b) const;
  // The same for a lens looking along the horizon (a wall mount): elevation
  // above the horizon and azimuth right of the lens axis, radians.
  ProjectedRay project_upright(float elevation_rad, float azimuth_rad) const;

  // Fills texture coordinates, indices and weights for a cols x rows grid
  // of cells, using the logo flag and angle of the last generate_mesh.
  void compute_texture_coords(int cols, int rows);

  // Builds the mesh of `mode`; the position array, or null on failure.
  const float* generate_mesh(int mode, bool logo, int logo_angle_deg);

  // The draw mode 0 quad follows the video, not the calibrated picture.
  void set_image_size(int width, int height);
  // Scales the loaded lens to a video of another resolution with the same
  // aspect ratio (the same camera); a picture of another shape is left as
  // it is and reported.
  CalibrationFit fit_to_video(int width, int height) { return fit_calibration(camera_, width, height); }

  const std::vector<float>& positions() const { return positions_; }            // 3 per vertex
  const std::vector<float>& texture_coords() const { return texture_coords_; }  // 4 per vertex
  const std::vector<float>& texture_indices() const { return texture_indices_; }
  const std::vector<float>& blend_weights() const { return blend_weights_; }

  const CameraParams& camera() const { return camera_; }
  float roll_offset_deg() const { return camera_.roll_offset_deg; }
  int logo_angle_deg() const { return logo_angle_deg_; }

 private:
  void build_quad();
  void build_panorama_grid();
  void build_sphere();
  void clear_texture_data();
  // A unit ray before the slot rotation, as project_ray builds it.
  ProjectedRay project_direction(float ray_x, float ray_y, float ray_z) const;

  CameraParams camera_;
  std::vector<float> positions_;
  std::vector<float> texture_coords_;
  std::vector<float> texture_indices_;
  std::vector<float> blend_weights_;
  int logo_flag_ = 0;
  bool upright_panorama_ = false;  // the panorama of a wall mount: along its horizon
  int logo_angle_deg_ = 0;
};

}  // namespace orb
