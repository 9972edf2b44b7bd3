// The clock: monotonic time, the smoothed frame period, the once-every
// flags, the mouse timing words, and the pulse handed to the colour table.
#include "core/clock.h"

#include <time.h>

#include <cmath>
#include <cstdio>

#include "core/globals.h"
#include "core/hooks.h"

xtim_class xtim;

uint64_t xtim_class::init_call = 0;
uint64_t xtim_class::old = 0;
double xtim_class::last_time = 0.0;

// Where microsecs() reads its time from, and whether the profile has begun.
namespace {
struct clock_source {
  bool microsecs_started = false;
  bool test_clock = false;
  uint64_t test_micros = 0;
  bool profile_started = false;
};
clock_source g_src;
}  // namespace

static const int days_in_month[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Intervals of the once-every flags, in the order of sim_once and act_once.
static const float kOnceIntervals[9] = {10.0f, 5.0f, 2.0f, 1.0f, 0.5f, 0.2f, 0.1f, 0.05f, 0.025f};

// State that lives from frame to frame inside the update.
namespace {
struct update_state {
  bool started = false;
  float start_time = 0.0f;
  float prd_win_0 = 0.02f;  // period while the main window is current
  float prd_win_n = 0.02f;  // period while a modal window is current
  float last_time_FM = 0.0f;
  int cntr_FM = 0;
  float last_time_UI = 0.0f;
  int cntr_UI = 0;
  float sim_ot[9] = {};  // when each flag last fired
  float act_ot[9] = {};
  float mx = 999.0f, my = 999.0f;
};
update_state g_upd;
}  // namespace

xtim_class::xtim_class()
    : first_frame(1),
      sim_speed(1.0f),
      prd_act(0.02f),
      prd_sim(0.02f),
      prd_flt(0.0f),
      prd_ratio(1.0f),
      frame_count(0),
      act_time(0.0f),
      sim_time(0.0f),
      time_of_day_a(43200.0f),
      time_of_day_b(43200.0f),
      day_of_year(90),
      sim_once(),
      act_once() {}

void xtim_class::xtim_reset() {
  g_src = clock_source();
  g_upd = update_state();
  init_call = 0;
  old = 0;
  last_time = 0.0;
  xtim = xtim_class();
}

static uint64_t clock_micros() {
  if (g_src.test_clock) return g_src.test_micros;
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

void xtim_class::set_test_time(double seconds) {
  uint64_t micros = static_cast<uint64_t>(std::llround(seconds * 1e6));
  if (!g_src.test_clock && g_src.microsecs_started) {
    // Already counting on the real clock: carry on from the count reached, so
    // that microsecs() never runs backwards (unsigned wrap-around keeps the
    // differences right).
    uint64_t reached = clock_micros() - init_call;
    init_call = micros - reached;
  }
  g_src.test_clock = true;
  g_src.test_micros = micros;
}

uint64_t xtim_class::microsecs() {
  uint64_t now = clock_micros();
  if (!g_src.microsecs_started) {
    g_src.microsecs_started = true;
    init_call = now;
  }
  return now - init_call;
}

int xtim_class::del_time(uint64_t* prev) {
  uint64_t now = microsecs();
  uint64_t& stored = prev ? *prev : old;
  int d = static_cast<int>(static_cast<uint32_t>(now - stored));
  stored = now;
  return d;
}

void xtim_class::profile_chart(const char* label, int total) {
  if (!mnw.profiling) return;
  double now_s = static_cast<double>(microsecs()) / 1000000.0;
  if (!g_src.profile_started) {
    g_src.profile_started = true;
    last_time = now_s;
  }
  int d = del_time(nullptr);
  char line[256];
  snprintf(line, sizeof line, "%1s=%6.0f | ", label ? label : "", d * 0.1);
  xer << line;
  if (total) {
    snprintf(line, sizeof line, "   total: %5.3f sec for topwi=%d\n", now_s - last_time,
             mnw.cur_window);
    xer << line;
    last_time = now_s;
  }
}

// The mean period of the last ten updates against the estimate, applied as a
// fourth root so that one slow frame barely moves it.
static void measure_period(float& period, float last, float act_time, float& ratio_out) {
  float r = ((act_time - last) * 0.1f) / period;
  if (r < 0.5f) r = 0.5f;
  if (r > 1.5f) r = 1.5f;
  ratio_out = r;
  period *= std::pow(r, 0.25f);
  if (period < 0.0010000999f) period = 0.0010000999f;
  if (period > 0.05263158f) period = 0.05263158f;
}

static void update_once_flags(int* flags, float* last_fired, float time) {
  for (int k = 0; k < 9; ++k) {
    flags[k] = 0;
    if (std::fabs(time - last_fired[k]) > kOnceIntervals[k]) {
      flags[k] = 1;
      last_fired[k] = time;
    }
  }
}

void xtim_class::xtim_update() {
  update_state& u = g_upd;
  float now = static_cast<float>(static_cast<double>(microsecs()) / 1000000.0);
  if (!u.started) {
    u.started = true;
    u.start_time = now;
  }
  act_time = now - u.start_time;

  if (mnw.cur_window != 0 && mnw.sec_mon_inuse == 0) {
    u.last_time_FM = act_time;
    if (mnw.cur_window >= 995 && mnw.cur_window <= 999) {
      // The keep/overwrite question and its kin wait for the user: their
      // frames say nothing about the machine's speed.
      u.last_time_UI = act_time;
    } else {
      if (u.cntr_UI % 10 == 0) {
        measure_period(u.prd_win_n, u.last_time_UI, act_time, prd_ratio);
        u.last_time_UI = act_time;
      }
      ++u.cntr_UI;
      prd_act = prd_sim = prd_flt = u.prd_win_n;
    }
  } else {
    if (u.cntr_FM % 10 == 0) {
      measure_period(u.prd_win_0, u.last_time_FM, act_time, prd_ratio);
      u.last_time_FM = act_time;
    }
    ++u.cntr_FM;
    float p = u.prd_win_0;
    prd_act = prd_sim = prd_flt = p;
    switch (mnw.speed_mode) {
      case 0:
        if (sim_speed != 0.0f)
          prd_sim = prd_flt = p * sim_speed;
        else
          prd_flt = 0.0f;
        break;
      case 2:
        prd_flt = -5.0f * p;
        break;
      case 3:
        prd_flt = -p;
        break;
      case 4:
        prd_flt = -0.2f * p;
        break;
      case 5:
        prd_flt = 0.0f;
        break;
      case 6:
        prd_flt = 0.2f * p;
        break;
      case 8:
        prd_flt = 5.0f * p;
        break;
      default:
        break;
    }
    u.last_time_UI = act_time;
  }

  update_once_flags(sim_once, u.sim_ot, sim_time);
  update_once_flags(act_once, u.act_ot, act_time);

  mnw.mouse_long_hold = mnw.mouse_held && act_time > mnw.mouse_down_time + 0.25f;
  mnw.mouse_double = mnw.mouse_down && act_time < mnw.mouse_down_time + 0.25f;
  mnw.mouse_click_up = mnw.mouse_up && act_time < mnw.mouse_down_time + 0.25f;
  if (mnw.mouse_down) {
    mnw.mouse_held = 1;
    mnw.mouse_move_time = mnw.mouse_down_time = act_time;
    g_core_hooks.mouse_pressed();
  }
  if (mnw.mouse_up) {
    mnw.mouse_held = 0;
    mnw.mouse_long_hold = 0;
  }
  if (std::fabs(mnw.mouse_x - u.mx) > 0.5f || std::fabs(mnw.mouse_y - u.my) > 0.5f)
    mnw.mouse_move_time = act_time;
  u.mx = mnw.mouse_x;
  u.my = mnw.mouse_y;

  float p = std::sin(20.0f * act_time) * 0.3f + 0.7f;
  g_core_hooks.pulse(p);
}

void xtim_class::current_month_day(int* month, int* day) const {
  int m = 0;
  int before = 0;  // days in the months before month m
  while (m < 11 && before + days_in_month[m] <= day_of_year) {
    before += days_in_month[m];
    ++m;
  }
  *month = m;
  *day = day_of_year - before + 1;
}

void xtim_class::xtim_hrs_min_sec(float t, float* h, float* m, float* s) {
  int hours = static_cast<int>(t / 3600.0f);
  int minutes = static_cast<int>(t / 60.0f) - hours * 60;
  int seconds = static_cast<int>(t - hours * 3600.0f - minutes * 60.0f);
  *h = static_cast<float>(hours);
  *m = static_cast<float>(minutes);
  *s = static_cast<float>(seconds);
}
