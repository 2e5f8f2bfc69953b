#include <common/ini_file.h>

#include <gtest/gtest.h>

#include <climits>

#include "temp_dir.h"

namespace orb {
namespace {

constexpr std::string_view kSample =
    "; comment before any section\n"
    "ignored=before sections\n"
    "[Option]\r\n"
    "Option = 9\r\n"
    "9=English\n"
    "  Version  =  \"1.0 beta\"  \n"
    "\n"
    "[English]\n"
    "0=Play\n"
    "1=a=b=c\n"
    "; a comment line is not a string\n"
    "line without equals\n"
    "3=\n"
    "[option]\n"
    "9=second section of the same name is shadowed\n";

TEST(IniFile, NamesCompareWithoutCase) {
  const IniFile ini = IniFile::parse(kSample);
  EXPECT_EQ(ini.value("OPTION", "option"), "9");
  EXPECT_EQ(ini.value("option", "9"), "English");
  EXPECT_EQ(ini.get_string("Option", "VERSION"), "1.0 beta");  // quotes and spaces gone
  EXPECT_EQ(ini.value("Option", "missing"), std::nullopt);
  EXPECT_EQ(ini.value("Missing", "9"), std::nullopt);
  EXPECT_EQ(ini.get_string("Missing", "9", "fallback"), "fallback");
  EXPECT_FALSE(ini.has_section("nowhere"));
}

TEST(IniFile, SectionLinesKeepOrderAndSplitAtFirstEquals) {
  const IniFile ini = IniFile::parse(kSample);
  const std::vector<std::string> expected = {"Play", "a=b=c", "line without equals", ""};
  EXPECT_EQ(ini.section_values("english"), expected);
  EXPECT_TRUE(ini.section_values("Missing").empty());
}

TEST(IniFile, IntegersParseLikeTheProfileFunctions) {
  const IniFile ini = IniFile::parse("[s]\na=42\nb=-7xyz\nc=abc\nd=99999999999999\ne=-99999999999999\nf=\ng=+5\n");
  EXPECT_EQ(ini.get_int("s", "a", -1), 42);
  EXPECT_EQ(ini.get_int("s", "b", -1), -7);
  EXPECT_EQ(ini.get_int("s", "c", -1), 0);
  EXPECT_EQ(ini.get_int("s", "d", -1), INT_MAX);
  EXPECT_EQ(ini.get_int("s", "e", -1), INT_MIN);
  EXPECT_EQ(ini.get_int("s", "f", -1), 0);
  EXPECT_EQ(ini.get_int("s", "g", -1), 5);
  EXPECT_EQ(ini.get_int("s", "absent", -1), -1);
}

TEST(IniFile, ReadsUtf8BomAndUtf16WithBom) {
  const std::string utf8 = "\xEF\xBB\xBF[Lang]\n0=\xE6\x92\xAD\xE6\x94\xBE\n";
  EXPECT_EQ(IniFile::parse(utf8).section_values("lang"), std::vector<std::string>{"\xE6\x92\xAD\xE6\x94\xBE"});

  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string(u"[Lang]\r\n0=\u64AD\u653E\r\n")) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  utf16 += '\x00';  // a dangling odd byte is ignored
  EXPECT_EQ(IniFile::parse(utf16).section_values("LANG"), std::vector<std::string>{"\xE6\x92\xAD\xE6\x94\xBE"});
}

TEST(IniFile, HostileTextNeverBreaksTheReader) {
  std::string junk = "[unterminated\nkey=value\n[]\n=\n==\n[";
  junk += std::string("\0\0[x]\n\0=\0\n", 10);  // embedded NULs
  const IniFile ini = IniFile::parse(junk);
  EXPECT_EQ(ini.value("unterminated", "key"), "value");
  EXPECT_EQ(ini.value("", ""), "");
  const std::string huge_line = "[s]\nk=" + std::string(1 << 20, 'v');
  EXPECT_EQ(IniFile::parse(huge_line).value("s", "k")->size(), 1u << 20);
}

TEST(IniFile, LoadReportsMissingFiles) {
  test::TempDir dir;
  EXPECT_FALSE(IniFile::load(dir.path() / "absent.ini").has_value());
  EXPECT_FALSE(IniFile::load(dir.path()).has_value());  // a directory is not a file
  const auto file = dir.write("a.ini", "[A]\nk=v\n");
  ASSERT_TRUE(IniFile::load(file).has_value());
  EXPECT_EQ(IniFile::load(file)->value("a", "K"), "v");
}

}  // namespace
}  // namespace orb
