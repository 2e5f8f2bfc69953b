#include "args.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace orb::tool {

std::optional<std::string> Args::get(const std::string& name) const {
  auto it = options.find(name);
  if (it == options.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> Args::repeated(const std::string& name) const {
  std::vector<std::string> values;
  auto [first, last] = all_options.equal_range(name);
  for (auto it = first; it != last; ++it) values.push_back(it->second);
  return values;
}

Args parse_args(int argc, char** argv, const std::vector<std::string>& valued, const std::vector<std::string>& flags,
                std::string& error) {
  Args args;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    const bool long_option = a.rfind("--", 0) == 0 && a.size() > 2;
    const bool short_option = a.size() == 2 && a[0] == '-' && a[1] != '-';  // -o
    if (!long_option && !short_option) {
      args.positional.push_back(a);
      continue;
    }
    const std::string name = a.substr(long_option ? 2 : 1);
    if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
      args.options[name] = "1";
    } else if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
      if (i + 1 >= argc) {
        error = "error: option --" + name + " needs a value";
        return args;
      }
      args.options[name] = argv[++i];
      args.all_options.emplace(name, argv[i]);
    } else {
      error = "error: unknown option " + a;
      return args;
    }
  }
  return args;
}

std::optional<double> to_number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int> to_int(const std::string& text) {
  const std::optional<double> v = to_number(text);
  if (!v || *v != std::floor(*v) || *v < -2147483648.0 || *v > 2147483647.0) return std::nullopt;
  return static_cast<int>(*v);
}

bool parse_size(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  const auto w = to_int(text.substr(0, x));
  const auto h = to_int(text.substr(x + 1));
  if (!w || !h || *w < 16 || *h < 16 || *w > 16384 || *h > 16384) return false;
  width = *w;
  height = *h;
  return true;
}

}  // namespace orb::tool
