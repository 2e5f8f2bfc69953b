#include <render/stitching_program.h>

#include <common/debug_trace.h>
#include <render/shader.h>

#include <cstdio>

namespace orb {
namespace {

constexpr const char* kVertexSource = R"(#version 430 compatibility
attribute vec4 aPosition;
attribute vec4 aTextureCoord;
attribute float aTexIndex;
attribute float aLeftWeights;
uniform mat4 uMVPMatrix;
uniform mat4 uSTMatrix;
varying vec4 fragTextureCoord;
varying float index;
varying float frag_left_weights;
void main() {
  gl_Position = uMVPMatrix * aPosition;
  index = aTexIndex;
  frag_left_weights = aLeftWeights;
  fragTextureCoord.xy = (uSTMatrix * vec4(aTextureCoord.x, aTextureCoord.y, 1.0, 1.0)).xy;
  fragTextureCoord.zw = (uSTMatrix * vec4(aTextureCoord.z, aTextureCoord.w, 1.0, 1.0)).xy;
}
)";

// Index bands tolerate interpolation error; coordinates outside the picture
// in bands 1 and 2 are opaque black like index 0. Software rasterisers run
// every branch, so the picture is sampled once for bands 1, 2 and the first
// area of 3, and only the blend's second area costs a second lookup.
constexpr const char* kFragmentSource = R"(#version 430 compatibility
varying vec4 fragTextureCoord;
varying float index;
varying float frag_left_weights;
uniform mat3 uColorConversion;
uniform sampler2D sTextureY;
uniform sampler2D sTextureU;
uniform sampler2D sTextureV;
uniform sampler2D logoTexture;

vec3 rgb_at(vec2 p) {
  vec3 yuv = vec3(texture2D(sTextureY, p).r - 16.0 / 255.0,
                  texture2D(sTextureU, p).g - 0.5,
                  texture2D(sTextureV, p).b - 0.5);
  return uColorConversion * yuv;
}

bool in_picture(vec2 p) {
  return p.x >= 0.0 && p.x <= 1.0 && p.y >= 0.0 && p.y <= 1.0;
}

void main() {
  const vec4 black = vec4(0.0, 0.0, 0.0, 1.0);
  bool second_band = index > 1.9 && index < 2.1;
  vec2 p = second_band ? fragTextureCoord.zw : fragTextureCoord.xy;
  vec3 c = rgb_at(p);
  vec4 colour;
  if (index >= 3.1) {
    colour = texture2D(logoTexture, fragTextureCoord.xy);
  } else if (index >= 2.9) {
    float w = frag_left_weights;
    colour = vec4(w * c + (1.0 - w) * rgb_at(fragTextureCoord.zw), 1.0);
  } else if (second_band || (index > 0.9 && index < 1.1)) {
    colour = in_picture(p) ? vec4(c, 1.0) : black;
  } else {
    colour = black;
  }
  gl_FragColor = colour;
}
)";

}  // namespace

int build_stitching_program(GlProgram& program, const char* vertex_source, const char* fragment_source) {
  program.reset();
  CompiledShader vertex = compile_shader(GL_VERTEX_SHADER, vertex_source);
  if (!vertex.ok && !vertex.log.empty()) {
    debug_trace("Could not compile vertex shader:\n%s\n", vertex.log.c_str());
    debug_trace("Could not compile vertex shader:\n%s\n", vertex.log.c_str());
    return 1;  // `vertex` deletes the shader
  }
  CompiledShader fragment = compile_shader(GL_FRAGMENT_SHADER, fragment_source);
  if (!fragment.ok && !fragment.log.empty()) {
    debug_trace("Could not compile fragment shader:\n%s\n", fragment.log.c_str());
    debug_trace("Could not compile fragment shader:\n%s\n", fragment.log.c_str());
    debug_trace("generate_stitching_program Error %d", 292);
    return 1;
  }
  GlProgram linked = GlProgram::generate();
  if (!linked) {
    debug_trace("error: fail to create glProgram;\n");
    debug_trace("error: fail to create glProgram; %d", 299);
    return 1;
  }
  glAttachShader(linked.get(), vertex.shader.get());
  glAttachShader(linked.get(), fragment.shader.get());
  std::string log;
  if (link_program(linked.get(), log)) {
    program = std::move(linked);  // the shaders are deleted now; they stay attached
    return 0;
  }
  if (!log.empty()) {
    debug_trace("error: Could not link program:\n%s\n;", log.c_str());
    debug_trace("error: Could not link program:\n%s\n;", log.c_str());
  }
  debug_trace("generate_stitching_program Error %d", 320);
  return 1;
}

int generate_stitching_program(GlProgram& program) {
  return build_stitching_program(program, kVertexSource, kFragmentSource);
}

}  // namespace orb
