// Error records and their passage from other threads to the main thread.
#include "core/exception.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "core/threads/locks.h"
#include "core/threads/threads.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// Takes every record out of a queue without reporting it.
std::vector<exce_class> drain(UTL_message_queue* q) {
  std::vector<exce_class> out;
  while (void* m = UTL_message_queue_read(q, 0)) {
    out.push_back(*static_cast<exce_class*>(m));
    delete static_cast<exce_class*>(m);
  }
  return out;
}

void run_thread(UTL_thread_func fn, void* arg) {
  UTL_thread t, id, join;
  THREAD_create(fn, arg, &t, &id, &join, 0);
  UTL_thread_join(t, join);
}

}  // namespace

class ErrorRecords : public TempFolderTest {
 protected:
  ErrorRecords() : TempFolderTest("exce", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    THREAD_init();
  }
  void TearDown() override {
    THREAD_shutdown();
    TempFolderTest::TearDown();
  }
};

TEST(ErrorRecord, ConstructionAndCopy) {
  exce_class d;
  EXPECT_STREQ(d.file, "no exception");
  EXPECT_EQ(d.line, 0);
  EXPECT_EQ(d.severity, 2);
  EXPECT_TRUE(d.msg1.empty() && d.msg2.empty() && d.msg3.empty() && d.msg4.empty());

  static const char kFile[] = "here.cpp";
  exce_class r("a", "b", "c", "d", kFile, 12, 1);
  exce_class copy(r);
  EXPECT_EQ(copy.file, kFile);  // the pointer, not a copy of the text
  d = r;
  EXPECT_EQ(d.msg1 + d.msg2 + d.msg3 + d.msg4, "abcd");
  EXPECT_EQ(d.line, 12);
  EXPECT_EQ(d.severity, 1);
  d.MakeFatal();
  EXPECT_EQ(d.severity, 2);
}

TEST_F(ErrorRecords, LogAndContinueNamesTheSeverity) {
  struct Case {
    int severity;
    const char* word;
  } cases[] = {
      {1, "Logging non-fatal Exception"}, {2, "Logging fatal Exception"}, {0, "Logging non-fatal"}};
  for (const Case& c : cases) {
    exce_class("one", "two", "three", "four", "x.cpp", 7, c.severity).LogAndContinue();
    std::string text = log();
    EXPECT_NE(text.find(c.word), std::string::npos) << c.severity;
    EXPECT_NE(text.find(" thrown from file: x.cpp, line 7.\none\ntwo\nthree\nfour\n"),
              std::string::npos);
    xer.close();
    xer.open(dir + "Log.txt", std::ios::out | std::ios::trunc);
  }
}

namespace {

std::atomic<int> g_progress{0};
std::atomic<bool> g_unwound{false};

struct UnwindSentinel {
  ~UnwindSentinel() { g_unwound = true; }
};

void* alert_every_severity(void*) {
  UnwindSentinel sentinel;
  MACIBM_alert(0, "note", "", "", "", t_note);
  g_progress = 1;
  MACIBM_alert(0, "warning 1", "w2", "w3", "w4", t_alert);
  g_progress = 2;
  MACIBM_alert(0, "fatal 1", "f2", "", "", t_exit);
  g_progress = 3;  // never reached: the sender ends inside the send
  return nullptr;
}

}  // namespace

TEST_F(ErrorRecords, WorkerAlertsBecomeQueuedRecordsAndFatalEndsTheSender) {
  run_thread(alert_every_severity, nullptr);
  EXPECT_EQ(g_progress.load(), 2);
  EXPECT_TRUE(g_unwound.load()) << "the thread's stack was not unwound on exit";
  EXPECT_EQ(app_done, 0);  // nothing was shown or shut down off the main thread

  std::vector<exce_class> fatal = drain(quit_exce), warnings = drain(warn_exce);
  ASSERT_EQ(fatal.size(), 1u);
  ASSERT_EQ(warnings.size(), 1u);  // the note left no trace
  EXPECT_EQ(fatal[0].msg1, "fatal 1");
  EXPECT_EQ(fatal[0].severity, 2);
  EXPECT_EQ(warnings[0].msg1 + warnings[0].msg2 + warnings[0].msg3 + warnings[0].msg4,
            "warning 1w2w3w4");
  EXPECT_EQ(warnings[0].severity, 1);
  EXPECT_NE(std::string(warnings[0].file).find("exception_test.cpp"), std::string::npos);
}

