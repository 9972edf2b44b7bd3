// The framework's menus: menu files read into the table, clicks routed
// through the real frame (offscreen window), and the open menu drawn on an
// offscreen context from the coded atlas, whose texels name their place.
//
// Contents
//   [SECTION] Menu files and the table
//   [SECTION] Clicks through the frame
//   [SECTION] Drawing
#include "platform/menus.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/globals.h"
#include "draw/font_widths.h"
#include "draw/text.h"
#include "platform/frame.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "tests/draw/draw_fixture.h"
#include "tests/support/shell_input.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using draw_testing::rgba;
using draw_testing::texel;
using testing_support::TempFolderTest;
using testing_support::write_file;

namespace {

// File, Edit, and File's "Recent" submenu, with a separator, an item that
// cannot be chosen, blank lines and a CR LF line among them.
const char* const kMenuFile =
    "I\n1 version\n"
    "0 File\n1 Open...\n2 Recent\n0 -\n3 =Locked\n\n4 Quit\n-\n"
    "0 Edit\r\n10 Undo\n-\n"
    "1 Recent\n20 First\n21 Second\n-\n";

int width_of(const std::string& text) {
  int w = 0;
  for (unsigned char c : text) w += OGL_glyph_width(c);
  return w;
}

// Fills the pop-up slot as the pop-up selector does: rows of 12 units
// downwards from the one at `first_b`, all from l to r.
void fill_popup(float l, float r, float first_b, const std::vector<std::string>& texts) {
  menu_struct& p = menu[1519];
  p.parent = -1;
  p.l = l;
  p.r = r;
  p.t = first_b + 12;
  p.b = first_b - 12 * static_cast<float>(texts.size() - 1);
  p.items.clear();
  for (size_t i = 0; i < texts.size(); ++i) {
    menu_item it;
    it.text = texts[i];
    it.l = l;
    it.r = r;
    it.b = first_b - 12 * static_cast<float>(i);
    it.t = it.b + 12;
    p.items.push_back(it);
  }
}

// [SECTION] Menu files and the table

class MenuFile : public TempFolderTest {
 protected:
  MenuFile() : TempFolderTest("menus") {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    // A fatal alert reports on the standard error stream instead of a box.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    mnw.pixel_dy = 768;
    mnw.lang = 0;
    g_menus.reset();
    MACIBM_clear_menus(1);
  }
  // Writes a menu file of the current language and reads it.
  void read(const std::string& body, const char* language = "english") {
    const std::string folder = dir + "menus/" + language + "/";
    testing_support::run_command("mkdir -p '" + folder + "'");
    write_file(folder + "bar.txt", body);
    MACIBM_read_menus(dir, "bar.txt");
  }
};

TEST_F(MenuFile, BarMenusSubmenusSeparatorsAndLockedItems) {
  read(kMenuFile);
  const menu_struct &file = menu[0], &edit = menu[1], &recent = menu[2];
  EXPECT_EQ(file.title, "File");
  EXPECT_EQ(file.parent, -1);
  EXPECT_EQ(file.l, 0);
  EXPECT_EQ(file.r, width_of("File") + 30);
  EXPECT_EQ(file.b, 750);
  EXPECT_EQ(file.t, 768);
  EXPECT_EQ(edit.title, "Edit");
  EXPECT_EQ(edit.parent, -1);
  EXPECT_EQ(edit.l, file.r) << "bar titles follow each other";
  EXPECT_EQ(edit.r, file.r + width_of("Edit") + 30);

  ASSERT_EQ(file.items.size(), 5u);
  struct {
    const char* text;
    int id;
    float b, t;
  } rows[] = {{"Open...", 1, 736, 748},
              {"Recent", 2, 724, 736},
              {"-", 0, 722, 724},
              {"=Locked", 3, 710, 722},
              {"Quit", 4, 698, 710}};
  const float r = static_cast<float>(width_of("=Locked") + 30);
  for (size_t i = 0; i < 5; ++i) {
    const menu_item& item = file.items[i];
    EXPECT_EQ(item.text, rows[i].text) << i;
    EXPECT_EQ(item.id, rows[i].id) << i;
    EXPECT_EQ(item.b, rows[i].b) << i;
    EXPECT_EQ(item.t, rows[i].t) << i;
    EXPECT_EQ(item.l, 0) << i;
    EXPECT_EQ(item.r, r) << "one width for all items: the widest text + 30";
    EXPECT_EQ(item.multibyte, 0);
  }

  EXPECT_EQ(recent.title, "Recent");
  EXPECT_EQ(recent.parent, 0);
  EXPECT_EQ(recent.b, file.items[1].b) << "the submenu sits on the row that opens it";
  EXPECT_EQ(recent.t, file.items[1].t);
  ASSERT_EQ(recent.items.size(), 2u);
  EXPECT_EQ(recent.items[0].b, file.items[1].b - 2) << "its first row level with that row";
  EXPECT_EQ(recent.items[1].t, recent.items[0].b);
  EXPECT_EQ(menu[3].parent, -2) << "slots the file does not name stay unused";

  // A second file numbers its menus from 0 again and leaves no stale items.
  read("I\n1 version\n0 Go\n7 Home\n-\n");
  EXPECT_EQ(menu[0].title, "Go");
  ASSERT_EQ(menu[0].items.size(), 1u);
  EXPECT_EQ(menu[0].items[0].id, 7);
  EXPECT_EQ(menu[1].title, "Edit") << "the file adds to the table";
}

TEST_F(MenuFile, OddLinesTitlesAndKorean) {
  const std::string forty(40, 'T');
  // A number without text, a last menu without its closing line.
  read("I\n1 version\n0 " + forty + "X\n9\n5   spaced\n-\n0 " + forty + "\n1 Last");
  EXPECT_EQ(menu[0].title, forty) << "41 characters lose the last";
  EXPECT_EQ(menu[1].title, forty) << "40 stay whole";
  ASSERT_EQ(menu[0].items.size(), 2u);
  EXPECT_EQ(menu[0].items[0].id, 9);
  EXPECT_EQ(menu[0].items[0].text, "");
  EXPECT_EQ(menu[0].items[1].text, "spaced");
  ASSERT_EQ(menu[1].items.size(), 1u);
  EXPECT_EQ(menu[1].items[0].text, "Last");

  EXPECT_EQ(menu_dx("Wi"), 14);
  EXPECT_EQ(menu_dx("mm"), 20);

  // Korean texts are written as character codes; every byte is 8 wide.
  mnw.lang = 6;
  read("I\n1 version\n0 65 66\n3 300 301\n-\n", "korean");
  const std::string title = menu[0].title, item = menu[0].items[0].text;
  EXPECT_EQ(title, std::string({1, 66, 1, 67}));
  EXPECT_EQ(menu[0].r - menu[0].l, 8 * 4 + 30);
  EXPECT_EQ(menu[0].items[0].multibyte, 1);
  EXPECT_EQ(menu[0].items[0].t - menu[0].items[0].b, 14);
  EXPECT_EQ(item.size(), 4u);
  mnw.lang = 0;
}

TEST_F(MenuFile, ItemsAreRemovedAndTheRestMovesUp) {
  read(kMenuFile);
  const float quit_b = menu[0].items[4].b;
  MACIBM_remove_menu_item(0, 2);  // the 2-unit separator
  ASSERT_EQ(menu[0].items.size(), 4u);
  EXPECT_EQ(menu[0].items[2].text, "=Locked");
  EXPECT_EQ(menu[0].items[3].b, quit_b + 2);
  // Past the count, negative indexes: refused without a trace.
  MACIBM_remove_menu_item(0, 4);
  MACIBM_remove_menu_item(0, -1);
  MACIBM_remove_menu_item(-3, 0);
  MACIBM_append_menu(-1, 0, 1, "x", 0);
  MACIBM_clear_menu(1520);
  MACIBM_clear_items(-1);
  EXPECT_EQ(menu[0].items.size(), 4u);
  EXPECT_EQ(menu.size(), 1520u);
  MACIBM_clear_items(0);
  EXPECT_TRUE(menu[0].items.empty());
  EXPECT_EQ(menu[0].title, "File");
}

TEST_F(MenuFile, MisuseIsFatal) {
  const std::string long_text(40, 'x');
  struct {
    const char* what;
    std::string file;
    const char* message;
  } cases[] = {
      {"no file", "", "Cannot open file!"},
      {"wrong version", "I\n2 version\n0 File\n-\n", "Cannot open file!"},
      {"item text of 40", "I\n1 version\n0 File\n1 " + long_text + "\n-\n",
       "Menu name too long in append_menu!"},
      {"submenu of an item that is not there", "I\n1 version\n0 File\n1 Open\n-\n5 Sub\n-\n",
       "Menu index out of range in create_menu!"},
      {"submenu of a menu that is not there", "I\n1 version\n600000 Sub\n-\n",
       "Menu index out of range in create_menu!"},
      {"negative code", "I\n1 version\n-1 Sub\n-\n", "Menu index out of range in create_menu!"},
  };
  for (const auto& c : cases) {
    if (c.file.empty()) {
      EXPECT_EXIT(MACIBM_read_menus(dir, "none.txt"), ::testing::ExitedWithCode(1), c.message)
          << c.what;
    } else {
      EXPECT_EXIT(read(c.file), ::testing::ExitedWithCode(1), c.message) << c.what;
    }
  }
  EXPECT_EXIT(MACIBM_create_menu(1520, 0, "x"), ::testing::ExitedWithCode(1),
              "Menu index out of range in create_menu!");
  EXPECT_EXIT(MACIBM_create_menu(-1, 0, "x"), ::testing::ExitedWithCode(1),
              "Menu index out of range in create_menu!");
  EXPECT_EXIT(MACIBM_append_menu(1520, 0, 0, "x", 0), ::testing::ExitedWithCode(1),
              "Menu index out of range in append_menu!");
  EXPECT_EXIT(MACIBM_append_menu(0, 300, 0, "x", 0), ::testing::ExitedWithCode(1),
              "Item index out of range in append_menu!");
  EXPECT_EXIT(MACIBM_remove_menu_item(0, 300), ::testing::ExitedWithCode(1),
              "Item index out of range");
}

// [SECTION] Clicks through the frame

std::vector<int> g_chosen;

class MenuClicks : public MenuFile {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MenuFile::SetUp());
    mnw.pixel_dx = 1024;
    ASSERT_EQ(MACIBM_make_context(0), 1) << SDL_GetError();
    mnw.cur_window = -1;
    MACIBM_startwind(-1);
    // Frames without a press read the mouse from SDL: keep it off the bar.
    SDL_WarpMouseInWindow(static_cast<SDL_Window*>(mnw.main_window), 600, 600);
    MACIBM_event_proc();
    read(kMenuFile);
    g_chosen.clear();
    g_app_hooks.handlemenu = [](int id) { g_chosen.push_back(id); };
  }
  void TearDown() override {
    g_app_hooks.handlemenu = app_hooks{}.handlemenu;
    MACIBM_nuke_context(0);
    PLAT_video_quit();
    TempFolderTest::TearDown();
  }
  // A press at a point of the window (y up) in its own frame.
  static void click(float x, float y) {
    testing_support::push_button(SDL_MOUSEBUTTONDOWN, x, y);
    MACIBM_event_proc();
  }
  static void click_in(const menu_struct& m) { click(m.l + 5, m.b + 5); }
  static void click_in(const menu_item& i) { click(i.l + 5, (i.b + i.t) / 2); }
};

