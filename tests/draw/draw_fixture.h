// A real context set up the way the drawing layer expects it: a 2-D
// projection in drawable pixels (origin lower left), a cleared black frame,
// the window origin at (0, 0) and the plain colour rules. Pixels are read
// back before any swap.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/font_widths.h"
#include "draw/render_state.h"
#include "draw/shapes.h"
#include "draw/tex_units.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "OGL/extensions.h"
#include "tests/support/gl_context.h"

namespace draw_testing {

using rgba = std::array<int, 4>;

// Level `level` of a slot's texture as RGBA texels, bottom row first, and
// its size.
inline std::vector<unsigned char> slot_texels(int slot, int level, int* w = nullptr,
                                              int* h = nullptr) {
  tman.bind_ref(slot, 0, 0);
  GLint tw = 0, th = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &tw);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &th);
  if (w) *w = tw;
  if (h) *h = th;
  std::vector<unsigned char> out(size_t(tw > 0 ? tw : 0) * size_t(th > 0 ? th : 0) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!out.empty()) glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
  return out;
}

// An alert handler for death tests: the first line and the source location
// on one line of the standard error stream, then exit status 1.
inline void print_alert_and_exit(int, const std::string (&lines)[4], const std::string& where,
                                 int) {
  fprintf(stderr, "%s %s\n", lines[0].c_str(), where.c_str());
  _exit(1);
}

class DrawTest : public ::testing::Test {
 protected:
  explicit DrawTest(int width = 256, int height = 256) : gl_(width, height) {}

  void SetUp() override {
    ASSERT_TRUE(gl_.ok()) << gl_.error();
    // A fatal alert then reports on the standard error stream instead of
    // waiting for someone to close a message box.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    width_ = gl_.pixel_width();
    height_ = gl_.pixel_height();
    mnw.pixel_dx = width_;
    mnw.pixel_dy = height_;
    mnw.origin_x = mnw.origin_y = 0.0f;
    mnw.cur_window = 0;
    ren.tex_units = 1;
    ren.global_alpha = 1.0f;
    ren.monochrome = 0;
    // The drawing modules' own state, as at start-up; the texture manager
    // holds no texture of this new context.
    tman.reset();
    colr.reset();
    ogl_text.reset();
    ogl_shapes.reset();
    // The render-state and binding caches outlive the context of an earlier
    // test in this process: bring them to the plain 2-D state, then OpenGL.
    OGL_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_none, ogl_depth_test_off,
                 ogl_depth_write_off);
    TEX_reset_bind();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glViewport(0, 0, width_, height_);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width_, 0, height_, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  static rgba pixel(int x, int y) {
    unsigned char p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
  }
  static bool lit(int x, int y) {
    const rgba p = pixel(x, y);
    return p[0] + p[1] + p[2] > 0;
  }
  static std::array<float, 4> current_colour() {
    std::array<float, 4> c{};
    // Mesa can answer with a stale alpha after a three-component colour call
    // until a primitive settles the current values (what is drawn is right);
    // an empty one does.
    glBegin(GL_POINTS);
    glEnd();
    glGetFloatv(GL_CURRENT_COLOR, c.data());
    return c;
  }

  testing_support::GLContext gl_;
  int width_ = 0, height_ = 0;
};

// A texel of the coded atlas as read back from the frame.
struct texel {
  int u = -1, v = -1;  // -1: no atlas texel (background)
  bool operator==(const texel& o) const { return u == o.u && v == o.v; }
};

inline std::ostream& operator<<(std::ostream& os, const texel& t) {
  return os << "texel(" << t.u << ", " << t.v << ")";
}

// The widget atlas slot (388) holds a coded atlas whose texels name their
// own place, so every drawn pixel tells which atlas texel landed there: red
// and green are the low bytes of u and v, blue carries their ninth bits and a
// marker. Only the first four texel columns of every 14-wide glyph column are
// opaque, so glyphs that overlap by design (separators between digit cells,
// a glyph after a zero-width one) stay readable; the rest is transparent.
class AtlasTest : public DrawTest {
 protected:
  explicit AtlasTest(int width = 256, int height = 256) : DrawTest(width, height) {}

  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    ren.tex_units = 1;
    mnw.tex_res = 5;
    memset(scratch_array, 0, size_t(512) * 512 * 4);
    for (int v = 0; v < 512; ++v)
      for (int u = 0; u < 512; ++u) {
        unsigned char* p = scratch_array + (size_t(v) * 512 + u) * 4;
        p[0] = (unsigned char)(u & 255);
        p[1] = (unsigned char)(v & 255);
        p[2] = (unsigned char)(0x80 | (u >> 8) | ((v >> 8) << 1));
        p[3] = u % 14 < 4 ? 255 : 0;
      }
    scratch_dx = scratch_dy = 512;
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_widgets,
                                tex_colour_rgba | tex_flag_full_res | tex_flag_carried,
                                tex_load_now, "scratch_array:coded atlas"),
              tex_slot_widgets);
    // Nearest texels, so a pixel shows one texel exactly.
    glBindTexture(GL_TEXTURE_2D, GLuint(tman.record(tex_slot_widgets).tex));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    TEX_reset_bind();
  }

  static texel texel_at(int x, int y) {
    const rgba p = pixel(x, y);
    if (!(p[2] & 0x80)) return {};
    return {p[0] | ((p[2] & 1) << 8), p[1] | (((p[2] >> 1) & 1) << 8)};
  }

  // The texel a glyph of the byte shows at (du, dv) inside its cell.
  static texel glyph_texel(char c, int du, int dv) {
    int col = 0, row = 0;
    OGL_glyph_cell((unsigned char)c, &col, &row);
    return {col * OGL_glyph_cell_dx + du, row * OGL_glyph_cell_dy + dv};
  }
};

}  // namespace draw_testing
