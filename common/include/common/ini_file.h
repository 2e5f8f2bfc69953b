#pragma once
// INI text read the way the desktop's private-profile functions read it:
// section and key names compare without regard to ASCII case, a value is the
// text after the first '=', and a whole section can be read line by line.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orb {

class IniFile {
 public:
  // Decodes UTF-8 (with or without BOM) or UTF-16 with a BOM, then parses.
  static IniFile parse(std::string_view bytes);
  // nullopt when the file cannot be read (missing, unreadable, absurdly large).
  static std::optional<IniFile> load(const std::filesystem::path& path);

  // The value of the first line of the first matching section whose key
  // matches; white space around key and value is dropped.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  // As value(), one pair of enclosing quotes removed; fallback when absent.
  std::string get_string(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
  // The leading decimal integer of the value (0 when it has none);
  // fallback only when the key is absent.
  int get_int(std::string_view section, std::string_view key, int fallback) const;
  // Every line of the section in order: the text after the first '=', or the
  // whole line when it has none. Blank lines and ';' comments are skipped.
  std::vector<std::string> section_values(std::string_view section) const;
  bool has_section(std::string_view section) const;

 private:
  struct Section {
    std::string name_lower;
    std::vector<std::string> lines;  // trimmed, non-empty, no comments
  };
  const Section* find(std::string_view section) const;

  std::vector<Section> sections_;
};

// Parses a leading decimal integer as the profile functions do: optional
// sign, digits, anything after ignored; saturates at the int range.
int parse_leading_int(std::string_view text);

}  // namespace orb
