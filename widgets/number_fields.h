// Digit-by-digit number fields: each digit cell has a small up arrow above it
// and a down arrow below; a press on the value picks the hot digit and takes
// the keyboard focus, after which the arrow keys, digits and the sign keys
// edit the value. Thin wrappers adapt the float field to ints, doubles,
// derived ranges and a grid; BTN_chars edits a fixed-length character field
// the same way; BTN_display_number shows a value in the same box.
#pragma once

#include <string>

// A float shown in digits cells with decimals of them after the point, kept
// within min..max and rounded to the decimals every frame. Returns 1 when a
// key or an arrow changed *value this frame.
int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  const std::string& label);
// An int edited as a float: written back every frame, truncated toward zero
// and kept within the int range.
int BTN_int_range(float x, float y, int* value, int digits, float min, float max,
                  const std::string& label);
// A double edited as a float, written back only on a frame that changed it.
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  const std::string& label);
// Fields over the whole range the digits can show (all nines), negative
// values too when allowed.
int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative,
            const std::string& label);
int BTN_int(float x, float y, int* value, int digits, int allow_negative, const std::string& label);
// BTN_flt and BTN_flt_range placed at cell (i, j) of a 75 by 50 grid.
int BTN_fltij(float i, float j, float* value, int digits, int decimals, int allow_negative,
              const std::string& label);
int BTN_flt_rangeij(float i, float j, float* value, int digits, int decimals, float min, float max,
                    const std::string& label);
// The largest value digits cells with decimals of them show: all nines.
float BTN_digits_top(int digits, int decimals);

// Edits text[0..n-1] in place over the characters ' ', 0-9, A-Z and '-'.
void BTN_chars(float x, float y, char* text, int n, const std::string& label);
// No hot cells, no keys queued.
void BTN_reset_number_fields();
// A value in the number field's box, not editable.
void BTN_display_number(float x, float y, float value, int digits, int decimals,
                        const std::string& label);
