// The frame loop's clock: elapsed seconds, a smoothed frame period, once-every
// flags, the mouse timing words of mnw and the pulsing colours.
#pragma once

#include <cstdint>

class xtim_class {
 public:
  xtim_class();

  // Once per frame, before the application draws.
  void xtim_update();

  // Microseconds since the first call; monotonic.
  static uint64_t microsecs();
  // Microseconds since the count in *prev (the shared one when null), which
  // becomes now.
  static int del_time(uint64_t* prev);
  // One entry of the profiling trace in the log while mnw.profiling is set.
  static void profile_chart(const char* label, int total);

  // Tests drive the clock by hand: from the first call on, microsecs() reads
  // this time instead of the monotonic clock (continuing from the count
  // already reached, if any). Move it forward only.
  static void set_test_time(double seconds);
  // Back to the state before the first microsecs() call and the first update:
  // the real clock, no profile started, xtim as constructed.
  static void xtim_reset();

  void current_month_day(int* month, int* day) const;
  static void xtim_hrs_min_sec(float t, float* h, float* m, float* s);

  int first_frame;
  float sim_speed;
  float prd_act;    // smoothed real frame period, seconds
  float prd_sim;    // simulation frame period
  float prd_flt;    // signed period for the speed mode
  float prd_ratio;  // last correction ratio, 0.5 to 1.5
  int frame_count;
  float act_time;  // seconds since the first update
  float sim_time;
  float time_of_day_a;
  float time_of_day_b;
  int day_of_year;  // 0-based, no 29 February
  // Once-every flags for 10, 5, 2, 1, 0.5, 0.2, 0.1, 0.05 and 0.025 seconds:
  // 1 for exactly the update in which the interval elapsed.
  int sim_once[9];
  int act_once[9];

  static uint64_t init_call;  // count of the first microsecs() use
  static uint64_t old;        // shared by del_time(null) and profile_chart
  static double last_time;    // seconds of the previous profile total
};

extern xtim_class xtim;
