// Work handed to the worker pool whose results the handing thread takes back
// in the order it handed them over, whichever worker ends first, so that what
// follows from them (log lines, alerts, figures) never depends on the
// scheduler. A descriptor becomes readable each time a job ends, so that a
// thread waiting in poll() on sockets wakes for it as well.
//
// Job: any type with `void run()` and `void failed(const std::string& what)`.
// run() is called on a worker (or at once on the handing thread when the
// program has no workers) and must touch nothing the handing thread changes
// meanwhile. A run() that throws, or whose thread ends inside it, is followed
// by failed() on the same thread, and the job comes back all the same: the
// handing thread never waits for a reply that cannot come, and the worker
// stays in the pool.
#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <cxxabi.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <string>

#include "core/threads/threads.h"

template <typename Job>
class THREAD_ordered_jobs {
 public:
  THREAD_ordered_jobs() : ended_fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~THREAD_ordered_jobs() {
    wait_all();
    if (ended_fd_ >= 0) close(ended_fd_);
  }
  THREAD_ordered_jobs(const THREAD_ordered_jobs&) = delete;
  THREAD_ordered_jobs& operator=(const THREAD_ordered_jobs&) = delete;

  // To a worker when the pool runs (and `here` is false), else run here and
  // now; either way it is taken back in its turn.
  void submit(std::unique_ptr<Job> job, bool here = false) {
    entries_.push_back(std::make_unique<entry>());
    entry& e = *entries_.back();
    e.job = std::move(job);
    e.ended_fd = ended_fd_;
    if (!here && THREAD_worker_count() > 0) {
      e.call = THREAD_run_async(run_entry, &e);
    } else {
      run_job(*e.job);
      e.done.store(true, std::memory_order_release);
    }
  }

  // The oldest job once it has run, else null. It stays the oldest until
  // pop().
  Job* front_done() {
    if (entries_.empty() || !reap(*entries_.front(), 0)) return nullptr;
    return entries_.front()->job.get();
  }
  std::unique_ptr<Job> pop() {
    reap(*entries_.front(), -1);
    std::unique_ptr<Job> job = std::move(entries_.front()->job);
    entries_.pop_front();
    return job;
  }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  // Readable once a job has ended since the last drain(); -1 when the
  // system gave no descriptor (then nothing wakes a waiter early).
  int ended_fd() const { return ended_fd_; }
  // Called before looking at the jobs, so that an end after the look leaves
  // the descriptor readable for the next wait.
  void drain() {
    uint64_t count;
    if (ended_fd_ >= 0) (void)!read(ended_fd_, &count, sizeof count);
  }

  // Returns once every job handed over has run (their results kept).
  void wait_all() {
    for (auto& e : entries_) reap(*e, -1);
  }

 private:
  struct entry {
    std::unique_ptr<Job> job;
    THREAD_call* call = nullptr;
    std::atomic<bool> done{false};
    bool reaped = false;
    int ended_fd = -1;
    // The worker's thread ended inside run(): its call never returns.
    std::atomic<bool> call_lost{false};
  };

  // What run() throws is the job's failure, not the worker's: an exception
  // that left the call would end the worker's thread without a reply.
  static void run_job(Job& job) {
    try {
      job.run();
    } catch (std::exception& x) {
      failed(job, x.what());
    } catch (...) {
      failed(job, "an unknown exception");
    }
  }
  static void failed(Job& job, const std::string& what) {
    try {
      job.failed(what);
    } catch (...) {
    }
  }

  static void ended(entry* e) {
    e->done.store(true, std::memory_order_release);
    // The entry outlives this write: it is only freed once its call has
    // returned or is known lost (reap).
    const uint64_t one = 1;
    if (e->ended_fd >= 0) (void)!write(e->ended_fd, &one, sizeof one);
  }

  static void* run_entry(void* arg) {
    entry* e = static_cast<entry*>(arg);
    try {
      run_job(*e->job);
    } catch (abi::__forced_unwind&) {
      // The thread is ending (a fatal alert on it): the job still comes
      // back, and nobody waits for the call.
      failed(*e->job, "its worker's thread ended");
      e->call_lost.store(true, std::memory_order_release);
      ended(e);
      throw;
    }
    ended(e);
    return nullptr;
  }

  static constexpr int kWaitStepMs = 1;

  // True once the job has run and its call is handed back to the pool;
  // timeout_ms 0 asks, -1 waits for it.
  static bool reap(entry& e, int timeout_ms) {
    if (e.reaped) return true;
    if (!e.call) return e.reaped = e.done.load(std::memory_order_acquire);
    // Waited for by the job's flag, not by the call's reply, which a thread
    // that ended never sends.
    while (!e.done.load(std::memory_order_acquire)) {
      if (timeout_ms == 0) return false;
      UTL_sleep(kWaitStepMs);
    }
    // A call whose thread ended, or one of a pool already shut down (whose
    // workers ran every call queued before they stopped), is let go: neither
    // can hand its record back.
    if (e.call_lost.load(std::memory_order_acquire) || !THREAD_is_inited()) {
      e.call = nullptr;
      return e.reaped = true;
    }
    // Done: the call returns within moments of the flag.
    if (!THREAD_is_done(e.call, -1)) return false;
    THREAD_cleanup(e.call);
    e.call = nullptr;
    return e.reaped = true;
  }

  int ended_fd_;
  std::deque<std::unique_ptr<entry>> entries_;
};
