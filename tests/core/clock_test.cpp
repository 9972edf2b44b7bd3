// The frame clock driven by a set time: period smoothing, once-every flags,
// mouse timing words, pulsing colours and the calendar helpers. Each test
// starts from a fresh clock and window block.
//
// Contents
//   [SECTION] Helpers and the fixture
//   [SECTION] The frame period
//   [SECTION] Once-every flags and mouse timing
//   [SECTION] Pulsing colours and the profile chart
//   [SECTION] The real clock, the calendar and start values
#include "core/clock.h"

#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/globals.h"
#include "core/hooks.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// [SECTION] Helpers and the fixture

const float kMaxPeriod = 0.05263158f;

// What the clock handed to its hooks: the presses and the last pulse level
// (the shell passes them on to the widgets' focus and the colour table).
int g_presses = 0;
float g_pulse = -1.0f;

class Clock : public ::testing::Test {
 protected:
  void SetUp() override {
    xtim_class::xtim_reset();
    mnw = mnw_block();
    g_presses = 0;
    g_pulse = -1.0f;
    g_core_hooks.mouse_pressed = [] { ++g_presses; };
    g_core_hooks.pulse = [](float level) { g_pulse = level; };
  }
  void TearDown() override {
    xtim_class::xtim_reset();
    mnw = mnw_block();
    g_core_hooks = core_hooks{};
  }
};

// Frames at a fixed rate from the clock's current set time.
struct frame_driver {
  double now = 50.0;  // the monotonic clock is never at zero
  frame_driver() {
    // The frame makes the main window current before the clock runs.
    mnw.cur_window = 0;
    xtim_class::set_test_time(now);
    xtim.xtim_update();
  }
  void frame(double seconds) {
    now += seconds;
    xtim_class::set_test_time(now);
    xtim.xtim_update();
  }
  void frames(int n, double seconds) {
    for (int k = 0; k < n; ++k) frame(seconds);
  }
};

// [SECTION] The frame period

TEST_F(Clock, PeriodSettlesAtTheFrameRateAndFollowsAChangeSmoothly) {
  mnw.cur_window = 0;
  frame_driver clock;
  EXPECT_EQ(xtim.act_time, 0.0f);
  clock.frames(400, 0.02);
  EXPECT_NEAR(xtim.prd_act, 0.02f, 0.0002f);
  EXPECT_EQ(xtim.prd_sim, xtim.prd_act);  // speed 1
  EXPECT_NEAR(xtim.act_time, 8.0f, 1e-3f);

  // One frame of half a second barely moves the estimate.
  float before = xtim.prd_act;
  clock.frames(10, 0.02);
  clock.frame(0.5);
  EXPECT_LE(xtim.prd_act, before * 1.1068f);

  // Down to 10 frames per second: the estimate climbs by at most the fourth
  // root of 1.5 per step and stops at 1/19 s.
  float last = xtim.prd_act;
  for (int k = 0; k < 300; ++k) {
    clock.frame(0.1);
    EXPECT_LE(xtim.prd_act, last * 1.1068f + 1e-7f) << "frame " << k;
    EXPECT_GE(xtim.prd_act, last) << "frame " << k;
    EXPECT_GE(xtim.prd_ratio, 0.5f);
    EXPECT_LE(xtim.prd_ratio, 1.5f);
    last = xtim.prd_act;
  }
  EXPECT_EQ(xtim.prd_act, kMaxPeriod);

  // The simulation period follows the speed factor.
  xtim.sim_speed = 2.0f;
  clock.frame(0.1);
  EXPECT_FLOAT_EQ(xtim.prd_sim, 2.0f * xtim.prd_act);
  EXPECT_FLOAT_EQ(xtim.prd_flt, 2.0f * xtim.prd_act);
  xtim.sim_speed = 0.0f;
  clock.frame(0.1);
  EXPECT_EQ(xtim.prd_flt, 0.0f);
  EXPECT_EQ(xtim.prd_sim, xtim.prd_act);
}

