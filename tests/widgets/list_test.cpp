// The searchable list: type-ahead with the clock, the up and down keys,
// presses and double clicks on rows, the wheel, and what it draws.
#include "widgets/list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/clock.h"
#include "tests/widgets/widget_fixture.h"

namespace {

using widget_testing::WidgetTest;

// The list of these tests: x 20..220, centred on y 120, 200 high: rows from
// 9 above to 9 below the centre row, 10 apart.
constexpr float kX = 20, kY = 120, kW = 200, kH = 200;

std::vector<std::string> names;
std::vector<int> icons;

class List : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    names = {"apple", "Abacus", "banana", "Abbey", "cherry", "ab", "abc"};
    icons.assign(names.size(), 1);
    xtim.act_time = 100;
  }
  int draw(int first = 0, int last = -1) {
    if (last < 0) last = int(names.size()) - 1;
    return BTN_list_and_search(0, kX, kY, kW, kH, &scroll_, &selection_, first, last, entry_,
                               "Name", BTN_name_from_vector, &names, nullptr, nullptr,
                               BTN_type_from_vector, &icons);
  }
  // Focuses the list by a press on its empty margin, then draws it again
  // with keys typed in between.
  void focus() {
    frame(kX + 100, kY - 95, true);
    draw();
  }
  void type_at(float when, const char* text) {
    xtim.act_time = when;
    type(text);
    idle_frame();
    draw();
  }

  int scroll_ = 3, selection_ = 0;
  std::string* entry_ = nullptr;
};

TEST_F(List, TypeAheadFindsTheFirstRowBeginningWithWhatWasTyped) {
  focus();
  type_at(100, "a");
  EXPECT_EQ(selection_, 0) << "apple";
  type_at(100.5f, "b");
  EXPECT_EQ(selection_, 1) << "ab: Abacus, case aside";
  type_at(100.9f, "b");
  EXPECT_EQ(selection_, 3) << "abb: Abbey";
  type_at(100.95f, "q");
  EXPECT_EQ(selection_, 3) << "no row starts with abbq: the selection stays";
  type_at(102, "b");
  EXPECT_EQ(selection_, 2) << "after a second's pause a new search: banana";
  // A name shorter than what was typed never matches.
  type_at(104, "abc");
  EXPECT_EQ(selection_, 6);
}

TEST_F(List, UpAndDownMoveTheSelectionAndScrollWithIt) {
  names.assign(30, "row");
  icons.assign(30, 0);
  struct {
    const char* what;
    int scroll, selection;
    int vkey;
    int scroll_after, selection_after;
  } cases[] = {
      {"down inside the view", 5, 5, VYKO_VK_DOWN, 5, 6},
      {"down past the view's bottom row", 0, 9, VYKO_VK_DOWN, 1, 10},
      {"down on the last row stays", 25, 29, VYKO_VK_DOWN, 25, 29},
      {"up past the view's top row", 20, 11, VYKO_VK_UP, 19, 10},
      {"up on the first row stays", 5, 0, VYKO_VK_UP, 5, 0},
  };
  for (const auto& c : cases) {
    focus();
    scroll_ = c.scroll;
    selection_ = c.selection;
    key(0, c.vkey);
    idle_frame();
    draw();
    EXPECT_EQ(scroll_, c.scroll_after) << c.what;
    EXPECT_EQ(selection_, c.selection_after) << c.what;
  }
}

TEST_F(List, PressesSelectRowsAndADoubleClickOpensOne) {
  scroll_ = 3;  // row 3 at the centre, row 0 at 150, row 6 at 90
  frame(kX + 50, 151, true);
  EXPECT_EQ(draw(), 0);
  EXPECT_EQ(selection_, 0);
  frame(kX + 50, 89, true);
  mnw.mouse_double = 1;
  EXPECT_EQ(draw(), 1);
  EXPECT_EQ(selection_, 6);
  idle_frame();
  EXPECT_EQ(draw(), 0) << "in that frame only";
  // Below the last row and above the first: nothing selected, nothing opened.
  for (float y : {79.0f, 161.0f}) {
    frame(kX + 50, y, true);
    mnw.mouse_double = 1;
    EXPECT_EQ(draw(), 0) << y;
    EXPECT_EQ(selection_, 6) << y;
  }
}

TEST_F(List, TheWheelScrollsOnlyOverTheList) {
  scroll_ = 4;
  frame(kX + kW + 5, kY);
  mnw.wheel = 2;
  draw();
  EXPECT_EQ(scroll_, 4);
  EXPECT_EQ(mnw.wheel, 2);
  frame(kX + 50, kY);
  draw();
  EXPECT_EQ(scroll_, 2);
  EXPECT_EQ(mnw.wheel, 0) << "used up";
  mnw.wheel = -10;
  draw();
  EXPECT_EQ(scroll_, 6) << "kept within the rows";
}

TEST_F(List, TheScrollBarShowsOnlyWithMoreThanOneRow) {
  idle_frame();
  draw(0, 0);
  EXPECT_EQ(texel_at(int(kX + kW + 16), int(kY)), nothing());
  draw(0, 6);
  EXPECT_FALSE(texel_at(int(kX + kW + 16), int(kY)) == nothing());
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(draw(3, 2), 0);
  EXPECT_EQ(texel_at(int(kX) + 1, int(kY)), nothing()) << "an empty range draws no list";
}

TEST_F(List, RowsShowTheirIcons) {
  scroll_ = 3;
  icons = {1, 3, 4, 5, 9, 10, 11};
  idle_frame();
  draw();
  // Row r's icon spans x 24..36 and 6 around its line, y 150 - 10 r; the
  // next row's icon covers its two lowest rows.
  const int columns[] = {34, 48, 62, 90, 104, 118, 132};
  for (int r = 0; r < 7; ++r)
    EXPECT_EQ(texel_at(int(kX) + 4, 150 - 10 * r - 4), atlas(columns[r], 84)) << r;
}

TEST_F(List, ATextFieldStandsBelowTheList) {
  std::string entry = "file";
  entry_ = &entry;
  frame(kX + 35 + 100, kY - 131 + 4, true);
  draw();
  type("s");
  idle_frame();
  draw();
  EXPECT_EQ(entry, "files");
}

}  // namespace
