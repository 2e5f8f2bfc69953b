// The user's interface language as the numbers the language files use
// (the desktop's primary-language numbers; Chinese split by script).
#include "lang_set.h"

#include <common/text.h>

#include <cstdlib>
#include <string_view>
#include <utility>

namespace orb {
namespace {

constexpr int kEnglish = 9;
constexpr int kChineseSimplified = 4;
constexpr int kChineseTraditional = 31748;

constexpr std::pair<std::string_view, int> kPrimaryLanguages[] = {
    {"ar", 1},  {"bg", 2},  {"ca", 3},  {"cs", 5},  {"da", 6},  {"de", 7},  {"el", 8},  {"en", 9},  {"es", 10},
    {"fi", 11}, {"fr", 12}, {"he", 13}, {"hu", 14}, {"is", 15}, {"it", 16}, {"ja", 17}, {"ko", 18}, {"nl", 19},
    {"nb", 20}, {"nn", 20}, {"no", 20}, {"pl", 21}, {"pt", 22}, {"ro", 24}, {"ru", 25}, {"hr", 26}, {"sk", 27},
    {"sq", 28}, {"sv", 29}, {"th", 30}, {"tr", 31}, {"ur", 32}, {"id", 33}, {"uk", 34}, {"be", 35}, {"sl", 36},
    {"et", 37}, {"lv", 38}, {"lt", 39}, {"fa", 41}, {"vi", 42}, {"hy", 43}, {"az", 44}, {"eu", 45}, {"mk", 47},
    {"af", 54}, {"ka", 55}, {"hi", 57}, {"ms", 62}, {"kk", 63}, {"sw", 65},
};

}  // namespace

int language_id_for_locale(const std::string& locale) {
  // language[_territory][.codeset][@modifier]
  const std::string name = ascii_lower(locale.substr(0, locale.find_first_of(".@")));
  const std::size_t underscore = name.find_first_of("_-");
  const std::string language = name.substr(0, underscore);
  const std::string territory = underscore == std::string::npos ? "" : name.substr(underscore + 1);
  if (language == "zh") {
    if (territory.empty() || territory == "cn" || territory == "sg" || territory == "hans") return kChineseSimplified;
    return kChineseTraditional;
  }
  for (const auto& [code, id] : kPrimaryLanguages) {
    if (code == language) return id;
  }
  return kEnglish;  // "C", "POSIX" and languages without strings of their own
}

int user_language_id() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const char* value = std::getenv(var); value && *value) return language_id_for_locale(value);
  }
  return kEnglish;
}

}  // namespace orb