TEST_F(Clock, FastFramesStopAtTheLowerBound) {
  frame_driver clock;
  clock.frames(2000, 0.0002);
  EXPECT_FLOAT_EQ(xtim.prd_act, 0.0010000999f);
}

TEST_F(Clock, QuestionWindowsLeaveThePeriodAndRestartTheMainMeasurement) {
  mnw.cur_window = 0;
  frame_driver clock;  // update 0 measures; updates 10, 20, ... measure again
  clock.frames(290, 0.02);
  float settled = xtim.prd_act;
  ASSERT_NEAR(settled, 0.02f, 0.0003f);

  // Five slow seconds behind the keep/overwrite question.
  mnw.cur_window = 997;
  for (int k = 0; k < 10; ++k) {
    clock.frame(0.5);
    EXPECT_EQ(xtim.prd_act, settled);
    EXPECT_EQ(xtim.prd_sim, settled);
  }

  // Back in the main window the next measurement spans only its own ten
  // frames; measured from before the question it would jump by 1.5^0.25.
  mnw.cur_window = 0;
  clock.frames(10, 0.02);
  EXPECT_NEAR(xtim.prd_act, settled, settled * 0.01f);
}

TEST_F(Clock, OtherModalWindowsKeepAPeriodOfTheirOwn) {
  mnw.cur_window = 0;
  frame_driver clock;
  clock.frames(300, 0.02);
  float main_period = xtim.prd_act;

  mnw.cur_window = 2;  // the preferences window
  clock.frames(300, 0.1);
  EXPECT_EQ(xtim.prd_act, kMaxPeriod);
  EXPECT_EQ(xtim.prd_flt, kMaxPeriod);

  // A second monitor in use keeps the main window's regime.
  mnw.sec_mon_inuse = 1;
  clock.frame(0.02);
  EXPECT_NEAR(xtim.prd_act, main_period, main_period * 0.02f);
  mnw.sec_mon_inuse = 0;
  clock.frames(100, 0.1);
  EXPECT_EQ(xtim.prd_act, kMaxPeriod);

  mnw.cur_window = 0;
  clock.frame(0.02);
  EXPECT_NEAR(xtim.prd_act, main_period, main_period * 0.02f);
}

TEST_F(Clock, SpeedModesSignThePeriod) {
  struct Case {
    int mode;
    float factor;
  };
  const Case cases[] = {{2, -5.0f}, {3, -1.0f}, {4, -0.2f}, {5, 0.0f}, {6, 0.2f}, {8, 5.0f}};
  frame_driver clock;
  for (const Case& c : cases) {
    mnw.speed_mode = c.mode;
    clock.frame(0.02);
    EXPECT_FLOAT_EQ(xtim.prd_flt, c.factor * xtim.prd_act) << "mode " << c.mode;
    EXPECT_EQ(xtim.prd_sim, xtim.prd_act);
  }
  mnw.speed_mode = 7;  // unknown modes leave the plain period
  clock.frame(0.02);
  EXPECT_EQ(xtim.prd_flt, xtim.prd_act);
  mnw.speed_mode = 0;
}

// [SECTION] Once-every flags and mouse timing

