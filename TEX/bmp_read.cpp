// Uncompressed 24-bit bitmaps into RGB, RGBA or grey buffers.
#include "TEX/bmp_read.h"

#include <cstring>
#include <new>

#include "core/alert.h"
#include "core/globals.h"
#include "core/util/pow2.h"

// Little-endian fields; a field past the end of the file reads as 0.
static unsigned read_u32(const unsigned char* b, size_t length, size_t at) {
  if (at + 4 > length) return 0;
  return b[at] | (unsigned(b[at + 1]) << 8) | (unsigned(b[at + 2]) << 16) |
         (unsigned(b[at + 3]) << 24);
}

static unsigned read_u16(const unsigned char* b, size_t length, size_t at) {
  if (at + 2 > length) return 0;
  return b[at] | (unsigned(b[at + 1]) << 8);
}

static int bmp_refuse(const char* path, const char* why) {
  if (xer.is_open()) xer << "BMP refused: " << path << ": " << why << "\n";
  return 0;
}

// The file may come from a mirror. Memory: the picture, never more than the
// caller's capacity, checked before a byte is written; nothing else. Time:
// the pixels converted are the ones the file holds (every row must lie
// inside it), so at most a third as many as the file has bytes, plus the
// clearing of a padded buffer within the capacity.
int TEX_load_bmp_mem(const char* path, const unsigned char* bytes, size_t length,
                     unsigned char*& data, size_t capacity, int desired_format, int pad_width,
                     int pad_pow2, TEX_image_desc& desc, TEX_bad_file on_bad) {
  if (!path) path = "";
  if (!bytes || length == 0) return 0;
  const int bpp = desired_format == GL_RGB     ? 3
                  : desired_format == GL_RGBA  ? 4
                  : desired_format == GL_ALPHA ? 1
                                               : 0;
  if (bpp == 0) {
    MACIBM_alert(wind_main, "Illegal desired format for bmp.", path, "", "", t_exit);
    return 0;
  }
  const size_t offset = read_u32(bytes, length, 10);
  const int width = int(read_u32(bytes, length, 18));
  const int height = int(read_u32(bytes, length, 22));
  if (read_u16(bytes, length, 28) != 24) {
    if (on_bad == TEX_bad_file_fails) return bmp_refuse(path, "not 24-bit colour");
    MACIBM_alert(wind_main, "Wrong bitmap color depth for texture!", "We need 24-bit color.", path,
                 "", t_exit);
    return 0;
  }
  if (read_u32(bytes, length, 30) != 0) {
    if (on_bad == TEX_bad_file_fails) return bmp_refuse(path, "compressed");
    MACIBM_alert(wind_main, "Bitmap is compressed!", path, "", "", t_exit);
    return 0;
  }
  // Top-down bitmaps (negative height) are not used by this program; a
  // negative size is refused rather than turned into a huge one.
  if (width < 0 || height < 0) return bmp_refuse(path, "negative size");
  if (offset > length) return bmp_refuse(path, "pixel offset past the end of the file");

  const size_t w = size_t(width), h = size_t(height);
  const size_t stride = (w * 3 + 3) & ~size_t(3);
  if (h != 0 && stride > (length - offset) / h)
    return bmp_refuse(path, "pixel rows past the end of the file");

  size_t row_pad = 0;
  if (pad_width > 0 && size_t(pad_width) > w) row_pad = size_t(bpp) * (size_t(pad_width) - w);
  if (pad_pow2) row_pad = size_t(bpp) * (pow2_at_least(w) - w);
  const size_t row_len = w * bpp + row_pad;
  const size_t row_count = pad_pow2 ? pow2_at_least(h) : h;
  // Sides are below 2^31, so the product of two padded sides and 4 bytes fits
  // a 64-bit size; the capacity test alone then bounds the writes.
  const size_t total = row_len * row_count;
  if (total > capacity) return bmp_refuse(path, "image larger than the buffer");

  unsigned char* out = data;
  if (!out) out = static_cast<unsigned char*>(::operator new(total ? total : 1));
  if (pad_pow2 && (row_pad != 0 || row_count > h)) memset(out, 0, total);

  // With no columns there is nothing to convert, however many rows are claimed.
  for (size_t y = 0; w != 0 && y < h; ++y) {
    const unsigned char* src = bytes + offset + y * stride;
    unsigned char* dst = out + y * row_len;
    for (size_t x = 0; x < w; ++x, src += 3) {
      const unsigned char b = src[0], g = src[1], r = src[2];
      if (bpp == 1) {
        *dst++ = (unsigned char)((b + g + r) / 3);
      } else if (bpp == 3) {
        *dst++ = r;
        *dst++ = g;
        *dst++ = b;
      } else if (r == 255 && g == 0 && b == 255) {
        // Magenta is the bitmaps' transparent colour.
        memset(dst, 0, 4);
        dst += 4;
      } else {
        *dst++ = r;
        *dst++ = g;
        *dst++ = b;
        *dst++ = 255;
      }
    }
  }
  desc.format = desired_format;
  desc.dx = width;
  desc.dy = height;
  desc.row_pad = int(row_pad);
  desc.has_mips = 0;
  data = out;
  return 1;
}
