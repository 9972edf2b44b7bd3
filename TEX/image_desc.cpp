// Image sizes, downscaling, flips, chroma keying and compositing on plain
// pixel buffers described by a TEX_image_desc.
//
// Contents
//   [SECTION] Formats and sizes
//   [SECTION] Downscale
//   [SECTION] Vertical flips
//   [SECTION] Chroma key and compositing
#include "TEX/image_desc.h"

#include <squish.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/alert.h"
#include "core/globals.h"

// [SECTION] Formats and sizes

int TEX_bytes_per_pixel(int format) {
  switch (format) {
    case GL_ALPHA:
      return 1;
    case GL_RGB:
    case GL_BGR:
      return 3;
    case GL_RGBA:
    case GL_BGRA:
      return 4;
    default:
      return 0;
  }
}

bool TEX_is_s3tc(int format) {
  return format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ||
         format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
}

int TEX_squish_flags(int format) {
  switch (format) {
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
      return squish::kDxt1;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
      return squish::kDxt3;
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
      return squish::kDxt5;
    default:
      return 0;
  }
}

static size_t level_bytes(int format, int dx, int dy, int row_pad) {
  if (TEX_is_s3tc(format))
    return size_t(squish::GetStorageRequirements(dx, dy, TEX_squish_flags(format)));
  int bpp = TEX_bytes_per_pixel(format);
  if (bpp == 0) return 0;
  return (size_t(dx) * size_t(bpp) + size_t(row_pad)) * size_t(dy);
}

size_t TEX_bytes_needed_for_image(const TEX_image_desc& desc) {
  if (!TEX_is_s3tc(desc.format) && TEX_bytes_per_pixel(desc.format) == 0) return 0;
  int dx = desc.dx, dy = desc.dy;
  size_t total = 0;
  for (;;) {
    total += level_bytes(desc.format, dx, dy, desc.row_pad);
    if (!desc.has_mips || (dx <= 1 && dy <= 1)) break;
    dx = dx > 1 ? dx / 2 : 1;
    dy = dy > 1 ? dy / 2 : 1;
  }
  return total;
}

// [SECTION] Downscale

static int ceil_log2(int f) {
  int s = 0;
  while ((1 << s) < f) ++s;
  return s;
}

void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int fx, int fy) {
  if (fx < 1 || fy < 1) return;
  const int bpp = desc.format == GL_RGBA ? 4 : desc.format == GL_RGB ? 3 : 1;
  const int nx = desc.dx / fx, ny = desc.dy / fy;
  const int shift = ceil_log2(fx) + ceil_log2(fy);
  const size_t in_row = size_t(desc.dx) * bpp + desc.row_pad;
  const size_t out_row = size_t(nx) * bpp + desc.row_pad;
  // Each output pixel lies at or before the first input byte still to be
  // read, so the shrink can run in place.
  for (int oy = 0; oy < ny; ++oy) {
    for (int ox = 0; ox < nx; ++ox) {
      for (int c = 0; c < bpp; ++c) {
        unsigned sum = 0;
        for (int by = 0; by < fy; ++by) {
          const unsigned char* row = data + size_t(oy * fy + by) * in_row;
          for (int bx = 0; bx < fx; ++bx) sum += row[size_t(ox * fx + bx) * bpp + c];
        }
        data[size_t(oy) * out_row + size_t(ox) * bpp + c] = (unsigned char)(sum >> shift);
      }
    }
  }
  desc.dx = nx;
  desc.dy = ny;
}

// [SECTION] Vertical flips

