#include <common/paths.h>

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"

namespace orb {
namespace {

TEST(Paths, ExecutableDirHoldsTheRunningProgram) {
  const auto dir = executable_dir();
  EXPECT_TRUE(dir.is_absolute());
  EXPECT_TRUE(std::filesystem::exists(dir / "common_test"));
}

TEST(Paths, WritableExecutableDirIsTheDataDir) {
  // The build tree is writable, so written files stay beside the program.
  EXPECT_EQ(data_dir("ostrel"), executable_dir());
}

TEST(Paths, DataFileFallsBackToTheExecutableDir) {
  const auto path = find_data_file("ostrel", "no-such-file.cfg");
  EXPECT_EQ(path, executable_dir() / "no-such-file.cfg");
}

}  // namespace
}  // namespace orb
