// PNG reading from memory and writing to disk, driven through libpng.
//
// libpng reports errors by a long jump back to the recovery point, so every
// resource a read holds lives in a plain struct that the recovery code frees;
// nothing with a destructor lives between setjmp and the jump.
//
// Contents
//   [SECTION] libpng callbacks
//   [SECTION] Reading
//   [SECTION] Writing
#include "TEX/png_io.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "core/alert.h"
#include "core/globals.h"
#include "core/util/pow2.h"
#include "Files/io_utils.h"

// [SECTION] libpng callbacks

// libpng's allocations go through the program's allocator.
static png_voidp my_malloc(png_structp, png_alloc_size_t size) {
  return ::operator new(size, std::nothrow);
}

static void my_free(png_structp, png_voidp p) { ::operator delete(p); }

namespace {
// What one read works on; handed to libpng as its io and error pointers, so
// reads on different threads do not share a global cursor.
struct png_read_job {
  const unsigned char* cursor = nullptr;
  const unsigned char* end = nullptr;
  png_bytep* rows = nullptr;       // the temporary row table
  unsigned char* owned = nullptr;  // a buffer the reader allocated, until handed over
  TEX_bad_file on_bad = TEX_bad_file_fatal;
};
}  // namespace

// A read whose bad files fail quietly only logs the error: a scenery package
// full of broken images would otherwise stop the scan at each one.
static void my_error(png_structp png, png_const_charp message) {
  const auto* job = static_cast<const png_read_job*>(png_get_error_ptr(png));
  if (job && job->on_bad == TEX_bad_file_fails) {
    if (xer.is_open()) xer << "PNG error! " << message << "\n";
  } else {
    MACIBM_alert(wind_main, "PNG error!", message, "", "", t_alert);
  }
  png_longjmp(png, 1);
}

static void my_warning(png_structp, png_const_charp message) {
  if (xer.is_open())
    xer << "PNG warning! " << message << ", "
        << "\n";
}

static void my_readbuf(png_structp png, png_bytep dest, png_size_t n) {
  png_read_job* job = static_cast<png_read_job*>(png_get_io_ptr(png));
  if (n > size_t(job->end - job->cursor)) png_error(png, "PNG Read Error, overran end of buffer!");
  memcpy(dest, job->cursor, n);
  job->cursor += n;
}

static void png_fatal(const char* condition, const char* path) {
  MACIBM_alert(wind_main, "PING-FILE ERROR!", condition, path, "", t_exit);
}

static void png_refuse(const char* path, const char* why) {
  if (xer.is_open()) xer << "PNG refused: " << path << ": " << why << "\n";
}

// [SECTION] Reading

static int png_decode(png_structp png, png_infop info, png_read_job& job, const char* path,
                      unsigned char*& data, size_t capacity, int desired_format, int pad_width,
                      int pad_pow2, int follow_alpha, TEX_image_desc& desc);

int TEX_load_png_mem(const char* path, const unsigned char* bytes, size_t length,
                     unsigned char*& data, size_t capacity, int desired_format, int pad_width,
                     int pad_pow2, int follow_alpha, TEX_image_desc& desc, TEX_bad_file on_bad) {
  if (!path)
    return TEX_load_png_mem("", bytes, length, data, capacity, desired_format, pad_width, pad_pow2,
                            follow_alpha, desc, on_bad);
  if (!bytes || length < 8) return 0;

  png_read_job job;
  job.cursor = bytes + 8;
  job.end = bytes + length;
  job.on_bad = on_bad;
  png_read_job* volatile jobp = &job;

  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, my_error, my_warning,
                                             nullptr, my_malloc, my_free);
  if (!png) {
    png_fatal("!png_ptr", path);
    return 0;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    png_fatal("!info_ptr", path);
    return 0;
  }
  if (png_sig_cmp(bytes, 0, 8) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (on_bad == TEX_bad_file_fails) {
      png_refuse(path, "no PNG signature");
      return 0;
    }
    png_fatal("is_png=!png_sig_cmp(png_io_buf,0,8)", path);
    return 0;
  }

  if (setjmp(png_jmpbuf(png))) {
    png_read_job* j = jobp;
    ::operator delete(j->rows);
    ::operator delete(j->owned);
    png_destroy_read_struct(&png, &info, nullptr);
    if (j->on_bad == TEX_bad_file_fails) {
      png_refuse(path, "damaged");
      return 0;
    }
    png_fatal("setjmp(png_ptr->jmpbuf", path);
    return 0;
  }
  return png_decode(png, info, job, path, data, capacity, desired_format, pad_width, pad_pow2,
                    follow_alpha, desc);
}

