// Draws the four built-in images: the widget atlas with the interface font,
// the installer's button and icon atlas, and the two screen backgrounds.
// Every element of the widget atlas sits where widgets/atlas_layout.h puts
// it, the place its widget reads (coordinates are texels with t upwards, as
// the widgets address them). The output
// depends on nothing but this program, DejaVu Sans and FreeType, so running
// it again reproduces the committed PNGs.
//
// Usage: make_images OUTPUT_FOLDER [FONT_FOLDER]
//
// Contents:
//   [SECTION] Palette
//   [SECTION] Building blocks
//   [SECTION] Interface font
//   [SECTION] Widget atlas
//   [SECTION] Installer atlas
//   [SECTION] Backgrounds
#include <cstdio>
#include <iterator>
#include <string>

#include "draw/font_widths.h"
#include "tools/images/canvas.h"
#include "widgets/atlas_layout.h"

using namespace img;

namespace {

// [SECTION] Palette
// A dark interface: light text on deep blue-grey surfaces, one blue accent.

const Rgba kSurface = rgb(0x1b222c, 0.97f);
const Rgba kSurfaceLow = rgb(0x141a22, 0.97f);
const Rgba kBorder = rgb(0x4a5c73);
const Rgba kBorderLight = rgb(0x6f88a8);
const Rgba kAccent = rgb(0x3d8bfd);
const Rgba kAccentDark = rgb(0x2160c4);
const Rgba kTitleActive = rgb(0x2a4a75);
const Rgba kTitleIdle = rgb(0x2c333d);
const Rgba kShadow = rgb(0x000000, 0.45f);
const Rgba kWhite = rgb(0xffffff);

// [SECTION] Building blocks

// A box of a tiled frame: body, one-pixel border and a soft shadow in the
// margins. Corners stay inside the caps, so the tiled middle is uniform.
// The shadow stays inside the element's own square (clip), so it never
// bleeds into the neighbouring elements of the atlas.
struct Clip {
  float x0, y0, x1, y1;
};

void framed_box(Canvas& c, float x0, float y0, float x1, float y1, float radius, Rgba body,
                Rgba border, float shadow_room, Clip clip = {0, 0, 0, 0}) {
  if (shadow_room >= 2) {
    float soft = shadow_room;
    c.fill(
        std::max(x0 - soft, clip.x0), std::max(y0 - soft, clip.y0), std::min(x1 + soft, clip.x1),
        std::min(y1 + soft, clip.y1),
        [=](float px, float py) {
          return sd_round_box(px, py + 1.5f, x0, y0, x1, y1, radius) - soft + 0.5f;
        },
        [=](float px, float py) {
          float d = sd_round_box(px, py + 1.5f, x0, y0, x1, y1, radius);
          Rgba s = kShadow;
          s.a *= std::clamp(1.0f - d / soft, 0.0f, 1.0f) * std::clamp(1.0f - d / soft, 0.0f, 1.0f);
          return s;
        });
  }
  c.fill(
      x0, y0, x1, y1,
      [=](float px, float py) { return sd_round_box(px, py, x0, y0, x1, y1, radius); },
      [=](float, float) { return body; });
  c.fill(
      x0, y0, x1, y1,
      [=](float px, float py) {
        return sd_inner_ring(sd_round_box(px, py, x0, y0, x1, y1, radius), 1.0f);
      },
      [=](float, float) { return border; });
}

// A horizontal bar whose colour runs from bottom to top.
void bar(Canvas& c, float x0, float y0, float x1, float y1, float radius, Rgba bottom, Rgba top,
         Rgba border) {
  c.fill(
      x0, y0, x1, y1,
      [=](float px, float py) { return sd_round_box(px, py, x0, y0, x1, y1, radius); },
      [=](float, float py) { return mix(bottom, top, (py - y0) / (y1 - y0)); });
  if (border.a > 0)
    c.fill(
        x0, y0, x1, y1,
        [=](float px, float py) {
          return sd_inner_ring(sd_round_box(px, py, x0, y0, x1, y1, radius), 1.0f);
        },
        [=](float, float) { return border; });
}

void triangle(Canvas& c, std::vector<std::pair<float, float>> pts, Rgba colour) {
  float area = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    auto a = pts[i], b = pts[(i + 1) % pts.size()];
    area += a.first * b.second - b.first * a.second;
  }
  if (area < 0) std::reverse(pts.begin(), pts.end());
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (auto& p : pts) {
    x0 = std::min(x0, p.first), x1 = std::max(x1, p.first);
    y0 = std::min(y0, p.second), y1 = std::max(y1, p.second);
  }
  c.fill(
      x0 - 1, y0 - 1, x1 + 1, y1 + 1, [&](float px, float py) { return sd_convex(px, py, pts); },
      [=](float, float) { return colour; });
}

