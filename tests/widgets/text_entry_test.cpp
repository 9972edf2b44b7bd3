// The one-line text field: focus by click and by grab, editing keys, the
// length limit, keys that must not land, owner changes, the char-buffer form
// and the drawing clipped to the bar.
//
// Contents:
//   [SECTION] Focus
//   [SECTION] Editing
//   [SECTION] Drawing and layout
#include "widgets/text_entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/widgets/widget_fixture.h"

namespace {

using widget_testing::WidgetTest;

// Fields at x 50, 100 wide: the first at y 100, the second at y 60.
constexpr float kX = 50, kW = 100, kY1 = 100, kY2 = 60;

class TextEntry : public WidgetTest {
 protected:
  // One frame of both fields; returns the first field's result.
  int draw(int grab = 0, int max_len = 65) {
    const int r = BTN_enterstring(kX, kY1, &one_, max_len, "One", kW, grab);
    BTN_enterstring(kX, kY2, &two_, max_len, "Two", kW, 0);
    return r;
  }
  // Keys typed, applied on the next frame.
  int then_type(const char* text, int grab = 0, int max_len = 65) {
    type(text);
    idle_frame();
    return draw(grab, max_len);
  }
  int then_key(int c, int vkey, int flags = vyko_DownFlag) {
    key(c, vkey, flags);
    idle_frame();
    return draw();
  }

