#include <render/offscreen_renderer.h>

#include <orb/orb_types.h>

#include <render/gl_check.h>
#include <render/shader.h>

#include <cstdio>

#include <unistd.h>
#include <cstring>

namespace orb {
namespace {

constexpr const char* kVertexSource = R"(#version 120
uniform mat4 uMVPMatrix;
uniform mat4 uSTMatrix;
attribute vec4 Position;
attribute vec4 TexCoord;
attribute float aLeftWeights;
attribute float aTexIndex;
varying vec4 vTexCoord;
varying float vWeight;
varying float vIndex;
void main() {
  gl_Position = uMVPMatrix * vec4(Position.xyz, 1.0);
  vTexCoord.xy = (uSTMatrix * vec4(TexCoord.xy, 1.0, 1.0)).xy;
  vTexCoord.zw = (uSTMatrix * vec4(TexCoord.zw, 1.0, 1.0)).xy;
  vWeight = aLeftWeights;
  vIndex = aTexIndex;
}
)";

// Where each pixel samples the picture: its texture position and whether
// it shows the picture at all (bands 1 and 2 inside the picture; the lens
// meshes carry no blended areas, index 3, and index 0 is black).
constexpr const char* kCoordinateFragment = R"(#version 120
varying vec4 vTexCoord;
varying float vWeight;
varying float vIndex;
void main() {
  bool second_band = vIndex > 1.9 && vIndex < 2.1;
  vec2 p = second_band ? vTexCoord.zw : vTexCoord.xy;
  bool shown = (second_band || (vIndex > 0.9 && vIndex < 1.1)) &&
               p.x >= 0.0 && p.x <= 1.0 && p.y >= 0.0 && p.y <= 1.0;
  gl_FragColor = shown ? vec4(p, 1.0, 1.0) : vec4(0.0);
}
)";

std::string format(const char* fmt, int a, int b = 0, int c = 0) {
  char text[256];
  std::snprintf(text, sizeof text, fmt, a, b, c);
  return text;
}

bool gl_failed(std::string& error, int line) {
  if (!gl_error_into(error, line)) return false;
  return true;
}

}  // namespace

int OffscreenRenderer::init(OffscreenViews& views, int input_width, int input_height, std::string& error) {
  views_ = &views;
  input_width_ = input_width;
  input_height_ = input_height;
  count_ = views.count;
  if (count_ < 1 || count_ > 4) {
    error = format("error: invalid viewport count %d;\n", count_);
    return ORB_ERROR;
  }
  for (int i = 0; i < count_; ++i) {
    const long right = long{views.x[i]} + views.view_width[i];
    const long top = long{views.y[i]} + views.view_height[i];
    if (right < 1 || right > views.width || views.x[i] < 0 || views.view_width[i] < 1) {
      error = format("error: invalid viewport size for viewport %d;width %d _init_param->dst_width = %d \n", i,
                     static_cast<int>(right), views.width);
      return ORB_ERROR;
    }
    if (top < 1 || top > views.height || views.y[i] < 0 || views.view_height[i] < 1) {
      error = format("error: invalid viewport size for viewport %d;\n", i);
      return ORB_ERROR;
    }
  }

  CompiledShader vertex = compile_shader(GL_VERTEX_SHADER, kVertexSource);
  if (!vertex.ok) {
    error = "error: could not compile vertex shader:\n" + vertex.log + "\n";
    return ORB_ERROR;
  }
  CompiledShader fragment = compile_shader(GL_FRAGMENT_SHADER, kCoordinateFragment);
  if (!fragment.ok) {
    error = "error: could not compile fragment shader:\n" + fragment.log + "\n";
    return ORB_ERROR;
  }
  program_ = GlProgram::generate();
  if (!program_) {
    error = "error: fail to create glProgram;\n";
    return ORB_ERROR;
  }
  glAttachShader(program_.get(), vertex.shader.get());
  glAttachShader(program_.get(), fragment.shader.get());
  std::string log;
  if (!link_program(program_.get(), log)) {
    error = "error: Could not link program:\n" + log + "\n;";
    return ORB_ERROR;
  }
  const GLuint p = program_.get();
  glUseProgram(p);
  attributes_.position = glGetAttribLocation(p, "Position");
  attributes_.texture_coord = glGetAttribLocation(p, "TexCoord");
  attributes_.left_weights = glGetAttribLocation(p, "aLeftWeights");
  attributes_.tex_index = glGetAttribLocation(p, "aTexIndex");
  StitchUniforms uniforms;
  uniforms.mvp_matrix = glGetUniformLocation(p, "uMVPMatrix");
  uniforms.st_matrix = glGetUniformLocation(p, "uSTMatrix");
  shared_.program.fill(p);  // one program draws every band
  shared_.uniforms.fill(uniforms);
  const float flip[16] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1};  // texture y becomes 1 - y
  glUniformMatrix4fv(uniforms.st_matrix, 1, GL_FALSE, flip);
  if (gl_failed(error, 230)) return ORB_ERROR;

  for (int i = 0; i < count_; ++i) {
    Viewport& vp = viewports_[static_cast<std::size_t>(i)];
    vp.x = views.x[i];
    vp.y = views.y[i];
    vp.width = views.view_width[i];
    vp.height = views.view_height[i];
    const char* path = views.calibration_path;
    if (path == nullptr) {
      error = "error: null calibration file!\n";
      return ORB_ERROR;
    }
    if (::access(path, R_OK) != 0) {
      char text[512];
      std::snprintf(text, sizeof text, "error: can not open calibration file %s;\n", path);
      error = text;
      return ORB_ERROR;
    }
    std::fflush(stdout);
    if (vp.view.load_calibration(false, views.mount_mode, path) != 0) {
      char text[512];
      std::snprintf(text, sizeof text, "error: invalid calibration file %s;\n", path);
      error = text;
      return ORB_ERROR;
    }
    vp.view.fit_to_video(input_width, input_height);  // the same camera at another resolution
    vp.view.configure(i, false, 0, false);
    vp.view.bind_resources(&shared_, &attributes_);
    if (create_framebuffer(vp, error) != 0) return ORB_ERROR;
    vp.view.set_rect(0, 0, vp.width, vp.height);
    const int mode = views.draw_mode[i];
    const int result = vp.view.set_draw_mode(mode, input_width, input_height);
    if (result == 7) {
      error = format("error: invalid draw mode %d;\n", mode);
      return ORB_ERROR;
    }
    if (result != 0) {
      error = "error: can not get vertex data;\n";
      return ORB_ERROR;
    }
    vp.view.set_zoom(views.zoom[i]);  // the clamped value goes back to the caller
    vp.view.set_view_angles(views.pitch[i], views.yaw[i], views.roll[i]);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return 0;
}

