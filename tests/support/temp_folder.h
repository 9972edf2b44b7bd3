// A test with a scratch folder of its own, removed with all it holds when the
// test ends. The preferences folder points inside it: a fatal alert saves the
// preferences on its way out, and that must not reach the real home.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

class TempFolderTest : public ::testing::Test {
 protected:
  enum log_choice { no_log, with_log };
  // tag names the folder; with_log sends the log to "Log.txt" in it.
  explicit TempFolderTest(const char* tag, log_choice log = no_log) : tag_(tag), log_(log) {}

  // A fixture of its own calls this first, under ASSERT_NO_FATAL_FAILURE.
  void SetUp() override;
  // Also closes the log and the data-file stream a test left open.
  void TearDown() override;
  // What the log file holds so far.
  std::string log();

  std::string dir;  // ends in "/"

 private:
  std::string tag_;
  log_choice log_;
};

// Writes an executable script called name into folder and puts the folder
// first on PATH, so the code under test runs it in place of the real
// program. Returns the PATH it replaced, for TearDown to put back.
std::string stand_in_on_path(const std::string& folder, const std::string& name,
                             const std::string& script);

}  // namespace testing_support
