// The pop-up selector and its handshake with the shell's pop-up menu slot
// over frames: the shell's click handler runs on a press before the widgets
// draw, as the frame does.
#include "widgets/popup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/frame.h"
#include "platform/menus.h"
#include "tests/widgets/widget_fixture.h"

namespace {

using widget_testing::WidgetTest;

const char* const kItems = "Alpha-Bravo-Charlie";

class Popup : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    MACIBM_clear_menus(1);
    // The shell's own window height: the list keeps below it.
    mnw.pixel_dy = 768;
  }

  // One frame: a press goes to the shell first, then the selectors draw.
  static void press(float x, float y) {
    frame(x, y, true);
    MACIBM_handleclick(0);
  }
  static const menu_struct& slot() { return menu[kPopupMenuSlot]; }
  static std::vector<float> rows_bottoms() {
    std::vector<float> b;
    for (const menu_item& i : slot().items) b.push_back(i.b);
    return b;
  }
};

TEST_F(Popup, ItemsSplitAtDashesAndTheSelectionIsKeptInRange) {
  int selection = 7;
  idle_frame();
  EXPECT_EQ(BTN_textlist(100, 100, &selection, kItems, ""), 0);
  EXPECT_EQ(selection, 2) << "shown as the third";
  // An empty list is one empty item in a 28-unit box: its hit box is
  // 110 +- 15.
  int empty = 0;
  press(95, 100);
  BTN_textlist(100, 100, &empty, "", "");
  EXPECT_EQ(active_popup_code, BTN_popup_id(100, 100));
  active_popup_code = 0;
  mnw.open_menu = -1;
  press(94.9f, 100);
  BTN_textlist(100, 100, &empty, "", "");
  EXPECT_EQ(active_popup_code, 0);
}

TEST_F(Popup, AChoiceTravelsFromTheListToTheSelectorThatOpenedIt) {
  int first = 1, second = 0;
  auto draw = [&] {
    int a = BTN_textlist(100, 100, &first, kItems, "");
    int b = BTN_textlist(100, 200, &second, kItems, "");
    return a * 10 + b;
  };
  press(100, 100);  // frame n: the press opens the first selector's list
  EXPECT_EQ(draw(), 0);
  EXPECT_EQ(active_popup_code, BTN_popup_id(100, 100));
  EXPECT_EQ(mnw.open_menu, kPopupMenuSlot);
  // Rows run down 12 each, the selected one (Bravo) level with the box.
  EXPECT_EQ(rows_bottoms(), (std::vector<float>{109, 97, 85}));
  EXPECT_EQ(slot().b, 88);
  EXPECT_EQ(slot().t, 124);
  EXPECT_EQ(slot().items[2].text, "Charlie");

  idle_frame();  // frame n + 1: still open
  EXPECT_EQ(draw(), 0);
  EXPECT_EQ(mnw.open_menu, kPopupMenuSlot);

  press(100, 90);  // frame m: a press on Charlie
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(mnw.mouse_down, 0) << "the shell took the press";
  EXPECT_EQ(draw(), 10) << "only the first selector takes the choice";
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(select_popup_code, 0);
}

TEST_F(Popup, APressOnTheBoxOfAnOpenListKeepsItOpen) {
  int selection = 0;
  active_popup_code = BTN_popup_id(100, 100);
  frame(100, 100, true);
  BTN_textlist(100, 100, &selection, kItems, "");
  EXPECT_EQ(active_popup_code, BTN_popup_id(100, 100));
}

TEST_F(Popup, AListNearTheEdgeMovesWithoutChangingTheCallersValue) {
  // Five rows from the selected one down: at y 20 the last ones fall below 0.
  int selection = 0;
  press(100, 20);
  std::vector<float> before;
  for (int f = 0; f < 6; ++f) {
    BTN_textlist(100, 20, &selection, "a-b-c-d-e", "");
    if (f == 0) before = rows_bottoms();
    EXPECT_EQ(selection, 0) << "frame " << f;
    idle_frame();
  }
  EXPECT_EQ(before.back(), -31);
  EXPECT_GE(rows_bottoms().back(), 0) << "moved back into the window, a row a frame";
  EXPECT_EQ(rows_bottoms().front() - before.front(), 36);
  // The row picked is still the item under the mouse.
  press(100, rows_bottoms()[3] + 5);
  EXPECT_EQ(BTN_textlist(100, 20, &selection, "a-b-c-d-e", ""), 1);
  EXPECT_EQ(selection, 3);
}

TEST_F(Popup, APressOutsideTheListCancelsIt) {
  int selection = 1;
  press(100, 100);
  BTN_textlist(100, 100, &selection, kItems, "");
  ASSERT_EQ(mnw.open_menu, kPopupMenuSlot);
  // On the box's arrow, right of the rows: the list closes and the same
  // press does not open it again.
  press(130, 100);
  EXPECT_EQ(mnw.mouse_down, 1) << "the press still reaches the application";
  EXPECT_EQ(BTN_textlist(100, 100, &selection, kItems, ""), 0);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.open_menu, -1);
  idle_frame();
  popup_cancel_code = 0;  // what the next frame's start does
  BTN_textlist(100, 100, &selection, kItems, "");
  EXPECT_EQ(mnw.open_menu, -1) << "closed for good";
  EXPECT_EQ(selection, 1);
}

TEST_F(Popup, AWindowSwitchForgetsTheList) {
  active_popup_code = 123;
  select_popup_code = 456;
  MACIBM_startwind(wind_main);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(select_popup_code, 0);
}

TEST_F(Popup, BarsInItemsAndTooManyItemsEndTheProgram) {
  int selection = 0;
  idle_frame();
  EXPECT_EXIT(BTN_textlist(100, 100, &selection, "a|b", ""), testing::ExitedWithCode(1),
              "Found \\| char in text string!");
  const std::string most(299, '-'), too_many(300, '-');
  BTN_textlist(100, 100, &selection, most, "");
  EXPECT_EXIT(BTN_textlist(100, 100, &selection, too_many, ""), testing::ExitedWithCode(1),
              "BTN_text_list overflow!");
}

TEST_F(Popup, TheShellDrawsTheListUnlessNoRowHasText) {
  int selection = 0;
  press(100, 100);
  BTN_textlist(100, 100, &selection, "--", "");
  standard_gui();
  // The box a list with no text would get stands at the window's corner.
  EXPECT_EQ(texel_at(0, 0), nothing()) << "rows without text: no box";
  EXPECT_EQ(texel_at(5, 1), nothing());
  mnw.open_menu = -1;
  active_popup_code = 0;
  press(100, 100);
  BTN_textlist(100, 100, &selection, kItems, "");
  glClear(GL_COLOR_BUFFER_BIT);
  standard_gui();
  // The rows' frame (kind 17) starts 8 left of and 13 below the rows' box.
  EXPECT_EQ(texel_at(int(m_x1) - 8, int(m_y1) - 13), atlas(70, 315));
}

TEST_F(Popup, ClosedSelectorsShowTheirHelp) {
  int selection = 0;
  frame(100, 100);
  BTN_textlist(100, 100, &selection, kItems, "Speed{ how fast");
  EXPECT_EQ(stls.help_text, "how fast");
}

}  // namespace
