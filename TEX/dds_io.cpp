// DDS files: the header read in place from memory, files written as DXT1 or
// DXT5 with their full mipmap chain, and the S3TC block conversions done by
// libsquish.
#include "TEX/dds_io.h"

#include <squish.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"

namespace {

// The header's fixed layout: 4 bytes of magic, then 124 bytes of fields.
constexpr size_t kHeaderBytes = 128;
constexpr unsigned kFlagMipCount = 0x20000;
constexpr unsigned kCapsMipmap = 0x400000;
constexpr unsigned kPixelFourCC = 0x4;
constexpr unsigned kPixelRGB = 0x40;
constexpr unsigned kPixelAlpha = 0x1;

unsigned read_u32(const unsigned char* p) {
  return unsigned(p[0]) | (unsigned(p[1]) << 8) | (unsigned(p[2]) << 16) | (unsigned(p[3]) << 24);
}

void write_u32(unsigned char* p, unsigned v) {
  p[0] = (unsigned char)(v & 0xff);
  p[1] = (unsigned char)((v >> 8) & 0xff);
  p[2] = (unsigned char)((v >> 16) & 0xff);
  p[3] = (unsigned char)(v >> 24);
}

int squish_fit(int quality) {
  switch (quality) {
    case s3tc_range_fit:
      return squish::kColourRangeFit;
    case s3tc_cluster_fit:
      return squish::kColourClusterFit;
    default:
      return squish::kColourIterativeClusterFit;
  }
}

int chain_levels(int dx, int dy) {
  int levels = 1;
  while (dx > 1 || dy > 1) {
    dx = dx > 1 ? dx / 2 : 1;
    dy = dy > 1 ? dy / 2 : 1;
    ++levels;
  }
  return levels;
}

// A block row that is cut off is flipped correctly only when it is the only
// one: a level 6 rows high would keep two garbage rows on top after a flip.
bool s3tc_heights_flip(int dx, int dy, bool mips) {
  for (;;) {
    if (dy > 4 && dy % 4 != 0) return false;
    if (!mips || (dx <= 1 && dy <= 1)) return true;
    dx = dx > 1 ? dx / 2 : 1;
    dy = dy > 1 ? dy / 2 : 1;
  }
}

int pixel_format(const unsigned char* h) {
  const unsigned flags = read_u32(h + 80);
  if (flags & kPixelRGB) {
    const unsigned bits = read_u32(h + 88), r = read_u32(h + 92), g = read_u32(h + 96),
                   b = read_u32(h + 100), a = read_u32(h + 104);
    if (r != 0xff0000 || g != 0xff00 || b != 0xff) return 0;
    // Only the two layouts the upload can take as they are: a 32-bit file
    // without alpha is not BGR, and its fourth byte would shift every pixel.
    if (flags & kPixelAlpha) return bits == 32 && a == 0xff000000u ? GL_BGRA : 0;
    return bits == 24 ? GL_BGR : 0;
  }
  if (!(flags & kPixelFourCC)) return 0;
  if (memcmp(h + 84, "DXT1", 4) == 0) return GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  if (memcmp(h + 84, "DXT3", 4) == 0) return GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
  if (memcmp(h + 84, "DXT5", 4) == 0) return GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  return 0;
}

}  // namespace

// [SECTION] Reading

int TEX_load_dds_mem(const char* /*path*/, const unsigned char* bytes, size_t length,
                     const unsigned char*& data, TEX_image_desc& desc) {
  if (!bytes || length < kHeaderBytes || memcmp(bytes, "DDS ", 4) != 0) return 0;
  const unsigned dy = read_u32(bytes + 12), dx = read_u32(bytes + 16);
  if (dx < 1 || dy < 1 || dx > TEX_max_side || dy > TEX_max_side) return 0;
  const int format = pixel_format(bytes);
  if (!format) return 0;
  const int has_mips =
      (read_u32(bytes + 8) & kFlagMipCount) && (read_u32(bytes + 108) & kCapsMipmap) ? 1 : 0;
  // A shorter chain would be uploaded as the full one, past the file's end.
  if (has_mips && read_u32(bytes + 28) != unsigned(chain_levels(int(dx), int(dy)))) return 0;
  if (TEX_is_s3tc(format) && !s3tc_heights_flip(int(dx), int(dy), has_mips)) return 0;

  TEX_image_desc found{format, int(dx), int(dy), 0, has_mips};
  if (TEX_bytes_needed_for_image(found) > length - kHeaderBytes) return 0;
  desc = found;
  data = bytes + kHeaderBytes;
  return 1;
}

// [SECTION] S3TC

