#include <gtest/gtest.h>

#include <cstdlib>

#include "lang_set.h"

namespace orb {
namespace {

TEST(UiLanguage, LocaleNamesMapToLanguageNumbers) {
  EXPECT_EQ(language_id_for_locale("zh_CN.UTF-8"), 4);
  EXPECT_EQ(language_id_for_locale("zh_SG"), 4);
  EXPECT_EQ(language_id_for_locale("zh"), 4);
  EXPECT_EQ(language_id_for_locale("zh_TW.UTF-8"), 31748);
  EXPECT_EQ(language_id_for_locale("zh_HK.Big5"), 31748);
  EXPECT_EQ(language_id_for_locale("zh_MO"), 31748);
  EXPECT_EQ(language_id_for_locale("en_US.UTF-8"), 9);
  EXPECT_EQ(language_id_for_locale("ru_RU.KOI8-R"), 25);
  EXPECT_EQ(language_id_for_locale("de_DE@euro"), 7);
  EXPECT_EQ(language_id_for_locale("FR_fr"), 12);
  EXPECT_EQ(language_id_for_locale("ja_JP.eucJP"), 17);
  EXPECT_EQ(language_id_for_locale("C"), 9);
  EXPECT_EQ(language_id_for_locale("POSIX"), 9);
  EXPECT_EQ(language_id_for_locale(""), 9);
  EXPECT_EQ(language_id_for_locale("tlh_XX"), 9);
}

TEST(UiLanguage, FirstSetVariableWins) {
  ::setenv("LC_ALL", "", 1);
  ::setenv("LC_MESSAGES", "zh_TW.UTF-8", 1);
  ::setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(user_language_id(), 31748);
  ::setenv("LC_ALL", "ko_KR.UTF-8", 1);
  EXPECT_EQ(user_language_id(), 18);
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_MESSAGES");
  EXPECT_EQ(user_language_id(), 7);
  ::unsetenv("LANG");
  EXPECT_EQ(user_language_id(), 9);
}

}  // namespace
}  // namespace orb
