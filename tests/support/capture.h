#pragma once
// Runs a callable with standard output or error captured.
#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace orb::test {

template <typename F>
std::string captured_stdout(F&& f) {
  testing::internal::CaptureStdout();
  std::forward<F>(f)();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

template <typename F>
std::string captured_stderr(F&& f) {
  testing::internal::CaptureStderr();
  std::forward<F>(f)();
  return testing::internal::GetCapturedStderr();
}

}  // namespace orb::test
