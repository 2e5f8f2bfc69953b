#include <common/paths.h>

#include <unistd.h>

#include <cstdlib>

namespace orb {
namespace fs = std::filesystem;

fs::path executable_dir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec);
  return exe.parent_path();
}

std::string program_name() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("orb") : exe.filename().string();
}

fs::path data_dir(std::string_view program) {
  fs::path exe_dir = executable_dir();
  if (::access(exe_dir.c_str(), W_OK) == 0) return exe_dir;
  fs::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = fs::path(home) / ".config";
  } else {
    base = fs::temp_directory_path();
  }
  fs::path dir = base / program;
  std::error_code ec;
  fs::create_directories(dir, ec);
  return dir;
}

fs::path find_data_file(std::string_view program, std::string_view name) {
  fs::path written = data_dir(program) / name;
  std::error_code ec;
  if (fs::exists(written, ec)) return written;
  return executable_dir() / name;
}

}  // namespace orb
