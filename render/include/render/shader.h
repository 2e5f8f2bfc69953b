#pragma once
// Shader compile and program link with their info logs.
#include <render/gl_handles.h>

#include <string>

namespace orb {

struct CompiledShader {
  GlShader shader;  // kept even on failure, so the caller decides when it goes
  bool ok = false;
  std::string log;  // the driver's info log, possibly empty
};

CompiledShader compile_shader(GLenum stage, const char* source);

// Links `program`; on failure returns false and fills `log`.
bool link_program(GLuint program, std::string& log);

}  // namespace orb
