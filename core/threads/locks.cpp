// Recursive mutexes, message queues on a condition variable, threads and
// the lazy memory pool, over POSIX threads; a failing call is a fatal alert.
#include "core/threads/locks.h"

#include <errno.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <list>
#include <memory>

#include "core/alert.h"
#include "core/globals.h"
#include "core/stats.h"

namespace {

// Every failing call is reported with a fixed line number rather than
// __LINE__, so that a given failure reads the same in every build's log.
void os_fail(const char* call, int err, int line) {
  char num[64];
  snprintf(num, sizeof num, "err=%f", static_cast<double>(err));
  __MACIBM_alert(wind_main, call, num, "", "", t_exit, __FILE__, line);
}

}  // namespace

// [SECTION] Critical sections
void UTL_critical_section_create(UTL_critical_section* cs) {
  pthread_mutexattr_t attr;
  int rc = pthread_mutexattr_init(&attr);
  if (rc) os_fail("\"::pthread_mutexattr_init\" OS error", rc, 179);
  rc = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  if (rc) os_fail("\"::pthread_mutexattr_settype\" OS error", rc, 181);
  rc = pthread_mutex_init(cs, &attr);
  if (rc) os_fail("\"::pthread_mutex_init\" OS error", rc, 183);
  rc = pthread_mutexattr_destroy(&attr);
  if (rc) os_fail("\"::pthread_mutexattr_destroy\" OS error", rc, 185);
}

void UTL_critical_section_destroy(UTL_critical_section* cs) {
  int rc = pthread_mutex_destroy(cs);
  if (rc) os_fail("\"::pthread_mutex_destroy\" OS error", rc, 198);
}

void UTL_critical_section_lock(UTL_critical_section* cs) {
  int rc = pthread_mutex_lock(cs);
  if (rc) os_fail("\"pthread_mutex_lock\" OS error", rc, 211);
}

void UTL_critical_section_unlock(UTL_critical_section* cs) {
  int rc = pthread_mutex_unlock(cs);
  if (rc) os_fail("\"pthread_mutex_unlock\" OS error", rc, 224);
}

// [SECTION] Message queues
struct UTL_message_queue {
  pthread_mutex_t mutex;
  pthread_cond_t condition;
  std::list<void*> messages;  // oldest first
  int waiters = 0;
};

void UTL_message_queue_create(UTL_message_queue** queue) {
  UTL_message_queue* q = new UTL_message_queue;
  int rc = pthread_mutex_init(&q->mutex, nullptr);
  if (rc) os_fail("\"::pthread_mutex_init\" OS error", rc, 268);
  // Deadlines run on the monotonic clock so that a change of the wall clock
  // neither stretches nor cuts a timed read.
  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  rc = pthread_cond_init(&q->condition, &attr);
  pthread_condattr_destroy(&attr);
  if (rc) os_fail("\"::pthread_cond_init\" OS error", rc, 271);
  *queue = q;
}

void UTL_message_queue_destroy(UTL_message_queue* queue) {
  int rc = pthread_mutex_destroy(&queue->mutex);
  if (rc) os_fail("\"::pthread_mutex_destroy\" OS error", rc, 287);
  rc = pthread_cond_destroy(&queue->condition);
  if (rc) os_fail("\"::pthread_cond_desroy\" OS error", rc, 290);
  delete queue;
}

void UTL_message_queue_write(UTL_message_queue* queue, void* message) {
  // The list node is made before the lock and spliced in under it, so the
  // mutex is never held across a call into the allocator.
  std::list<void*> node(1, message);
  int rc = pthread_mutex_lock(&queue->mutex);
  if (rc) os_fail("\"pthread_mutex_lock\" OS error", rc, 319);
  if (queue->waiters > 0) {
    rc = pthread_cond_signal(&queue->condition);
    if (rc) os_fail("\"pthread_cond_signal\" OS error", rc, 324);
  }
  queue->messages.splice(queue->messages.end(), node);
  rc = pthread_mutex_unlock(&queue->mutex);
  if (rc) os_fail("\"pthread_mutex_unlock\" OS error", rc, 330);
}