void segment(Canvas& c, float ax, float ay, float bx, float by, float width, Rgba colour) {
  float hw = width * 0.5f;
  c.fill(
      std::min(ax, bx) - width, std::min(ay, by) - width, std::max(ax, bx) + width,
      std::max(ay, by) + width,
      [=](float px, float py) { return sd_segment(px, py, ax, ay, bx, by, hw); },
      [=](float, float) { return colour; });
}

void disc(Canvas& c, float cx, float cy, float r, Rgba colour) {
  c.fill(
      cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
      [=](float px, float py) { return sd_circle(px, py, cx, cy, r); },
      [=](float, float) { return colour; });
}

void ring(Canvas& c, float cx, float cy, float r, float w, Rgba colour) {
  c.fill(
      cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
      [=](float px, float py) { return sd_inner_ring(sd_circle(px, py, cx, cy, r), w); },
      [=](float, float) { return colour; });
}

// [SECTION] Interface font

// Ink rows of a cell the text field's scissor keeps (y - 3 .. y + 8 with the
// glyph quad starting at y - 6), and the baseline row inside them.
const int kInkBottom = 3, kInkTop = 13, kBaseline = 5;

void draw_font(Canvas& c, Font& font) {
  const float size = 11.0f;
  for (int b = 1; b < 256; ++b) {
    int col = 0, row = 0;
    OGL_glyph_cell((unsigned char)b, &col, &row);
    if (col == 0 && row == 0) continue;  // the blank cell stays transparent
    const int width = OGL_glyph_width((unsigned char)b);
    // One column of the advance stays clear between neighbouring glyphs.
    const int avail = width > 2 ? width - 1 : width;
    const int above = kInkTop - kBaseline + 1, below = kBaseline - kInkBottom;
    float sx = 1, sy = 1;
    FT_GlyphSlot g = font.render(unsigned(b), size);
    // Squeeze the glyphs that are wider than their advance or taller than
    // the rows the text fields keep, rather than cutting them.
    const int bw = int(g->bitmap.width), top = g->bitmap_top,
              down = int(g->bitmap.rows) - g->bitmap_top;
    if (bw > avail) sx = float(avail) / float(bw) * 0.98f;
    if (top > above) sy = std::min(sy, float(above) / float(top));
    if (down > below) sy = std::min(sy, float(below) / float(down) * 1.0f);
    if (sx < 1 || sy < 1) g = font.render(unsigned(b), size, sx, sy);
    const FT_Bitmap& bm = g->bitmap;
    const int x_off = std::clamp(int(g->bitmap_left), 0, std::max(0, avail - int(bm.width)));
    const int cx = col * OGL_glyph_cell_dx, cy = row * OGL_glyph_cell_dy;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned k = 0; k < bm.width; ++k) {
        const int x = x_off + int(k), y = kBaseline + g->bitmap_top - 1 - int(r);
        if (x < 0 || x >= avail || y < kInkBottom || y > kInkTop) continue;
        const float cov = bm.buffer[r * bm.pitch + k] / 255.0f;
        if (cov > 0) c.set(cx + x, cy + y, Rgba{1, 1, 1, cov});
      }
  }
}

// [SECTION] Widget atlas
// Each element is drawn inside the place atlas_layout.h gives it; the
// offsets below are texels from the element's own corner.

float centre_s(const atlas::rect& r) { return float(r.s0 + r.s1) / 2; }
float centre_t(const atlas::rect& r) { return float(r.t0 + r.t1) / 2; }

// A bar of BTN_frame1 inside its element, in from its left, bottom, right
// and top edges.
void frame1_element(Canvas& c, const atlas::bar& e, float in_l, float in_b, float in_r, float in_t,
                    float radius, Rgba bottom, Rgba top, Rgba border) {
  bar(c, e.s0 + in_l, e.t0 + in_b, e.s0 + e.width - in_r, e.t0 + e.height - in_t, radius, bottom,
      top, border);
}

