// The text-edit engine through a fake host: every byte 10 wide (line breaks
// 0), lines 10 high, a view at (0, 0) whose logical box is the view moved by
// the scroll; scroll and drawing calls are recorded.
//
// Contents:
//   [SECTION] The fake host
//   [SECTION] Layout
//   [SECTION] Keys, the mouse and scrolling
//   [SECTION] Replacing and drawing
//   [SECTION] Class form
#include "text_edit/ogle.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "core/vkeys.h"

namespace {

// [SECTION] The fake host

struct Host {
  std::string text;
  float view_w = 200, view_h = 100, wrap = 200;
  float dx = 0, dy = 0;  // the scroll
  float height = -1;     // the last logical height told
  std::vector<std::vector<float>> scrolls, selections;
  struct line {
    std::string text;
    float x, y;
  };
  std::vector<line> lines;
  // The characters the measuring and word-break callbacks went through.
  long measured = 0, scanned = 0;

  static Host& of(OGLE_Rec* rec) { return *static_cast<Host*>(OGLE_GetRef(rec)); }
  static float width(char c) { return c == '\n' || c == '\r' ? 0 : 10; }

  static const OGLE_Callbacks& callbacks() {
    static const OGLE_Callbacks cb = {
        [](OGLE_Rec* r, float b[4]) {
          Host& h = of(r);
          b[0] = 0, b[1] = 0, b[2] = h.view_w, b[3] = h.view_h;
        },
        [](OGLE_Rec* r, float b[4]) {
          Host& h = of(r);
          b[0] = -h.dx, b[1] = -h.dy, b[2] = h.wrap - h.dx, b[3] = h.view_h - h.dy;
        },
        [](OGLE_Rec* r, float height) { of(r).height = height; },
        [](OGLE_Rec* r, float w[4]) {
          Host& h = of(r);
          h.dx = w[0], h.dy = w[1];
          h.scrolls.push_back({w[0], w[1]});
        },
        [](OGLE_Rec* r, const char** b, const char** e) {
          Host& h = of(r);
          *b = h.text.data();
          *e = h.text.data() + h.text.size();
        },
        [](OGLE_Rec* r, int start, int end, const char* b, const char* e) {
          of(r).text.replace(size_t(start), size_t(end - start), std::string(b, e));
        },
        [](OGLE_Rec*) { return 10.0f; },
        [](OGLE_Rec* r, const char* b, const char* e) {
          of(r).measured += e - b;
          float w = 0;
          for (const char* p = b; p < e; ++p) w += width(*p);
          return w;
        },
        [](OGLE_Rec*, const char* b, const char* e, float w) {
          if (b == e || !(w > 0)) return 0;
          for (const char* p = b; p < e; ++p)
            if (!((w -= width(*p)) > 0)) return int(p - b) + 1;
          return int(e - b);
        },
        [](OGLE_Rec*, const char* b, const char* e, float) { return int(e - b); },
        [](OGLE_Rec* r, const char* b, const char* e, float x, float y) {
          of(r).lines.push_back({std::string(b, e), x, y});
        },
        [](OGLE_Rec* r, float rect[4]) {
          of(r).selections.push_back({rect[0], rect[1], rect[2], rect[3]});
        },
        [](OGLE_Rec* r, const char* b, const char* e) {
          const char* from = b;
          while (b < e && std::isspace((unsigned char)*b)) ++b;
          while (b < e && !std::isspace((unsigned char)*b)) ++b;
          of(r).scanned += b - from;
          return b;
        },
    };
    return cb;
  }
};

class Ogle : public ::testing::Test {
 protected:
  void SetUp() override { rec_ = OGLE_Create(&Host::callbacks(), &host_); }
  void TearDown() override { OGLE_Destroy(rec_); }

  // A fresh record over the text, laid out, with the selection.
  void set(const std::string& text, int start, int end, float wrap = 200) {
    OGLE_Destroy(rec_);
    rec_ = OGLE_Create(&Host::callbacks(), &host_);
    host_.text = text;
    host_.wrap = wrap;
    OGLE_Repaginate(rec_);
    OGLE_SetSelection(rec_, start, end);
  }
  std::vector<int> selection() const { return {rec_->sel_start, rec_->sel_end}; }

