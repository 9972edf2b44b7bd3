// The one-line text field: shows a string in a bar with labels on either
// side, takes the keyboard focus when clicked (or, with grab, when nothing
// else has it) and while focused lets the one shared text-edit engine edit
// the string in place.
#pragma once

#include <string>

// Returns 1 when the text changed this frame. A key that would make the text
// longer than max_len is refused; a longer text set by the owner is cut once
// it is edited. The label's left part ends 12 left of the field, its right
// part starts 6 right of it.
int BTN_enterstring(float x, float y, std::string* text, int max_len, const std::string& label,
                    float width, int grab);
// The same over a char buffer of max_len bytes: the text keeps room for its
// terminating zero.
int BTN_enterstring(float x, float y, char* text, int max_len, const std::string& label,
                    float width, int grab);
// The layouts the fields have made so far: a focused field lays its text
// out when it gains the focus and when its text or width changed, never
// merely because a frame was drawn.
long BTN_text_layouts();
// Back to no field ever focused: the next focused field starts with its text
// selected, on a new editing record; the text-edit binding holds no field.
void BTN_reset_text_entry();
