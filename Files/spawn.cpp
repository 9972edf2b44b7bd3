// Starting, reading and reaping child processes with POSIX calls.
#include "Files/spawn.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

void close_pair(int fd[2]) {
  if (fd[0] >= 0) close(fd[0]);
  if (fd[1] >= 0) close(fd[1]);
  fd[0] = fd[1] = -1;
}

}  // namespace

int UTL_spawn(const std::vector<std::string>& args, int flags, spawned_child* child) {
  if (args.empty()) return EINVAL;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  // The child tells us through this pipe why its exec failed; a successful
  // exec closes it unseen, so end-of-file means the program runs.
  int report[2] = {-1, -1}, in[2] = {-1, -1}, out[2] = {-1, -1};
  if (pipe2(report, O_CLOEXEC) != 0 || ((flags & spawn_pipe_stdin) && pipe2(in, O_CLOEXEC) != 0) ||
      ((flags & spawn_pipe_stdout) && pipe2(out, O_CLOEXEC) != 0)) {
    int err = errno;
    close_pair(report);
    close_pair(in);
    close_pair(out);
    return err;
  }
  pid_t pid = fork();
  if (pid < 0) {
    int err = errno;
    close_pair(report);
    close_pair(in);
    close_pair(out);
    return err;
  }
  if (pid == 0) {
    if (in[0] >= 0) dup2(in[0], 0);
    if (out[1] >= 0) dup2(out[1], 1);
    if (flags & spawn_search_path)
      execvp(argv[0], argv.data());
    else
      execv(argv[0], argv.data());
    int err = errno;
    ssize_t ignored = write(report[1], &err, sizeof err);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  if (in[0] >= 0) close(in[0]);
  if (out[1] >= 0) close(out[1]);
  int err = 0;
  ssize_t got;
  do {
    got = read(report[0], &err, sizeof err);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  if (got == static_cast<ssize_t>(sizeof err)) {
    if (in[1] >= 0) close(in[1]);
    if (out[0] >= 0) close(out[0]);
    UTL_wait_child(pid);
    return err ? err : ENOEXEC;
  }
  child->pid = pid;
  child->stdin_fd = in[1];
  child->stdout_fd = out[0];
  return 0;
}

void UTL_read_to_end(int fd, std::string* out) {
  char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    out->append(buf, static_cast<size_t>(n));
  }
  close(fd);
}

int UTL_wait_child(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
