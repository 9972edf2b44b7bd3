// The scenery tests' fixture: a scratch folder that is the working folder
// while the test runs, as the application's folder is for the program (the
// scenery paths are relative, and alerts leave a memory report there), and
// a scenery library that is empty before and after.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include "Files/dsf_library.h"
#include "tests/support/temp_folder.h"

class SceneryFolderTest : public testing_support::TempFolderTest {
 protected:
  explicit SceneryFolderTest(const char* tag) : TempFolderTest(tag, with_log) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    DSF_ResetLibrary();
  }
  void TearDown() override {
    DSF_ResetLibrary();
    EXPECT_EQ(chdir(old_cwd_), 0);
    TempFolderTest::TearDown();
  }

 private:
  char old_cwd_[4096] = {};
};
