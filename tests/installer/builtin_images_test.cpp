// The built-in images: every glyph inside its advance and the rows a text
// field keeps, every element at the texels its widget reads, interface
// colours that stand out from the art, the embedded pixels equal to the
// reviewed PNGs, and a generator that reproduces them.
//
// Contents
//   [SECTION] The committed images
//   [SECTION] The embedded pixels and the generator
#include "installer/builtin_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "draw/font_widths.h"
#include "tests/support/test_support.h"
#include "TEX/png_io.h"

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::run_command;

// The embedded arrays exist once tools/images is part of the build, which
// then defines NIMBREL_HAVE_BUILTIN_IMAGES for this test.
#ifndef NIMBREL_HAVE_BUILTIN_IMAGES
#define NIMBREL_HAVE_BUILTIN_IMAGES 0
#endif

namespace {

struct Image {
  int dx = 0, dy = 0;
  std::vector<unsigned char> px;  // RGBA, bottom row first
  const unsigned char* at(int s, int t) const { return &px[(size_t(t) * dx + s) * 4]; }
  int alpha(int s, int t) const { return at(s, t)[3]; }
};

Image load(const std::string& path) {
  Image img;
  const std::string bytes = read_file(path);
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  if (TEX_load_png_mem(path.c_str(), reinterpret_cast<const unsigned char*>(bytes.data()),
                       bytes.size(), data, TEX_max_image_bytes, GL_RGBA, 0, 0, 0, desc)) {
    img.dx = desc.dx;
    img.dy = desc.dy;
    img.px.assign(data, data + size_t(desc.dx) * desc.dy * 4);
    ::operator delete(data);
  }
  return img;
}

const Image& committed(const std::string& name) {
  // A map keeps its entries in place, so earlier references stay valid.
  static std::map<std::string, Image> cache;
  auto it = cache.find(name);
  if (it == cache.end())
    it = cache
             .emplace(name,
                      load(std::string(NIMBREL_SOURCE_DIR) + "/assets/images/" + name + ".png"))
             .first;
  return it->second;
}

// Share of texels in [s0, s1) x [t0, t1) that carry any alpha.
double coverage(const Image& img, int s0, int t0, int s1, int t1) {
  int n = 0, lit = 0;
  for (int t = t0; t < t1; ++t)
    for (int s = s0; s < s1; ++s, ++n) lit += img.alpha(s, t) > 0;
  return n ? double(lit) / n : 0.0;
}

bool columns_equal(const Image& img, int a, int b, int t0, int t1) {
  for (int t = t0; t < t1; ++t)
    if (!std::equal(img.at(a, t), img.at(a, t) + 4, img.at(b, t))) return false;
  return true;
}

bool rows_equal(const Image& img, int a, int b, int s0, int s1) {
  return std::equal(img.at(s0, a), img.at(s1, a), img.at(s0, b));
}

double luminance(const unsigned char* p) {
  auto lin = [](int v) {
    double c = v / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(p[0]) + 0.7152 * lin(p[1]) + 0.0722 * lin(p[2]);
}

double contrast(double l1, double l2) {
  return (std::max(l1, l2) + 0.05) / (std::min(l1, l2) + 0.05);
}

}  // namespace

// [SECTION] The committed images

TEST(BuiltinImages, CommittedPngsHaveTheirSizes) {
  const struct {
    const char* name;
    int dx, dy;
  } sizes[] = {{"t_installer", 1010, 764},
               {"t_ins_back_1", 1024, 768},
               {"t_ins_back_2", 1024, 768},
               {"t_interface", 512, 512}};
  for (auto& s : sizes) {
    const Image& img = committed(s.name);
    EXPECT_EQ(img.dx, s.dx) << s.name;
    EXPECT_EQ(img.dy, s.dy) << s.name;
  }
  // The backgrounds are opaque everywhere.
  for (const char* name : {"t_ins_back_1", "t_ins_back_2"}) {
    const Image& img = committed(name);
    for (size_t i = 3; i < img.px.size(); i += 4) ASSERT_EQ(img.px[i], 255) << name;
  }
}

TEST(BuiltinImages, GlyphsStayInsideTheirAdvanceAndTheTextFieldRows) {
  const Image& atlas = committed("t_interface");
  ASSERT_EQ(atlas.dx, 512);
  for (int s = 0; s < 512; ++s) ASSERT_EQ(atlas.alpha(s, 0), 0) << "texel row 0 at " << s;
  for (int t = 0; t < OGL_glyph_cell_dy; ++t)
    for (int s = 0; s < OGL_glyph_cell_dx; ++s) ASSERT_EQ(atlas.alpha(s, t), 0) << "blank cell";

  int glyphs = 0;
  for (int b = 1; b < 256; ++b) {
    int col = 0, row = 0;
    OGL_glyph_cell((unsigned char)b, &col, &row);
    if (col == 0 && row == 0) continue;
    ++glyphs;
    const int width = OGL_glyph_width((unsigned char)b);
    ASSERT_GT(width, 0) << "byte " << b;
    int ink = 0;
    for (int y = 0; y < OGL_glyph_cell_dy; ++y)
      for (int x = 0; x < OGL_glyph_cell_dx; ++x) {
        const unsigned char* p = atlas.at(col * OGL_glyph_cell_dx + x, row * OGL_glyph_cell_dy + y);
        if (p[3] == 0) continue;
        ++ink;
        EXPECT_LT(x, width) << "byte " << b << " inks column " << x;
        EXPECT_TRUE(y >= 3 && y <= 13) << "byte " << b << " inks row " << y;
        EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255) << "byte " << b << " is not white";
      }
    EXPECT_GT(ink, 0) << "byte " << b << " has no ink";
  }
  EXPECT_EQ(glyphs, 21 * 5 - 1);
}