void* UTL_message_queue_read(UTL_message_queue* queue, int timeout_ms) {
  timespec deadline{};
  if (timeout_ms > 0) {
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeout_ms / 1000;
    deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
    if (deadline.tv_nsec > 999999999L) {
      deadline.tv_nsec -= 1000000000L;
      deadline.tv_sec += 1;
    }
  }
  int rc = pthread_mutex_lock(&queue->mutex);
  if (rc) os_fail("\"pthread_mutex_lock\" OS error", rc, 382);
  if (timeout_ms == 0 && queue->messages.empty()) {
    rc = pthread_mutex_unlock(&queue->mutex);
    if (rc) os_fail("\"pthread_mutex_unlock\" OS error", rc, 387);
    return nullptr;
  }
  std::list<void*> taken;  // freed after the unlock, outside the lock
  ++queue->waiters;
  for (;;) {
    if (!queue->messages.empty()) {
      --queue->waiters;
      taken.splice(taken.end(), queue->messages, queue->messages.begin());
      rc = pthread_mutex_unlock(&queue->mutex);
      if (rc) os_fail("\"pthread_mutex_unlock\" OS error", rc, 413);
      return taken.front();
    }
    rc = timeout_ms < 0 ? pthread_cond_wait(&queue->condition, &queue->mutex)
                        : pthread_cond_timedwait(&queue->condition, &queue->mutex, &deadline);
    if (rc == ETIMEDOUT) break;
    if (rc) os_fail("\"pthread_cond_timedwait\" OS error", rc, 405);
  }
  --queue->waiters;
  rc = pthread_mutex_unlock(&queue->mutex);
  if (rc) os_fail("\"pthread_mutex_unlock\" OS error", rc, 402);
  return nullptr;
}

// [SECTION] Threads
void UTL_thread_create(UTL_thread_func fn, void* arg, UTL_thread* thread, UTL_thread_id* id,
                       UTL_thread_join_rec* join) {
  pthread_t t;
  int rc = pthread_create(&t, nullptr, fn, arg);
  if (rc) os_fail("\"pthread_create\" OS error", rc, 112);
  if (thread) *thread = t;
  if (id) *id = t;
  if (join) *join = t;
}

void* UTL_thread_join(UTL_thread thread, UTL_thread_join_rec /*join*/) {
  void* result = nullptr;
  int rc = pthread_join(thread, &result);
  if (rc) {
    xer << "Warning: wait on thread cleanup failed with error " << rc << "\n";
    return nullptr;
  }
  return result;
}

int UTL_thread_murder(UTL_thread thread) { return pthread_cancel(thread); }

void UTL_thread_exit(void* value) { pthread_exit(value); }

UTL_thread UTL_get_current_thread() { return pthread_self(); }

int UTL_count_processors() {
  // The processors this process may run on, which a container or taskset can
  // make fewer than the machine has.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

void UTL_sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec left{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// [SECTION] Lazy memory pool
float UTL_lazy_mempool::global_total = 0.0f;

std::unique_ptr<UTL_stat> g_memory_used(new UTL_stat(&UTL_lazy_mempool::global_total,
                                                     "memory/lazy_pools", stat_memory));

UTL_lazy_mempool::~UTL_lazy_mempool() {
  while (blocks) {
    void* next = *static_cast<void**>(blocks);
    ::operator delete(blocks);
    global_total -= static_cast<float>(kBlockSize);
    blocks = next;
  }
}

void* UTL_lazy_mempool::alloc(size_t bytes) {
  bytes = (bytes + 7) & ~static_cast<size_t>(7);
  if (bytes == 0 || bytes > kBlockSize - sizeof(void*)) return nullptr;
  if (bytes > total_ready) {
    total_wasted += total_ready;
    void* block = ::operator new(kBlockSize);
    *static_cast<void**>(block) = blocks;
    blocks = block;
    cursor = reinterpret_cast<uintptr_t>(block) + sizeof(void*);
    total_ready = kBlockSize - sizeof(void*);
    global_total += static_cast<float>(kBlockSize);
  }
  void* p = reinterpret_cast<void*>(cursor);
  cursor += bytes;
  total_ready -= static_cast<uint32_t>(bytes);
  total_allocated += static_cast<uint32_t>(bytes);
  return p;
}

void UTL_lazy_mempool::dump() {
  xer << "Total memory allocated: " << total_allocated << "\n";
  xer << "Total wasted memory: " << total_wasted << "\n";
  xer << "Total ready memory: " << total_ready << "\n";
}