int OffscreenRenderer::create_framebuffer(Viewport& vp, std::string& error) {
  // Float colour: the map holds texture positions, not colours. Depth as in
  // the player's window: the orthographic ball shows the sphere's near side
  // over its far side.
  vp.framebuffer = GlFramebuffer::generate();
  vp.colour = GlRenderbuffer::generate();
  vp.depth = GlRenderbuffer::generate();
  glBindRenderbuffer(GL_RENDERBUFFER, vp.colour.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA32F, vp.width, vp.height);
  glBindRenderbuffer(GL_RENDERBUFFER, vp.depth.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, vp.width, vp.height);
  glBindFramebuffer(GL_FRAMEBUFFER, vp.framebuffer.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, vp.colour.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, vp.depth.get());
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    char text[256];
    std::snprintf(text, sizeof text, "error: in gl_init, frame buffer preview is not ready, code %d: %s;\n",
                  static_cast<int>(status), "incomplete framebuffer");
    error = text;
    return ORB_ERROR;
  }
  if (const GLenum code = glGetError(); code != GL_NO_ERROR) {
    error = format("error in opengl(line %d): code %d\n", 42, static_cast<int>(code));
    return ORB_ERROR;
  }
  return 0;
}

int OffscreenRenderer::build_remap(RemapPlan& plan, std::string& error) {
  glUseProgram(program_.get());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  std::vector<RemapPlan::Coord> coords(static_cast<std::size_t>(views_->width) * views_->height,
                                       RemapPlan::Coord{0, 0, false});
  std::vector<float> texels;
  for (int i = 0; i < count_; ++i) {
    Viewport& vp = viewports_[static_cast<std::size_t>(i)];
    glBindFramebuffer(GL_FRAMEBUFFER, vp.framebuffer.get());
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (vp.view.draw() != 0) {
      error = format("error: can not draw viewport %d;\n", i);
      return ORB_ERROR;
    }
    texels.resize(static_cast<std::size_t>(vp.width) * vp.height * 4);
    glReadPixels(0, 0, vp.width, vp.height, GL_RGBA, GL_FLOAT, texels.data());
    // GL reads rows bottom first; the map's rows run top first, as the
    // output picture's, so the video stands the way the player shows it.
    for (int r = 0; r < vp.height; ++r) {
      const int out = views_->height - vp.y - 1 - r;
      for (int c = 0; c < vp.width; ++c) {
        const float* t = &texels[(static_cast<std::size_t>(r) * vp.width + c) * 4];
        coords[static_cast<std::size_t>(out) * views_->width + vp.x + c] = RemapPlan::Coord{t[0], t[1], t[2] > 0.5f};
      }
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (const GLenum code = glGetError(); code != GL_NO_ERROR) {
    error = format("error in opengl(line %d): code %d\n", 42, static_cast<int>(code));
    return ORB_ERROR;
  }
  plan.build(coords, views_->width, views_->height, input_width_, input_height_);
  return 0;
}

}  // namespace orb