// A tiled box of BTN_frame2: the box itself sits inside the element's
// margins.
void frame2_element(Canvas& c, const atlas::box& e, Rgba body, Rgba border, float radius,
                    Rgba title_band, float band_height) {
  const float s0 = e.s0, t0 = e.t0, b = e.side, mx = e.mx, mb = e.mb, mt = e.mt;
  // The edges must lie in the caps, which are drawn once; an edge inside the
  // tiled middle would repeat. Small boxes therefore reach a little into
  // their margins.
  const float ex = std::min(mx, 0.35f * b - radius - 2), eb = std::min(mb, 0.3f * b - radius - 2),
              et = std::min(mt, 0.3f * b - radius - 2);
  const float x0 = s0 + ex, x1 = s0 + b - ex, y0 = t0 + eb, y1 = t0 + b - et;
  framed_box(c, x0, y0, x1, y1, radius, body, border, std::min(mx, mb) - 1,
             Clip{s0, t0, s0 + b, t0 + b});
  if (band_height > 0) {
    c.fill(
        x0 + 1, y1 - band_height, x1 - 1, y1 - 1,
        [=](float px, float py) {
          return sd_round_box(px, py, x0 + 1, y1 - band_height - radius, x1 - 1, y1 - 1,
                              radius - 1);
        },
        [=](float, float py) {
          return mix(title_band, mix(title_band, kWhite, 0.12f),
                     (py - (y1 - band_height)) / band_height);
        });
  }
}

// The bars of BTN_frame1 and the scroll track of BTN_frame0.
void draw_bars(Canvas& c) {
  // The menu bar reaches the atlas's top row; its bottom row is a dark line.
  const atlas::bar& menu = atlas::menu_bar;
  frame1_element(c, menu, 0, 0, 0, 1, 0, rgb(0x1a2029), rgb(0x26303c), Rgba{});
  segment(c, menu.s0, menu.t0 + 0.5f, menu.s0 + menu.width, menu.t0 + 0.5f, 1, rgb(0x0d1117));
  frame1_element(c, atlas::title_bar, 1, 9, 1, 10, 3, rgb(0x2a3442), rgb(0x394657), Rgba{});
  frame1_element(c, atlas::button, 1, 3, 1, 3, 5, rgb(0x2f3a49), rgb(0x435268), kBorder);
  frame1_element(c, atlas::button_pressed, 1, 3, 1, 3, 5, kAccentDark, kAccent, kBorderLight);
  frame1_element(c, atlas::progress_track, 1, 2, 1, 2, 5, rgb(0x0f141a), rgb(0x151b23), kBorder);
  frame1_element(c, atlas::progress_fill, 2, 3, 1, 3, 4, kAccentDark, rgb(0x5aa2ff), Rgba{});
  frame1_element(c, atlas::slider_track, 1, 10, 1, 10, 2, rgb(0x0f141a), rgb(0x1b222c), kBorder);
  // The slider fill, tinted, is drawn 4 above the track's centre, so its ink
  // sits 4 below the element's centre to land on the track.
  frame1_element(c, atlas::slider_fill, 1, 1, 1, 9, 3, rgb(0xd0d8e4), kWhite, Rgba{});
  frame1_element(c, atlas::value_box, 1, 5, 1, 5, 3, rgb(0x0b0f14), rgb(0x10151c), kBorder);
  const atlas::bar& popup = atlas::popup_box;
  frame1_element(c, popup, 1, 4, 1, 4, 4, rgb(0x2b3543), rgb(0x3b4859), kBorder);
  triangle(c,
           {{popup.s0 + 46.0f, popup.t0 + 15.0f},
            {popup.s0 + 54.0f, popup.t0 + 15.0f},
            {popup.s0 + 50.0f, popup.t0 + 9.0f}},
           rgb(0xdde4ee));  // its chevron

  const atlas::rect& track = atlas::scroll_track;
  const float x0 = track.s0 + 3, y0 = track.t0 + 1, x1 = track.s1 - 3, y1 = track.t1 - 1;
  c.fill(
      x0, y0, x1, y1, [=](float px, float py) { return sd_round_box(px, py, x0, y0, x1, y1, 6); },
      [](float, float) { return rgb(0x0f141a); });
  c.fill(
      x0, y0, x1, y1,
      [=](float px, float py) { return sd_inner_ring(sd_round_box(px, py, x0, y0, x1, y1, 6), 1); },
      [](float, float) { return kBorder; });
}

