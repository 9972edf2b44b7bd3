// The widget gallery: one window of every widget kind in each of its states,
// drawn with the built-in widget atlas and written as a PNG for review
// (docs/widgets.png, rewritten by the target nimbrel_gallery). The test
// checks that every widget left its mark in the place given to it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "installer/ins_texes.h"
#include "platform/frame.h"
#include "platform/menus.h"
#include "platform/startup.h"
#include "tests/draw/draw_fixture.h"
#include "tests/support/test_support.h"
#include "tests/widgets/widget_fixture.h"
#include "TEX/image_desc.h"
#include "TEX/png_io.h"
#include "widgets/buttons.h"
#include "widgets/focus.h"
#include "widgets/frames.h"
#include "widgets/list.h"
#include "widgets/number_fields.h"
#include "widgets/popup.h"
#include "widgets/sliders.h"
#include "widgets/text_entry.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

// A place on the canvas where a widget must have drawn something.
struct mark {
  std::string what;
  float l, b, r, t;  // canvas pixels
};

class Gallery : public draw_testing::DrawTest {
 protected:
  Gallery() : DrawTest(kWidth, kHeight) {}

  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    mnw.tex_res = 5;
    recall_ins_texes();
    MACIBM_take_interface_colours();
    // The pulsing colours at their brightest: a lit label, the caret.
    colr.set_pulse(1.0f);
    MACIBM_clear_menus(1);
    mnw.scale = 1;
    mnw.pixel_dx = kWidth;
    mnw.pixel_dy = kHeight;
    mnw.open_menu = -1;
    widget_testing::reset_widgets();
  }

  // Makes (x, y, w, h) of the canvas the current window and frames it.
  void window(float x, float y, float w, float h, const std::string& title, int active = 1) {
    mnw.origin_x = x;
    mnw.origin_y = y;
    mnw.window_dx = w;
    mnw.window_dy = h;
    stls.window_title = title;
    BTN_fillwin(active, kFillwinBare);
  }

  // The mouse, in units of the current window, for this frame.
  static void mouse(float x, float y, int down = 0, int held = 0) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = down;
    mnw.mouse_held = held;
  }

  // Records where the current window's rectangle l, b, r, t lies on the canvas.
  void expect_drawn(const std::string& what, float l, float b, float r, float t) {
    marks_.push_back(
        {what, l + mnw.origin_x, b + mnw.origin_y, r + mnw.origin_x, t + mnw.origin_y});
  }

  void draw_buttons() {
    window(10, 398, 330, 360, "Buttons and boxes");
    int tab = 1;
    BTN_tab(0, 0, &tab, 0, "General");
    BTN_tab(1, 0, &tab, 1, "Network");
    BTN_tab(2, 0, &tab, 2, "Display");
    expect_drawn("tabs", 10, 310, 320, 330);
    mouse(-100, -100);
    BTN_action(85, 270, 0, 0, 0, "Install", "-");
    BTN_action(235, 270, 0, 1, 0, "Pressed", "-");
    BTN_action(85, 235, 120, 1, 2, "Lit label", "-");
    BTN_action(235, 235, 100, 0, 0, "Wide", "-");
    BTN_action(60, 200, 0, 0, 0, "Help", "a note beside it");
    expect_drawn("buttons", 40, 262, 280, 278);
    int off = 0, on = 1, radio = 1;
    BTN_bool(30, 160, &off, "|Unticked", 0);
    BTN_bool(30, 140, &on, "|Ticked", 0);
    BTN_is_int(190, 160, &radio, 0, "|Radio off");
    BTN_is_int(190, 140, &radio, 1, "|Radio on");
    expect_drawn("check boxes", 21, 134, 39, 170);
    BTN_util_draw_label(20, 100, 2, "A label long enough to break in two lines", 0);
    BTN_util_draw_label(310, 70, 0, "Label ending here", 0);
    BTN_util_draw_label(165, 45, 1, "Centred label", 1);
    expect_drawn("labels", 20, 90, 200, 110);
    BTN_zap_boxes(1);
  }

  void draw_values() {
    window(350, 398, 330, 360, "Numbers and text");
    mouse(-100, -100);
    int port = 8080;
    BTN_int_range(120, 300, &port, 5, 0, 65535, "Port|units");
    // The focused field's hot digit comes from a press on its third cell.
    float ratio = 123.4f;
    mouse(120 + 2 + 25, 250, 1, 1);
    BTN_flt_range(120, 250, &ratio, 4, 1, 0, 999, "Focused|hot digit");
    mouse(-100, -100);
    char code[] = "N1234";
    BTN_chars(120, 200, code, 5, "Characters");
    BTN_display_number(120, 160, 42.5f, 4, 1, "Read-only|value");
    expect_drawn("number fields", 120, 296, 170, 310);
    std::string host = "proxy.example.net", selected = "selected text", caret = "caret after this";
    BTN_enterstring(80, 115, &host, 65, "Field", 200, 0);
    focus_id = BTN_widget_id(80, 90);
    BTN_enterstring(80, 90, &selected, 65, "Selected", 200, 0);
    // Gaining the focus selects the whole text (drawn out of sight); the Right
    // key of the next frame leaves the caret at its end.
    focus_id = BTN_widget_id(80, 65);
    mnw.origin_x -= 5000;
    BTN_enterstring(80, 65, &caret, 65, "Caret", 200, 0);
    mnw.origin_x += 5000;
    BTN_dispatch_to_focus(mac_right, VYKO_VK_RIGHT, vyko_DownFlag);
    BTN_begin_focus_ring();
    BTN_enterstring(80, 65, &caret, 65, "Caret", 200, 0);
    expect_drawn("text fields", 80, 60, 280, 120);
    OGL_boxed_string(165, 25, "Boxed|string", "value in a box", charset_ui, colr_path_text);
    expect_drawn("boxed string", 130, 22, 200, 34);
  }

  static std::string row_name(int row, void*) {
    static const char* const names[] = {"Aircraft",     "Airfoils", "Custom Scenery", "Global",
                                        "Instructions", "Output",   "Plugins",        "Resources",
                                        "Weather",      "Log.txt",  "Readme.txt",     "Updater"};
    return names[row % 12];
  }
  static std::string row_detail(int row, void*) { return std::to_string(row * 37 % 500) + " KB"; }
  static int row_icon(int row, void*) {
    static const int icons[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 3, 4, 5};
    return icons[row % 12];
  }

  void draw_sliders_and_list() {
    window(690, 398, 324, 360, "Sliders and list");
    mouse(-100, -100);
    int scroll = 5, selection = 6;
    focus_id = BTN_widget_id(15, 215);
    BTN_list_and_search(0, 15, 215, 220, 200, &scroll, &selection, 0, 11, nullptr, "", row_name,
                        nullptr, nullptr, nullptr, row_icon, nullptr);
    expect_drawn("list", 20, 200, 200, 230);
    int grabbed = 40;
    mouse(292, 200, 0, 1);
    BTN_vert_slider(1, 292, 115, 315, 0, 100, &grabbed);
    mouse(-100, -100);
    expect_drawn("scroll bars", 283, 120, 301, 310);
    float level = 0.65f, fixed = 0.3f;
    BTN_horz_slider(40, 75, 200, colr_path_text, 0, 1, &level, 1, "Low|High", "Editable");
    BTN_horz_slider(40, 35, 200, colr_success, 0, 1, &fixed, 0, "|", "Shown only");
    expect_drawn("horizontal sliders", 40, 70, 240, 80);
  }

  void draw_popups() {
    window(10, 100, 420, 288, "Pop-up selector and dial");
    mouse(-100, -100);
    int closed = 1, open = 2;
    BTN_textlist(120, 220, &closed, "Automatic-One stream-Two streams-Four streams", "Closed|");
    expect_drawn("closed selector", 80, 215, 170, 230);
    // Opened by a press on its box; the shell draws the list on top.
    mouse(120, 150, 1, 1);
    BTN_textlist(120, 150, &open, "Automatic-One stream-Two streams-Four streams", "Open|");
    mouse(110, 145);
    standard_gui();
    expect_drawn("open list", 70, 130, 160, 170);
    mnw.open_menu = -1;
    active_popup_code = 0;
    mouse(-100, -100);
    float heading = 60;
    plot_dir(260, 60, &heading, 0);
    expect_drawn("dial", 245, 45, 275, 75);
  }

  void draw_frames() {
    window(440, 10, 574, 378, "Frames", 0);
    mouse(-100, -100);
    BTN_frame2(frame_panel, 15, 230, 120, 100, "Panel");
    BTN_frame2(frame_panel_dark, 150, 230, 120, 100, "Dark panel");
    BTN_frame2(frame_text_panel, 285, 230, 120, 100, "Text panel");
    BTN_frame2(frame_box, 420, 230, 120, 100, "Box");
    BTN_frame2(frame_box_small, 15, 130, 120, 60, "Small box");
    BTN_frame2(frame_installer_panel, 150, 130, 120, 60, "Installer panel");
    BTN_frame2(frame_menu_list, 290, 135, 110, 50, "");
    expect_drawn("panels", 20, 240, 530, 320);
    BTN_frame1(frame_progress_track, 140, 85, 240, colr_white);
    BTN_frame1(frame_progress_fill, 85, 85, 130, colr_white);
    BTN_frame1(frame_button, 330, 85, 100, colr_white);
    BTN_frame1(frame_button_pressed, 450, 85, 100, colr_white);
    BTN_frame1(frame_value_box, 140, 45, 240, colr_white);
    BTN_frame1(frame_popup_box, 330, 45, 110, colr_white);
    BTN_frame1(frame_slider_track, 470, 45, 120, colr_white);
    BTN_frame0(frame_scroll_track, 540, 160, 120);
    expect_drawn("bars", 30, 80, 500, 90);
  }

  // Hover help rests beside the mouse once it has stayed still a second; its
  // box sits 415 units left of the mouse and 15 above it.
  void draw_hover_help() {
    mnw.origin_x = mnw.origin_y = 10;
    stls.help_text =
        "Hover help: the help part of a widget's label, shown in a box beside the "
        "mouse once it has rested for a second.";
    xtim.act_time = 10;
    mnw.mouse_move_time = 0;
    mouse(420, -5);
    mouse_help_per_wind(wind_prefs);
    expect_drawn("hover help", 0, 10, 400, 60);
  }

  std::vector<mark> marks_;
};

