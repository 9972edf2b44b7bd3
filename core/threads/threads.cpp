// Every thread starts here: the error records of a thread that fails, the
// main thread's identity, and the worker pool fed through one call queue.
#include "core/threads/threads.h"

#include <cxxabi.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "core/alert.h"
#include "core/exception.h"
#include "core/globals.h"
#include "core/hooks.h"

// [SECTION] Program-wide state
static std::atomic<int> threads_inited{0};
static std::atomic<bool> main_known{false};
static std::atomic<pthread_t> main_thread{};
static UTL_message_queue* call_queue = nullptr;
static THREAD_call* free_calls = nullptr;
static UTL_critical_section free_calls_lock;
unsigned next_cookie = 0;
static std::vector<UTL_thread> worker_threads;
static std::vector<UTL_thread_join_rec> worker_threads_join;
static std::vector<void*> worker_contexts;  // freed once their threads have ended

// The quit message for the workers: all bits set, never a real call.
static void* const kQuitMessage = reinterpret_cast<void*>(~static_cast<uintptr_t>(0));

struct thread_start {
  UTL_thread_func fn;
  void* arg;
  UTL_message_queue* started;
  int wants_context;
  void* context;
};

// [SECTION] Start and identity
void THREAD_init() {
  // POSIX threads are always there on Linux, so there is no readiness check.
  main_thread.store(pthread_self());
  main_known.store(true);
  UTL_message_queue_create(&warn_exce);
  UTL_message_queue_create(&quit_exce);
  UTL_critical_section_create(&free_calls_lock);
  UTL_message_queue_create(&call_queue);
  threads_inited.store(1);
}

int THREAD_is_inited() { return threads_inited.load(); }

int THREAD_is_main_thread() {
  return main_known.load() && pthread_equal(pthread_self(), main_thread.load()) ? 1 : 0;
}

// [SECTION] Thread entry
namespace {

// Each thread gets its own alternate signal stack, so that a stack overflow
// on it still leaves a crash log.
class alt_signal_stack {
 public:
  alt_signal_stack() : size_(std::max<size_t>(SIGSTKSZ, 65536)), mem_(new char[size_]) {
    stack_t ss{};
    ss.ss_sp = mem_.get();
    ss.ss_size = size_;
    installed_ = sigaltstack(&ss, nullptr) == 0;
  }
  ~alt_signal_stack() {
    if (!installed_) return;
    stack_t ss{};
    ss.ss_flags = SS_DISABLE;
    sigaltstack(&ss, nullptr);
  }

 private:
  size_t size_;
  std::unique_ptr<char[]> mem_;
  bool installed_ = false;
};

// glibc's forced unwind carries no exception object, which the sanitizer's
// null-reference check would take for a fault in the rethrow clause below.
__attribute__((no_sanitize("null"))) void* THREAD_launch(void* start_arg) {
  thread_start* start = static_cast<thread_start*>(start_arg);
  if (start->wants_context && start->context) g_core_hooks.set_thread_context(start->context);
  UTL_thread_func fn = start->fn;
  void* arg = start->arg;
  UTL_message_queue_write(start->started, nullptr);
  // From here the start record may be gone.
  alt_signal_stack alt_stack;
  try {
    return fn(arg);
  } catch (abi::__forced_unwind&) {
    // pthread_exit unwinds with this; swallowing it would abort the process.
    throw;
  } catch (exce_class& e) {
    e.MakeFatal();
    THREAD_send_exception(e);
  } catch (std::exception& e) {
    // The fixed line numbers are the ones these records have always carried.
    THREAD_send_exception(
        exce_class("Caught an unhandled C++ exception", e.what(), "", "", __FILE__, 302, 2));
  } catch (...) {
    THREAD_send_exception(
        exce_class("Caught an unhandled unknown exception", "", "", "", __FILE__, 304, 2));
  }
  return nullptr;
}

}  // namespace

// THREAD_create, handing back the thread's context (null without one).
static void* create_thread(UTL_thread_func fn, void* arg, UTL_thread* thread, UTL_thread_id* id,
                           UTL_thread_join_rec* join, int wants_context) {
  thread_start start{fn, arg, nullptr, 0, nullptr};
  if (wants_context) {
    start.wants_context = 1;
    start.context = g_core_hooks.make_thread_context();
  }
  UTL_message_queue_create(&start.started);
  UTL_thread_create(THREAD_launch, &start, thread, id, join);
  UTL_message_queue_read(start.started, -1);
  UTL_message_queue_destroy(start.started);
  return start.context;
}

