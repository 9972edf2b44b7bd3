// What every widget shares: the label convention (one string holds the text
// left of a control, '|', the text right of it, '{' and the hover help), the
// drawing of a label in the interface font with its automatic two-line
// break, one element of the widget atlas, and the mouse tests.
#pragma once

#include <string>

#include "widgets/atlas_layout.h"

// Atlas texture coordinates are atlas pixels of the widget atlas.
constexpr float kAtlasTexel = 1.0f / float(atlas::kSize);

// Splits a label at its last '|' and last '{' into the left text, the right
// text and the hover help (the character after '{' is skipped too). Any
// output may be null.
void BTN_expand_label(const std::string& label, std::string* left, std::string* right,
                      std::string* help);

// Draws one label part: align 0 ends at x, 1 centred on x, 2 starts at x.
// Colour 80 when highlighted, else 43. A text longer than 12 characters not
// centred is broken in two at the space, '-' or '/' nearest its middle; a
// text starting with '-' loses that character and stays on one line.
void BTN_util_draw_label(float x, float y, int align, const std::string& text, int highlight);

// The atlas region centred on atlas pixel (s, t), half sizes half_w and
// half_h, drawn one to one centred on (x, y) of the current window.
void BTN_util_element(float x, float y, float s, float t, float half_w, float half_h, int colour);

// The atlas rectangle s0..s1, t0..t1 drawn over l..r, b..t of the current
// window, untinted, blended.
void BTN_atlas_quad(float l, float b, float r, float t, float s0, float t0, float s1, float t1,
                    int colour);
// The same for a cell of the atlas's layout.
void BTN_atlas_quad(float l, float b, float r, float t, const atlas::rect& cell, int colour);

// Whether the mouse lies in the box, edges included: the one hit test of
// widgets, close boxes and menus.
bool BTN_mouse_in(float l, float b, float r, float t);
// A click: no menu is open, the button went down this frame and the mouse lies
// in the box. The press is not consumed: overlapping widgets all see it.
bool BTN_clicked(float l, float b, float r, float t);
