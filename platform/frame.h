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

// Set when Return/Enter, Escape or Delete/Backspace went down this frame.
extern int return_hit, escape_hit, delete_hit;
// Set by the first window switch; lets the start-up screen draw.
extern int plot_init_lights;
// A close request (the window's close button, SIGINT, SIGTERM) not yet acted
// on: window 0 quits at once, a modal window once it has closed.
extern int close_requested;
