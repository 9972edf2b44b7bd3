// The widget atlas's layout: where every element of the 512 x 512 widget
// atlas (texture slot 388) lies, in texels with t upwards, texel row 0 being
// the image's bottom row. The widgets cut their elements from here, the
// image generator (tools/images) draws each element into the same place and
// the start-up samples the interface colours from the swatches, so moving an
// element is one edit. The interface font's glyph grid, from texel (0, 0),
// is the text layer's (draw/font_widths.h). Nothing but constants: the
// generator, which links none of the program, includes this too.
//
// Contents:
//   [SECTION] Shapes of an element
//   [SECTION] Bars and boxes of the frames
//   [SECTION] Cells of the widgets
//   [SECTION] Cursors and colour swatches
#pragma once

namespace atlas {

inline constexpr int kSize = 512;

// [SECTION] Shapes of an element

// A cell: texels s0 to s1 across and t0 to t1 up, drawn whole.
struct rect {
  int s0, t0, s1, t1;
  constexpr int width() const { return s1 - s0; }
  constexpr int height() const { return t1 - t0; }
};

// A bar of BTN_frame1, width by height from (s0, t0): the first `cap`
// texels are its left cap, the texels from `high_from` on its right cap, and
// what lies between them is repeated to stretch it.
struct bar {
  int s0, t0, width, height, cap, high_from;
};

// A box of BTN_frame2: a square element of `side` texels from (s0, t0) whose
// outer margins (mx left and right, mb below, mt above) hold the frame and
// its shadow; the box drawn around a panel's rectangle reaches out by them.
struct box {
  int s0, t0, side, mx, mb, mt;
};

// [SECTION] Bars and boxes of the frames

// The menu and title bars have always reached one texel past the atlas's
// top: their top row is texel row 512.
inline constexpr bar menu_bar{1, 487, 100, 26, 10, 90};
inline constexpr bar title_bar{102, 487, 100, 26, 20, 80};  // below a window's title
inline constexpr bar button{304, 486, 52, 26, 10, 42};
inline constexpr bar button_pressed{304, 459, 52, 26, 10, 42};
inline constexpr bar progress_track{112, 161, 28, 16, 10, 18};
inline constexpr bar progress_fill{83, 161, 28, 16, 10, 18};
inline constexpr bar slider_track{240, 242, 65, 24, 10, 55};
inline constexpr bar slider_fill{289, 219, 16, 16, 7, 9};
inline constexpr bar value_box{262, 133, 51, 26, 10, 41};
inline constexpr bar popup_box{357, 488, 68, 24, 26, 42};

// The vertical bar of BTN_frame0: caps of scroll_track_cap texels at either
// end, the middle repeated.
inline constexpr rect scroll_track{102, 248, 122, 288};
inline constexpr int scroll_track_cap = 10;

inline constexpr box window{1, 358, 100, 9, 14, 4};
inline constexpr box window_idle{102, 358, 100, 9, 14, 4};
inline constexpr box panel{203, 358, 100, 9, 14, 4};
inline constexpr box help_box{304, 358, 100, 9, 14, 4};
inline constexpr box panel_dark{405, 358, 100, 9, 14, 4};
inline constexpr box text_panel{1, 289, 68, 2, 2, 2};
inline constexpr box menu_list{70, 315, 42, 8, 13, 2};
inline constexpr box box_normal{113, 315, 42, 8, 13, 2};
inline constexpr box box_small{440, 12, 44, 6, 9, 4};

// Not in this atlas: the panel of frame kind 20 lies in the installer's
// atlas (slot 389, 1010 x 764 stored in rows of 1024 texels).
inline constexpr box installer_panel{774, 78, 41, 1, 1, 1};
inline constexpr int kInstallerRowTexels = 1024;

// [SECTION] Cells of the widgets

inline constexpr rect close_box{120, 178, 138, 196};
inline constexpr rect close_box_lit{120, 197, 138, 215};
inline constexpr rect tab_selected{204, 486, 302, 512};
inline constexpr rect tab_other{204, 459, 302, 485};
// The tick and the dot are drawn over their box: they carry only the mark.
inline constexpr rect check_box{139, 178, 157, 196};
inline constexpr rect check_tick{139, 197, 157, 215};
inline constexpr rect radio_box{83, 123, 101, 141};
inline constexpr rect radio_dot{83, 142, 101, 160};
// The arrows below (down) and above (up) each digit of a number field.
inline constexpr rect digit_down{83, 178, 97, 196};
inline constexpr rect digit_up{83, 197, 97, 215};
// The scroll bar's arrows and thumb, and the horizontal slider's thumb.
inline constexpr rect scroll_down{83, 216, 101, 238};
inline constexpr rect scroll_thumb{83, 240, 101, 264};
inline constexpr rect scroll_up{83, 266, 101, 288};
inline constexpr rect slider_thumb{262, 267, 282, 289};
// The mark of a menu item that opens a submenu.
inline constexpr rect submenu_mark{158, 178, 176, 196};
// The folder icon of the path and file selectors.
inline constexpr rect folder_icon{208, 133, 234, 159};
// The direction dial's face, its needle, and the needle of its second use.
inline constexpr rect dial_face{178, 160, 234, 218};
inline constexpr rect dial_needle{156, 315, 166, 357};
inline constexpr rect dial_needle_alt{156, 272, 166, 314};

// The searchable list's row icons: a 12 x 12 cell on texel row 82 for each
// kind of entry that has one (the folder listing's kind codes, 1 a folder).
struct list_icon {
  int kind, s;
};
inline constexpr list_icon list_icons[] = {{1, 34},  {3, 48},   {4, 62},   {5, 90},
                                           {9, 104}, {10, 118}, {11, 132}, {7, 146}};
inline constexpr int list_icon_t = 82, list_icon_size = 12;

// [SECTION] Cursors and colour swatches

// The frame's drawn cursors, kinds 3 to 14: a 30 x 30 cell each, at column
// col and row row of a grid of 32-texel steps from (200, 293).
struct cursor_cell {
  int col, row;
};
inline constexpr int kFirstDrawnCursor = 3;
inline constexpr cursor_cell cursor_cells[] = {{0, 1}, {1, 1}, {0, 0}, {1, 0}, {2, 1},  {3, 1},
                                               {2, 0}, {3, 0}, {4, 1}, {4, 0}, {-1, 1}, {-1, 0}};
// The two grips (kinds 11 and 12) while the button is held: the closed
// hand, one column right of the open one.
inline constexpr int kHeldGripCol = 5;
inline constexpr int cursor_s0 = 200, cursor_t0 = 293, cursor_step = 32, cursor_size = 30;

// The interface colours the start-up samples: colour index and texel, in
// the order they are taken. Each swatch is 5 x 5 texels around its texel.
struct swatch {
  int colour, s, t;
};
inline constexpr swatch swatches[] = {
    {34, 319, 155}, {35, 319, 147}, {36, 319, 139}, {37, 319, 131}, {38, 319, 123},
    {40, 319, 115}, {41, 319, 107}, {42, 319, 99},  {43, 319, 91},  {45, 319, 83},
    {46, 319, 75},  {47, 319, 67},  {44, 395, 115}};

}  // namespace atlas