// The boxes of BTN_frame2.
void draw_boxes(Canvas& c) {
  frame2_element(c, atlas::window, kSurface, kBorderLight, 6, kTitleActive, 20);
  frame2_element(c, atlas::window_idle, kSurface, kBorder, 6, kTitleIdle, 20);
  frame2_element(c, atlas::panel, rgb(0x1f2733, 0.95f), kBorder, 6, kTitleIdle, 18);
  frame2_element(c, atlas::help_box, rgb(0x28313d, 0.97f), kBorderLight, 5, Rgba{}, 0);
  frame2_element(c, atlas::panel_dark, kSurfaceLow, rgb(0x56708f), 6, kTitleIdle, 18);
  frame2_element(c, atlas::text_panel, rgb(0x10151c, 0.98f), kBorder, 4, Rgba{}, 0);
  frame2_element(c, atlas::menu_list, rgb(0x222b37, 0.98f), kBorderLight, 4, Rgba{}, 0);
  frame2_element(c, atlas::box_normal, kSurface, kBorder, 4, Rgba{}, 0);
  frame2_element(c, atlas::box_small, kSurface, kBorder, 4, Rgba{}, 0);
}

// The tabs of BTN_tab, then the close boxes.
void draw_tabs_and_close_boxes(Canvas& c) {
  for (int sel = 0; sel < 2; ++sel) {
    const atlas::rect& tab = sel ? atlas::tab_selected : atlas::tab_other;
    const float x0 = tab.s0 + 1, x1 = tab.s1 - 1, y0 = tab.t0, h = tab.height();
    c.fill(
        x0, y0, x1, y0 + h,
        [=](float px, float py) { return sd_round_box(px, py, x0, y0 + 1, x1, y0 + h + 4, 6); },
        [=](float, float py) {
          return mix(sel ? kTitleActive : kTitleIdle, sel ? rgb(0x3a5f91) : rgb(0x38414d),
                     (py - y0) / h);
        });
  }
  for (int lit = 0; lit < 2; ++lit) {
    const atlas::rect& box = lit ? atlas::close_box_lit : atlas::close_box;
    const float cx = centre_s(box), cy = centre_t(box);
    disc(c, cx, cy, 7.5f, lit ? rgb(0xe5484d) : rgb(0x3a4554));
    ring(c, cx, cy, 7.5f, 1, lit ? rgb(0xff8a8e) : kBorderLight);
    segment(c, cx - 3, cy - 3, cx + 3, cy + 3, 1.6f, kWhite);
    segment(c, cx - 3, cy + 3, cx + 3, cy - 3, 1.6f, kWhite);
  }
}

// The check box and radio button, the number field's arrows, the scroll
// bar's arrows and thumb and the horizontal slider's thumb.
void draw_controls(Canvas& c) {
  const atlas::rect &box = atlas::check_box, &tick = atlas::check_tick;
  bar(c, box.s0 + 2, box.t0 + 2, box.s1 - 2, box.t1 - 2, 3, rgb(0x0b0f14), rgb(0x131922),
      kBorderLight);
  segment(c, tick.s0 + 4.5f, tick.t0 + 9.0f, tick.s0 + 7.5f, tick.t0 + 5.5f, 2.2f, kAccent);
  segment(c, tick.s0 + 7.5f, tick.t0 + 5.5f, tick.s0 + 13.5f, tick.t0 + 14.0f, 2.2f, kAccent);
  const atlas::rect &radio = atlas::radio_box, &dot = atlas::radio_dot;
  disc(c, centre_s(radio), centre_t(radio), 7, rgb(0x0b0f14));
  ring(c, centre_s(radio), centre_t(radio), 7, 1, kBorderLight);
  disc(c, centre_s(dot), centre_t(dot), 3.5f, kAccent);

  const atlas::rect &down = atlas::digit_down, &up = atlas::digit_up;
  triangle(c,
           {{down.s0 + 2.0f, down.t0 + 12.0f},
            {down.s0 + 7.0f, down.t0 + 5.0f},
            {down.s0 + 12.0f, down.t0 + 12.0f}},
           rgb(0xaab6c6));
  triangle(
      c,
      {{up.s0 + 2.0f, up.t0 + 6.0f}, {up.s0 + 12.0f, up.t0 + 6.0f}, {up.s0 + 7.0f, up.t0 + 13.0f}},
      rgb(0xaab6c6));

  for (int is_up = 0; is_up < 2; ++is_up) {
    const atlas::rect& arrow = is_up ? atlas::scroll_up : atlas::scroll_down;
    const float x0 = arrow.s0, y0 = arrow.t0;
    bar(c, x0 + 1, y0 + 1, arrow.s1 - 1, arrow.t1 - 1, 4, rgb(0x2f3a49), rgb(0x3d4a5c), kBorder);
    if (is_up)
      triangle(c, {{x0 + 4, y0 + 8}, {x0 + 14, y0 + 8}, {x0 + 9, y0 + 15}}, rgb(0xdde4ee));
    else
      triangle(c, {{x0 + 4, y0 + 14}, {x0 + 9, y0 + 7}, {x0 + 14, y0 + 14}}, rgb(0xdde4ee));
  }
  const atlas::rect& thumb = atlas::scroll_thumb;
  bar(c, thumb.s0 + 2, thumb.t0 + 1, thumb.s1 - 2, thumb.t1 - 1, 5, kAccentDark, kAccent,
      kBorderLight);
  // The horizontal slider's thumb is drawn 2 above the track's centre, so
  // its ink sits 2 low in the cell.
  const atlas::rect& knob = atlas::slider_thumb;
  bar(c, knob.s0 + 2, knob.t0 - 0.5f, knob.s1 - 2, knob.t1 - 3.5f, 5, kAccentDark, kAccent,
      kBorderLight);
}

