// The widgets driven a frame at a time on a real context: mnw gets this
// frame's mouse, the focus ring starts afresh, and keys go through the same
// hand-off the key handling uses. The widget atlas slot holds the coded atlas
// of the drawing tests made opaque throughout, so every drawn pixel tells
// which atlas texel landed there.
#pragma once

#include <gtest/gtest.h>

#include "core/globals.h"
#include "draw/colors.h"
#include "tests/draw/draw_fixture.h"
#include "widgets/focus.h"
#include "widgets/list.h"
#include "widgets/number_fields.h"
#include "widgets/opensave.h"
#include "widgets/popup.h"
#include "widgets/sliders.h"
#include "widgets/text_entry.h"

namespace widget_testing {

// Every widget module back as at start-up.
inline void reset_widgets() {
  BTN_reset_focus();
  BTN_reset_text_entry();
  BTN_reset_popup();
  BTN_reset_sliders();
  BTN_reset_list();
  BTN_reset_number_fields();
  BTN_reset_opensave();
}

class WidgetTest : public draw_testing::AtlasTest {
 protected:
  void SetUp() override {
    AtlasTest::SetUp();
    tman.unload_texture(tex_slot_widgets);
    for (size_t i = 3; i < size_t(512) * 512 * 4; i += 4) scratch_array[i] = 255;
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_widgets,
                                2 | tex_flag_full_res | tex_flag_carried, tex_load_now,
                                "scratch_array:opaque atlas"),
              tex_slot_widgets);
    glBindTexture(GL_TEXTURE_2D, GLuint(tman.record(tex_slot_widgets).tex));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    TEX_reset_bind();
    // The interface colours white, so text passes the atlas's code unchanged.
    for (int c = colr_ui_first; c <= colr_ui_last; ++c) colr.assign(c, 1, 1, 1);
    colr.assign(colr_pulse_red, 1, 1, 1);
    mnw.scale = 1;
    mnw.open_menu = -1;
    mnw.cur_window = wind_main;
    mnw.window_dx = float(width_);
    mnw.window_dy = float(height_);
    mnw.mouse_down = mnw.mouse_held = mnw.mouse_long_hold = mnw.mouse_double = 0;
    mnw.wheel = 0;
    mnw.cursor_kind = 0;
    reset_widgets();
    stls.help_text.clear();
  }

  // Starts a frame with the mouse at (x, y), pressed this frame when down; a
  // press holds the button, as the clock makes it.
  static void frame(float x, float y, bool down = false, bool held = false) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = down ? 1 : 0;
    mnw.mouse_held = down || held ? 1 : 0;
    // A press drops the focus before the widgets draw, as the clock does.
    if (down) BTN_unfocus_any();
    BTN_begin_focus_ring();
  }
  // The atlas texel (s, t) as the pixel reads it.
  static draw_testing::texel atlas(int s, int t) { return {s, t}; }
  static draw_testing::texel nothing() { return {}; }

  // A frame with the mouse far from every widget.
  static void idle_frame() { frame(-1000, -1000); }

  static int key(int c, int vkey, int flags = vyko_DownFlag) {
    return BTN_dispatch_to_focus(c, vkey, flags);
  }
  // Printable characters, one press each.
  static void type(const char* text) {
    for (const char* p = text; *p; ++p) key(*p, 0);
  }
};

}  // namespace widget_testing