TEST_F(MenuClicks, TitlesOpenAndCloseItemsReachTheApplication) {
  click_in(menu[0]);
  EXPECT_EQ(mnw.open_menu, 0);
  EXPECT_EQ(mnw.mouse_down, 0) << "the application does not see the press";
  click_in(menu[0].items[0]);
  EXPECT_EQ(g_chosen, std::vector<int>{1});
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(mnw.mouse_down, 0);

  // The title of the open menu closes it; another title switches.
  click_in(menu[0]);
  click_in(menu[0]);
  EXPECT_EQ(mnw.open_menu, -1);
  click_in(menu[0]);
  click_in(menu[1]);
  EXPECT_EQ(mnw.open_menu, 1);
  click_in(menu[1].items[0]);
  EXPECT_EQ(g_chosen, (std::vector<int>{1, 10}));

  // The row that opens a submenu opens it; its items are chosen there.
  click_in(menu[0]);
  click_in(menu[0].items[1]);
  EXPECT_EQ(mnw.open_menu, 2);
  click_in(menu[2].items[1]);
  EXPECT_EQ(g_chosen, (std::vector<int>{1, 10, 21}));
}

TEST_F(MenuClicks, SeparatorsLockedItemsAndEmptyPlacesChooseNothing) {
  for (int item : {2, 3}) {
    click_in(menu[0]);
    click_in(menu[0].items[item]);
    EXPECT_EQ(mnw.open_menu, -1) << item;
    EXPECT_EQ(mnw.mouse_down, 1) << "the press reaches the application";
  }
  EXPECT_TRUE(g_chosen.empty());
  // A cleared slot lies at no place: a press at (0, 0) opens nothing.
  MACIBM_clear_menu(1);
  click(0, 0);
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(mnw.mouse_down, 1);
}

