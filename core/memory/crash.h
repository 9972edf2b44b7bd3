// The crash handler: when the program dies of a machine fault it leaves
// "crash_log.txt" in its working folder with the signal and a walk of the
// faulting thread's stack, then aborts.
//
// Everything here that the handler calls writes to a file descriptor with
// stack buffers only, so it is safe inside a signal handler.
#pragma once

#include <signal.h>

#include <cstddef>

struct symbol_info {
  char image_path[1024];
  const void* image_base;
  char symbol_name[1024];
  const void* symbol_address;
  char source_file[1024];
  int source_line;  // -1 when unknown
};

// One saved frame of the frame-pointer chain.
struct stack_frame {
  stack_frame* caller;
  void* return_address;
};

// Ignores SIGPIPE and installs the handler for the machine-fault signals, on
// an alternate signal stack. In the sanitizer builds the sanitizer keeps the
// fault signals, so only SIGPIPE is changed.
void UTL_debug_init();
void fatal_signal_handler(int sig, siginfo_t* info, void* context);
// Numbered lines " N) symbol ..." for pc (when given) and each frame of the
// chain from frame (or from the caller of this function); at most 100 lines.
void UTL_dump_stack(int fd, stack_frame* frame, void* pc);
void print_symbol(int fd, const void* address);
// Whether any loaded image holds the address; fills info either way.
int UTL_get_debug_symbol(const void* address, symbol_info* info);
void dump_hex(int fd, const void* start, int count);
// 1 when every byte of the range is mapped with the wanted rights.
int UTL_valid_memory(const void* start, size_t count, int read, int write);
// Whether a sanitizer runtime owns the fault signals in this build.
bool UTL_sanitizer_owns_signals();
