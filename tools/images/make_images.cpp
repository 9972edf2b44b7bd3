// Draws the four built-in images: the widget atlas with the interface font,
// the installer's button and icon atlas, and the two screen backgrounds.
// Every element sits at the texel rectangle its widget reads (coordinates
// below are texels with t upwards, as the widgets address them). The output
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
#include <string>

#include "draw/font_widths.h"
#include "tools/images/canvas.h"

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

// The interface colours the start-up samples (index, texel column, row).
struct Swatch {
  int index, s, t, hex;
};
const Swatch kSwatches[] = {
    {34, 319, 155, 0x161b22},  // window background
    {35, 319, 147, 0x0d1117},  // dark bevel line
    {36, 319, 139, 0x3d8bfd},  // hover fill (drawn at a quarter alpha)
    {37, 319, 131, 0x5a6b82},  // light bevel line
    {38, 319, 123, 0xe6edf5},  // pop-up and menu text
    {40, 319, 115, 0xffffff},  // active window title
    {41, 319, 107, 0xffffff},  // selected tab
    {42, 319, 99, 0xaab6c6},   // other tabs
    {43, 319, 91, 0xdde4ee},   // labels and panel titles
    {45, 319, 83, 0x8fd0ff},   // paths, digits, outlines, caret
    {46, 319, 75, 0xeef3fa},   // installer text
    {47, 319, 67, 0xe1e7ef},   // help and alert text
    {44, 395, 115, 0x7ab8ff},  // accent
};

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