TEST_F(MenuClicks, HoveringOverAnotherTitleSwitchesMenus) {
  // Where a pop-up list was: its rectangle stays until the next window switch.
  fill_popup(400, 500, 440, {"gone"});
  click_in(menu[0]);
  SDL_WarpMouseInWindow(static_cast<SDL_Window*>(mnw.main_window), 450, 768 - 450);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.open_menu, 0) << "the pop-up's place is no bar title";
  SDL_WarpMouseInWindow(static_cast<SDL_Window*>(mnw.main_window), static_cast<int>(menu[1].l) + 5,
                        5);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.open_menu, 1);
}

TEST_F(MenuClicks, PopUpSlotHandsTheChoiceToItsSelector) {
  // What the pop-up selector does while its list is open, frame after frame.
  auto fill = [] {
    fill_popup(300, 380, 324, {"one", "two", "three"});
    active_popup_code = 4242;
    mnw.open_menu = 1519;
  };
  fill();
  MACIBM_event_proc();
  fill();
  click(310, 306);  // the third item
  EXPECT_EQ(popup_menu_select, 2);
  EXPECT_EQ(select_popup_code, 4242);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(mnw.mouse_down, 0);
  EXPECT_TRUE(g_chosen.empty()) << "no bar-menu item was chosen";

  // A press beside the list closes it and still reaches the application.
  select_popup_code = 0;
  fill();
  click(600, 600);
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(mnw.mouse_down, 1);
  EXPECT_EQ(select_popup_code, 0);
}

