// The engine bound to one-line text fields: a std::string, the interface
// font's widths and the interface colours. One set of globals serves every
// field; only the focused field uses them.
#pragma once

#include <string>

#include "text_edit/ogle.h"

// The binding's state, the focused field's; OGLE_reset_field puts it back
// as at start-up.
struct ogle_field_state {
  // The focused field's place and width, truncated from its floats.
  int OGLE_x = 0, OGLE_y = 0, OGLE_entry_dx = 0;
  // Its scroll offsets, set by the engine; 0 when a field gains the focus.
  float OGLE_dx = 0.0f, OGLE_dy = 0.0f;
  // The string being edited.
  std::string* OGLE_input = nullptr;
  // Set by every replacement: the field's result for the frame.
  int OGLE_edit = 0;
};
extern ogle_field_state g_ogle_field;
inline constexpr int& OGLE_x = g_ogle_field.OGLE_x;
inline constexpr int& OGLE_y = g_ogle_field.OGLE_y;
inline constexpr int& OGLE_entry_dx = g_ogle_field.OGLE_entry_dx;
inline constexpr float& OGLE_dx = g_ogle_field.OGLE_dx;
inline constexpr float& OGLE_dy = g_ogle_field.OGLE_dy;
inline constexpr std::string*& OGLE_input = g_ogle_field.OGLE_input;
inline constexpr int& OGLE_edit = g_ogle_field.OGLE_edit;

// No field bound: no string, no place, no scroll.
void OGLE_reset_field();
// The callbacks of the binding, in the engine's order.
extern const OGLE_Callbacks OGLE_cbs;

// The view: the field's bar, 11 high from 2 below its base line.
void OGLE_GetVisibleBounds(OGLE_Rec* rec, float bounds[4]);
// The view moved by the scroll and widened by 1024, so a field's text stays
// on one line however far it scrolls.
void OGLE_GetLogicalBounds(OGLE_Rec* rec, float bounds[4]);
void OGLE_SetLogicalHeight(OGLE_Rec* rec, float height);
void OGLE_ScrollTo(OGLE_Rec* rec, float where[4]);
void OGLE_GetText(OGLE_Rec* rec, const char** begin, const char** end);
void OGLE_ReplaceTextFunc(OGLE_Rec* rec, int start, int end, const char* b, const char* e);
float OGLE_GetLineHeight(OGLE_Rec* rec);
// Widths by the interface font's table; a byte without a glyph is 0 wide.
float OGLE_MeasureString(OGLE_Rec* rec, const char* b, const char* e);
// The characters taken, from the start, until the width is used up; the one
// that uses it up counts.
int OGLE_FitStringFwd(OGLE_Rec* rec, const char* b, const char* e, float width);
// The same from the end backwards; it takes the last character whatever the
// width.
int OGLE_FitStringRev(OGLE_Rec* rec, const char* b, const char* e, float width);
// Draws the line at the field's place less the scroll: a field shows one line.
void OGLE_DrawString(OGLE_Rec* rec, const char* b, const char* e, float x, float y);
// A pulsing caret line for a zero width, else the selection fill.
void OGLE_DrawSelection(OGLE_Rec* rec, float rect[4]);
const char* OGLE_WordBreak(OGLE_Rec* rec, const char* b, const char* e);