// The bytes a pixel takes in a format we read and write; 0 for any other.
static int png_bytes_per_pixel(int format) {
  return format == GL_RGB ? 3 : format == GL_RGBA ? 4 : format == GL_ALPHA ? 1 : 0;
}

// Ancillary chunks other than tRNS and gAMA are skipped unread: libpng would
// otherwise keep up to 999 text chunks of up to 8 MB each, inflated from a
// few bytes. Reads the header.
static void png_begin(png_structp png, png_infop info, png_read_job& job) {
  static const png_byte kSkipped[] =
      "bKGD\0cHRM\0eXIf\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
      "sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, int(sizeof kSkipped / 5));
  png_set_read_fn(png, &job, my_readbuf);
  png_set_sig_bytes(png, 8);
  png_read_info(png, info);
}

// libpng's transformations from the file's pixels to rows of desired_format
// (8 bits a channel, gamma 1.8). With follow_alpha the format follows the
// file's alpha instead, and bpp with it.
static void png_set_transforms(png_structp png, png_infop info, int bit_depth, int colour_type,
                               int follow_alpha, int& desired_format, int& bpp) {
  // A file without gAMA passes unchanged: 1.8 x 1/1.8 is 1.
  double file_gamma = 1.0 / 1.8;
  if (png_get_valid(png, info, PNG_INFO_gAMA)) png_get_gAMA(png, info, &file_gamma);
  png_set_gamma(png, 1.8, file_gamma);

  const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colour_type == PNG_COLOR_TYPE_PALETTE && bit_depth <= 8) png_set_expand(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand(png);
  if (has_trns) png_set_expand(png);
  if (bit_depth == 16) png_set_strip_16(png);
  if (bit_depth < 8) png_set_packing(png);

  // The rows carry alpha from the colour type or from an expanded tRNS: a
  // tRNS chunk is the file's alpha as much as an alpha channel is, so the
  // file's own choice follows it too. The filler is added only when the
  // rows carry none, so a palette with tRNS stays at four bytes a pixel.
  const bool rows_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || has_trns;
  if (follow_alpha) {
    if (rows_alpha && desired_format == GL_RGB)
      desired_format = GL_RGBA;
    else if (!rows_alpha && desired_format == GL_RGBA)
      desired_format = GL_RGB;
    bpp = desired_format == GL_RGBA ? 4 : 3;
  }
  if (desired_format == GL_RGBA && !rows_alpha) png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  if (desired_format != GL_RGBA && rows_alpha) png_set_strip_alpha(png);

  const bool colour_file = (colour_type & PNG_COLOR_MASK_COLOR) != 0;
  if (desired_format != GL_ALPHA && !colour_file) png_set_gray_to_rgb(png);
  if (desired_format == GL_ALPHA && colour_file) png_set_rgb_to_gray(png, 1, -1.0, -1.0);

  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

namespace {
// Where the picture's rows go in the buffer: each row padded to pad_width
// pixels, or both sides to powers of two.
struct png_layout {
  size_t row_pad = 0;
  size_t row_len = 0;
  size_t row_count = 0;
  size_t total = 0;
};
}  // namespace

static png_layout png_lay_out(png_uint_32 width, png_uint_32 height, int bpp, int pad_width,
                              int pad_pow2) {
  png_layout l;
  if (pad_width > 0 && size_t(pad_width) > width)
    l.row_pad = size_t(bpp) * (size_t(pad_width) - width);
  if (pad_pow2) l.row_pad = size_t(bpp) * (pow2_at_least(size_t(width)) - width);
  l.row_len = size_t(width) * bpp + l.row_pad;
  l.row_count = pad_pow2 ? pow2_at_least(size_t(height)) : size_t(height);
  l.total = l.row_len * l.row_count;
  return l;
}

// Decodes the rows bottom-up into out, through a row table the job holds so
// that a libpng error frees it.
static void png_read_rows(png_structp png, png_read_job& job, unsigned char* out,
                          png_uint_32 height, size_t row_len) {
  job.rows = static_cast<png_bytep*>(::operator new(sizeof(png_bytep) * (height ? height : 1)));
  for (png_uint_32 i = 0; i < height; ++i) job.rows[i] = out + (size_t(height) - 1 - i) * row_len;
  png_read_image(png, job.rows);
  png_read_end(png, nullptr);
  ::operator delete(job.rows);
  job.rows = nullptr;
}

// Everything between the recovery point and a finished read; a libpng error
// anywhere in here jumps back to TEX_load_png_mem.
//
// The file may come from a mirror. Memory: the picture (at most 2048 pixels
// a side, and never more than the caller's capacity), a row table of one
// pointer per row and libpng's row and inflate buffers (a few rows wide).
// Chunks that could cost memory are skipped unread (png_begin). Time: one
// pass over the file; the image data inflates to at most the picture's rows.
static int png_decode(png_structp png, png_infop info, png_read_job& job, const char* path,
                      unsigned char*& data, size_t capacity, int desired_format, int pad_width,
                      int pad_pow2, int follow_alpha, TEX_image_desc& desc) {
  png_begin(png, info, job);
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &colour_type, nullptr, nullptr, nullptr);

  int bpp = png_bytes_per_pixel(desired_format);
  if (bpp == 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    MACIBM_alert(wind_main, "Illegal bits per pixel", path, "", "", t_exit);
    return 0;
  }
  if (width > TEX_max_side || height > TEX_max_side) {
    png_destroy_read_struct(&png, &info, nullptr);
    png_refuse(path, "larger than 2048 pixels");
    return 0;
  }
  png_set_transforms(png, info, bit_depth, colour_type, follow_alpha, desired_format, bpp);
  // Whatever the transformations made of the file, the rows must be exactly
  // what the buffer was sized for.
  if (png_get_rowbytes(png, info) != size_t(width) * size_t(bpp)) {
    png_destroy_read_struct(&png, &info, nullptr);
    png_refuse(path, "decoded rows do not match the format asked for");
    return 0;
  }
  const png_layout l = png_lay_out(width, height, bpp, pad_width, pad_pow2);
  if (l.total > capacity) {
    png_destroy_read_struct(&png, &info, nullptr);
    png_refuse(path, "image larger than the buffer");
    return 0;
  }

  unsigned char* out = data;
  if (!out) {
    job.owned = static_cast<unsigned char*>(::operator new(l.total ? l.total : 1));
    out = job.owned;
  }
  if (pad_pow2 && l.total > size_t(width) * bpp * height) memset(out, 0, l.total);
  png_read_rows(png, job, out, height, l.row_len);
  png_destroy_read_struct(&png, &info, nullptr);

  desc.format = desired_format;
  desc.dx = int(width);
  desc.dy = int(height);
  desc.row_pad = int(l.row_pad);
  desc.has_mips = 0;
  data = out;
  return 1;
}

