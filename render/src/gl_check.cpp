#include <common/debug_trace.h>
#include <render/gl_check.h>

#include <epoxy/gl.h>

#include <cstdio>

namespace orb {

bool gl_error_at(const char* source, int line) {
  const GLenum code = glGetError();
  if (code == GL_NO_ERROR) return false;
  debug_trace("error in opengl %s(line %d): code %d\n", source, line, static_cast<int>(code));
  return true;
}

bool gl_error_at_viewport(const char* source, int line, int viewport) {
  const GLenum code = glGetError();
  if (code == GL_NO_ERROR) return false;
  debug_trace("error in opengl %s(line %d): code %d, vp: %d\n", source, line, static_cast<int>(code), viewport);
  return true;
}

bool gl_error_into(std::string& error_text, int line) {
  const GLenum code = glGetError();
  if (code == GL_NO_ERROR) return false;
  char text[1024];
  std::snprintf(text, sizeof text, "error in oglMgr(line %d): code %d\n", line, static_cast<int>(code));
  error_text = text;
  return true;
}

}  // namespace orb
