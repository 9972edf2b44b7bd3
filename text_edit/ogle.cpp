// The OGLE text-edit engine: selection, line layout, positions under points,
// vertical moves, scrolling into view, keys, the mouse and drawing, all
// through the host's callbacks; and the class form of the engine.
//
// Contents:
//   [SECTION] Positions and lines
//   [SECTION] Layout
//   [SECTION] Public operations
//   [SECTION] Class form
#include "text_edit/ogle.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/vkeys.h"

// [SECTION] Positions and lines

namespace {

enum { kLeft = 0, kBottom = 1, kRight = 2, kTop = 3 };

struct text_range {
  const char* b;
  const char* e;
  int length() const { return static_cast<int>(e - b); }
};

text_range text_of(OGLE_Rec* rec) {
  text_range t{nullptr, nullptr};
  rec->cb.GetText(rec, &t.b, &t.e);
  if (!t.b) t.e = t.b;
  return t;
}

int line_count(const OGLE_Rec* rec) { return static_cast<int>(rec->line_starts.size()); }

// The start of line i: 0 before the first line, the text's end past the last.
int line_start(const OGLE_Rec* rec, int i, int length) {
  if (i < 0) return 0;
  if (i >= line_count(rec)) return length;
  return rec->line_starts[i];
}

// The end of line i: the next line's start, or the text's end.
int line_end(const OGLE_Rec* rec, int i, int length) {
  return i + 1 < line_count(rec) ? rec->line_starts[i + 1] : length;
}

void OGLE_NormalizeSelectionInternal(OGLE_Rec* rec) {
  if (rec->sel_end < rec->sel_start) {
    std::swap(rec->sel_start, rec->sel_end);
    rec->caret_at_end = 1 - rec->caret_at_end;
  }
  const int n = text_of(rec).length();
  rec->sel_end = std::clamp(rec->sel_end, 0, n);
  rec->sel_start = std::clamp(rec->sel_start, 0, n);
}

// A position that starts a line belongs to that line, not to the end of the
// line above; -1 for an empty list.
int OGLE_CharPosToLine(const OGLE_Rec* rec, int pos) {
  const std::vector<int>& s = rec->line_starts;
  auto it = std::lower_bound(s.begin(), s.end(), pos);
  if (it == s.end()) return static_cast<int>(s.size()) - 1;
  const int i = static_cast<int>(it - s.begin());
  return *it == pos ? i : i - 1;
}

// The position width units into line i. Past the end of a line that is not
// the last it stays on that line: the next line's start would draw the caret
// at the start of the next line.
int fit_in_line(OGLE_Rec* rec, const text_range& t, int i, float width) {
  const int ls = line_start(rec, i, t.length()), le = line_end(rec, i, t.length());
  const int pos = ls + rec->cb.FitStringFwd(rec, t.b + ls, t.b + le, width);
  return i + 1 < line_count(rec) && pos >= le ? std::max(le - 1, ls) : pos;
}

int OGLE_CoordToCharPos(OGLE_Rec* rec, float x, float y) {
  float L[4];
  rec->cb.GetLogicalBounds(rec, L);
  const float cx = std::clamp(x, L[kLeft], std::max(L[kLeft], L[kRight]));
  const text_range t = text_of(rec);
  const int line = static_cast<int>(std::floor((L[kTop] - y) / rec->cb.GetLineHeight(rec)));
  if (line < 0) return 0;
  if (line >= line_count(rec)) return t.length();
  return fit_in_line(rec, t, line, cx - L[kLeft]);
}

int OGLE_CharPosVerticalAdjust(OGLE_Rec* rec, int pos, int delta, float& desired_x) {
  const text_range t = text_of(rec);
  const int line = OGLE_CharPosToLine(rec, pos);
  if (desired_x == -1.0f) {
    const int ls = line_start(rec, line, t.length());
    desired_x = rec->cb.MeasureString(rec, t.b + ls, t.b + std::max(pos, ls));
  }
  const int target = line + delta;
  if (target < 0) return 0;
  if (target >= line_count(rec)) return t.length();
  return fit_in_line(rec, t, target, desired_x);
}

// [SECTION] Layout

bool is_break(char c) { return c == 10 || c == 13; }

// A word wider than the width, while it is being cut a character a line:
// its end and the width of what is left of it, carried from line to line so
// that each cut measures one character, not the rest of the word again.
struct cut_word {
  const char* end = nullptr;
  float rest = 0;  // the width from the next line's start to end
};

// The length of the line that starts at cur: whole words while they fit in
// width; the white space after a word stays with it; a line break belongs to
// the line it ends; a word wider than the width at the start of a line is cut
// after its first character.
int lay_out_line(OGLE_Rec* rec, const text_range& t, const char* cur, float width, cut_word& cut) {
  if (cur < cut.end) {
    // Inside the word cut on the line above: no white space before cur.
    if (cut.rest > width) {
      cut.rest -= rec->cb.MeasureString(rec, cur, cur + 1);
      return 1;
    }
    // The rest fits by the sum of the cut widths; it is measured again
    // below, whole, so the host's own measure has the last word.
    cut.end = nullptr;
  }
  int len = 0;
  float acc = 0;
  const char* run = cur;
  for (;;) {
    const char* sp = run;
    while (sp < t.e && !is_break(*sp) && std::isspace(static_cast<unsigned char>(*sp))) ++sp;
    acc += rec->cb.MeasureString(rec, run, sp);
    len += static_cast<int>(sp - run);
    if (sp == t.e) return len;
    if (is_break(*sp)) return len + 1;
    const char* we = rec->cb.WordBreak(rec, sp, t.e);
    // A host whose word break does not advance would stall the layout.
    if (we <= sp) we = sp + 1;
    const float word = rec->cb.MeasureString(rec, sp, we);
    acc += word;
    if (acc > width) {
      if (len > 0) return len;
      if (we - sp > 1) cut = {we, word - rec->cb.MeasureString(rec, sp, sp + 1)};
      return 1;
    }
    len += static_cast<int>(we - sp);
    if (we >= t.e) return len;
    run = we;
  }
}

void OGLE_RepaginateInternal(OGLE_Rec* rec) {
  std::vector<int>& starts = rec->line_starts;
  if (starts.empty()) starts.push_back(0);
  starts[0] = 0;
  const text_range t = text_of(rec);
  float L[4];
  rec->cb.GetLogicalBounds(rec, L);
  const float width = L[kRight] - L[kLeft];
  int cur = 0, k = 0;
  cut_word cut;
  if (t.length() == 0) {
    starts.resize(1);
  } else {
    for (;;) {
      cur += lay_out_line(rec, t, t.b + cur, width, cut);
      ++k;
      if (cur >= t.length()) {
        starts.resize(k);
        break;
      }
      if (k < static_cast<int>(starts.size()))
        starts[k] = cur;
      else
        starts.push_back(cur);
    }
  }
  rec->cb.SetLogicalHeight(rec, float(line_count(rec)) * rec->cb.GetLineHeight(rec));
}

int& active_end(OGLE_Rec* rec) { return rec->caret_at_end ? rec->sel_end : rec->sel_start; }

}  // namespace

