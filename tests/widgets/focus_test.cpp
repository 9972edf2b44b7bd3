// The keyboard focus ring: Tab order, which keys a widget's mask takes, the
// queue bound and the draining rule shared by every focusable widget.
#include "widgets/focus.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/globals.h"

namespace {

// A widget kind's queue and the keys its widgets applied.
struct applied {
  int id, c, vkey, flags;
  bool operator==(const applied& o) const {
    return id == o.id && c == o.c && vkey == o.vkey && flags == o.flags;
  }
};

class Focus : public ::testing::Test {
 protected:
  void SetUp() override {
    mnw.cur_window = wind_main;
    BTN_reset_focus();
  }

  // Registers widgets of the test's kind, as they would while drawn.
  void ring(const std::vector<int>& ids, int mask = accept_letters) {
    BTN_begin_focus_ring();
    for (int id : ids) queue_.register_focus(id, mask, 0);
  }
  void drain(int id) {
    queue_.drain(id, focus_id == id, [&](int c, int vkey, int flags) {
      applied_.push_back({id, c, vkey, flags});
    });
  }

  BTN_key_queue queue_;
  std::vector<applied> applied_;
};

TEST_F(Focus, TabMovesAlongTheRingInDrawingOrder) {
  EXPECT_EQ(BTN_dispatch_to_focus(mac_tab, VYKO_VK_TAB, vyko_DownFlag), 0) << "empty ring";
  ring({11, 22, 33});
  struct {
    const char* what;
    int from, flags, taken, to;
  } cases[] = {
      {"no focus: the first widget", 0, vyko_DownFlag, 1, 11},
      {"the next one", 11, vyko_DownFlag, 1, 22},
      {"from the last to the first", 33, vyko_DownFlag, 1, 11},
      {"shift: from the first to the last", 11, vyko_DownFlag | vyko_ShiftFlag, 1, 33},
      {"an auto-repeat moves too", 22, 0, 1, 33},
      {"a release moves nothing", 22, vyko_UpFlag, 0, 22},
      {"a widget not drawn last frame loses the focus; Tab takes the first", 99, vyko_DownFlag, 1,
       11},
  };
  for (const auto& c : cases) {
    focus_id = c.from;
    EXPECT_EQ(BTN_dispatch_to_focus(mac_tab, VYKO_VK_TAB, c.flags), c.taken) << c.what;
    EXPECT_EQ(focus_id, c.to) << c.what;
  }
  ring({11});
  focus_id = 11;
  EXPECT_EQ(BTN_dispatch_to_focus(mac_tab, VYKO_VK_TAB, vyko_DownFlag), 1) << "one entry keeps it";
  EXPECT_EQ(focus_id, 11);
  // A widget that takes Tab gets it queued instead.
  ring({11, 22}, accept_tab);
  focus_id = 11;
  EXPECT_EQ(BTN_dispatch_to_focus(mac_tab, VYKO_VK_TAB, vyko_DownFlag), 1);
  EXPECT_EQ(focus_id, 11);
  EXPECT_EQ(queue_.ctr_slot, 1);
}

TEST_F(Focus, AWidgetTakesOnlyTheKeysItsMaskNames) {
  const int number = accept_nav | accept_digits | accept_sign;  // the number field's 208
  const int text = 500, list = 496;
  struct {
    const char* what;
    int mask, c, vkey, taken;
  } cases[] = {
      {"digit in a number field", number, '7', '7', 1},
      {"letter in a number field goes on to the bindings", number, 'a', 'A', 0},
      {"minus in a number field", number, '-', 177, 1},
      {"left arrow", number, mac_left, VYKO_VK_LEFT, 1},
      {"Page Down", number, mac_page_down, VYKO_VK_NEXT, 1},
      {"backspace in a number field", number, mac_back, VYKO_VK_BACK, 0},
      {"backspace in a text field", text, mac_back, VYKO_VK_BACK, 1},
      {"forward delete in a text field", text, mac_delete, VYKO_VK_DELETE, 1},
      {"backspace in a list", list, mac_back, VYKO_VK_BACK, 0},
      {"Return is never a widget's", text, mac_return, VYKO_VK_RETURN, 0},
      {"nor Enter", text, mac_enter, VYKO_VK_ENTER, 0},
      {"nor Escape", text, mac_escape, VYKO_VK_ESCAPE, 0},
      {"other printable character", text, '~', 186, 1},
      {"space", text, ' ', VYKO_VK_SPACE, 1},
      {"a letter with Control sends no character", text, 0, 'A', 0},
      {"a Latin-1 letter is not printable in the C locale", text, 0xE9, 0, 0},
      {"a negative char value is the same byte", text, -23, 0, 0},
  };
  for (const auto& c : cases) {
    ring({5}, c.mask);
    focus_id = 5;
    queue_.flush();
    EXPECT_EQ(BTN_dispatch_to_focus(c.c, c.vkey, vyko_DownFlag), c.taken) << c.what;
    EXPECT_EQ(queue_.ctr_slot, c.taken) << c.what;
  }
  focus_id = 0;
  EXPECT_EQ(BTN_dispatch_to_focus('a', 'A', vyko_DownFlag), 0) << "no widget focused";
}

TEST_F(Focus, TheAlertWindowTakesNoWidgetKeys) {
  ring({5});
  focus_id = 5;
  mnw.cur_window = wind_alert;
  EXPECT_EQ(BTN_dispatch_to_focus('a', 'A', vyko_DownFlag), 0);
  EXPECT_EQ(BTN_dispatch_to_focus(mac_tab, VYKO_VK_TAB, vyko_DownFlag), 0);
  EXPECT_EQ(focus_id, 5);
  EXPECT_EQ(queue_.ctr_slot, 0);
}

TEST_F(Focus, AFullQueueRefusesKeysInsteadOfWritingPastIt) {
  ring({5});
  focus_id = 5;
  for (int i = 0; i < BTN_key_queue::kCapacity; ++i)
    ASSERT_EQ(BTN_dispatch_to_focus('a', 'A', vyko_DownFlag), 1) << i;
  EXPECT_EQ(BTN_dispatch_to_focus('b', 'B', vyko_DownFlag), 0);
  EXPECT_EQ(queue_.ctr_slot, BTN_key_queue::kCapacity);
}

TEST_F(Focus, DrainingAppliesPressesOfTheFocusedWidgetOnly) {
  ring({5, 6});
  focus_id = 5;
  BTN_dispatch_to_focus('a', 'A', vyko_DownFlag);
  BTN_dispatch_to_focus('a', 'A', vyko_UpFlag);
  BTN_dispatch_to_focus('b', 'B', 0);  // an auto-repeat
  // Widget 5 is drawn again and drains its keys: the release is dropped.
  ring({5, 6});
  drain(5);
  EXPECT_EQ(applied_, (std::vector<applied>{{5, 'a', 'A', vyko_DownFlag}, {5, 'b', 'B', 0}}));
  EXPECT_EQ(queue_.ctr_slot, 0);

  // Keys for widget 6, which is drawn later: widget 5's drain leaves them.
  applied_.clear();
  focus_id = 6;
  BTN_dispatch_to_focus('c', 'C', vyko_DownFlag);
  ring({5, 6});
  drain(5);
  EXPECT_TRUE(applied_.empty());
  EXPECT_EQ(queue_.ctr_slot, 1) << "a key still pending keeps the counter";
  drain(6);
  EXPECT_EQ(applied_, (std::vector<applied>{{6, 'c', 'C', vyko_DownFlag}}));
  EXPECT_EQ(queue_.ctr_slot, 0);

  // Keys typed for a widget that lost the focus (Tab, a click elsewhere)
  // never land anywhere: not in it, not in the next one under its id.
  applied_.clear();
  focus_id = 5;
  BTN_dispatch_to_focus('d', 'D', vyko_DownFlag);
  BTN_dispatch_to_focus(mac_tab, VYKO_VK_TAB, vyko_DownFlag);
  ASSERT_EQ(focus_id, 6);
  ring({5, 6});
  drain(5);
  drain(6);
  EXPECT_TRUE(applied_.empty());
  EXPECT_EQ(queue_.ctr_slot, 0);
}

TEST_F(Focus, AKeyOnEveryFrameNeverFillsTheQueue) {
  for (int frame = 0; frame < 3 * BTN_key_queue::kCapacity; ++frame) {
    ring({5});
    focus_id = 5;
    ASSERT_EQ(BTN_dispatch_to_focus('a', 'A', vyko_DownFlag), 1) << "frame " << frame;
    ring({5});
    drain(5);
  }
  EXPECT_EQ(applied_.size(), size_t(3 * BTN_key_queue::kCapacity));
}

TEST_F(Focus, AWindowSwitchEmptiesEveryQueue) {
  ring({5});
  focus_id = 5;
  BTN_dispatch_to_focus('a', 'A', vyko_DownFlag);
  BTN_flush_key_queues();
  EXPECT_EQ(queue_.ctr_slot, 0);
  EXPECT_EQ(queue_.id_slot[0], 0);
}

TEST_F(Focus, IdsComeFromThePositionTruncated) {
  struct {
    float x, y;
    int id;
  } cases[] = {
      {10, 20, 20 + 10 * 8192}, {10.9f, 20.9f, 20 + 10 * 8192}, {0, 0, 0},
      {-1, 5, 5 - 8192},        {-3.5f, -2.5f, -2 - 3 * 8192},
  };
  for (const auto& c : cases) EXPECT_EQ(BTN_widget_id(c.x, c.y), c.id) << c.x << "," << c.y;
}

TEST_F(Focus, WindowClaimsAndTheFirstWidget) {
  EXPECT_EQ(BTN_no_focus_yet(), 1);
  BTN_window_has_focus();
  EXPECT_EQ(BTN_no_focus_yet(), 0);
  BTN_begin_focus_ring();
  EXPECT_EQ(wind_focus, 0) << "a window's claim lasts one frame";
  BTN_focus_any();
  EXPECT_EQ(focus_id, 0) << "an empty ring";
  ring({7, 8});
  BTN_focus_any();
  EXPECT_EQ(focus_id, 7);
  EXPECT_EQ(BTN_no_focus_yet(), 0);
}

}  // namespace
