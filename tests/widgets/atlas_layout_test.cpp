// The widget atlas's layout: every element, cursor cell, icon and colour
// swatch has a place of its own inside the atlas, clear of the others and of
// the interface font's glyph grid, so the image generator never draws one
// element over another and no widget cuts a neighbour's texels.
#include "widgets/atlas_layout.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "draw/font_widths.h"

namespace {

struct placed {
  std::string name;
  atlas::rect at;
};

placed of_bar(const char* name, const atlas::bar& b) {
  return {name, {b.s0, b.t0, b.s0 + b.width, b.t0 + b.height}};
}

placed of_box(const char* name, const atlas::box& b) {
  return {name, {b.s0, b.t0, b.s0 + b.side, b.t0 + b.side}};
}

placed of_cursor(int col, int row) {
  const int s = atlas::cursor_s0 + atlas::cursor_step * col;
  const int t = atlas::cursor_t0 + atlas::cursor_step * row;
  return {"cursor " + std::to_string(col) + "," + std::to_string(row),
          {s, t, s + atlas::cursor_size, t + atlas::cursor_size}};
}

// Everything the widget atlas holds, each with the texels it covers.
std::vector<placed> everything() {
  std::vector<placed> all = {
      of_bar("menu bar", atlas::menu_bar),
      of_bar("title bar", atlas::title_bar),
      of_bar("button", atlas::button),
      of_bar("pressed button", atlas::button_pressed),
      of_bar("progress track", atlas::progress_track),
      of_bar("progress fill", atlas::progress_fill),
      of_bar("slider track", atlas::slider_track),
      of_bar("slider fill", atlas::slider_fill),
      of_bar("value box", atlas::value_box),
      of_bar("pop-up box", atlas::popup_box),
      {"scroll track", atlas::scroll_track},
      of_box("window", atlas::window),
      of_box("idle window", atlas::window_idle),
      of_box("panel", atlas::panel),
      of_box("help box", atlas::help_box),
      of_box("dark panel", atlas::panel_dark),
      of_box("text panel", atlas::text_panel),
      of_box("menu list", atlas::menu_list),
      of_box("box", atlas::box_normal),
      of_box("small box", atlas::box_small),
      {"close box", atlas::close_box},
      {"lit close box", atlas::close_box_lit},
      {"selected tab", atlas::tab_selected},
      {"other tab", atlas::tab_other},
      {"check box", atlas::check_box},
      {"tick", atlas::check_tick},
      {"radio button", atlas::radio_box},
      {"radio dot", atlas::radio_dot},
      {"digit down", atlas::digit_down},
      {"digit up", atlas::digit_up},
      {"scroll down", atlas::scroll_down},
      {"scroll thumb", atlas::scroll_thumb},
      {"scroll up", atlas::scroll_up},
      {"slider thumb", atlas::slider_thumb},
      {"submenu mark", atlas::submenu_mark},
      {"folder icon", atlas::folder_icon},
      {"dial face", atlas::dial_face},
      {"dial needle", atlas::dial_needle},
      {"second dial needle", atlas::dial_needle_alt},
      {"glyph grid",
       {0, 0, OGL_glyph_cell_dx * OGL_glyph_cols, OGL_glyph_cell_dy * OGL_glyph_rows}},
  };
  for (const atlas::list_icon& icon : atlas::list_icons)
    all.push_back({"list icon " + std::to_string(icon.kind),
                   {icon.s, atlas::list_icon_t, icon.s + atlas::list_icon_size,
                    atlas::list_icon_t + atlas::list_icon_size}});
  for (const atlas::cursor_cell& cell : atlas::cursor_cells)
    all.push_back(of_cursor(cell.col, cell.row));
  // The grips (cursor kinds 11 and 12) held: their closed hands.
  for (int grip : {11, 12})
    all.push_back(
        of_cursor(atlas::kHeldGripCol, atlas::cursor_cells[grip - atlas::kFirstDrawnCursor].row));
  for (const atlas::swatch& s : atlas::swatches)
    all.push_back({"swatch " + std::to_string(s.colour), {s.s - 2, s.t - 2, s.s + 3, s.t + 3}});
  return all;
}

TEST(AtlasLayout, EveryElementLiesInsideTheAtlas) {
  for (const placed& p : everything()) {
    EXPECT_LT(p.at.s0, p.at.s1) << p.name;
    EXPECT_LT(p.at.t0, p.at.t1) << p.name;
    EXPECT_GE(p.at.s0, 0) << p.name;
    EXPECT_GE(p.at.t0, 0) << p.name;
    EXPECT_LE(p.at.s1, atlas::kSize) << p.name;
    // The menu and title bars have always been one texel taller than the
    // room above them: their top row lies just past the atlas's top.
    const bool top_bar = p.name == "menu bar" || p.name == "title bar";
    EXPECT_LE(p.at.t1, atlas::kSize + (top_bar ? 1 : 0)) << p.name;
  }
}

TEST(AtlasLayout, NoTwoElementsShareATexel) {
  const std::vector<placed> all = everything();
  for (size_t i = 0; i < all.size(); ++i)
    for (size_t j = i + 1; j < all.size(); ++j) {
      const atlas::rect &a = all[i].at, &b = all[j].at;
      const bool overlap = a.s0 < b.s1 && b.s0 < a.s1 && a.t0 < b.t1 && b.t0 < a.t1;
      EXPECT_FALSE(overlap) << all[i].name << " and " << all[j].name;
    }
}

TEST(AtlasLayout, EachListIconKindAndSwatchColourAppearsOnce) {
  for (size_t i = 0; i < std::size(atlas::list_icons); ++i)
    for (size_t j = i + 1; j < std::size(atlas::list_icons); ++j)
      EXPECT_NE(atlas::list_icons[i].kind, atlas::list_icons[j].kind);
  for (size_t i = 0; i < std::size(atlas::swatches); ++i)
    for (size_t j = i + 1; j < std::size(atlas::swatches); ++j)
      EXPECT_NE(atlas::swatches[i].colour, atlas::swatches[j].colour);
}

}  // namespace
