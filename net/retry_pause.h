// Growing pauses between the attempts of a fetch that keeps failing, so that a
// machine without a network does not look a host name up (a blocking call)
// on every frame: the one retry policy of the fetches, the streams and the
// about box.
#pragma once

#include <algorithm>

// The ceiling of the pauses, in seconds.
inline constexpr float kLongestRetryPause = 30.0f;

class net_retry_pause {
 public:
  // Whether the next attempt may start at clock time now (seconds).
  bool ready(float now) const { return now >= resume_at_; }
  // A failed attempt at clock time now: the next waits 1 s after the first
  // failure, doubling with each further one up to the ceiling.
  void failed(float now) {
    const int doublings = std::min(failures_, 20);
    ++failures_;
    resume_at_ = now + std::min(kLongestRetryPause, static_cast<float>(1 << doublings));
  }
  // A success: the next failure starts over at 1 s.
  void reset() {
    failures_ = 0;
    resume_at_ = 0.0f;
  }
  int failures() const { return failures_; }
  float resume_at() const { return resume_at_; }

 private:
  int failures_ = 0;
  float resume_at_ = 0.0f;
};
