#pragma once
// The process's one language set: the strings of the language chosen from a
// language file.
#include <filesystem>
#include <string>
#include <vector>

#include <common/ini_file.h>

namespace orb {

class LangSet {
 public:
  // Section "Option" maps language numbers to section names; key "Option"
  // overrides the user's language; a language without a section falls
  // back to 9. A missing file leaves no strings.
  void load(const std::filesystem::path& path, int user_language);
  void load(const IniFile& ini, int user_language);
  const std::u16string& string_at(int index) const;

  const std::string& section_name() const { return section_; }
  int language_id() const { return language_id_; }
  std::size_t size() const { return strings_.size(); }
  const std::filesystem::path& path() const { return path_; }
  bool loaded() const { return loaded_; }

 private:
  std::filesystem::path path_;
  std::string section_;
  int language_id_ = 0;
  std::vector<std::u16string> strings_;
  bool loaded_ = false;
  std::u16string empty_;
};

// The language file's path for the name a program passes: a name without a
// directory is taken from `exe_dir`.
std::filesystem::path resolve_lang_file(const std::u16string& name, const std::filesystem::path& exe_dir);

// Language number for a POSIX locale name such as "zh_TW.UTF-8".
int language_id_for_locale(const std::string& locale);
// From LC_ALL, LC_MESSAGES, LANG (the first one set).
int user_language_id();

}  // namespace orb
