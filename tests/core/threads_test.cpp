// Locks, message queues, thread primitives and the worker pool, on real
// threads.
//
// Contents
//   [SECTION] Helpers
//   [SECTION] Message queues
//   [SECTION] Critical sections and primitives
//   [SECTION] Thread layer and worker pool
//   [SECTION] Work taken back in order
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "core/threads/locks.h"
#include "core/threads/ordered_jobs.h"
#include "core/threads/threads.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using clk = std::chrono::steady_clock;

// [SECTION] Helpers

namespace {

void* msg(uintptr_t v) { return reinterpret_cast<void*>(v); }

long long ms_since(clk::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clk::now() - t0).count();
}

}  // namespace

// [SECTION] Message queues

TEST(MessageQueue, PollReturnsOldestFirstThenNull) {
  UTL_message_queue* q;
  UTL_message_queue_create(&q);
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
  UTL_message_queue_write(q, msg(0xA));
  UTL_message_queue_write(q, msg(0xB));
  // A message left while nobody waits is there for a read of any kind.
  EXPECT_EQ(UTL_message_queue_read(q, 0), msg(0xA));
  EXPECT_EQ(UTL_message_queue_read(q, 50), msg(0xB));
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
  // Destroying with messages inside drops them untouched.
  UTL_message_queue_write(q, msg(0xDEAD));
  UTL_message_queue_destroy(q);
}

TEST(MessageQueue, TimedReadOnEmptyQueueTimesOutWithinTolerance) {
  UTL_message_queue* q;
  UTL_message_queue_create(&q);
  for (int timeout : {30, 80}) {
    auto t0 = clk::now();
    EXPECT_EQ(UTL_message_queue_read(q, timeout), nullptr);
    long long took = ms_since(t0);
    EXPECT_GE(took, timeout - 1) << timeout;
    EXPECT_LT(took, timeout + 500) << timeout;  // late on a loaded machine, not by seconds
  }
  UTL_message_queue_destroy(q);
}

TEST(MessageQueue, WaitingReadReturnsAsSoonAsAMessageArrives) {
  UTL_message_queue* q;
  UTL_message_queue_create(&q);
  for (int timeout : {2000, -1}) {
    std::thread writer([q] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      UTL_message_queue_write(q, msg(7));
    });
    auto t0 = clk::now();
    EXPECT_EQ(UTL_message_queue_read(q, timeout), msg(7)) << timeout;
    long long took = ms_since(t0);
    EXPECT_GE(took, 25) << timeout;
    EXPECT_LT(took, 1000) << timeout;
    writer.join();
  }
  UTL_message_queue_destroy(q);
}

TEST(TsanQueue, ManyProducersManyConsumersLoseNothingAndKeepOrder) {
  constexpr int kProducers = 4, kConsumers = 3, kPerProducer = 3000;
  UTL_message_queue* q;
  UTL_message_queue_create(&q);
  std::vector<std::vector<uintptr_t>> got(kConsumers);
  std::atomic<int> remaining{kProducers * kPerProducer};
  std::vector<std::thread> threads;
  for (int c = 0; c < kConsumers; ++c) {
    threads.emplace_back([&, c] {
      // Mixed read kinds; each message is producer * 1e6 + sequence + 1.
      while (remaining.load() > 0) {
        void* m = UTL_message_queue_read(q, c == 0 ? 0 : 20);
        if (!m) continue;
        got[c].push_back(reinterpret_cast<uintptr_t>(m));
        remaining.fetch_sub(1);
      }
    });
  }
  for (int p = 0; p < kProducers; ++p) {
    threads.emplace_back([&, p] {
      for (int i = 0; i < kPerProducer; ++i) UTL_message_queue_write(q, msg(p * 1000000u + i + 1));
    });
  }
  for (auto& t : threads) t.join();
  std::vector<uintptr_t> all;
  for (auto& g : got) {
    // A consumer takes messages in queue order, so each producer's messages
    // reach it in the order they were sent.
    std::vector<uintptr_t> last(kProducers, 0);
    for (uintptr_t m : g) {
      EXPECT_GT(m, last[m / 1000000u]);
      last[m / 1000000u] = m;
    }
    all.insert(all.end(), g.begin(), g.end());
  }
  std::sort(all.begin(), all.end());
  ASSERT_EQ(all.size(), static_cast<size_t>(kProducers * kPerProducer));
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
  UTL_message_queue_destroy(q);
}