  std::string one_ = "abcde", two_ = "hello";
};

// [SECTION] Focus

TEST_F(TextEntry, AClickFocusesAFieldWithTheCaretUnderTheMouse) {
  frame(kX + 8, kY2 + 4, true);  // inside 'e' of "hello": after it
  draw();
  EXPECT_EQ(focus_id, BTN_widget_id(kX, kY2));
  EXPECT_EQ(then_type("X"), 0);
  EXPECT_EQ(two_, "heXllo");
  EXPECT_EQ(one_, "abcde");
  // A click in the first field moves the focus there.
  frame(kX + 31, kY1 + 4, true);
  draw();
  then_type("!");
  EXPECT_EQ(one_, "abcde!");
  EXPECT_EQ(two_, "heXllo");
}

TEST_F(TextEntry, AGrabbingFieldTakesTheFreeFocusWithItsTextSelected) {
  // The second field held the focus last; then nothing holds it.
  frame(kX + 8, kY2 + 4, true);
  draw();
  BTN_unfocus_any();
  idle_frame();
  draw(1);
  EXPECT_EQ(focus_id, BTN_widget_id(kX, kY1));
  EXPECT_EQ(then_type("Z", 1), 1);
  EXPECT_EQ(one_, "Z") << "typing replaced the whole text";
  // A press elsewhere takes the focus away; the field grabs it back and, as
  // it held the focus last, keeps its place: the press above its line puts
  // the caret at the start.
  frame(kX + 50, kY1 + 30, true);
  draw(1);
  EXPECT_EQ(focus_id, BTN_widget_id(kX, kY1));
  then_type("A", 1);
  EXPECT_EQ(one_, "AZ");
  frame(kX + 50, kY1 - 30, true);  // below: the end
  draw(1);
  then_type("B", 1);
  EXPECT_EQ(one_, "AZB");
  // A window claiming the keyboard keeps a grabbing field out.
  BTN_unfocus_any();
  idle_frame();
  BTN_window_has_focus();
  draw(1);
  EXPECT_EQ(focus_id, 0);
}

// [SECTION] Editing

TEST_F(TextEntry, EditingKeys) {
  struct {
    const char* what;
    std::string text;
    float click_x;                          // the caret: after the character the click lands in
    std::vector<std::pair<int, int>> keys;  // character, virtual key
    int shift;
    std::string after;
  } cases[] = {
      {"backspace", "abcde", kX + 15, {{mac_back, VYKO_VK_BACK}}, 0, "abde"},
      {"shift-left extends, backspace deletes the selection",
       "abcde",
       kX + 15,
       {{mac_left, VYKO_VK_LEFT}, {mac_left, VYKO_VK_LEFT}, {mac_back, VYKO_VK_BACK}},
       1,
       "ade"},
      {"forward delete takes the next character",
       "abcde",
       kX + 7,
       {{mac_delete, VYKO_VK_DELETE}},
       0,
       "abde"},
      {"forward delete at the end does nothing",
       "abcde",
       kX + 90,
       {{mac_delete, VYKO_VK_DELETE}},
       0,
       "abcde"},
      {"home, then typing at the start",
       "abcde",
       kX + 15,
       {{mac_home, VYKO_VK_HOME}, {'x', 'X'}},
       0,
       "xabcde"},
      {"end, then typing at the end",
       "abcde",
       kX + 7,
       {{mac_end, VYKO_VK_END}, {'x', 'X'}},
       0,
       "abcdex"},
      {"shift-home selects to the start",
       "abcde",
       kX + 15,
       {{mac_home, VYKO_VK_HOME}, {'x', 'X'}},
       1,
       "xde"},
      {"page keys type nothing",
       "abcde",
       kX + 7,
       {{mac_page_up, VYKO_VK_PRIOR}, {mac_page_down, VYKO_VK_NEXT}},
       0,
       "abcde"},
      {"an arrow with Control still moves, typing no zero",
       "abcde",
       kX + 7,
       {{0, VYKO_VK_RIGHT}, {'x', 'X'}},
       0,
       "abcxde"},
  };
  for (const auto& c : cases) {
    one_ = c.text;
    frame(c.click_x, kY1 + 4, true);
    draw();
    for (const auto& k : c.keys)
      key(k.first, k.second, vyko_DownFlag | (c.shift ? vyko_ShiftFlag : 0));
    idle_frame();
    draw();
    EXPECT_EQ(one_, c.after) << c.what;
  }
}

TEST_F(TextEntry, TheLengthLimitRefusesKeysAndCutsOnlyWhatTheOwnerSet) {
  one_ = "abc";
  frame(kX + 90, kY1 + 4, true);
  draw(0, 4);
  EXPECT_EQ(then_type("d", 0, 4), 1);
  EXPECT_EQ(then_type("e", 0, 4), 0) << "one more is refused";
  EXPECT_EQ(one_, "abcd");
  // Typing in the middle of a full text is refused too: its last character
  // is never pushed out.
  frame(kX + 3, kY1 + 4, true);
  draw(0, 4);
  then_type("x", 0, 4);
  EXPECT_EQ(one_, "abcd");
  // A longer text set by the owner stays until it is edited, then is cut.
  one_ = "abcdefgh";
  idle_frame();
  EXPECT_EQ(draw(0, 4), 0);
  EXPECT_EQ(one_, "abcdefgh");
  // The caret stands after 'a', where the last press put it.
  key(mac_back, VYKO_VK_BACK);
  idle_frame();
  EXPECT_EQ(draw(0, 4), 1);
  EXPECT_EQ(one_, "bcde");
}

TEST_F(TextEntry, KeysForAFieldThatLostTheFocusAreDropped) {
  frame(kX + 90, kY1 + 4, true);
  draw();
  type("x");
  // Before the field draws again the focus goes (a press, a window switch):
  // its keys are not applied, neither to it nor to a field drawn later.
  BTN_unfocus_any();
  idle_frame();
  draw();
  EXPECT_EQ(one_, "abcde");
  frame(kX + 90, kY1 + 4, true);
  draw();
  EXPECT_EQ(then_type("y"), 1);
  EXPECT_EQ(one_, "abcdey") << "only the key typed while it held the focus";
}

TEST_F(TextEntry, AStringReplacedByItsOwnerIsLaidOutAgain) {
  // Far wider than the field and its 1024 of room: several lines.
  one_ = std::string(300, 'W');
  frame(kX + 90, kY1 + 4, true);
  draw();
  one_ = "ab";
  glClear(GL_COLOR_BUFFER_BIT);
  idle_frame();
  draw();
  // A word that wide was laid out a character a line; "ab" is one line.
  EXPECT_EQ(texel_at(int(kX) + 6, int(kY1) + 1), glyph_texel('b', 0, 7));
  EXPECT_EQ(texel_at(int(kX) + 20, int(kY1) + 1), atlas(291, 144)) << "nothing after \"ab\"";
  EXPECT_EQ(then_key(mac_end, VYKO_VK_END), 0);
  then_type("c");
  EXPECT_EQ(one_, "abc");
}

TEST_F(TextEntry, DraggingSelects) {
  frame(kX + 1, kY1 + 4, true);  // inside 'a': after it
  draw();
  frame(kX + 30, kY1 + 4, false, true);
  draw();
  then_type("Q");
  EXPECT_EQ(one_, "aQ");
}

TEST_F(TextEntry, TheCharBufferFormKeepsRoomForItsZero) {
  char buffer[6] = "abcd";
  frame(kX + 90, kY1 + 4, true);
  BTN_enterstring(kX, kY1, buffer, 6, "", kW, 0);
  type("ef");
  idle_frame();
  EXPECT_EQ(BTN_enterstring(kX, kY1, buffer, 6, "", kW, 0), 1);
  EXPECT_STREQ(buffer, "abcde");
  std::string long_text(520, 'x');
  std::vector<char> big(long_text.begin(), long_text.end());
  big.push_back(0);
  EXPECT_EXIT(BTN_enterstring(kX, kY1, big.data(), int(big.size()), "", kW, 0),
              testing::ExitedWithCode(1), "String too long!");
}

// [SECTION] Drawing and layout

TEST_F(TextEntry, AnUnfocusedFieldShowsItsTextFromItsLeftEdgeClippedToTheBar) {
  one_ = std::string(40, 'M');  // 400 wide in a 100-wide field
  idle_frame();
  draw();
  EXPECT_EQ(texel_at(int(kX), int(kY1) + 1), glyph_texel('M', 0, 7));
  EXPECT_EQ(texel_at(int(kX + kW) + 1, int(kY1) + 1), atlas(309, 144))
      << "the bar's right cap, not text";
  EXPECT_EQ(texel_at(70, int(kY1) + 7), glyph_texel('M', 0, 13)) << "the top row kept";
  EXPECT_EQ(texel_at(70, int(kY1) + 8), atlas(291, 151)) << "the row above is the bar's";
  // Focused with the caret at the end, the text scrolls left to show it.
  frame(kX + 99, kY1 + 4, true);
  draw();
  then_key(mac_end, VYKO_VK_END);
  glClear(GL_COLOR_BUFFER_BIT);
  idle_frame();
  draw();
  EXPECT_EQ(texel_at(int(kX + kW) - 10, int(kY1) + 1), glyph_texel('M', 0, 7))
      << "the last M ends at the field's right edge";
}

// Laying out a long text measures all of it: a focused field does it when it
// gains the focus and when its text or width changes, not every frame.
TEST_F(TextEntry, AFocusedFieldLaysOutOnlyWhenItsTextOrWidthChanges) {
  one_ = std::string(32000, 'W');
  const int max_len = 100000;
  float width = kW;
  // Ten frames of the first field; the layouts they made.
  auto ten_frames = [&] {
    const long before = BTN_text_layouts();
    for (int i = 0; i < 10; ++i) {
      idle_frame();
      BTN_enterstring(kX, kY1, &one_, max_len, "One", width, 0);
    }
    return BTN_text_layouts() - before;
  };
  frame(kX + 90, kY1 + 4, true);
  const long before_focus = BTN_text_layouts();
  BTN_enterstring(kX, kY1, &one_, max_len, "One", width, 0);
  EXPECT_EQ(BTN_text_layouts() - before_focus, 1) << "on gaining the focus";
  EXPECT_EQ(ten_frames(), 0);
  const struct {
    const char* what;
    std::function<void()> change;
    long layouts;
    size_t length;  // the text's after the frames
  } cases[] = {
      {"the owner changes a character", [&] { one_[100] = 'x'; }, 1, 32000},
      {"the owner sets the same text again", [&] { one_ = std::string(one_); }, 0, 32000},
      {"a key typed: the edit lays the text out itself", [&] { type("k"); }, 0, 32001},
      {"the field drawn wider", [&] { width = kW + 40; }, 1, 32001},
      {"the owner shortens the text", [&] { one_ = "ab"; }, 1, 2},
  };
  for (const auto& c : cases) {
    c.change();
    EXPECT_EQ(ten_frames(), c.layouts) << c.what;
    EXPECT_EQ(one_.size(), c.length) << c.what;
  }
  // The shared engine's scroll and focus go back to rest with the other
  // field, as the other cases leave them.
  frame(kX + 8, kY2 + 4, true);
  draw();
}

}  // namespace
