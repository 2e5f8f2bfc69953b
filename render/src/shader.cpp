#include <render/shader.h>

namespace orb {
namespace {

template <typename GetIv, typename GetLog>
std::string info_log(GLuint name, GetIv get_iv, GetLog get_log) {
  GLint length = 0;
  get_iv(name, GL_INFO_LOG_LENGTH, &length);
  if (length <= 1) return {};
  std::string log(static_cast<std::size_t>(length), '\0');
  GLsizei written = 0;
  get_log(name, length, &written, log.data());
  log.resize(static_cast<std::size_t>(written));
  return log;
}

}  // namespace

CompiledShader compile_shader(GLenum stage, const char* source) {
  CompiledShader out;
  out.shader = GlShader(glCreateShader(stage));
  if (!out.shader) return out;
  glShaderSource(out.shader.get(), 1, &source, nullptr);
  glCompileShader(out.shader.get());
  GLint status = GL_FALSE;
  glGetShaderiv(out.shader.get(), GL_COMPILE_STATUS, &status);
  out.ok = status == GL_TRUE;
  if (!out.ok) {
    out.log = info_log(
        out.shader.get(), [](GLuint n, GLenum p, GLint* v) { glGetShaderiv(n, p, v); },
        [](GLuint n, GLsizei s, GLsizei* w, char* l) { glGetShaderInfoLog(n, s, w, l); });
  }
  return out;
}

bool link_program(GLuint program, std::string& log) {
  glLinkProgram(program);
  GLint status = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  if (status == GL_TRUE) return true;
  log = info_log(
      program, [](GLuint n, GLenum p, GLint* v) { glGetProgramiv(n, p, v); },
      [](GLuint n, GLsizei s, GLsizei* w, char* l) { glGetProgramInfoLog(n, s, w, l); });
  return false;
}

}  // namespace orb