// Each flag is 1 for exactly the update in which more than its interval has
// passed since it last fired, on real and on simulation time alike.
TEST_F(Clock, OnceEveryFlagsFireOncePerInterval) {
  const float intervals[9] = {10, 5, 2, 1, 0.5f, 0.2f, 0.1f, 0.05f, 0.025f};
  const double step = 0.01;
  frame_driver clock;
  std::vector<float> act_fired[9], sim_fired[9];
  for (int k = 1; k <= 2500; ++k) {
    xtim.sim_time = static_cast<float>(k * step * 3.0);  // simulation runs three times as fast
    clock.frame(step);
    for (int f = 0; f < 9; ++f) {
      if (xtim.act_once[f]) act_fired[f].push_back(xtim.act_time);
      if (xtim.sim_once[f]) sim_fired[f].push_back(xtim.sim_time);
    }
  }
  for (int f = 0; f < 9; ++f) {
    SCOPED_TRACE(intervals[f]);
    struct {
      const std::vector<float>* fired;
      double frame_step;
    } sets[] = {{&act_fired[f], step}, {&sim_fired[f], 3 * step}};
    for (auto& set : sets) {
      const std::vector<float>& times = *set.fired;
      ASSERT_GE(times.size(), 2u);
      float prev = 0.0f;
      for (float t : times) {
        EXPECT_GT(t - prev, intervals[f] - 1e-4f);
        EXPECT_LE(t - prev, intervals[f] + set.frame_step + 1e-3);
        prev = t;
      }
    }
  }
  // The one-second flag: fired on one update, clear on the next.
  while (!xtim.act_once[3]) clock.frame(step);
  clock.frame(step);
  EXPECT_EQ(xtim.act_once[3], 0);
}

TEST_F(Clock, MouseTimingWords) {
  frame_driver clock;
  clock.frame(2.0);
  auto press = [&](double after) {
    mnw.mouse_down = 1;
    clock.frame(after);
    mnw.mouse_down = 0;
  };
  auto release = [&](double after) {
    mnw.mouse_up = 1;
    clock.frame(after);
    mnw.mouse_up = 0;
  };

  press(0.0);
  EXPECT_EQ(mnw.mouse_held, 1);
  EXPECT_EQ(mnw.mouse_double, 0);
  EXPECT_EQ(g_presses, 1) << "a press takes the keyboard focus";
  EXPECT_EQ(mnw.mouse_down_time, xtim.act_time);
  EXPECT_EQ(mnw.mouse_move_time, xtim.act_time);

  release(0.2);
  EXPECT_EQ(mnw.mouse_click_up, 1);
  EXPECT_EQ(mnw.mouse_held, 0);
  EXPECT_EQ(g_presses, 1) << "a release is no press";

  press(0.0);  // 0.2 s after the previous press
  EXPECT_EQ(mnw.mouse_double, 1);
  clock.frame(0.1);
  EXPECT_EQ(mnw.mouse_double, 0) << "per-frame word";
  EXPECT_EQ(mnw.mouse_long_hold, 0);
  clock.frame(0.2);
  EXPECT_EQ(mnw.mouse_long_hold, 1) << "held for 0.3 s";
  release(0.0);
  EXPECT_EQ(mnw.mouse_click_up, 0) << "slow release";
  EXPECT_EQ(mnw.mouse_long_hold, 0);
  EXPECT_EQ(mnw.mouse_held, 0);

  press(0.3);
  EXPECT_EQ(mnw.mouse_double, 0) << "0.3 s apart";

  // Moves of more than half a unit count as activity.
  float since = mnw.mouse_move_time;
  mnw.mouse_x += 0.4f;
  clock.frame(1.0);
  EXPECT_EQ(mnw.mouse_move_time, since);
  mnw.mouse_y -= 0.6f;
  clock.frame(1.0);
  EXPECT_EQ(mnw.mouse_move_time, xtim.act_time);
}

// [SECTION] Pulsing colours and the profile chart

TEST_F(Clock, PulsingColours) {
  frame_driver clock;
  float lo = 2.0f, hi = 0.0f;
  for (int k = 0; k < 400; ++k) {
    clock.frame(0.001);
    lo = std::min(lo, g_pulse);
    hi = std::max(hi, g_pulse);
  }
  EXPECT_NEAR(lo, 0.4f, 1e-3f);
  EXPECT_NEAR(hi, 1.0f, 1e-3f);

  // Each frame hands on the level of its own time.
  clock.frame(0.0123);
  EXPECT_FLOAT_EQ(g_pulse, std::sin(20.0f * xtim.act_time) * 0.3f + 0.7f);
}

