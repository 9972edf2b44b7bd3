// Window ids and the frame loop. There is one real window; a "window" here is
// an id that selects a logical size, a title and whether it is modal. Id 0 is
// the application's own screen; every other id is a modal window whose owner
// loops on MACIBM_event_proc until it makes 0 current again.
#pragma once

// One frame: input, queued error reports, the clock, the application's frame
// function (unless a modal window is current), hover help, buffer swap.
void MACIBM_event_proc();
// Takes the window events queued so far outside a frame, so that a long task
// drawing its own progress keeps the window responsive; a close request waits
// for the next frame.
void MACIBM_pump_events();
// Takes at most one pending event, without waiting, for a long task that
// draws its own status: the character of a key press (a plain letter, as
// 'q'), else 0. A close request sets close_requested; anything else is
// dropped.
int MACIBM_take_one_event();
// Makes the id the current window with its logical size (-1 at start-up).
void MACIBM_startwind(int id);
// mode 0 a mouse press, 1 Return or Enter in a window other than 0.
void MACIBM_handleclick(int mode);
// Hover help and the cursor for that window.
void mouse_help_per_wind(int id);
// Maps a pixel point of the window to mnw.mouse_x/y; returns the window id
// under it.
int MACIBM_load_mxy(void* window, int h, int v);
int has_optionkey();
int has_shiftkey();
int has_capslock();

// What the frame loop keeps from frame to frame. reset() puts it back as it
// stands at start-up (tests call it between cases).
struct frame_state {
  // Set when Return/Enter, Escape or Delete/Backspace went down this frame.
  int return_hit = 0, escape_hit = 0, delete_hit = 0;
  // Set by the first window switch; lets the start-up screen draw.
  int plot_init_lights = 0;
  // A close request (the window's close button, SIGINT, SIGTERM) not yet
  // acted on: window 0 quits at once, a modal window once it has closed.
  int close_requested = 0;
  // The first frame switches to the current window.
  int win_started = 0;
  // Whether the system's cursor shows, and whether a plug-in's cursor was set
  // last frame (the default one comes back when it goes).
  int OS_mouse_showing = 1;
  int mouse_was_plugin = 0;
  // A button event this frame already placed the mouse (events pushed by a
  // test carry their position but do not move SDL's own mouse state).
  bool mouse_placed_by_event = false;
  // Waits that ended because the application's descriptors were ready.
  int ready_wakes = 0;

  void reset() { *this = frame_state(); }
};
extern frame_state g_frame;

// The names the rest of the program reads, bound to the frame's state.
extern int &return_hit, &escape_hit, &delete_hit;
extern int& plot_init_lights;
extern int& close_requested;
