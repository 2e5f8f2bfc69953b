#pragma once
// One viewport of the panorama display: a rectangle of the render target
// with its own draw mode, mesh, camera and vertex buffers, drawn with the
// manager's program and textures. Render thread only.
#include <geometry/vertex_factory.h>
#include <geometry/view_camera.h>
#include <render/gl_handles.h>
#include <render/stitching_program.h>

#include <array>

namespace orb {

// Shader inputs looked up once by the manager, shared by its viewports.
struct StitchAttributes {
  GLint position = -1;
  GLint texture_coord = -1;
  GLint left_weights = -1;
  GLint tex_index = -1;
};
struct StitchUniforms {
  GLint texture_y = -1, texture_u = -1, texture_v = -1, logo_texture = -1;
  GLint mvp_matrix = -1, st_matrix = -1, color_conversion = -1;
};

// The programs a viewport draws its bands with, and their uniforms; a
// renderer with a single program puts it in every slot.
struct StitchPrograms {
  std::array<GLuint, kBandCount> program{};
  std::array<StitchUniforms, kBandCount> uniforms{};
};

struct ViewportRect {
  int x = 0, y = 0, width = 0, height = 0;  // pixels, origin bottom-left
};

class ogl_renderer {
 public:
  ogl_renderer() = default;
  ogl_renderer(const ogl_renderer&) = delete;
  ogl_renderer& operator=(const ogl_renderer&) = delete;

  // Prepares the viewport for a manager's init: its number, the logo and
  // calibration choices, no mesh yet.
  void configure(int number, bool logo, int logo_angle_deg, bool no_calibration);
  int load_calibration(bool no_calibration, int mount_mode, const char* path) {
    return factory_.load_calibration(no_calibration, mount_mode, path);
  }
  // The same camera recorded at another resolution: the lens scaled to it.
  CalibrationFit fit_to_video(int width, int height) { return factory_.fit_to_video(width, height); }
  void bind_resources(const StitchPrograms* programs, const StitchAttributes* attributes);

  // 0, or 1 when a GL error is pending.
  int set_rect(int x, int y, int width, int height);
  // 0, 7 invalid mode, 1 mesh or upload failure (the viewport is then not drawable).
  int set_draw_mode(int mode, int video_width, int video_height);
  // Clamps `zoom` and writes the clamped value back; always 0.
  int set_zoom(float& zoom);
  int set_view_angles(float pitch_deg, float yaw_deg, float roll_deg);
  int upload_mesh();
  int draw();

  const ViewCamera& camera() const { return camera_; }
  const VertexFactory& factory() const { return factory_; }
  const ViewportRect& rect() const { return rect_; }
  bool mesh_uploaded() const { return mesh_uploaded_; }
  int vertex_count() const { return vertex_count_; }  // triangle corners

 private:
  VertexFactory factory_;
  ViewCamera camera_;
  // Positions, texture coordinates, weights, indices: filled once per mesh
  // build (the arrays only change then).
  std::array<GlBuffer, 4> buffers_;
  GlBuffer elements_;     // corners of the triangles, into the shared vertices, by band
  int vertex_count_ = 0;  // corners drawn
  std::array<ElementRange, kBandCount> bands_{};
  const StitchPrograms* programs_ = nullptr;
  const StitchAttributes* attributes_ = nullptr;
  int number_ = 0;
  bool mesh_uploaded_ = false;
  bool logo_ = false;
  bool no_calibration_ = false;
  int logo_angle_deg_ = 0;
  ViewportRect rect_;
};

}  // namespace orb
