// Files replaced only by complete new versions: on a full disk (a file
// size limit, as a full filesystem refuses the write) and in a read-only
// folder the old file stays as it was and no ".part" is left behind.
#include <common/file_replace.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "temp_dir.h"

namespace orb {
namespace {

std::string contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ReplaceFile, WritesWholeOrNotAtAll) {
  test::TempDir dir;
  const auto file = dir.path() / "settings.cfg";
  ASSERT_TRUE(replace_file(file, "first"));
  ASSERT_TRUE(replace_file(file, std::string(100000, 'x')));
  EXPECT_EQ(contents(file).size(), 100000u);
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".part"));

  // A disk that fills up after 4 KiB: in a child, so the limit stays there.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    const bool written = replace_file(file, std::string(10000, 'y'), &error);
    _exit(!written && error.find("cannot write") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(contents(file), std::string(100000, 'x'));
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".part"));

  // A folder that cannot be written (unless we are root, who can).
  if (geteuid() != 0) {
    chmod(dir.path().c_str(), 0555);
    std::string error;
    EXPECT_FALSE(replace_file(file, "z", &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(contents(file).size(), 100000u);
  }

  // What a save cut short leaves goes at the next start.
  { std::ofstream(file.string() + ".part") << "half"; }
  remove_stale_part(file);
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".part"));
}

}  // namespace
}  // namespace orb
