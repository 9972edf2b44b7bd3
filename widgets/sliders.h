// Sliders: a vertical scroll bar over an integer range and a horizontal
// slider over a float range with a coloured fill. Both read this frame's
// mouse from mnw and write the new value through the pointer they get.
#pragma once

#include <string>

// The sliders' state; BTN_reset_sliders puts it back as at start-up.
struct sliders_state {
  // While slider slot s (0 to 3) is being dragged, entry s is 1.
  int slider_grabbed[4] = {};
};
extern sliders_state g_sliders;
inline constexpr int (&slider_grabbed)[4] = g_sliders.slider_grabbed;

// No slider grabbed.
void BTN_reset_sliders();

// A scroll bar at x from bottom to top over min..max, min at the top.
// Arrows step by 1, the track by 10, both repeating while the button is held;
// the thumb drags. Returns whether this slot's thumb is grabbed. Each slider
// visible at once needs its own slot; any other slot ends the program.
int BTN_vert_slider(int slot, float x, float bottom, float top, int min, int max, int* value);
// A slider whose track starts at x and is w long; dragging changes *value
// when editable (returning 1 on those frames). A colour of 12 draws no fill.
int BTN_horz_slider(float x, float y, float w, int colour, float min, float max, float* value,
                    int editable, const std::string& label, const std::string& caption);