// A tiled box of BTN_frame2: element square at (s0, t0), side b; the box
// itself sits inside the margins mx (left and right), mb and mt.
void frame2_element(Canvas& c, float s0, float t0, float b, float mx, float mb, float mt, Rgba body,
                    Rgba border, float radius, Rgba title_band, float band_height) {
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

void cursor_cell(Canvas& c, int col, int row, int kind) {
  const float x0 = 200 + 32 * col, y0 = 293 + 32 * row, cx = x0 + 15, cy = y0 + 15;
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
  switch (kind) {
    case 0:
      arrow(pi / 2);
      break;  // up
    case 1:
      arrow(-pi / 2);
      break;  // down
    case 2:
      arrow(pi);
      break;  // left
    case 3:
      arrow(0);
      break;  // right
    case 4:
      arrow(pi / 4);
      break;
    case 5:
      arrow(3 * pi / 4);
      break;
    case 6:
      arrow(-pi / 4);
      break;
    case 7:
      arrow(-3 * pi / 4);
      break;
    case 8:  // open grip
      disc(c, cx, cy, 10, edge);
      ring(c, cx, cy, 8.5f, 3, fill);
      break;
    case 9:  // closed grip
      disc(c, cx, cy, 10, edge);
      disc(c, cx, cy, 7.5f, fill);
      break;
  }
}

// The row icons of the searchable list, one per kind of entry: a folder,
// then documents told apart by the colour of their band.
void list_icons(Canvas& c) {
  struct icon {
    float s;
    int band;  // 0: a folder
  } const icons[] = {{34, 0},         {48, 0x3d8bfd},  {62, 0x3fbf8f},  {90, 0xe5484d},
                     {104, 0xffb347}, {118, 0xb58cff}, {132, 0x8fd0ff}, {146, 0xaab6c6}};
  for (const icon& i : icons) {
    const float x0 = i.s, y0 = 82;
    if (!i.band) {
      bar(c, x0 + 1, y0 + 2, x0 + 11, y0 + 9, 1.5f, rgb(0xc9922e), rgb(0xf0b847), Rgba{});
      bar(c, x0 + 1, y0 + 8, x0 + 6, y0 + 10.5f, 1, rgb(0xc9922e), rgb(0xe0a83c), Rgba{});
      continue;
    }
    bar(c, x0 + 2.5f, y0 + 1, x0 + 9.5f, y0 + 11, 1, rgb(0xdde4ee), kWhite, Rgba{});
    bar(c, x0 + 2.5f, y0 + 1, x0 + 9.5f, y0 + 4, 1, rgb(i.band), rgb(i.band), Rgba{});
    for (int k = 0; k < 2; ++k)
      segment(c, x0 + 4, y0 + 6.5f + 2 * k, x0 + 8, y0 + 6.5f + 2 * k, 0.8f, rgb(0x5a6b82));
  }
}

Canvas make_widget_atlas(Font& regular) {
  Canvas c(512, 512);

  // BTN_frame1 bars: (s0, t0) and B x H, caps inside the first and last A texels.
  bar(c, 1, 487, 101, 512, 0, rgb(0x1a2029), rgb(0x26303c), Rgba{});  // 0 menu bar
  segment(c, 1, 487.5f, 101, 487.5f, 1, rgb(0x0d1117));
  bar(c, 103, 496, 201, 503, 3, rgb(0x2a3442), rgb(0x394657), Rgba{});   // 1 bar under a title
  bar(c, 305, 489, 355, 509, 5, rgb(0x2f3a49), rgb(0x435268), kBorder);  // 2 button
  bar(c, 305, 462, 355, 482, 5, kAccentDark, kAccent, kBorderLight);     // 3 pressed button
  bar(c, 113, 163, 139, 175, 5, rgb(0x0f141a), rgb(0x151b23), kBorder);  // 4 progress track
  bar(c, 85, 164, 110, 174, 4, kAccentDark, rgb(0x5aa2ff), Rgba{});      // 5 progress fill
  bar(c, 241, 252, 304, 256, 2, rgb(0x0f141a), rgb(0x1b222c), kBorder);  // 7 slider track
  // 8 slider fill, tinted: drawn 4 above the track's centre, so its ink sits
  // 4 below the element's centre to land on the track.
  bar(c, 290, 220, 304, 226, 3, rgb(0xd0d8e4), kWhite, Rgba{});
  bar(c, 263, 138, 312, 154, 3, rgb(0x0b0f14), rgb(0x10151c), kBorder);  // 9 value field
  bar(c, 358, 492, 424, 508, 4, rgb(0x2b3543), rgb(0x3b4859), kBorder);  // 10 pop-up box
  triangle(c, {{403, 503}, {411, 503}, {407, 497}}, rgb(0xdde4ee));      // its chevron

  // BTN_frame0 kind 6: vertical scroll track, s 102..122, t 248..288.
  c.fill(
      105, 249, 119, 287,
      [](float px, float py) { return sd_round_box(px, py, 105, 249, 119, 287, 6); },
      [](float, float) { return rgb(0x0f141a); });
  c.fill(
      105, 249, 119, 287,
      [](float px, float py) {
        return sd_inner_ring(sd_round_box(px, py, 105, 249, 119, 287, 6), 1);
      },
      [](float, float) { return kBorder; });

  // BTN_frame2 boxes.
  frame2_element(c, 1, 358, 100, 9, 14, 4, kSurface, kBorderLight, 6, kTitleActive, 20);  // 11
  frame2_element(c, 102, 358, 100, 9, 14, 4, kSurface, kBorder, 6, kTitleIdle, 20);       // 12
  frame2_element(c, 203, 358, 100, 9, 14, 4, rgb(0x1f2733, 0.95f), kBorder, 6, kTitleIdle,
                 18);  // 13
  frame2_element(c, 304, 358, 100, 9, 14, 4, rgb(0x28313d, 0.97f), kBorderLight, 5, Rgba{},
                 0);                                                                           // 14
  frame2_element(c, 405, 358, 100, 9, 14, 4, kSurfaceLow, rgb(0x56708f), 6, kTitleIdle, 18);   // 15
  frame2_element(c, 1, 289, 68, 2, 2, 2, rgb(0x10151c, 0.98f), kBorder, 4, Rgba{}, 0);         // 16
  frame2_element(c, 70, 315, 42, 8, 13, 2, rgb(0x222b37, 0.98f), kBorderLight, 4, Rgba{}, 0);  // 17
  frame2_element(c, 113, 315, 42, 8, 13, 2, kSurface, kBorder, 4, Rgba{}, 0);                  // 18
  frame2_element(c, 440, 12, 44, 6, 9, 4, kSurface, kBorder, 4, Rgba{}, 0);                    // 19

  // BTN_tab: selected t 486..512, other t 459..485, s 204..302.
  for (int sel = 0; sel < 2; ++sel) {
    const float y0 = sel ? 486 : 459;
    c.fill(
        205, y0, 301, y0 + 26,
        [=](float px, float py) { return sd_round_box(px, py, 205, y0 + 1, 301, y0 + 30, 6); },
        [=](float, float py) {
          return mix(sel ? kTitleActive : kTitleIdle, sel ? rgb(0x3a5f91) : rgb(0x38414d),
                     (py - y0) / 26);
        });
  }

  // Close boxes (s 120..138; t 178..196 unlit, 197..215 lit).
  for (int lit = 0; lit < 2; ++lit) {
    const float cy = lit ? 206 : 187;
    disc(c, 129, cy, 7.5f, lit ? rgb(0xe5484d) : rgb(0x3a4554));
    ring(c, 129, cy, 7.5f, 1, lit ? rgb(0xff8a8e) : kBorderLight);
    segment(c, 126, cy - 3, 132, cy + 3, 1.6f, kWhite);
    segment(c, 126, cy + 3, 132, cy - 3, 1.6f, kWhite);
  }

  // Check box (s 139..157: box t 178..196, tick t 197..215) and radio button
  // (s 83..101: box t 123..141, dot t 142..160). The tick cell is drawn over
  // the box cell, so it carries only the mark.
  bar(c, 141, 180, 155, 194, 3, rgb(0x0b0f14), rgb(0x131922), kBorderLight);
  segment(c, 143.5f, 206, 146.5f, 202.5f, 2.2f, kAccent);
  segment(c, 146.5f, 202.5f, 152.5f, 211, 2.2f, kAccent);
  disc(c, 92, 132, 7, rgb(0x0b0f14));
  ring(c, 92, 132, 7, 1, kBorderLight);
  disc(c, 92, 151, 3.5f, kAccent);

  // Number-field arrows (s 83..97: down t 178..196, up t 197..215).
  triangle(c, {{85, 190}, {90, 183}, {95, 190}}, rgb(0xaab6c6));
  triangle(c, {{85, 203}, {95, 203}, {90, 210}}, rgb(0xaab6c6));

  // Vertical slider (s 83..101): down arrow t 216..238, thumb 240..264, up 266..288.
  for (int up = 0; up < 2; ++up) {
    const float y0 = up ? 266 : 216;
    bar(c, 84, y0 + 1, 100, y0 + 21, 4, rgb(0x2f3a49), rgb(0x3d4a5c), kBorder);
    if (up)
      triangle(c, {{87, y0 + 8}, {97, y0 + 8}, {92, y0 + 15}}, rgb(0xdde4ee));
    else
      triangle(c, {{87, y0 + 14}, {92, y0 + 7}, {97, y0 + 14}}, rgb(0xdde4ee));
  }
  bar(c, 85, 241, 99, 263, 5, kAccentDark, kAccent, kBorderLight);
  // Horizontal slider thumb: s 262..282, t 267..289, drawn 2 above the
  // track's centre, so its ink sits 2 low in the cell.
  bar(c, 264, 266.5f, 280, 285.5f, 5, kAccentDark, kAccent, kBorderLight);

  // Submenu mark: a cell centred on (167, 187), 18 by 18.
  triangle(c, {{164, 183}, {164, 191}, {170.5f, 187}}, rgb(0xdde4ee));

  // Row icons of the searchable list: 12 x 12 cells from (34 + 14 k, 82).
  list_icons(c);

  // Direction dial (s 178..234, t 160..218) and its needles (s 156..166,
  // t 272..314 and 315..357).
  // The face is drawn over the needle: its middle stays see-through.
  disc(c, 206, 189, 27, rgb(0x10151c, 0.35f));
  ring(c, 206, 189, 27, 1.5f, kBorderLight);
  for (int i = 0; i < 12; ++i) {
    const float a = i * 3.14159265f / 6, r0 = i % 3 ? 23.0f : 20.0f;
    segment(c, 206 + r0 * std::sin(a), 189 + r0 * std::cos(a), 206 + 25 * std::sin(a),
            189 + 25 * std::cos(a), 1.2f, rgb(0xaab6c6));
  }
  for (int alt = 0; alt < 2; ++alt) {
    const float y0 = alt ? 272 : 315;
    triangle(c, {{157, y0 + 21}, {165, y0 + 21}, {161, y0 + 41}}, alt ? rgb(0xffb347) : kAccent);
    triangle(c, {{157, y0 + 21}, {161, y0 + 1}, {165, y0 + 21}}, rgb(0xaab6c6));
  }

  // Folder icon of the file panel: s 208..234, t 133..159.
  bar(c, 210, 136, 232, 153, 2, rgb(0xc9922e), rgb(0xf0b847), Rgba{});
  bar(c, 210, 150, 220, 156, 2, rgb(0xc9922e), rgb(0xe0a83c), Rgba{});

  // Cursors: 30 x 30 cells at (200 + 32 col, 293 + 32 row).
  const int cursor_cells[][3] = {{0, 1, 0}, {1, 1, 1}, {0, 0, 2},  {1, 0, 3}, {2, 1, 4},
                                 {3, 1, 5}, {2, 0, 6}, {3, 0, 7},  {4, 1, 8}, {5, 1, 9},
                                 {4, 0, 8}, {5, 0, 9}, {-1, 1, 0}, {-1, 0, 1}};
  for (auto& cell : cursor_cells) cursor_cell(c, cell[0], cell[1], cell[2]);

  // Colour swatches, 5 x 5 around each sampled texel.
  for (const Swatch& s : kSwatches)
    for (int y = s.t - 2; y <= s.t + 2; ++y)
      for (int x = s.s - 2; x <= s.s + 2; ++x) c.set(x, y, rgb(s.hex));

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

  // Panel element of frame kind 20: 41 x 41 at (774, 78), margins of 1.
  framed_box(c, 775, 79, 814, 118, 6, rgb(0x0d131c, 0.82f), rgb(0x5a7aa3), 0);
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
