#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace testing_support {

namespace {

struct made_folder {
  std::string path;
  pid_t owner;
};

std::vector<made_folder>& made_folders() {
  static std::vector<made_folder> folders;
  return folders;
}

std::vector<void (*)()>& more_scratch() {
  static std::vector<void (*)()> removers;
  return removers;
}

// Scratch folders go when the test program ends normally, with what the
// higher layers' support pieces registered (the shell's private temporary
// folder). Only the process that made
// a folder removes it: a death test's child shares the list but not the folder.
class ScratchCleanup : public ::testing::Environment {
 public:
  void TearDown() override { remove_temp_dirs(); }
};

const bool registered = (::testing::AddGlobalTestEnvironment(new ScratchCleanup), true);

}  // namespace

void remove_temp_dirs() {
  std::error_code ignored;
  for (const made_folder& f : made_folders())
    if (f.owner == getpid()) std::filesystem::remove_all(f.path, ignored);
  made_folders().clear();
  for (void (*remove)() : more_scratch()) remove();
}

void also_remove_with_temp_dirs(void (*remove)()) { more_scratch().push_back(remove); }

std::string make_temp_dir(const std::string& tag) {
  (void)registered;
  const char* tmp = getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/nimbrel-test-" + tag + "-XXXXXX";
  if (!mkdtemp(&templ[0])) return "";
  made_folders().push_back({templ, getpid()});
  return templ + "/";
}

std::string death_dir(const char* tag) {
  const std::string var = std::string("NIMBREL_DEATH_DIR_") + tag;
  if (const char* d = getenv(var.c_str())) return d;
  std::string dir = make_temp_dir(tag);
  setenv(var.c_str(), dir.c_str(), 1);
  return dir;
}

void isolate_home(const std::string& dir) {
  setenv("HOME", dir.c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string run_command(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = pclose(p);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return out;
}

std::string md5sum_of(const std::string& bytes) {
  std::string quoted = "'";
  for (char c : bytes) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += "'";
  return run_command("printf %s " + quoted + " | md5sum").substr(0, 32);
}

small_disk::small_disk(const std::string& path, const std::string& size) : path_(path) {
  if (geteuid() != 0) {
    why_not_ = "mounting a small tmpfs needs root";
    return;
  }
  mkdir(path.c_str(), 0755);
  if (mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0)
    why_not_ = std::string("this machine does not let us mount a tmpfs: ") + strerror(errno);
}

small_disk::~small_disk() {
  if (mounted()) umount2(path_.c_str(), MNT_DETACH);
}

}  // namespace testing_support