// [SECTION] Public operations

extern "C" {

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* ref) {
  OGLE_Rec* rec = new OGLE_Rec{*callbacks, ref, {}, 0, 0, 1, -1.0f};
  return rec;
}

void OGLE_Destroy(OGLE_Rec* rec) { delete rec; }

void* OGLE_GetRef(OGLE_Rec* rec) { return rec->ref; }

void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end) {
  if (start) *start = rec->sel_start;
  if (end) *end = rec->sel_end;
}

void OGLE_SetSelection(OGLE_Rec* rec, int start, int end) {
  rec->sel_start = start;
  rec->sel_end = end;
  OGLE_NormalizeSelectionInternal(rec);
}

void OGLE_Repaginate(OGLE_Rec* rec) { OGLE_RepaginateInternal(rec); }

void OGLE_RevealSelection(OGLE_Rec* rec) {
  float L[4], V[4];
  rec->cb.GetLogicalBounds(rec, L);
  rec->cb.GetVisibleBounds(rec, V);
  const float vw = V[kRight] - V[kLeft], vh = V[kTop] - V[kBottom];
  const float lh = rec->cb.GetLineHeight(rec);
  const text_range t = text_of(rec);
  const int p = active_end(rec);
  const int line = OGLE_CharPosToLine(rec, p);
  const int ls = line_start(rec, line, t.length());
  const float x = L[kLeft] + rec->cb.MeasureString(rec, t.b + ls, t.b + std::max(p, ls));
  // The whole line comes into view: a line below the view is brought up until
  // its bottom meets the view's bottom, one above it down until its top meets
  // the view's top.
  const float line_top = L[kTop] - float(std::max(line, 0)) * lh, line_bottom = line_top - lh;
  float sx = V[kLeft] - L[kLeft], sy = V[kBottom] - L[kBottom];
  if (x < V[kLeft]) sx = x - L[kLeft];
  if (x > V[kRight]) sx = x - L[kLeft] - vw;
  if (line_bottom < V[kBottom]) sy = line_bottom - L[kBottom];
  if (line_top > V[kTop]) sy = line_top - L[kBottom] - vh;
  if (sx != V[kLeft] - L[kLeft] || sy != V[kBottom] - L[kBottom]) {
    float where[4] = {sx, sy, 0, 0};
    rec->cb.ScrollTo(rec, where);
  }
}

