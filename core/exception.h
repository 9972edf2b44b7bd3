// The error record: four message lines, where it was raised and how bad it
// is. Any thread may throw or build one; only the main thread shows it, so
// other threads pass a copy to the main thread through two queues.
#pragma once

#include <string>

struct UTL_message_queue;

class exce_class {
 public:
  exce_class();
  exce_class(std::string m1, std::string m2, std::string m3, std::string m4, const char* file,
             int line, int severity);
  exce_class(const exce_class& other);
  exce_class& operator=(const exce_class& other);
  virtual ~exce_class();

  void MakeFatal();
  // On the main thread (or before the thread layer is up): the alert of type
  // `severity`. On any other thread: logged and queued for the main thread.
  void Report();
  void LogAndContinue();

  std::string msg1, msg2, msg3, msg4;
  const char* file;  // static text of the raising source file; never freed
  int line;
  int severity;  // 1 warning, 2 fatal; 0 a note that never crosses threads
};

// Records waiting for the main thread: warnings and fatal ones. Made by
// THREAD_init, destroyed by THREAD_shutdown.
extern UTL_message_queue* warn_exce;
extern UTL_message_queue* quit_exce;

// Queues a copy for the main thread. A fatal record sent from any thread but
// the main thread ends the calling thread here.
void THREAD_send_exception(const exce_class& record);
// Reports and frees every queued fatal record and, when warnings is non-zero,
// every queued warning, oldest first.
void THREAD_check_exception(int warnings);