// [SECTION] Critical sections and primitives

TEST(CriticalSection, OwnerLocksTwiceAndOthersWaitForBothUnlocks) {
  UTL_critical_section cs;
  UTL_critical_section_create(&cs);
  UTL_critical_section_lock(&cs);
  UTL_critical_section_lock(&cs);  // would deadlock on a plain mutex
  std::atomic<bool> other_has_it{false};
  std::thread other([&] {
    UTL_critical_section_lock(&cs);
    other_has_it = true;
    UTL_critical_section_unlock(&cs);
  });
  UTL_critical_section_unlock(&cs);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  EXPECT_FALSE(other_has_it.load());
  UTL_critical_section_unlock(&cs);
  other.join();
  EXPECT_TRUE(other_has_it.load());
  UTL_critical_section_destroy(&cs);
}

TEST(CriticalSectionDeathTest, LibraryFailureIsFatalAlertNamingTheCall) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the thread sanitizer stops at the misuse this test makes on purpose";
#endif
  std::string dir = death_dir("cs-death");
  struct Case {
    const char* name;
    void (*fail)();
    const char* logged;
  } cases[] = {
      // Unlocking a recursive mutex one does not hold: EPERM.
      {"unlock",
       [] {
         UTL_critical_section cs;
         UTL_critical_section_create(&cs);
         UTL_critical_section_unlock(&cs);
       },
       "\"pthread_mutex_unlock\" OS error\nerr=1.000000\n\n\n"},
      // A mutex of no known kind: EINVAL.
      {"lock",
       [] {
         UTL_critical_section cs{};
         cs.__data.__kind = 0x7f;
         UTL_critical_section_lock(&cs);
       },
       "\"pthread_mutex_lock\" OS error\nerr=22.000000\n\n\n"},
  };
  for (const Case& c : cases) {
    const std::string child_log = dir + c.name + ".txt";
    EXPECT_EXIT(
        {
          isolate_home(dir);
          xer.open(child_log);
          c.fail();
        },
        testing::ExitedWithCode(1), "")
        << c.name;
    std::string text = read_file(child_log);
    EXPECT_NE(text.find(c.logged), std::string::npos) << c.name << "\n" << text;
    EXPECT_NE(text.find("locks.cpp"), std::string::npos) << c.name;
  }
}

TEST(ThreadPrimitives, SleepJoinAndProcessorCount) {
  for (int ms : {0, -5}) {
    auto t0 = clk::now();
    UTL_sleep(ms);
    EXPECT_LT(ms_since(t0), 500) << ms;  // no sleep at all, whatever the load
  }
  auto t0 = clk::now();
  UTL_sleep(30);
  EXPECT_GE(ms_since(t0), 29);

  UTL_thread t, id, join;
  UTL_thread_create([](void* a) -> void* { return static_cast<char*>(a) + 1; }, msg(41), &t, &id,
                    &join);
  EXPECT_TRUE(pthread_equal(t, id) && pthread_equal(t, join));
  EXPECT_EQ(UTL_thread_join(t, join), msg(42));

  std::string nproc = run_command("nproc");
  EXPECT_EQ(UTL_count_processors(), atoi(nproc.c_str()));
}

TEST(LazyMempool, BlocksAreCountedWhileHeld) {
  const float before = UTL_lazy_mempool::global_total;
  {
    UTL_lazy_mempool pool;
    EXPECT_EQ(pool.alloc(UTL_lazy_mempool::kBlockSize), nullptr);
    void* a = pool.alloc(20000);
    void* b = pool.alloc(20000);  // does not fit the first block's rest
    ASSERT_TRUE(a && b);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 8, 0u);
    EXPECT_EQ(UTL_lazy_mempool::global_total, before + 2 * 32768.0f);
    EXPECT_EQ(pool.total_allocated, 40000u);
    EXPECT_EQ(pool.total_wasted, 32768u - 8 - 20000);
    EXPECT_EQ(pool.total_ready, 32768u - 8 - 20000);
  }
  EXPECT_EQ(UTL_lazy_mempool::global_total, before);
}

// [SECTION] Thread layer and worker pool

