// The thread layer: starts every thread of the program through one entry,
// knows the main thread, and runs a pool of one worker per processor fed
// through a call queue.
#pragma once

#include <vector>

#include "core/threads/locks.h"

struct THREAD_call {
  THREAD_call* next;          // free list link
  UTL_message_queue* reply;   // gets the cookie once the call has run
  UTL_critical_section lock;  // guards result and done
  void* (*fn)(void*);
  void* arg;
  void* result;
  int done;
  unsigned cookie;  // a multiple of 4, never 0
};

void THREAD_init();
int THREAD_is_inited();
// False on every thread before THREAD_init.
int THREAD_is_main_thread();
// Starts fn(arg) through THREAD_launch and returns once the thread runs.
// wants_context asks for an OpenGL context shared with the main one.
void THREAD_create(UTL_thread_func fn, void* arg, UTL_thread* thread, UTL_thread_id* id,
                   UTL_thread_join_rec* join, int wants_context);
void THREAD_make_workers();
THREAD_call* THREAD_run_async(void* (*fn)(void*), void* arg);
// timeout_ms: 0 polls, -1 waits for ever. Returns 1 once the call has run;
// the reply is consumed, so ask only until it has returned 1.
int THREAD_is_done(THREAD_call* call, int timeout_ms);
// Returns a done call's result and recycles the record.
void* THREAD_cleanup(THREAD_call* call);
// Waits for every call, recycles each record (their results unread) and
// empties the list.
void THREAD_finish_calls(std::vector<THREAD_call*>* calls);
void THREAD_shutdown();
// Back to before THREAD_init: shut down, and no thread is the main one.
void THREAD_reset();

// Number of workers started by THREAD_make_workers and not yet stopped.
int THREAD_worker_count();

// Last cookie handed out; guarded by the free-list lock.
extern unsigned next_cookie;
