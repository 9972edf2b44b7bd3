// Window frames, panels and close boxes. What the shell draws so far: the
// atlas-drawn frames come with the widget toolkit.
#pragma once

#include <string>

// Whether the mouse lies in the box, edges included: the one hit test of
// widgets, close boxes and menus.
bool BTN_mouse_in(float l, float b, float r, float t);
// A bar of a frame kind centred on (x, y), w wide.
void BTN_frame1(int kind, float x, float y, float w, int colour);
// A framed box, lower-left corner (x, y), w by h, with a title.
void BTN_frame2(int kind, float x, float y, float w, float h, const std::string& title);
// Frames the whole current window with its title.
void BTN_fillwin(int active, int kind);
// A titled panel; negative x, y, w, h take the window's margins. *right and
// *top receive where the next panel may start.
void BTN_subwin(float top_margin, int kind, float x, float y, float w, float h,
                const std::string& title, float* right, float* top);
// The two close boxes of a sub-window; 1 when the mouse went down in one.
int BTN_zap_boxes(int lit);