void OGLE_Key(OGLE_Rec* rec, char key, int shift) {
  const signed char k = static_cast<signed char>(key);
  // Only the vertical moves keep the column a run of them aims for.
  if (k != mac_up && k != mac_down) rec->desired_x = -1.0f;
  int& s = rec->sel_start;
  int& e = rec->sel_end;
  switch (k) {
    case mac_back:
      if (s == e && s == 0) {
        rec->caret_at_end = 1;
        return;
      }
      if (s == e) {
        rec->cb.ReplaceText(rec, s - 1, s, nullptr, nullptr);
        --s;
      } else {
        rec->cb.ReplaceText(rec, s, e, nullptr, nullptr);
      }
      e = s;
      OGLE_RepaginateInternal(rec);
      OGLE_RevealSelection(rec);
      rec->caret_at_end = 1;
      return;
    case mac_left:
      if (shift)
        active_end(rec) -= 1;
      else if (s == e)
        s = e = e - 1;
      else
        e = s;
      break;
    case mac_right:
      if (shift)
        active_end(rec) += 1;
      else if (s == e)
        s = e = e + 1;
      else
        s = e;
      break;
    case mac_up:
      if (shift)
        active_end(rec) = OGLE_CharPosVerticalAdjust(rec, active_end(rec), -1, rec->desired_x);
      else if (s == e)
        s = e = OGLE_CharPosVerticalAdjust(rec, s, -1, rec->desired_x);
      else
        e = s;
      break;
    case mac_down:
      if (shift)
        active_end(rec) = OGLE_CharPosVerticalAdjust(rec, active_end(rec), 1, rec->desired_x);
      else if (s == e)
        s = e = OGLE_CharPosVerticalAdjust(rec, e, 1, rec->desired_x);
      else
        s = e;
      break;
    default:
      rec->cb.ReplaceText(rec, s, e, &key, &key + 1);
      s = e = s + 1;
      rec->caret_at_end = 1;
      OGLE_RepaginateInternal(rec);
      OGLE_RevealSelection(rec);
      return;
  }
  OGLE_NormalizeSelectionInternal(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend) {
  rec->desired_x = -1.0f;
  const int p = OGLE_CoordToCharPos(rec, x, y);
  if (!extend) {
    rec->sel_start = rec->sel_end = p;
    rec->caret_at_end = 1;
  } else if (p < rec->sel_start) {
    rec->sel_start = p;
    rec->caret_at_end = 0;
  } else {
    rec->sel_end = p;
    rec->caret_at_end = 1;
  }
  OGLE_NormalizeSelectionInternal(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_Drag(OGLE_Rec* rec, float x, float y) {
  rec->desired_x = -1.0f;
  active_end(rec) = OGLE_CoordToCharPos(rec, x, y);
  OGLE_NormalizeSelectionInternal(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_ReplaceText(OGLE_Rec* rec, int start, int end, const char* b, const char* e) {
  const int delta = static_cast<int>(e - b) - (end - start);
  int& S = rec->sel_start;
  int& E = rec->sel_end;
  if (end <= S) {
    S += delta;
    E += delta;
  } else if (start <= S) {
    E += delta;
    if (E < S) S = E = std::max(S + delta, start);
  }
  rec->cb.ReplaceText(rec, start, end, b, e);
  OGLE_RepaginateInternal(rec);
  // A text shortened inside or after the selection may leave an end past the
  // new end of the text.
  const int n = text_of(rec).length();
  E = std::clamp(E, 0, n);
  S = std::clamp(S, 0, E);
}

void OGLE_Draw(OGLE_Rec* rec, int caret) {
  float V[4], L[4];
  rec->cb.GetVisibleBounds(rec, V);
  rec->cb.GetLogicalBounds(rec, L);
  const float lh = rec->cb.GetLineHeight(rec);
  const text_range t = text_of(rec);
  const int n = t.length(), count = line_count(rec);
  const int first = std::max(0, static_cast<int>(std::floor((L[kTop] - V[kTop]) / lh)));
  const int last = std::min(count, static_cast<int>(std::ceil((L[kTop] - V[kBottom]) / lh)));
  if (first >= last) return;
  auto strip_bottom = [&](int i) { return L[kTop] - float(i + 1) * lh; };
  auto width_to = [&](int ls, int pos) { return rec->cb.MeasureString(rec, t.b + ls, t.b + pos); };
  const int s = rec->sel_start, e = rec->sel_end;
  if (s < e) {
    for (int i = first; i < last; ++i) {
      const int ls = rec->line_starts[i], le = line_end(rec, i, n);
      if (s >= le) continue;
      float left = L[kLeft], right = L[kRight];
      if (ls < s) {
        left = L[kLeft] + width_to(ls, s);
        if (e < le) right = L[kLeft] + width_to(ls, e);
      } else if (e <= le) {
        if (ls >= e) break;
        right = L[kLeft] + width_to(ls, e);
      }
      float rect[4] = {left, strip_bottom(i), right, strip_bottom(i) + lh};
      rec->cb.DrawSelection(rec, rect);
    }
  }
  for (int i = first; i < last; ++i)
    rec->cb.DrawString(rec, t.b + rec->line_starts[i], t.b + line_end(rec, i, n), L[kLeft],
                       strip_bottom(i));
  if (!caret || s != e) return;
  for (int i = first; i < last; ++i) {
    const int ls = rec->line_starts[i], le = line_end(rec, i, n);
    if (s < ls) break;
    if (s < le || (s == le && i == count - 1)) {
      const float x = L[kLeft] + width_to(ls, s);
      float rect[4] = {x, strip_bottom(i), x, strip_bottom(i) + lh};
      rec->cb.DrawSelection(rec, rect);
    }
  }
}

}  // extern "C"

// [SECTION] Class form

namespace {

OGLE* self(OGLE_Rec* rec) { return static_cast<OGLE*>(OGLE_GetRef(rec)); }

}  // namespace

OGLE::OGLE() {
  const OGLE_Callbacks table = {
      GetVisibleBoundsCB, GetLogicalBoundsCB, SetLogicalHeightCB, ScrollToCB,     GetTextCB,
      ReplaceTextCB,      GetLineHeightCB,    MeasureStringCB,    FitStringFwdCB, FitStringRevCB,
      DrawStringCB,       DrawSelectionCB,    WordBreakCB};
  rec_ = OGLE_Create(&table, this);
}

OGLE::~OGLE() { OGLE_Destroy(rec_); }

void OGLE::GetSelection(int* start, int* end) { OGLE_GetSelection(rec_, start, end); }
void OGLE::SetSelection(int start, int end) { OGLE_SetSelection(rec_, start, end); }
void OGLE::Draw(int caret) { OGLE_Draw(rec_, caret); }
void OGLE::RevealSelection() { OGLE_RevealSelection(rec_); }
void OGLE::Click(float x, float y, int extend) { OGLE_Click(rec_, x, y, extend); }
void OGLE::Drag(float x, float y) { OGLE_Drag(rec_, x, y); }
void OGLE::Key(char key, int shift) { OGLE_Key(rec_, key, shift); }
void OGLE::Repaginate() { OGLE_Repaginate(rec_); }
void OGLE::DoReplaceText(int start, int end, const char* b, const char* e) {
  OGLE_ReplaceText(rec_, start, end, b, e);
}

void OGLE::GetVisibleBoundsCB(OGLE_Rec* rec, float bounds[4]) {
  self(rec)->GetVisibleBounds(bounds);
}
void OGLE::GetLogicalBoundsCB(OGLE_Rec* rec, float bounds[4]) {
  self(rec)->GetLogicalBounds(bounds);
}
void OGLE::SetLogicalHeightCB(OGLE_Rec* rec, float height) { self(rec)->SetLogicalHeight(height); }
void OGLE::ScrollToCB(OGLE_Rec* rec, float where[4]) { self(rec)->ScrollTo(where); }
void OGLE::GetTextCB(OGLE_Rec* rec, const char** begin, const char** end) {
  self(rec)->GetText(begin, end);
}
void OGLE::ReplaceTextCB(OGLE_Rec* rec, int start, int end, const char* b, const char* e) {
  self(rec)->ReplaceText(start, end, b, e);
}
float OGLE::GetLineHeightCB(OGLE_Rec* rec) { return self(rec)->GetLineHeight(); }
float OGLE::MeasureStringCB(OGLE_Rec* rec, const char* b, const char* e) {
  return self(rec)->MeasureString(b, e);
}
int OGLE::FitStringFwdCB(OGLE_Rec* rec, const char* b, const char* e, float width) {
  return self(rec)->FitStringFwd(b, e, width);
}
int OGLE::FitStringRevCB(OGLE_Rec* rec, const char* b, const char* e, float width) {
  return self(rec)->FitStringRev(b, e, width);
}
void OGLE::DrawStringCB(OGLE_Rec* rec, const char* b, const char* e, float x, float y) {
  self(rec)->DrawString(b, e, x, y);
}
void OGLE::DrawSelectionCB(OGLE_Rec* rec, float rect[4]) { self(rec)->DrawSelection(rect); }
const char* OGLE::WordBreakCB(OGLE_Rec* rec, const char* b, const char* e) {
  return self(rec)->WordBreak(b, e);
}