TEST_F(Gallery, EveryWidgetKindIsDrawnInItsStates) {
  // The window ids of the gallery are modal: their frames carry close boxes.
  mnw.cur_window = wind_prefs;
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_plot_back_col();
  draw_buttons();
  draw_values();
  draw_sliders_and_list();
  draw_popups();
  draw_frames();
  draw_hover_help();
  glFinish();

  const draw_testing::rgba back = pixel(kWidth - 1, kHeight / 2);
  for (const mark& m : marks_) {
    int differing = 0, total = 0;
    for (int y = int(m.b); y < int(m.t); y += 2)
      for (int x = int(m.l); x < int(m.r); x += 2, ++total) differing += pixel(x, y) != back;
    EXPECT_GT(differing, total / 20) << m.what << " left nothing in its place";
  }

  std::vector<unsigned char> pixels(size_t(kWidth) * kHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
  TEX_image_desc desc;
  desc.format = GL_RGBA;
  desc.dx = kWidth;
  desc.dy = kHeight;
  const char* out = getenv("NIMBREL_GALLERY_OUT");
  const std::string path = out && *out ? out : std::string(NIMBREL_BINARY_DIR) + "/widgets.png";
  ASSERT_EQ(TEX_save_png(path.c_str(), desc, pixels.data()), 1) << path;
  EXPECT_GT(testing_support::read_file(path).size(), 10000u);
}

}  // namespace
