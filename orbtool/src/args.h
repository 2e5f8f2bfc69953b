#pragma once
// Command-line options of the form --name value, plus positional arguments.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orb::tool {

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;           // the last value of each option
  std::multimap<std::string, std::string> all_options;  // every value, for repeatable ones

  std::optional<std::string> get(const std::string& name) const;
  std::vector<std::string> repeated(const std::string& name) const;
};

// Splits argv; `flags` lists options that take no value. Unknown options
// and missing values give an "error: ..." text in `error`.
Args parse_args(int argc, char** argv, const std::vector<std::string>& valued, const std::vector<std::string>& flags,
                std::string& error);

// Strict number parsing: the whole text must be the number.
std::optional<double> to_number(const std::string& text);
std::optional<int> to_int(const std::string& text);

// "WIDTHxHEIGHT", each 16 to 16384.
bool parse_size(const std::string& text, int& width, int& height);

}  // namespace orb::tool
