// Crashing on purpose in a child process, for the crash handler's tests on
// the ground floor and with the shell.
#pragma once

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <iterator>
#include <regex>
#include <string>

#include "core/memory/crash.h"
#include "tests/support/test_support.h"

namespace crash_testing {

struct ChildResult {
  int term_signal = 0;  // 0 when the child did not die of a signal
  std::string crash_log;
  std::string log;
};

// Runs body in a child process whose working folder is a fresh temp folder
// holding a "Log.txt", with the crash handler installed.
inline ChildResult crash_child(const std::function<void()>& body) {
  std::string dir = testing_support::make_temp_dir("crash");
  testing_support::write_file(dir + "Log.txt", "log header\n");
  pid_t pid = fork();
  if (pid == 0) {
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    if (chdir(dir.c_str()) != 0) _exit(2);
    UTL_debug_init();
    body();
    _exit(3);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ChildResult r;
  if (WIFSIGNALED(status)) r.term_signal = WTERMSIG(status);
  r.crash_log = testing_support::read_file(dir + "crash_log.txt");
  r.log = testing_support::read_file(dir + "Log.txt");
  return r;
}

// The numbered stack lines of a crash log.
inline int numbered_lines(const std::string& text) {
  std::regex numbered("^ {1,2}[0-9]{1,3}\\) ", std::regex::multiline);
  return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), numbered),
                                        std::sregex_iterator()));
}

// Everything a function writes to a descriptor, read back.
inline std::string written_by(const std::function<void(int)>& write_to) {
  int fd = memfd_create("crash-test", 0);
  write_to(fd);
  std::string out;
  char buf[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) out.append(buf, n);
  close(fd);
  return out;
}

}  // namespace crash_testing
