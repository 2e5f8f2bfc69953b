#include <common/debug_trace.h>
#include <render/ogl_rendererMgr.h>

#include <render/gl_check.h>
#include <render/stitching_program.h>

#include <cstdio>
#include <cstring>

namespace orb {
namespace {

constexpr const char* kSource = "iss_oglPlayer\\ogl_rendererMgr\\ogl_rendererMgr";

// (x, y) -> (x, 1 - y): texture rows start with the picture's top row.
std::array<float, 16> flip_matrix() {
  std::array<float, 16> m{};
  m[0] = m[10] = m[15] = 1.0f;
  m[5] = -1.0f;
  m[13] = 1.0f;
  return m;
}

}  // namespace

ogl_rendererMgr::ogl_rendererMgr() : texture_matrix_(flip_matrix()) {}

ogl_rendererMgr::~ogl_rendererMgr() = default;

bool ogl_rendererMgr::valid_index(int index) const {
  if (static_cast<unsigned>(index) < kMaxViewports) return true;
  debug_trace("error: invalid viewport index %d;\n", index);
  return false;
}

int ogl_rendererMgr::init(const RendererInit& params) {
  texture_matrix_ = flip_matrix();
  for (GlTexture& t : textures_) {
    t = GlTexture::generate();
    if (gl_error_into(error_text_, 156)) return 1;
  }
  video_width_ = params.video_width;
  video_height_ = params.video_height;
  if (create_textures(params) != 0) return 1;
  for (std::size_t b = 0; b < programs_.size(); ++b) {
    if (generate_stitching_program(programs_[b], static_cast<Band>(b)) != 0) return 1;
    shared_.program[b] = programs_[b].get();
  }
  if (bind_shader_inputs() != 0) return 1;
  for (int i = 0; i < kMaxViewports; ++i) {
    ogl_renderer& vp = viewports_[static_cast<std::size_t>(i)];
    if (int result = vp.load_calibration(params.no_calibration, params.mount_mode, params.calibration_path);
        result != 0) {
      error_text_ = std::string("the calibration file ") + (params.calibration_path ? params.calibration_path : "") +
                    " cannot be used (code " + std::to_string(result) + ")";
      return result;
    }
    if (!params.no_calibration && vp.fit_to_video(video_width_, video_height_) == CalibrationFit::kOtherCamera) {
      debug_trace("warning: the calibration was made for a picture of another shape than %dx%d\n", video_width_,
                  video_height_);
    }
    vp.configure(i, params.logo_enabled, params.logo_angle_deg, params.no_calibration);
    vp.bind_resources(&shared_, &attributes_);
  }
  return 0;
}

int ogl_rendererMgr::create_textures(const RendererInit& params) {
  if (gl_error_into(error_text_, 194)) return 1;
  // Planes of any width: rows are tightly packed.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  // 4:2:0 chroma of an odd size rounds up, as FFmpeg lays it out.
  const int cw = (params.video_width + 1) / 2, ch = (params.video_height + 1) / 2;
  const int widths[3] = {params.video_width, cw, cw};
  const int heights[3] = {params.video_height, ch, ch};
  for (int plane = kY; plane <= kV; ++plane) {
    glBindTexture(GL_TEXTURE_2D, textures_[static_cast<std::size_t>(plane)].get());
    if (gl_error_into(error_text_, 199)) return 1;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    if (gl_error_into(error_text_, 203)) return 1;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (gl_error_into(error_text_, 206)) return 1;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    if (gl_error_into(error_text_, 209)) return 1;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (gl_error_into(error_text_, 212)) return 1;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, widths[plane], heights[plane], 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                 nullptr);
    if (gl_error_into(error_text_, 216)) return 1;
  }
  if (params.logo_enabled) {
    glBindTexture(GL_TEXTURE_2D, textures_[kLogo].get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, params.logo_width, params.logo_height, 0, GL_BGR, GL_UNSIGNED_BYTE,
                 params.logo_bgr);
    if (gl_error_into(error_text_, 231)) return 1;
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  return 0;
}

int ogl_rendererMgr::bind_shader_inputs() {
  struct AttributeStep {
    GLint* location;
    GLuint slot;
    GLint components;
    int line;
  };
  const AttributeStep attributes[] = {
      {&attributes_.position, stitch::kPositionSlot, 3, 333},
      {&attributes_.texture_coord, stitch::kTextureCoordSlot, 4, 339},
      {&attributes_.left_weights, stitch::kLeftWeightsSlot, 1, 345},
      {&attributes_.tex_index, stitch::kTexIndexSlot, 1, 350},
  };
  for (const AttributeStep& a : attributes) {
    *a.location = static_cast<GLint>(a.slot);
    glEnableVertexAttribArray(a.slot);
    glVertexAttribPointer(a.slot, a.components, GL_FLOAT, GL_FALSE, 0, nullptr);
    if (gl_error_into(error_text_, a.line)) return 1;
  }
  for (std::size_t b = 0; b < programs_.size(); ++b) {
    if (bind_uniforms(programs_[b].get(), shared_.uniforms[b]) != 0) return 1;
  }
  return 0;
}

int ogl_rendererMgr::bind_uniforms(GLuint p, StitchUniforms& uniforms) {
  glUseProgram(p);
  const float zero[16] = {};
  // A variant without a uniform reports -1, which GL ignores in the calls.
  uniforms.mvp_matrix = glGetUniformLocation(p, stitch::kMvpMatrix);
  glUniformMatrix4fv(uniforms.mvp_matrix, 1, GL_FALSE, zero);
  if (gl_error_into(error_text_, 355)) return 1;
  uniforms.st_matrix = glGetUniformLocation(p, stitch::kStMatrix);
  glUniformMatrix4fv(uniforms.st_matrix, 1, GL_FALSE, texture_matrix_.data());
  if (gl_error_into(error_text_, 359)) return 1;
  uniforms.color_conversion = glGetUniformLocation(p, stitch::kColorConversion);
  glUniformMatrix3fv(uniforms.color_conversion, 1, GL_FALSE, kColorConversion);
  if (gl_error_into(error_text_, 363)) return 1;
  struct SamplerStep {
    const char* name;
    GLint* location;
    GLint unit;
    int line;
  };
  const SamplerStep samplers[] = {
      {stitch::kTextureY, &uniforms.texture_y, 0, 367},
      {stitch::kTextureU, &uniforms.texture_u, 1, 371},
      {stitch::kTextureV, &uniforms.texture_v, 2, 375},
      {stitch::kLogoTexture, &uniforms.logo_texture, 3, 379},
  };
  for (const SamplerStep& s : samplers) {
    *s.location = glGetUniformLocation(p, s.name);
    glUniform1i(*s.location, s.unit);
    if (gl_error_into(error_text_, s.line)) return 1;
  }
  return 0;
}

int ogl_rendererMgr::set_viewport_rect(int index, int x, int y, int width, int height) {
  if (!valid_index(index)) return 5;
  return viewports_[static_cast<std::size_t>(index)].set_rect(x, y, width, height);
}

int ogl_rendererMgr::set_draw_mode(int index, int mode) {
  if (!valid_index(index)) return 5;
  return viewports_[static_cast<std::size_t>(index)].set_draw_mode(mode, video_width_, video_height_);
}

int ogl_rendererMgr::set_zoom(int index, float& zoom) {
  if (!valid_index(index)) return 5;
  return viewports_[static_cast<std::size_t>(index)].set_zoom(zoom);
}

int ogl_rendererMgr::set_view_angles(int index, float pitch_deg, float yaw_deg, float roll_deg) {
  if (!valid_index(index)) return 5;
  return viewports_[static_cast<std::size_t>(index)].set_view_angles(pitch_deg, yaw_deg, roll_deg);
}

int ogl_rendererMgr::upload_frame(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, int width,
                                  int height) {
  const std::uint8_t* const planes[3] = {y, u, v};
  const int strides[3] = {width, (width + 1) / 2, (width + 1) / 2};
  return upload_frame(planes, strides, width, height);
}

int ogl_rendererMgr::upload_frame(const std::uint8_t* const planes[3], const int strides[3], int width, int height) {
  const int widths[3] = {width, (width + 1) / 2, (width + 1) / 2};
  const int heights[3] = {height, (height + 1) / 2, (height + 1) / 2};
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  int result = 0;
  for (int plane = kY; plane <= kV && result == 0; ++plane) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, strides[plane]);
    glBindTexture(GL_TEXTURE_2D, textures_[static_cast<std::size_t>(plane)].get());
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, widths[plane], heights[plane], GL_LUMINANCE, GL_UNSIGNED_BYTE,
                    planes[plane]);
    if (gl_error_at(kSource, 139)) result = 1;
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  return result;
}

int ogl_rendererMgr::draw_all(const std::array<int, kMaxViewports>& enabled) {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  bind_textures();
  for (int index : {0, 1, 3, 2}) {
    if (enabled[static_cast<std::size_t>(index)] == 0) continue;
    if (int result = viewports_[static_cast<std::size_t>(index)].draw(); result != 0) return result;
  }
  return 0;
}

void ogl_rendererMgr::bind_textures() const {
  for (int plane = kY; plane <= kLogo; ++plane) {
    glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + plane));
    glBindTexture(GL_TEXTURE_2D, textures_[static_cast<std::size_t>(plane)].get());
  }
  glActiveTexture(GL_TEXTURE0);
}

void ogl_rendererMgr::set_overlay_text(const char* text) {
  overlay_text_.fill('\0');
  if (text != nullptr) std::strncpy(overlay_text_.data(), text, overlay_text_.size() - 1);
}

}  // namespace orb
