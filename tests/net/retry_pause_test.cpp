// The pauses between failed attempts: 1 s, doubling with each failure up to
// the ceiling, and back to 1 s after a success.
#include "net/retry_pause.h"

#include <gtest/gtest.h>

TEST(RetryPause, PausesDoubleUpToTheCeilingAndStartOverAfterASuccess) {
  net_retry_pause pause;
  EXPECT_TRUE(pause.ready(0.0f)) << "the first attempt never waits";
  const float expected[] = {1, 2, 4, 8, 16, kLongestRetryPause, kLongestRetryPause};
  float now = 10.0f;
  int failures = 0;
  for (float wait : expected) {
    pause.failed(now);
    EXPECT_EQ(pause.failures(), ++failures);
    EXPECT_FLOAT_EQ(pause.resume_at(), now + wait) << "after failure " << failures;
    EXPECT_FALSE(pause.ready(now + wait - 0.25f)) << "after failure " << failures;
    EXPECT_TRUE(pause.ready(now + wait)) << "after failure " << failures;
    now += wait;
  }
  // Many more failures never overflow the doubling.
  for (int i = 0; i < 100; ++i) pause.failed(now);
  EXPECT_FLOAT_EQ(pause.resume_at(), now + kLongestRetryPause);

  pause.reset();
  EXPECT_EQ(pause.failures(), 0);
  EXPECT_TRUE(pause.ready(0.0f));
  pause.failed(now);
  EXPECT_FLOAT_EQ(pause.resume_at(), now + 1.0f);
}
