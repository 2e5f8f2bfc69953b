// The plug-in as the programs use it: loaded with dlopen by full path, one
// exported function, strings by number.
#include <verbix/lang_interface.h>

#include <common/paths.h>
#include <common/text.h>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "exported_symbols.h"
#include "temp_dir.h"

namespace orb {
namespace {

class VerbixPlugin : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    handle_ = ::dlopen((executable_dir() / "libverbix.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << ::dlerror();
    auto get = reinterpret_cast<GetInterfaceFn>(::dlsym(handle_, "GetInterface"));
    ASSERT_NE(get, nullptr);
    lang_ = get();
    ASSERT_NE(lang_, nullptr);
  }

  void SetUp() override {
    ::unsetenv("LC_MESSAGES");
    ::unsetenv("LANG");
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
  }

  static int load(const std::filesystem::path& path) {
    return lang_->LoadLangFile(utf8_to_utf16(path.string()).c_str());
  }
  static std::string at(int index) { return utf16_to_utf8(lang_->GetLangString(index)); }

  static void* handle_;
  static LangInterface* lang_;
};

void* VerbixPlugin::handle_ = nullptr;
LangInterface* VerbixPlugin::lang_ = nullptr;

TEST_F(VerbixPlugin, ExportsOnlyGetInterface) {
  EXPECT_EQ(test::exported_functions((executable_dir() / "libverbix.so").string()),
            std::vector<std::string>{"GetInterface"});
}

TEST_F(VerbixPlugin, ServesTheChosenSectionByIndex) {
  test::TempDir dir;
  const auto path = dir.write("lang.osd",
                              "[Option]\nOption=9\n9=English\n4=Chinese\n"
                              "[English]\na=zero\nb=one=1\nc = two \n"
                              "[Chinese]\na=\xE9\x9B\xB6\n");
  EXPECT_EQ(load(path), 1);
  EXPECT_EQ(at(0), "zero");
  EXPECT_EQ(at(1), "one=1");  // only the first '=' splits
  EXPECT_EQ(at(2), "two");
  EXPECT_EQ(at(3), "");
  EXPECT_EQ(at(-1), "");
  EXPECT_EQ(at(1 << 30), "");
}

TEST_F(VerbixPlugin, UserLanguageChoosesTheSectionAndFallsBackToEnglish) {
  test::TempDir dir;
  const auto path = dir.write("lang.osd",
                              "[option]\n9=En\n4=Hans\n"
                              "[En]\n0=Play\n[Hans]\n0=\xE6\x92\xAD\xE6\x94\xBE\n");
  ::setenv("LC_ALL", "zh_CN.UTF-8", 1);
  load(path);
  EXPECT_EQ(lang_->GetLangString(0), std::u16string(u"\u64AD\u653E"));
  ::setenv("LC_ALL", "zh_TW.UTF-8", 1);  // no 31748 key: English
  load(path);
  EXPECT_EQ(at(0), "Play");
  ::setenv("LC_ALL", "tr_TR.UTF-8", 1);
  load(path);
  EXPECT_EQ(at(0), "Play");
}

TEST_F(VerbixPlugin, MissingOrHostileFilesGiveEmptyStrings) {
  test::TempDir dir;
  EXPECT_EQ(load(dir.path() / "absent.osd"), 1);
  EXPECT_EQ(at(0), "");

  std::string hostile = "[Option]\n9=" + std::string(100000, 'S') + "\n[" + std::string(300, 'S') + "]\n";
  hostile += std::string("0=\xFF\xFE\0bad\n", 9) + "1=" + std::string(1 << 20, 'x') + "\n";
  EXPECT_EQ(load(dir.write("hostile.osd", hostile)), 1);
  EXPECT_EQ(at(0), "");  // the section name is cut to 259 characters and so not found

  const std::string section(259, 'S');
  std::string long_ok =
      "[Option]\n9=" + section + "\n[" + section + "]\n0=\xFF ok\n1=" + std::string(1 << 20, 'x') + "\n";
  load(dir.write("long.osd", long_ok));
  EXPECT_EQ(lang_->GetLangString(0), std::u16string(u"\uFFFD ok"));
  EXPECT_EQ(at(1).size(), 1u << 20);
  EXPECT_EQ(at(2), "");
}

TEST_F(VerbixPlugin, BareNamesAreLookedUpBesideTheExecutableOnly) {
  const std::string name = "verbix-test-" + std::to_string(::getpid()) + ".osd";
  const auto beside = executable_dir() / name;
  std::ofstream(beside) << "[Option]\n9=E\n[E]\n0=beside\n";
  test::TempDir cwd;
  std::ofstream(cwd.path() / name) << "[Option]\n9=E\n[E]\n0=current dir\n";
  const auto old_cwd = std::filesystem::current_path();
  std::filesystem::current_path(cwd.path());
  lang_->LoadLangFile(utf8_to_utf16(name).c_str());
  std::filesystem::current_path(old_cwd);
  std::filesystem::remove(beside);
  EXPECT_EQ(at(0), "beside");
}

struct Shipped {
  const char* file;
  int last_index;
};

TEST_F(VerbixPlugin, ShippedFilesCoverEveryIndexInEachLanguage) {
  for (Shipped s : {Shipped{"ostrelui.osd", 61}, Shipped{"Dioptra.osd", 12}}) {
    std::vector<std::string> firsts;
    for (const char* locale : {"en_GB.UTF-8", "zh_CN.UTF-8", "zh_TW.UTF-8"}) {
      ::setenv("LC_ALL", locale, 1);
      ASSERT_EQ(lang_->LoadLangFile(utf8_to_utf16(s.file).c_str()), 1);
      EXPECT_NE(at(s.last_index), "") << s.file << " " << locale;
      EXPECT_EQ(at(s.last_index + 1), "") << s.file << " " << locale;
      EXPECT_NE(at(2), "") << s.file << " " << locale;
      firsts.push_back(at(2));
    }
    EXPECT_NE(firsts[0], firsts[1]) << s.file;
    EXPECT_NE(firsts[1], firsts[2]) << s.file;
  }
  // The calibration tool formats string 6 with three doubles.
  for (const char* locale : {"en_GB.UTF-8", "zh_CN.UTF-8", "zh_TW.UTF-8"}) {
    ::setenv("LC_ALL", locale, 1);
    lang_->LoadLangFile(u"Dioptra.osd");
    const std::string info = at(6);
    std::size_t count = 0;
    for (std::size_t at_pos = info.find('%'); at_pos != std::string::npos; at_pos = info.find('%', at_pos + 1)) {
      EXPECT_EQ(info.compare(at_pos, 4, "%.1f"), 0) << info;
      ++count;
    }
    EXPECT_EQ(count, 3u) << locale;
  }
}

}  // namespace
}  // namespace orb