TEST_F(Clock, DelTimeAndProfileChart) {
  xtim_class::set_test_time(10.0);
  uint64_t mine = xtim_class::microsecs();
  EXPECT_EQ(mine, 0u);
  xtim_class::set_test_time(10.25);
  EXPECT_EQ(xtim_class::del_time(&mine), 250000);
  EXPECT_EQ(mine, 250000u);
  EXPECT_EQ(xtim_class::del_time(&mine), 0);

  std::string log = make_temp_dir("clock-profile") + "Log.txt";
  xer.open(log, std::ios::out | std::ios::trunc);
  mnw.profiling = 0;
  xtim_class::profile_chart("idle", 1);  // not profiling: nothing at all
  mnw.profiling = 1;
  mnw.cur_window = 2;
  xtim_class::del_time(nullptr);
  xtim_class::set_test_time(10.262346);
  xtim_class::profile_chart("events", 0);
  xtim_class::set_test_time(10.75);
  xtim_class::profile_chart("app", 1);
  xtim_class::set_test_time(11.0);
  xtim_class::profile_chart("x", 1);
  xer.close();
  mnw.profiling = 0;
  EXPECT_EQ(read_file(log),
            "events=  1235 | "
            "app= 48765 |    total: 0.488 sec for topwi=2\n"
            "x= 25000 |    total: 0.250 sec for topwi=2\n");
}

// [SECTION] The real clock, the calendar and start values

TEST_F(Clock, RealClockCountsMicrosecondsAndHandsOverToTheTestClock) {
  uint64_t first = xtim_class::microsecs();
  usleep(20000);
  uint64_t later = xtim_class::microsecs();
  EXPECT_GE(later - first, 20000u);
  EXPECT_LT(later - first, 2000000u);

  xtim_class::set_test_time(5.0);
  uint64_t handed = xtim_class::microsecs();
  EXPECT_GE(handed, later);
  EXPECT_LT(handed - later, 2000000u);
  xtim_class::set_test_time(5.5);
  EXPECT_EQ(xtim_class::microsecs() - handed, 500000u);
}

TEST_F(Clock, CalendarHelpers) {
  struct Day {
    int day_of_year, month, day;
  };
  const Day days[] = {{0, 0, 1},  {30, 0, 31}, {31, 1, 1},    {58, 1, 28},
                      {59, 2, 1}, {90, 3, 1},  {333, 10, 30}, {364, 11, 31}};
  for (const Day& d : days) {
    xtim_class t;
    t.day_of_year = d.day_of_year;
    int month = -1, day = -1;
    t.current_month_day(&month, &day);
    EXPECT_EQ(month, d.month) << d.day_of_year;
    EXPECT_EQ(day, d.day) << d.day_of_year;
  }
  EXPECT_EQ(xtim.day_of_year, 90);

  struct Split {
    float t, h, m, s;
  };
  const Split splits[] = {{3725.9f, 1, 2, 5},
                          {59.99f, 0, 0, 59},
                          {7200.0f, 2, 0, 0},
                          {86399.0f, 23, 59, 59},
                          {0.0f, 0, 0, 0}};
  for (const Split& c : splits) {
    float h = -1, m = -1, s = -1;
    xtim_class::xtim_hrs_min_sec(c.t, &h, &m, &s);
    EXPECT_EQ(h, c.h) << c.t;
    EXPECT_EQ(m, c.m) << c.t;
    EXPECT_EQ(s, c.s) << c.t;
  }
}

TEST_F(Clock, StartValues) {
  xtim_class t;
  EXPECT_EQ(t.first_frame, 1);
  EXPECT_EQ(t.sim_speed, 1.0f);
  EXPECT_EQ(t.prd_act, 0.02f);
  EXPECT_EQ(t.prd_sim, 0.02f);
  EXPECT_EQ(t.prd_flt, 0.0f);
  EXPECT_EQ(t.prd_ratio, 1.0f);
  EXPECT_EQ(t.time_of_day_a, 43200.0f);
  EXPECT_EQ(t.time_of_day_b, 43200.0f);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(t.act_once[k] + t.sim_once[k], 0);
}

}  // namespace