void nv_swap(unsigned char* a, unsigned char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

// Exchanges pixel rows r1 and r2 inside one block, by block kind.
static void swap_colour_rows(unsigned char* colour_block, int r1, int r2) {
  nv_swap(colour_block + 4 + r1, colour_block + 4 + r2, 1);
}

static void swap_dxt3_alpha_rows(unsigned char* block, int r1, int r2) {
  nv_swap(block + 2 * r1, block + 2 * r2, 2);
}

static void swap_dxt5_alpha_rows(unsigned char* block, int r1, int r2) {
  unsigned rows[4];
  for (int g = 0; g < 2; ++g) {
    const unsigned char* p = block + 2 + 3 * g;
    unsigned bits = p[0] | (unsigned(p[1]) << 8) | (unsigned(p[2]) << 16);
    rows[2 * g] = bits & 0xfff;
    rows[2 * g + 1] = bits >> 12;
  }
  unsigned t = rows[r1];
  rows[r1] = rows[r2];
  rows[r2] = t;
  for (int g = 0; g < 2; ++g) {
    unsigned bits = rows[2 * g] | (rows[2 * g + 1] << 12);
    unsigned char* p = block + 2 + 3 * g;
    p[0] = bits & 0xff;
    p[1] = (bits >> 8) & 0xff;
    p[2] = (bits >> 16) & 0xff;
  }
}

void nv_flip_dxt5_alpha(unsigned char* block) {
  swap_dxt5_alpha_rows(block, 0, 3);
  swap_dxt5_alpha_rows(block, 1, 2);
}

void nv_flip_blocks_dxtc1(unsigned char* blocks, int count) {
  for (int i = 0; i < count; ++i, blocks += 8) {
    swap_colour_rows(blocks, 0, 3);
    swap_colour_rows(blocks, 1, 2);
  }
}

void nv_flip_blocks_dxtc3(unsigned char* blocks, int count) {
  for (int i = 0; i < count; ++i, blocks += 16) {
    swap_dxt3_alpha_rows(blocks, 0, 3);
    swap_dxt3_alpha_rows(blocks, 1, 2);
    swap_colour_rows(blocks + 8, 0, 3);
    swap_colour_rows(blocks + 8, 1, 2);
  }
}

void nv_flip_blocks_dxtc5(unsigned char* blocks, int count) {
  for (int i = 0; i < count; ++i, blocks += 16) {
    nv_flip_dxt5_alpha(blocks);
    swap_colour_rows(blocks + 8, 0, 3);
    swap_colour_rows(blocks + 8, 1, 2);
  }
}

// A level under 4 pixels high has one row of blocks with only its first dy
// pixel rows in use: those rows are reversed among themselves, so the valid
// pixels stay in the rows the decoder reads.
static void flip_short_blocks(int format, unsigned char* blocks, int count, int dy) {
  const int block_bytes = TEX_squish_flags(format) == squish::kDxt1 ? 8 : 16;
  for (int i = 0; i < count; ++i, blocks += block_bytes) {
    for (int r = 0; r < dy / 2; ++r) {
      int r2 = dy - 1 - r;
      if (block_bytes == 8) {
        swap_colour_rows(blocks, r, r2);
      } else {
        if (format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT)
          swap_dxt3_alpha_rows(blocks, r, r2);
        else
          swap_dxt5_alpha_rows(blocks, r, r2);
        swap_colour_rows(blocks + 8, r, r2);
      }
    }
  }
}

static void flip_block_row(int format, unsigned char* row, int count) {
  switch (TEX_squish_flags(format)) {
    case squish::kDxt1:
      nv_flip_blocks_dxtc1(row, count);
      break;
    case squish::kDxt3:
      nv_flip_blocks_dxtc3(row, count);
      break;
    default:
      nv_flip_blocks_dxtc5(row, count);
      break;
  }
}

void nv_flip(int format, unsigned char* data, int dx, int dy, size_t bytes) {
  if (TEX_bytes_per_pixel(format) != 0) {
    if (dy <= 0) return;
    const size_t row = bytes / size_t(dy);
    for (int i = 0; i < dy / 2; ++i)
      nv_swap(data + size_t(i) * row, data + size_t(dy - 1 - i) * row, row);
    return;
  }
  if (!TEX_is_s3tc(format)) {
    MACIBM_alert(wind_main, "Illegal format!", "", "", "", t_exit);
    return;
  }
  if (dx <= 0 || dy <= 0) return;
  const int per_row = (dx + 3) / 4;
  const int rows = (dy + 3) / 4;
  const size_t row_len = size_t(per_row) * (TEX_squish_flags(format) == squish::kDxt1 ? 8 : 16);
  if (dy < 4) {
    flip_short_blocks(format, data, per_row, dy);
    return;
  }
  for (int j = 0; j < rows / 2; ++j) {
    unsigned char* a = data + size_t(j) * row_len;
    unsigned char* b = data + size_t(rows - 1 - j) * row_len;
    flip_block_row(format, a, per_row);
    flip_block_row(format, b, per_row);
    nv_swap(a, b, row_len);
  }
  if (rows % 2) flip_block_row(format, data + size_t(rows / 2) * row_len, per_row);
}

void TEX_flip_y(const TEX_image_desc& desc, unsigned char* data) {
  int dx = desc.dx, dy = desc.dy;
  for (;;) {
    const size_t bytes = level_bytes(desc.format, dx, dy, desc.row_pad);
    nv_flip(desc.format, data, dx, dy, bytes);
    if (!desc.has_mips || (dx <= 1 && dy <= 1)) break;
    data += bytes;
    dx = dx > 1 ? dx / 2 : 1;
    dy = dy > 1 ? dy / 2 : 1;
  }
}

// [SECTION] Chroma key and compositing

void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* data, const unsigned char* key,
                    int tolerance) {
  for (int y = 0; y < desc.dy; ++y) {
    unsigned char* p = data + size_t(y) * (size_t(desc.dx) * 4 + desc.row_pad);
    for (int x = 0; x < desc.dx; ++x, p += 4) {
      int d = std::abs(p[0] - key[0]) + std::abs(p[1] - key[1]) + std::abs(p[2] - key[2]);
      if (d < tolerance) p[3] = 0;
    }
  }
}