class ThreadLayer : public TempFolderTest {
 protected:
  ThreadLayer() : TempFolderTest("threads", with_log) {}
  void SetUp() override {
    TempFolderTest::SetUp();
    THREAD_reset();
  }
  void TearDown() override {
    THREAD_reset();
    TempFolderTest::TearDown();
  }
};

namespace {

UTL_message_queue* g_gate;
void* wait_for_gate(void* arg) {
  UTL_message_queue_read(g_gate, -1);
  return static_cast<char*>(arg) + 1;
}

}  // namespace

TEST_F(ThreadLayer, MainThreadIsKnownOnlyAfterInit) {
  EXPECT_FALSE(THREAD_is_main_thread());
  EXPECT_FALSE(THREAD_is_inited());
  THREAD_init();
  EXPECT_TRUE(THREAD_is_inited());
  EXPECT_TRUE(THREAD_is_main_thread());
  int other = -1;
  std::thread([&] { other = THREAD_is_main_thread(); }).join();
  EXPECT_EQ(other, 0);
}

TEST_F(ThreadLayer, WorkersRunCallsAndStopInOrder) {
  THREAD_init();
  THREAD_make_workers();
  const int cpus = UTL_count_processors();
  EXPECT_EQ(THREAD_worker_count(), cpus);
  EXPECT_NE(log().find("CPU count        : " + std::to_string(cpus) + "\n"), std::string::npos);

  UTL_message_queue_create(&g_gate);
  THREAD_call* call = THREAD_run_async(wait_for_gate, msg(99));
  auto t0 = clk::now();
  EXPECT_EQ(THREAD_is_done(call, 0), 0);  // still waiting on the gate
  EXPECT_LT(ms_since(t0), 500);           // never waits for the call
  EXPECT_EQ(THREAD_is_done(call, 30), 0);
  UTL_message_queue_write(g_gate, nullptr);
  EXPECT_EQ(THREAD_is_done(call, -1), 1);
  EXPECT_EQ(THREAD_cleanup(call), msg(100));

  // The record is recycled for the next call.
  UTL_message_queue_write(g_gate, nullptr);
  THREAD_call* again = THREAD_run_async(wait_for_gate, msg(1));
  EXPECT_EQ(again, call);
  EXPECT_EQ(THREAD_is_done(again, 2000), 1);
  EXPECT_EQ(THREAD_cleanup(again), msg(2));

  THREAD_shutdown();
  EXPECT_EQ(THREAD_worker_count(), 0);
  EXPECT_FALSE(THREAD_is_inited());
  EXPECT_NE(log().find("Clean exit from threads.\n"), std::string::npos);
  UTL_message_queue_destroy(g_gate);
}

TEST_F(ThreadLayer, CookiesStepByFourAndSkipZeroWhenTheyWrap) {
  THREAD_init();
  THREAD_make_workers();
  auto cookie_of_next_call = [] {
    THREAD_call* c = THREAD_run_async([](void*) -> void* { return nullptr; }, nullptr);
    unsigned cookie = c->cookie;
    EXPECT_EQ(THREAD_is_done(c, 2000), 1);
    THREAD_cleanup(c);
    return cookie;
  };
  next_cookie = 0;
  EXPECT_EQ(cookie_of_next_call(), 4u);
  EXPECT_EQ(cookie_of_next_call(), 8u);
  next_cookie = 0xFFFFFFF8u;
  EXPECT_EQ(cookie_of_next_call(), 0xFFFFFFFCu);
  EXPECT_EQ(cookie_of_next_call(), 4u);
  EXPECT_EQ(cookie_of_next_call(), 8u);
}

TEST_F(ThreadLayer, CleanupOfCallNeverSeenDoneIsFatal) {
  const std::string child_log = death_dir("cleanup-death") + "child.txt";
  EXPECT_EXIT(
      {
        isolate_home(dir);
        xer.close();
        xer.open(child_log);
        THREAD_init();
        THREAD_make_workers();
        std::atomic<bool> ran{false};
        THREAD_call* c = THREAD_run_async(
            [](void* a) -> void* {
              static_cast<std::atomic<bool>*>(a)->store(true);
              return nullptr;
            },
            &ran);
        while (!ran.load()) UTL_sleep(1);
        UTL_sleep(10);  // the worker has finished; only the reply is unread
        THREAD_cleanup(c);
        _exit(7);  // not reached
      },
      testing::ExitedWithCode(1), "");
  EXPECT_NE(read_file(child_log).find("Thread cleanup called on not-done call.\n"),
            std::string::npos);
}

