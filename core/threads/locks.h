// Locks, message queues and thread primitives: the thin layer over POSIX
// threads that everything else in the program uses to run beside the main
// thread. Every failure of the thread library except a failed join is a fatal
// alert that names the failing call.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>

// [SECTION] Critical sections: recursive mutexes, embedded by value in their owners
typedef pthread_mutex_t UTL_critical_section;

void UTL_critical_section_create(UTL_critical_section* cs);
void UTL_critical_section_destroy(UTL_critical_section* cs);
void UTL_critical_section_lock(UTL_critical_section* cs);
void UTL_critical_section_unlock(UTL_critical_section* cs);

// Holds a critical section for the life of the object.
class UTL_scoped_lock {
 public:
  explicit UTL_scoped_lock(UTL_critical_section* cs) : cs_(cs) { UTL_critical_section_lock(cs_); }
  ~UTL_scoped_lock() { UTL_critical_section_unlock(cs_); }
  UTL_scoped_lock(const UTL_scoped_lock&) = delete;
  UTL_scoped_lock& operator=(const UTL_scoped_lock&) = delete;

 private:
  UTL_critical_section* cs_;
};

// [SECTION] Message queues: first-in first-out queues of untyped pointers
struct UTL_message_queue;

void UTL_message_queue_create(UTL_message_queue** queue);
// Drops messages still queued without touching what they point to.
void UTL_message_queue_destroy(UTL_message_queue* queue);
void UTL_message_queue_write(UTL_message_queue* queue, void* message);
// timeout_ms: 0 polls, -1 waits for ever, a positive value waits at most that
// long. Returns the oldest message, or null when none came in time (a null
// message cannot be told from that).
void* UTL_message_queue_read(UTL_message_queue* queue, int timeout_ms);

// [SECTION] Threads
typedef pthread_t UTL_thread;
typedef pthread_t UTL_thread_id;
typedef pthread_t UTL_thread_join_rec;
typedef void* (*UTL_thread_func)(void*);

// All three out-handles receive the same thread handle.
void UTL_thread_create(UTL_thread_func fn, void* arg, UTL_thread* thread, UTL_thread_id* id,
                       UTL_thread_join_rec* join);
// Returns the thread's exit value, or null when the join fails (logged only).
void* UTL_thread_join(UTL_thread thread, UTL_thread_join_rec join);
int UTL_thread_murder(UTL_thread thread);
[[noreturn]] void UTL_thread_exit(void* value);
UTL_thread UTL_get_current_thread();
int UTL_count_processors();
void UTL_sleep(int milliseconds);

// [SECTION] Lazily growing memory pool
// Bump allocation from chained 32768-byte blocks. Nothing in the installer
// takes memory from one; its byte count is kept for the debug statistics.
class UTL_lazy_mempool {
 public:
  static constexpr uint32_t kBlockSize = 32768;

  UTL_lazy_mempool() = default;
  ~UTL_lazy_mempool();
  UTL_lazy_mempool(const UTL_lazy_mempool&) = delete;
  UTL_lazy_mempool& operator=(const UTL_lazy_mempool&) = delete;

  // 8-byte aligned; null for a request that no block can hold.
  void* alloc(size_t bytes);
  void dump();

  uint32_t total_allocated = 0;
  uint32_t total_wasted = 0;
  void* blocks = nullptr;  // each block's first word links to the next
  uintptr_t cursor = 0;    // next free byte in the newest block
  uint32_t total_ready = 0;

  // Bytes held by every pool's blocks.
  static float global_total;
};
