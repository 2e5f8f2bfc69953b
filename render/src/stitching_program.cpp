#include <render/stitching_program.h>

#include <common/debug_trace.h>
#include <render/shader.h>

#include <cstdio>
#include <string>
#include <utility>

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
// every branch of a shader, taken or not, so each band has a variant of its
// own (BAND, set before this text) that does only its own lookups; BAND_ANY
// serves triangles whose corners lie in different bands.
constexpr const char* kFragmentBody = R"(
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

vec4 picture_at(vec2 p) {
  return in_picture(p) ? vec4(rgb_at(p), 1.0) : vec4(0.0, 0.0, 0.0, 1.0);
}

vec4 blend() {
  float w = frag_left_weights;
  return vec4(w * rgb_at(fragTextureCoord.xy) + (1.0 - w) * rgb_at(fragTextureCoord.zw), 1.0);
}

void main() {
#if BAND == BAND_BLACK
  gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
#elif BAND == BAND_PICTURE
  gl_FragColor = picture_at(fragTextureCoord.xy);
#elif BAND == BAND_SECOND_PICTURE
  gl_FragColor = picture_at(fragTextureCoord.zw);
#elif BAND == BAND_BLEND
  gl_FragColor = blend();
#elif BAND == BAND_LOGO
  gl_FragColor = texture2D(logoTexture, fragTextureCoord.xy);
#else
  if (index >= 3.1) {
    gl_FragColor = texture2D(logoTexture, fragTextureCoord.xy);
  } else if (index >= 2.9) {
    gl_FragColor = blend();
  } else if (index > 1.9 && index < 2.1) {
    gl_FragColor = picture_at(fragTextureCoord.zw);
  } else if (index > 0.9 && index < 1.1) {
    gl_FragColor = picture_at(fragTextureCoord.xy);
  } else {
    gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
  }
#endif
}
)";

std::string fragment_source(Band band) {
  std::string text = "#version 430 compatibility\n";
  const char* names[] = {"BAND_BLACK", "BAND_PICTURE", "BAND_SECOND_PICTURE", "BAND_BLEND", "BAND_LOGO", "BAND_ANY"};
  for (int i = 0; i < kBandCount; ++i) text += "#define " + std::string(names[i]) + " " + std::to_string(i) + "\n";
  text += "#define BAND " + std::to_string(static_cast<int>(band)) + "\n";
  return text + kFragmentBody;
}

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
  // The same attribute slots in every variant: a viewport's vertex arrays
  // serve whichever program draws its next band.
  for (const auto& [name, slot] : {std::pair{stitch::kPosition, stitch::kPositionSlot},
                                   std::pair{stitch::kTextureCoord, stitch::kTextureCoordSlot},
                                   std::pair{stitch::kLeftWeights, stitch::kLeftWeightsSlot},
                                   std::pair{stitch::kTexIndex, stitch::kTexIndexSlot}}) {
    glBindAttribLocation(linked.get(), slot, name);
  }
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

Band band_of(float index) {
  if (index >= 3.1f) return Band::kLogo;
  if (index >= 2.9f) return Band::kBlend;
  if (index > 1.9f && index < 2.1f) return Band::kSecondPicture;
  if (index > 0.9f && index < 1.1f) return Band::kPicture;
  return Band::kBlack;
}

int generate_stitching_program(GlProgram& program, Band band) {
  return build_stitching_program(program, kVertexSource, fragment_source(band).c_str());
}

}  // namespace orb