// [SECTION] Drawing

class MenuDrawing : public draw_testing::AtlasTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(AtlasTest::SetUp());
    mnw.lang = 0;
    g_menus.reset();
    MACIBM_clear_menus(1);
    MACIBM_create_menu(0, 0, "File");
    MACIBM_append_menu(0, 0, 1, "Open", 0);
    MACIBM_append_menu(0, 1, 2, "Recent", 0);
    MACIBM_append_menu(0, 2, 0, "-", 0);
    MACIBM_append_menu(0, 3, 3, "=Locked", 0);
    MACIBM_create_menu(1, 0, "Edit");
    MACIBM_create_menu(2, 1, "Recent");
    // Distinct colours; text white, so its texels read back unchanged.
    colr.assign(colr_menu_text, 1, 1, 1);
    colr.assign(colr_line_dark, 0.2f, 0, 0);
    colr.assign(colr_frame_fill, 0, 0.6f, 0);
    colr.assign(colr_line_light, 0.4f, 0.4f, 0);
    mnw.mouse_x = mnw.mouse_y = -100;
  }

  using frame = std::vector<unsigned char>;
  frame read_frame() const {
    frame f(size_t(width_) * height_ * 4);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, f.data());
    return f;
  }
  frame draw_menus() {
    glClear(GL_COLOR_BUFFER_BIT);
    standard_gui();
    return read_frame();
  }
  // The text drawn alone where the menu should draw it: every glyph texel
  // of that drawing in the rows from `bottom` to `top` (the coded atlas
  // fills whole glyph cells, so the rows of touching items overlap) must be
  // in the menu's frame at the same place.
  void expect_text(const frame& menus, const std::string& text, float x, float y, float bottom,
                   float top) {
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_string(colr_menu_text, x, y, text, 9999, charset_ui, align_left);
    const frame alone = read_frame();
    int glyph_pixels = 0, differing = 0;
    for (int row = int(bottom); row < int(top); ++row)
      for (int col = 0; col < width_; ++col) {
        const size_t i = (size_t(row) * width_ + col) * 4;
        if (!(alone[i + 2] & 0x80)) continue;
        ++glyph_pixels;
        if (memcmp(&alone[i], &menus[i], 3) != 0) ++differing;
      }
    EXPECT_GT(glyph_pixels, 0) << text;
    EXPECT_EQ(differing, 0) << "'" << text << "' at " << x << "," << y;
  }
  // Colour of a pixel; the drawable may have no alpha to read.
  rgba at(const frame& f, float x, float y) const {
    const size_t i = (size_t(y) * width_ + size_t(x)) * 4;
    return {f[i], f[i + 1], f[i + 2], 0};
  }
  texel texel_in(const frame& f, int x, int y) const {
    const rgba p = at(f, x, y);
    if (!(p[2] & 0x80)) return {};
    return {p[0] | ((p[2] & 1) << 8), p[1] | (((p[2] >> 1) & 1) << 8)};
  }
};

