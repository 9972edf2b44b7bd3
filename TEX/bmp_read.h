// Reading uncompressed 24-bit Windows bitmaps.
#pragma once

#include <cstddef>

#include "core/files/xmap.h"
#include "TEX/image_desc.h"

// Converts the bitmap in bytes[0, length) into a buffer of the desired format
// (GL_RGB, GL_RGBA or GL_ALPHA); rows stay bottom-up as the file stores them.
// capacity is the size of the buffer at data, or, when data is null, the most
// the reader may allocate (with ::operator new; the caller then owns it). A
// negative size, an image that would not fit, or pixel rows that run past the
// end of the file return 0 before a byte is written. pad_width and pad_pow2
// pad as for PNG. path is used in messages only. 1 on success, 0 on failure.
// A bitmap that is not 24-bit or is compressed ends the run unless on_bad is
// TEX_bad_file_fails.
int TEX_load_bmp_mem(const char* path, const unsigned char* bytes, size_t length,
                     unsigned char*& data, size_t capacity, int desired_format, int pad_width,
                     int pad_pow2, TEX_image_desc& desc, TEX_bad_file on_bad = TEX_bad_file_fatal);

inline int TEX_load_bmp(const char* path, xmap_class& map, unsigned char*& data, size_t capacity,
                        int desired_format, int pad_width, int pad_pow2, TEX_image_desc& desc,
                        TEX_bad_file on_bad = TEX_bad_file_fatal) {
  map.byte_swap = 0;
  size_t length =
      map.map_begin && map.map_end > map.map_begin ? size_t(map.map_end - map.map_begin) : 0;
  return TEX_load_bmp_mem(path, reinterpret_cast<const unsigned char*>(map.map_begin), length, data,
                          capacity, desired_format, pad_width, pad_pow2, desc, on_bad);
}
