// Start-up pieces beside MACIBM_init and MACIBM_finishup (platform/shell.h).
#pragma once

// What start-up and shut-down keep for the run. reset() makes a later
// MACIBM_init and MACIBM_finishup run as if for the first time.
struct startup_state {
  // 1 once the window, its context and the built-in images stand; alerts
  // use the OpenGL window only from then on.
  int ogl_inited = 0;
  // MACIBM_finishup has run.
  bool finished = false;
  // The screen as MACIBM_setres(1) first found it (sres_orig: whether a
  // depth switch was allowed; -1 not yet found).
  int hres_orig = 0, vres_orig = 0, cres_orig = 0, sres_orig = -1;
  // Steps of a start-up screen shown without a figure.
  unsigned counter_now = 0;

  void reset() { *this = startup_state(); }
};
extern startup_state g_startup;
extern int& ogl_inited;

// 1 at start-up applies the requested size; 0 at shut-down restores the
// screen as found. Depth switches are logged, never made.
void MACIBM_setres(int on);
// One start-up screen with the text and a progress bar (fraction may be null).
void MACIBM_show_init(const char* text, float* fraction);
void MACIBM_setupforlang();
// Sets the interface colours 34 to 47 from the swatches of the widget atlas
// that is still staged in scratch_array after recall_ins_texes.
void MACIBM_take_interface_colours();
void IBM_turnoff();
