// Child processes, started without a shell: no argument is ever parsed as a
// command. One place for the pipe, fork and exec steps, the report of a
// failed exec, and reads and waits that survive signals.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

enum spawn_flags {
  spawn_search_path = 1,  // find args[0] on PATH
  spawn_pipe_stdin = 2,   // child->stdin_fd writes to its standard input
  spawn_pipe_stdout = 4,  // child->stdout_fd reads its standard output
};

struct spawned_child {
  pid_t pid = -1;
  int stdin_fd = -1;
  int stdout_fd = -1;
};

// Starts args[0] with the arguments. Returns 0 once the program runs, or the
// errno of the step that failed (an exec failure is reported by the child
// before it ends, and the child is reaped). Our pipe ends are close-on-exec.
int UTL_spawn(const std::vector<std::string>& args, int flags, spawned_child* child);
// Appends everything read from fd until its end to *out; closes fd.
void UTL_read_to_end(int fd, std::string* out);
// Waits for the child to end: its exit status, or -1 when it was killed or
// cannot be waited for.
int UTL_wait_child(pid_t pid);
