// The program-wide colour table: drawing calls never pass red, green and
// blue, only an index into this table and an alpha, turned into the OpenGL
// colour by one rule (OGL_setcolor) that also applies the tint, the global
// alpha and the monochrome mode.
#pragma once

// The entries of the table that callers name. The interface palette 34..47
// comes from the widget atlas at start-up; the pulsing entries change every
// frame; the rest keep the defaults of the table.
enum colr_index {
  colr_white = 0,          // untinted art; the builder's status background
  colr_failure = 1,        // failure statuses
  colr_focus_fill = 8,     // the text selection and the hot digit of a number field
  colr_dark_text = 12,     // the builder's status text; the grey text box
  colr_success = 13,       // success statuses
  colr_back = 34,          // the window background
  colr_ui_first = 34,      // first entry of the interface palette
  colr_line_dark = 35,     // the dark line of separators and dividers
  colr_frame_fill = 36,    // frames and boxes; the lit menu title and item
  colr_line_light = 37,    // the light line of separators and dividers
  colr_menu_text = 38,     // menu titles and items, pop-up rows
  colr_mean = 39,          // the mean of 35 and 38
  colr_window_title = 40,  // the title of the active window
  colr_widget_text = 41,   // buttons' and titles' text; the selected tab
  colr_tab_text = 42,      // the other tabs
  colr_label = 43,         // widget labels, alert and question text
  colr_path_text = 45,     // path text, outlines, digit fields, the caret; the last tinted entry
  colr_normal_text = 46,   // the installer's text
  colr_help_text = 47,     // hover help
  colr_ui_last = 47,       // last entry of the interface palette
  colr_lit = 48,           // set_lit_col's entry
  colr_art = 49,           // images drawn untinted
  colr_recording = 57,     // the movie recorder's caption
  colr_notice = 58,        // the about box's status and error line
  colr_grey_text = 61,     // start-up messages
  colr_error_text = 69,    // error message lines
  colr_pulse_white = 78,   // first of the six pulsing entries 78..83
  colr_pulse_orange = 79,
  colr_pulse_red = 80,
  colr_pulse_blue = 81,
  colr_pulse_green = 82,
  colr_pulse_yellow = 83,
  colr_image_tint = 102,  // the installer's per-image tint
};

class colr_class {
 public:
  static constexpr int kCount = 104;
  static constexpr int kSpectrum = 1000;

  // The default palette, tint (1, 1, 1), everything else zero.
  colr_class();
  // Back to that.
  void reset() { *this = colr_class(); }

  // Sets entry index to the RGB floats 0 to 1. Indices outside the table are
  // a caller error and are ignored rather than written past the table.
  void assign(int index, float r, float g, float b);
  // Raises each tint component to at least 0.75.
  void set_lites_for_interface();
  // Entry 48 from a colour kind: 0 the tint lit by the first light level,
  // 1 and 2 a grey at the first or second light level; any other kind is fatal.
  enum lit_kind { colr_lit_tint = 0, colr_lit_grey_a = 1, colr_lit_grey_b = 2 };
  void set_lit_col(int kind);
  // Fills the spectrum: 0 a rainbow ramp, 1..3 a red, green or blue ramp;
  // any other kind leaves it as it was.
  enum spectrum_kind { colr_spectrum_rainbow = 0 };
  void spectrum_init(int kind);
  // The pulse level of this frame (0.4 to 1.0) into the pulsing entries.
  void set_pulse(float level);
  // A vertical scale bar 1000 units tall at (x, y) with its two end values.
  void spectrum_plotscale(float x, float y, float lo, float hi, int decimals);

  float rgb[kCount][3];
  // Multiplies the colours 0..45 only; the rest are never tinted.
  float tint[3];
  // The current pulse level (0.4 to 1.0), written by the clock every frame.
  float pulse;
  float spec_lo, spec_hi, spec_range;
  float spectrum[kSpectrum][3];
};

extern colr_class colr;

// The colour rule: entry colour of colr (tinted when 45 or below), alpha times
// the global alpha, green-only when monochrome. An alpha above 0.99 sets three
// components, so drawing stays opaque.
void OGL_setcolor(int colour, float alpha);

// The current colour from a value 0..1 along a black-to-violet ramp.
void OGL_spectrum_rgb(float t);
