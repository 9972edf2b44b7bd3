// Window frames, panels and close boxes. Every surface of the interface is an
// element of the widget atlas stretched by tiling: its caps drawn once, its
// middle repeated and the last repeat cut to fit, one atlas pixel per unit.
// BTN_frame1 is a horizontal bar, BTN_frame0 a vertical one, BTN_frame2 a
// box framed on all sides; a kind outside their tables ends the program.
#pragma once

#include <string>

#include "widgets/labels.h"

// Kinds of BTN_frame1 (a horizontal bar).
enum frame1_kind {
  frame_menu_bar = 0,
  frame_title_bar = 1,  // the bar below a window's title
  frame_button = 2,
  frame_button_pressed = 3,
  frame_progress_track = 4,
  frame_progress_fill = 5,
  frame_slider_track = 7,
  frame_slider_fill = 8,
  frame_value_box = 9,
  frame_popup_box = 10,
};

// The one kind of BTN_frame0 (a vertical bar).
enum frame0_kind { frame_scroll_track = 6 };

// Kinds of BTN_frame2 (a framed box).
enum frame2_kind {
  frame_window = 11,
  frame_window_idle = 12,
  frame_panel = 13,
  frame_help_box = 14,
  frame_panel_dark = 15,  // progress, alert and browser panels
  frame_text_panel = 16,  // the terms text, the searchable list
  frame_menu_list = 17,
  frame_box = 18,
  frame_box_small = 19,
  frame_installer_panel = 20,  // drawn from the installer's atlas
};

// The kind of BTN_fillwin that adds nothing to the window frame.
constexpr int kFillwinBare = 21;

// A bar centred on (x, y), 2·round(w/2) wide plus the kind's extra width.
void BTN_frame1(int kind, float x, float y, float w, int colour);
// A vertical bar centred on (x, y), 2·round(len/2) + 8 high; x and y must be
// whole numbers.
void BTN_frame0(int kind, float x, float y, float len);
// A box with its lower-left corner at (x, y), w by h, framed around it, and
// its title in the kind's colour and place.
void BTN_frame2(int kind, float x, float y, float w, float h, const std::string& title);
// Frames the whole current window with its title (kind 11 when active, else
// 12); kind 21 adds nothing, 1 the bar below the title, any other kind a
// panel inside.
void BTN_fillwin(int active, int kind);
// A titled panel; x or y below 0 mean 10, w and h below 0 fill the window.
// *right and *top receive where the next panel may start.
void BTN_subwin(float top_margin, int kind, float x, float y, float w, float h,
                const std::string& title, float* right, float* top);
// The two close boxes of a sub-window, lit or not; 1 when the mouse went down
// in one this frame (the right box is not drawn after a press in the left).
int BTN_zap_boxes(int lit);
// A tab of a tab row: a press on it makes *current value and returns 1.
int BTN_tab(int index, int row, int* current, int value, const std::string& label);
// A direction dial for a heading in degrees, turned by dragging around it.
void plot_dir(float x, float y, float* heading, int alt);

// A text in a value box centred on x, the label's left part before it and its
// right part after it.
void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text,
                      int charset, int colour);