void THREAD_create(UTL_thread_func fn, void* arg, UTL_thread* thread, UTL_thread_id* id,
                   UTL_thread_join_rec* join, int wants_context) {
  create_thread(fn, arg, thread, id, join, wants_context);
}

// [SECTION] Worker pool
static void* xtaskproc(void*) {
  for (;;) {
    void* m = UTL_message_queue_read(call_queue, -1);
    if (m == kQuitMessage) return nullptr;
    THREAD_call* call = static_cast<THREAD_call*>(m);
    void* result = call->fn(call->arg);
    {
      UTL_scoped_lock hold(&call->lock);
      call->result = result;
    }
    UTL_message_queue_write(call->reply,
                            reinterpret_cast<void*>(static_cast<uintptr_t>(call->cookie)));
  }
}

void THREAD_make_workers() {
  int count = UTL_count_processors();
  xer << "CPU count        : " << count << "\n";
  for (int i = 0; i < count; ++i) {
    UTL_thread thread;
    UTL_thread_id id;
    UTL_thread_join_rec join;
    void* context = create_thread(xtaskproc, nullptr, &thread, &id, &join, 1);
    if (context) worker_contexts.push_back(context);
    worker_threads.push_back(thread);
    worker_threads_join.push_back(join);
  }
}

int THREAD_worker_count() { return static_cast<int>(worker_threads.size()); }

THREAD_call* THREAD_run_async(void* (*fn)(void*), void* arg) {
  unsigned cookie;
  THREAD_call* call;
  {
    UTL_scoped_lock hold(&free_calls_lock);
    next_cookie += 4;  // unsigned: wraps past the top without overflow
    if (next_cookie == 0) next_cookie = 4;
    cookie = next_cookie;
    call = free_calls;
    if (call) free_calls = call->next;
  }
  if (!call) {
    call = new THREAD_call{};
    UTL_message_queue_create(&call->reply);
    UTL_critical_section_create(&call->lock);
  }
  call->next = nullptr;
  call->fn = fn;
  call->arg = arg;
  call->result = nullptr;
  call->done = 0;
  call->cookie = cookie;
  UTL_message_queue_write(call_queue, call);
  return call;
}

int THREAD_is_done(THREAD_call* call, int timeout_ms) {
  THREAD_check_exception(0);
  void* reply = UTL_message_queue_read(call->reply, timeout_ms);
  THREAD_check_exception(0);
  if (!reply) return 0;
  UTL_scoped_lock hold(&call->lock);
  call->done = 1;
  return 1;
}

void* THREAD_cleanup(THREAD_call* call) {
  THREAD_check_exception(0);
  int done;
  void* result;
  {
    UTL_scoped_lock hold(&call->lock);
    done = call->done;
    result = call->result;
  }
  // Line 484 on purpose: the record names the line it always named.
  if (!done)
    __MACIBM_alert(wind_main, "Thread cleanup called on not-done call.", "", "", "", t_exit,
                   __FILE__, 484);
  UTL_scoped_lock hold(&free_calls_lock);
  call->next = free_calls;
  free_calls = call;
  return result;
}

void THREAD_finish_calls(std::vector<THREAD_call*>* calls) {
  for (THREAD_call* call : *calls) {
    THREAD_is_done(call, -1);
    THREAD_cleanup(call);
  }
  calls->clear();
}

// [SECTION] Shut-down
void THREAD_shutdown() {
  if (!threads_inited.load()) return;
  for (size_t i = 0; i < worker_threads.size(); ++i)
    UTL_message_queue_write(call_queue, kQuitMessage);
  for (size_t i = 0; i < worker_threads.size(); ++i)
    UTL_thread_join(worker_threads[i], worker_threads_join[i]);
  // Forgotten here so that a later THREAD_init and THREAD_make_workers in the
  // same process never join a stopped thread twice.
  worker_threads.clear();
  worker_threads_join.clear();
  for (void* context : worker_contexts) g_core_hooks.free_thread_context(context);
  worker_contexts.clear();
  UTL_critical_section_destroy(&free_calls_lock);
  UTL_message_queue_destroy(call_queue);
  call_queue = nullptr;
  while (free_calls) {
    THREAD_call* next = free_calls->next;
    UTL_message_queue_destroy(free_calls->reply);
    UTL_critical_section_destroy(&free_calls->lock);
    delete free_calls;
    free_calls = next;
  }
  UTL_message_queue_destroy(warn_exce);
  UTL_message_queue_destroy(quit_exce);
  warn_exce = quit_exce = nullptr;
  threads_inited.store(0);
  xer << "Clean exit from threads.\n";
}

void THREAD_reset() {
  THREAD_shutdown();
  main_known.store(false);
  main_thread.store(pthread_t{});
}