TEST(BuiltinImages, WidgetElementsSitWhereTheWidgetsReadThem) {
  const Image& a = committed("t_interface");
  ASSERT_EQ(a.dx, 512);
  // Horizontal bars: origin, A, M, B, H; the middle tile must repeat seamlessly.
  struct Bar {
    int s0, t0, A, M, B, H;
  } bars[] = {{1, 487, 10, 90, 100, 25},  {102, 487, 20, 80, 100, 25}, {304, 486, 10, 42, 52, 26},
              {304, 459, 10, 42, 52, 26}, {112, 161, 10, 18, 28, 16},  {83, 161, 10, 18, 28, 16},
              {240, 242, 10, 55, 65, 24}, {289, 219, 7, 9, 16, 16},    {262, 133, 10, 41, 51, 26},
              {357, 488, 26, 42, 68, 24}};
  for (const Bar& b : bars) {
    EXPECT_GT(coverage(a, b.s0, b.t0, b.s0 + b.B, b.t0 + b.H), 0.1)
        << "bar at " << b.s0 << "," << b.t0;
    for (int s = b.s0 + b.A + 1; s < b.s0 + b.M; ++s)
      ASSERT_TRUE(columns_equal(a, b.s0 + b.A, s, b.t0, b.t0 + b.H))
          << "bar at " << b.s0 << "," << b.t0 << " column " << s;
  }
  // Boxes: origin and side; caps of 0.35 and 0.3 of the side leave a middle
  // column and row that tile.
  struct Box {
    int s0, t0, B;
  } boxes[] = {{1, 358, 100},   {102, 358, 100}, {203, 358, 100}, {304, 358, 100},
               {405, 358, 100}, {1, 289, 68},    {113, 315, 42},  {440, 12, 44}};
  for (const Box& b : boxes) {
    EXPECT_GT(coverage(a, b.s0, b.t0, b.s0 + b.B, b.t0 + b.B), 0.6)
        << "box at " << b.s0 << "," << b.t0;
    const int c0 = b.s0 + int(std::ceil(0.35 * b.B)), c1 = b.s0 + int(0.65 * b.B);
    const int r0 = b.t0 + int(std::ceil(0.3 * b.B)), r1 = b.t0 + int(0.7 * b.B);
    for (int s = c0 + 1; s < c1; ++s)
      ASSERT_TRUE(columns_equal(a, c0, s, b.t0, b.t0 + b.B)) << "box " << b.s0 << "," << b.t0;
    for (int t = r0 + 1; t < r1; ++t)
      ASSERT_TRUE(rows_equal(a, r0, t, b.s0, b.s0 + b.B)) << "box " << b.s0 << "," << b.t0;
  }
  // Kind 17's middle is two texels wide and high at 20..22 and 26..28.
  EXPECT_TRUE(columns_equal(a, 70 + 20, 70 + 21, 315, 357));
  EXPECT_TRUE(rows_equal(a, 315 + 26, 315 + 27, 70, 112));

  // Small cells: close boxes, check box, radio, arrows, sliders, dial, folder.
  struct Cell {
    int s0, t0, s1, t1;
    const char* what;
  } cells[] = {{120, 178, 138, 196, "close box"},    {120, 197, 138, 215, "lit close box"},
               {139, 178, 157, 196, "check box"},    {139, 197, 157, 215, "tick"},
               {83, 123, 101, 141, "radio"},         {83, 142, 101, 160, "radio dot"},
               {83, 178, 97, 196, "down arrow"},     {83, 197, 97, 215, "up arrow"},
               {83, 216, 101, 238, "slider down"},   {83, 240, 101, 264, "slider thumb"},
               {83, 266, 101, 288, "slider up"},     {262, 267, 282, 289, "h thumb"},
               {102, 248, 122, 288, "scroll track"}, {178, 160, 234, 218, "dial"},
               {208, 133, 234, 159, "folder"}};
  for (const Cell& c : cells) EXPECT_GT(coverage(a, c.s0, c.t0, c.s1, c.t1), 0.05) << c.what;
  for (int row = 0; row < 2; ++row)
    for (int col = -1; col <= 5; ++col)
      EXPECT_GT(coverage(a, 200 + 32 * col, 293 + 32 * row, 230 + 32 * col, 323 + 32 * row), 0.05)
          << "cursor " << col << "," << row;
}