TEST_F(MenuDrawing, NothingOpenDrawsNothing) {
  mnw.open_menu = -1;
  glClear(GL_COLOR_BUFFER_BIT);
  const frame blank = read_frame();
  EXPECT_TRUE(draw_menus() == blank);
}

TEST_F(MenuDrawing, BarTitlesItemsSeparatorsAndSubmenuMarks) {
  mnw.open_menu = 0;
  const menu_struct& file = menu[0];
  const menu_item &open = file.items[0], &recent = file.items[1], &sep = file.items[2];
  const frame f = draw_menus();
  // The bar spans the drawable's top, beyond the last title too.
  EXPECT_NE(at(f, width_ - 2, height_ - 9), (rgba{0, 0, 0, 0}));
  // Recent opens a submenu: the atlas's arrow at its right end, one to one.
  EXPECT_EQ(texel_in(f, int(recent.r) - 7, int(recent.b) + 6), (texel{168, 187}));
  EXPECT_EQ(texel_in(f, int(recent.r) - 7, int(recent.b) + 9), (texel{168, 190}));
  // The separator: a dark line over a light one, its full width.
  const rgba dark = {51, 0, 0, 0}, light = {102, 102, 0, 0};
  EXPECT_EQ(at(f, sep.l + 1, sep.b + 1), dark);
  EXPECT_EQ(at(f, sep.r - 3, sep.b), light);
  // The open menu's frame reaches 2 above its items, over the bar's two
  // lowest rows, which no glyph inks.
  expect_text(f, "Edit", menu[1].l + 10, menu[1].b + 6, menu[1].b + 2, menu[1].t);
  expect_text(f, "Open", open.l + 18, open.b + 3, open.b, open.t);
  const menu_item& locked = file.items[3];
  expect_text(f, "=Locked", locked.l + 18, locked.b + 3, locked.b, locked.t);

  // The open menu's title is lit; another title is not.
  mnw.open_menu = 1;
  const frame other = draw_menus();
  EXPECT_NE(at(f, file.l + 3, file.b + 2), at(other, file.l + 3, file.b + 2));
}

TEST_F(MenuDrawing, OnlyChoosableItemsLightUnderTheMouse) {
  mnw.open_menu = 0;
  const frame idle = draw_menus();
  struct {
    int item;
    bool lights;
  } cases[] = {{0, true}, {1, true}, {2, false}, {3, false}};
  for (const auto& c : cases) {
    const menu_item& item = menu[0].items[c.item];
    mnw.mouse_x = item.l + 2;
    mnw.mouse_y = item.b;
    const frame hovered = draw_menus();
    const float y = item.t - item.b > 2 ? item.b + 1 : item.b;
    EXPECT_EQ(at(hovered, item.l + 2, y) != at(idle, item.l + 2, y), c.lights) << c.item;
  }
  // The top row of an item belongs to the one above it.
  const menu_item &open = menu[0].items[0], &recent = menu[0].items[1];
  mnw.mouse_x = recent.l + 2;
  mnw.mouse_y = recent.t;
  const frame top = draw_menus();
  EXPECT_NE(at(top, open.l + 2, open.b + 1), at(idle, open.l + 2, open.b + 1));
  EXPECT_EQ(at(top, recent.l + 2, recent.b + 1), at(idle, recent.l + 2, recent.b + 1));
}

TEST_F(MenuDrawing, PopUpListDrawsNoBar) {
  fill_popup(50, 120, 72, {"North", "South"});
  mnw.open_menu = 1519;
  const frame f = draw_menus();
  for (int x = 0; x < width_; x += 7)
    EXPECT_EQ(at(f, x, height_ - 9), (rgba{0, 0, 0, 0})) << "no bar at " << x;
  expect_text(f, "North", 53, 75, 72, 84);
  expect_text(f, "South", 53, 63, 60, 72);
}

}  // namespace
