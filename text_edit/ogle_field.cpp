// The callbacks that bind the text-edit engine to a one-line field: a
// std::string, the interface font and the interface colours.
#include "text_edit/ogle_field.h"

#include <cctype>

#include "draw/colors.h"
#include "draw/font_widths.h"
#include "draw/prims.h"
#include "draw/text.h"

ogle_field_state g_ogle_field;

void OGLE_reset_field() { g_ogle_field = ogle_field_state(); }

const OGLE_Callbacks OGLE_cbs = {
    OGLE_GetVisibleBounds, OGLE_GetLogicalBounds, OGLE_SetLogicalHeight, OGLE_ScrollTo,
    OGLE_GetText,          OGLE_ReplaceTextFunc,  OGLE_GetLineHeight,    OGLE_MeasureString,
    OGLE_FitStringFwd,     OGLE_FitStringRev,     OGLE_DrawString,       OGLE_DrawSelection,
    OGLE_WordBreak,
};

namespace {

// The wrap width beyond the field's own width.
constexpr float kExtraWidth = 1024;

float glyph(char c) { return float(OGL_glyph_width(static_cast<unsigned char>(c))); }

}  // namespace

void OGLE_GetVisibleBounds(OGLE_Rec*, float bounds[4]) {
  bounds[0] = float(OGLE_x);
  bounds[1] = float(OGLE_y - 2);
  bounds[2] = float(OGLE_x + OGLE_entry_dx);
  bounds[3] = float(OGLE_y + 9);
}

void OGLE_GetLogicalBounds(OGLE_Rec* rec, float bounds[4]) {
  OGLE_GetVisibleBounds(rec, bounds);
  bounds[0] -= OGLE_dx;
  bounds[1] -= OGLE_dy;
  bounds[2] -= OGLE_dx;
  bounds[3] -= OGLE_dy;
  bounds[2] += kExtraWidth;
}

// Kept empty on purpose: a field is one line, its height never matters.
void OGLE_SetLogicalHeight(OGLE_Rec*, float) {}

void OGLE_ScrollTo(OGLE_Rec*, float where[4]) {
  OGLE_dx = where[0];
  OGLE_dy = where[1];
}

void OGLE_GetText(OGLE_Rec*, const char** begin, const char** end) {
  *begin = OGLE_input ? OGLE_input->data() : nullptr;
  *end = OGLE_input ? OGLE_input->data() + OGLE_input->size() : nullptr;
}

void OGLE_ReplaceTextFunc(OGLE_Rec*, int start, int end, const char* b, const char* e) {
  OGLE_edit = 1;
  if (!OGLE_input) return;
  if (b == e)
    OGLE_input->erase(size_t(start), size_t(end - start));
  else
    OGLE_input->replace(size_t(start), size_t(end - start), b, size_t(e - b));
}

float OGLE_GetLineHeight(OGLE_Rec*) { return 11.0f; }

float OGLE_MeasureString(OGLE_Rec*, const char* b, const char* e) {
  float w = 0;
  for (const char* p = b; p < e; ++p) w += glyph(*p);
  return w;
}

int OGLE_FitStringFwd(OGLE_Rec*, const char* b, const char* e, float width) {
  if (b == e || !(width > 0)) return 0;
  for (const char* p = b; p < e; ++p) {
    width -= glyph(*p);
    if (!(width > 0)) return static_cast<int>(p - b) + 1;
  }
  return static_cast<int>(e - b);
}

int OGLE_FitStringRev(OGLE_Rec*, const char* b, const char* e, float width) {
  if (b == e) return 0;
  int n = 0;
  for (const char* p = e; p > b;) {
    width -= glyph(*--p);
    ++n;
    if (!(width > 0)) break;
  }
  return n;
}

void OGLE_DrawString(OGLE_Rec*, const char* b, const char* e, float, float) {
  OGL_string(colr_path_text, float(OGLE_x) - OGLE_dx, float(OGLE_y) - OGLE_dy, std::string(b, e),
             9999, charset_ui, align_left);
}

void OGLE_DrawSelection(OGLE_Rec*, float rect[4]) {
  if (rect[0] == rect[2])
    OGL_line(colr_path_text, colr.pulse, rect[0], rect[1], rect[0], rect[3]);
  else
    OGL_fillrect(colr_focus_fill, 1.0f, rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1]);
}

const char* OGLE_WordBreak(OGLE_Rec*, const char* b, const char* e) {
  const char* p = b;
  while (p < e && std::isspace(static_cast<unsigned char>(*p))) ++p;
  while (p < e && !std::isspace(static_cast<unsigned char>(*p))) ++p;
  return p;
}