// The band colour of a list icon's document; 0 for the folder.
int list_icon_band(int kind) {
  switch (kind) {
    case 3:
      return 0x3d8bfd;
    case 4:
      return 0x3fbf8f;
    case 5:
      return 0xe5484d;
    case 9:
      return 0xffb347;
    case 10:
      return 0xb58cff;
    case 11:
      return 0x8fd0ff;
    case 7:
      return 0xaab6c6;
    default:
      return 0;
  }
}

// The row icons of the searchable list, one per kind of entry: a folder,
// then documents told apart by the colour of their band.
void list_icons(Canvas& c) {
  for (const atlas::list_icon& icon : atlas::list_icons) {
    const float x0 = icon.s, y0 = atlas::list_icon_t;
    const int band = list_icon_band(icon.kind);
    if (!band) {
      bar(c, x0 + 1, y0 + 2, x0 + 11, y0 + 9, 1.5f, rgb(0xc9922e), rgb(0xf0b847), Rgba{});
      bar(c, x0 + 1, y0 + 8, x0 + 6, y0 + 10.5f, 1, rgb(0xc9922e), rgb(0xe0a83c), Rgba{});
      continue;
    }
    bar(c, x0 + 2.5f, y0 + 1, x0 + 9.5f, y0 + 11, 1, rgb(0xdde4ee), kWhite, Rgba{});
    bar(c, x0 + 2.5f, y0 + 1, x0 + 9.5f, y0 + 4, 1, rgb(band), rgb(band), Rgba{});
    for (int k = 0; k < 2; ++k)
      segment(c, x0 + 4, y0 + 6.5f + 2 * k, x0 + 8, y0 + 6.5f + 2 * k, 0.8f, rgb(0x5a6b82));
  }
}

// The submenu mark, the list's icons, the direction dial with its needles
// and the selectors' folder icon.
void draw_marks_and_icons(Canvas& c) {
  const float ms = centre_s(atlas::submenu_mark), mt = centre_t(atlas::submenu_mark);
  triangle(c, {{ms - 3, mt - 4}, {ms - 3, mt + 4}, {ms + 3.5f, mt}}, rgb(0xdde4ee));

  list_icons(c);

  // The face is drawn over the needle: its middle stays see-through.
  const float ds = centre_s(atlas::dial_face), dt = centre_t(atlas::dial_face);
  disc(c, ds, dt, 27, rgb(0x10151c, 0.35f));
  ring(c, ds, dt, 27, 1.5f, kBorderLight);
  for (int i = 0; i < 12; ++i) {
    const float a = i * 3.14159265f / 6, r0 = i % 3 ? 23.0f : 20.0f;
    segment(c, ds + r0 * std::sin(a), dt + r0 * std::cos(a), ds + 25 * std::sin(a),
            dt + 25 * std::cos(a), 1.2f, rgb(0xaab6c6));
  }
  for (int alt = 0; alt < 2; ++alt) {
    const atlas::rect& needle = alt ? atlas::dial_needle_alt : atlas::dial_needle;
    const float x0 = needle.s0, y0 = needle.t0;
    triangle(c, {{x0 + 1, y0 + 21}, {x0 + 9, y0 + 21}, {x0 + 5, y0 + 41}},
             alt ? rgb(0xffb347) : kAccent);
    triangle(c, {{x0 + 1, y0 + 21}, {x0 + 5, y0 + 1}, {x0 + 9, y0 + 21}}, rgb(0xaab6c6));
  }

  const atlas::rect& folder = atlas::folder_icon;
  bar(c, folder.s0 + 2, folder.t0 + 3, folder.s1 - 2, folder.t1 - 6, 2, rgb(0xc9922e),
      rgb(0xf0b847), Rgba{});
  bar(c, folder.s0 + 2, folder.t0 + 17, folder.s0 + 12, folder.t0 + 23, 2, rgb(0xc9922e),
      rgb(0xe0a83c), Rgba{});
}

