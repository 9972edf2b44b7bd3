// The installer's image buttons, cut from its button atlas, and the terms
// window that INSTALL shows until the user has agreed once in a run.
#pragma once

#include <string>
#include <vector>

// Draws the w x h picture whose normal look has its lower-left texel at
// (u, v) of the button atlas with its lower-left corner at (x, y); with
// hover, the picture one look down while the mouse is over it and two down
// while the button is also held. tint 0 none, 1 green, 2 red. Returns 1
// when the mouse went down this frame inside the picture (edges included),
// whatever hover says.
int interface_rect(float x, float y, float u, float v, float w, float h, int hover, int tint);
// Icon cell i (64 x 64, eight a row from texel row 66) at (x, y), no hover.
int interface_icon(float x, float y, int i);

// The terms' record of the run.
struct terms_state {
  int agreed = 0;  // the user has agreed: the window is not shown again
};
extern terms_state g_terms;
// As at the start of a run: not agreed.
void terms_reset();

// The terms window (window 1); 1 once the user has agreed in this run.
// Declining, closing the window or closing the program leave it 0.
int handle_EULA();
// The terms text as the window shows it: wrapped into lines no wider than
// width in the interface font; an empty line stays as a gap.
std::vector<std::string> terms_lines(const std::string& text, float width);
// The terms panel of the current window, showing lines from *first on; the
// wheel over the panel and its scroll bar move *first, kept so that the last
// line can show but no further, when the text is longer than the panel.
void terms_panel(const std::vector<std::string>& lines, int* first);