void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                   const unsigned char* src_data, unsigned char* dst_data, float x1, float y1,
                   float x2, float y2) {
  const int sc = src_desc.format == GL_RGBA ? 4 : 3;
  const int dc = dst_desc.format == GL_RGBA ? 4 : 3;
  const size_t src_row = size_t(src_desc.dx) * sc + src_desc.row_pad;
  const size_t dst_row = size_t(dst_desc.dx) * dc + dst_desc.row_pad;
  const int cx0 = std::max(int(std::floor(x1)), 0), cx1 = std::min(int(std::ceil(x2)), dst_desc.dx);
  const int cy0 = std::max(int(std::floor(y1)), 0), cy1 = std::min(int(std::ceil(y2)), dst_desc.dy);
  for (int y = cy0; y < cy1; ++y) {
    for (int x = cx0; x < cx1; ++x) {
      float sx = x1 == x2 ? src_desc.dx * 0.5f : (x - x1) * src_desc.dx / (x2 - x1);
      float sy = y1 == y2 ? src_desc.dy * 0.5f : (y - y1) * src_desc.dy / (y2 - y1);
      int ix = int(std::floor(sx)), iy = int(std::floor(sy));
      float fx = sx - ix, fy = sy - iy;
      const int nx[4] = {ix, ix + 1, ix, ix + 1};
      const int ny[4] = {iy, iy, iy + 1, iy + 1};
      float w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
      const unsigned char* sp[4] = {};
      for (int k = 0; k < 4; ++k) {
        if (nx[k] < 0 || ny[k] < 0 || nx[k] >= src_desc.dx || ny[k] >= src_desc.dy)
          w[k] = 0;
        else
          sp[k] = src_data + size_t(ny[k]) * src_row + size_t(nx[k]) * sc;
      }
      unsigned char* dp = dst_data + size_t(y) * dst_row + size_t(x) * dc;
      if (sc == 4) {
        if (dc == 4) {
          float a = dp[3];
          for (int k = 0; k < 4; ++k)
            if (sp[k]) a += sp[k][3] * w[k];
          dp[3] = (unsigned char)std::min(std::max(a, 0.0f), 255.0f);
        }
        for (int k = 0; k < 4; ++k)
          if (sp[k]) w[k] *= sp[k][3] / 255.0f;
      } else if (dc == 4) {
        float a = dp[3] + 255.0f * (w[0] + w[1] + w[2] + w[3]);
        dp[3] = (unsigned char)std::min(std::max(a, 0.0f), 255.0f);
      }
      const float sum = w[0] + w[1] + w[2] + w[3];
      for (int c = 0; c < 3; ++c) {
        float v = dp[c] * (1 - sum);
        for (int k = 0; k < 4; ++k)
          if (sp[k]) v += w[k] * sp[k][c];
        dp[c] = (unsigned char)std::min(std::max(v, 0.0f), 255.0f);
      }
    }
  }
}
