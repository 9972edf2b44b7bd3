// A private X display for tests that drive real windows: an Xvfb server on
// a display number it picks itself, so parallel tests never race for one.
#pragma once

#include <sys/types.h>

#include <string>

namespace testing_support {

// Whether a program of that name is on PATH.
bool on_path(const std::string& tool);
void pause_ms(int ms);
// Ends a process (or its whole group) with the signal and reaps it; a no-op
// for 0, and pid is 0 afterwards.
void stop_process(pid_t& pid, int sig, bool group);

class XvfbDisplay {
 public:
  XvfbDisplay() = default;
  ~XvfbDisplay() { stop(); }
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // Starts the server with one screen ("1280x1024x24") and returns once a
  // client really gets through; "" then, else why not.
  std::string start(const std::string& screen);
  void stop();
  // ":N"
  const std::string& name() const { return name_; }
  // A shell command run against this display (at most 10 s, standard error
  // dropped); its standard output.
  std::string run(const std::string& command, int* status = nullptr) const;

 private:
  pid_t pid_ = 0;
  std::string name_;
};

}  // namespace testing_support
