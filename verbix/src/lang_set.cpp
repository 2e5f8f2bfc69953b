#include "lang_set.h"

#include <common/ini_file.h>
#include <common/text.h>

namespace orb {
namespace {

constexpr int kEnglish = 9;
constexpr std::size_t kMaxSectionName = 259;

}  // namespace

std::filesystem::path resolve_lang_file(const std::u16string& name, const std::filesystem::path& exe_dir) {
  const std::string utf8 = utf16_to_utf8(name);
  if (utf8.find('/') != std::string::npos) return utf8;
  return exe_dir / utf8;
}

void LangSet::load(const std::filesystem::path& path, int user_language) {
  path_ = path;
  load(IniFile::load(path).value_or(IniFile{}), user_language);
}

void LangSet::load(const IniFile& ini, int user_language) {
  strings_.clear();
  section_.clear();

  language_id_ = ini.get_int("Option", "Option", 0);
  if (language_id_ == 0) language_id_ = user_language;
  section_ = ini.get_string("Option", std::to_string(language_id_)).substr(0, kMaxSectionName);
  if (section_.empty()) section_ = ini.get_string("Option", std::to_string(kEnglish)).substr(0, kMaxSectionName);

  if (!section_.empty()) {
    for (const std::string& value : ini.section_values(section_)) strings_.push_back(utf8_to_utf16(value));
  }
  loaded_ = true;
}

const std::u16string& LangSet::string_at(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= strings_.size()) return empty_;
  return strings_[static_cast<std::size_t>(index)];
}

}  // namespace orb