TEST(BuiltinImages, InterfaceColoursStandOutFromTheArt) {
  const Image& a = committed("t_interface");
  const Image& back = committed("t_ins_back_1");
  ASSERT_EQ(a.dx, 512);
  ASSERT_EQ(back.dx, 1024);
  const int swatch_rows[] = {155, 147, 139, 131, 123, 115, 107, 99, 91, 83, 75, 67};
  for (int t : swatch_rows) EXPECT_EQ(a.alpha(319, t), 255) << "swatch row " << t;
  EXPECT_EQ(a.alpha(395, 115), 255);

  // Text colours (38, 40, 43, 45, 46, 47) against the surfaces they are drawn on.
  const int text_rows[] = {123, 115, 91, 83, 75, 67};
  struct Surface {
    int s, t;
    const char* what;
  } surfaces[] = {{51, 408, "window"},    {253, 408, "panel"},      {455, 408, "alert panel"},
                  {354, 408, "help box"}, {35, 323, "terms panel"}, {287, 146, "value field"},
                  {330, 499, "button"},   {390, 500, "pop-up box"}};
  for (const Surface& s : surfaces) {
    ASSERT_GT(a.alpha(s.s, s.t), 200) << s.what;
    for (int t : text_rows)
      EXPECT_GE(contrast(luminance(a.at(319, t)), luminance(a.at(s.s, s.t))), 4.5)
          << s.what << " vs swatch row " << t;
  }
  // Installer text (46) on the background, wherever the screen writes.
  double brightest = 0;
  for (int t = 30; t < 690; ++t)
    for (int s = 130; s < 1020; ++s) brightest = std::max(brightest, luminance(back.at(s, t)));
  EXPECT_GE(contrast(luminance(a.at(319, 75)), brightest), 4.5);
  // The window background (34) is dark against the text too.
  EXPECT_GE(contrast(luminance(a.at(319, 75)), luminance(a.at(319, 155))), 7.0);
}

