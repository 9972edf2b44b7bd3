// A small anti-aliased drawing surface for the image generator: shapes are
// signed-distance functions, colours are straight RGBA floats, and rows count
// upwards from the bottom (as the textures address them). Text comes from
// FreeType.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace img {

struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

inline Rgba rgb(int hex, float a = 1.0f) {
  return {((hex >> 16) & 255) / 255.0f, ((hex >> 8) & 255) / 255.0f, (hex & 255) / 255.0f, a};
}

inline Rgba mix(Rgba p, Rgba q, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
          p.a + (q.a - p.a) * t};
}

// Premultiplied storage so that layers compose with the usual "over".
class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * h * 4, 0.0f) {}
  int width() const { return w_; }
  int height() const { return h_; }

  void over(int x, int y, Rgba c, float coverage = 1.0f) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
    float* p = &px_[(size_t(y) * w_ + x) * 4];
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
  }

  // Replaces a pixel outright (font cells, swatches).
  void set(int x, int y, Rgba c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    float* p = &px_[(size_t(y) * w_ + x) * 4];
    p[0] = c.r * c.a;
    p[1] = c.g * c.a;
    p[2] = c.b * c.a;
    p[3] = c.a;
  }

  void clear_rect(int x0, int y0, int x1, int y1) {
    for (int y = std::max(y0, 0); y < std::min(y1, h_); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, w_); ++x) set(x, y, Rgba{});
  }

  // Fills the pixels of [x0, x1) x [y0, y1) where the distance d(px, py) of
  // the pixel centre is below 0.5, with coverage from the distance.
  void fill(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& d,
            const std::function<Rgba(float, float)>& colour) {
    for (int y = int(std::floor(y0)); y < int(std::ceil(y1)); ++y)
      for (int x = int(std::floor(x0)); x < int(std::ceil(x1)); ++x) {
        float cx = x + 0.5f, cy = y + 0.5f;
        float cov = std::clamp(0.5f - d(cx, cy), 0.0f, 1.0f);
        if (cov > 0) over(x, y, colour(cx, cy), cov);
      }
  }

  // 8-bit straight RGBA, bottom row first.
  std::vector<unsigned char> bytes() const {
    std::vector<unsigned char> out(px_.size());
    for (size_t i = 0; i < px_.size(); i += 4) {
      float a = px_[i + 3];
      for (int k = 0; k < 3; ++k) {
        float v = a > 0 ? px_[i + k] / a : 0.0f;
        out[i + k] = (unsigned char)std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f);
      }
      out[i + 3] = (unsigned char)std::lround(std::clamp(a, 0.0f, 1.0f) * 255.0f);
      if (out[i + 3] == 0) out[i] = out[i + 1] = out[i + 2] = 0;
    }
    return out;
  }

  // Writes an upright PNG (top row first), without time or gamma chunks so
  // the file depends on the pixels alone.
  bool write_png(const std::string& path) const {
    std::vector<unsigned char> b = bytes();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_write_struct(&png, &info);
      fclose(f);
      return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, w_, h_, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = h_ - 1; y >= 0; --y) png_write_row(png, &b[size_t(y) * w_ * 4]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return fclose(f) == 0;
  }

 private:
  int w_, h_;
  std::vector<float> px_;
};

// [SECTION] Distance functions (negative inside)

inline float sd_round_box(float px, float py, float x0, float y0, float x1, float y1, float r) {
  float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
  float hx = (x1 - x0) * 0.5f - r, hy = (y1 - y0) * 0.5f - r;
  float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
  float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
}

inline float sd_circle(float px, float py, float cx, float cy, float r) {
  return std::hypot(px - cx, py - cy) - r;
}

inline float sd_segment(float px, float py, float ax, float ay, float bx, float by,
                        float half_width) {
  float vx = bx - ax, vy = by - ay, wx = px - ax, wy = py - ay;
  float t = std::clamp((wx * vx + wy * vy) / (vx * vx + vy * vy), 0.0f, 1.0f);
  return std::hypot(wx - vx * t, wy - vy * t) - half_width;
}

// Convex polygon, corners counter-clockwise.
inline float sd_convex(float px, float py, const std::vector<std::pair<float, float>>& pts) {
  float d = -1e9f;
  for (size_t i = 0; i < pts.size(); ++i) {
    auto a = pts[i], b = pts[(i + 1) % pts.size()];
    float ex = b.first - a.first, ey = b.second - a.second, len = std::hypot(ex, ey);
    d = std::max(d, ((px - a.first) * ey - (py - a.second) * ex) / len);
  }
  return d;
}

// A band of width w just inside the edge of a shape.
inline float sd_inner_ring(float d, float w) { return std::max(d, -d - w); }

// [SECTION] Text

class Font {
 public:
  Font(FT_Library lib, const char* path) {
    if (FT_New_Face(lib, path, 0, &face_)) {
      fprintf(stderr, "cannot open font %s\n", path);
      face_ = nullptr;
    }
  }
  ~Font() {
    if (face_) FT_Done_Face(face_);
  }
  bool ok() const { return face_ != nullptr; }
  FT_Face face() const { return face_; }

  // Renders one code point at a pixel size, with an optional horizontal and
  // vertical squeeze; the bitmap's rows run top-down as FreeType gives them.
  FT_GlyphSlot render(unsigned code, float size, float sx = 1.0f, float sy = 1.0f) {
    FT_Set_Char_Size(face_, 0, FT_F26Dot6(size * 64), 72, 72);
    FT_Matrix m{FT_Fixed(sx * 65536), 0, 0, FT_Fixed(sy * 65536)};
    FT_Set_Transform(face_, &m, nullptr);
    FT_Load_Char(face_, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT);
    return face_->glyph;
  }

  float advance(const std::string& text, float size) {
    float a = 0;
    for (unsigned char c : text) a += render(c, size)->advance.x / 64.0f;
    return a;
  }

  // Draws text with its baseline at y; align 0 left, 1 centred on x.
  void draw(Canvas& c, const std::string& text, float size, float x, float y, Rgba colour,
            int align = 0) {
    float pen = align == 1 ? x - advance(text, size) * 0.5f : x;
    pen = std::round(pen);
    for (unsigned char ch : text) {
      FT_GlyphSlot g = render(ch, size);
      const FT_Bitmap& bm = g->bitmap;
      for (unsigned r = 0; r < bm.rows; ++r)
        for (unsigned k = 0; k < bm.width; ++k) {
          float cov = bm.buffer[r * bm.pitch + k] / 255.0f;
          if (cov > 0)
            c.over(int(pen) + g->bitmap_left + int(k), int(y) + g->bitmap_top - 1 - int(r), colour,
                   cov);
        }
      pen += g->advance.x / 64.0f;
    }
  }

 private:
  FT_Face face_ = nullptr;
};

}  // namespace img
