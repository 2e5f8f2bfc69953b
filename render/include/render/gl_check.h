#pragma once
// GL error checks that name where they happened: a source path and a fixed
// line number, in the forms the player quotes to its host.
#include <string>

namespace orb {

// Reads the GL error flag; when set prints
// "error in opengl <source>(line <line>): code <code>\n" and returns true.
bool gl_error_at(const char* source, int line);
// The same with ", vp: <viewport>" before the newline.
bool gl_error_at_viewport(const char* source, int line, int viewport);
// Reads the GL error flag; when set writes
// "error in oglMgr(line <line>): code <code>\n" into `error_text`.
bool gl_error_into(std::string& error_text, int line);

}  // namespace orb