// What a cursor cell shows.
enum cursor_shape {
  arrow_up,
  arrow_down,
  arrow_left,
  arrow_right,
  arrow_up_right,
  arrow_up_left,
  arrow_down_right,
  arrow_down_left,
  grip_open,
  grip_closed,
};

void cursor_cell(Canvas& c, int col, int row, cursor_shape shape) {
  const float x0 = atlas::cursor_s0 + atlas::cursor_step * col,
              y0 = atlas::cursor_t0 + atlas::cursor_step * row;
  const float cx = x0 + atlas::cursor_size / 2, cy = y0 + atlas::cursor_size / 2;
  const Rgba fill = kWhite, edge = rgb(0x0d1117);
  auto arrow = [&](float angle) {
    const float ca = std::cos(angle), sa = std::sin(angle);
    auto at = [&](float u, float v) {
      return std::make_pair(cx + u * ca - v * sa, cy + u * sa + v * ca);
    };
    triangle(c, {at(12, 0), at(1, 9), at(1, -9)}, edge);
    segment(c, cx - 11 * ca, cy - 11 * sa, cx + 2 * ca, cy + 2 * sa, 6, edge);
    triangle(c, {at(10, 0), at(2.5f, 6.5f), at(2.5f, -6.5f)}, fill);
    segment(c, cx - 10 * ca, cy - 10 * sa, cx + 3 * ca, cy + 3 * sa, 3, fill);
  };
  const float pi = 3.14159265f;
  switch (shape) {
    case arrow_up:
      return arrow(pi / 2);
    case arrow_down:
      return arrow(-pi / 2);
    case arrow_left:
      return arrow(pi);
    case arrow_right:
      return arrow(0);
    case arrow_up_right:
      return arrow(pi / 4);
    case arrow_up_left:
      return arrow(3 * pi / 4);
    case arrow_down_right:
      return arrow(-pi / 4);
    case arrow_down_left:
      return arrow(-3 * pi / 4);
    case grip_open:
      disc(c, cx, cy, 10, edge);
      ring(c, cx, cy, 8.5f, 3, fill);
      return;
    case grip_closed:
      disc(c, cx, cy, 10, edge);
      disc(c, cx, cy, 7.5f, fill);
      return;
  }
}

// The frame's cursors in the layout's order, each grip followed by its
// closed hand for the held button.
void draw_cursors(Canvas& c) {
  const cursor_shape shapes[] = {arrow_up,       arrow_down,    arrow_left,       arrow_right,
                                 arrow_up_right, arrow_up_left, arrow_down_right, arrow_down_left,
                                 grip_open,      grip_open,     arrow_up,         arrow_down};
  static_assert(std::size(shapes) == std::size(atlas::cursor_cells), "a shape for every cursor");
  for (size_t i = 0; i < std::size(shapes); ++i) {
    const atlas::cursor_cell& cell = atlas::cursor_cells[i];
    cursor_cell(c, cell.col, cell.row, shapes[i]);
    if (shapes[i] == grip_open) cursor_cell(c, atlas::kHeldGripCol, cell.row, grip_closed);
  }
}

// The colour of each interface colour's swatch.
int swatch_colour(int index) {
  switch (index) {
    case 34:
      return 0x161b22;  // window background
    case 35:
      return 0x0d1117;  // dark bevel line
    case 36:
      return 0x3d8bfd;  // hover fill (drawn at a quarter alpha)
    case 37:
      return 0x5a6b82;  // light bevel line
    case 38:
      return 0xe6edf5;  // pop-up and menu text
    case 40:
      return 0xffffff;  // active window title
    case 41:
      return 0xffffff;  // selected tab
    case 42:
      return 0xaab6c6;  // other tabs
    case 43:
      return 0xdde4ee;  // labels and panel titles
    case 44:
      return 0x7ab8ff;  // accent
    case 45:
      return 0x8fd0ff;  // paths, digits, outlines, caret
    case 46:
      return 0xeef3fa;  // installer text
    case 47:
      return 0xe1e7ef;  // help and alert text
    default:
      return 0xff00ff;  // a swatch without a colour shows up at once
  }
}

// The colour swatches, 5 x 5 around each sampled texel.
void draw_swatches(Canvas& c) {
  for (const atlas::swatch& s : atlas::swatches)
    for (int y = s.t - 2; y <= s.t + 2; ++y)
      for (int x = s.s - 2; x <= s.s + 2; ++x) c.set(x, y, rgb(swatch_colour(s.colour)));
}