  Host host_;
  OGLE_Rec* rec_ = nullptr;
};

// [SECTION] Layout

TEST_F(Ogle, CreateMakesNoLayoutAndDestroyTakesNull) {
  EXPECT_TRUE(rec_->line_starts.empty());
  EXPECT_EQ(selection(), (std::vector<int>{0, 0}));
  EXPECT_EQ(rec_->caret_at_end, 1);
  EXPECT_EQ(rec_->desired_x, -1.0f);
  EXPECT_EQ(OGLE_GetRef(rec_), &host_);
  OGLE_Destroy(nullptr);
}

TEST_F(Ogle, LayoutOfTrickyTexts) {
  struct {
    const char* what;
    std::string text;
    float wrap;
    std::vector<int> starts;
  } cases[] = {
      {"empty text: one line", "", 200, {0}},
      {"a final line feed makes no empty last line", "ab\n", 200, {0}},
      {"CR then LF: an empty line between them", "ab\r\ncd", 200, {0, 3, 4}},
      {"the space after a word stays with it", "hello world", 80, {0, 6}},
      {"a word wider than the width: one character a line", "abcdef", 5, {0, 1, 2, 3, 4, 5}},
      {"cut a character a line until the rest fits", "abcdefghij", 30, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"a line break after white space still ends the line", "ab  \ncd", 200, {0, 5}},
      {"spaces before a too wide word keep a line of their own", "  abcdefgh", 50, {0, 2, 3, 4, 5}},
      {"words fit exactly", "ab cd ef", 50, {0, 6}},
  };
  for (const auto& c : cases) {
    set(c.text, 0, 0, c.wrap);
    EXPECT_EQ(rec_->line_starts, c.starts) << c.what;
    EXPECT_EQ(host_.height, 10.0f * float(c.starts.size())) << c.what;
  }
  // A shorter text drops the line starts it no longer has.
  set("abcdef", 0, 0, 5);
  host_.text = "ab";
  OGLE_Repaginate(rec_);
  EXPECT_EQ(rec_->line_starts, (std::vector<int>{0, 1}));
}

// A word far wider than the width is cut a character a line; its layout
// goes through each character a few times, not once a line.
TEST_F(Ogle, LayoutOfAWordWiderThanTheWidthIsLinearInItsLength) {
  const int n = 32000;
  const std::string word(n, 'w');
  struct {
    const char* what;
    std::string text;
    int lines;
  } cases[] = {
      // The width holds 20 characters: the last 20 share the last line.
      {"a lone word", word, n - 20 + 1},
      {"after spaces", "  " + word, 1 + n - 20 + 1},
      {"after a short word", "ab " + word, 1 + n - 20 + 1},
      // The second word goes to the line after the first word's last cut.
      {"two of them", word + " " + word, 2 * (n - 20 + 1)},
      {"then short words", word + " ab cd", n - 20 + 1 + 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    set(c.text, 0, 0, 200);
    host_.measured = host_.scanned = 0;
    OGLE_Repaginate(rec_);
    EXPECT_EQ(rec_->line_starts.size(), size_t(c.lines));
    const long length = long(c.text.size());
    EXPECT_LE(host_.measured, 4 * length);
    EXPECT_LE(host_.scanned, 4 * length);
  }
}

// [SECTION] Keys, the mouse and scrolling

struct key_press {
  char key;
  int shift;
};

TEST_F(Ogle, KeySequences) {
  const char B = mac_back, L = mac_left, R = mac_right, U = mac_up, D = mac_down;
  struct {
    const char* what;
    std::string text;
    int start, end;
    float wrap;
    std::vector<key_press> keys;
    std::string after;
    int sel_start, sel_end, caret_at_end;
  } cases[] = {
      {"backspace", "abc", 3, 3, 200, {{B, 0}}, "ab", 2, 2, 1},
      {"backspace at the start changes nothing", "abc", 0, 0, 200, {{B, 0}}, "abc", 0, 0, 1},
      {"backspace deletes the selection", "abcdef", 1, 4, 200, {{B, 0}}, "aef", 1, 1, 1},
      {"typing replaces the selection", "abcdef", 1, 4, 200, {{'x', 0}}, "axef", 2, 2, 1},
      {"a byte above 127 is typed",
       "ab",
       1,
       1,
       200,
       {{char(0xE9), 0}},
       "a\xE9"
       "b",
       2,
       2,
       1},
      {"left at the start and right at the end stay", "ab", 0, 0, 200, {{L, 0}}, "ab", 0, 0, 1},
      {"right at the end stays", "ab", 2, 2, 200, {{R, 0}}, "ab", 2, 2, 1},
      {"left collapses a selection to its start", "abcdef", 1, 4, 200, {{L, 0}}, "abcdef", 1, 1, 1},
      {"right collapses it to its end", "abcdef", 1, 4, 200, {{R, 0}}, "abcdef", 4, 4, 1},
      {"shift-left from a caret makes the start active",
       "abcdef",
       3,
       3,
       200,
       {{L, 1}},
       "abcdef",
       2,
       3,
       0},
      {"then shift-right shrinks from the left",
       "abcdef",
       3,
       3,
       200,
       {{L, 1}, {R, 1}},
       "abcdef",
       3,
       3,
       0},
      {"shift-left then backspace deletes the character",
       "abcdef",
       3,
       3,
       200,
       {{L, 1}, {B, 0}},
       "abdef",
       2,
       2,
       1},
      {"up keeps the column",
       "hello world again",
       3,
       3,
       60,
       {{D, 0}},
       "hello world again",
       9,
       9,
       1},
      {"up from the first line goes to the start",
       "hello world",
       3,
       3,
       60,
       {{U, 0}},
       "hello world",
       0,
       0,
       1},
      {"down from the last line goes to the end",
       "hello world",
       8,
       8,
       60,
       {{D, 0}},
       "hello world",
       11,
       11,
       1},
      // Down from column 5 passes a short line: it lands at that line's end
      // (before its line feed), then back at column 5.
      {"a run of downs keeps the first column",
       "abcdef\nab\nabcdef\nabcdef",
       5,
       5,
       200,
       {{D, 0}, {D, 0}, {D, 0}},
       "abcdef\nab\nabcdef\nabcdef",
       22,
       22,
       1},
      {"down past a short line stops at its end",
       "abcdef\nab\nabcdef",
       5,
       5,
       200,
       {{D, 0}},
       "abcdef\nab\nabcdef",
       9,
       9,
       1},
      {"shift-down extends from the active end",
       "abcdef\nabcdef",
       2,
       2,
       200,
       {{D, 1}},
       "abcdef\nabcdef",
       2,
       9,
       1},
      {"up with a selection collapses it to its start",
       "abcdef",
       1,
       4,
       200,
       {{U, 0}},
       "abcdef",
       1,
       1,
       1},
  };
  for (const auto& c : cases) {
    set(c.text, c.start, c.end, c.wrap);
    for (const key_press& k : c.keys) OGLE_Key(rec_, k.key, k.shift);
    EXPECT_EQ(host_.text, c.after) << c.what;
    EXPECT_EQ(selection(), (std::vector<int>{c.sel_start, c.sel_end})) << c.what;
    EXPECT_EQ(rec_->caret_at_end, c.caret_at_end) << c.what;
  }
}

TEST_F(Ogle, ClicksAndDrags) {
  // Lines: "abc\n" (0..4) and "defgh" (4..9), 10 high from the top at 100.
  set("abc\ndefgh", 0, 0);
  struct {
    const char* what;
    float x, y;
    int pos;
  } cases[] = {
      {"above the first line", 15, 105, 0},
      {"below the last line", 15, 75, 9},
      {"inside a character: after it", 13, 95, 2},
      {"on a character's left edge: before it", 10, 95, 1},
      {"left of the logical left: the line's start", -30, 85, 4},
      {"past the end of a line that is not the last: its end", 150, 95, 3},
      {"past the end of the last line: the text's end", 150, 85, 9},
  };
  for (const auto& c : cases) {
    OGLE_Click(rec_, c.x, c.y, 0);
    EXPECT_EQ(selection(), (std::vector<int>{c.pos, c.pos})) << c.what;
  }
  OGLE_Click(rec_, 5, 85, 0);  // inside 'd': position 5
  OGLE_Drag(rec_, 35, 85);
  EXPECT_EQ(selection(), (std::vector<int>{5, 8}));
  OGLE_Drag(rec_, 5, 95);  // back across the anchor: the start becomes active
  EXPECT_EQ(selection(), (std::vector<int>{1, 5}));
  EXPECT_EQ(rec_->caret_at_end, 0);
  OGLE_Click(rec_, 45, 85, 1);  // an extending click beyond the end
  EXPECT_EQ(selection(), (std::vector<int>{1, 9}));
  EXPECT_EQ(rec_->caret_at_end, 1);
}

TEST_F(Ogle, RevealScrollsTheActiveEndIntoView) {
  // A view 50 wide and 20 high (two lines) over a 200-wide text of 4 lines.
  host_.view_w = 50;
  host_.view_h = 20;
  set("0123456789", 0, 0);
  OGLE_SetSelection(rec_, 8, 8);
  OGLE_RevealSelection(rec_);
  ASSERT_EQ(host_.scrolls.size(), 1u);
  EXPECT_EQ(host_.dx, 30.0f) << "x 80 lands on the right edge";
  EXPECT_EQ(host_.dy, 0.0f);
  OGLE_Key(rec_, mac_left, 0);
  EXPECT_EQ(host_.scrolls.size(), 1u) << "a caret already in view scrolls nothing";

  // The whole line comes into view, not just its top.
  host_.dx = 0;
  set("ab\ncd\nef\ngh", 0, 0);
  OGLE_SetSelection(rec_, 10, 10);  // line 3, 30..40 below the top
  OGLE_RevealSelection(rec_);
  EXPECT_EQ(host_.dy, -20.0f) << "line 3's bottom meets the view's bottom";
  OGLE_SetSelection(rec_, 1, 1);
  OGLE_RevealSelection(rec_);
  EXPECT_EQ(host_.dy, 0.0f) << "line 0's top meets the view's top";
}

// [SECTION] Replacing and drawing

TEST_F(Ogle, ReplaceTextKeepsTheSelectionOnItsText) {
  struct {
    const char* what;
    int start, end;
    std::string with;
    int sel_start, sel_end;
  } cases[] = {
      {"before the selection: both move", 0, 1, "xyz", 4, 6},
      {"over all of it: both at the replacement's start", 1, 5, "", 1, 1},
      {"after its start: unchanged", 3, 4, "", 2, 4},
      // Cutting the tail inside the selection must not leave its end beyond
      // the text.
      {"the tail cut off inside it: clamped", 3, 6, "", 2, 3},
  };
  for (const auto& c : cases) {
    set("abcdef", 2, 4);
    OGLE_ReplaceText(rec_, c.start, c.end, c.with.data(), c.with.data() + c.with.size());
    EXPECT_EQ(selection(), (std::vector<int>{c.sel_start, c.sel_end})) << c.what;
    EXPECT_LE(rec_->sel_end, int(host_.text.size())) << c.what;
  }
}

TEST_F(Ogle, DrawShowsTheVisibleLinesTheSelectionAndTheCaret) {
  set("ab\ncd\nef", 1, 4);  // lines at tops 100, 90, 80
  OGLE_Draw(rec_, 1);
  ASSERT_EQ(host_.lines.size(), 3u);
  EXPECT_EQ(host_.lines[1].text, "cd\n");
  EXPECT_EQ(host_.lines[1].y, 80.0f);
  // The selection runs from after 'a' to the end of line 0, then over 'c'.
  ASSERT_EQ(host_.selections.size(), 2u);
  EXPECT_EQ(host_.selections[0], (std::vector<float>{10, 90, 200, 100}));
  EXPECT_EQ(host_.selections[1], (std::vector<float>{0, 80, 10, 90}));

  // After a final line feed the caret stands at the end of the last line.
  host_.lines.clear();
  host_.selections.clear();
  set("ab\n", 3, 3);
  OGLE_Draw(rec_, 1);
  ASSERT_EQ(host_.selections.size(), 1u);
  EXPECT_EQ(host_.selections[0], (std::vector<float>{20, 90, 20, 100}));
  // An empty text: the caret at the left of line 0.
  host_.selections.clear();
  set("", 0, 0);
  OGLE_Draw(rec_, 1);
  EXPECT_EQ(host_.selections, (std::vector<std::vector<float>>{{0, 90, 0, 100}}));
  // Scrolled past the lines: nothing drawn.
  host_.selections.clear();
  host_.lines.clear();
  host_.dy = -200;
  OGLE_Draw(rec_, 1);
  EXPECT_TRUE(host_.lines.empty());
  EXPECT_TRUE(host_.selections.empty());
}

// [SECTION] Class form

// The class form: the host is a subclass and the callbacks its operations.
class StringEditor : public OGLE {
 public:
  std::string text;

 protected:
  void GetVisibleBounds(float b[4]) override { b[0] = 0, b[1] = 0, b[2] = 100, b[3] = 10; }
  void GetLogicalBounds(float b[4]) override { GetVisibleBounds(b); }
  void SetLogicalHeight(float) override {}
  void ScrollTo(float[4]) override {}
  void GetText(const char** b, const char** e) override {
    *b = text.data();
    *e = text.data() + text.size();
  }
  void ReplaceText(int start, int end, const char* b, const char* e) override {
    text.replace(size_t(start), size_t(end - start), std::string(b, e));
  }
  float GetLineHeight() override { return 10; }
  float MeasureString(const char* b, const char* e) override { return float(e - b) * 10; }
  int FitStringFwd(const char* b, const char* e, float w) override {
    return std::min(int(e - b), int(w / 10));
  }
  int FitStringRev(const char* b, const char* e, float) override { return int(e - b); }
  void DrawString(const char*, const char*, float, float) override {}
  void DrawSelection(float[4]) override {}
  const char* WordBreak(const char* b, const char* e) override {
    while (b < e && *b == ' ') ++b;
    while (b < e && *b != ' ') ++b;
    return b;
  }
};

TEST(OgleClass, OperationsForwardToTheEngine) {
  StringEditor ed;
  ed.text = "abc";
  ed.Repaginate();
  ed.Click(25, 5, 0);
  ed.Key('x', 0);
  EXPECT_EQ(ed.text, "abxc");
  ed.SetSelection(0, 2);
  const char* zz = "zz";
  ed.DoReplaceText(0, 1, zz, zz + 2);
  int s = 0, e = 0;
  ed.GetSelection(&s, &e);
  EXPECT_EQ(ed.text, std::string("zz") + "bxc");
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 3);
}

}  // namespace