TEST(BuiltinImages, InstallerAtlasHoldsButtonsIconsAndPanel) {
  const Image& a = committed("t_installer");
  ASSERT_EQ(a.dx, 1010);
  struct Button {
    int u, v, w, h;
    const char* what;
  } buttons[] = {{513, 166, 126, 22, "DESTINATION"}, {640, 166, 83, 22, "INSTALL"},
                 {822, 235, 116, 22, "shop"},        {780, 166, 51, 22, "QUIT"},
                 {832, 166, 85, 22, "decline"},      {918, 166, 59, 22, "agree"}};
  for (const Button& b : buttons) {
    std::vector<std::vector<unsigned char>> looks;
    for (int k = 0; k < 3; ++k) {
      const int v = b.v - k * (b.h + 1);
      EXPECT_GT(coverage(a, b.u + 2, v + 2, b.u + b.w - 2, v + b.h - 2), 0.99)
          << b.what << " look " << k;
      int label = 0;
      for (int t = v + 4; t < v + b.h - 4; ++t)
        for (int s = b.u + 4; s < b.u + b.w - 4; ++s) label += luminance(a.at(s, t)) > 0.7;
      EXPECT_GT(label, 20) << b.what << " look " << k << " has no label";
      std::vector<unsigned char> px;
      for (int t = v; t < v + b.h; ++t) px.insert(px.end(), a.at(b.u, t), a.at(b.u + b.w, t));
      looks.push_back(px);
      // The texel row under each look stays clear, so looks never bleed.
      EXPECT_EQ(coverage(a, b.u, v - 1, b.u + b.w, v), 0.0) << b.what << " look " << k;
    }
    EXPECT_NE(looks[0], looks[1]) << b.what;
    EXPECT_NE(looks[0], looks[2]) << b.what;
    EXPECT_NE(looks[1], looks[2]) << b.what;
  }
  // Globe frames in icon cells 8..23: a disc in each, each frame turned.
  std::vector<unsigned char> previous;
  for (int i = 8; i <= 23; ++i) {
    const int u = (i % 8) * 64, v = 66 + (i / 8) * 64;
    EXPECT_EQ(a.alpha(u + 32, v + 32), 255) << "cell " << i;
    EXPECT_EQ(a.alpha(u + 1, v + 1), 0) << "cell " << i;
    std::vector<unsigned char> px;
    for (int t = v; t < v + 64; ++t) px.insert(px.end(), a.at(u, t), a.at(u + 64, t));
    EXPECT_NE(px, previous) << "cell " << i;
    previous = px;
  }
  EXPECT_GT(coverage(a, 644, 33, 772, 119), 0.9) << "globe decoration";
  // Kind 20: 41 x 41 at (774, 78), its middle column and row tile.
  EXPECT_GT(coverage(a, 775, 79, 814, 118), 0.95);
  for (int s = 774 + 15; s < 774 + 26; ++s) EXPECT_TRUE(columns_equal(a, 774 + 15, s, 78, 119));
  for (int t = 78 + 13; t < 78 + 28; ++t) EXPECT_TRUE(rows_equal(a, 78 + 13, t, 774, 815));
}

// [SECTION] The embedded pixels and the generator

TEST(BuiltinImages, EmbeddedPixelsEqualTheCommittedPngs) {
#if !NIMBREL_HAVE_BUILTIN_IMAGES
  GTEST_SKIP() << "tools/images is not part of this build";
#else
  const char* names[] = {"t_installer", "t_ins_back_1", "t_ins_back_2", "t_interface"};
  for (int i = 0; i < 4; ++i) {
    const Image& img = committed(names[i]);
    ASSERT_EQ(img.dx, kBuiltinImages[i].dx);
    ASSERT_EQ(img.px.size(), builtin_image_bytes(kBuiltinImages[i]));
    EXPECT_TRUE(std::equal(img.px.begin(), img.px.end(), kBuiltinImages[i].pixels)) << names[i];
  }
#endif
}

TEST(BuiltinImages, GeneratorReproducesTheCommittedPngs) {
  const std::string tool = std::string(NIMBREL_BINARY_DIR) + "/tools/make_images";
  if (read_file(tool).empty()) GTEST_SKIP() << "tools/images is not part of this build";
  const std::string dir = make_temp_dir("make-images");
  int status = -1;
  run_command("'" + tool + "' '" + dir + "' 2>&1", &status);
  ASSERT_EQ(status, 0);
  for (const char* name : {"t_installer", "t_ins_back_1", "t_ins_back_2", "t_interface"}) {
    const Image fresh = load(dir + name + ".png");
    EXPECT_EQ(fresh.px, committed(name).px)
        << name << ": run the nimbrel_images target and review the PNGs";
  }
}