TEST(TsanThreads, PoolServesCallsFromSeveralThreads) {
  THREAD_init();
  THREAD_make_workers();
  std::vector<std::thread> callers;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        uintptr_t in = t * 1000 + i;
        THREAD_call* c =
            THREAD_run_async([](void* a) -> void* { return static_cast<char*>(a) + 3; }, msg(in));
        if (THREAD_is_done(c, 5000) != 1 || THREAD_cleanup(c) != msg(in + 3)) wrong.fetch_add(1);
      }
    });
  }
  for (auto& c : callers) c.join();
  EXPECT_EQ(wrong.load(), 0);
  THREAD_shutdown();
}

// [SECTION] Work taken back in order

namespace {

// Job 0 ends only once its gate opens, which the test opens after every
// other job has ended: the workers end them out of the order they were
// handed over in.
struct gated_job {
  int index = 0;
  std::atomic<int>* ended = nullptr;
  std::atomic<bool>* gate = nullptr;
  std::thread::id ran_on;
  int result = -1;
  void run() {
    ran_on = std::this_thread::get_id();
    if (gate) {
      const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!gate->load() && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    result = index * index;
    ended->fetch_add(1);
  }
  void failed(const std::string&) {}
};

// A job that throws (a standard exception or anything else), or meets the
// other workers: each of n such jobs waits until all n run at once.
struct throwing_job {
  enum kind { plain, throws_standard, throws_other, meets };
  kind what = plain;
  std::atomic<bool>* gate = nullptr;  // held until it opens, when given
  std::atomic<int>* met = nullptr;    // for `meets`
  int meeting = 0;                    // how many meet
  bool ran_to_end = false;
  std::string failure;
  void run() {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (gate && !gate->load() && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (what == throws_standard) throw std::runtime_error("the disk is on fire");
    if (what == throws_other) throw 7;
    if (what == meets) {
      met->fetch_add(1);
      while (met->load() < meeting && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (met->load() < meeting) return;
    }
    ran_to_end = true;
  }
  void failed(const std::string& what_failed) { failure = what_failed; }
};

bool readable(int fd, int ms) {
  pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, ms) == 1;
}

}  // namespace

TEST_F(ThreadLayer, TsanOrderedJobsComeBackInHandOverOrderWhicheverWorkerEndsFirst) {
  THREAD_init();
  THREAD_make_workers();
  ASSERT_GE(THREAD_worker_count(), 2) << "one worker cannot end them out of order";
  std::atomic<int> ended{0};
  std::atomic<bool> gate{false};
  const int count = 12;
  std::vector<int> taken;
  {
    THREAD_ordered_jobs<gated_job> jobs;
    for (int i = 0; i < count; ++i) {
      auto job = std::make_unique<gated_job>();
      job->index = i;
      job->ended = &ended;
      job->gate = i == 0 ? &gate : nullptr;
      jobs.submit(std::move(job));
    }
    // Every job but the first ends, and each end is told: none can be taken.
    while (ended.load() < count - 1) ASSERT_TRUE(readable(jobs.ended_fd(), 20000));
    jobs.drain();
    EXPECT_EQ(jobs.front_done(), nullptr);
    EXPECT_EQ(jobs.size(), size_t(count));
    gate = true;
    // The first one's end wakes the waiter; then all come back, in order.
    while (taken.size() < size_t(count)) {
      if (!jobs.front_done()) {
        ASSERT_TRUE(readable(jobs.ended_fd(), 20000));
        jobs.drain();
        continue;
      }
      std::unique_ptr<gated_job> job = jobs.pop();
      EXPECT_NE(job->ran_on, std::this_thread::get_id());
      EXPECT_EQ(job->result, job->index * job->index);
      taken.push_back(job->index);
    }
    EXPECT_TRUE(jobs.empty());
  }
  std::vector<int> in_order(count);
  for (int i = 0; i < count; ++i) in_order[i] = i;
  EXPECT_EQ(taken, in_order);
  THREAD_shutdown();
}

TEST_F(ThreadLayer, OrderedJobsRunAtOnceWithoutWorkersAndWaitForTheRestWhenDropped) {
  std::atomic<int> ended{0};
  {
    THREAD_ordered_jobs<gated_job> jobs;
    auto job = std::make_unique<gated_job>();
    job->index = 3;
    job->ended = &ended;
    jobs.submit(std::move(job));
    ASSERT_NE(jobs.front_done(), nullptr);
    EXPECT_EQ(jobs.front_done()->ran_on, std::this_thread::get_id());
    EXPECT_EQ(jobs.pop()->result, 9);
  }
  // Dropped with jobs out: it returns only once they have run.
  THREAD_init();
  THREAD_make_workers();
  ended = 0;
  std::atomic<bool> late{false};
  std::thread opener;
  {
    THREAD_ordered_jobs<gated_job> jobs;
    for (int i = 0; i < 2; ++i) {
      auto job = std::make_unique<gated_job>();
      job->index = i;
      job->ended = &ended;
      job->gate = i == 0 ? &late : nullptr;
      jobs.submit(std::move(job));
    }
    // The first ends a moment after the jobs are dropped.
    opener = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      late = true;
    });
  }
  EXPECT_EQ(ended.load(), 2);
  opener.join();
  THREAD_shutdown();
}

