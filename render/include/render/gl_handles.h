#pragma once
// Move-only owners of GL object names. Each deletes its name on destruction
// and so must die while its context is current (the render thread's rule).
#include <epoxy/gl.h>

#include <utility>

namespace orb {

template <typename Traits>
class GlName {
 public:
  GlName() = default;
  explicit GlName(GLuint id) : id_(id) {}
  ~GlName() { reset(); }
  GlName(GlName&& other) noexcept : id_(std::exchange(other.id_, 0)) {}
  GlName& operator=(GlName&& other) noexcept {
    if (this != &other) {
      reset();
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  GlName(const GlName&) = delete;
  GlName& operator=(const GlName&) = delete;

  static GlName generate() { return GlName(Traits::create()); }
  GLuint get() const { return id_; }
  explicit operator bool() const { return id_ != 0; }
  void reset() {
    if (id_ != 0) Traits::destroy(id_);
    id_ = 0;
  }

 private:
  GLuint id_ = 0;
};

struct GlBufferTraits {
  static GLuint create() {
    GLuint id = 0;
    glGenBuffers(1, &id);
    return id;
  }
  static void destroy(GLuint id) { glDeleteBuffers(1, &id); }
};
struct GlTextureTraits {
  static GLuint create() {
    GLuint id = 0;
    glGenTextures(1, &id);
    return id;
  }
  static void destroy(GLuint id) { glDeleteTextures(1, &id); }
};
struct GlFramebufferTraits {
  static GLuint create() {
    GLuint id = 0;
    glGenFramebuffers(1, &id);
    return id;
  }
  static void destroy(GLuint id) { glDeleteFramebuffers(1, &id); }
};
struct GlRenderbufferTraits {
  static GLuint create() {
    GLuint id = 0;
    glGenRenderbuffers(1, &id);
    return id;
  }
  static void destroy(GLuint id) { glDeleteRenderbuffers(1, &id); }
};
struct GlProgramTraits {
  static GLuint create() { return glCreateProgram(); }
  static void destroy(GLuint id) { glDeleteProgram(id); }
};
struct GlShaderTraits {
  static void destroy(GLuint id) { glDeleteShader(id); }
};

using GlBuffer = GlName<GlBufferTraits>;
using GlTexture = GlName<GlTextureTraits>;
using GlFramebuffer = GlName<GlFramebufferTraits>;
using GlRenderbuffer = GlName<GlRenderbufferTraits>;
using GlProgram = GlName<GlProgramTraits>;
using GlShader = GlName<GlShaderTraits>;

}  // namespace orb