namespace {

void* throw_int(void*) { throw 42; }
void* throw_std(void*) { throw std::runtime_error("disk on fire"); }
void* throw_record(void*) { throw exce_class("own", "record", "", "", "mine.cpp", 5, 1); }

}  // namespace

TEST_F(ErrorRecords, EscapingExceptionsBecomeFatalRecords) {
  struct Case {
    UTL_thread_func fn;
    const char* msg1;
    const char* msg2;
    int line;
  } cases[] = {
      {throw_int, "Caught an unhandled unknown exception", "", 304},
      {throw_std, "Caught an unhandled C++ exception", "disk on fire", 302},
      {throw_record, "own", "record", 5},
  };
  for (const Case& c : cases) {
    run_thread(c.fn, nullptr);
    std::vector<exce_class> fatal = drain(quit_exce);
    ASSERT_EQ(fatal.size(), 1u) << c.msg1;
    EXPECT_EQ(fatal[0].msg1, c.msg1);
    EXPECT_EQ(fatal[0].msg2, c.msg2);
    EXPECT_EQ(fatal[0].line, c.line);
    EXPECT_EQ(fatal[0].severity, 2);  // a thrown warning is made fatal
    EXPECT_TRUE(drain(warn_exce).empty());
  }
}

TEST_F(ErrorRecords, MainThreadSendQueuesAndReturns) {
  THREAD_send_exception(exce_class("from main", "", "", "", __FILE__, __LINE__, 2));
  THREAD_send_exception(exce_class("w", "", "", "", __FILE__, __LINE__, 1));
  THREAD_send_exception(exce_class("note", "", "", "", __FILE__, __LINE__, 0));
  EXPECT_EQ(drain(quit_exce).size(), 1u);
  EXPECT_EQ(drain(warn_exce).size(), 1u);
}

TEST_F(ErrorRecords, WarningsWaitForAFlaggedCheckThenShowAsAlerts) {
  std::thread([] {
    MACIBM_alert(0, "first warning", "", "", "", t_alert);
    MACIBM_alert(0, "second warning", "", "", "", t_alert);
  }).join();
  THREAD_check_exception(0);
  EXPECT_EQ(log().find("first warning"), std::string::npos);
  THREAD_check_exception(1);
  // Alerts of type 1 are logged as they are shown.
  std::string shown = log();
  size_t first = shown.find("first warning\n"), second = shown.find("second warning\n");
  ASSERT_NE(first, std::string::npos) << "queued warnings were lost by the unflagged check";
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);  // oldest first
  EXPECT_EQ(drain(warn_exce).size(), 0u);
}

TEST_F(ErrorRecords, ReportOffTheMainThreadHandsTheRecordOver) {
  std::thread([] { exce_class("late", "", "", "", "w.cpp", 9, 1).Report(); }).join();
  EXPECT_EQ(app_done, 0);
  EXPECT_TRUE(xer.is_open());
  EXPECT_NE(log().find("EXCEPTION REPORTED FROM THREAD!!  File: w.cpp, line 9.\nlate\n"),
            std::string::npos);
  std::vector<exce_class> warnings = drain(warn_exce);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].msg1, "late");
}

// The death tests read what the alert logged: the child's log file outlives it.
TEST_F(ErrorRecords, FatalRecordIsReportedFirstAndEndsTheProgram) {
  const std::string child_log = death_dir("fatal-first") + "child.txt";
  EXPECT_EXIT(
      {
        isolate_home(dir);
        xer.close();
        xer.open(child_log);
        THREAD_make_workers();
        std::thread([] {
          MACIBM_alert(0, "warning A", "", "", "", t_alert);
          MACIBM_alert(0, "warning B", "", "", "", t_alert);
          MACIBM_alert(0, "the fatal one", "second line", "", "", t_exit);
        }).join();
        THREAD_check_exception(1);
        _exit(7);  // not reached
      },
      testing::ExitedWithCode(1), "");
  std::string text = read_file(child_log);
  EXPECT_NE(text.find("the fatal one\nsecond line\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("warning A"), std::string::npos)
      << "warnings behind a fatal record are never shown";
}

TEST(ErrorRecordDeathTest, DefaultRecordReportsAsFatalAlert) {
  std::string dir = death_dir("exce-default");
  EXPECT_EXIT(
      {
        isolate_home(dir);
        xer.open(dir + "Log.txt");
        exce_class().Report();
      },
      testing::ExitedWithCode(1), "");
  std::string text = read_file(dir + "Log.txt");
  EXPECT_NE(text.find("\n\n\n\n"), std::string::npos) << text;  // four empty lines
  EXPECT_NE(text.find("no exception line 0"), std::string::npos) << text;
}