// A job that throws comes back in its turn with what it threw as its
// failure, whether it ends before or after the jobs behind it, on a worker
// or on the handing thread; no worker is lost and nothing is reported as a
// fatal error of the thread.
TEST_F(ThreadLayer, TsanAJobThatThrowsComesBackWithItsFailureAndTheWorkerStays) {
  THREAD_init();
  THREAD_make_workers();
  const int workers = THREAD_worker_count();
  ASSERT_GE(workers, 1);
  using jobs_t = THREAD_ordered_jobs<throwing_job>;
  // Takes every job back within the deadline; the jobs are left (not
  // waited for) when one never comes back.
  auto take_all = [](std::unique_ptr<jobs_t>& jobs, size_t count) {
    std::vector<std::unique_ptr<throwing_job>> taken;
    const auto deadline = clk::now() + std::chrono::seconds(20);
    while (taken.size() < count && clk::now() < deadline) {
      if (jobs->front_done())
        taken.push_back(jobs->pop());
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (taken.size() < count) (void)jobs.release();
    return taken;
  };
  for (const bool throwers_last : {false, true}) {
    SCOPED_TRACE(throwers_last ? "the throwing jobs end last" : "as the workers go");
    std::atomic<bool> gate{!throwers_last};
    const throwing_job::kind kinds[] = {throwing_job::throws_standard, throwing_job::plain,
                                        throwing_job::throws_other, throwing_job::plain};
    auto jobs = std::make_unique<jobs_t>();
    const size_t count = 3 * size_t(workers) + 4;
    for (size_t i = 0; i < count; ++i) {
      auto job = std::make_unique<throwing_job>();
      job->what = kinds[i % 4];
      if (job->what != throwing_job::plain) job->gate = &gate;
      // Every fifth on the handing thread, which must not be held.
      const bool here = i % 5 == 4 && job->what == throwing_job::plain;
      jobs->submit(std::move(job), here);
    }
    gate = true;
    std::vector<std::unique_ptr<throwing_job>> taken = take_all(jobs, count);
    ASSERT_EQ(taken.size(), count) << "a job that threw never came back";
    for (size_t i = 0; i < count; ++i) {
      const throwing_job& job = *taken[i];
      EXPECT_EQ(job.what, kinds[i % 4]) << i;  // in the order handed over
      EXPECT_EQ(job.ran_to_end, job.what == throwing_job::plain) << i;
      EXPECT_EQ(job.failure, job.what == throwing_job::throws_standard ? "the disk is on fire"
                             : job.what == throwing_job::throws_other  ? "an unknown exception"
                                                                       : "")
          << i;
    }
    // Every worker still takes calls: as many jobs as workers all run at once.
    std::atomic<int> met{0};
    for (int i = 0; i < workers; ++i) {
      auto job = std::make_unique<throwing_job>();
      job->what = throwing_job::meets;
      job->met = &met;
      job->meeting = workers;
      jobs->submit(std::move(job));
    }
    taken = take_all(jobs, size_t(workers));
    ASSERT_EQ(taken.size(), size_t(workers));
    for (const auto& job : taken) EXPECT_TRUE(job->ran_to_end) << "a worker was lost";
  }
  EXPECT_EQ(log().find("Caught an unhandled"), std::string::npos) << log();
  THREAD_shutdown();
}
