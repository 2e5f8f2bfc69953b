#pragma once
// The panorama renderer of one player or converter: four viewports, the
// Y/U/V plane textures each frame is uploaded into, the logo texture and
// the stitching program's variants. Constructed, used and destroyed on one thread with
// its GL context current.
#include <render/gl_handles.h>
#include <render/ogl_renderer.h>

#include <array>
#include <cstdint>
#include <string>

namespace orb {

inline constexpr int kMaxViewports = 4;

struct RendererInit {
  const char* calibration_path = nullptr;
  bool logo_enabled = false;
  int logo_angle_deg = -1;  // negative: from the lens's field of view
  bool no_calibration = false;
  int video_width = 0;
  int video_height = 0;
  const std::uint8_t* logo_bgr = nullptr;  // rows top first, no padding; read during init only
  int logo_width = 0;
  int logo_height = 0;
  int mount_mode = 0;
};

class ogl_rendererMgr {
 public:
  ogl_rendererMgr();
  ~ogl_rendererMgr();
  ogl_rendererMgr(const ogl_rendererMgr&) = delete;
  ogl_rendererMgr& operator=(const ogl_rendererMgr&) = delete;

  // 0; 1 GL or shader failure (error_text() says where); or the calibration
  // reader's 1 or 2. After a failure the manager may only be destroyed.
  int init(const RendererInit& params);

  // Viewport requests: 5 (after printing) for an index outside 0..3,
  // otherwise the viewport's result.
  int set_viewport_rect(int index, int x, int y, int width, int height);
  int set_draw_mode(int index, int mode);
  int set_zoom(int index, float& zoom);
  int set_view_angles(int index, float pitch_deg, float yaw_deg, float roll_deg);

  // Replaces the three planes (tightly packed, the size given to init).
  int upload_frame(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, int width, int height);
  // The same for planes whose rows are `strides` bytes apart (decoder frames).
  int upload_frame(const std::uint8_t* const planes[3], const int strides[3], int width, int height);
  // Clears, then draws the enabled viewports in the order 0, 1, 3, 2.
  int draw_all(const std::array<int, kMaxViewports>& enabled);
  // Binds the Y, U, V and logo textures to units 0..3 (draw_all does it too).
  void bind_textures() const;

  // Read access for the player; the index must be 0..3.
  const ogl_renderer& viewport(int index) const { return viewports_[static_cast<std::size_t>(index)]; }
  const std::string& error_text() const { return error_text_; }
  // Overlay text (date and time of the play position) is kept as data only.
  void set_overlay_text(const char* text);
  const char* overlay_text() const { return overlay_text_.data(); }
  // A band's program variant and its uniforms; kAny decides per pixel.
  GLuint program(Band band = Band::kAny) const { return shared_.program[static_cast<std::size_t>(band)]; }
  const StitchUniforms& uniforms(Band band = Band::kAny) const {
    return shared_.uniforms[static_cast<std::size_t>(band)];
  }
  const StitchAttributes& attributes() const { return attributes_; }

 private:
  int create_textures(const RendererInit& params);
  int bind_shader_inputs();
  int bind_uniforms(GLuint program, StitchUniforms& uniforms);
  bool valid_index(int index) const;

  std::array<ogl_renderer, kMaxViewports> viewports_;
  enum Plane { kY, kU, kV, kLogo };
  std::array<GlTexture, 4> textures_;
  std::array<GlProgram, kBandCount> programs_;  // one per band
  StitchPrograms shared_;                       // their names and uniforms, for the viewports
  StitchAttributes attributes_;
  std::string error_text_;  // last setup failure
  std::array<float, 16> texture_matrix_{};
  std::array<char, 72> overlay_text_{};
  int video_width_ = 0;
  int video_height_ = 0;
};

}  // namespace orb
