#pragma once
// The functions a shared library exports, as `nm -D` lists them.
#include <cstdio>
#include <string>
#include <vector>

namespace orb::test {

inline std::vector<std::string> exported_functions(const std::string& library) {
  std::vector<std::string> symbols;
  FILE* pipe = ::popen(("nm -D --defined-only " + library).c_str(), "r");
  if (!pipe) return symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    // "<address> <type> <name>": functions are T or W; the linker's own
    // markers (_edata, _end, __bss_start) are not code.
    std::string s(line);
    const std::size_t name_at = s.find_last_of(' ');
    if (name_at == std::string::npos || name_at < 1) continue;
    const char type = s[name_at - 1];
    if (type != 'T' && type != 'W' && type != 'i') continue;
    s = s.substr(name_at + 1);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    symbols.push_back(s);
  }
  ::pclose(pipe);
  return symbols;
}

}  // namespace orb::test
