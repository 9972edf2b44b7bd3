// The error record and its two queues to the main thread, which reports
// them at the start of a frame, fatal ones first.
#include "core/exception.h"

#include <memory>
#include <utility>

#include "core/alert.h"
#include "core/globals.h"
#include "core/threads/locks.h"
#include "core/threads/threads.h"

UTL_message_queue* warn_exce = nullptr;
UTL_message_queue* quit_exce = nullptr;

exce_class::exce_class() : file("no exception"), line(0), severity(2) {}

exce_class::exce_class(std::string m1, std::string m2, std::string m3, std::string m4,
                       const char* f, int l, int s)
    : msg1(std::move(m1)),
      msg2(std::move(m2)),
      msg3(std::move(m3)),
      msg4(std::move(m4)),
      file(f),
      line(l),
      severity(s) {}

exce_class::exce_class(const exce_class& other) = default;

exce_class& exce_class::operator=(const exce_class& other) = default;

exce_class::~exce_class() = default;

void exce_class::MakeFatal() { severity = 2; }

void exce_class::Report() {
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    xer << "EXCEPTION REPORTED FROM THREAD!!  File: " << file << ", line " << line << ".\n"
        << msg1 << "\n"
        << msg2 << "\n"
        << msg3 << "\n"
        << msg4 << "\n";
    xer.flush();
    // The shut-down tears down the thread layer and joins the workers, which
    // only the main thread may do: hand the record over instead. A fatal one
    // ends this thread inside the send.
    THREAD_send_exception(*this);
    return;
  }
  __MACIBM_alert(wind_main, msg1.c_str(), msg2.c_str(), msg3.c_str(), msg4.c_str(), severity, file,
                 line);
}

void exce_class::LogAndContinue() {
  xer << "Logging " << (severity >= 2 ? "fatal" : "non-fatal")
      << " Exception thrown from file: " << file << ", line " << line << ".\n"
      << msg1 << "\n"
      << msg2 << "\n"
      << msg3 << "\n"
      << msg4 << "\n";
  xer.flush();
}

void THREAD_send_exception(const exce_class& record) {
  if (record.severity == 1) {
    if (warn_exce) UTL_message_queue_write(warn_exce, new exce_class(record));
    return;
  }
  if (record.severity != 2) return;
  if (quit_exce) UTL_message_queue_write(quit_exce, new exce_class(record));
  if (THREAD_is_main_thread()) return;
  UTL_thread_exit(nullptr);
}

static void report_queue(UTL_message_queue* queue) {
  while (void* m = UTL_message_queue_read(queue, 0)) {
    // Owned here so that a Report() that ends this thread still frees it.
    std::unique_ptr<exce_class> record(static_cast<exce_class*>(m));
    record->Report();
  }
}

void THREAD_check_exception(int warnings) {
  if (!quit_exce || !warn_exce) return;
  report_queue(quit_exce);
  if (!warnings) return;
  report_queue(warn_exce);
}