Canvas make_widget_atlas(Font& regular) {
  Canvas c(atlas::kSize, atlas::kSize);
  draw_bars(c);
  draw_boxes(c);
  draw_tabs_and_close_boxes(c);
  draw_controls(c);
  draw_marks_and_icons(c);
  draw_cursors(c);
  draw_swatches(c);
  draw_font(c, regular);
  return c;
}

// [SECTION] Installer atlas

// One button of the installer: three looks stacked downwards from v.
void installer_button(Canvas& c, Font& bold, float u, float v, float w, float h,
                      const std::string& label) {
  struct Look {
    float dv;
    Rgba bottom, top, border;
    float text_dy;
  } looks[] = {
      {0, rgb(0x2d5d9c), rgb(0x4a82c9), rgb(0x8ab8ef), 0},
      {-(h + 1), rgb(0x3a70b8), rgb(0x62a0ec), rgb(0xc4defc), 0},
      {-2 * (h + 1), rgb(0x1d3f6e), rgb(0x2b5591), rgb(0x6d9bd6), -1},
  };
  for (const Look& l : looks) {
    const float y0 = v + l.dv;
    bar(c, u + 0.5f, y0 + 0.5f, u + w - 0.5f, y0 + h - 0.5f, 5, l.bottom, l.top, l.border);
    bold.draw(c, label, 10.5f, u + w * 0.5f, y0 + 7 + l.text_dy, kWhite, 1);
  }
}

// A globe turning eastwards; frame k of 16 is turned by k / 16 of a turn, so
// the last frame leads back into the first.
void globe(Canvas& c, float x0, float y0, int frame) {
  const float cx = x0 + 32, cy = y0 + 32, r = 27;
  const float turn = frame * 2 * 3.14159265f / 16;
  auto land = [](float lon, float lat) {
    float v = std::sin(lon * 2 + 0.7f) * std::cos(lat * 3 - 0.4f) +
              0.6f * std::sin(lon * 3 - lat * 2 + 1.9f) + 0.35f * std::cos(lon * 5 + lat * 4);
    return v > 0.35f;
  };
  for (int py = 0; py < 64; ++py)
    for (int px = 0; px < 64; ++px) {
      float acc_r = 0, acc_g = 0, acc_b = 0, acc_a = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const float x = (x0 + px + (sx + 0.5f) / 4 - cx) / r,
                      y = (y0 + py + (sy + 0.5f) / 4 - cy) / r;
          const float rr = x * x + y * y;
          if (rr > 1) continue;
          const float z = std::sqrt(1 - rr);
          const float lat = std::asin(y), lon = std::atan2(x, z) + turn;
          const float light =
              std::clamp(0.35f + 0.65f * (-0.45f * x + 0.5f * y + 0.74f * z), 0.2f, 1.0f);
          Rgba col = land(lon, lat) ? rgb(0x3fbf8f) : rgb(0x2a78d6);
          const float grid_lon = std::fabs(std::remainder(lon, 3.14159265f / 6)) * std::cos(lat);
          const float grid_lat = std::fabs(std::remainder(lat, 3.14159265f / 6));
          if (grid_lon < 0.035f || grid_lat < 0.035f) col = mix(col, kWhite, 0.35f);
          acc_r += col.r * light, acc_g += col.g * light, acc_b += col.b * light, acc_a += 1;
        }
      if (acc_a > 0)
        c.over(int(x0) + px, int(y0) + py, Rgba{acc_r / acc_a, acc_g / acc_a, acc_b / acc_a, 1},
               acc_a / 16);
    }
  ring(c, cx, cy, r + 0.5f, 1.2f, rgb(0x9fd0ff, 0.8f));
}

