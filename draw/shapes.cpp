// 3-D shapes, the tiled background image and screenshots.
#include "draw/shapes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "core/alert.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/render_state.h"
#include "draw/tman.h"
#include "Files/io_utils.h"
#include "TEX/load_any.h"

OGL_shapes_state ogl_shapes;
int& back_dx = ogl_shapes.back_dx;
int& back_dy = ogl_shapes.back_dy;

namespace {

const float st00[2] = {0, 0}, st01[2] = {0, 1}, st10[2] = {1, 0}, st11[2] = {1, 1};

constexpr int kTile = 512;
constexpr int kTilesPerSide = 4;

void quad_normal(const float* p0, const float* p1, const float* p2) {
  const float a[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
  const float b[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
  float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (len == 0) {
    n[0] = 0;
    n[1] = 1;
    n[2] = 0;
  } else {
    for (float& c : n) c /= len;
  }
  glNormal3fv(n);
}

// The point of a ring at x with radius r, theta in whole degrees.
void ring_vertex(float x, float r, int theta) {
  glVertex3f(x, r * lookup_cos[theta], -r * lookup_sin[theta]);
}

}  // namespace

// [SECTION] 3-D shapes

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2) {
  glVertex3f(x1, y1, z1);
  glVertex3f(x2, y2, z2);
}

void OGL_3dquad(float* p0, float* p1, float* p2, float* p3) {
  quad_normal(p0, p1, p2);
  glTexCoord2fv(st11);
  glVertex3fv(p0);
  glTexCoord2fv(st10);
  glVertex3fv(p1);
  glTexCoord2fv(st00);
  glVertex3fv(p2);
  glTexCoord2fv(st01);
  glVertex3fv(p3);
}

void OGL_3dquad_st(float* p0, float* p1, float* p2, float* p3, float s0, float t0, float s1,
                   float t1) {
  quad_normal(p0, p1, p2);
  glTexCoord2f(s0, t0);
  glVertex3fv(p0);
  glTexCoord2f(s0, t1);
  glVertex3fv(p1);
  glTexCoord2f(s1, t1);
  glVertex3fv(p2);
  glTexCoord2f(s1, t0);
  glVertex3fv(p3);
}

void OGL_cube(float x, float y, float z, float width, float height, float depth, float s0, float s1,
              float t0, float t1, float heading) {
  glPushMatrix();
  glTranslatef(x, y, z);
  glRotatef(-heading, 0, 0, 1);
  const float hw = width / 2, hd = depth / 2;
  const struct {
    float x, z, s, nx, nz;
  } sides[5] = {{-hw, -hd, s0, 0, -1},
                {hw, -hd, s1, 0, -1},
                {hw, hd, s0, 1, 0},
                {-hw, hd, s1, 0, 1},
                {-hw, -hd, s0, -1, 0}};
  glBegin(GL_QUAD_STRIP);
  for (const auto& v : sides) {
    glNormal3f(v.nx, 0, v.nz);
    glTexCoord2f(v.s, t1);
    glVertex3f(v.x, height, v.z);
    glTexCoord2f(v.s, t0);
    glVertex3f(v.x, 0, v.z);
  }
  glEnd();
  glBegin(GL_QUADS);
  glNormal3f(0, 1, 0);
  glTexCoord2f(s0, t1);
  glVertex3f(-hw, height, -hd);
  glTexCoord2f(s1, t1);
  glVertex3f(hw, height, -hd);
  glTexCoord2f(s1, t1);
  glVertex3f(hw, height, hd);
  glTexCoord2f(s0, t1);
  glVertex3f(-hw, height, hd);
  glNormal3f(0, -1, 0);
  glTexCoord2f(s0, t0);
  glVertex3f(-hw, 0, hd);
  glTexCoord2f(s1, t0);
  glVertex3f(hw, 0, hd);
  glTexCoord2f(s1, t0);
  glVertex3f(hw, 0, -hd);
  glTexCoord2f(s0, t0);
  glVertex3f(-hw, 0, -hd);
  glEnd();
  glPopMatrix();
}

void OGL_disc(float x, float y, float z, float radius) {
  glPushMatrix();
  glTranslatef(x, y, z);
  const float a = float(0.38 * double(radius));
  glBegin(GL_TRIANGLE_FAN);
  glNormal3f(-1, 0, 0);
  glVertex3f(-radius, 0, 0);
  for (int theta = 360; theta >= 0; theta -= 30) ring_vertex(-radius, a, theta);
  glEnd();
  glBegin(GL_TRIANGLE_FAN);
  glNormal3f(1, 0, 0);
  glVertex3f(radius, 0, 0);
  for (int theta = 0; theta <= 360; theta += 30) ring_vertex(radius, a, theta);
  glEnd();
  const struct {
    float x1, r1, x2, r2;
  } bands[3] = {{-radius, a, -a, radius}, {-a, radius, a, radius}, {a, radius, radius, a}};
  for (const auto& b : bands) {
    glBegin(GL_QUAD_STRIP);
    for (int theta = 360; theta >= 0; theta -= 30) {
      ring_vertex(b.x1, b.r1, theta);
      ring_vertex(b.x2, b.r2, theta);
    }
    glEnd();
  }
  glPopMatrix();
}

// [SECTION] Background tiles

void OGL_make_back_tex() {
  const char* path = "Resources/bitmaps/intro.png";
  memset(scratch_array, 0, TEX_max_image_bytes);
  unsigned char* data = scratch_array;
  TEX_image_desc desc;
  // The reader refuses an image that would not fit the staging buffer or
  // the sixteen tiles (2048 pixels a side) before it writes a byte.
  if (!TEX_load_any(path, data, TEX_max_image_bytes, GL_RGBA, 0, 0, desc)) {
    const std::string ask = "Please get a new download from " + web_host + ". The missing file is:";
    // The line number is the one this alert has always named.
    __MACIBM_alert(wind_main, "Trying to load a texture that you do not have!",
                   "This smacks of a mis-installed copy of Nimbrel!", ask.c_str(), path, t_exit,
                   __FILE__, 992);
    return;
  }
  back_dx = desc.dx;
  back_dy = desc.dy;

  unsigned char* copy = new (std::nothrow) unsigned char[TEX_max_image_bytes];
  if (!copy) {
    MACIBM_alert(wind_main, "There is not enough memory to load the background image.", path, "",
                 "", t_exit);
    return;
  }
  memcpy(copy, scratch_array, TEX_max_image_bytes);
  OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  const size_t pitch = size_t(back_dx) * 4;
  for (int row = 0; row < kTilesPerSide; ++row) {
    for (int col = 0; col < kTilesPerSide; ++col) {
      memset(scratch_array, 0, size_t(kTile) * kTile * 4);
      const int w = std::min(kTile, back_dx - kTile * col);
      const int h = std::min(kTile, back_dy - kTile * row);
      for (int y = 0; w > 0 && y < h; ++y)
        memcpy(scratch_array + size_t(y) * kTile * 4,
               copy + size_t(kTile * row + y) * pitch + size_t(kTile * col) * 4, size_t(w) * 4);
      scratch_dx = scratch_dy = kTile;
      tman.load_texture(tex_fail_fatal, tex_slot_back_first + kTilesPerSide * row + col,
                        tex_colour_rgba | tex_flag_clamp | tex_flag_carried, tex_load_now,
                        "scratch_array-t_tex_back (tile)");
    }
  }
  delete[] copy;
}

void OGL_plot_back_tex() {
  float left = mnw.design_off_x, right = left + back_dx;
  float bottom = 0, top = float(back_dy);
  if (mnw.cur_window == wind_startup) {
    right = float(std::min(mnw.pixel_dx, back_dx));
    left = right - back_dx;
    top = mnw.pixel_dy + std::clamp(back_dy - mnw.pixel_dy, 0, kTile);
    bottom = top - back_dy;
    if (back_dx < mnw.pixel_dx || back_dy < mnw.pixel_dy) OGL_plot_back_col();
  }
  OGL_setstate(ogl_fog_off, 1, ogl_lighting_off,
               ren.global_alpha > 0.99f ? ogl_alpha_test : ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  OGL_setcolor(colr_white, 1.0f);
  // Each tile keeps its own 512 pixels: a cell is the part of its tile that
  // the image covers, and takes the same part of the tile's texture, so an
  // image of any size is drawn pixel for pixel.
  for (int row = 0; row < kTilesPerSide; ++row) {
    for (int col = 0; col < kTilesPerSide; ++col) {
      const float l = left + float(kTile * col), b = bottom + float(kTile * row);
      const float r = std::min(l + kTile, right), t = std::min(b + kTile, top);
      if (r <= l || t <= b) continue;
      if (r <= 0 || l >= mnw.pixel_dx || t <= 0 || b >= mnw.pixel_dy) continue;
      const float s1 = (r - l) / kTile, t1 = (t - b) / kTile;
      tman.bind_ref(tex_slot_back_first + kTilesPerSide * row + col, 0, tex_env_modulate);
      glBegin(GL_QUADS);
      glTexCoord2fv(st00);
      glVertex2f(l, b);
      glTexCoord2f(0, t1);
      glVertex2f(l, t);
      glTexCoord2f(s1, t1);
      glVertex2f(r, t);
      glTexCoord2f(s1, 0);
      glVertex2f(r, b);
      glEnd();
    }
  }
}

// [SECTION] Screenshots

void OGL_screenshot(int save) {
  const int w = std::clamp(mnw.pixel_dx, 0, int(TEX_max_side));
  const int h = std::clamp(mnw.pixel_dy, 0, int(TEX_max_side));
  // Rows of three bytes, packed as the PNG writer reads them.
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels((mnw.pixel_dx - w) / 2, (mnw.pixel_dy - h) / 2, w, h, GL_RGB, GL_UNSIGNED_BYTE,
               scratch_array);
  if (!save) return;
  int& shot = ogl_shapes.screenshot_number;
  std::string name;
  do {
    ++shot;
    name = "screenshot_" + std::to_string(shot) + ".png";
  } while (file_exists(name));
  write_png_to_disk(name.c_str(), w, h, 3);
}

void OGL_printer() {}
