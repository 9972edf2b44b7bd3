// OGLE, a small text-edit engine. It owns no text and draws nothing itself:
// it keeps a selection, the column that vertical moves aim for and the list
// of line starts of a text its host holds, and does key editing, mouse
// placement, line layout, scrolling into view and drawing through 13 host
// callbacks. Coordinates are the host's, y up; line 0 is the top line; a
// rectangle is left, bottom, right, top.
#pragma once

#include <vector>

struct OGLE_Rec;

// The host's side. Each callback gets the record first.
struct OGLE_Callbacks {
  // The box of the view.
  void (*GetVisibleBounds)(OGLE_Rec* rec, float bounds[4]);
  // The box of the whole text shifted by the current scroll: its width is the
  // wrap width, its top the top of line 0.
  void (*GetLogicalBounds)(OGLE_Rec* rec, float bounds[4]);
  // Told the height of the laid-out text after every layout.
  void (*SetLogicalHeight)(OGLE_Rec* rec, float height);
  // Scroll so that (view left - logical left, view bottom - logical bottom)
  // becomes the first two floats.
  void (*ScrollTo)(OGLE_Rec* rec, float where[4]);
  // The text as a character range, fetched anew at every use.
  void (*GetText)(OGLE_Rec* rec, const char** begin, const char** end);
  // Replaces characters [start, end) by [b, e); b equal to e deletes.
  void (*ReplaceText)(OGLE_Rec* rec, int start, int end, const char* b, const char* e);
  float (*GetLineHeight)(OGLE_Rec* rec);
  // The width of the characters [b, e).
  float (*MeasureString)(OGLE_Rec* rec, const char* b, const char* e);
  // How many characters from b (from e backwards) the width reaches.
  int (*FitStringFwd)(OGLE_Rec* rec, const char* b, const char* e, float width);
  int (*FitStringRev)(OGLE_Rec* rec, const char* b, const char* e, float width);
  // One line's characters with its bottom-left corner at (x, y).
  void (*DrawString)(OGLE_Rec* rec, const char* b, const char* e, float x, float y);
  // A selection rectangle; one of zero width is the caret.
  void (*DrawSelection)(OGLE_Rec* rec, float rect[4]);
  // Skips white space from b, then the word after it: returns the first
  // white character after the word, or e.
  const char* (*WordBreak)(OGLE_Rec* rec, const char* b, const char* e);
};

struct OGLE_Rec {
  OGLE_Callbacks cb;
  void* ref;
  // Offset of the first character of each line: entry 0 is 0, strictly
  // ascending, every entry below the text length (but entry 0 of an empty
  // text).
  std::vector<int> line_starts;
  // The selection [sel_start, sel_end); equal ends are the caret.
  int sel_start;
  int sel_end;
  // The end that keys and drags move and that scrolls into view: 1 sel_end,
  // 0 sel_start.
  int caret_at_end;
  // The offset in its line that a run of up and down moves aims for; -1 none.
  float desired_x;
};

extern "C" {

// A record with the callbacks copied and ref kept; no layout yet: the host
// calls OGLE_Repaginate before it first draws.
OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* ref);
// Accepts null.
void OGLE_Destroy(OGLE_Rec* rec);
void* OGLE_GetRef(OGLE_Rec* rec);
// Either pointer may be null.
void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end);
// Stores and normalises the selection; no layout, no scrolling.
void OGLE_SetSelection(OGLE_Rec* rec, int start, int end);
// Lays the whole text out again.
void OGLE_Repaginate(OGLE_Rec* rec);
// The visible lines and the selection, and the caret when caret is non-zero.
void OGLE_Draw(OGLE_Rec* rec, int caret);
// One key: mac_back deletes backwards, mac_left, mac_right, mac_up and
// mac_down move (extending the selection with shift), anything else is
// typed.
void OGLE_Key(OGLE_Rec* rec, char key, int shift);
// A press (extend: from the selection) and the mouse held, in the host's
// coordinates.
void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend);
void OGLE_Drag(OGLE_Rec* rec, float x, float y);
// Replaces [start, end) by [b, e), keeping the selection on the same text,
// and lays out again.
void OGLE_ReplaceText(OGLE_Rec* rec, int start, int end, const char* b, const char* e);
// Scrolls the active end of the selection into view.
void OGLE_RevealSelection(OGLE_Rec* rec);

}  // extern "C"

// The engine as a class: the host derives from it and supplies the
// callbacks as virtual operations.
class OGLE {
 public:
  OGLE();
  virtual ~OGLE();
  OGLE(const OGLE&) = delete;
  OGLE& operator=(const OGLE&) = delete;

  void GetSelection(int* start, int* end);
  void SetSelection(int start, int end);
  void Draw(int caret);
  void RevealSelection();
  void Click(float x, float y, int extend);
  void Drag(float x, float y);
  void Key(char key, int shift);
  void Repaginate();
  void DoReplaceText(int start, int end, const char* b, const char* e);

 protected:
  virtual void GetVisibleBounds(float bounds[4]) = 0;
  virtual void GetLogicalBounds(float bounds[4]) = 0;
  virtual void SetLogicalHeight(float height) = 0;
  virtual void ScrollTo(float where[4]) = 0;
  virtual void GetText(const char** begin, const char** end) = 0;
  virtual void ReplaceText(int start, int end, const char* b, const char* e) = 0;
  virtual float GetLineHeight() = 0;
  virtual float MeasureString(const char* b, const char* e) = 0;
  virtual int FitStringFwd(const char* b, const char* e, float width) = 0;
  virtual int FitStringRev(const char* b, const char* e, float width) = 0;
  virtual void DrawString(const char* b, const char* e, float x, float y) = 0;
  virtual void DrawSelection(float rect[4]) = 0;
  virtual const char* WordBreak(const char* b, const char* e) = 0;

 private:
  static void GetVisibleBoundsCB(OGLE_Rec* rec, float bounds[4]);
  static void GetLogicalBoundsCB(OGLE_Rec* rec, float bounds[4]);
  static void SetLogicalHeightCB(OGLE_Rec* rec, float height);
  static void ScrollToCB(OGLE_Rec* rec, float where[4]);
  static void GetTextCB(OGLE_Rec* rec, const char** begin, const char** end);
  static void ReplaceTextCB(OGLE_Rec* rec, int start, int end, const char* b, const char* e);
  static float GetLineHeightCB(OGLE_Rec* rec);
  static float MeasureStringCB(OGLE_Rec* rec, const char* b, const char* e);
  static int FitStringFwdCB(OGLE_Rec* rec, const char* b, const char* e, float width);
  static int FitStringRevCB(OGLE_Rec* rec, const char* b, const char* e, float width);
  static void DrawStringCB(OGLE_Rec* rec, const char* b, const char* e, float x, float y);
  static void DrawSelectionCB(OGLE_Rec* rec, float rect[4]);
  static const char* WordBreakCB(OGLE_Rec* rec, const char* b, const char* e);

  OGLE_Rec* rec_;
};
