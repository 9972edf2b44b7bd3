#include "tests/support/temp_folder.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>

#include "core/globals.h"
#include "tests/support/test_support.h"

namespace testing_support {

namespace {

int remove_entry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

}  // namespace

void TempFolderTest::SetUp() {
  dir = make_temp_dir(tag_);
  ASSERT_FALSE(dir.empty());
  setenv("XDG_CONFIG_HOME", (dir + "config").c_str(), 1);
  app_path.clear();
  if (log_ == with_log) xer.open(dir + "Log.txt", std::ios::out | std::ios::trunc);
}

void TempFolderTest::TearDown() {
  if (xer.is_open()) xer.close();
  if (ouf.is_open()) ouf.close();
  if (!dir.empty()) nftw(dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string TempFolderTest::log() {
  xer.flush();
  return read_file(dir + "Log.txt");
}

std::string stand_in_on_path(const std::string& folder, const std::string& name,
                             const std::string& script) {
  const std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
  write_file(path, script);
  chmod(path.c_str(), 0755);
  const char* old = getenv("PATH");
  std::string old_path = old ? old : "";
  setenv("PATH", (folder + ":" + old_path).c_str(), 1);
  return old_path;
}

}  // namespace testing_support
