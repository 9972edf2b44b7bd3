// PNG reading (from a mapped file) and writing.
#pragma once

#include <cstddef>

#include "core/files/xmap.h"
#include "TEX/image_desc.h"

// Decodes the PNG held in bytes[0, length) into a bottom-up buffer of the
// desired format (GL_RGB, GL_RGBA or GL_ALPHA). capacity is the size of the
// buffer at data, or, when data is null, the most the reader may allocate
// (with ::operator new; the caller then owns the buffer). The reader checks
// the size before writing a byte: an image over 2048 pixels a side or one
// that would not fit returns 0 and leaves data untouched. pad_width pads each
// row to that many pixels; pad_pow2 pads width and height to powers of two;
// follow_alpha lets the file choose between GL_RGB and GL_RGBA.
// path is used in messages only. 1 on success, 0 on failure. A file without
// the PNG signature, or one libpng cannot decode, ends the run unless
// on_bad is TEX_bad_file_fails.
int TEX_load_png_mem(const char* path, const unsigned char* bytes, size_t length,
                     unsigned char*& data, size_t capacity, int desired_format, int pad_width,
                     int pad_pow2, int follow_alpha, TEX_image_desc& desc,
                     TEX_bad_file on_bad = TEX_bad_file_fatal);

// The same on a mapped file, from its cursor to its end.
inline int TEX_load_png(const char* path, xmap_class& map, unsigned char*& data, size_t capacity,
                        int desired_format, int pad_width, int pad_pow2, int follow_alpha,
                        TEX_image_desc& desc, TEX_bad_file on_bad = TEX_bad_file_fatal) {
  const char* from = map.cursor ? map.cursor : map.map_begin;
  size_t length = from && map.map_end > from ? size_t(map.map_end - from) : 0;
  return TEX_load_png_mem(path, reinterpret_cast<const unsigned char*>(from), length, data,
                          capacity, desired_format, pad_width, pad_pow2, follow_alpha, desc,
                          on_bad);
}

// Writes GL_RGB, GL_RGBA or GL_ALPHA pixels (bottom-up rows) as an upright
// 8-bit PNG at app_path + path. 1 on success, 0 on failure.
int TEX_save_png(const char* path, const TEX_image_desc& desc, const unsigned char* data);