Canvas make_installer_atlas(Font& bold) {
  Canvas c(1010, 764);
  // Buttons: (u, v) of the normal look, w x h.
  installer_button(c, bold, 513, 166, 126, 22, "DESTINATION");
  installer_button(c, bold, 640, 166, 83, 22, "INSTALL");
  installer_button(c, bold, 780, 166, 51, 22, "QUIT");
  installer_button(c, bold, 832, 166, 85, 22, "DECLINE");
  installer_button(c, bold, 918, 166, 59, 22, "AGREE");
  installer_button(c, bold, 822, 235, 116, 22, "VISIT SHOP");

  // Globe frames in icon cells 8..23 (64 x 64, eight a row from texel row 66).
  for (int i = 8; i <= 23; ++i) globe(c, (i % 8) * 64, 66 + (i / 8) * 64, i - 8);

  // The decoration behind the globe: 128 x 86 at (644, 33); the globe lands
  // 29 across and 13 up inside it.
  framed_box(c, 645, 34, 771, 118, 14, rgb(0x0e1521, 0.88f), rgb(0x3d8bfd, 0.9f), 0);
  ring(c, 644 + 61, 33 + 45, 35, 2, rgb(0x3d8bfd, 0.75f));
  segment(c, 744, 60, 762, 60, 2, rgb(0x7ab8ff, 0.8f));
  segment(c, 748, 70, 762, 70, 2, rgb(0x7ab8ff, 0.6f));
  segment(c, 752, 80, 762, 80, 2, rgb(0x7ab8ff, 0.4f));

  // The panel of frame kind 20, inside its element's margins.
  const atlas::box& panel = atlas::installer_panel;
  framed_box(c, panel.s0 + panel.mx, panel.t0 + panel.mb, panel.s0 + panel.side - panel.mx,
             panel.t0 + panel.side - panel.mt, 6, rgb(0x0d131c, 0.82f), rgb(0x5a7aa3), 0);
  return c;
}

// [SECTION] Backgrounds

unsigned next_random(unsigned& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

Canvas make_background(Font& regular, Font& bold, Rgba top, Rgba bottom, Rgba glow, Rgba lines,
                       unsigned seed) {
  Canvas c(1024, 768);
  const float horizon = 300;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) {
      Rgba col = mix(bottom, top, y / 767.0f);
      const float dx = (x - 512) / 620.0f, dy = (y - horizon) / 170.0f;
      const float g = std::exp(-(dx * dx + dy * dy));
      col = mix(col, glow, g * 0.55f);
      c.set(x, y, col);
    }
  // Runway lines running to the horizon, fading as they go.
  for (int i = -12; i <= 12; ++i) {
    const float xb = 512 + i * 110.0f;
    c.fill(
        0, 0, 1024, horizon,
        [=](float px, float py) {
          const float t = py / horizon, x = xb + (512 - xb) * t;
          return std::fabs(px - x) - 0.6f;
        },
        [=](float, float py) {
          Rgba l = lines;
          l.a *= 1 - py / horizon;
          return l;
        });
  }
  for (int k = 1; k < 10; ++k) {
    const float y = horizon * (1 - 1.0f / (1 + k * 0.45f));
    segment(c, 0, y, 1024, y, 1, Rgba{lines.r, lines.g, lines.b, lines.a * (1 - y / horizon)});
  }
  // A few faint stars above the horizon.
  unsigned state = seed;
  for (int i = 0; i < 140; ++i) {
    const float x = next_random(state) % 1024, y = horizon + 40 + next_random(state) % 420;
    const float a = 0.05f + (next_random(state) % 100) / 100.0f * 0.12f;
    c.over(int(x), int(y), Rgba{1, 1, 1, a});
  }
  bold.draw(c, "NIMBREL", 30, 1004 - bold.advance("NIMBREL", 30), 724, rgb(0xffffff, 0.92f));
  regular.draw(c, "INSTALLER AND UPDATER", 11, 1004 - regular.advance("INSTALLER AND UPDATER", 11),
               706, rgb(0x7ab8ff));
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: make_images OUTPUT_FOLDER [FONT_FOLDER]\n");
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  const std::string fonts =
      argc > 2 ? std::string(argv[2]) + "/" : "/usr/share/fonts/truetype/dejavu/";
  FT_Library lib;
  if (FT_Init_FreeType(&lib)) return 1;
  int status = 0;
  {
    Font regular(lib, (fonts + "DejaVuSans.ttf").c_str());
    Font bold(lib, (fonts + "DejaVuSans-Bold.ttf").c_str());
    if (!regular.ok() || !bold.ok()) return 1;
    if (!make_widget_atlas(regular).write_png(out + "t_interface.png")) status = 1;
    if (!make_installer_atlas(bold).write_png(out + "t_installer.png")) status = 1;
    if (!make_background(regular, bold, rgb(0x0a1120), rgb(0x111d30), rgb(0x1f4068),
                         rgb(0x6aa8ff, 0.10f), 7)
             .write_png(out + "t_ins_back_1.png"))
      status = 1;
    if (!make_background(regular, bold, rgb(0x120d1f), rgb(0x1d1426), rgb(0x4a2a4a),
                         rgb(0xff9a6a, 0.08f), 11)
             .write_png(out + "t_ins_back_2.png"))
      status = 1;
  }
  FT_Done_FreeType(lib);
  if (status) fprintf(stderr, "make_images: cannot write into %s\n", out.c_str());
  return status;
}