// [SECTION] Writing

int TEX_save_png(const char* path, const TEX_image_desc& desc, const unsigned char* data) {
  const int bpp = png_bytes_per_pixel(desc.format);
  if (bpp == 0) {
    MACIBM_alert(wind_main, "Illegal pixel format for png-write.", path, "", "", t_exit);
    return 0;
  }
  const int colour_type = bpp == 4   ? PNG_COLOR_TYPE_RGB_ALPHA
                          : bpp == 3 ? PNG_COLOR_TYPE_RGB
                                     : PNG_COLOR_TYPE_GRAY;
  const size_t row_len = size_t(desc.dx) * bpp + size_t(desc.row_pad);
  const std::string full = app_path + path;
  FILE* f = UTL_fopen_regular(full.c_str(), "wb");
  if (!f) return 0;
  png_structp png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, nullptr, my_error, my_warning,
                                              nullptr, my_malloc, my_free);
  if (!png) {
    fclose(f);
    return 0;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    fclose(f);
    return 0;
  }
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    ::operator delete(rows);
    png_destroy_write_struct(&png, &info);
    fclose(f);
    remove(full.c_str());
    return 0;
  }
  png_init_io(png, f);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, 9);
  png_set_compression_mem_level(png, 8);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_compression_window_bits(png, 15);
  png_set_compression_method(png, 8);
  png_set_compression_buffer_size(png, 8192);
  png_set_gAMA(png, info, 1.0 / 1.8);
  png_set_IHDR(png, info, png_uint_32(desc.dx), png_uint_32(desc.dy), 8, colour_type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);

  rows = static_cast<png_bytep*>(
      ::operator new(sizeof(png_bytep) * size_t(desc.dy > 0 ? desc.dy : 1)));
  for (int i = 0; i < desc.dy; ++i)
    rows[desc.dy - 1 - i] = const_cast<png_bytep>(data + size_t(i) * row_len);
  png_write_image(png, rows);
  png_write_end(png, info);

  ::operator delete(rows);
  png_destroy_write_struct(&png, &info);
  // The last bytes reach the disk only now: a full disk shows here, and a
  // cut file must not be taken for a picture.
  const bool flushed = fflush(f) == 0 && !ferror(f);
  if (fclose(f) != 0 || !flushed) {
    remove(full.c_str());
    return 0;
  }
  return 1;
}