int TEX_encode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                    const unsigned char* rgba, unsigned char* blocks, int quality) {
  // libsquish reads four bytes a pixel: three-byte rows would be over-read.
  if (src_desc.format != GL_RGBA && src_desc.format != GL_BGRA) return 0;
  if (src_desc.dx < 1 || src_desc.dy < 1 || !TEX_is_s3tc(dst_desc.format)) return 0;
  const int flags = TEX_squish_flags(dst_desc.format) | squish_fit(quality);
  const int pitch = src_desc.dx * 4 + src_desc.row_pad;
  if (src_desc.format == GL_RGBA) {
    squish::CompressImage(rgba, src_desc.dx, src_desc.dy, pitch, blocks, flags);
    return 1;
  }
  // libsquish's own BGRA switch gives other blocks than the same pixels in
  // RGBA order: the channels are swapped here instead.
  std::vector<unsigned char> swapped(size_t(src_desc.dx) * src_desc.dy * 4);
  for (int y = 0; y < src_desc.dy; ++y) {
    const unsigned char* s = rgba + size_t(y) * pitch;
    unsigned char* d = &swapped[size_t(y) * src_desc.dx * 4];
    for (int x = 0; x < src_desc.dx; ++x, s += 4, d += 4) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = s[3];
    }
  }
  squish::CompressImage(swapped.data(), src_desc.dx, src_desc.dy, blocks, flags);
  return 1;
}

int TEX_decode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                    const unsigned char* blocks, unsigned char* rgba) {
  if (!TEX_is_s3tc(src_desc.format) || src_desc.dx < 1 || src_desc.dy < 1) return 0;
  const int pitch = src_desc.dx * 4 + dst_desc.row_pad;
  squish::DecompressImage(rgba, src_desc.dx, src_desc.dy, pitch, blocks,
                          TEX_squish_flags(src_desc.format));
  return 1;
}

// [SECTION] Writing

namespace {

// Halves a tightly packed RGBA image in place: each pixel the truncated mean
// of its 2 x 2 square (of a pair once one side is down to 1).
void halve_rgba(unsigned char* p, int& w, int& h) {
  const int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
  const int fx = w > 1 ? 2 : 1, fy = h > 1 ? 2 : 1;
  for (int y = 0; y < nh; ++y)
    for (int x = 0; x < nw; ++x)
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        for (int by = 0; by < fy; ++by)
          for (int bx = 0; bx < fx; ++bx)
            sum += p[(size_t(y * fy + by) * w + size_t(x * fx + bx)) * 4 + c];
        p[(size_t(y) * nw + x) * 4 + c] = (unsigned char)(sum / unsigned(fx * fy));
      }
  w = nw;
  h = nh;
}

}  // namespace

int TEX_save_dds(const char* path, const unsigned char* data, const TEX_image_desc& desc) {
  if (desc.format != GL_RGBA && desc.format != GL_RGB) {
    MACIBM_alert(wind_main,
                 "rel_assert Error! Possibly an out of range vector! Attach the debugger and see "
                 "who called this!",
                 "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "TEX_save_dds",
                 "Please report this to Tessaly Works.", t_exit);
    return 0;
  }
  // The level loop halves down to 1 x 1: an empty side would never get there.
  if (desc.dx < 1 || desc.dy < 1) return 0;
  const std::string full = app_path + (path ? path : "");
  FILE* f = fopen(full.c_str(), "wb");
  if (!f) return 0;

  const bool alpha = desc.format == GL_RGBA;
  const int target = alpha ? GL_COMPRESSED_RGBA_S3TC_DXT5_EXT : GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  const int in_bpp = alpha ? 4 : 3;
  const size_t in_row = size_t(desc.dx) * in_bpp + size_t(desc.row_pad);
  // Top row first, as DDS stores it.
  std::vector<unsigned char> work(size_t(desc.dx) * desc.dy * 4);
  for (int y = 0; y < desc.dy; ++y) {
    const unsigned char* src = data + size_t(desc.dy - 1 - y) * in_row;
    unsigned char* dst = &work[size_t(y) * desc.dx * 4];
    for (int x = 0; x < desc.dx; ++x, src += in_bpp, dst += 4) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
      dst[3] = alpha ? src[3] : 255;
    }
  }
  const TEX_image_desc top{target, desc.dx, desc.dy, 0, 0};
  std::vector<unsigned char> blocks(TEX_bytes_needed_for_image(top));

  unsigned char header[kHeaderBytes] = {};
  memcpy(header, "DDS ", 4);
  write_u32(header + 4, 124);
  write_u32(header + 8, 0xA1007);
  write_u32(header + 12, unsigned(desc.dy));
  write_u32(header + 16, unsigned(desc.dx));
  write_u32(header + 20, unsigned(blocks.size()));
  write_u32(header + 28, unsigned(chain_levels(desc.dx, desc.dy)));
  write_u32(header + 76, 32);
  write_u32(header + 80, kPixelFourCC);
  memcpy(header + 84, alpha ? "DXT5" : "DXT1", 4);
  write_u32(header + 108, 0x401008);
  bool ok = fwrite(header, 1, kHeaderBytes, f) == kHeaderBytes;

  int w = desc.dx, h = desc.dy;
  while (ok) {
    const TEX_image_desc level{target, w, h, 0, 0};
    const size_t bytes = TEX_bytes_needed_for_image(level);
    TEX_image_desc src{GL_RGBA, w, h, 0, 0};
    TEX_encode_s3tc(src, level, work.data(), blocks.data(), s3tc_iterative_cluster_fit);
    ok = fwrite(blocks.data(), 1, bytes, f) == bytes;
    if (w == 1 && h == 1) break;
    halve_rgba(work.data(), w, h);
  }
  if (fclose(f) != 0) ok = false;
  if (!ok) remove(full.c_str());
  return ok ? 1 : 0;
}
