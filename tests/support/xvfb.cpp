// The private X display of the tests that drive real windows.
#include "tests/support/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/test_support.h"

namespace testing_support {

bool on_path(const std::string& tool) {
  int status = 1;
  run_command("command -v " + tool + " >/dev/null 2>&1", &status);
  return status == 0;
}

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void stop_process(pid_t& pid, int sig, bool group) {
  if (pid <= 0) return;
  kill(group ? -pid : pid, sig);
  int status;
  waitpid(pid, &status, 0);
  pid = 0;
}

std::string XvfbDisplay::start(const std::string& screen) {
  // -displayfd lets the server pick a free display number itself and tell
  // us once it accepts clients.
  int fd[2];
  if (pipe(fd) != 0) return "no pipe";
  pid_ = fork();
  if (pid_ < 0) return "no fork";
  if (pid_ == 0) {
    close(fd[0]);
    int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    std::string out = std::to_string(fd[1]);
    // -noreset: by default the server resets when its last client leaves,
    // and a client connecting during that reset finds no display.
    execlp("Xvfb", "Xvfb", "-displayfd", out.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
           "tcp", "-noreset", (char*)nullptr);
    _exit(127);
  }
  close(fd[1]);
  std::string number;
  pollfd p = {fd[0], POLLIN, 0};
  char c;
  while (poll(&p, 1, 15000) == 1 && read(fd[0], &c, 1) == 1 && c != '\n') number += c;
  close(fd[0]);
  if (number.empty()) return "Xvfb did not start";
  name_ = ":" + number;
  // The number comes as the server starts listening; make sure a client
  // really gets through before anything is shown on it.
  int status = -1;
  for (int i = 0; i < 50 && status != 0; ++i) {
    run("xdotool getdisplaygeometry", &status);
    if (status != 0) pause_ms(100);
  }
  return status == 0 ? "" : "no client can reach " + name_;
}

void XvfbDisplay::stop() { stop_process(pid_, SIGTERM, false); }

std::string XvfbDisplay::run(const std::string& command, int* status) const {
  return run_command("DISPLAY=" + name_ + " timeout 10 " + command + " 2>/dev/null", status);
}

}  // namespace testing_support
